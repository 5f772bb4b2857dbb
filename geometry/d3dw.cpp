#include "geometry/d3dw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

// Triangle blocks and cells are carved from large chunks and reused: about
// three quarters of what an insertion makes is replaced by later flips of
// the same insertion, and one allocation per object would cost both time
// and memory.
struct CD3DW::Arena {
  template <class T>
  struct Pool {
    static constexpr std::size_t kBytes = std::size_t(2) << 20;
    static constexpr std::size_t kPer = kBytes / sizeof(T);
    std::vector<void*> chunks;
    std::vector<T*> free_list;
    std::size_t used = kPer;
    // A cleared object; `fresh` tells whether it was never handed out.
    T* take(bool* fresh) {
      if (!free_list.empty()) {
        T* t = free_list.back();
        free_list.pop_back();
        *fresh = false;
        return new (t) T;
      }
      if (used == kPer) {
        void* c = std::malloc(kBytes);
        if (!c) throw std::bad_alloc();
        chunks.push_back(c);
        used = 0;
      }
      *fresh = true;
      return new (static_cast<T*>(chunks.back()) + used++) T;
    }
    void give(T* t) { free_list.push_back(t); }
    ~Pool() {
      for (void* c : chunks) std::free(c);
    }
  };
  Pool<CD3DTriangle> triangles;
  Pool<CD3DCell> cells;
};

namespace {

// The record of e's triangle that runs o -> d.
inline CD3DEdge* rec_of(CD3DEdge* e, const CXYZW* o, const CXYZW* d) {
  // slot of the record from the positions of its origin and destination
  // among the triangle's vertices P, Q, R
  static const signed char kSlot[3][3] = {{-1, 0, 5}, {3, -1, 1}, {2, 4, -1}};
  CD3DTriangle* t = e->triangle();
  int i = t->v[0] == o ? 0 : t->v[1] == o ? 1 : t->v[2] == o ? 2 : -1;
  int j = t->v[0] == d ? 0 : t->v[1] == d ? 1 : t->v[2] == d ? 2 : -1;
  if (i < 0 || j < 0 || i == j) {
    std::fprintf(stderr, "internal error: triangle record not found\n");
    std::abort();
  }
  return &t->rec[kSlot[i][j]];
}

// For face i of a cell and its k-th record (face, enext, enext.enext): the
// other face of the cell that holds the same edge, and the rotation of that
// face's record that starts at the edge's destination (faces by the cell
// convention (V0,V1,V2), (V0,V3,V1), (V0,V2,V3), (V1,V3,V2)).
const int kOtherFace[4][3] = {{1, 3, 2}, {2, 3, 0}, {0, 3, 1}, {1, 2, 0}};
const int kOtherRot[4][3] = {{2, 2, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 1}};

}  // namespace

struct CD3DW::Grid {
  struct Entry {
    double x, y, z;
    CXYZW* point;
  };
  std::vector<Entry> inserted;  // points that entered, in order
  std::vector<int> bucket;      // index into `inserted`, -1 when empty
  int nx = 0, ny = 0, nz = 0;
  double x0 = 0, y0 = 0, z0 = 0, inv = 0;
  std::size_t rebuild_at = 64;

