// Closed-form geometry of intersecting balls, on plain values: power
// centres, caps, the radical circle of two balls and its pieces cut by a
// third and a fourth, the parts of a sphere inside the wedge of a triangle
// or the solid angle of a tetrahedron.
//
// A Ball is a centre and a radius; the area and volume computations hand
// these functions the atoms' expanded balls (radius = atom radius + probe).
// Angles passed between functions are fractions of a full turn.
//
// Each composite piece is written once, as a function of the smaller pieces
// it is made of (the `_of` forms below); the plain function computes those
// pieces itself, and the caches of ballcache.h hand in the ones they keep,
// so a piece has one sequence of operations wherever it is computed.
// Square roots and arc functions whose argument can leave its domain only
// by rounding (near tangency) are clamped, so a touching configuration
// yields its limit value instead of NaN.
#ifndef MEASURE_BALLGEOMETRY_H
#define MEASURE_BALLGEOMETRY_H

#include "measure/ballmath.h"

struct Ball {
  ballmath::V3 c;  // centre
  double R;        // radius
};

// ---- centres and predicates ---------------------------------------------
// Power centres of two, three and four balls: the point of equal power
// |x - c|^2 - R^2 (in the plane of the centres for three).  A degenerate
// configuration gives a non-finite point.
ballmath::V3 power_centre(const Ball& a, const Ball& b);
ballmath::V3 power_centre(const Ball& a, const Ball& b, const Ball& c, const Ball& d);
// Power centre of three balls with the normal of their plane,
// (c_b - c_a) x (c_c - c_a).
struct PowerPlane {
  ballmath::V3 centre, normal;
};
PowerPlane power_plane(const Ball& a, const Ball& b, const Ball& c);
// The power centres solved relative to c_a: with X = c_a + Y and
// e_k = c_k - c_a, equal power gives Y.e_k = power_lift_of(e_k, R_k, R_a),
// and Y lies in the plane for three.  The forms take e_k and those lifts,
// which take |e_k|^2, R_k^2 and R_a^2.
inline double power_lift_of(double ee, double Rk2, double Ra2) { return (ee - Rk2 + Ra2) / 2; }
inline PowerPlane power_plane_of(const ballmath::V3& ca, const ballmath::V3& eb,
                                 const ballmath::V3& ec, double lb, double lc) {
  const ballmath::V3 n = ballmath::cross(eb, ec);
  const ballmath::V3 y = ballmath::cramer(eb, ec, n, lb, lc, 0.0);
  return PowerPlane{ballmath::V3{ca.x + y.x, ca.y + y.y, ca.z + y.z}, n};
}
inline ballmath::V3 power_centre_of(const ballmath::V3& ca, const ballmath::V3& y) {
  return ballmath::V3{ca.x + y.x, ca.y + y.y, ca.z + y.z};
}
inline ballmath::V3 power_centre_of(const ballmath::V3& ca, const ballmath::V3& eb,
                                    const ballmath::V3& ec, const ballmath::V3& ed, double lb,
                                    double lc, double ld) {
  return power_centre_of(ca, ballmath::cramer(eb, ec, ed, lb, lc, ld));
}
// power_centre_of of (a, b, c, d), (a, c, d, b) and (a, d, b, c) into
// out[0..2], each to the last bit.
inline void power_centres_of(const ballmath::V3& ca, const ballmath::V3& eb,
                             const ballmath::V3& ec, const ballmath::V3& ed, double lb, double lc,
                             double ld, ballmath::V3* out) {
  ballmath::cramer_cycle(eb, ec, ed, lb, lc, ld, out);
  for (int s = 0; s < 3; ++s) out[s] = power_centre_of(ca, out[s]);
}
// The radical plane of (a, b) lies on c_b's side of c_a.
inline bool alf_is_hidden0(const Ball& a, const Ball& b) {
  const ballmath::V3 d = ballmath::sub(b.c, a.c);
  return ballmath::dot(d, d) + a.R * a.R - b.R * b.R > 0;
}
// Orientation determinant of the four centres (rows x, y, z, 1) is negative.
inline bool nccw(const ballmath::V3& a, const ballmath::V3& b, const ballmath::V3& c,
                 const ballmath::V3& d) {
  return -ballmath::det3(ballmath::sub(b, a), ballmath::sub(c, a), ballmath::sub(d, a)) < 0;
}
double tetrahedra_volume(const ballmath::V3& a, const ballmath::V3& b, const ballmath::V3& c,
                         const ballmath::V3& d);
