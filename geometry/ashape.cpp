#include "geometry/ashape.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "geometry/chunk_store.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();

bool is_bounding(const CXYZW* p) { return p->id < 0; }

// q lies inside or on the sphere of centre c and constant K (2 c.p - l_p = K
// for the simplex's vertices p): 2 c.q >= K + l_q.
bool inside_ortho(const double c[3], double K, const CXYZW* q) {
  double dot = c[0] * q->x.value + c[1] * q->y.value + c[2] * q->z.value;
  return 2.0 * dot >= K + q->lifted.value;
}

// Folds one coface's values into a simplex's (mu0, mu1). `first` starts the
// fold from that coface; afterwards mu0 is the least of the unattached
// cofaces' sizes and of all cofaces' mu0, mu1 the largest size or mu1, and
// any infinity in a coface's size or mu1 makes mu1 infinite.
void fold_coface(bool first, bool co_attached, double co_sigma, bool co_sigma_inf, double co_mu0,
                 bool co_mu0_inf, double co_mu1, bool co_mu1_inf, double& mu0, bool& mu0_inf,
                 double& mu1, bool& mu1_inf) {
  if (first) {
    if (co_attached) {
      mu0 = co_mu0;
      mu0_inf = co_mu0_inf;
    } else {
      mu0 = co_sigma;
      mu0_inf = co_sigma_inf;
    }
    mu1 = co_sigma;
    mu1_inf = co_sigma_inf;
  }
  if (!co_attached && !co_sigma_inf) {
    if (mu0_inf || co_sigma < mu0) {
      mu0 = co_sigma;
      mu0_inf = false;
    }
  }
  if (!co_mu0_inf) {
    if (mu0_inf || co_mu0 < mu0) {
      mu0 = co_mu0;
      mu0_inf = false;
    }
  }
  if (co_sigma_inf || co_mu1_inf) {
    mu1_inf = true;
  } else if (!mu1_inf) {
    if (co_sigma > mu1) mu1 = co_sigma;
    if (co_mu1 > mu1) mu1 = co_mu1;
  }
}

void print_value(const char* label, bool inf, double v) {
  if (inf)
    printf("%s: Infinity\t", label);
  else
    printf("%s: %lg\t", label, v);
}

// The size, flags and values that open the edge and triangle dumps.
template <class S>
void dump_head(const S& s, int size) {
  printf("size: %d\t%s;\t%s;\t", size, s.is_attached ? "Attached" : "Unattached",
         s.on_conv ? "On Conv" : "Not on Conv");
  print_value("Sigma", s.sigma_inf, s.sigma);
  print_value("Mu0", s.mu0_inf, s.mu0);
  print_value("Mu1", s.mu1_inf, s.mu1);
}

}  // namespace

// ---------------------------------------------------------------- CSimplex

CSimplex::CSimplex() : is_attached(false), vertices{nullptr, nullptr, nullptr, nullptr} {}

CSimplex::~CSimplex() {}

bool CSimplex::attached() { return is_attached; }

bool CSimplex::on_surface(double) { return false; }

bool CSimplex::surface_rule(double alpha, double sigma, bool sigma_inf, double mu0, bool mu0_inf,
                            double mu1, bool mu1_inf) const {
  double lower = is_attached ? mu0 : sigma;
  bool lower_inf = is_attached ? mu0_inf : sigma_inf;
  if (lower_inf || lower > alpha) return false;
  return mu1_inf || alpha <= mu1;
}

// --------------------------------------------------------------- C0Simplex

C0Simplex::C0Simplex(CXYZW* p)
    : sigma(-p->w.value), mu0(0.0), mu1(0.0), sigma_inf(false), mu0_inf(true), mu1_inf(true) {
  vertices[0] = p;
}

void C0Simplex::geometry() {}

CXYZW* C0Simplex::operator[](int i) { return i == 0 ? vertices[0] : nullptr; }

int C0Simplex::size() { return 1; }

