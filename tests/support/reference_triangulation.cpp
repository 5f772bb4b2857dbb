#include "support/reference_triangulation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "reference triangulation: %s\n", what);
  std::abort();
}

// The record of e's triangle that runs o -> d.
RefRecord* rec(RefRecord* e, const CXYZW* o, const CXYZW* d) {
  RefRecord* r[6] = {e, e->enext, e->enext->enext, e->sym, e->sym->enext, e->sym->enext->enext};
  for (RefRecord* x : r)
    if (x->origin == o && x->destination == d) return x;
  fail("record not in triangle");
}

bool has(const RefRecord* e, const CXYZW* v) {
  return e->origin == v || e->destination == v || e->apex == v;
}

void check_minors(RefRecord* e) {
  if (e->minors_valid) return;
  CInexact m[4];
  triangle_minors(*e->origin, *e->destination, *e->apex, m);
  RefRecord* s = e->sym;
  for (int i = 0; i < 3; ++i, e = e->enext, s = s->enext) {
    for (int k = 0; k < 4; ++k) {
      e->minors[k] = m[k];
      s->minors[k] = CInexact(-m[k].value, m[k].err);
    }
    e->minors_valid = s->minors_valid = true;
  }
}

// Orientation of the triangle (a, b, c) against p, touching no record.
bool plain_positive(CXYZW* a, CXYZW* b, CXYZW* c, CXYZW* p) {
  CInexact m[4];
  triangle_minors(*a, *b, *c, m);
  bool exact = false;
  return orient_positive(m, a, b, c, p, &exact);
}

}  // namespace

RefTriangulation::RefTriangulation(double size) : M(size) {
  bound[0].set(0, 0, M, 0);
  bound[1].set(0, M, -M, 0);
  bound[2].set(-M, -M, -M, 0);
  bound[3].set(M, -M, -M, 0);
  for (int i = 0; i < 4; ++i) bound[i].id = -1 - i;
  CXYZW *b0 = &bound[0], *b1 = &bound[1], *b2 = &bound[2], *b3 = &bound[3];
  new6(b0, b1, b2);
  new6(b0, b1, b3);
  new6(b0, b3, b2);
  new6(b3, b1, b2);
  auto T = [&](int t, int k) { return edges[6 * t + k]; };
  auto both = [&](int t1, int k1, int t2, int k2) {
    T(t1, k1)->fnext = T(t2, k2);
    T(t2, k2)->fnext = T(t1, k1);
  };
  both(0, 0, 1, 0), both(0, 3, 1, 3), both(0, 1, 3, 1), both(0, 4, 3, 4), both(0, 2, 2, 2),
      both(0, 5, 2, 5);
  both(1, 5, 2, 0), both(1, 2, 2, 3), both(1, 1, 3, 3), both(1, 4, 3, 0), both(2, 4, 3, 2),
      both(2, 1, 3, 5);
  RefCell* root = new RefCell{{b0, b1, b2, b3}, {T(0, 0), T(1, 5), T(2, 5), T(3, 3)}};
  cells.push_back(root);
  for (RefRecord* r : edges) {
    r->cell = root;
    r->flags = 2;
  }
}

RefTriangulation::~RefTriangulation() {
  for (CXYZW* p : points) delete p;
  for (RefRecord* r : edges) delete r;
  for (RefCell* c : cells) delete c;
}

RefRecord* RefTriangulation::new6(CXYZW* P, CXYZW* Q, CXYZW* R) {
  RefRecord* e[6] = {new RefRecord{P, Q, R}, new RefRecord{Q, R, P}, new RefRecord{R, P, Q},
                     new RefRecord{Q, P, R}, new RefRecord{R, Q, P}, new RefRecord{P, R, Q}};
  for (int k = 0; k < 3; ++k) {
    e[k]->sym = e[k + 3];
    e[k + 3]->sym = e[k];
  }
  e[0]->enext = e[1], e[1]->enext = e[2], e[2]->enext = e[0];
  e[3]->enext = e[5], e[5]->enext = e[4], e[4]->enext = e[3];
  edges.insert(edges.end(), e, e + 6);
  return e[0];
}