  int index(double x, double y, double z) const {
    int i = clampi((x - x0) * inv, nx), j = clampi((y - y0) * inv, ny),
        k = clampi((z - z0) * inv, nz);
    return (k * ny + j) * nx + i;
  }
  static int clampi(double v, int n) {
    if (!(v > 0)) return 0;
    if (v >= n - 1) return n - 1;
    return int(v);
  }
  void rebuild() {
    double lo[3] = {inserted[0].x, inserted[0].y, inserted[0].z}, hi[3] = {lo[0], lo[1], lo[2]};
    for (const Entry& e : inserted) {
      double v[3] = {e.x, e.y, e.z};
      for (int a = 0; a < 3; ++a) {
        if (v[a] < lo[a]) lo[a] = v[a];
        if (v[a] > hi[a]) hi[a] = v[a];
      }
    }
    double ext[3], emax = 0;
    for (int a = 0; a < 3; ++a) {
      ext[a] = hi[a] - lo[a];
      if (ext[a] > emax) emax = ext[a];
    }
    std::size_t n = inserted.size();
    if (!(emax > 0) || !std::isfinite(emax)) {
      nx = ny = nz = 1;
      inv = 0;
    } else {
      // About one point per bucket; flat extents get one layer.
      double vol = 1;
      for (double& e : ext) {
        if (e < emax * 1e-3) e = emax * 1e-3;
        vol *= e;
      }
      inv = 1.0 / std::cbrt(vol / double(n));
      for (;;) {
        nx = int(std::min(ext[0] * inv + 1, 1024.0));
        ny = int(std::min(ext[1] * inv + 1, 1024.0));
        nz = int(std::min(ext[2] * inv + 1, 1024.0));
        if (double(nx) * ny * nz <= 4.0 * double(n) + 64) break;
        inv *= 0.8;
      }
    }
    x0 = lo[0];
    y0 = lo[1];
    z0 = lo[2];
    bucket.assign(std::size_t(nx) * ny * nz, -1);
    for (std::size_t i = 0; i < n; ++i)
      bucket[index(inserted[i].x, inserted[i].y, inserted[i].z)] = int(i);
    rebuild_at = 2 * n;
  }
  void note(CXYZW* p) {
    inserted.push_back({p->x.value, p->y.value, p->z.value, p});
    if (inserted.size() >= rebuild_at)
      rebuild();
    else if (!bucket.empty())
      bucket[index(p->x.value, p->y.value, p->z.value)] = int(inserted.size() - 1);
  }
  // A vertex near (x, y, z), or null.
  CXYZW* near(double x, double y, double z) const {
    if (bucket.empty()) return inserted.empty() ? nullptr : inserted.back().point;
    int b = bucket[index(x, y, z)];
    return b >= 0 ? inserted[b].point : inserted.back().point;
  }
};

CD3DW::CD3DW(double size) : M(size), arena_(new Arena), grid_(new Grid) {
  for (auto& s : stats) s = 0;
  bound[0].set(0, 0, M, 0);
  bound[1].set(0, M, -M, 0);
  bound[2].set(-M, -M, -M, 0);
  bound[3].set(M, -M, -M, 0);
  for (int i = 0; i < 4; ++i) {
    bound[i].id = -1 - i;
    bound[i].data = nullptr;
  }
  CXYZW *b0 = &bound[0], *b1 = &bound[1], *b2 = &bound[2], *b3 = &bound[3];
  for (int k = 0; k < 6; ++k) {
    placeholder_.rec[k].fnext = &placeholder_.rec[k];
    placeholder_.rec[k].flags = 2;
    placeholder_.rec[k].slot = (unsigned char)k;
  }
  placeholder_.v[0] = b0;
  placeholder_.v[1] = b1;
  placeholder_.v[2] = b2;
  placeholder_.side[0] = placeholder_.side[1] = nullptr;
  placeholder_.cache_point = nullptr;
  placeholder_.cache_positive = false;
  placeholder_.have_minors = false;
  placeholder_.c2 = nullptr;
  placeholder_.c3[0] = placeholder_.c3[1] = nullptr;
  placeholder_.c1[0] = placeholder_.c1[1] = placeholder_.c1[2] = nullptr;
  placeholder_.pos = 0;

  CD3DEdge* T[4][6];
  new6(T[0][0], T[0][1], T[0][2], T[0][3], T[0][4], T[0][5], b0, b1, b2);
  new6(T[1][0], T[1][1], T[1][2], T[1][3], T[1][4], T[1][5], b0, b1, b3);
  new6(T[2][0], T[2][1], T[2][2], T[2][3], T[2][4], T[2][5], b0, b3, b2);
  new6(T[3][0], T[3][1], T[3][2], T[3][3], T[3][4], T[3][5], b3, b1, b2);
  auto both = [](CD3DEdge* a, CD3DEdge* b) {
    a->fnext = b;
    b->fnext = a;
  };
  both(T[0][0], T[1][0]);
  both(T[0][3], T[1][3]);
  both(T[0][1], T[3][1]);
  both(T[0][4], T[3][4]);
  both(T[0][2], T[2][2]);
  both(T[0][5], T[2][5]);
  both(T[1][5], T[2][0]);
  both(T[1][2], T[2][3]);
  both(T[1][1], T[3][3]);
  both(T[1][4], T[3][0]);
  both(T[2][4], T[3][2]);
  both(T[2][1], T[3][5]);
  bool fresh;
  CD3DCell* root = arena_->cells.take(&fresh);
  root->vertex[0] = b0;
  root->vertex[1] = b1;
  root->vertex[2] = b2;
  root->vertex[3] = b3;
  root->face[0] = bound_face_[0] = T[0][0];
  root->face[1] = bound_face_[1] = T[1][5];
  root->face[2] = bound_face_[2] = T[2][5];
  root->face[3] = bound_face_[3] = T[3][3];
  for (auto& c : root->child) c = nullptr;
  cells.push_back(root);
  for (int i = 0; i < 4; ++i) bound[i].cell_hint = root;
  for (auto& t : T)
    for (CD3DEdge* r : t) {
      r->cell = root;
      r->flags = 2;
    }
}