bool C0Simplex::on_surface(double alpha) {
  return surface_rule(alpha, sigma, sigma_inf, mu0, mu0_inf, mu1, mu1_inf);
}

// --------------------------------------------------------------- C1Simplex

C1Simplex::C1Simplex(CD3DEdge* e) : edge_record(e) {
  vertices[0] = e->origin();
  vertices[1] = e->destination();
}

CXYZW* C1Simplex::operator[](int i) { return (i >= 0 && i < 2) ? vertices[i] : nullptr; }

int C1Simplex::size() { return 2; }

bool C1Simplex::on_surface(double alpha) {
  return surface_rule(alpha, sigma, sigma_inf, mu0, mu0_inf, mu1, mu1_inf);
}

void C1Simplex::geometry() {
  sigma_inf = mu0_inf = mu1_inf = false;
  is_attached = false;
  on_conv = false;

  const CXYZW* a = vertices[0];
  const CXYZW* b = vertices[1];
  double ax = a->x.value, ay = a->y.value, az = a->z.value;
  double la = a->lifted.value, lb = b->lifted.value;
  double d[3] = {ax - b->x.value, ay - b->y.value, az - b->z.value};
  double dd = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
  double ad = ax * d[0] + ay * d[1] + az * d[2];
  double t = (lb - la + 2.0 * ad) / (2.0 * dd);
  double c[3] = {ax - t * d[0], ay - t * d[1], az - t * d[2]};
  double K = 2.0 * (ax * c[0] + ay * c[1] + az * c[2]) - la;
  sigma = c[0] * c[0] + c[1] * c[1] + c[2] * c[2] - K;

  bool any = false;
  CD3DEdge* r = edge_record;
  do {
    const CXYZW* q = r->apex();
    if (is_bounding(q)) {
      on_conv = true;
    } else {
      if (inside_ortho(c, K, q)) is_attached = true;
      const C2Simplex* T = r->c2simplex();
      if (T) {
        fold_coface(!any, T->is_attached, T->sigma, T->sigma_inf, T->mu0, T->mu0_inf, T->mu1,
                    T->mu1_inf, mu0, mu0_inf, mu1, mu1_inf);
        any = true;
      }
    }
    r = r->fnext();
  } while (r != edge_record);

  if (!any) {
    mu0_inf = true;
    mu1_inf = true;
  }
}

void C1Simplex::dump() {
  dump_head(*this, 2);
  printf("%d %d\n", vertices[0]->id, vertices[1]->id);
}

// --------------------------------------------------------------- C2Simplex

C2Simplex::C2Simplex(CD3DEdge* e) : edge_record(e) {
  vertices[0] = e->origin();
  vertices[1] = e->destination();
  vertices[2] = e->apex();
}

CXYZW* C2Simplex::operator[](int i) { return (i >= 0 && i < 3) ? vertices[i] : nullptr; }

int C2Simplex::size() { return 3; }

bool C2Simplex::on_surface(double alpha) {
  return surface_rule(alpha, sigma, sigma_inf, mu0, mu0_inf, mu1, mu1_inf);
}

