// The geometric kernel of the triangulation: the weighted point and the
// orientation and power-sphere predicates, as free functions that know
// nothing of records, cells or caches.
//
// Both predicates evaluate their determinant first with error bounds and
// trust the sign only when the bound proves it; otherwise the points are
// sorted by id and the determinant and, while it is zero, a fixed cascade of
// sub-determinants is evaluated exactly (symbolic perturbation by id). So no
// call ever reports a tie, and equal inputs always give the same answer.
#ifndef GEOMETRY_PREDICATES_H
#define GEOMETRY_PREDICATES_H

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

#include "geometry/exact.h"
#include "geometry/inexact.h"

class C0Simplex;
struct CD3DCell;

// A weighted point. `data` is the caller's pointer (the atom's Bead), `id` the
// caller's index (-1..-4 for the bounding vertices); ids order the
// perturbation, so the points of one test must have distinct ids.
class CXYZW {
 public:
  // The fields read in every predicate and every edge listing come first,
  // so that they share a cache line.
  CD3DCell* cell_hint = nullptr;  // a live cell with this vertex, kept by CD3DW for point location
  int id = 0;
  // Names the point in the caches of its triangulation (CD3DW); 0 until
  // it has one. A point belongs to one triangulation.
  std::uint32_t serial = 0;
  CInexact x, y, z, w, lifted;          // lifted = x*x + y*y + z*z - w
  C0Simplex* vertex_simplex = nullptr;  // set by CAlpha
  void* data = nullptr;

  void set(double x, double y, double z, double w);

  // The same values exactly. Only the few tests the filters cannot decide
  // read them, so they are made on first use.
  const CExact& x_exact() const { return exact().x; }
  const CExact& y_exact() const { return exact().y; }
  const CExact& z_exact() const { return exact().z; }
  const CExact& w_exact() const { return exact().w; }
  const CExact& lifted_exact() const { return exact().lifted; }

 private:
  struct Exact {
    CExact x, y, z, w, lifted;
  };
  mutable std::unique_ptr<Exact> exact_;
  const Exact& exact() const {
    if (!exact_) make_exact();
    return *exact_;
  }
  void make_exact() const;
};

// The minors of the triangle (a, b, c): m[0] = det[a; b; c] of the
// coordinates, m[1] = det of the rows (y, z, 1), m[2] = (x, z, 1), m[3] =
// (x, y, 1). Exchanging a and b negates all four exactly.
void triangle_minors(const CXYZW& a, const CXYZW& b, const CXYZW& c, CInexact m[4]);

// Minus the orientation determinant of the triangle with minors m and q.
inline CInexact orient_o(const CInexact m[4], const CXYZW& q) {
  return ((m[3] * q.z) + ((m[1] * q.x) - (m[2] * q.y))) - m[0];
}

// Semi-static filters in front of the error-bounded ones: the sign of the
// orientation (power) determinant below when a plain floating-point
// evaluation proves it, else 0. A sign they give is the exact sign, so the
// answer of orient_positive (power_positive) is the same whichever decides.
inline int orient_sign_static(const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& p);
inline int power_sign_static(const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& d,
                             const CXYZW& p);

// Behind the static filters, for the few tests they leave open: the same
// determinants with error bounds from the sums of the absolute values of
// their terms instead of the largest differences. A sign they give is the
// exact sign; 0 when they cannot tell.
int orient_sign_dynamic(const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& p);
int power_sign_dynamic(const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& d,
                       const CXYZW& p);

// Bounds of the static filters that hold for every test among the points of
// a set, from the extent of the set: the largest difference per column is
// at most the extent. Infinite when the extent is outside the ranges of the
// filters' proof.
struct DifferenceBounds {
  double power;   // as the power filter's bound, from the extents
  double orient;  // as the orientation filter's bound
  // The bounds for points whose coordinates and weights lie within [lo, hi].
  void set(const double lo[4], const double hi[4]);
};

// The same signs as orient_sign_static, trying the bound of a set that holds
// a, b, c and p first.
inline int orient_sign_in(const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& p,
                          const DifferenceBounds& set);