// fi is any record of the triangle of face i.
RefCell* RefTriangulation::new_cell(CXYZW* v0, CXYZW* v1, CXYZW* v2, CXYZW* v3, RefRecord* f0,
                                    RefRecord* f1, RefRecord* f2, RefRecord* f3) {
  RefCell* c = new RefCell{{v0, v1, v2, v3},
                           {rec(f0, v0, v1), rec(f1, v0, v3), rec(f2, v0, v2), rec(f3, v1, v3)}};
  if (c->face[0]->apex != v2 || c->face[1]->apex != v1 || c->face[2]->apex != v3 ||
      c->face[3]->apex != v2)
    fail("cell face with the wrong apex");
  cells.push_back(c);
  return c;
}

// The twelve records facing into c get c as their cell and, as ring
// successor, the record of c's other face on their edge.
void RefTriangulation::link(RefCell* c) {
  for (RefRecord* f : c->face) {
    RefRecord* g = f;
    for (int k = 0; k < 3; ++k, g = g->enext) {
      g->cell = c;
      CXYZW* v = nullptr;
      for (CXYZW* q : c->vertex)
        if (!has(g, q)) v = q;
      RefRecord* other = nullptr;
      for (RefRecord* h : c->face)
        if (has(h, g->origin) && has(h, g->destination) && has(h, v)) other = h;
      if (!other) fail("cell without the face across an edge");
      g->fnext = rec(other, g->origin, g->destination);
    }
  }
}

void RefTriangulation::push(RefRecord* e) {
  e->flags = 1;
  flip_stack.push_back(e);
}

bool RefTriangulation::positive(RefRecord* e, CXYZW* p) {
  ++stats[4];
  if (e->cached_point == p) {
    ++stats[5];
    return e->cached_positive;
  }
  if (e->minors_valid) ++stats[6];
  check_minors(e);
  bool exact = false;
  bool r = orient_positive(e->minors, e->origin, e->destination, e->apex, p, &exact);
  if (exact) ++stats[7];
  RefRecord* f = e;
  for (int k = 0; k < 3; ++k, f = f->enext) {
    f->cached_point = p;
    f->cached_positive = r;
  }
  f = f->enext->enext->sym;
  for (int k = 0; k < 3; ++k, f = f->enext) {
    f->cached_point = p;
    f->cached_positive = !r;
  }
  return r;
}

bool RefTriangulation::insphere(RefRecord* e, CXYZW* p) {
  ++stats[8];
  CXYZW *a = e->origin, *b = e->destination, *c = e->apex, *d = e->fnext->apex;
  RefRecord* abd = e->fnext;
  RefRecord* bcd = e->enext->fnext;
  RefRecord* acd = e->enext->enext->fnext->sym;
  check_minors(e);
  check_minors(abd);
  check_minors(bcd);
  check_minors(acd);
  bool exact = false;
  bool r = power_positive(a, b, c, d, p, e->minors, abd->minors, bcd->minors, acd->minors, &exact);
  if (exact) ++stats[9];
  return r;
}