double triangle_area(const ballmath::V3& a, const ballmath::V3& b, const ballmath::V3& c);
// The point where spheres a, b, c meet, on the side of the normal of
// power_plane(a, b, c); (a, c, b) gives the other one.
ballmath::V3 triangle_dual(const Ball& a, const Ball& b, const Ball& c);
ballmath::V3 triangle_dual_of(const PowerPlane& plane, const Ball& a);

// ---- angles (in turns) --------------------------------------------------
// Angle at a between the directions to b and q, folded to at most 1/2.
double vector_angle(const ballmath::V3& a, const ballmath::V3& b, const ballmath::V3& q);

// ---- caps and the radical circle of two balls ---------------------------
// Height of the cap of ball a beyond the radical plane of (a, b); the form
// of the power centre m of (a, b).
double cap_height(const Ball& a, const Ball& b);
inline double cap_height_of(const Ball& a, const ballmath::V3& m, bool hidden) {
  const double d = ballmath::norm(ballmath::sub(m, a.c));
  return hidden ? a.R - d : a.R + d;
}
// Radius of the circle where a radical plane at cap height h cuts a sphere
// of radius R.
inline double disk_radius_of(double R, double h) { return ballmath::root((2 * R - h) * h); }
// Volume of the cap of height h of a ball of radius R.
inline double cap_volume_of(double R, double h) {
  double r = disk_radius_of(R, h);
  return (R / 3) * (AV_TWO_PI * R * h) - (1.0 / 3) * (R - h) * AV_PI * r * r;
}
double cap_area(const Ball& a, const Ball& b);
double cap_volume(const Ball& a, const Ball& b);
double disk_radius(const Ball& a, const Ball& b);
double lens_seg_length(const Ball& a, const Ball& b);
double lens_seg_area(const Ball& a, const Ball& b);
// Sector of the great circle of a between the directions to c_b and c_c.
double pie_area(const Ball& a, const Ball& b, const Ball& c);
double pie_length(const Ball& a, const Ball& b, const Ball& c);

// ---- pieces inside the wedge of a tetrahedron at edge (a, b) -------------
double wedge_area(const Ball& a, const Ball& b, const Ball& c, const Ball& d);
double wedge_volume(const Ball& a, const Ball& b, const Ball& c, const Ball& d);
double wedge_length(const Ball& a, const Ball& b, const Ball& c, const Ball& d);

// ---- the radical circle of (a, b) cut by a third ball c ------------------
// Turn fraction of the circle inside c's cut: the dihedral angles at the
// line (c_a, c_b) from the plane of c_c to the two points where the three
// spheres meet (towards triangle_dual(a, b, c): the half ahead; towards
// triangle_dual(a, c, b): the half behind).
double segment_angle(const Ball& a, const Ball& b, const Ball& c);
// Signed height of the circular segment of the radical disk of (a, b) cut
// off by the radical plane with c; of the power centres m2 of (a, b) and m3
// of (a, b, c) and the disk radius.
double segment_height(const Ball& a, const Ball& b, const Ball& c);
inline double segment_height_of(const ballmath::V3& m2, const ballmath::V3& m3, double rho,
                                const ballmath::V3& cc) {
  const double d = ballmath::norm(ballmath::sub(m3, m2));
  const bool hidden1 = ballmath::dot(ballmath::sub(m3, m2), ballmath::sub(cc, m2)) > 0;
  return hidden1 ? rho - d : rho + d;
}
// The part of the disk beyond that segment's chord, from the two points
// where the spheres meet.
double segment_area(const Ball& a, const Ball& b, const Ball& c);
// The same of the chord's length, |plus - minus|.
inline double segment_area_of(double angle, double rho, double height, double chord) {
  return angle * AV_PI * rho * rho - chord * (rho - height) / 2;
}
inline double segment_area_of(double angle, double rho, double height, const ballmath::V3& plus,
                              const ballmath::V3& minus) {
  return segment_area_of(angle, rho, height, ballmath::norm(ballmath::sub(plus, minus)));
}
double segment_length(const Ball& a, const Ball& b, const Ball& c);