// The power test of five points a, b, c, d, p by differences with p, which
// leaves what the orientation tests of any three of a..d (v0..v3) against p
// need: the flips ask for them together.
struct DifferenceFrame {
  double X[4], Y[4], Z[4], W[4];  // vi - p
  double mxy[6];      // X[i] Y[j] - X[j] Y[i] of the differences for ij = 01, 23, 02, 13, 03, 12
  double mx, my, mz;  // the largest |X|, |Y|, |Z|, when `maxima`
  bool usable;        // within the ranges of the filters' proof, when `maxima`
  bool maxima;
  double set_orient;  // the orientation bound of a set that holds the points, or infinity

  // As power_sign_static(a, b, c, d, p).
  int set_power(const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& d, const CXYZW& p);
  // The same sign, trying the bound of a set that holds the five points
  // first.
  int set_power(const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& d, const CXYZW& p,
                const DifferenceBounds& set);
  // The same, but a -1 that the set's bound proves leaves the frame unset:
  // most tests of the flip loop end so, and it reads no frame then.
  int set_power_or_reject(const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& d,
                          const CXYZW& p, const DifferenceBounds& set);
  // As orient_sign_static(vi, vj, vk, p).
  int orient_sign(int i, int j, int k);

 private:
  template <bool kFramed>
  int power_in(const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& d, const CXYZW& p,
               const DifferenceBounds& set);
  void find_maxima();
};

// Orientation: true exactly when det[a 1; b 1; c 1; p 1] of the coordinates
// is positive, a zero decided by the perturbation. m are the minors of
// (a, b, c). *exact is set when the error bound could not decide.
bool orient_positive(const CInexact m[4], CXYZW* a, CXYZW* b, CXYZW* c, CXYZW* p, bool* exact);

// Power test: true exactly when det[a h 1; b h 1; c h 1; d h 1; p h 1] of
// the coordinates and the lifted values h is positive, a zero decided by the
// perturbation. When d lies on the positive side of (a, b, c), true means
// that p, with its weight, is in conflict with the cell (a, b, c, d). The
// minors are those of the faces (a, b, c), (a, b, d), (b, c, d), (a, c, d).
// *exact is set when the error bound could not decide.
bool power_positive(CXYZW* a, CXYZW* b, CXYZW* c, CXYZW* d, CXYZW* p, const CInexact m_abc[4],
                    const CInexact m_abd[4], const CInexact m_bcd[4], const CInexact m_acd[4],
                    bool* exact);

// The perturbed signs of the orientation (four points) and power (five
// points) determinants of points sorted by ascending id: 1 when positive,
// 0 when negative, from the exact members.
int sign4(CXYZW** pts);
int sign5(CXYZW** pts);