void RefTriangulation::add(double x, double y, double z, double w, int id, void* data) {
  CXYZW* p = new CXYZW;
  p->data = data;
  p->set(x, y, z, w);
  p->id = id;
  points.push_back(p);
  bool large = 1000 * (std::fabs(x) + std::fabs(y) + std::fabs(z) + std::fabs(w)) > M;
  if (large) std::fputs("coordinates too large!", stderr);
  // Not finite, or outside the bounding tetrahedron: left out.
  bool placeable = std::isfinite(x) && std::isfinite(y) && std::isfinite(z) && std::isfinite(w);
  for (int f = 0; f < 4 && placeable && large; ++f) {
    RefRecord* r = cells[0]->face[f];
    placeable = plain_positive(r->origin, r->destination, r->apex, p);
  }
  if (!placeable) {
    ++stats[2];
    return;
  }

  RefCell* node = cells[0];
  auto inside = [&](RefCell* c) {
    return positive(c->face[0], p) && positive(c->face[1], p) && positive(c->face[2], p) &&
           positive(c->face[3], p);
  };
  while (node->child[0]) {
    ++stats[3];
    RefCell** ch = node->child;
    if (!ch[1])
      node = ch[0];
    else if (inside(ch[0]))
      node = ch[0];
    else if (!ch[2])
      node = ch[1];
    else if (inside(ch[1]))
      node = ch[1];
    else if (!ch[3])
      node = ch[2];
    else if (inside(ch[2]))
      node = ch[2];
    else
      node = ch[3];
  }
  RefRecord* m = node->face[0];
  CXYZW* corner[4] = {m->origin, m->destination, m->apex, m->fnext->apex};
  for (CXYZW* v : corner)
    if (v->x.value == x && v->y.value == y && v->z.value == z) {
      ++stats[2];
      return;
    }
  if (!insphere(m, p)) {
    ++stats[2];
    return;
  }
  split(node, p);

  while (!flip_stack.empty()) {
    RefRecord* e = flip_stack.back();
    flip_stack.pop_back();
    e->flags &= 2;
    if (e->flags) continue;
    CXYZW* d = e->sym->fnext->apex;
    if (!insphere(e, d)) continue;
    bool t1 = positive(e->fnext->sym, d);
    bool t2 = positive(e->enext->fnext->sym, d);
    bool t3 = positive(e->enext->enext->fnext->sym, d);
    RefRecord* x = t1 ? (t2 ? e->enext->enext : e->enext) : e;
    if (t1 && t2 && t3) {
      flip23(e);
    } else if (int(t1) + int(t2) + int(t3) == 2) {
      if (x->fnext->fnext->apex == d) flip32(x);
    } else if (!t1 && !t2 && t3) {
      flip41(e->enext->enext);
    } else if (!t1 && t2 && !t3) {
      flip41(e->enext);
    } else if (t1 && !t2 && !t3) {
      flip41(e);
    }
  }
}

void RefTriangulation::split(RefCell* leaf, CXYZW* p) {
  RefRecord* abc = leaf->face[0];
  CXYZW *a = abc->origin, *b = abc->destination, *c = abc->apex, *s = abc->fnext->apex;
  RefRecord* acs = leaf->face[2];
  RefRecord* asb = leaf->face[1];
  RefRecord* bsc = leaf->face[3];
  RefRecord* abp = new6(a, b, p);
  RefRecord* bcp = new6(b, c, p);
  RefRecord* cap = new6(c, a, p);
  RefRecord* asp = new6(a, s, p);
  RefRecord* bsp = new6(b, s, p);
  RefRecord* csp = new6(c, s, p);
  RefCell* n[4] = {
      new_cell(a, b, c, p, abc, abp, cap, bcp), new_cell(a, c, s, p, acs, cap, asp, csp),
      new_cell(a, s, b, p, asb, asp, abp, bsp), new_cell(b, s, c, p, bsc, bsp, bcp, csp)};
  for (int i = 0; i < 4; ++i) {
    leaf->child[i] = n[i];
    link(n[i]);
  }
  push(abc);
  push(acs);
  push(asb);
  push(bsc);
}

void RefTriangulation::flip23(RefRecord* e) {
  ++stats[0];
  CXYZW *a = e->origin, *b = e->destination, *c = e->apex, *p = e->fnext->apex,
        *d = e->sym->fnext->apex;
  RefRecord* abp = e->fnext;
  RefRecord* bcp = e->enext->fnext;
  RefRecord* cap = e->enext->enext->fnext;
  RefRecord* abd = rec(e->sym->fnext, a, b);
  RefRecord* bcd = rec(e->sym->enext->enext->fnext, b, c);
  RefRecord* cad = rec(e->sym->enext->fnext, c, a);
  RefCell* old[2] = {e->cell, e->sym->cell};
  RefRecord* dpa = new6(d, p, a);
  RefRecord* dpb = new6(d, p, b);
  RefRecord* dpc = new6(d, p, c);
  RefCell* n[3] = {new_cell(d, p, a, b, dpa, dpb, abd, abp),
                   new_cell(d, p, b, c, dpb, dpc, bcd, bcp),
                   new_cell(d, p, c, a, dpc, dpa, cad, cap)};
  for (RefCell* o : old)
    for (int i = 0; i < 3; ++i) o->child[i] = n[i];
  for (RefCell* c3 : n) link(c3);
  for (RefRecord* r : {e, e->enext, e->enext->enext, e->sym, e->sym->enext, e->sym->enext->enext})
    r->flags |= 2;
  push(abd);
  push(bcd);
  push(cad);
}

