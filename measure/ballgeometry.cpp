// The plain functions of the ball geometry: each evaluates on a one-off
// SimplexBalls holding its atoms, so that it gives the same bits as the
// pieces that the area walks keep per simplex.  Square roots and arc
// functions whose argument can leave its domain only by rounding (near
// tangency) are clamped, so a touching configuration yields its limit value
// instead of NaN.
#include "measure/ballgeometry.h"

#include <cmath>

#include "measure/ballcache.h"
#include "measure/ballmath.h"

using namespace ballmath;

namespace {

double radius(const Atoms& atoms, int i, double p) { return atoms[i].radius + p; }

void centre_of(const Atoms& atoms, int i, double* out) { put(at(atoms[i]), out); }

}  // namespace

// ---- centres and predicates -------------------------------------------

void power_centre2(const info& a, const info& b, double p, double* out) {
  centre2_of(at(a), a.radius + p, at(b), b.radius + p, out);
}

void power_centre3(const info& a, const info& b, const info& c, double p, double* out) {
  V3 normal;
  centre3_of(at(a), a.radius + p, at(b), b.radius + p, at(c), c.radius + p, out, &normal);
}

void power_centre4(const info& a, const info& b, const info& c, const info& d, double p,
                   double* out) {
  centre4_of(at(a), a.radius + p, at(b), b.radius + p, at(c), c.radius + p, at(d), d.radius + p,
             out);
}

void setcenter2(int i, int j, double* out, const Atoms& atoms, double p) {
  power_centre2(atoms[i], atoms[j], p, out);
}

void setcenter3(int i, int j, int k, double* out, const Atoms& atoms, double p) {
  power_centre3(atoms[i], atoms[j], atoms[k], p, out);
}

void setcenter4(int i, int j, int k, int l, double* out, const Atoms& atoms, double p) {
  power_centre4(atoms[i], atoms[j], atoms[k], atoms[l], p, out);
}

// The power centre is c_i + (1 - t)(c_j - c_i); it lies on c_j's side when
// 1 - t > 0, that is when d^2 + R_i^2 - R_j^2 > 0.  Tested directly, so
// centres that share a coordinate need no special care.
bool alf_is_hidden0(int i, int j, const Atoms& atoms, double p) {
  return hidden0_of(at(atoms[i]), radius(atoms, i, p), at(atoms[j]), radius(atoms, j, p));
}

bool alf_is_hidden1(int i, int j, int k, const Atoms& atoms, double p) {
  SimplexBalls g(atoms, p, {i, j, k});
  const V3 m2 = at(g.centre2(0, 1)), m3 = at(g.centre3(0, 1, 2));
  return dot(sub(m3, m2), sub(at(atoms[k]), m2)) > 0;
}

namespace {
// Determinant of the rows (x, y, z, 1) of the four centres.
double orientation(int i, int j, int k, int l, const Atoms& atoms) {
  V3 ci = at(atoms[i]);
  V3 a = sub(at(atoms[j]), ci), b = sub(at(atoms[k]), ci), c = sub(at(atoms[l]), ci);
  return -det3(a, b, c);
}
}  // namespace

bool nccw(int i, int j, int k, int l, const Atoms& atoms) {
  return orientation(i, j, k, l, atoms) < 0;
}

double tetrahedra_volume(int i, int j, int k, int l, const Atoms& atoms) {
  return std::fabs(orientation(i, j, k, l, atoms)) / 6;
}

double triangle_area(int i, int j, int k, const Atoms& atoms) {
  double a = norm(sub(at(atoms[j]), at(atoms[k])));
  double b = norm(sub(at(atoms[i]), at(atoms[k])));
  double c = norm(sub(at(atoms[i]), at(atoms[j])));
  double s = (a + b + c) / 2;
  return root(s * (s - a) * (s - b) * (s - c));
}

void triangle_dual(int i, int j, int k, double* out, const Atoms& atoms, double p) {
  SimplexBalls g(atoms, p, {i, j, k});
  const double* d = g.dual(0, 1, 2);
  out[0] = d[0];
  out[1] = d[1];
  out[2] = d[2];
}

// ---- angles ---------------------------------------------------------------

double angle_dihedral(const double* a, const double* b, const double* q, const double* s) {
  return dihedral(at(a), at(b), at(q), at(s));
}

double vector_angle(const double* a, const double* b, const double* q) {
  V3 A = at(a);
  V3 u = unit(sub(at(b), A)), v = unit(sub(at(q), A));
  double f = std::acos(clamp1(dot(u, v))) / AV_TURN;
  if (f > 0.5) f = 1 - f;
  return f;
}

// ---- caps, circles, segments ------------------------------------------------

double cap_height(int i, int j, const Atoms& atoms, double p) {
  return SimplexBalls(atoms, p, {i, j}).height(0, 1);
}

double cap_area(int i, int j, const Atoms& atoms, double p) {
  double R = radius(atoms, i, p);
  return AV_TWO_PI * R * cap_height(i, j, atoms, p);
}

double cap_volume(int i, int j, const Atoms& atoms, double p) {
  return SimplexBalls(atoms, p, {i, j}).cap_volume(0, 1);
}

double disk_radius(int i, int j, const Atoms& atoms, double p) {
  double R = radius(atoms, i, p);
  double h = cap_height(i, j, atoms, p);
  return root((2 * R - h) * h);
}

double disk_length(int i, int j, const Atoms& atoms, double p) {
  return AV_TWO_PI * disk_radius(i, j, atoms, p);
}

namespace {
double wedge_angle(const Atoms& atoms, int i, int j, int k, int l) {
  return dihedral(at(atoms[i]), at(atoms[j]), at(atoms[k]), at(atoms[l]));
}
}  // namespace