CD3DW::~CD3DW() {
  for (CXYZW* p : points) delete p;
  delete grid_;
  delete arena_;
}

void CD3DW::reserve(std::size_t n) {
  points.reserve(n);
  // About 13 live triangles and 7 live cells per point, and as many
  // placeholder records at most as live ones.
  edges.reserve(n * 6 * 28 + 24);
  cells.reserve(n * 8 + 64);
}

void CD3DW::new6(CD3DEdge*& e0, CD3DEdge*& e1, CD3DEdge*& e2, CD3DEdge*& e3, CD3DEdge*& e4,
                 CD3DEdge*& e5, CXYZW* P, CXYZW* Q, CXYZW* R) {
  bool fresh;
  CD3DTriangle* t = arena_->triangles.take(&fresh);
  t->pos = std::uint32_t(edges.size());
  for (int k = 0; k < 6; ++k) {
    CD3DEdge& r = t->rec[k];
    r.fnext = nullptr;
    r.flags = 0;
    r.slot = (unsigned char)k;
    edges.push_back(&r);
  }
  t->v[0] = P;
  t->v[1] = Q;
  t->v[2] = R;
  t->side[0] = t->side[1] = nullptr;
  t->c2 = nullptr;
  t->c3[0] = t->c3[1] = nullptr;
  t->c1[0] = t->c1[1] = t->c1[2] = nullptr;
  for (auto& m : t->minor) m = CInexact();
  t->cache_point = nullptr;
  t->cache_positive = false;
  t->have_minors = false;
  e0 = &t->rec[0];
  e1 = &t->rec[1];
  e2 = &t->rec[2];
  e3 = &t->rec[3];
  e4 = &t->rec[4];
  e5 = &t->rec[5];
}

// A new cell (v0, v1, v2, v3); ti is any record of the triangle of face i.
CD3DCell* CD3DW::new_cell(CXYZW* v0, CXYZW* v1, CXYZW* v2, CXYZW* v3, CD3DEdge* t0, CD3DEdge* t1,
                          CD3DEdge* t2, CD3DEdge* t3) {
  bool fresh;
  CD3DCell* c = arena_->cells.take(&fresh);
  c->vertex[0] = v0;
  c->vertex[1] = v1;
  c->vertex[2] = v2;
  c->vertex[3] = v3;
  c->face[0] = rec_of(t0, v0, v1);
  c->face[1] = rec_of(t1, v0, v3);
  c->face[2] = rec_of(t2, v0, v2);
  c->face[3] = rec_of(t3, v1, v3);
  for (auto& ch : c->child) ch = nullptr;
  if (fresh) cells.push_back(c);
  // Every cell a flip replaces has all its vertices in the new cells, so
  // each vertex always knows a live cell.
  v0->cell_hint = c;
  v1->cell_hint = c;
  v2->cell_hint = c;
  v3->cell_hint = c;
  return c;
}

// Makes the twelve records facing into c point at c and at their ring
// successors inside c. The ring links of all records are determined by the
// cells they face into, so re-linking the records of every new cell restores
// the rings around every edge a flip touches.
void CD3DW::link_cell(CD3DCell* c) {
  for (int i = 0; i < 4; ++i) {
    CD3DEdge* g = c->face[i];
    g->cell = c;  // shared by the three records of the orientation
    for (int k = 0; k < 3; ++k, g = g->enext) {
      CD3DEdge* h = c->face[kOtherFace[i][k]];
      for (int r = kOtherRot[i][k]; r > 0; --r) h = h->enext;
      g->fnext = h->sym;
    }
  }
}

