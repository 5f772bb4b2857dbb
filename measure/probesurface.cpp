// The probe-surface pieces of the molecular surface.
#include "measure/probesurface.h"

#include <cmath>

#include "measure/ballcache.h"
#include "measure/ballmath.h"

using namespace ballmath;

namespace {

double radius(const Atoms& atoms, int i, double p) { return atoms[i].radius + p; }

}  // namespace

Annulus annulus(int v, double L, const Atoms& atoms, double p) {
  double r = atoms[v].radius;
  double R = r + p;
  Annulus a;
  a.length = r * L / R;
  a.area = (L + a.length) * p / 2;
  return a;
}

Fan fan(int i, int j, const Atoms& atoms, double p) {
  double Ri = radius(atoms, i, p), Rj = radius(atoms, j, p);
  double r = disk_radius(i, j, atoms, p);
  double f = std::acos(clamp1(r / Ri)) + std::acos(clamp1(r / Rj));
  Fan out;
  out.area = p * p * f / 2;
  if (p > r) {
    double g = 2 * std::acos(clamp1(r / p));
    out.area -= p * p * (g - std::sin(g)) / 2;
  }
  out.length = p * f;
  return out;
}

Patch patch(int i, int j, int k, const Atoms& atoms, double p) {
  return SimplexBalls(atoms, p, {i, j, k}).patch(0, 1, 2);
}

Torus torus(int i, int j, const Atoms& atoms, double p, int cusp) {
  return SimplexBalls(atoms, p, {i, j}).torus(0, 1, cusp);
}