double lens_seg_length(int i, int j, const Atoms& atoms, double p) {
  double R = radius(atoms, i, p);
  return 2 * std::fabs(std::asin(clamp1(disk_radius(i, j, atoms, p) / R))) * R;
}

double lens_seg_area(int i, int j, const Atoms& atoms, double p) {
  double R = radius(atoms, i, p);
  double g = 2 * std::fabs(std::asin(clamp1(disk_radius(i, j, atoms, p) / R)));
  return (g - std::sin(g)) * R * R / 2;
}

double pie_area(int i, int j, int k, const Atoms& atoms, double p) {
  V3 ci = at(atoms[i]);
  V3 u = unit(sub(at(atoms[j]), ci)), v = unit(sub(at(atoms[k]), ci));
  double R = radius(atoms, i, p);
  return std::acos(clamp1(dot(u, v))) * R * R / 2;
}

double pie_length(int i, int j, int k, const Atoms& atoms, double p) {
  double a[3], b[3], c[3];
  centre_of(atoms, i, a);
  centre_of(atoms, j, b);
  centre_of(atoms, k, c);
  return vector_angle(a, b, c) * AV_TWO_PI * radius(atoms, i, p);
}

double wedge_area(int i, int j, int k, int l, const Atoms& atoms, double p) {
  double R = radius(atoms, i, p);
  return wedge_angle(atoms, i, j, k, l) * AV_TWO_PI * R * cap_height(i, j, atoms, p);
}

double wedge_volume(int i, int j, int k, int l, const Atoms& atoms, double p) {
  return wedge_angle(atoms, i, j, k, l) * cap_volume(i, j, atoms, p);
}

double wedge_length(int i, int j, int k, int l, const Atoms& atoms, double p) {
  return wedge_angle(atoms, i, j, k, l) * AV_TWO_PI * disk_radius(i, j, atoms, p);
}

double segment_angle(int i, int j, int k, const Atoms& atoms, double p) {
  return SimplexBalls(atoms, p, {i, j, k}).segment_angle(0, 1, 2);
}

double segment_height(int i, int j, int k, const Atoms& atoms, double p) {
  return SimplexBalls(atoms, p, {i, j, k}).segment_height(0, 1, 2);
}

double segment_area(int i, int j, int k, const Atoms& atoms, double p) {
  return SimplexBalls(atoms, p, {i, j, k}).segment_area(0, 1, 2);
}

double segment_length(int i, int j, int k, const Atoms& atoms, double p) {
  return AV_TWO_PI * disk_radius(i, j, atoms, p) * segment_angle(i, j, k, atoms, p);
}

double segment2_angle(int i, int j, int k, int l, const Atoms& atoms, double p) {
  return SimplexBalls(atoms, p, {i, j, k, l}).segment2_angle(0, 1, 2, 3);
}

double segment2_length(int i, int j, int k, int l, const Atoms& atoms, double p) {
  return AV_TWO_PI * disk_radius(i, j, atoms, p) * segment2_angle(i, j, k, l, atoms, p);
}

double segment2_area(int i, int j, int k, int l, const Atoms& atoms, double p) {
  return SimplexBalls(atoms, p, {i, j, k, l}).segment2_area(0, 1, 2, 3);
}

double cap2_area(int i, int j, int k, const Atoms& atoms, double p) {
  return SimplexBalls(atoms, p, {i, j, k}).cap2_area(0, 1, 2);
}

double cap2_volume(int i, int j, int k, const Atoms& atoms, double p) {
  return SimplexBalls(atoms, p, {i, j, k}).cap2_volume(0, 1, 2);
}

double pawn_area(int i, int j, int k, const Atoms& atoms, double p) {
  return cap2_area(i, j, k, atoms, p) / 2;
}

double pawn_volume(int i, int j, int k, const Atoms& atoms, double p) {
  return cap2_volume(i, j, k, atoms, p) / 2;
}

double pawn_length(int i, int j, int k, const Atoms& atoms, double p) {
  return (AV_TWO_PI * disk_radius(i, j, atoms, p) * segment_angle(i, j, k, atoms, p) +
          AV_TWO_PI * disk_radius(i, k, atoms, p) * segment_angle(i, k, j, atoms, p) +
          AV_TWO_PI * disk_radius(j, k, atoms, p) * segment_angle(j, k, i, atoms, p)) /
         2;
}

double cap3_area(int i, int j, int k, int l, const Atoms& atoms, double p) {
  return SimplexBalls(atoms, p, {i, j, k, l}).cap3_area(0, 1, 2, 3);
}

double cap3_volume(int i, int j, int k, int l, const Atoms& atoms, double p) {
  return SimplexBalls(atoms, p, {i, j, k, l}).cap3_volume(0, 1, 2, 3);
}

namespace {
// Solid angle of the tetrahedron (v, a, b, c) at v, as a fraction of the
// whole sphere.
double solid_fraction(int v, int a, int b, int c, const Atoms& atoms) {
  const V3 cv = at(atoms[v]), ca = at(atoms[a]), cb = at(atoms[b]), cc = at(atoms[c]);
  return (dihedral(cv, ca, cc, cb) + dihedral(cv, cb, ca, cc) + dihedral(cv, cc, cb, ca)) / 2 -
         0.25;
}
}  // namespace

double sector_area(int v, int a, int b, int c, const Atoms& atoms, double p) {
  double R = radius(atoms, v, p);
  return solid_fraction(v, a, b, c, atoms) * AV_FOUR_PI * R * R;
}

double sector_volume(int v, int a, int b, int c, const Atoms& atoms, double p) {
  double R = radius(atoms, v, p);
  return solid_fraction(v, a, b, c, atoms) * AV_FOUR_PI_THIRD * R * R * R;
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