void CD3DW::kill_triangle(CD3DEdge* e) {
  CD3DTriangle* t = e->triangle();
  for (int k = 0; k < 6; ++k) t->rec[k].flags |= 2;
  dying_blocks_.push_back(t);
}

void CD3DW::retire(CD3DCell* c) { dying_cells_.push_back(c); }

// At the end of an insertion nothing refers to the triangles and cells that
// left any more (the flip stack is empty and every vertex knows a live
// cell): their places in `edges` get the placeholder and their storage is
// reused.
void CD3DW::release_dead() {
  for (CD3DTriangle* t : dying_blocks_) {
    for (int k = 0; k < 6; ++k) edges[t->pos + k] = &placeholder_.rec[k];
    holes_ += 6;
    arena_->triangles.give(t);
  }
  dying_blocks_.clear();
  for (CD3DCell* c : dying_cells_) {
    c->child[0] = c;
    c->child[1] = c->child[2] = c->child[3] = nullptr;
    arena_->cells.give(c);
  }
  dying_cells_.clear();
  if (holes_ > 4096 && 2 * holes_ > edges.size()) compact_edges();
}

void CD3DW::compact_edges() {
  std::size_t kept = 0;
  for (std::size_t k = 0; k < edges.size(); k += 6) {
    CD3DTriangle* t = edges[k]->triangle();
    if (t == &placeholder_) continue;
    t->pos = std::uint32_t(kept);
    for (int j = 0; j < 6; ++j) edges[kept + j] = &t->rec[j];
    kept += 6;
  }
  edges.resize(kept);
  holes_ = 0;
}

void CD3DW::push(CD3DEdge* e) {
  e->flags = 1;
  flip_stack.push_back(e);
}

void CD3DW::add(double x, double y, double z, double w, int id, void* data) {
  CXYZW* p = new CXYZW;
  p->data = data;
  p->set(x, y, z, w);
  p->id = id;
  points.push_back(p);

  double size = std::fabs(x) + std::fabs(y) + std::fabs(z) + std::fabs(w);
  bool large = 1000.0 * size > M;
  if (large) {
    std::fputs("coordinates too large!", stderr);
    ++warnings;
  }
  // A point that is not finite or lies outside the bounding tetrahedron
  // cannot be located; inserting it would corrupt the triangulation.
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z) || !std::isfinite(w) ||
      (large && !inside_bound(p))) {
    ++stats[2];
    ++warnings;
    return;
  }

  CD3DCell* node = locate(p);
  CD3DEdge* m = node->face[0];
  CXYZW* s = m->fnext->apex;
  CXYZW* corners[4] = {m->origin, m->destination, m->apex, s};
  for (CXYZW* v : corners) {
    if (v->x.value == x && v->y.value == y && v->z.value == z) {
      ++stats[2];
      return;
    }
  }
  if (!insphere(m, p)) {
    ++stats[2];
    return;
  }
  split14(node, p);

  while (!flip_stack.empty()) {
    CD3DEdge* e = flip_stack.back();
    flip_stack.pop_back();
    if (!flip_stack.empty()) {
      // the next face's neighbour across is usually far in memory
      // (its block spans at most 80 bytes before and 248 after it)
      const char* next = reinterpret_cast<const char*>(flip_stack.back()->sym->fnext);
      for (int off = -80; off < 248; off += 64) __builtin_prefetch(next + off);
    }
    e->flags &= 2;
    if (e->flags) continue;
    CXYZW* d = e->sym->fnext->apex;
    if (!insphere(e, d)) continue;
    {
      // a flip will link the faces of the cell across
      CD3DEdge* se = e->sym;
      const char* across[3] = {reinterpret_cast<const char*>(se->fnext),
                               reinterpret_cast<const char*>(se->enext->fnext),
                               reinterpret_cast<const char*>(se->enext->enext->fnext)};
      for (const char* a : across)
        for (int off = -80; off < 248; off += 64) __builtin_prefetch(a + off);
    }
    bool t1 = positive(e->fnext->sym, d);
    bool t2 = positive(e->enext->fnext->sym, d);
    bool t3 = positive(e->enext->enext->fnext->sym, d);
    if (t1 && t2 && t3) {
      flip23(e);
    } else if (!t1 && t2 && t3) {
      if (e->fnext->fnext->apex == d) flip32(e);
    } else if (t1 && !t2 && t3) {
      CD3DEdge* x1 = e->enext;
      if (x1->fnext->fnext->apex == d) flip32(x1);
    } else if (t1 && t2 && !t3) {
      CD3DEdge* x1 = e->enext->enext;
      if (x1->fnext->fnext->apex == d) flip32(x1);
    } else if (!t1 && !t2 && t3) {
      flip41(e->enext->enext);
    } else if (!t1 && t2 && !t3) {
      flip41(e->enext);
    } else if (t1 && !t2 && !t3) {
      flip41(e);
    }
  }
  release_dead();
  grid_->note(p);
}

