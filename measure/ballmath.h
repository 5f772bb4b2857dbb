// Vector arithmetic and the few operation sequences that every ball piece
// is built from.  The reports print values whose last digits depend on the
// exact sequence of floating-point operations, so every routine that
// computes a shared quantity (a power centre, a dihedral angle, a cap
// volume) does it with the one helper below.
//
// The constants are used exactly as written (not the library value of pi):
// every report depends on them.
#ifndef MEASURE_BALLMATH_H
#define MEASURE_BALLMATH_H

#include <cmath>

const double AV_PI = 3.14159265;
const double AV_TWO_PI = 6.2831853;
const double AV_FOUR_PI = 12.5663706;
const double AV_FOUR_PI_THIRD = 4.1887902;
const double AV_TURN = 6.2831853;  // one full turn, in radians

namespace ballmath {

struct V3 {
  double x, y, z;
};

inline V3 at(const double* a) { return V3{a[0], a[1], a[2]}; }
inline V3 sub(const V3& a, const V3& b) { return V3{a.x - b.x, a.y - b.y, a.z - b.z}; }
inline double dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 cross(const V3& a, const V3& b) {
  return V3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double norm(const V3& a) { return std::sqrt(dot(a, a)); }
inline V3 unit(const V3& a) {
  double n = norm(a);
  return V3{a.x / n, a.y / n, a.z / n};
}
inline void put(const V3& a, double* out) {
  out[0] = a.x;
  out[1] = a.y;
  out[2] = a.z;
}

inline double root(double x) { return std::sqrt(x > 0.0 ? x : 0.0); }
inline double clamp1(double c) { return c < -1.0 ? -1.0 : (c > 1.0 ? 1.0 : c); }

inline double det3(const V3& a, const V3& b, const V3& c) { return dot(a, cross(b, c)); }

// Solves the rows a, b, c . x = (ra, rb, rc) by Cramer's rule.
inline V3 cramer(const V3& a, const V3& b, const V3& c, double ra, double rb, double rc) {
  double d = det3(a, b, c);
  V3 cx{a.x, b.x, c.x}, cy{a.y, b.y, c.y}, cz{a.z, b.z, c.z}, r{ra, rb, rc};
  // Column replacement, written on the transposed system.
  double dx = det3(r, cy, cz);
  double dy = det3(cx, r, cz);
  double dz = det3(cx, cy, r);
  return V3{dx / d, dy / d, dz / d};
}

// cramer of the rows in the orders (a, b, c), (b, c, a), (c, a, b), with
// the right-hand sides in the same orders, into out[0..2], each to the last
// bit as cramer gives it.  A cyclic order of the rows turns the columns the
// same way, and the cross product of two turned columns is their cross
// product turned, by the same operations: the three orders share the
// products of each numerator and sum them from a different first term.
inline void cramer_cycle(const V3& a, const V3& b, const V3& c, double ra, double rb, double rc,
                         V3* out) {
  const V3 cx{a.x, b.x, c.x}, cy{a.y, b.y, c.y}, cz{a.z, b.z, c.z}, r{ra, rb, rc};
  const V3 wx = cross(cy, cz), wy = cross(r, cz), wz = cross(cy, r);
  const double px[3] = {r.x * wx.x, r.y * wx.y, r.z * wx.z};
  const double py[3] = {cx.x * wy.x, cx.y * wy.y, cx.z * wy.z};
  const double pz[3] = {cx.x * wz.x, cx.y * wz.y, cx.z * wz.z};
  const double d0 = det3(a, b, c), d1 = det3(b, c, a), d2 = det3(c, a, b);
  out[0] = V3{(px[0] + px[1] + px[2]) / d0, (py[0] + py[1] + py[2]) / d0,
              (pz[0] + pz[1] + pz[2]) / d0};
  out[1] = V3{(px[1] + px[2] + px[0]) / d1, (py[1] + py[2] + py[0]) / d1,
              (pz[1] + pz[2] + pz[0]) / d1};
  out[2] = V3{(px[2] + px[0] + px[1]) / d2, (py[2] + py[0] + py[1]) / d2,
              (pz[2] + pz[0] + pz[1]) / d2};
}

// Angle, in turns, between two planes given by normals and their lengths,
// in two halves, the cosine and its arc: a caller that needs several angles
// may take the cosines first and the arcs after, which keeps fewer values
// alive across the library's calls.
inline double cosine_between(const V3& nq, double lq, const V3& ns, double ls) {
  return dot(nq, ns) / (lq * ls);
}
inline double turn_of(double c) { return std::acos(clamp1(c)) / AV_TURN; }
inline double turn_between(const V3& nq, double lq, const V3& ns, double ls) {
  return turn_of(cosine_between(nq, lq, ns, ls));
}

// Normal of the plane through the line (a, b) and the point q:
// (q - a) x (q - b).  Swapping a and b negates it to the last bit (a cross
// product changes sign exactly when its factors swap).
inline V3 edge_normal(const V3& a, const V3& b, const V3& q) { return cross(sub(q, a), sub(q, b)); }

// Dihedral angle along the line (a, b) between the half-planes towards q
// and towards s, in turns.  The same to the last bit for either order of a
// and b, or of q and s: the normals change sign together and the products
// commute.
inline double dihedral(const V3& a, const V3& b, const V3& q, const V3& s) {
  V3 nq = edge_normal(a, b, q);
  V3 ns = edge_normal(a, b, s);
  return turn_between(nq, norm(nq), ns, norm(ns));
}

}  // namespace ballmath

#endif
