// The ball geometry and probe-surface pieces of a structure's atoms, named
// by vertex index into its info records: balls i, j, k, l are the expanded
// balls of those atoms (centre (x, y, z), radius + probe).  Each evaluates
// the plain form of ballgeometry.h or probesurface.h on those balls.
#ifndef MEASURE_ATOMBALLS_H
#define MEASURE_ATOMBALLS_H

#include <vector>

#include "measure/ballgeometry.h"
#include "measure/intersectionsegmentnew.h"
#include "measure/probesurface.h"

typedef std::vector<info> Atoms;

inline ballmath::V3 centre_of(const info& a) { return ballmath::V3{a.x, a.y, a.z}; }
// The expanded ball of the atom.
inline Ball ball_of(const info& a, double probe) { return Ball{centre_of(a), a.radius + probe}; }

// ---- centres and predicates -------------------------------------------
void power_centre2(const info& a, const info& b, double probe, double* out);
void power_centre3(const info& a, const info& b, const info& c, double probe, double* out);
void power_centre4(const info& a, const info& b, const info& c, const info& d, double probe,
                   double* out);
void setcenter2(int i, int j, double* out, const Atoms& atoms, double probe);
void setcenter3(int i, int j, int k, double* out, const Atoms& atoms, double probe);
void setcenter4(int i, int j, int k, int l, double* out, const Atoms& atoms, double probe);
bool alf_is_hidden0(int i, int j, const Atoms& atoms, double probe);
// The power centre of (i, j, k) lies on c_k's side of that of (i, j).
bool alf_is_hidden1(int i, int j, int k, const Atoms& atoms, double probe);
bool nccw(int i, int j, int k, int l, const Atoms& atoms);
double tetrahedra_volume(int i, int j, int k, int l, const Atoms& atoms);
double triangle_area(int i, int j, int k, const Atoms& atoms);
void triangle_dual(int i, int j, int k, double* out, const Atoms& atoms, double probe);

// ---- angles (in turns), on points ------------------------------------------
double angle_dihedral(const double* a, const double* b, const double* q, const double* s);
double vector_angle(const double* a, const double* b, const double* q);

// ---- caps, circles, wedges, segments, spheres in wedges and solid angles ----
double cap_height(int i, int j, const Atoms& atoms, double probe);
double cap_area(int i, int j, const Atoms& atoms, double probe);
double cap_volume(int i, int j, const Atoms& atoms, double probe);
double disk_radius(int i, int j, const Atoms& atoms, double probe);
double disk_length(int i, int j, const Atoms& atoms, double probe);
double lens_seg_length(int i, int j, const Atoms& atoms, double probe);
double lens_seg_area(int i, int j, const Atoms& atoms, double probe);
double pie_area(int i, int j, int k, const Atoms& atoms, double probe);
double pie_length(int i, int j, int k, const Atoms& atoms, double probe);
double wedge_area(int i, int j, int k, int l, const Atoms& atoms, double probe);
double wedge_volume(int i, int j, int k, int l, const Atoms& atoms, double probe);
double wedge_length(int i, int j, int k, int l, const Atoms& atoms, double probe);
double segment_angle(int i, int j, int k, const Atoms& atoms, double probe);
double segment_height(int i, int j, int k, const Atoms& atoms, double probe);
double segment_area(int i, int j, int k, const Atoms& atoms, double probe);
double segment_length(int i, int j, int k, const Atoms& atoms, double probe);
double segment2_angle(int i, int j, int k, int l, const Atoms& atoms, double probe);
double segment2_area(int i, int j, int k, int l, const Atoms& atoms, double probe);
double segment2_length(int i, int j, int k, int l, const Atoms& atoms, double probe);
double cap2_area(int i, int j, int k, const Atoms& atoms, double probe);
double cap2_volume(int i, int j, int k, const Atoms& atoms, double probe);
double pawn_area(int i, int j, int k, const Atoms& atoms, double probe);
double pawn_volume(int i, int j, int k, const Atoms& atoms, double probe);
double pawn_length(int i, int j, int k, const Atoms& atoms, double probe);
double cap3_area(int i, int j, int k, int l, const Atoms& atoms, double probe);
double cap3_volume(int i, int j, int k, int l, const Atoms& atoms, double probe);
double sector_area(int v, int a, int b, int c, const Atoms& atoms, double probe);
double sector_volume(int v, int a, int b, int c, const Atoms& atoms, double probe);

// ---- probe-surface pieces ----------------------------------------------------
inline Shell shell(int v, double A, const Atoms& atoms, double probe) {
  return shell(A, atoms[v].radius, probe);
}
Annulus annulus(int v, double L, const Atoms& atoms, double probe);
Fan fan(int i, int j, const Atoms& atoms, double probe);
Patch patch(int i, int j, int k, const Atoms& atoms, double probe);
Torus torus(int i, int j, const Atoms& atoms, double probe, int cusp);

#endif
