// The plain closed forms of the ball geometry: each computes the smaller
// pieces it is made of and hands them to its `_of` form.
#include "measure/ballgeometry.h"

#include <cmath>
#include <utility>

using namespace ballmath;

// ---- centres and predicates -------------------------------------------

V3 power_centre(const Ball& a, const Ball& b) {
  const V3 d = sub(a.c, b.c);
  const double t = 0.5 - (a.R * a.R - b.R * b.R) / (2 * dot(d, d));
  return V3{t * a.c.x + (1 - t) * b.c.x, t * a.c.y + (1 - t) * b.c.y, t * a.c.z + (1 - t) * b.c.z};
}

PowerPlane power_plane(const Ball& a, const Ball& b, const Ball& c) {
  const V3 eb = sub(b.c, a.c), ec = sub(c.c, a.c);
  const double Ra2 = a.R * a.R;
  return power_plane_of(a.c, eb, ec, power_lift_of(dot(eb, eb), b.R * b.R, Ra2),
                        power_lift_of(dot(ec, ec), c.R * c.R, Ra2));
}

V3 power_centre(const Ball& a, const Ball& b, const Ball& c, const Ball& d) {
  const V3 eb = sub(b.c, a.c), ec = sub(c.c, a.c), ed = sub(d.c, a.c);
  const double Ra2 = a.R * a.R;
  return power_centre_of(a.c, eb, ec, ed, power_lift_of(dot(eb, eb), b.R * b.R, Ra2),
                         power_lift_of(dot(ec, ec), c.R * c.R, Ra2),
                         power_lift_of(dot(ed, ed), d.R * d.R, Ra2));
}

double tetrahedra_volume(const V3& a, const V3& b, const V3& c, const V3& d) {
  return std::fabs(-det3(sub(b, a), sub(c, a), sub(d, a))) / 6;
}

// Heron's formula; the radicand may round below zero for collinear centres.
double triangle_area(const V3& a, const V3& b, const V3& c) {
  const double ea = norm(sub(b, c)), eb = norm(sub(a, c)), ec = norm(sub(a, b));
  const double s = (ea + eb + ec) / 2;
  return root(s * (s - ea) * (s - eb) * (s - ec));
}

// From the power centre m3 of the three balls: the point at distance
// sqrt(R_a^2 - |m3 - c_a|^2) from their plane, on the side of its normal.
V3 triangle_dual_of(const PowerPlane& plane, const Ball& a) {
  const V3& m3 = plane.centre;
  const V3& n = plane.normal;
  const V3 v = sub(m3, a.c);
  const double w = dot(v, n);
  const double nn = dot(n, n);
  const double t = (root(w * w - dot(v, v) * nn + a.R * a.R * nn) - w) / nn;
  return V3{m3.x + t * n.x, m3.y + t * n.y, m3.z + t * n.z};
}

V3 triangle_dual(const Ball& a, const Ball& b, const Ball& c) {
  return triangle_dual_of(power_plane(a, b, c), a);
}

// ---- angles ---------------------------------------------------------------

double vector_angle(const V3& a, const V3& b, const V3& q) {
  const V3 u = unit(sub(b, a)), v = unit(sub(q, a));
  double f = std::acos(clamp1(dot(u, v))) / AV_TURN;
  if (f > 0.5) f = 1 - f;
  return f;
}

// ---- caps, circles, segments ------------------------------------------------

double cap_height(const Ball& a, const Ball& b) {
  return cap_height_of(a, power_centre(a, b), alf_is_hidden0(a, b));
}

double cap_area(const Ball& a, const Ball& b) { return AV_TWO_PI * a.R * cap_height(a, b); }

double cap_volume(const Ball& a, const Ball& b) { return cap_volume_of(a.R, cap_height(a, b)); }

double disk_radius(const Ball& a, const Ball& b) { return disk_radius_of(a.R, cap_height(a, b)); }

double lens_seg_length(const Ball& a, const Ball& b) {
  return 2 * std::fabs(std::asin(clamp1(disk_radius(a, b) / a.R))) * a.R;
}

double lens_seg_area(const Ball& a, const Ball& b) {
  const double g = 2 * std::fabs(std::asin(clamp1(disk_radius(a, b) / a.R)));
  return (g - std::sin(g)) * a.R * a.R / 2;
}

double pie_area(const Ball& a, const Ball& b, const Ball& c) {
  const V3 u = unit(sub(b.c, a.c)), v = unit(sub(c.c, a.c));
  return std::acos(clamp1(dot(u, v))) * a.R * a.R / 2;
}

double pie_length(const Ball& a, const Ball& b, const Ball& c) {
  return vector_angle(a.c, b.c, c.c) * AV_TWO_PI * a.R;
}

double wedge_area(const Ball& a, const Ball& b, const Ball& c, const Ball& d) {
  return dihedral(a.c, b.c, c.c, d.c) * AV_TWO_PI * a.R * cap_height(a, b);
}

double wedge_volume(const Ball& a, const Ball& b, const Ball& c, const Ball& d) {
  return dihedral(a.c, b.c, c.c, d.c) * cap_volume(a, b);
}

double wedge_length(const Ball& a, const Ball& b, const Ball& c, const Ball& d) {
  return dihedral(a.c, b.c, c.c, d.c) * AV_TWO_PI * disk_radius(a, b);
}

double segment_angle(const Ball& a, const Ball& b, const Ball& c) {
  return dihedral(a.c, b.c, c.c, triangle_dual(a, b, c)) +
         dihedral(a.c, b.c, c.c, triangle_dual(a, c, b));
}

double segment_height(const Ball& a, const Ball& b, const Ball& c) {
  return segment_height_of(power_centre(a, b), power_plane(a, b, c).centre, disk_radius(a, b), c.c);
}