namespace {

// Shortcuts for the degeneracy tests. A triangle (a tetrahedron) is
// degenerate when the error bound of its normal's squared norm N (its
// orientation determinant D), evaluated in CInexact from the cached minors
// of its faces, is not below the value. These shortcuts prove the opposite
// from the geometry by differences, which costs a fraction of that, and
// leave the rare undecided case to the test itself.
//
// Why they are sound. Let u = 2^-53, M the largest coordinate magnitude of
// the simplex's points (at most 2^60 here) and A the sum of the absolute
// values of the monomials of the CInexact expression in the coordinates:
// every minor m1, m2, m3 has six of degree 2 and m0 six of degree 3, so A
// <= 108 M^4 for N = m1^2 + m2^2 + m3^2 and A <= 24 M^3 for D, the signed
// sum of four m0.
// 1. The error bound the CInexact evaluation carries is at most 4k u A (1 +
//    2^-45) + 2^-850, k = 4 for N and 3 for D. A coordinate's bound is
//    ErrOf(v) <= 4u|v| + 2^-1073; with k = 1 for a coordinate, max(ka, kb)
//    for a sum and ka + kb for a product, induction gives every
//    intermediate a bound of 4k u A, up to the roundings of the bound's own
//    arithmetic and the second-order term ea eb (the factor) and the
//    absolute terms of zeros and underflow (the 2^-850), since a sum's bound
//    is max(ea + eb, ErrOf(v)), a product's max((|a| + ea) eb + ea |b|,
//    ErrOf(v)), and ErrOf(v) <= 4u|v| + 2^-1073 with k >= 1.
// 2. The CInexact value itself is the plain evaluation, at most 11 (N) or 8
//    (D) roundings on any monomial's path: within 11.01 u A (8.01 u A) of
//    the true N (D).
// 3. So the test calls the simplex regular when the true N exceeds
//    27.02 u A + 2^-850, at most 2919 u M^4 + 2^-850, and when the true |D|
//    exceeds 20.02 u A + 2^-850, at most 481 u M^3 + 2^-850.
// 4. Here N is |(b - a) x (c - a)|^2 from rounded differences: 11 roundings
//    on each monomial's path and monomials summing to at most 12 (2M)^4
//    give an error below 2129 u M^4. D is det[b - a; c - a; d - a] up to
//    its sign, whose error is below 49 u mx my mz with the largest
//    difference per column (the proof of the static filters). Products
//    that underflow change neither by 2^-1000.
// Evaluated in floating point from non-negative terms, the thresholds below
// are at most a few u low, inside the margin of their constants.
constexpr double kU = 1.0 / 9007199254740992.0;  // 2^-53
constexpr double kTiny = 0x1p-800;
constexpr double kLarge = 0x1p60;

double max3(double a, double b, double c) { return std::max(std::max(a, b), c); }

// The largest coordinate magnitude of p.
double magnitude(const CXYZW* p) {
  return max3(std::fabs(p->x.value), std::fabs(p->y.value), std::fabs(p->z.value));
}

// The tetrahedron of record r with vertices v is certainly not flat by the
// error-bounded test. Asks for the faces' minors in the order the test does.
bool surely_solid(CD3DEdge* r, CXYZW* const* v) {
  CD3DEdge* ring[3];  // r->fnext(), r->enext()->fnext(), r->enext()->enext()->fnext()
  d3dw_detail::cell_ring<0, 1, 2>(r, ring);
  r->note_minors();
  ring[0]->note_minors();
  ring[1]->note_minors();
  ring[2]->sym()->note_minors();
  const double M = std::max(std::max(magnitude(v[0]), magnitude(v[1])),
                            std::max(magnitude(v[2]), magnitude(v[3])));
  if (!(M <= kLarge)) return false;
  const double ax = v[0]->x.value, ay = v[0]->y.value, az = v[0]->z.value;
  const double X1 = v[1]->x.value - ax, Y1 = v[1]->y.value - ay, Z1 = v[1]->z.value - az;
  const double X2 = v[2]->x.value - ax, Y2 = v[2]->y.value - ay, Z2 = v[2]->z.value - az;
  const double X3 = v[3]->x.value - ax, Y3 = v[3]->y.value - ay, Z3 = v[3]->z.value - az;
  const double mx = max3(std::fabs(X1), std::fabs(X2), std::fabs(X3));
  const double my = max3(std::fabs(Y1), std::fabs(Y2), std::fabs(Y3));
  const double mz = max3(std::fabs(Z1), std::fabs(Z2), std::fabs(Z3));
  const double D = (X1 * (Y2 * Z3 - Z2 * Y3) - X2 * (Y1 * Z3 - Z1 * Y3)) + X3 * (Y1 * Z2 - Z1 * Y2);
  return std::fabs(D) > ((49.0 * kU) * ((mx * my) * mz) + (481.0 * kU) * ((M * M) * M)) + kTiny;
}

// The triangle of record e with vertices v is certainly not collinear by
// the error-bounded test.
bool surely_proper(CD3DEdge* e, CXYZW* const* v) {
  e->note_minors();
  const double M = max3(magnitude(v[0]), magnitude(v[1]), magnitude(v[2]));
  if (!(M <= kLarge)) return false;
  const double ax = v[0]->x.value, ay = v[0]->y.value, az = v[0]->z.value;
  const double ux = v[1]->x.value - ax, uy = v[1]->y.value - ay, uz = v[1]->z.value - az;
  const double wx = v[2]->x.value - ax, wy = v[2]->y.value - ay, wz = v[2]->z.value - az;
  const double nx = uy * wz - uz * wy, ny = uz * wx - ux * wz, nz = ux * wy - uy * wx;
  const double N = (nx * nx + ny * ny) + nz * nz;
  const double M2 = M * M;
  return N > (5048.0 * kU) * (M2 * M2) + kTiny;
}

}  // namespace

