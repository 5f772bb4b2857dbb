// CD3DW insertion: the split of the located cell, the flips that restore
// regularity, and the edge listing.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "geometry/d3dw.h"

namespace {

// For face i of a cell and its k-th record (face, enext, enext.enext): the
// other face of the cell that holds the same edge, and the rotation of that
// face's record that starts at the edge's destination (faces by the cell
// convention (V0,V1,V2), (V0,V3,V1), (V0,V2,V3), (V1,V3,V2)).
constexpr int kOtherFace[4][3] = {{1, 3, 2}, {2, 3, 0}, {0, 3, 1}, {1, 2, 0}};
constexpr int kOtherRot[4][3] = {{2, 2, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 1}};
// From a record in slot s: the record k enext steps on, and the sym of
// that one, as steps in its triangle's block.
constexpr signed char kRotStep[6][3] = {{0, 1, 2}, {0, 1, -1}, {0, -2, -1},
                                        {0, 2, 1}, {0, -1, 1}, {0, -1, -2}};
constexpr signed char kSymRotStep[6][3] = {{3, 4, 5},    {3, 4, 2},    {3, 1, 2},
                                           {-3, -1, -2}, {-3, -4, -2}, {-3, -4, -5}};

// Links the k-th record of face I to its successor in the cell, the record
// of face o that starts at the same vertex, given the faces' records f and
// slots s.
template <int I, int K>
inline void link_record(CD3DEdge* const* f, const int* s) {
  constexpr int o = kOtherFace[I][K];
  (f[I] + kRotStep[s[I]][K])->set_fnext(f[o] + kSymRotStep[s[o]][kOtherRot[I][K]]);
}

}  // namespace

// Makes the twelve records facing into c point at c and at their ring
// successors inside c. The ring links of all records are determined by the
// cells they face into, so re-linking the records of every new cell restores
// the rings around every edge a flip touches.
void CD3DW::link_cell(CD3DCell* c) {
  CD3DEdge* const f[4] = {c->face[0], c->face[1], c->face[2], c->face[3]};
  const int s[4] = {f[0]->slot(), f[1]->slot(), f[2]->slot(), f[3]->slot()};
  // shared by the three records of each orientation
  reinterpret_cast<CD3DTriangle*>(f[0] - s[0])->side[s[0] >= 3] = c;
  reinterpret_cast<CD3DTriangle*>(f[1] - s[1])->side[s[1] >= 3] = c;
  reinterpret_cast<CD3DTriangle*>(f[2] - s[2])->side[s[2] >= 3] = c;
  reinterpret_cast<CD3DTriangle*>(f[3] - s[3])->side[s[3] >= 3] = c;
  link_record<0, 0>(f, s);
  link_record<0, 1>(f, s);
  link_record<0, 2>(f, s);
  link_record<1, 0>(f, s);
  link_record<1, 1>(f, s);
  link_record<1, 2>(f, s);
  link_record<2, 0>(f, s);
  link_record<2, 1>(f, s);
  link_record<2, 2>(f, s);
  link_record<3, 0>(f, s);
  link_record<3, 1>(f, s);
  link_record<3, 2>(f, s);
}