// Why the static filters are sound. Both evaluate a determinant of
// differences with p: fl(v - p) per coordinate, then a fixed expression of
// sums, differences and products. With u = 2^-53 and no underflow, every
// operation gives (exact result of its operands)(1 + e), |e| <= u, and the
// result expands into the monomials of the exact determinant (in the exact
// differences), each multiplied by at most k factors (1 + e): k counts the
// roundings on the monomial's path (the rounding of each difference it
// holds included). So |computed - exact| <= gamma_k * P, gamma_k = k u /
// (1 - k u), P the sum of the absolute values of the monomials. P is
// bounded by the largest computed difference per column, M, with exact
// differences at most M / (1 - u).
//   Orientation, rows a - p, b - p, c - p, expanded along x (or, in the
// frame, along z): at most 8 roundings per monomial (3 differences, 2 in a
// 2x2 minor, 1 product, 2 sums), 6 monomials X Y Z: P <= 6 Mx My Mz /
// (1-u)^3, and 6 gamma_8 / (1-u)^3 < 48.001 u. Maxima over more rows than
// the three only raise the bound.
//   Power, rows (X, Y, Z, L) of v - p for v = a, b, c, d, with W the
// weight difference and L = ((X X + Y Y) + Z Z) - W, expanded by the 2x2
// minors of (X, Y) and (Z, L): at most 4 roundings in a minor of (X, Y),
// 9 in one of (Z, L) (Z's difference, 6 for L: X's difference counted
// twice, the square, three sums; the product, the difference), 1 product
// and at most 5 sums: 19. P <= 24 Mx My Mz (Mx^2 + My^2 + Mz^2 + Mw) / (1-u)^5
// (24 permutations, L of four terms), and 24 gamma_19 / (1-u)^5 < 456.01 u.
// The bound itself is computed in floating point from non-negative terms,
// each rounding at most a factor (1 - u) low, ten of them at most: the
// constants 49 u and 457 u cover the loss. The ranges below exclude
// overflow and keep every underflowed product (an absolute error of
// 2^-1075 at most, scaled by the factors after it) below 2^-600 times the
// bound, far inside the margin of the constants. A NaN anywhere makes the
// determinant NaN, which passes neither comparison. So |computed| > bound
// proves the exact sign.
//   With a set's extents E (the largest coordinate less the smallest, in
// floating point) in place of the maxima the proof holds as it stands: a
// difference of two points of the set is at most E exactly, so its
// rounded value is at most E, and E within the ranges bounds the
// underflowed products as the maxima do.
//   The dynamic filters bound P instead by P~, the same sums of products
// evaluated on the absolute values of the computed differences (L taken
// with + |W|): P <= P~ / (1-u)^5 (power; (1-u)^3 for the orientation), and
// P~ computed in floating point is at most 20 roundings low. So gamma_19
// and gamma_8 with these factors stay below 20 u and 9 u. The same upper
// ranges exclude overflow; instead of the lower ones, P~ >= 2^-700 keeps
// the underflowed products (below 2^-760 in all) far inside the margin.
namespace kernel_detail {
constexpr double kU = 1.0 / 9007199254740992.0;   // 2^-53
constexpr double kLow = 7.888609052210118e-31;    // 2^-100
constexpr double kHigh = 1.2676506002282294e30;   // 2^100
constexpr double kHighW = 1.6069380442589903e60;  // 2^200
constexpr double kInf = std::numeric_limits<double>::infinity();
inline double max2(double a, double b) { return a > b ? a : b; }
inline double max3(double a, double b, double c) { return max2(max2(a, b), c); }
inline bool in_range(double m) { return m >= kLow && m <= kHigh; }
// Two doubles operated on together, for the power test's rows taken in
// pairs: the same IEEE operations lane by lane, half the instructions.
typedef double V2 __attribute__((vector_size(16)));
typedef long long I2 __attribute__((vector_size(16)));
inline V2 vabs(V2 v) { return (V2)((I2)v & (I2){0x7fffffffffffffffLL, 0x7fffffffffffffffLL}); }
inline V2 vmax(V2 a, V2 b) { return a > b ? a : b; }
inline double hmax(V2 v) { return max2(v[0], v[1]); }
inline V2 swapped(V2 v) { return V2{v[1], v[0]}; }
}  // namespace kernel_detail

inline int orient_sign_static(const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& p) {
  using namespace kernel_detail;
  const double px = p.x.value, py = p.y.value, pz = p.z.value;
  const double ax = a.x.value - px, ay = a.y.value - py, az = a.z.value - pz;
  const double bx = b.x.value - px, by = b.y.value - py, bz = b.z.value - pz;
  const double cx = c.x.value - px, cy = c.y.value - py, cz = c.z.value - pz;
  const double mx = max3(std::fabs(ax), std::fabs(bx), std::fabs(cx));
  const double my = max3(std::fabs(ay), std::fabs(by), std::fabs(cy));
  const double mz = max3(std::fabs(az), std::fabs(bz), std::fabs(cz));
  if (!(in_range(mx) && in_range(my) && in_range(mz))) return 0;
  const double det =
      (ax * (by * cz - bz * cy) - bx * (ay * cz - az * cy)) + cx * (ay * bz - az * by);
  const double bound = (49.0 * kU) * ((mx * my) * mz);
  if (det > bound) return 1;
  if (det < -bound) return -1;
  return 0;
}

inline int orient_sign_in(const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& p,
                          const DifferenceBounds& set) {
  const double px = p.x.value, py = p.y.value, pz = p.z.value;
  const double ax = a.x.value - px, ay = a.y.value - py, az = a.z.value - pz;
  const double bx = b.x.value - px, by = b.y.value - py, bz = b.z.value - pz;
  const double cx = c.x.value - px, cy = c.y.value - py, cz = c.z.value - pz;
  const double det =
      (ax * (by * cz - bz * cy) - bx * (ay * cz - az * cy)) + cx * (ay * bz - az * by);
  if (det > set.orient) return 1;
  if (det < -set.orient) return -1;
  return orient_sign_static(a, b, c, p);
}