namespace {
// Squared norm of the triangle's normal, from the record's minors.
CInexact normal_square(const CInexact m[4]) { return (m[1] * m[1] + m[2] * m[2]) + m[3] * m[3]; }
}  // namespace

bool C2Simplex::degenerate() {
  if (surely_proper(edge_record, vertices)) return false;
  CInexact m[4];
  edge_record->minors(m);
  return !normal_square(m).certain();
}

bool C2Simplex::report_degenerate() {
  if (!degenerate()) return false;
  fprintf(stderr, "3 - degeneracy!\n");
  printf("%d,%d,%d\n", vertices[0]->id, vertices[1]->id, vertices[2]->id);
  return true;
}

void C2Simplex::geometry() {
  if (report_degenerate()) {
    // Collinear within the error bound: no plane, no orthogonal centre.
    // Infinite values keep the cofaces' rules well defined.
    sigma = mu0 = mu1 = kInf;
    sigma_inf = mu0_inf = mu1_inf = true;
    is_attached = false;
    on_conv = false;
    return;
  }
  CD3DEdge* e = edge_record;
  CInexact m[4];
  e->minors(m);
  CInexact N = normal_square(m);
  const CInexact &m1 = m[1], &m2 = m[2], &m3 = m[3];
  sigma_inf = mu0_inf = mu1_inf = false;
  is_attached = false;
  on_conv = false;

  // The centre solves 2c.(b-a) = l_b - l_a, 2c.(p-a) = l_p - l_a and
  // n.c = n.a, where n = (b-a) x (p-a) comes from the cached minors.
  const CXYZW* A = vertices[0];
  const CXYZW* B = vertices[1];
  const CXYZW* P = vertices[2];
  double n[3] = {m1.value, -m2.value, m3.value};
  double nn = N.value;
  double u[3] = {B->x.value - A->x.value, B->y.value - A->y.value, B->z.value - A->z.value};
  double v[3] = {P->x.value - A->x.value, P->y.value - A->y.value, P->z.value - A->z.value};
  double ru = 0.5 * (B->lifted.value - A->lifted.value);
  double rv = 0.5 * (P->lifted.value - A->lifted.value);
  double rn = m[0].value;
  double vxn[3] = {v[1] * n[2] - v[2] * n[1], v[2] * n[0] - v[0] * n[2], v[0] * n[1] - v[1] * n[0]};
  double nxu[3] = {n[1] * u[2] - n[2] * u[1], n[2] * u[0] - n[0] * u[2], n[0] * u[1] - n[1] * u[0]};
  double c[3];
  for (int k = 0; k < 3; ++k) c[k] = (ru * vxn[k] + rv * nxu[k] + rn * n[k]) / nn;
  double K = 2.0 * (A->x.value * c[0] + A->y.value * c[1] + A->z.value * c[2]) - A->lifted.value;
  sigma = c[0] * c[0] + c[1] * c[1] + c[2] * c[2] - K;

  // The two tetrahedra on either side; a side whose fourth vertex is a
  // bounding vertex puts the triangle on the hull and makes mu1 infinite.
  // A degenerate tetrahedron adds no value.
  CD3DEdge* sides[2] = {e, e->sym()};
  bool any = false, hull = false;
  double lo = 0.0, hi = 0.0;
  for (CD3DEdge* s : sides) {
    const CXYZW* q = s->fnext()->apex();
    if (is_bounding(q)) {
      on_conv = true;
      hull = true;
      continue;
    }
    if (inside_ortho(c, K, q)) is_attached = true;
    const C3Simplex* T = s->c3simplex();
    if (!T || T->sigma_inf) continue;
    if (!any) {
      lo = hi = T->sigma;
      any = true;
    } else {
      if (T->sigma < lo) lo = T->sigma;
      if (T->sigma > hi) hi = T->sigma;
    }
  }
  mu0 = lo;
  mu0_inf = !any;
  mu1 = hi;
  mu1_inf = hull || !any;
}

