// Vector arithmetic of the ball routines.  The reports print values whose
// last digits depend on the exact sequence of floating-point operations, so
// every routine that computes a shared quantity (a power centre, a dihedral
// angle, a cap volume) does it with the one helper below.
#ifndef MEASURE_BALLMATH_H
#define MEASURE_BALLMATH_H

#include <cmath>

#include "measure/ballgeometry.h"

namespace ballmath {

struct V3 {
  double x, y, z;
};

inline V3 at(const info& a) { return V3{a.x, a.y, a.z}; }
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

// Angle, in turns, between two planes given by normals and their lengths.
inline double turn_between(const V3& nq, double lq, const V3& ns, double ls) {
  double c = dot(nq, ns) / (lq * ls);
  return std::acos(clamp1(c)) / AV_TURN;
}

// Dihedral angle along the line (a, b) between the half-planes towards q
// and towards s, in turns.
inline double dihedral(const V3& a, const V3& b, const V3& q, const V3& s) {
  V3 nq = cross(sub(q, a), sub(q, b));
  V3 ns = cross(sub(s, a), sub(s, b));
  return turn_between(nq, norm(nq), ns, norm(ns));
}

// Power centre of two balls (centre, expanded radius), on the segment of
// their centres.
inline void centre2_of(const V3& ca, double Ra, const V3& cb, double Rb, double* out) {
  V3 d = sub(ca, cb);
  double t = 0.5 - (Ra * Ra - Rb * Rb) / (2 * dot(d, d));
  out[0] = t * ca.x + (1 - t) * cb.x;
  out[1] = t * ca.y + (1 - t) * cb.y;
  out[2] = t * ca.z + (1 - t) * cb.z;
}

// Power centre of three balls, in the plane of their centres, solved
// relative to c_a: with X = c_a + Y and e_k = c_k - c_a, equal power gives
// 2 Y.e_k = |e_k|^2 - R_k^2 + R_a^2, and Y lies in the plane.  Also gives
// the plane's normal (c_b - c_a) x (c_c - c_a).
inline void centre3_of(const V3& ca, double Ra, const V3& cb, double Rb, const V3& cc, double Rc,
                       double* out, V3* normal) {
  V3 eb = sub(cb, ca), ec = sub(cc, ca);
  V3 n = cross(eb, ec);
  V3 y = cramer(eb, ec, n, (dot(eb, eb) - Rb * Rb + Ra * Ra) / 2,
                (dot(ec, ec) - Rc * Rc + Ra * Ra) / 2, 0.0);
  out[0] = ca.x + y.x;
  out[1] = ca.y + y.y;
  out[2] = ca.z + y.z;
  *normal = n;
}

// Power centre of four balls.
inline void centre4_of(const V3& ca, double Ra, const V3& cb, double Rb, const V3& cc, double Rc,
                       const V3& cd, double Rd, double* out) {
  V3 eb = sub(cb, ca), ec = sub(cc, ca), ed = sub(cd, ca);
  V3 y = cramer(eb, ec, ed, (dot(eb, eb) - Rb * Rb + Ra * Ra) / 2,
                (dot(ec, ec) - Rc * Rc + Ra * Ra) / 2, (dot(ed, ed) - Rd * Rd + Ra * Ra) / 2);
  out[0] = ca.x + y.x;
  out[1] = ca.y + y.y;
  out[2] = ca.z + y.z;
}

// The radical plane of balls a and b lies on c_b's side of c_a.
inline bool hidden0_of(const V3& ca, double Ra, const V3& cb, double Rb) {
  V3 d = sub(cb, ca);
  return dot(d, d) + Ra * Ra - Rb * Rb > 0;
}

// Volume of the cap of height h of a ball of radius R.
inline double cap_volume_of(double R, double h) {
  double r = root((2 * R - h) * h);
  return (R / 3) * (AV_TWO_PI * R * h) - (1.0 / 3) * (R - h) * AV_PI * r * r;
}

}  // namespace ballmath

#endif