// The live cell that contains p (ties are broken by the perturbation, so it
// is unique), by a visibility walk from a cell of a vertex near p. Such a
// walk terminates in a regular triangulation; the first face tested turns
// from step to step, and a scan of all cells stands behind the step limit.
CD3DCell* CD3DW::locate(CXYZW* p) {
  CXYZW* q = grid_->near(p->x.value, p->y.value, p->z.value);
  CD3DCell* c = q && q->cell_hint ? q->cell_hint : nullptr;
  if (!c) {
    for (int i = 0; i < 4 && !c; ++i)
      if (bound[i].cell_hint && !bound[i].cell_hint->child[0]) c = bound[i].cell_hint;
  }
  std::size_t limit = 4 * cells.size() + 64;
  for (std::size_t steps = 0; c && steps < limit; ++steps) {
    int first = int(walk_turn_++ & 3), i = 0;
    for (; i < 4; ++i)
      if (!positive(c->face[(first + i) & 3], p)) break;
    if (i == 4) return c;
    ++stats[3];
    c = c->face[(first + i) & 3]->sym->cell;
    if (c->child[0]) break;  // only through the bounding tetrahedron
    for (CD3DEdge* f : c->face) {
      const char* a = reinterpret_cast<const char*>(f);
      for (int off = -80; off < 248; off += 64) __builtin_prefetch(a + off);
    }
  }
  for (CD3DCell* cell : cells)
    if (!cell->child[0] && positive(cell->face[0], p) && positive(cell->face[1], p) &&
        positive(cell->face[2], p) && positive(cell->face[3], p))
      return cell;
  std::fprintf(stderr, "internal error: point not located\n");
  std::abort();
}

void CD3DW::split14(CD3DCell* leaf, CXYZW* p) {
  CD3DEdge* abc = leaf->face[0];
  CD3DEdge* asb = leaf->face[1];
  CD3DEdge* acs = leaf->face[2];
  CD3DEdge* bsc = leaf->face[3];
  CXYZW* a = abc->origin;
  CXYZW* b = abc->destination;
  CXYZW* c = abc->apex;
  CXYZW* s = abc->fnext->apex;
  CD3DEdge *t[6], *u[5];
  new6(t[0], u[0], u[1], u[2], u[3], u[4], a, b, p);
  new6(t[1], u[0], u[1], u[2], u[3], u[4], b, c, p);
  new6(t[2], u[0], u[1], u[2], u[3], u[4], c, a, p);
  new6(t[3], u[0], u[1], u[2], u[3], u[4], a, s, p);
  new6(t[4], u[0], u[1], u[2], u[3], u[4], b, s, p);
  new6(t[5], u[0], u[1], u[2], u[3], u[4], c, s, p);
  // Triangles: abp = t0, bcp = t1, cap = t2, asp = t3, bsp = t4, csp = t5.
  CD3DCell* c0 = new_cell(a, b, c, p, abc, t[0], t[2], t[1]);  // (a,b,c) (a,p,b) (a,c,p) (b,p,c)
  CD3DCell* c1 = new_cell(a, c, s, p, acs, t[2], t[3], t[5]);  // (a,c,s) (a,p,c) (a,s,p) (c,p,s)
  CD3DCell* c2 = new_cell(a, s, b, p, asb, t[3], t[0], t[4]);  // (a,s,b) (a,p,s) (a,b,p) (s,p,b)
  CD3DCell* c3 = new_cell(b, s, c, p, bsc, t[4], t[1], t[5]);  // (b,s,c) (b,p,s) (b,c,p) (s,p,c)
  leaf->child[0] = c0;
  leaf->child[1] = c1;
  leaf->child[2] = c2;
  leaf->child[3] = c3;
  retire(leaf);
  link_cell(c0);
  link_cell(c1);
  link_cell(c2);
  link_cell(c3);
  push(abc);
  push(acs);
  push(asb);
  push(bsc);
}