void C2Simplex::dump() {
  dump_head(*this, 3);
  printf("%d %d %d\n", vertices[0]->id, vertices[1]->id, vertices[2]->id);
}

// --------------------------------------------------------------- C3Simplex

C3Simplex::C3Simplex(CD3DEdge* e) : edge_record(e) {
  vertices[0] = e->origin();
  vertices[1] = e->destination();
  vertices[2] = e->apex();
  vertices[3] = e->fnext()->apex();
}

CXYZW* C3Simplex::operator[](int i) { return (i >= 0 && i < 4) ? vertices[i] : nullptr; }

int C3Simplex::size() { return 4; }

namespace {
// Faces (a,b,c), (a,b,d), (b,c,d), (a,c,d) of the cell (a,b,c,d) of record
// r, with their minors, and det[a b c d; x y z 1] by its last column.
CInexact orientation_of(CD3DEdge* r, CInexact m[4][4]) {
  CD3DEdge* ring[3];
  d3dw_detail::cell_ring<0, 1, 2>(r, ring);
  CD3DEdge* f[4] = {r, ring[0], ring[1], ring[2]->sym()};
  for (int k = 0; k < 4; ++k) f[k]->note_minors();
  for (int k = 0; k < 4; ++k) f[k]->minors(m[k]);
  return ((m[0][0] - m[1][0]) - m[2][0]) + m[3][0];
}
}  // namespace

bool C3Simplex::degenerate() {
  if (surely_solid(edge_record, vertices)) return false;
  CInexact m[4][4];  // only when the cheap test cannot decide
  return !orientation_of(edge_record, m).certain();
}

bool C3Simplex::report_degenerate() {
  if (!degenerate()) return false;
  fprintf(stderr, "4 - degeneracy!\n");
  printf("%d,%d,%d,%d\n", vertices[0]->id, vertices[1]->id, vertices[2]->id, vertices[3]->id);
  return true;
}

void C3Simplex::geometry() {
  if (report_degenerate()) {
    // Coplanar within the error bound: reported, and kept with an infinite
    // size that its faces ignore.
    sigma = kInf;
    sigma_inf = true;
    mu0 = mu1 = 0.0;
    mu0_inf = mu1_inf = false;
    is_attached = false;
    on_conv = false;
    return;
  }
  CInexact m[4][4];
  CInexact D = orientation_of(edge_record, m);
  sigma_inf = mu0_inf = mu1_inf = false;
  is_attached = false;
  on_conv = false;

  // Cramer's rule on [x y z 1] (2cx, 2cy, 2cz, -K) = l, each replaced
  // column expanded by the faces' minors.
  double la = vertices[0]->lifted.value, lb = vertices[1]->lifted.value;
  double lc = vertices[2]->lifted.value, ld = vertices[3]->lifted.value;
  double F0[4], F1[4], F2[4], F3[4];
  for (int k = 0; k < 4; ++k) {
    F0[k] = m[0][k].value;
    F1[k] = m[1][k].value;
    F2[k] = m[2][k].value;
    F3[k] = m[3][k].value;
  }
  double dx = la * F2[1] - lb * F3[1] + lc * F1[1] - ld * F0[1];
  double dy = -la * F2[2] + lb * F3[2] - lc * F1[2] + ld * F0[2];
  double dz = la * F2[3] - lb * F3[3] + lc * F1[3] - ld * F0[3];
  double dw = -la * F2[0] + lb * F3[0] - lc * F1[0] + ld * F0[0];
  double c[3] = {0.5 * dx / D.value, 0.5 * dy / D.value, 0.5 * dz / D.value};
  double K = -dw / D.value;
  sigma = c[0] * c[0] + c[1] * c[1] + c[2] * c[2] - K;
}

