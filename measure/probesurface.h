// The pieces of the molecular surface that differ from the surface of the
// expanded balls, on plain values: the atom sphere under a piece of the
// expanded sphere, the re-entrant torus of the probe rolling along the
// radical circle of two balls, and the concave patch of the probe resting on
// three.  An atom of radius r has the expanded ball of radius R = r + probe.
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

// Maps an area A of the expanded sphere of an atom of radius r onto the atom
// sphere.
inline Shell shell(double A, double r, double probe) {
  const double R = r + probe;
  Shell s;
  s.area = A * r * r / (R * R);
  s.volume = (A * R - r * s.area) / 3;
  return s;
}
// Maps a length L of the expanded sphere onto the atom sphere.
Annulus annulus(double L, double r, double probe);
Fan fan(const Ball& a, const Ball& b, double probe);

// Concave spherical triangle of the probe resting on the expanded balls a,
// b, c, centred at triangle_dual(a, b, c); of the dihedral angles of the
// tetrahedron (X, c_a, c_b, c_c) at its three edges from X.
Patch patch(const Ball& a, const Ball& b, const Ball& c, double probe);
inline double patch_area_of(double angle_a, double angle_b, double angle_c, double probe) {
  return AV_FOUR_PI * probe * probe * ((angle_a + angle_b + angle_c) / 2 - 0.25);
}
// The patch of the given area, shared equally by its three atoms.
inline Patch patch_of_area(double area, double probe) {
  Patch out;
  out.area = area;
  out.area_i = out.area_j = out.area_k = out.area / 3;
  out.volume = probe * out.area / 3;
  out.volume_i = out.volume_j = out.volume_k = out.volume / 3;
  return out;
}

// The torus of the expanded balls a and b of atoms of radii ra and rb;
// cusp != 0 leaves out the correction of a self-intersecting torus.
Torus torus(const Ball& a, double ra, const Ball& b, double rb, double probe, int cusp);
// The same of the cap height h of a towards b, the distance of the centres
// and alf_is_hidden0 of (a, b) and of (b, a).
Torus torus_of(double ra, double rb, double probe, double h, double distance, bool hidden_ab,
               bool hidden_ba, int cusp);

// The volume of an atom's shell (between its atom sphere, radius r, and its
// expanded sphere, radius R) that lies inside the cone from its centre over
// a radical circle but on the near side of the circle's plane, when that
// plane lies at distance e beyond the centre.
double shell_before_plane(double r, double R, double e);
// The torus of atoms a and b (radii ra and rb; ha and hb the cap heights of
// a towards b and of b towards a) with its volume handed out by the power
// cells of the two balls, as the areas and volumes of the expanded balls
// are; `a_beyond` when the centre of a lies beyond the radical plane, in b's
// cell (not alf_is_hidden0 of (a, b)), and `b_beyond` the same of b.
void split_by_cells(Torus& t, double ra, double rb, double probe, double ha, double hb,
                    bool a_beyond, bool b_beyond);

#endif
