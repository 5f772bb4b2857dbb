// CD3DW insertion: the split of the located cell and the flips that
// restore regularity.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "geometry/d3dw.h"
#include "geometry/d3dw_arena.h"

namespace {

using d3dw_detail::cell_ring;
using d3dw_detail::kNextStep;
using d3dw_detail::kSymRotStep;
using d3dw_detail::kSymStep;

// The slot of e's enext's sym from e's slot.
constexpr int next_sym_slot(int s) { return s + kSymRotStep[s][1]; }
// The sym of e's k-th enext, and that enext, in one step.
template <int K>
inline CD3DEdge* rot_sym(CD3DEdge* e) { return e + kSymRotStep[e->slot()][K]; }
template <int K>
inline CD3DEdge* rot(CD3DEdge* e) { return e + d3dw_detail::kRotStep[e->slot()][K]; }

}  // namespace

void CD3DW::add(double x, double y, double z, double w, int id, void* data) {
  CXYZW* p = arena_->points.make();
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
  widen(p);

  CD3DCell* node = locate(p);
  CD3DEdge* m = node->face[0];
  CXYZW* corners[4] = {m->origin(), m->destination(), m->apex(), node->vertex(3)};
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
    // e = (a, b, c) with the new point p on its side and d across.
    CD3DEdge* e = flip_stack.back();
    flip_stack.pop_back();
    if (!flip_stack.empty()) {
      // the next face's cells are usually far in memory
      const CD3DTriangle* next = flip_stack.back()->triangle();
      __builtin_prefetch(reinterpret_cast<const void*>(next->side[0] & ~std::uintptr_t(15)));
      __builtin_prefetch(reinterpret_cast<const void*>(next->side[1] & ~std::uintptr_t(15)));
    }
    CD3DTriangle* t = e->triangle();
    if (t->state & CD3DTriangle::kDead) continue;  // left after it was pushed
    const int se_slot = e->slot();
    CD3DEdge* se = e + kSymStep[se_slot];
    CD3DEdge* across[3];  // (b, a, d), (a, c, d), (c, b, d)
    cell_ring<0>(se, across);
    CD3DEdge* abd = across[0];
    CXYZW* d = abd->apex();

    // The power test of the cell (a, b, c, p) against d, as insphere(e, d)
    // with its faces (a, b, p), (b, c, p) and (c, a, p) at hand.
    ++stats.insphere_calls;
    CD3DEdge* e1 = e + kNextStep[se_slot];
    CD3DEdge* near[3];
    cell_ring<0, 1, 2>(e, near);
    CD3DEdge* abp = near[0];
    CD3DEdge* bcp = near[1];
    CD3DEdge* cap = near[2];
    CD3DEdge* acp = cap->sym();
    e->note_minors();
    abp->note_minors();
    bcp->note_minors();
    acp->note_minors();
    CXYZW* a = t->v[d3dw_detail::kOrg[se_slot]];
    CXYZW* b = t->v[d3dw_detail::kDst[se_slot]];
    CXYZW* c = t->v[d3dw_detail::kApx[se_slot]];
    DifferenceFrame frame;  // rows a, b, c, p
    // The fourth vertex of e's cell is p: the records on the stack face
    // into cells made during this insertion, and every cell it makes (the
    // split's, the flips') has p as a vertex. Points with ids below 0 may
    // be bounding vertices, outside the extent of the others.
    const int power = (a->id | b->id | c->id | p->id | d->id) >= 0
                          ? frame.set_power_or_reject(*a, *b, *c, *p, *d, bounds_)
                          : frame.set_power(*a, *b, *c, *p, *d);
    if (power < 0 || (power == 0 && !insphere_bounded(e, abp, bcp, acp, d))) continue;

    // A flip sets the faces of the cell across.
    cell_ring<1, 2>(se, across);
    CD3DEdge* acd = across[1];
    CD3DEdge* bcd = across[2];
    d3dw_detail::fetch_block(acd);
    d3dw_detail::fetch_block(bcd);
    // The faces (b, a, p), (c, b, p), (a, c, p) of the cell (a, b, c, p)
    // against d.
    const int s1 = frame.orient_sign(1, 0, 3), s2 = frame.orient_sign(2, 1, 3),
              s3 = frame.orient_sign(0, 2, 3);
    bool t1 = positive(abp->sym(), d, &s1);
    bool t2 = positive(bcp->sym(), d, &s2);
    bool t3 = positive(acp, d, &s3);
    if (t1 && t2 && t3) {
      flip23(e, abp, bcp, cap, abd, acd, bcd, d);
    } else if (!t1 && t2 && t3) {
      if (abp->fnext()->apex() == d) flip32(e, abp, abd, cap, bcp, acd, bcd);
    } else if (t1 && !t2 && t3) {
      if (bcp->fnext()->apex() == d) flip32(e1, bcp, bcd, abp, cap, abd, acd);
    } else if (t1 && t2 && !t3) {
      if (cap->fnext()->apex() == d) flip32(e1->enext(), cap, acd, bcp, abp, bcd, abd);
    } else if (!t1 && !t2 && t3) {
      flip41(e1->enext());
    } else if (!t1 && t2 && !t3) {
      flip41(e1);
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
  CXYZW* s = leaf->vertex(3);
  // Triangles (rec[0] of each): abp, bcp, cap, asp, bsp, csp.
  CD3DEdge* abp = make_triangle(a, b, p)->rec;
  CD3DEdge* bcp = make_triangle(b, c, p)->rec;
  CD3DEdge* cap = make_triangle(c, a, p)->rec;
  CD3DEdge* asp = make_triangle(a, s, p)->rec;
  CD3DEdge* bsp = make_triangle(b, s, p)->rec;
  CD3DEdge* csp = make_triangle(c, s, p)->rec;
  CD3DCell* n[4];
  for (CD3DCell*& cell : n) cell = take_cell();
  // The slots of a triangle (P, Q, R): 1 = (Q, R, P), 3 = (Q, P, R),
  // 5 = (P, R, Q).
  {
    CD3DEdge* f[4] = {abc, abp + 5, cap + 3, bcp + 5};  // (a,p,b) (a,c,p) (b,p,c)
    const int sl[4] = {abc->slot(), 5, 3, 5};
    set_cell(n[0], f, sl);
  }
  {
    CD3DEdge* f[4] = {acs, cap + 1, asp, csp + 5};  // (a,p,c) (a,s,p) (c,p,s)
    const int sl[4] = {acs->slot(), 1, 0, 5};
    set_cell(n[1], f, sl);
  }
  {
    CD3DEdge* f[4] = {asb, asp + 5, abp, bsp + 1};  // (a,p,s) (a,b,p) (s,p,b)
    const int sl[4] = {asb->slot(), 5, 0, 1};
    set_cell(n[2], f, sl);
  }
  {
    CD3DEdge* f[4] = {bsc, bsp + 5, bcp, csp + 1};  // (b,p,s) (b,c,p) (s,p,c)
    const int sl[4] = {bsc->slot(), 5, 0, 1};
    set_cell(n[3], f, sl);
  }
  // Each vertex knows the last new cell it is in.
  a->cell_hint = n[2];
  b->cell_hint = c->cell_hint = s->cell_hint = p->cell_hint = n[3];
  free_cell(leaf);
  push(abc);
  push(acs);
  push(asb);
  push(bsc);
}

// The 2-3 flip of e = (a, b, c) between the cells (a, b, c, p) and (a, b,
// c, d); abp, bcp, cap are the fnext of e and its two enext, abd, acd,
// bcd those of its sym and the sym's two enext, which run (b, a, d), (a,
// c, d), (c, b, d).
void CD3DW::flip23(CD3DEdge* e, CD3DEdge* abp, CD3DEdge* bcp, CD3DEdge* cap, CD3DEdge* abd,
                   CD3DEdge* acd, CD3DEdge* bcd, CXYZW* d) {
  ++stats.flips23;
  const int es = e->slot();
  CD3DTriangle* t = e->triangle();
  CXYZW* a = t->v[d3dw_detail::kOrg[es]];
  CXYZW* b = t->v[d3dw_detail::kDst[es]];
  CXYZW* c = t->v[d3dw_detail::kApx[es]];
  CXYZW* p = abp->apex();
  CD3DCell* n1 = e->cell();
  CD3DCell* n2 = (e + kSymStep[es])->cell();
  CD3DEdge* dpa = make_triangle(d, p, a)->rec;
  CD3DEdge* dpb = make_triangle(d, p, b)->rec;
  CD3DEdge* dpc = make_triangle(d, p, c)->rec;
  CD3DCell* n3 = take_cell();
  const int abd_s = abd->slot(), bcd_s = bcd->slot(), acd_s = acd->slot();
  const int abp_s = abp->slot(), bcp_s = bcp->slot(), cap_s = cap->slot();
  // Slot 5 of a new triangle (d, p, x) runs (d, x, p); the enext's sym of
  // abd runs (d, a, b), that of abp (p, b, a).
  {
    CD3DEdge* f[4] = {dpa, dpb + 5, rot_sym<1>(abd), rot_sym<1>(abp)};
    const int sl[4] = {0, 5, next_sym_slot(abd_s), next_sym_slot(abp_s)};
    set_cell(n1, f, sl);
  }
  {
    CD3DEdge* f[4] = {dpb, dpc + 5, rot_sym<1>(bcd), rot_sym<1>(bcp)};
    const int sl[4] = {0, 5, next_sym_slot(bcd_s), next_sym_slot(bcp_s)};
    set_cell(n2, f, sl);
  }
  {
    CD3DEdge* f[4] = {dpc, dpa + 5, rot_sym<1>(acd), rot_sym<1>(cap)};
    const int sl[4] = {0, 5, next_sym_slot(acd_s), next_sym_slot(cap_s)};
    set_cell(n3, f, sl);
  }
  // Each vertex knows the last new cell it is in.
  d->cell_hint = p->cell_hint = c->cell_hint = a->cell_hint = n3;
  b->cell_hint = n2;
  kill_triangle(e);
  push(abd + kSymStep[abd_s]);
  push(bcd + kSymStep[bcd_s]);
  push(acd + kSymStep[acd_s]);
}

CD3DEdge* CD3DW::flip32(CD3DEdge* x) {
  CD3DEdge* sx = x->sym();
  CD3DEdge* x1 = x->enext();
  CD3DEdge* sx1 = sx->enext();
  return flip32(x, x->fnext(), sx->fnext(), x1->enext()->fnext(), x1->fnext(), sx1->fnext(),
                sx1->enext()->fnext());
}

// The 3-2 flip around x = (o, t, q) with its ring neighbours y = (o, t, v)
// = fnext(x) and ux = (t, o, u) = fnext(sym(x)), and the faces qov, tqv,
// oqu, qtu that the fnext of the enext of x and sym(x) give.
CD3DEdge* CD3DW::flip32(CD3DEdge* x, CD3DEdge* y, CD3DEdge* ux, CD3DEdge* qov, CD3DEdge* tqv,
                        CD3DEdge* oqu, CD3DEdge* qtu) {
  ++stats.flips32;
  const int xs = x->slot();
  CD3DTriangle* xt = x->triangle();
  CXYZW* o = xt->v[d3dw_detail::kOrg[xs]];
  CXYZW* t = xt->v[d3dw_detail::kDst[xs]];
  CXYZW* q = xt->v[d3dw_detail::kApx[xs]];
  CXYZW* v = y->apex();
  CXYZW* u = ux->apex();
  CD3DEdge* ring[3];
  cell_ring<1, 2>(y, ring);
  CD3DEdge* tvu = ring[1];
  CD3DEdge* vou = ring[2];
  // ux->enext()->enext()->fnext()->sym()->enext()->fnext() and
  // vou->enext()->enext() are the same record in a regular flip.
  cell_ring<2>(ux, ring);
  cell_ring<1>(ring[2]->sym(), ring);
  CD3DEdge* via_t = ring[1];
  CD3DEdge* via_o = rot<2>(vou);
  if (via_t != via_o) {
    std::printf("Flip 3-2 incorrect! (%d %d)\n", v->id, u->id);
    ++warnings;
    return nullptr;
  }
  CD3DCell* n1 = x->cell();
  CD3DCell* n2 = (x + kSymStep[xs])->cell();
  CD3DCell* old3 = y->cell();
  CD3DEdge* quv = make_triangle(q, u, v)->rec;
  {
    CD3DEdge* f[4] = {quv, oqu->sym(), rot_sym<2>(qov), rot_sym<1>(vou)};
    const int sl[4] = {0, f[1]->slot(), f[2]->slot(), f[3]->slot()};
    set_cell(n1, f, sl);
  }
  {
    CD3DEdge* f[4] = {quv + 5, tqv->sym(), rot_sym<2>(qtu), tvu->sym()};
    const int sl[4] = {5, f[1]->slot(), f[2]->slot(), f[3]->slot()};
    set_cell(n2, f, sl);
  }
  // Each vertex knows the last new cell it is in.
  o->cell_hint = n1;
  q->cell_hint = v->cell_hint = u->cell_hint = t->cell_hint = n2;
  free_cell(old3);
  kill_triangle(x);
  kill_triangle(y);
  kill_triangle(ux);
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
  CD3DCell* n = olds[0];
  {
    // (x,y,d) (x,p,y) (x,d,p) (y,p,d)
    CD3DEdge* f[4] = {xyd->sym(), xyp->enext()->enext()->sym(), xpd->enext()->enext()->sym(),
                      ypd->sym()};
    const int sl[4] = {f[0]->slot(), f[1]->slot(), f[2]->slot(), f[3]->slot()};
    set_cell(n, f, sl);
  }
  for (int i = 1; i < 4; ++i) free_cell(olds[i]);
  x->cell_hint = y->cell_hint = d->cell_hint = p->cell_hint = n;
  r->apex()->cell_hint = nullptr;  // no longer a vertex
  for (CD3DEdge* dead : {r, zxp, yzp, zxd, yzd, zpd}) kill_triangle(dead);
  // The face opposite the new point was regular against the removed cell,
  // not against the new one: test it again.
  push(n->face[0]);
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