namespace kernel_detail {
// The 2x2 minors of two columns U, V over row pairs: (01, 23), (02, 13)
// and (03, 12).
inline void pair_minors(V2 U01, V2 U23, V2 V01, V2 V23, V2* m0123, V2* m0213, V2* m0312) {
  const V2 U02 = {U01[0], U23[0]}, U13 = {U01[1], U23[1]};
  const V2 V02 = {V01[0], V23[0]}, V13 = {V01[1], V23[1]};
  *m0123 = U02 * V13 - U13 * V02;
  *m0213 = U01 * V23 - U23 * V01;
  *m0312 = U01 * swapped(V23) - swapped(U23) * V01;
}

// The power determinant of rows taken relative to the fifth point, from
// their x-y minors: the lifted column, its minors with z, and
// m01 n23 - m02 n13 + m03 n12 + m12 n03 - m13 n02 + m23 n01, in lanes.
inline double lifted_det(V2 X01, V2 X23, V2 Y01, V2 Y23, V2 Z01, V2 Z23, V2 W01, V2 W23,
                         V2 xy0123, V2 xy0213, V2 xy0312) {
  const V2 L01 = ((X01 * X01 + Y01 * Y01) + Z01 * Z01) - W01;
  const V2 L23 = ((X23 * X23 + Y23 * Y23) + Z23 * Z23) - W23;
  V2 zl0123, zl0213, zl0312;
  pair_minors(Z01, Z23, L01, L23, &zl0123, &zl0213, &zl0312);
  const V2 sum = (xy0123 * swapped(zl0123) - xy0213 * swapped(zl0213)) + xy0312 * swapped(zl0312);
  return sum[0] + sum[1];
}
}  // namespace kernel_detail

__attribute__((always_inline)) inline int DifferenceFrame::set_power(
    const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& d, const CXYZW& p) {
  using namespace kernel_detail;
  // Rows in pairs: lane 0 holds a (c), lane 1 holds b (d).
  const V2 px = {p.x.value, p.x.value}, py = {p.y.value, p.y.value}, pz = {p.z.value, p.z.value},
           pw = {p.w.value, p.w.value};
  const V2 X01 = V2{a.x.value, b.x.value} - px, X23 = V2{c.x.value, d.x.value} - px;
  const V2 Y01 = V2{a.y.value, b.y.value} - py, Y23 = V2{c.y.value, d.y.value} - py;
  const V2 Z01 = V2{a.z.value, b.z.value} - pz, Z23 = V2{c.z.value, d.z.value} - pz;
  const V2 W01 = V2{a.w.value, b.w.value} - pw, W23 = V2{c.w.value, d.w.value} - pw;
  std::memcpy(Z, &Z01, sizeof Z01);
  std::memcpy(Z + 2, &Z23, sizeof Z23);
  set_orient = kernel_detail::kInf;
  maxima = true;
  mx = hmax(vmax(vabs(X01), vabs(X23)));
  my = hmax(vmax(vabs(Y01), vabs(Y23)));
  mz = hmax(vmax(vabs(Z01), vabs(Z23)));
  const double mw = hmax(vmax(vabs(W01), vabs(W23)));
  usable = in_range(mx) && in_range(my) && in_range(mz) && mw <= kHighW;
  V2 xy0123, xy0213, xy0312;
  pair_minors(X01, X23, Y01, Y23, &xy0123, &xy0213, &xy0312);
  std::memcpy(mxy, &xy0123, sizeof xy0123);
  std::memcpy(mxy + 2, &xy0213, sizeof xy0213);
  std::memcpy(mxy + 4, &xy0312, sizeof xy0312);
  if (!usable) return 0;
  const double det =
      lifted_det(X01, X23, Y01, Y23, Z01, Z23, W01, W23, xy0123, xy0213, xy0312);
  const double bound = (457.0 * kU) * (((mx * my) * mz) * (((mx * mx + my * my) + mz * mz) + mw));
  if (det > bound) return 1;
  if (det < -bound) return -1;
  return 0;
}

__attribute__((always_inline)) inline int DifferenceFrame::set_power(
    const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& d, const CXYZW& p,
    const DifferenceBounds& set) {
  return power_in<true>(a, b, c, d, p, set);
}

__attribute__((always_inline)) inline int DifferenceFrame::set_power_or_reject(
    const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& d, const CXYZW& p,
    const DifferenceBounds& set) {
  return power_in<false>(a, b, c, d, p, set);
}