void C3Simplex::dump() {
  printf("size: 4\tUnattached;\tNot on Conv;\t");
  print_value("Sigma", sigma_inf, sigma);
  printf("%d %d %d %d\n", vertices[0]->id, vertices[1]->id, vertices[2]->id, vertices[3]->id);
}

// ------------------------------------------------------------------ CAlpha

namespace {

// The record runs from the smaller to the larger id of two real points.
bool is_edge_start(const CD3DEdge* r) {
  const int a = r->origin()->id, b = r->destination()->id;
  return a >= 0 && b >= 0 && a < b;
}

// Steps r along enext until its origin has the smallest id of the triangle.
CD3DEdge* lowest_origin(CD3DEdge* r) {
  for (int k = 0; k < 2; ++k) {
    if (r->origin()->id <= r->destination()->id && r->origin()->id <= r->apex()->id) break;
    r = r->enext();
  }
  return r;
}

// Folds edge simplex s into the vertex simplex v of one of its ends.
void update_vertex(C0Simplex* v, const C1Simplex* s, bool first) {
  if (!s->sigma_inf && s->sigma < v->sigma) v->is_attached = true;
  fold_coface(first, s->is_attached, s->sigma, s->sigma_inf, s->mu0, s->mu0_inf, s->mu1, s->mu1_inf,
              v->mu0, v->mu0_inf, v->mu1, v->mu1_inf);
}

// Set of edges by their ends (smaller id first), open addressing.
class EdgeSet {
 public:
  // Room for about n edges from the start.
  explicit EdgeSet(std::size_t n = 0) : slots_(room_for(n), kEmpty) {}
  // True when the edge was not in the set yet.
  bool insert(int a, int b) {
    if (2 * (count_ + 1) > slots_.size()) grow();
    const std::uint64_t key = (std::uint64_t(std::uint32_t(a)) << 32) | std::uint32_t(b);
    if (!place(slots_, key)) return false;
    ++count_;
    return true;
  }

 private:
  static constexpr std::uint64_t kEmpty = ~std::uint64_t(0);
  // The size the set grows to for n edges.
  static std::size_t room_for(std::size_t n) {
    std::size_t size = 1024;
    while (2 * n > size) size *= 2;
    return size;
  }
  static bool place(std::vector<std::uint64_t>& slots, std::uint64_t key) {
    const std::size_t mask = slots.size() - 1;
    std::size_t k = std::size_t((key * 0x9E3779B97F4A7C15ull) >> 20) & mask;
    while (slots[k] != kEmpty) {
      if (slots[k] == key) return false;
      k = (k + 1) & mask;
    }
    slots[k] = key;
    return true;
  }
  void grow() {
    std::vector<std::uint64_t> bigger(2 * slots_.size(), kEmpty);
    for (std::uint64_t key : slots_)
      if (key != kEmpty) place(bigger, key);
    slots_.swap(bigger);
  }
  std::vector<std::uint64_t> slots_;
  std::size_t count_ = 0;
};

}  // namespace

