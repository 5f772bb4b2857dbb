// CD3DW storage: the chunks of triangle blocks and cells, record creation
// and release, the creation order of the triangles, the edge listing, the
// grid that starts point location, the location walk, and the predicate
// wrappers with the caches and counters on the records.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "geometry/d3dw.h"
#include "geometry/d3dw_arena.h"

C2Simplex* CD3DEdge::c2simplex() const {
  const CD3DW::Arena::Links* l = CD3DW::Arena::links(triangle());
  return l ? l->c2 : nullptr;
}
void CD3DEdge::set_c2simplex(C2Simplex* s) { CD3DW::Arena::make_links(triangle()).c2 = s; }
C3Simplex* CD3DEdge::c3simplex() const {
  const CD3DW::Arena::Links* l = CD3DW::Arena::links(triangle());
  return l ? l->c3[slot() >= 3] : nullptr;
}
void CD3DEdge::set_c3simplex(C3Simplex* s) {
  CD3DW::Arena::make_links(triangle()).c3[slot() >= 3] = s;
}

void CD3DEdge::minors(CInexact m[4]) {
  note_minors();
  const CD3DTriangle* t = triangle();
  const CD3DEdge& r = t->rec[t->minor_slot];
  triangle_minors(*r.origin(), *r.destination(), *r.apex(), m);
  // The other orientation negates all four, exactly.
  if ((t->minor_slot < 3) != (slot() < 3))
    for (int k = 0; k < 4; ++k) m[k] = -m[k];
}

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
  bound[0].set(0, 0, M, 0);
  bound[1].set(0, M, -M, 0);
  bound[2].set(-M, -M, -M, 0);
  bound[3].set(M, -M, -M, 0);
  for (int i = 0; i < 4; ++i) {
    bound[i].id = -1 - i;
    bound[i].data = nullptr;
  }
  CXYZW *b0 = &bound[0], *b1 = &bound[1], *b2 = &bound[2], *b3 = &bound[3];

  CD3DEdge* T[4][6];
  new6(T[0][0], T[0][1], T[0][2], T[0][3], T[0][4], T[0][5], b0, b1, b2);
  new6(T[1][0], T[1][1], T[1][2], T[1][3], T[1][4], T[1][5], b0, b1, b3);
  new6(T[2][0], T[2][1], T[2][2], T[2][3], T[2][4], T[2][5], b0, b3, b2);
  new6(T[3][0], T[3][1], T[3][2], T[3][3], T[3][4], T[3][5], b3, b1, b2);
  // The root cell (b0, b1, b2, b3), and outside it the same four triangles
  // as the cell (b1, b0, b2, b3) of the other orientation, which closes the
  // rings of the bounding edges.
  CD3DCell* root = take_cell();
  bound_face_[0] = T[0][0];
  bound_face_[1] = T[1][5];
  bound_face_[2] = T[2][5];
  bound_face_[3] = T[3][3];
  const int in_slots[4] = {0, 5, 5, 3};
  set_cell(root, bound_face_, in_slots);
  CD3DEdge* out[4] = {T[0][3], T[1][1], T[3][1], T[2][0]};
  const int out_slots[4] = {3, 1, 1, 0};
  set_cell(&outside_, out, out_slots);
  for (int i = 0; i < 4; ++i) bound[i].cell_hint = root;
  for (auto& t : T) t[0]->triangle()->state |= CD3DTriangle::kDead;  // never tested until pushed
}

CD3DW::~CD3DW() {
  delete grid_;
  delete arena_;
}

void CD3DW::reserve(std::size_t n) {
  points.reserve(n);
  // About 7 live cells per point.
  cells.reserve(n * 8 + 64);
}

void CD3DW::new6(CD3DEdge*& e0, CD3DEdge*& e1, CD3DEdge*& e2, CD3DEdge*& e3, CD3DEdge*& e4,
                 CD3DEdge*& e5, CXYZW* P, CXYZW* Q, CXYZW* R) {
  CD3DTriangle* t = make_triangle(P, Q, R);
  CD3DEdge* r = t->rec;
  t->side[0] = t->side[1] = 0;  // in no cell yet
  e0 = r;
  e1 = r + 1;
  e2 = r + 2;
  e3 = r + 3;
  e4 = r + 4;
  e5 = r + 5;
}