template <bool kFramed>
__attribute__((always_inline)) inline int DifferenceFrame::power_in(
    const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& d, const CXYZW& p,
    const DifferenceBounds& set) {
  using namespace kernel_detail;
  // The operations of set_power above, in the same order.
  const V2 px = {p.x.value, p.x.value}, py = {p.y.value, p.y.value}, pz = {p.z.value, p.z.value},
           pw = {p.w.value, p.w.value};
  const V2 X01 = V2{a.x.value, b.x.value} - px, X23 = V2{c.x.value, d.x.value} - px;
  const V2 Y01 = V2{a.y.value, b.y.value} - py, Y23 = V2{c.y.value, d.y.value} - py;
  const V2 Z01 = V2{a.z.value, b.z.value} - pz, Z23 = V2{c.z.value, d.z.value} - pz;
  const V2 W01 = V2{a.w.value, b.w.value} - pw, W23 = V2{c.w.value, d.w.value} - pw;
  V2 xy0123, xy0213, xy0312;
  pair_minors(X01, X23, Y01, Y23, &xy0123, &xy0213, &xy0312);
  const double det =
      lifted_det(X01, X23, Y01, Y23, Z01, Z23, W01, W23, xy0123, xy0213, xy0312);
  // The set's bound is positive, so testing this side first changes no sign.
  if (!kFramed && det < -set.power) return -1;
  std::memcpy(X, &X01, sizeof X01);
  std::memcpy(X + 2, &X23, sizeof X23);
  std::memcpy(Y, &Y01, sizeof Y01);
  std::memcpy(Y + 2, &Y23, sizeof Y23);
  std::memcpy(Z, &Z01, sizeof Z01);
  std::memcpy(Z + 2, &Z23, sizeof Z23);
  std::memcpy(W, &W01, sizeof W01);
  std::memcpy(W + 2, &W23, sizeof W23);
  set_orient = set.orient;
  maxima = false;
  std::memcpy(mxy, &xy0123, sizeof xy0123);
  std::memcpy(mxy + 2, &xy0213, sizeof xy0213);
  std::memcpy(mxy + 4, &xy0312, sizeof xy0312);
  if (det > set.power) return 1;
  // The bound of this test alone.
  find_maxima();
  if (!usable) return 0;
  const double mw =
      max2(max2(std::fabs(W[0]), std::fabs(W[2])), max2(std::fabs(W[1]), std::fabs(W[3])));
  const double bound = (457.0 * kU) * (((mx * my) * mz) * (((mx * mx + my * my) + mz * mz) + mw));
  if (det > bound) return 1;
  if (det < -bound) return -1;
  return 0;
}

__attribute__((noinline)) inline void DifferenceFrame::find_maxima() {
  using namespace kernel_detail;
  auto largest = [](const double* v) {
    return max2(max2(std::fabs(v[0]), std::fabs(v[2])), max2(std::fabs(v[1]), std::fabs(v[3])));
  };
  mx = largest(X);
  my = largest(Y);
  mz = largest(Z);
  usable = in_range(mx) && in_range(my) && in_range(mz) && largest(W) <= kHighW;
  maxima = true;
}

__attribute__((always_inline)) inline int DifferenceFrame::orient_sign(int i, int j, int k) {
  // The minor of rows i, j: its place in mxy and its sign.
  static constexpr signed char kAt[4][4] = {
      {-1, 0, 2, 4}, {0, -1, 5, 3}, {2, 5, -1, 1}, {4, 3, 1, -1}};
  auto minor = [this](int r, int s) { return r < s ? mxy[kAt[r][s]] : -mxy[kAt[r][s]]; };
  const double det = (Z[i] * minor(j, k) - Z[j] * minor(i, k)) + Z[k] * minor(i, j);
  if (det > set_orient) return 1;
  if (det < -set_orient) return -1;
  if (!maxima) find_maxima();
  if (!usable) return 0;
  const double bound = (49.0 * kernel_detail::kU) * ((mx * my) * mz);
  if (det > bound) return 1;
  if (det < -bound) return -1;
  return 0;
}

inline int power_sign_static(const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& d,
                             const CXYZW& p) {
  DifferenceFrame f;
  return f.set_power(a, b, c, d, p);
}

#endif