// Simplices are made in large batches rather than one allocation each.
template <class T>
class CAlpha::Store : public ChunkStore<T, 4096> {};

CAlpha::CAlpha(CD3DW* tri, Content content)
    : tetras_(new Store<C3Simplex>),
      trias_(new Store<C2Simplex>),
      edges_(new Store<C1Simplex>),
      vertices_(new Store<C0Simplex>),
      content_(content) {
  const std::vector<CD3DTriangle*>& triangles = tri->triangles();
  // An earlier complex built on the same triangulation must not leave a
  // stale back-pointer behind.
  tri->clear_simplex_links();

  // Tetrahedra: each is made from the one face (with its vertices in
  // increasing id order, facing into the cell) whose opposite vertex is not
  // between the face's smallest and largest id.  Triangles, from the record
  // that runs through the ids in increasing cyclic order.  Edges, each
  // followed by the vertex simplices it introduces: an edge is made at the
  // first live record that runs from its smaller to its larger id; the full
  // complex marks all records around the edge there, the list alone only
  // needs to know the edges already made.
  if (content_ == kFull) {
    // The values of a kind are folded from those of the kind before.
    // Every record, in creation order.
    auto each_record = [&triangles](auto&& f) {
      for (CD3DTriangle* t : triangles)
        if (!(t->state & CD3DTriangle::kDead))
          for (CD3DEdge& r : t->rec) f(&r);
    };
    each_record([this](CD3DEdge* r) {
      if (!r->c3simplex()) make_tetra(r, simplices);
    });
    each_record([this](CD3DEdge* r) {
      if (!r->c2simplex()) make_tria(r, simplices);
    });
    EdgeSet made;
    each_record([this, &made](CD3DEdge* r) {
      if (is_edge_start(r) && made.insert(r->origin()->id, r->destination()->id))
        make_edge(r, simplices);
    });
    return;
  }
  build_list(triangles, tri->points.size());
}

// The list alone, from one walk over the triangles: each kind is made in its
// own order (that of the records that name them) and the kinds are joined;
// degenerate triangles are reported after every tetrahedron, as the full
// complex does. The six records of a triangle share their liveness but for
// those of the bounding tetrahedron, which touch no atom.
void CAlpha::build_list(const std::vector<CD3DTriangle*>& triangles, std::size_t points) {
  // Bounds on the counts, the bounding simplices included: each cell has
  // four faces, shared by two cells but for the four bounding triangles,
  // and Euler's vertices - edges + triangles - cells = 1.
  const std::size_t n_trias = triangles.size();
  const std::size_t n_tetras = n_trias / 2;
  const std::size_t n_vertices = points + 4;
  const std::size_t n_edges = n_vertices + n_tetras + 1;
  std::vector<CSimplex*> trias, edges_and_vertices;
  trias.reserve(n_trias);
  edges_and_vertices.reserve(n_edges + n_vertices);
  EdgeSet made(n_edges);
  // The slot of the record of orientation 0 (1) whose origin is vertex
  // 0, 1 or 2 of the triangle.
  static const int kFrom[2][3] = {{0, 1, 2}, {5, 3, 4}};
  for (CD3DTriangle* t : triangles) {
    if (t->state & CD3DTriangle::kDead) continue;
    const int id[3] = {t->v[0]->id, t->v[1]->id, t->v[2]->id};
    if (id[0] >= 0 && id[1] >= 0 && id[2] >= 0) {
      const int low = id[0] < id[1] ? (id[0] < id[2] ? 0 : 2) : (id[1] < id[2] ? 1 : 2);
      // Of the two orientations, the one whose ids rise cyclically from the
      // smallest names the tetrahedron on its side, when the fourth vertex
      // lies outside the ids' range. The triangle is named by the record of
      // orientation 0 from its smallest id, or by that record's sym.
      const int side = (id[0] < id[1]) + (id[1] < id[2]) + (id[2] < id[0]) == 2 ? 0 : 1;
      CD3DEdge* named = &t->rec[kFrom[side][low]];
      CD3DEdge* first = &t->rec[kFrom[0][low]];
      // A triangle asks for its minors before the tetrahedron on the
      // second side, after the one on the first (the records' order).
      const int high = std::max(std::max(id[0], id[1]), id[2]);
      if (side == 0) list_tetra(named, id[low], high);
      list_tria(first, trias);
      if (side == 1) list_tetra(named, id[low], high);
    }
    for (int j = 0; j < 6; ++j) {
      const int o = id[d3dw_detail::kOrg[j]], d = id[d3dw_detail::kDst[j]];
      if (o >= 0 && o < d && made.insert(o, d)) make_edge(&t->rec[j], edges_and_vertices);
    }
  }
  for (CSimplex* s : degenerate_) static_cast<C2Simplex*>(s)->report_degenerate();
  degenerate_.clear();
  simplices.reserve(simplices.size() + trias.size() + edges_and_vertices.size());
  simplices.insert(simplices.end(), trias.begin(), trias.end());
  simplices.insert(simplices.end(), edges_and_vertices.begin(), edges_and_vertices.end());
}