CD3DCell* CD3DW::new_cell(CD3DEdge* f0, CD3DEdge* f1, CD3DEdge* f2, CD3DEdge* f3) {
  CD3DEdge* f[4] = {f0, f1, f2, f3};
  const int s[4] = {f0->slot(), f1->slot(), f2->slot(), f3->slot()};
  CD3DCell* c = take_cell();
  set_cell(c, f, s);
  return c;
}

// The creation numbers of the live triangles become their places in the
// creation order, which keeps that order.
void CD3DW::renumber_triangles() {
  const std::vector<CD3DTriangle*>& live = triangles();
  for (std::size_t i = 0; i < live.size(); ++i) live[i]->stamp = std::uint32_t(i);
  next_stamp_ = std::uint32_t(live.size());
}

const std::vector<CD3DTriangle*>& CD3DW::triangles() {
  if (order_valid_) return order_;
  // The live blocks are those not marked dead, and the bounding triangles,
  // which are until a flip first pushes them. Sorted by creation number,
  // which no two triangles share: a radix sort by its digits, lowest first.
  std::vector<CD3DTriangle*> blocks;
  std::uint32_t top = 0;
  arena_->for_each_block([&](CD3DTriangle* t) {
    if (t->state & CD3DTriangle::kDead) {
      bool bounding = false;
      for (CD3DEdge* f : bound_face_) bounding |= f->triangle() == t;
      if (!bounding) return;
    }
    blocks.push_back(t);
    top |= t->stamp;
  });
  constexpr int kBits = 11;
  constexpr std::uint32_t kDigits = 1u << kBits;
  order_.resize(blocks.size());
  std::vector<std::size_t> start(kDigits);
  for (int shift = 0; shift < 32 && (top >> shift) != 0; shift += kBits) {
    std::fill(start.begin(), start.end(), 0);
    for (const CD3DTriangle* t : blocks) ++start[(t->stamp >> shift) & (kDigits - 1)];
    std::size_t at = 0;
    for (std::size_t& s : start) {
      const std::size_t n = s;
      s = at;
      at += n;
    }
    for (CD3DTriangle* t : blocks) order_[start[(t->stamp >> shift) & (kDigits - 1)]++] = t;
    blocks.swap(order_);
  }
  blocks.swap(order_);
  order_valid_ = true;
  return order_;
}

std::size_t CD3DW::sorted_edges(std::vector<CD3DEdge*>* out, std::size_t room,
                                std::vector<std::uint32_t>* lo_out,
                                std::vector<std::uint32_t>* hi_out) {
  // Each edge between real vertices is taken once, when a walk over the
  // live triangles first meets it: its ring is walked, marking the edge on
  // every triangle in it, for the triangle made first (the record from the
  // edge's smaller end, and that record's sym). The records from the
  // smaller ends are gathered in *out, then sorted by their larger ends
  // into a second array and back by their smaller ends, which keeps the
  // order of the first sort within each smaller end.
  // The mark of the edge of each slot (slot % 3, without a division).
  static constexpr unsigned char kListedAt[6] = {
      CD3DTriangle::kListed, CD3DTriangle::kListed << 1, CD3DTriangle::kListed << 2,
      CD3DTriangle::kListed, CD3DTriangle::kListed << 1, CD3DTriangle::kListed << 2};
  std::vector<CD3DEdge*> v;
  out->clear();
  int max_id = -1;
  for (const CXYZW* p : points) max_id = std::max(max_id, p->id);
  const std::size_t nv = std::size_t(max_id + 1);
  std::vector<std::uint32_t>& lo = *lo_out;  // edges by smaller end
  std::vector<std::uint32_t>& hi = *hi_out;  // edges by larger end
  lo.assign(nv + 1, 0);
  hi.assign(nv + 1, 0);
  {
    // Euler: vertices - edges + triangles - cells = 1, bounding ones
    // included, and each cell has four faces, shared by two cells but for
    // the four bounding ones: triangles = 2 cells + 2, edges = vertices +
    // cells + 1.
    const std::size_t vertices = points.size() - stats.left_out + 4;
    const std::size_t cells_live = cells.size() - arena_->cells.free_list.size();
    out->reserve(room * (vertices + cells_live + 1));
  }
  arena_->for_each_block([&](CD3DTriangle* t) {
    // Dead blocks are free but for the bounding triangles, which hold no
    // edge between real vertices.
    if (t->state & CD3DTriangle::kDead) return;
    for (int k = 0; k < 3; ++k) {  // PQ, QR, RP: slots k and k + 3
      // Most edges were met in the ring of an earlier block: their ends
      // are not read.
      if (t->state & (CD3DTriangle::kListed << k)) continue;
      const int a = t->v[d3dw_detail::kOrg[k]]->id, b = t->v[d3dw_detail::kDst[k]]->id;
      if (a < 0 || b < 0) continue;
      CD3DEdge* first = &t->rec[k];
      std::uint32_t first_stamp = t->stamp;
      for (CD3DEdge* x = first->fnext(); x != &t->rec[k]; x = x->fnext()) {
        CD3DTriangle* u = x->triangle();
        u->state |= kListedAt[x->slot()];
        if (u->stamp < first_stamp) {
          first = x;
          first_stamp = u->stamp;
        }
      }
      out->push_back(a < b ? first : first->sym());
      ++lo[std::size_t(std::min(a, b))];
      ++hi[std::size_t(std::max(a, b))];
    }
  });
  arena_->for_each_block([](CD3DTriangle* t) {
    t->state &= static_cast<unsigned char>(CD3DTriangle::kListed - 1);
  });

  std::vector<CD3DEdge*>& w = *out;
  const std::size_t edges = w.size();
  v.resize(edges);
  auto from = [](const CD3DEdge* e) { return std::size_t(e->origin()->id); };
  auto to = [](const CD3DEdge* e) { return std::size_t(e->destination()->id); };
  std::vector<std::uint32_t> at(nv + 1, 0);
  for (std::size_t u = 0; u < nv; ++u) at[u + 1] = at[u] + hi[u];
  for (std::size_t k = 0; k < edges; ++k) v[at[to(w[k])]++] = w[k];
  at[0] = 0;
  for (std::size_t u = 0; u < nv; ++u) at[u + 1] = at[u] + lo[u];
  for (std::size_t k = 0; k < edges; ++k) w[at[from(v[k])]++] = v[k];
  return nv;
}