double segment_area(const Ball& a, const Ball& b, const Ball& c) {
  return segment_area_of(segment_angle(a, b, c), disk_radius(a, b), segment_height(a, b, c),
                         triangle_dual(a, b, c), triangle_dual(a, c, b));
}

double segment_length(const Ball& a, const Ball& b, const Ball& c) {
  return AV_TWO_PI * disk_radius(a, b) * segment_angle(a, b, c);
}

double segment2_angle(const Ball& a, const Ball& b, const Ball& c, const Ball& d) {
  return dihedral(a.c, b.c, c.c, triangle_dual(a, c, b)) +
         dihedral(a.c, b.c, d.c, triangle_dual(a, b, d)) - dihedral(a.c, b.c, c.c, d.c);
}

double segment2_length(const Ball& a, const Ball& b, const Ball& c, const Ball& d) {
  return AV_TWO_PI * disk_radius(a, b) * segment2_angle(a, b, c, d);
}

double segment2_area(const Ball& a, const Ball& b, const Ball& c, const Ball& d) {
  const Ball* x = &c;
  const Ball* y = &d;
  if (nccw(a.c, b.c, c.c, d.c)) std::swap(x, y);
  return segment2_area_of(segment2_angle(a, b, *x, *y), disk_radius(a, b), segment_height(a, b, *x),
                          segment_height(a, b, *y), triangle_dual(a, *x, b),
                          triangle_dual(a, b, *y), power_centre(a, b, *x, *y));
}

// ---- caps and spheres in wedges and solid angles ---------------------------------

double corner_angle(const Ball& a, const Ball& b, const Ball& c) {
  return dihedral(a.c, triangle_dual(a, b, c), b.c, c.c);
}

double cap2_area(const Ball& a, const Ball& b, const Ball& c) {
  return cap2_area_of(a.R, corner_angle(a, b, c), corner_angle(a, c, b), cap_height(a, b),
                      cap_height(a, c), segment_angle(a, b, c), segment_angle(a, c, b));
}

double cap2_volume(const Ball& a, const Ball& b, const Ball& c) {
  return cap2_volume_of(a.R, cap_height(a, b), cap_height(a, c), cap2_area(a, b, c),
                        segment_area(a, b, c), segment_area(a, c, b));
}

double pawn_area(const Ball& a, const Ball& b, const Ball& c) { return cap2_area(a, b, c) / 2; }

double pawn_volume(const Ball& a, const Ball& b, const Ball& c) { return cap2_volume(a, b, c) / 2; }

double pawn_length(const Ball& a, const Ball& b, const Ball& c) {
  return (AV_TWO_PI * disk_radius(a, b) * segment_angle(a, b, c) +
          AV_TWO_PI * disk_radius(a, c) * segment_angle(a, c, b) +
          AV_TWO_PI * disk_radius(b, c) * segment_angle(b, c, a)) /
         2;
}

double cap3_area(const Ball& a, const Ball& b, const Ball& c, const Ball& d) {
  const Ball* x = &c;
  const Ball* y = &d;
  if (nccw(a.c, b.c, c.c, d.c)) std::swap(x, y);
  return cap3_area_of(a.R, corner_angle(a, *x, b), corner_angle(a, *y, *x), corner_angle(a, b, *y),
                      cap_height(a, b), cap_height(a, *x), cap_height(a, *y),
                      segment2_angle(a, b, *x, *y), segment2_angle(a, *x, *y, b),
                      segment2_angle(a, *y, b, *x));
}

double cap3_volume(const Ball& a, const Ball& b, const Ball& c, const Ball& d) {
  return cap3_volume_of(a.R, cap_height(a, b), cap_height(a, c), cap_height(a, d),
                        cap3_area(a, b, c, d), segment2_area(a, b, c, d), segment2_area(a, c, b, d),
                        segment2_area(a, d, b, c));
}

double solid_fraction(const V3& v, const V3& a, const V3& b, const V3& c) {
  return (dihedral(v, a, c, b) + dihedral(v, b, a, c) + dihedral(v, c, b, a)) / 2 - 0.25;
}

double sector_area(const Ball& v, const Ball& a, const Ball& b, const Ball& c) {
  return solid_fraction(v.c, a.c, b.c, c.c) * AV_FOUR_PI * v.R * v.R;
}

double sector_volume(const Ball& v, const Ball& a, const Ball& b, const Ball& c) {
  return solid_fraction(v.c, a.c, b.c, c.c) * AV_FOUR_PI_THIRD * v.R * v.R * v.R;
}

// ---- number-only closed forms ----------------------------------------------

double radical_vdw(double a, double b, double c, double* s, double* q, double* ang) {
  *s = a / b;
  *q = std::sqrt(1 - (*s) * (*s));
  *ang = std::asin(*s);
  return c / *q;
}

double vol_round_pyramid(double a, double b) { return AV_PI * a * a * b / 3; }

double vol_cone_frustum(double a, double b, double c) {
  return AV_PI * c * (a * a + a * b + b * b) / 3;
}

double vol_torus_fract(double a, double b, double c, double d) {
  return AV_PI * c * c * (b * d - 2 * c * a / 3);
}

double vol_spindle(double a, double b, double c, double d, double e) {
  return AV_PI * e * ((b - b * b * b / 3) * e * e + d * d * b - a * e * d - e * d * b * c);
}

double vol_round_cone(double a, double b, double c, double d, double e, double f, double g) {
  return AV_PI * g *
         (f * f * d - b * g * f - g * f * d * e + g * g * (d - d * d * d / 3) -
          g * g * (c - c * c * c / 3) + g * f * a);
}