void CD3DW::flip23(CD3DEdge* e) {
  ++stats[0];
  CXYZW* a = e->origin;
  CXYZW* b = e->destination;
  CXYZW* c = e->apex;
  CXYZW* p = e->fnext->apex;
  CD3DEdge* se = e->sym;
  CXYZW* d = se->fnext->apex;
  CD3DEdge* abp = e->fnext;
  CD3DEdge* bcp = e->enext->fnext;
  CD3DEdge* cap = e->enext->enext->fnext;
  CD3DEdge* abd = se->fnext;
  CD3DEdge* acd = se->enext->fnext;
  CD3DEdge* bcd = se->enext->enext->fnext;
  CD3DCell* old1 = e->cell;
  CD3DCell* old2 = se->cell;
  CD3DEdge *dpa, *dpb, *dpc, *u[5];
  new6(dpa, u[0], u[1], u[2], u[3], u[4], d, p, a);
  new6(dpb, u[0], u[1], u[2], u[3], u[4], d, p, b);
  new6(dpc, u[0], u[1], u[2], u[3], u[4], d, p, c);
  CD3DCell* n1 = new_cell(d, p, a, b, dpa, dpb, abd, abp);  // (d,p,a) (d,b,p) (d,a,b) (p,b,a)
  CD3DCell* n2 = new_cell(d, p, b, c, dpb, dpc, bcd, bcp);
  CD3DCell* n3 = new_cell(d, p, c, a, dpc, dpa, acd, cap);
  for (CD3DCell* o : {old1, old2}) {
    o->child[0] = n1;
    o->child[1] = n2;
    o->child[2] = n3;
    retire(o);
  }
  link_cell(n1);
  link_cell(n2);
  link_cell(n3);
  kill_triangle(e);
  push(rec_of(abd, a, b));
  push(rec_of(bcd, b, c));
  push(rec_of(acd, c, a));
}

CD3DEdge* CD3DW::flip32(CD3DEdge* x) {
  ++stats[1];
  CXYZW* o = x->origin;
  CXYZW* t = x->destination;
  CXYZW* q = x->apex;
  CD3DEdge* y = x->fnext;
  CD3DEdge* sx = x->sym;
  CXYZW* v = y->apex;
  CXYZW* u = sx->fnext->apex;
  CD3DEdge* via_t = sx->fnext->enext->enext->fnext->sym->enext->fnext;
  CD3DEdge* via_o = y->enext->enext->fnext->enext->enext;
  if (via_t != via_o) {
    std::printf("Flip 3-2 incorrect! (%d %d)\n", v->id, u->id);
    ++warnings;
    return nullptr;
  }
  CD3DEdge* qov = x->enext->enext->fnext;
  CD3DEdge* tqv = x->enext->fnext;
  CD3DEdge* oqu = sx->enext->fnext;
  CD3DEdge* qtu = sx->enext->enext->fnext;
  CD3DEdge* tvu = y->enext->fnext;
  CD3DEdge* vou = y->enext->enext->fnext;
  CD3DCell* old1 = x->cell;
  CD3DCell* old2 = sx->cell;
  CD3DCell* old3 = y->cell;
  CD3DEdge *quv, *r[5];
  new6(quv, r[0], r[1], r[2], r[3], r[4], q, u, v);
  CD3DCell* n1 = new_cell(q, u, v, o, quv, oqu, qov, vou);  // (q,u,v) (q,o,u) (q,v,o) (u,o,v)
  CD3DCell* n2 = new_cell(q, v, u, t, quv, tqv, qtu, tvu);  // (q,v,u) (q,t,v) (q,u,t) (v,t,u)
  for (CD3DCell* c : {old1, old2, old3}) {
    c->child[0] = n1;
    c->child[1] = n2;
    retire(c);
  }
  link_cell(n1);
  link_cell(n2);
  kill_triangle(x);
  kill_triangle(y);
  kill_triangle(sx->fnext);
  push(rec_of(oqu, o, u));
  CD3DEdge* tq = rec_of(qtu, t, q);
  push(tq);
  return tq;
}