// ---- the radical circle of (a, b) in tetrahedron (a, b, c, d) ------------
// Arc of the circle inside the wedge that balls c and d both cover: the half
// behind of (a, b, c) and the half ahead of (a, b, d) less the wedge.
double segment2_angle(const Ball& a, const Ball& b, const Ball& c, const Ball& d);
// The corresponding part of the disk; the same for both orders of c and d.
// The form takes them in the order that makes nccw false, with q1 =
// triangle_dual(a, c, b), q2 = triangle_dual(a, b, d), m4 the power centre
// of the four, sc and sd the segment heights of (a, b, c) and (a, b, d).
double segment2_area(const Ball& a, const Ball& b, const Ball& c, const Ball& d);
inline double segment2_area_of(double angle, double rho, double sc, double sd,
                               const ballmath::V3& q1, const ballmath::V3& q2,
                               const ballmath::V3& m4) {
  return angle * AV_PI * rho * rho - (rho - sc) * ballmath::norm(ballmath::sub(q1, m4)) / 2 -
         (rho - sd) * ballmath::norm(ballmath::sub(q2, m4)) / 2;
}
double segment2_length(const Ball& a, const Ball& b, const Ball& c, const Ball& d);

// ---- sphere a in the wedge of triangle (a, b, c) -------------------------
// The corner angle of (a, b, c): the dihedral angle at the line from c_a to
// triangle_dual(a, b, c) between the half-planes towards c_b and c_c.
double corner_angle(const Ball& a, const Ball& b, const Ball& c);
// Sphere a inside the wedge, less the caps of b and c; of the corner angles
// of (a, b, c) and (a, c, b), the cap heights of (a, b) and (a, c) and the
// segment angles of (a, b, c) and (a, c, b).
double cap2_area(const Ball& a, const Ball& b, const Ball& c);
inline double cap2_area_of(double R, double corner_b, double corner_c, double hb, double hc,
                           double segment_b, double segment_c) {
  return AV_TWO_PI * R * R * (1 - corner_b - corner_c) - AV_TWO_PI * R * (R - hb) * segment_b -
         AV_TWO_PI * R * (R - hc) * segment_c;
}
// The matching volume; of the area and the segment areas of (a, b, c) and
// (a, c, b).
double cap2_volume(const Ball& a, const Ball& b, const Ball& c);
inline double cap2_volume_of(double R, double hb, double hc, double area, double segment_b,
                             double segment_c) {
  return (R / 3) * area - ((R - hb) / 3) * segment_b - ((R - hc) / 3) * segment_c;
}
double pawn_area(const Ball& a, const Ball& b, const Ball& c);
double pawn_volume(const Ball& a, const Ball& b, const Ball& c);
double pawn_length(const Ball& a, const Ball& b, const Ball& c);

// ---- sphere a in the solid angle of tetrahedron (a, b, c, d) -------------
// Sphere a inside the solid angle, less the caps of b, c, d; the same for
// both orders of c and d.  The form takes them in the order that makes nccw
// false, with the corner angles of (a, c, b), (a, d, c), (a, b, d), the cap
// heights of a towards b, c, d and the arcs segment2_angle(a, b, c, d),
// (a, c, d, b), (a, d, b, c).
double cap3_area(const Ball& a, const Ball& b, const Ball& c, const Ball& d);
inline double cap3_area_of(double R, double corner_cb, double corner_dc, double corner_bd,
                           double hb, double hc, double hd, double arc_b, double arc_c,
                           double arc_d) {
  return AV_TWO_PI * R * R * (1 - corner_cb - corner_dc - corner_bd) -
         AV_TWO_PI * R * (arc_b * (R - hb) + arc_c * (R - hc) + arc_d * (R - hd));
}
// The matching volume, of the area and segment2_area(a, b, c, d),
// (a, c, b, d), (a, d, b, c).
double cap3_volume(const Ball& a, const Ball& b, const Ball& c, const Ball& d);
inline double cap3_volume_of(double R, double hb, double hc, double hd, double area,
                             double segment_b, double segment_c, double segment_d) {
  return (R / 3) * area - ((R - hb) / 3) * segment_b - ((R - hc) / 3) * segment_c -
         ((R - hd) / 3) * segment_d;
}
// Solid angle of the tetrahedron (v, a, b, c) at v, as a fraction of the
// whole sphere, and the sphere and ball of v inside it.
double solid_fraction(const ballmath::V3& v, const ballmath::V3& a, const ballmath::V3& b,
                      const ballmath::V3& c);
double sector_area(const Ball& v, const Ball& a, const Ball& b, const Ball& c);
double sector_volume(const Ball& v, const Ball& a, const Ball& b, const Ball& c);

// ---- number-only closed forms ------------------------------------------
double radical_vdw(double a, double b, double c, double* s, double* q, double* ang);
double vol_round_pyramid(double a, double b);
double vol_cone_frustum(double a, double b, double c);
double vol_torus_fract(double a, double b, double c, double d);
double vol_spindle(double a, double b, double c, double d, double e);
double vol_round_cone(double a, double b, double c, double d, double e, double f, double g);

#endif