void RefTriangulation::flip32(RefRecord* x) {
  ++stats[1];
  CXYZW *o = x->origin, *t = x->destination, *q = x->apex, *v = x->fnext->apex,
        *u = x->sym->fnext->apex;
  if (x->sym->fnext->enext->enext->fnext->sym->enext->fnext !=
      x->fnext->enext->enext->fnext->enext->enext) {
    std::printf("Flip 3-2 incorrect! (%d %d)\n", v->id, u->id);
    return;
  }
  RefRecord* gone[3] = {x, x->fnext, x->sym->fnext};  // (o,t,q), (o,t,v), (o,t,u)
  RefCell* old[3] = {x->cell, x->sym->cell, x->fnext->cell};
  RefRecord* quv = new6(q, u, v);
  RefRecord* oqu = rec(x->sym->enext->fnext, o, q);
  RefRecord* qov = rec(x->enext->enext->fnext, q, o);
  RefRecord* vou = rec(x->fnext->enext->enext->fnext, v, o);
  RefRecord* tqv = rec(x->enext->fnext, t, q);
  RefRecord* qtu = rec(x->sym->enext->enext->fnext, q, t);
  RefRecord* tvu = rec(x->fnext->enext->fnext, t, v);
  if (!has(oqu, u) || !has(qov, v) || !has(vou, u) || !has(tqv, v) || !has(qtu, u) || !has(tvu, u))
    fail("3-2 flip: faces not where expected");
  RefCell* n1 = new_cell(q, u, v, o, quv, oqu, qov, vou);
  RefCell* n2 = new_cell(q, v, u, t, quv, tqv, qtu, tvu);
  for (RefCell* c : old) c->child[0] = n1, c->child[1] = n2;
  link(n1);
  link(n2);
  for (RefRecord* g : gone)
    for (RefRecord* r : {g, g->enext, g->enext->enext, g->sym, g->sym->enext, g->sym->enext->enext})
      r->flags |= 2;
  push(rec(oqu, o, u));
  push(rec(qtu, t, q));
}

void RefTriangulation::flip41(RefRecord* r) {
  CXYZW* d = r->sym->fnext->apex;
  if (r->enext->fnext->fnext->apex != d || r->enext->enext->fnext->fnext->apex != d) return;
  ++stats[2];
  CXYZW *x = r->origin, *y = r->destination, *z = r->apex, *p = r->fnext->apex;
  RefRecord* xyp = r->fnext;
  RefRecord* xyd = r->sym->fnext;
  RefRecord* yzp = r->enext->fnext;
  RefRecord* zxp = r->enext->enext->fnext;
  // the three triangles with z that do not hold both x and y
  RefRecord* yzd = rec(yzp->fnext, y, z);
  RefRecord* zxd = rec(zxp->fnext, z, x);
  RefRecord* zpd = rec(zxp->enext->enext->fnext, z, p);
  RefRecord* xpd = rec(zxp->enext->fnext, x, p);
  RefRecord* ypd = rec(yzp->enext->enext->fnext, y, p);
  if (!has(yzd, d) || !has(zxd, d) || !has(zpd, d) || !has(xpd, d) || !has(ypd, d))
    fail("4-1 flip: faces not where expected");
  RefCell* old[4] = {r->cell, r->sym->cell, yzp->cell, zxp->cell};
  RefCell* n = new_cell(x, y, d, p, xyd, xyp, xpd, ypd);
  for (RefCell* c : old) c->child[0] = n;
  link(n);
  for (RefRecord* g : {r, yzp, zxp, yzd, zxd, zpd}) {
    if (!has(g, z)) fail("4-1 flip: removed triangle without z");
    for (RefRecord* k : {g, g->enext, g->enext->enext, g->sym, g->sym->enext, g->sym->enext->enext})
      k->flags |= 2;
  }
  // (x, y, d) was only regular against the removed cell: test it again.
  push(n->face[0]);
}