void CD3DW::list_edges_once(std::vector<CD3DEdge*>* out) {
  std::vector<std::uint32_t> lo, hi;
  sorted_edges(out, 1, &lo, &hi);
}

void CD3DW::list_edges(std::vector<CD3DEdge*>* out) {
  std::vector<std::uint32_t> lo, hi;
  const std::size_t nv = sorted_edges(out, 2, &lo, &hi);
  std::vector<CD3DEdge*>& v = *out;
  const std::size_t edges = v.size();
  // The sorted records move to the second half; origin u takes its smaller
  // destinations (hi[u] of them) first, then its larger ones, moved down
  // from there: no record is overwritten before it is moved, as origin u
  // starts at most `edges` places below its bucket. Then the records back
  // from the larger ends fill the gaps, origins in ascending order.
  v.resize(2 * edges);
  std::copy(v.begin(), v.begin() + std::ptrdiff_t(edges), v.begin() + std::ptrdiff_t(edges));
  auto to = [](const CD3DEdge* e) { return std::size_t(e->destination()->id); };
  std::vector<std::uint32_t> at(nv + 1, 0);
  std::size_t start = 0, bucket = edges;
  for (std::size_t u = 0; u < nv; ++u) {
    const std::size_t dest = start + hi[u];
    for (std::size_t k = 0; k < lo[u]; ++k) v[dest + k] = v[bucket + k];
    at[u] = std::uint32_t(start);  // where the smaller destinations go
    start = dest + lo[u];
    bucket += lo[u];
  }
  for (std::size_t u = 0; u < nv; ++u) {
    // The smaller origins have filled u's smaller destinations by now.
    const std::size_t begin = at[u];
    for (std::size_t k = begin; k < begin + lo[u]; ++k) {
      CD3DEdge* x = v[k];
      v[at[to(x)]++] = x->sym();
    }
  }
}

void CD3DW::clear_simplex_links() {
  if (!complex_built_) {
    complex_built_ = true;  // a fresh triangulation has none
    return;
  }
  arena_->for_each_links_array(
      [](Arena::Links* l) { std::fill(l, l + Arena::kPer, Arena::Links{}); });
  for (CXYZW* p : points) p->vertex_simplex = nullptr;
  for (CXYZW& b : bound) b.vertex_simplex = nullptr;
}

// At the end of an insertion nothing refers to the triangles that left any
// more (the flip stack is empty): their blocks are reused.
void CD3DW::widen(const CXYZW* p) {
  const double v[4] = {p->x.value, p->y.value, p->z.value, p->w.value};
  bool grown = false;
  for (int k = 0; k < 4; ++k) {
    if (v[k] < lo_[k]) lo_[k] = v[k], grown = true;
    if (v[k] > hi_[k]) hi_[k] = v[k], grown = true;
  }
  if (grown) bounds_.set(lo_, hi_);
}