// Pushing a bounding triangle makes it one to test like any other.
void CD3DW::push(CD3DEdge* e) {
  e->triangle()->state &= static_cast<unsigned char>(~CD3DTriangle::kDead);
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
    ++stats.left_out;
    ++warnings;
    return;
  }

  CD3DCell* node = locate(p);
  CD3DEdge* m = node->face[0];
  CXYZW* s = m->fnext()->apex();
  CXYZW* corners[4] = {m->origin(), m->destination(), m->apex(), s};
  for (CXYZW* v : corners) {
    if (v->x.value == x && v->y.value == y && v->z.value == z) {
      ++stats.left_out;
      return;
    }
  }
  if (!insphere(m, p)) {
    ++stats.left_out;
    return;
  }
  split14(node, p);

  while (!flip_stack.empty()) {
    CD3DEdge* e = flip_stack.back();
    flip_stack.pop_back();
    if (!flip_stack.empty()) {
      // the next face's neighbour across is usually far in memory
      d3dw_detail::fetch_block(flip_stack.back()->sym()->fnext());
    }
    if (e->dead()) continue;  // left after it was pushed
    CXYZW* d = e->sym()->fnext()->apex();
    DifferenceFrame frame;  // rows e's origin, destination, apex, the apex of e's fnext
    if (!insphere(e, d, frame)) continue;
    {
      // a flip will link the faces of the cell across
      CD3DEdge* se = e->sym();
      d3dw_detail::fetch_block(se->fnext());
      d3dw_detail::fetch_block(se->enext()->fnext());
      d3dw_detail::fetch_block(se->enext()->enext()->fnext());
    }
    // The faces (b, a, q), (c, b, q), (a, c, q) of the cell (a, b, c, q) on
    // e's side.
    const int s1 = frame.orient_sign(1, 0, 3), s2 = frame.orient_sign(2, 1, 3),
              s3 = frame.orient_sign(0, 2, 3);
    bool t1 = positive(e->fnext()->sym(), d, &s1);
    bool t2 = positive(e->enext()->fnext()->sym(), d, &s2);
    bool t3 = positive(e->enext()->enext()->fnext()->sym(), d, &s3);
    if (t1 && t2 && t3) {
      flip23(e);
    } else if (!t1 && t2 && t3) {
      if (e->fnext()->fnext()->apex() == d) flip32(e);
    } else if (t1 && !t2 && t3) {
      CD3DEdge* x1 = e->enext();
      if (x1->fnext()->fnext()->apex() == d) flip32(x1);
    } else if (t1 && t2 && !t3) {
      CD3DEdge* x1 = e->enext()->enext();
      if (x1->fnext()->fnext()->apex() == d) flip32(x1);
    } else if (!t1 && !t2 && t3) {
      flip41(e->enext()->enext());
    } else if (!t1 && t2 && !t3) {
      flip41(e->enext());
    } else if (t1 && !t2 && !t3) {
      flip41(e);
    }
  }
  end_insertion(p);
}

void CD3DW::split14(CD3DCell* leaf, CXYZW* p) {
  CD3DEdge* abc = leaf->face[0];
  CD3DEdge* asb = leaf->face[1];
  CD3DEdge* acs = leaf->face[2];
  CD3DEdge* bsc = leaf->face[3];
  CXYZW* a = abc->origin();
  CXYZW* b = abc->destination();
  CXYZW* c = abc->apex();
  CXYZW* s = abc->fnext()->apex();
  // Triangles (rec[0] of each): abp, bcp, cap, asp, bsp, csp.
  CD3DEdge* abp = make_triangle(a, b, p)->rec;
  CD3DEdge* bcp = make_triangle(b, c, p)->rec;
  CD3DEdge* cap = make_triangle(c, a, p)->rec;
  CD3DEdge* asp = make_triangle(a, s, p)->rec;
  CD3DEdge* bsp = make_triangle(b, s, p)->rec;
  CD3DEdge* csp = make_triangle(c, s, p)->rec;
  // The slots of a triangle (P, Q, R): 1 = (Q, R, P), 3 = (Q, P, R),
  // 5 = (P, R, Q).
  CD3DCell* c0 = new_cell(a, b, c, p, abc, abp + 5, cap + 3, bcp + 5);  // (a,p,b) (a,c,p) (b,p,c)
  CD3DCell* c1 = new_cell(a, c, s, p, acs, cap + 1, asp, csp + 5);      // (a,p,c) (a,s,p) (c,p,s)
  CD3DCell* c2 = new_cell(a, s, b, p, asb, asp + 5, abp, bsp + 1);      // (a,p,s) (a,b,p) (s,p,b)
  CD3DCell* c3 = new_cell(b, s, c, p, bsc, bsp + 5, bcp, csp + 1);      // (b,p,s) (b,c,p) (s,p,c)
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
  ++stats.flips23;
  CXYZW* a = e->origin();
  CXYZW* b = e->destination();
  CXYZW* c = e->apex();
  CXYZW* p = e->fnext()->apex();
  CD3DEdge* se = e->sym();
  CXYZW* d = se->fnext()->apex();
  CD3DEdge* abp = e->fnext();
  CD3DEdge* bcp = e->enext()->fnext();
  CD3DEdge* cap = e->enext()->enext()->fnext();
  CD3DEdge* abd = se->fnext();
  CD3DEdge* acd = se->enext()->fnext();
  CD3DEdge* bcd = se->enext()->enext()->fnext();
  CD3DCell* old1 = e->cell();
  CD3DCell* old2 = se->cell();
  CD3DEdge* dpa = make_triangle(d, p, a)->rec;
  CD3DEdge* dpb = make_triangle(d, p, b)->rec;
  CD3DEdge* dpc = make_triangle(d, p, c)->rec;
  // Here abd, bcd, acd run (b, a, d), (c, b, d), (a, c, d); slot 5 of a
  // new triangle (d, p, x) runs (d, x, p).
  CD3DCell* n1 = new_cell(d, p, a, b, dpa, dpb + 5, abd->enext()->sym(), abp->enext()->sym());
  CD3DCell* n2 = new_cell(d, p, b, c, dpb, dpc + 5, bcd->enext()->sym(), bcp->enext()->sym());
  CD3DCell* n3 = new_cell(d, p, c, a, dpc, dpa + 5, acd->enext()->sym(), cap->enext()->sym());
  retire(old1);
  retire(old2);
  link_cell(n1);
  link_cell(n2);
  link_cell(n3);
  kill_triangle(e);
  push(abd->sym());
  push(bcd->sym());
  push(acd->sym());
}

