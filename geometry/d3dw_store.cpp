// CD3DW storage: the pools of triangle blocks and cells, record creation
// and release, the grid that starts point location, the location walk, and
// the predicate wrappers with the caches and counters on the records.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "geometry/d3dw.h"

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
  placeholder_.minor_slot = -1;
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
  CD3DEdge* r = make_triangle(P, Q, R)->rec;
  e0 = r;
  e1 = r + 1;
  e2 = r + 2;
  e3 = r + 3;
  e4 = r + 4;
  e5 = r + 5;
}

CD3DTriangle* CD3DW::make_triangle(CXYZW* P, CXYZW* Q, CXYZW* R) {
  bool fresh;
  CD3DTriangle* t = arena_->triangles.take(&fresh);
  CD3DEdge* r = t->rec;
  t->pos = std::uint32_t(edges.size());
  edges.insert(edges.end(), {r, r + 1, r + 2, r + 3, r + 4, r + 5});
  r[0].fnext = r[1].fnext = r[2].fnext = r[3].fnext = r[4].fnext = r[5].fnext = nullptr;
  r[0].flags = r[1].flags = r[2].flags = r[3].flags = r[4].flags = r[5].flags = 0;
  r[0].slot = 0;
  r[1].slot = 1;
  r[2].slot = 2;
  r[3].slot = 3;
  r[4].slot = 4;
  r[5].slot = 5;
  t->v[0] = P;
  t->v[1] = Q;
  t->v[2] = R;
  t->side[0] = t->side[1] = nullptr;
  t->c2 = nullptr;
  t->c3[0] = t->c3[1] = nullptr;
  t->c1[0] = t->c1[1] = t->c1[2] = nullptr;
  t->minor[0] = t->minor[1] = t->minor[2] = t->minor[3] = CInexact();
  t->cache_point = nullptr;
  t->cache_positive = false;
  t->have_minors = false;
  t->minor_slot = -1;
  return t;
}

// A new cell (v0, v1, v2, v3) with the records f0..f3 facing into it:
// (v0, v1, v2), (v0, v3, v1), (v0, v2, v3), (v1, v3, v2).
CD3DCell* CD3DW::new_cell(CXYZW* v0, CXYZW* v1, CXYZW* v2, CXYZW* v3, CD3DEdge* f0, CD3DEdge* f1,
                          CD3DEdge* f2, CD3DEdge* f3) {
  bool fresh;
  CD3DCell* c = arena_->cells.take(&fresh);
  c->vertex[0] = v0;
  c->vertex[1] = v1;
  c->vertex[2] = v2;
  c->vertex[3] = v3;
  c->face[0] = f0;
  c->face[1] = f1;
  c->face[2] = f2;
  c->face[3] = f3;
  c->child[0] = c->child[1] = c->child[2] = c->child[3] = nullptr;
  if (fresh) cells.push_back(c);
  // Every cell a flip replaces has all its vertices in the new cells, so
  // each vertex always knows a live cell.
  v0->cell_hint = c;
  v1->cell_hint = c;
  v2->cell_hint = c;
  v3->cell_hint = c;
  return c;
}

void CD3DW::kill_triangle(CD3DEdge* e) {
  CD3DTriangle* t = e->triangle();
  // All six records share one state.
  t->rec[0].flags |= 2;
  t->rec[1].flags |= 2;
  t->rec[2].flags |= 2;
  t->rec[3].flags |= 2;
  t->rec[4].flags |= 2;
  t->rec[5].flags |= 2;
  dying_blocks_.push_back(t);
}

void CD3DW::retire(CD3DCell* c) { dying_cells_.push_back(c); }

