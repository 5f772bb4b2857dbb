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

// The power test of five points a, b, c, d, p by differences with p, which
// leaves what the orientation tests of any three of a..d (v0..v3) against p
// need: the flips ask for them together.
struct DifferenceFrame {
  double Z[4];        // vi.z - p.z
  double m[4][4];     // m[i][j] = X[i] Y[j] - X[j] Y[i] of the differences; m[j][i] = -m[i][j]
  double mx, my, mz;  // the largest |X|, |Y|, |Z|
  bool usable;        // within the ranges of the filters' proof

  // As power_sign_static(a, b, c, d, p).
  int set_power(const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& d, const CXYZW& p);
  // As orient_sign_static(vi, vj, vk, p).
  int orient_sign(int i, int j, int k) const;
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
// and 5 sums: 19. P <= 24 Mx My Mz (Mx^2 + My^2 + Mz^2 + Mw) / (1-u)^5
// (24 permutations, L of four terms), and 24 gamma_19 / (1-u)^5 < 456.01 u.
// The bound itself is computed in floating point from non-negative terms,
// each rounding at most a factor (1 - u) low, ten of them at most: the
// constants 49 u and 457 u cover the loss. The ranges below exclude
// overflow and keep every underflowed product (an absolute error of
// 2^-1075 at most, scaled by the factors after it) below 2^-600 times the
// bound, far inside the margin of the constants. A NaN anywhere makes the
// determinant NaN, which passes neither comparison. So |computed| > bound
// proves the exact sign.
namespace kernel_detail {
constexpr double kU = 1.0 / 9007199254740992.0;   // 2^-53
constexpr double kLow = 7.888609052210118e-31;    // 2^-100
constexpr double kHigh = 1.2676506002282294e30;   // 2^100
constexpr double kHighW = 1.6069380442589903e60;  // 2^200
inline double max2(double a, double b) { return a > b ? a : b; }
inline double max3(double a, double b, double c) { return max2(max2(a, b), c); }
inline bool in_range(double m) { return m >= kLow && m <= kHigh; }
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

inline int DifferenceFrame::set_power(const CXYZW& a, const CXYZW& b, const CXYZW& c,
                                      const CXYZW& d, const CXYZW& p) {
  using namespace kernel_detail;
  const double px = p.x.value, py = p.y.value, pz = p.z.value, pw = p.w.value;
  const double X0 = a.x.value - px, Y0 = a.y.value - py, Z0 = a.z.value - pz;
  const double X1 = b.x.value - px, Y1 = b.y.value - py, Z1 = b.z.value - pz;
  const double X2 = c.x.value - px, Y2 = c.y.value - py, Z2 = c.z.value - pz;
  const double X3 = d.x.value - px, Y3 = d.y.value - py, Z3 = d.z.value - pz;
  const double W0 = a.w.value - pw, W1 = b.w.value - pw, W2 = c.w.value - pw, W3 = d.w.value - pw;
  Z[0] = Z0;
  Z[1] = Z1;
  Z[2] = Z2;
  Z[3] = Z3;
  mx = max2(max2(std::fabs(X0), std::fabs(X1)), max2(std::fabs(X2), std::fabs(X3)));
  my = max2(max2(std::fabs(Y0), std::fabs(Y1)), max2(std::fabs(Y2), std::fabs(Y3)));
  mz = max2(max2(std::fabs(Z0), std::fabs(Z1)), max2(std::fabs(Z2), std::fabs(Z3)));
  const double mw = max2(max2(std::fabs(W0), std::fabs(W1)), max2(std::fabs(W2), std::fabs(W3)));
  usable = in_range(mx) && in_range(my) && in_range(mz) && mw <= kHighW;
  const double m01 = X0 * Y1 - X1 * Y0, m02 = X0 * Y2 - X2 * Y0, m03 = X0 * Y3 - X3 * Y0;
  const double m12 = X1 * Y2 - X2 * Y1, m13 = X1 * Y3 - X3 * Y1, m23 = X2 * Y3 - X3 * Y2;
  m[0][1] = m01;
  m[1][0] = -m01;
  m[0][2] = m02;
  m[2][0] = -m02;
  m[0][3] = m03;
  m[3][0] = -m03;
  m[1][2] = m12;
  m[2][1] = -m12;
  m[1][3] = m13;
  m[3][1] = -m13;
  m[2][3] = m23;
  m[3][2] = -m23;
  if (!usable) return 0;
  const double L0 = ((X0 * X0 + Y0 * Y0) + Z0 * Z0) - W0;
  const double L1 = ((X1 * X1 + Y1 * Y1) + Z1 * Z1) - W1;
  const double L2 = ((X2 * X2 + Y2 * Y2) + Z2 * Z2) - W2;
  const double L3 = ((X3 * X3 + Y3 * Y3) + Z3 * Z3) - W3;
  const double n01 = Z0 * L1 - Z1 * L0, n02 = Z0 * L2 - Z2 * L0, n03 = Z0 * L3 - Z3 * L0;
  const double n12 = Z1 * L2 - Z2 * L1, n13 = Z1 * L3 - Z3 * L1, n23 = Z2 * L3 - Z3 * L2;
  const double det = ((((m01 * n23 - m02 * n13) + m03 * n12) + m12 * n03) - m13 * n02) + m23 * n01;
  const double bound = (457.0 * kU) * (((mx * my) * mz) * (((mx * mx + my * my) + mz * mz) + mw));
  if (det > bound) return 1;
  if (det < -bound) return -1;
  return 0;
}

inline int DifferenceFrame::orient_sign(int i, int j, int k) const {
  if (!usable) return 0;
  const double det = (Z[i] * m[j][k] - Z[j] * m[i][k]) + Z[k] * m[i][j];
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