CD3DEdge* CD3DW::flip32(CD3DEdge* x) {
  ++stats.flips32;
  CXYZW* o = x->origin();
  CXYZW* t = x->destination();
  CXYZW* q = x->apex();
  CD3DEdge* y = x->fnext();
  CD3DEdge* sx = x->sym();
  CXYZW* v = y->apex();
  CXYZW* u = sx->fnext()->apex();
  CD3DEdge* via_t = sx->fnext()->enext()->enext()->fnext()->sym()->enext()->fnext();
  CD3DEdge* via_o = y->enext()->enext()->fnext()->enext()->enext();
  if (via_t != via_o) {
    std::printf("Flip 3-2 incorrect! (%d %d)\n", v->id, u->id);
    ++warnings;
    return nullptr;
  }
  CD3DEdge* qov = x->enext()->enext()->fnext();
  CD3DEdge* tqv = x->enext()->fnext();
  CD3DEdge* oqu = sx->enext()->fnext();
  CD3DEdge* qtu = sx->enext()->enext()->fnext();
  CD3DEdge* tvu = y->enext()->fnext();
  CD3DEdge* vou = y->enext()->enext()->fnext();
  CD3DCell* old1 = x->cell();
  CD3DCell* old2 = sx->cell();
  CD3DCell* old3 = y->cell();
  CD3DEdge* quv = make_triangle(q, u, v)->rec;
  CD3DCell* n1 = new_cell(q, u, v, o, quv, oqu->sym(), qov->enext()->enext()->sym(), vou->enext()->sym());
  CD3DCell* n2 = new_cell(q, v, u, t, quv + 5, tqv->sym(), qtu->enext()->enext()->sym(), tvu->sym());
  retire(old1);
  retire(old2);
  retire(old3);
  link_cell(n1);
  link_cell(n2);
  kill_triangle(x);
  kill_triangle(y);
  kill_triangle(sx->fnext());
  push(oqu->sym()->enext());
  CD3DEdge* tq = qtu->sym();
  push(tq);
  return tq;
}

void CD3DW::flip41(CD3DEdge* r) {
  CD3DEdge* yz = r->enext();
  CD3DEdge* zx = r->enext()->enext();
  CXYZW* d = r->sym()->fnext()->apex();
  if (yz->fnext()->fnext()->apex() != d) return;
  if (zx->fnext()->fnext()->apex() != d) return;
  ++stats.left_out;
  CXYZW* x = r->origin();
  CXYZW* y = r->destination();
  CXYZW* p = r->fnext()->apex();
  CD3DEdge* xyp = r->fnext();
  CD3DEdge* xyd = r->sym()->fnext();
  CD3DEdge* zxp = zx->fnext();
  CD3DEdge* yzp = yz->fnext();
  CD3DEdge* xpd = zxp->enext()->fnext();
  CD3DEdge* ypd = yzp->enext()->enext()->fnext();
  CD3DEdge* zxd = zxp->fnext();
  CD3DEdge* yzd = yzp->fnext();
  CD3DEdge* zpd = zxp->enext()->enext()->fnext();
  CD3DCell* olds[4] = {r->cell(), r->sym()->cell(), yzp->cell(), zxp->cell()};
  CD3DCell* n = new_cell(x, y, d, p, xyd->sym(), xyp->enext()->enext()->sym(), xpd->enext()->enext()->sym(),
                         ypd->sym());  // (x,y,d) (x,p,y) (x,d,p) (y,p,d)
  for (CD3DCell* c : olds) retire(c);
  r->apex()->cell_hint = nullptr;  // no longer a vertex
  link_cell(n);
  for (CD3DEdge* dead : {r, zxp, yzp, zxd, yzd, zpd}) kill_triangle(dead);
  // The face opposite the new point was regular against the removed cell,
  // not against the new one: test it again.
  push(n->face[0]);
}