void CD3DW::end_insertion(CXYZW* p) {
  arena_->free_blocks.insert(arena_->free_blocks.end(), dying_blocks_.begin(),
                             dying_blocks_.end());
  dying_blocks_.clear();
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
      if (bound[i].cell_hint && bound[i].cell_hint->live()) c = bound[i].cell_hint;
  }
  std::size_t limit = 4 * cells.size() + 64;
  for (std::size_t steps = 0; c && steps < limit; ++steps) {
    int first = int(walk_turn_++ & 3), i = 0;
    for (; i < 4; ++i)
      if (!side(c->face[(first + i) & 3], p, nullptr, true)) break;
    if (i == 4) return c;
    ++stats.location_steps;
    c = c->face[(first + i) & 3]->sym()->cell();
    if (c == &outside_) break;  // p is not inside the bounding tetrahedron
    for (CD3DEdge* f : c->face) d3dw_detail::fetch_block(f);
  }
  for (CD3DCell* cell : cells)
    if (cell->live() && side(cell->face[0], p, nullptr, true) &&
        side(cell->face[1], p, nullptr, true) && side(cell->face[2], p, nullptr, true) &&
        side(cell->face[3], p, nullptr, true))
      return cell;
  std::fprintf(stderr, "internal error: point not located\n");
  std::abort();
}

bool CD3DW::side_by_minors(CD3DTriangle* t, CXYZW* p, bool* exact) {
  if (int s = orient_sign_dynamic(*t->v[0], *t->v[1], *t->v[2], *p)) return s > 0;
  CInexact m[4];
  t->rec[0].minors(m);
  return orient_positive(m, t->v[0], t->v[1], t->v[2], p, exact);
}

// Inside the bounding tetrahedron; neither counts nor caches.
bool CD3DW::inside_bound(CXYZW* p) {
  for (CD3DEdge* f : bound_face_) {
    f->note_minors();
    CD3DTriangle* t = f->triangle();
    bool exact = false;
    const int s0 = orient_sign_static(*t->v[0], *t->v[1], *t->v[2], *p);
    const bool r0 = s0 ? s0 > 0 : side_by_minors(t, p, &exact);
    if ((f->slot() < 3) != r0) return false;
  }
  return true;
}

bool CD3DW::insphere(CD3DEdge* e, CXYZW* p) {
  DifferenceFrame frame;
  return insphere(e, p, frame);
}

bool CD3DW::insphere(CD3DEdge* e, CXYZW* p, DifferenceFrame& frame) {
  ++stats.insphere_calls;
  CD3DTriangle* t = e->triangle();
  const int s = e->slot();
  CD3DEdge* abd = e->fnext();
  CD3DEdge* e1 = e + d3dw_detail::kNextStep[s];
  CD3DEdge* bcd = e1->fnext();
  CD3DEdge* acd = e1->enext()->fnext()->sym();
  e->note_minors();
  abd->note_minors();
  bcd->note_minors();
  acd->note_minors();
  CXYZW* a = t->v[d3dw_detail::kOrg[s]];
  CXYZW* b = t->v[d3dw_detail::kDst[s]];
  CXYZW* c = t->v[d3dw_detail::kApx[s]];
  CXYZW* d = abd->apex();
  if (int sign = frame.set_power(*a, *b, *c, *d, *p)) return sign > 0;
  return insphere_bounded(e, abd, bcd, acd, p);
}

// The power test that the static filter could not decide.
bool CD3DW::insphere_bounded(CD3DEdge* abc, CD3DEdge* abd, CD3DEdge* bcd, CD3DEdge* acd, CXYZW* p) {
  const int s =
      power_sign_dynamic(*abc->origin(), *abc->destination(), *abc->apex(), *abd->apex(), *p);
  if (s) return s > 0;
  CInexact m[4][4];
  abc->minors(m[0]);
  abd->minors(m[1]);
  bcd->minors(m[2]);
  acd->minors(m[3]);
  bool exact = false;
  bool r = power_positive(abc->origin(), abc->destination(), abc->apex(), abd->apex(), p, m[0],
                          m[1], m[2], m[3], &exact);
  if (exact) ++stats.insphere_exact;
  return r;
}
