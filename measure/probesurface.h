// The pieces of the molecular surface that differ from the surface of the
// expanded balls: the atom sphere under a piece of the expanded sphere, the
// re-entrant torus of the probe rolling along the radical circle of two
// balls, and the concave patch of the probe resting on three.
#ifndef MEASURE_PROBESURFACE_H
#define MEASURE_PROBESURFACE_H

#include "measure/ballgeometry.h"

struct Shell {
  double area = 0.0;    // on the atom sphere
  double volume = 0.0;  // between the atom sphere and the expanded sphere
};
struct Annulus {
  double length = 0.0;  // on the atom sphere
  double area = 0.0;    // strip between the two spheres
};
struct Fan {
  double area = 0.0;
  double length = 0.0;
};
struct Patch {
  double area = 0.0;
  double area_i = 0.0, area_j = 0.0, area_k = 0.0;
  double volume = 0.0;
  double volume_i = 0.0, volume_j = 0.0, volume_k = 0.0;
};
// Re-entrant torus of the probe rolling on edge (i, j).
struct Torus {
  double area_i = 0.0, area_j = 0.0;
  double volume_i = 0.0, volume_j = 0.0;
  double cone_i = 0.0, cone_j = 0.0;
};

// Maps an area A of the expanded sphere of v onto the atom sphere.
inline Shell shell(int v, double A, const Atoms& atoms, double p) {
  double r = atoms[v].radius;
  double R = r + p;
  Shell s;
  s.area = A * r * r / (R * R);
  s.volume = (A * R - r * s.area) / 3;
  return s;
}
// Maps a length L of the expanded sphere of v onto the atom sphere.
Annulus annulus(int v, double L, const Atoms& atoms, double p);
Fan fan(int i, int j, const Atoms& atoms, double p);
// Concave spherical triangle of the probe resting on balls i, j, k.
Patch patch(int i, int j, int k, const Atoms& atoms, double p);
// The patch of the given area on a probe of radius p, shared equally by its
// three atoms.
inline Patch patch_of_area(double area, double p) {
  Patch out;
  out.area = area;
  out.area_i = out.area_j = out.area_k = out.area / 3;
  out.volume = p * out.area / 3;
  out.volume_i = out.volume_j = out.volume_k = out.volume / 3;
  return out;
}
// cusp != 0 leaves out the correction of a self-intersecting torus.
Torus torus(int i, int j, const Atoms& atoms, double p, int cusp);

#endif