void CD3DW::list_edges(std::vector<CD3DEdge*>* out) {
  // Each edge between real vertices is taken once, from the first live
  // triangle in creation order that holds it (the record from its smaller
  // end, and that record's sym): taking it marks it on every triangle of
  // its ring. Then the edges are sorted by their smaller and larger ends
  // and laid out both ways by origin, which keeps the destinations of each
  // origin ascending.
  struct Item {
    int u, v;  // u < v
    // The record from u to v, with bit 0 set when it is in slots 3-5: its
    // sym lies three records back then, else three on.
    std::uintptr_t tagged;
    CD3DEdge* uv() const { return reinterpret_cast<CD3DEdge*>(tagged & ~std::uintptr_t(1)); }
    CD3DEdge* vu() const { return (tagged & 1) ? uv() - 3 : uv() + 3; }
  };
  const std::vector<CD3DTriangle*>& tris = triangles();
  std::vector<Item> items;
  // Euler: edges = vertices + cells - 1 - ... and cells = triangles / 2.
  items.reserve(tris.size() / 2 + points.size() + 16);
  int max_id = -1;
  for (CD3DTriangle* t : tris) {
    if (t->state & CD3DTriangle::kDead) continue;
    const int id[3] = {t->v[0]->id, t->v[1]->id, t->v[2]->id};
    for (int k = 0; k < 3; ++k) {  // PQ, QR, RP: slots k and k + 3
      if (t->listed & (1 << k)) continue;
      const int a = id[d3dw_detail::kOrg[k]], b = id[d3dw_detail::kDst[k]];
      if (a < 0 || b < 0) continue;
      CD3DEdge* fwd = &t->rec[k];
      CD3DEdge* x = fwd;
      do {
        x->triangle()->listed |= static_cast<unsigned char>(1 << (x->slot() % 3));
        x = x->fnext();
      } while (x != fwd);
      if (a < b)
        items.push_back(Item{a, b, reinterpret_cast<std::uintptr_t>(fwd)});
      else
        items.push_back(Item{b, a, reinterpret_cast<std::uintptr_t>(fwd + 3) | 1});
      if (a > max_id) max_id = a;
      if (b > max_id) max_id = b;
    }
  }
  for (CD3DTriangle* t : tris) t->listed = 0;

  const std::size_t nv = std::size_t(max_id + 1);
  std::vector<std::uint32_t> by_u(items.size());  // items by smaller end, then larger end
  {
    std::vector<std::uint32_t> start(nv + 1, 0);
    for (const Item& it : items) ++start[std::size_t(it.u) + 1];
    for (std::size_t i = 1; i <= nv; ++i) start[i] += start[i - 1];
    for (std::size_t k = 0; k < items.size(); ++k)
      by_u[start[std::size_t(items[k].u)]++] = std::uint32_t(k);
    std::uint32_t begin = 0;
    for (std::size_t u = 0; u < nv; ++u) {
      const std::uint32_t end = start[u];  // start[u] now ends bucket u
      for (std::uint32_t i = begin + 1; i < end; ++i) {
        const std::uint32_t x = by_u[i];
        std::uint32_t j = i;
        for (; j > begin && items[by_u[j - 1]].v > items[x].v; --j) by_u[j] = by_u[j - 1];
        by_u[j] = x;
      }
      begin = end;
    }
  }
  // Each origin receives its smaller destinations first (from the buckets
  // of smaller ends, in their order), then its larger ones.
  std::vector<std::uint32_t> at(nv + 1, 0);
  for (const Item& it : items) {
    ++at[std::size_t(it.u) + 1];
    ++at[std::size_t(it.v) + 1];
  }
  for (std::size_t i = 1; i <= nv; ++i) at[i] += at[i - 1];
  std::vector<CD3DEdge*>& v = *out;
  v.assign(2 * items.size(), nullptr);
  for (std::uint32_t k : by_u) {
    const Item& it = items[k];
    v[at[std::size_t(it.u)]++] = it.uv();
    v[at[std::size_t(it.v)]++] = it.vu();
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