void CD3DW::flip41(CD3DEdge* r) {
  CD3DEdge* yz = r->enext;
  CD3DEdge* zx = r->enext->enext;
  CXYZW* d = r->sym->fnext->apex;
  if (yz->fnext->fnext->apex != d) return;
  if (zx->fnext->fnext->apex != d) return;
  ++stats[2];
  CXYZW* x = r->origin;
  CXYZW* y = r->destination;
  CXYZW* p = r->fnext->apex;
  CD3DEdge* xyp = r->fnext;
  CD3DEdge* xyd = r->sym->fnext;
  CD3DEdge* zxp = zx->fnext;
  CD3DEdge* yzp = yz->fnext;
  CD3DEdge* xpd = zxp->enext->fnext;
  CD3DEdge* ypd = yzp->enext->enext->fnext;
  CD3DEdge* zxd = zxp->fnext;
  CD3DEdge* yzd = yzp->fnext;
  CD3DEdge* zpd = zxp->enext->enext->fnext;
  CD3DCell* olds[4] = {r->cell, r->sym->cell, yzp->cell, zxp->cell};
  CD3DCell* n = new_cell(x, y, d, p, xyd, xyp, xpd, ypd);  // (x,y,d) (x,p,y) (x,d,p) (y,p,d)
  for (CD3DCell* c : olds) {
    c->child[0] = n;
    retire(c);
  }
  r->apex->cell_hint = nullptr;  // no longer a vertex
  link_cell(n);
  for (CD3DEdge* dead : {r, zxp, yzp, zxd, yzd, zpd}) kill_triangle(dead);
  // The face opposite the new point was regular against the removed cell,
  // not against the new one: test it again.
  push(n->face[0]);
}

void CD3DEdge::check_minors() {
  CD3DTriangle* t = triangle();
  if (t->have_minors) return;
  CInexact m[4];
  triangle_minors(*origin, *destination, *apex, m);
  // Stored for the orientation of slots 0-2; negation is exact.
  for (int k = 0; k < 4; ++k) t->minor[k] = slot < 3 ? m[k] : -m[k];
  t->have_minors = true;
}

bool CD3DW::positive(CD3DEdge* e, CXYZW* p) {
  ++stats[4];
  CD3DTriangle* t = e->triangle();
  if (t->cache_point == p) {
    ++stats[5];
    return (e->slot < 3) == t->cache_positive;
  }
  if (t->have_minors)
    ++stats[6];
  else
    e->check_minors();
  // For the orientation of slots 0-2; the other orientation is the reverse.
  bool exact = false;
  bool r0 = orient_positive(t->minor, t->v[0], t->v[1], t->v[2], p, &exact);
  if (exact) ++stats[7];
  t->cache_point = p;
  t->cache_positive = r0;
  return (e->slot < 3) == r0;
}

// Inside the bounding tetrahedron; neither counts nor caches.
bool CD3DW::inside_bound(CXYZW* p) {
  for (CD3DEdge* f : bound_face_) {
    f->check_minors();
    CD3DTriangle* t = f->triangle();
    bool exact = false;
    if ((f->slot < 3) != orient_positive(t->minor, t->v[0], t->v[1], t->v[2], p, &exact))
      return false;
  }
  return true;
}

bool CD3DW::insphere(CD3DEdge* e, CXYZW* p) {
  ++stats[8];
  CD3DEdge* abd = e->fnext;
  CD3DEdge* bcd = e->enext->fnext;
  CD3DEdge* acd = e->enext->enext->fnext->sym;
  CD3DEdge* faces[4] = {e, abd, bcd, acd};
  CInexact m[4][4];
  for (int f = 0; f < 4; ++f) {
    faces[f]->check_minors();
    for (int k = 0; k < 4; ++k) m[f][k] = faces[f]->minors(k);
  }
  bool exact = false;
  bool r = power_positive(e->origin, e->destination, e->apex, abd->apex, p, m[0], m[1], m[2], m[3],
                          &exact);
  if (exact) ++stats[9];
  return r;
}