std::vector<std::pair<int, int>> RefTriangulation::list_edges() const {
  std::vector<RefRecord*> all(edges);
  std::stable_sort(all.begin(), all.end(), [](RefRecord* a, RefRecord* b) {
    if (a->origin->id != b->origin->id) return a->origin->id < b->origin->id;
    return a->destination->id < b->destination->id;
  });
  std::vector<std::pair<int, int>> out;
  RefRecord* last = nullptr;
  for (RefRecord* e : all) {
    if ((e->flags & 2) || e->origin->id < 0 || e->destination->id < 0) continue;
    if (last && last->origin == e->origin && last->destination == e->destination) continue;
    last = e;
    out.emplace_back(e->origin->id, e->destination->id);
  }
  return out;
}

namespace {

bool same_bits(const CInexact& a, const CInexact& b) {
  return std::memcmp(&a.value, &b.value, sizeof(double)) == 0 &&
         std::memcmp(&a.err, &b.err, sizeof(double)) == 0;
}

}  // namespace

std::string compare_with_reference(CD3DW& t, const RefTriangulation& ref) {
  std::ostringstream out;
  const std::uint64_t mine_counts[3] = {t.stats.flips23, t.stats.flips32, t.stats.left_out};
  for (int k : {0, 1, 2})
    if (mine_counts[k] != ref.stats[k]) {
      out << "counter " << k << ": " << mine_counts[k] << " against " << ref.stats[k];
      return out.str();
    }
  // The records of the four bounding triangles reach no later stage, and
  // whether one counts as live is kept per triangle here, per record there.
  auto bounding = [](const CXYZW* a, const CXYZW* b, const CXYZW* c) {
    return a->id < 0 && b->id < 0 && c->id < 0;
  };
  std::vector<CD3DEdge*> live;
  for (CD3DTriangle* tr : t.triangles())
    if (!(tr->state & CD3DTriangle::kDead) && !bounding(tr->v[0], tr->v[1], tr->v[2]))
      for (CD3DEdge& e : tr->rec) live.push_back(&e);
  std::vector<RefRecord*> ref_live;
  for (RefRecord* e : ref.edges)
    if (!(e->flags & 2) && !bounding(e->origin, e->destination, e->apex)) ref_live.push_back(e);
  std::size_t n = std::min(live.size(), ref_live.size());
  for (std::size_t i = 0; i < n; ++i) {
    CD3DEdge* a = live[i];
    const RefRecord* b = ref_live[i];
    int ia[4] = {a->origin()->id, a->destination()->id, a->apex()->id, a->fnext()->apex()->id};
    int ib[4] = {b->origin->id, b->destination->id, b->apex->id, b->fnext->apex->id};
    if (!std::equal(ia, ia + 4, ib)) {
      out << "live record " << i << ": (" << ia[0] << "," << ia[1] << "," << ia[2] << ") next apex "
          << ia[3] << " against (" << ib[0] << "," << ib[1] << "," << ib[2] << ") next apex "
          << ib[3];
      return out.str();
    }
    if (ia[0] < 0 || ia[1] < 0 || ia[2] < 0) continue;  // such minors reach no later stage
    if (a->minors_valid() != b->minors_valid) {
      out << "live record " << i << " (" << ia[0] << "," << ia[1] << "," << ia[2] << "): minors "
          << (b->minors_valid ? "not " : "") << "computed, unlike the reference";
      return out.str();
    }
    if (!b->minors_valid) continue;
    a->check_minors();  // asked for; computed when read
    for (int k = 0; k < 4; ++k)
      if (!same_bits(a->minors(k), b->minors[k])) {
        out.precision(17);
        out << "live record " << i << " (" << ia[0] << "," << ia[1] << "," << ia[2] << "): minor "
            << k << " is " << a->minors(k).value << " +- " << a->minors(k).err << " against "
            << b->minors[k].value << " +- " << b->minors[k].err;
        return out.str();
      }
  }
  if (live.size() != ref_live.size()) {
    out << live.size() << " live records against " << ref_live.size();
    return out.str();
  }
  std::vector<CD3DEdge*> listed;
  t.list_edges(&listed);
  std::vector<std::pair<int, int>> mine;
  for (CD3DEdge* e : listed) mine.emplace_back(e->origin()->id, e->destination()->id);
  if (mine != ref.list_edges()) return "listed edges differ";
  return "";
}
