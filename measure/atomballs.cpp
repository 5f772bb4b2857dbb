#include "measure/atomballs.h"

using namespace ballmath;

namespace {

// The expanded balls of atoms i, j, ... of the records.
struct Of {
  const Atoms& atoms;
  double probe;
  Ball operator()(int i) const { return ball_of(atoms[static_cast<std::size_t>(i)], probe); }
};

V3 centre(const Atoms& atoms, int i) { return centre_of(atoms[static_cast<std::size_t>(i)]); }

}  // namespace

// ---- centres and predicates -------------------------------------------

void power_centre2(const info& a, const info& b, double probe, double* out) {
  put(power_centre(ball_of(a, probe), ball_of(b, probe)), out);
}

void power_centre3(const info& a, const info& b, const info& c, double probe, double* out) {
  put(power_plane(ball_of(a, probe), ball_of(b, probe), ball_of(c, probe)).centre, out);
}

void power_centre4(const info& a, const info& b, const info& c, const info& d, double probe,
                   double* out) {
  put(power_centre(ball_of(a, probe), ball_of(b, probe), ball_of(c, probe), ball_of(d, probe)),
      out);
}

void setcenter2(int i, int j, double* out, const Atoms& atoms, double probe) {
  power_centre2(atoms[i], atoms[j], probe, out);
}

void setcenter3(int i, int j, int k, double* out, const Atoms& atoms, double probe) {
  power_centre3(atoms[i], atoms[j], atoms[k], probe, out);
}

void setcenter4(int i, int j, int k, int l, double* out, const Atoms& atoms, double probe) {
  power_centre4(atoms[i], atoms[j], atoms[k], atoms[l], probe, out);
}

// The power centre is c_i + (1 - t)(c_j - c_i); it lies on c_j's side when
// 1 - t > 0, that is when d^2 + R_i^2 - R_j^2 > 0.  Tested directly, so
// centres that share a coordinate need no special care.
bool alf_is_hidden0(int i, int j, const Atoms& atoms, double probe) {
  const Of b{atoms, probe};
  return alf_is_hidden0(b(i), b(j));
}

bool alf_is_hidden1(int i, int j, int k, const Atoms& atoms, double probe) {
  const Of b{atoms, probe};
  const V3 m2 = power_centre(b(i), b(j)), m3 = power_plane(b(i), b(j), b(k)).centre;
  return dot(sub(m3, m2), sub(centre(atoms, k), m2)) > 0;
}

bool nccw(int i, int j, int k, int l, const Atoms& atoms) {
  return nccw(centre(atoms, i), centre(atoms, j), centre(atoms, k), centre(atoms, l));
}

double tetrahedra_volume(int i, int j, int k, int l, const Atoms& atoms) {
  return tetrahedra_volume(centre(atoms, i), centre(atoms, j), centre(atoms, k), centre(atoms, l));
}

double triangle_area(int i, int j, int k, const Atoms& atoms) {
  return triangle_area(centre(atoms, i), centre(atoms, j), centre(atoms, k));
}

void triangle_dual(int i, int j, int k, double* out, const Atoms& atoms, double probe) {
  const Of b{atoms, probe};
  put(triangle_dual(b(i), b(j), b(k)), out);
}

// ---- angles ---------------------------------------------------------------

double angle_dihedral(const double* a, const double* b, const double* q, const double* s) {
  return dihedral(at(a), at(b), at(q), at(s));
}

double vector_angle(const double* a, const double* b, const double* q) {
  return vector_angle(at(a), at(b), at(q));
}

// ---- caps, circles, wedges, segments ------------------------------------------

#define BALLS2(f)                                            \
  double f(int i, int j, const Atoms& atoms, double probe) { \
    const Of b{atoms, probe};                                \
    return f(b(i), b(j));                                    \
  }
#define BALLS3(f)                                                   \
  double f(int i, int j, int k, const Atoms& atoms, double probe) { \
    const Of b{atoms, probe};                                       \
    return f(b(i), b(j), b(k));                                     \
  }
#define BALLS4(f)                                                          \
  double f(int i, int j, int k, int l, const Atoms& atoms, double probe) { \
    const Of b{atoms, probe};                                              \
    return f(b(i), b(j), b(k), b(l));                                      \
  }

BALLS2(cap_height)
BALLS2(cap_area)
BALLS2(cap_volume)
BALLS2(disk_radius)
BALLS2(lens_seg_length)
BALLS2(lens_seg_area)
BALLS3(pie_area)
BALLS3(pie_length)
BALLS4(wedge_area)
BALLS4(wedge_volume)
BALLS4(wedge_length)
BALLS3(segment_angle)
BALLS3(segment_height)
BALLS3(segment_area)
BALLS3(segment_length)
BALLS4(segment2_angle)
BALLS4(segment2_area)
BALLS4(segment2_length)
BALLS3(cap2_area)
BALLS3(cap2_volume)
BALLS3(pawn_area)
BALLS3(pawn_volume)
BALLS3(pawn_length)
BALLS4(cap3_area)
BALLS4(cap3_volume)
BALLS4(sector_area)
BALLS4(sector_volume)

double disk_length(int i, int j, const Atoms& atoms, double probe) {
  return AV_TWO_PI * disk_radius(i, j, atoms, probe);
}

// ---- probe-surface pieces ----------------------------------------------------

Annulus annulus(int v, double L, const Atoms& atoms, double probe) {
  return annulus(L, atoms[v].radius, probe);
}

Fan fan(int i, int j, const Atoms& atoms, double probe) {
  const Of b{atoms, probe};
  return fan(b(i), b(j), probe);
}

Patch patch(int i, int j, int k, const Atoms& atoms, double probe) {
  const Of b{atoms, probe};
  return patch(b(i), b(j), b(k), probe);
}

Torus torus(int i, int j, const Atoms& atoms, double probe, int cusp) {
  const Of b{atoms, probe};
  return torus(b(i), atoms[i].radius, b(j), atoms[j].radius, probe, cusp);
}