// r runs through its triangle's ids in increasing order, from `low` to
// `high`.
void CAlpha::list_tetra(CD3DEdge* r, int low, int high) {
  const int t = r->fnext()->apex()->id;
  if (t < 0 || (t > low && t < high)) return;
  C3Simplex* s = tetras_->make(r);
  s->sigma_inf = s->report_degenerate();
  simplices.push_back(s);
}

void CAlpha::list_tria(CD3DEdge* r, std::vector<CSimplex*>& out) {
  if (r->destination()->id > r->apex()->id) r = r->sym();
  C2Simplex* s = trias_->make(r);
  if (s->degenerate()) degenerate_.push_back(s);
  out.push_back(s);
}

void CAlpha::make_tetra(CD3DEdge* r0, std::vector<CSimplex*>& out) {
  if (r0->origin()->id < 0 || r0->destination()->id < 0 || r0->apex()->id < 0) return;
  CD3DEdge* r = lowest_origin(r0);
  if (r->apex()->id < r->destination()->id) return;
  // The fourth vertex lies in another triangle's block: read last.
  int t = r->fnext()->apex()->id;
  if (t < 0 || !(t <= r->origin()->id || t >= r->apex()->id)) return;

  C3Simplex* s = tetras_->make(r);
  CD3DEdge* x = r;
  for (int k = 0; k < 3; ++k, x = x->enext()) {
    x->set_c3simplex(s);
    // the three records of a face share the pointer
    x->fnext()->sym()->set_c3simplex(s);
  }
  s->geometry();
  out.push_back(s);
}

void CAlpha::make_tria(CD3DEdge* r0, std::vector<CSimplex*>& out) {
  if (r0->origin()->id < 0 || r0->destination()->id < 0 || r0->apex()->id < 0) return;
  CD3DEdge* r = lowest_origin(r0);
  if (r->destination()->id > r->apex()->id) r = r->sym();

  C2Simplex* s = trias_->make(r);
  CD3DEdge* x = r;
  x->set_c2simplex(s);  // shared by all six records
  s->geometry();
  out.push_back(s);
}

void CAlpha::make_edge(CD3DEdge* r, std::vector<CSimplex*>& out) {
  C1Simplex* s = edges_->make(r);
  if (content_ == kFull) s->geometry();
  out.push_back(s);

  CXYZW* ends[2] = {r->origin(), r->destination()};
  for (CXYZW* p : ends) {
    bool first = false;
    if (!p->vertex_simplex) {
      C0Simplex* v = vertices_->make(p);
      p->vertex_simplex = v;
      out.push_back(v);
      first = true;
    }
    if (content_ == kFull) update_vertex(p->vertex_simplex, s, first);
  }
}

CAlpha::~CAlpha() {
  simplices.clear();
  delete tetras_;
  delete trias_;
  delete edges_;
  delete vertices_;
}