// At the end of an insertion nothing refers to the triangles and cells that
// left any more (the flip stack is empty and every vertex knows a live
// cell): their places in `edges` get the placeholder and their storage is
// reused.
void CD3DW::release_dead() {
  for (CD3DTriangle* t : dying_blocks_) {
    CD3DEdge** slot = edges.data() + t->pos;
    CD3DEdge* r = placeholder_.rec;
    slot[0] = r;
    slot[1] = r + 1;
    slot[2] = r + 2;
    slot[3] = r + 3;
    slot[4] = r + 4;
    slot[5] = r + 5;
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

void CD3DW::end_insertion(CXYZW* p) {
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
    for (CD3DEdge* f : c->face) d3dw_detail::fetch_block(f);
  }
  for (CD3DCell* cell : cells)
    if (!cell->child[0] && positive(cell->face[0], p) && positive(cell->face[1], p) &&
        positive(cell->face[2], p) && positive(cell->face[3], p))
      return cell;
  std::fprintf(stderr, "internal error: point not located\n");
  std::abort();
}

void CD3DEdge::check_minors() {
  CD3DTriangle* t = triangle();
  if (t->have_minors) return;
  note_minors();
  const CD3DEdge& r = t->rec[t->minor_slot];
  CInexact m[4];
  triangle_minors(*r.origin, *r.destination, *r.apex, m);
  // Stored for the orientation of slots 0-2; negation is exact.
  for (int k = 0; k < 4; ++k) t->minor[k] = r.slot < 3 ? m[k] : -m[k];
  t->have_minors = true;
}

namespace {

// Side of p against the orientation of slots 0-2 of e's triangle, given the
// sign a filter proved (0: none decided): else the error-bounded test from
// the minors and, behind it, the exact one, which sets *exact.
bool side_of_first(CD3DEdge* e, CXYZW* p, int s0, bool* exact) {
  if (s0) return s0 > 0;
  e->check_minors();
  CD3DTriangle* t = e->triangle();
  return orient_positive(t->minor, t->v[0], t->v[1], t->v[2], p, exact);
}

}  // namespace

bool CD3DW::positive(CD3DEdge* e, CXYZW* p) { return positive(e, p, nullptr); }

bool CD3DW::positive(CD3DEdge* e, CXYZW* p, const int* sign) {
  ++stats[4];
  CD3DTriangle* t = e->triangle();
  if (t->cache_point == p) {
    ++stats[5];
    return (e->slot < 3) == t->cache_positive;
  }
  if (t->minor_slot >= 0)
    ++stats[6];
  else
    e->note_minors();
  // For the orientation of slots 0-2; the other orientation is the reverse.
  int s0 =
      sign ? (e->slot < 3 ? *sign : -*sign) : orient_sign_static(*t->v[0], *t->v[1], *t->v[2], *p);
  bool exact = false;
  bool r0 = side_of_first(e, p, s0, &exact);
  if (exact) ++stats[7];
  t->cache_point = p;
  t->cache_positive = r0;
  return (e->slot < 3) == r0;
}

// Inside the bounding tetrahedron; neither counts nor caches.
bool CD3DW::inside_bound(CXYZW* p) {
  for (CD3DEdge* f : bound_face_) {
    f->note_minors();
    CD3DTriangle* t = f->triangle();
    bool exact = false;
    bool r0 = side_of_first(f, p, orient_sign_static(*t->v[0], *t->v[1], *t->v[2], *p), &exact);
    if ((f->slot < 3) != r0) return false;
  }
  return true;
}

bool CD3DW::insphere(CD3DEdge* e, CXYZW* p) {
  DifferenceFrame frame;
  return insphere(e, p, frame);
}

bool CD3DW::insphere(CD3DEdge* e, CXYZW* p, DifferenceFrame& frame) {
  ++stats[8];
  CD3DTriangle* t = e->triangle();
  const int s = e->slot;
  CD3DEdge* abd = e->fnext;
  CD3DEdge* e1 = e + d3dw_detail::kNextStep[s];
  CD3DEdge* bcd = e1->fnext;
  CD3DEdge* acd = e1->enext->fnext->sym;
  e->note_minors();
  abd->note_minors();
  bcd->note_minors();
  acd->note_minors();
  CXYZW* a = t->v[d3dw_detail::kOrg[s]];
  CXYZW* b = t->v[d3dw_detail::kDst[s]];
  CXYZW* c = t->v[d3dw_detail::kApx[s]];
  CXYZW* d = abd->apex;
  if (int sign = frame.set_power(*a, *b, *c, *d, *p)) return sign > 0;
  return insphere_bounded(e, abd, bcd, acd, p);
}

// The power test that the plain floating-point filter could not decide.
bool CD3DW::insphere_bounded(CD3DEdge* abc, CD3DEdge* abd, CD3DEdge* bcd, CD3DEdge* acd, CXYZW* p) {
  CD3DEdge* faces[4] = {abc, abd, bcd, acd};
  CInexact m[4][4];
  for (int f = 0; f < 4; ++f) {
    faces[f]->check_minors();
    for (int k = 0; k < 4; ++k) m[f][k] = faces[f]->minors(k);
  }
  bool exact = false;
  bool r = power_positive(abc->origin, abc->destination, abc->apex, abd->apex, p, m[0], m[1], m[2],
                          m[3], &exact);
  if (exact) ++stats[9];
  return r;
}