bool edge_less(CD3DEdge* a, CD3DEdge* b) {
  if (a->origin->id != b->origin->id) return a->origin->id < b->origin->id;
  return a->destination->id < b->destination->id;
}

void CD3DW::list_edges(std::vector<CD3DEdge*>* out) {
  // The result equals a stable sort of all records by (origin id,
  // destination id) followed by the compaction that keeps the first record
  // of each directed edge. The two records of an edge in one triangle come
  // from the same block, so the first live triangle (in creation order)
  // that holds an edge supplies both of its directions: collect the edges
  // of the live triangles, keep the first of each, and lay both directions
  // out by origin.
  struct Item {
    int u, v;  // u < v
    CD3DEdge* uv;
    CD3DEdge* vu;
  };
  std::vector<Item> items;
  items.reserve(edges.size() / 3);
  int max_id = -1;
  static const int kPairs[3][2] = {{0, 3}, {1, 4}, {2, 5}};  // PQ, QR, RP and their reverses
  for (std::size_t k = 0; k < edges.size(); k += 6) {
    CD3DTriangle* t = edges[k]->triangle();
    if ((t->rec[0].flags & t->rec[1].flags & t->rec[2].flags & t->rec[3].flags & t->rec[4].flags &
         t->rec[5].flags & 2))
      continue;
    int id[3] = {t->v[0]->id, t->v[1]->id, t->v[2]->id};
    for (const auto& pr : kPairs) {
      CD3DEdge* a = &t->rec[pr[0]];
      CD3DEdge* b = &t->rec[pr[1]];
      if ((a->flags & 2) || (b->flags & 2)) continue;
      int ia = id[d3dw_detail::kOrg[pr[0]]], ib = id[d3dw_detail::kOrg[pr[1]]];
      if (ia < 0 || ib < 0) continue;
      if (ia < ib)
        items.push_back({ia, ib, a, b});
      else
        items.push_back({ib, ia, b, a});
      if (ia > max_id) max_id = ia;
      if (ib > max_id) max_id = ib;
    }
  }
  std::size_t nv = std::size_t(max_id + 1);
  std::vector<std::size_t> start(nv + 1, 0);
  for (const Item& it : items) ++start[std::size_t(it.u) + 1];
  for (std::size_t i = 1; i <= nv; ++i) start[i] += start[i - 1];
  std::vector<Item> sorted(items.size());
  {
    std::vector<std::size_t> fill(start.begin(), start.end() - 1);
    for (const Item& it : items) sorted[fill[it.u]++] = it;
  }
  std::vector<Item>().swap(items);
  // per smaller end: stable insertion sort by the larger end, first of each kept
  std::size_t unique = 0;
  std::vector<std::size_t> degree(nv + 1, 0);
  for (std::size_t b = 0; b < nv; ++b) {
    Item* first = sorted.data() + start[b];
    Item* last = sorted.data() + start[b + 1];
    for (Item* i = first + 1; i < last; ++i) {
      Item x = *i;
      Item* j = i;
      for (; j > first && (j - 1)->v > x.v; --j) *j = *(j - 1);
      *j = x;
    }
    for (Item* i = first; i < last; ++i) {
      if (i != first && (i - 1)->v == i->v) continue;
      sorted[unique++] = *i;
      ++degree[std::size_t(i->u) + 1];
      ++degree[std::size_t(i->v) + 1];
    }
  }
  for (std::size_t i = 1; i <= nv; ++i) degree[i] += degree[i - 1];
  // Edges arrive by ascending smaller end, so each origin receives its
  // smaller destinations first and all of them in ascending order.
  std::vector<CD3DEdge*>& v = *out;
  v.assign(2 * unique, nullptr);
  for (std::size_t i = 0; i < unique; ++i) {
    const Item& it = sorted[i];
    v[degree[it.u]++] = it.uv;
    v[degree[it.v]++] = it.vu;
  }
}

std::vector<int> seeded_insertion_order(int n) {
  std::vector<int> perm(n > 0 ? n : 0);
  for (int i = 0; i < n; ++i) perm[i] = i;
  srandom(1);
  for (int i = n - 1; i >= 1; --i) {
    int j = rand() % (i + 1);
    std::swap(perm[i], perm[j]);
  }
  return perm;
}
