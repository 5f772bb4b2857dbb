// Closed-form geometry of intersecting balls: power centres, caps, the
// radical circle of two balls and its pieces cut by a third and a fourth,
// the parts of a sphere inside the wedge of a triangle or the solid angle of
// a tetrahedron, and dihedral angles.
//
// Balls are named by vertex index into the vector of info records; p is the
// probe radius and the ball of atom i is the expanded ball of radius
// R_i = radius_i + p about (x, y, z).  Angles passed between functions are
// fractions of a full turn.  The constants below are used exactly as
// written (not the library value of pi): every report depends on them.
#ifndef MEASURE_BALLGEOMETRY_H
#define MEASURE_BALLGEOMETRY_H

#include <vector>

#include "measure/intersectionsegmentnew.h"

const double AV_PI = 3.14159265;
const double AV_TWO_PI = 6.2831853;
const double AV_FOUR_PI = 12.5663706;
const double AV_FOUR_PI_THIRD = 4.1887902;
const double AV_TURN = 6.2831853;  // one full turn, in radians

typedef std::vector<info> Atoms;

// ---- centres and predicates -------------------------------------------
// Power centres of two, three and four expanded balls given as records (the
// point of equal power |x - c|^2 - R^2; in the plane of the centres for
// three).  A degenerate configuration gives a non-finite point.
void power_centre2(const info& a, const info& b, double p, double* out);
void power_centre3(const info& a, const info& b, const info& c, double p, double* out);
void power_centre4(const info& a, const info& b, const info& c, const info& d, double p,
                   double* out);
// Power centre of two balls, on the segment of their centres.
void setcenter2(int i, int j, double* out, const Atoms& atoms, double p);
// Power centre of three balls, in the plane of their centres.
void setcenter3(int i, int j, int k, double* out, const Atoms& atoms, double p);
// Power centre of four balls.
void setcenter4(int i, int j, int k, int l, double* out, const Atoms& atoms, double p);
// The radical plane of (i, j) lies on c_j's side of c_i.
bool alf_is_hidden0(int i, int j, const Atoms& atoms, double p);
// The power centre of (i, j, k) lies on c_k's side of that of (i, j).
bool alf_is_hidden1(int i, int j, int k, const Atoms& atoms, double p);
// Orientation determinant of the four centres is negative.
bool nccw(int i, int j, int k, int l, const Atoms& atoms);
double tetrahedra_volume(int i, int j, int k, int l, const Atoms& atoms);
double triangle_area(int i, int j, int k, const Atoms& atoms);
// The point where spheres i, j, k meet, on the side of
// (c_j - c_i) x (c_k - c_i); (i, k, j) gives the other one.
void triangle_dual(int i, int j, int k, double* out, const Atoms& atoms, double p);

// ---- angles (in turns) --------------------------------------------------
// Dihedral angle along the line (a, b) between the half-planes towards q
// and towards s.
double angle_dihedral(const double* a, const double* b, const double* q, const double* s);
// Angle at a between the directions to b and q, folded to at most 1/2.
double vector_angle(const double* a, const double* b, const double* q);

// ---- caps and the radical circle of two balls ---------------------------
// Height of the cap of ball i beyond the radical plane of (i, j).
double cap_height(int i, int j, const Atoms& atoms, double p);
double cap_area(int i, int j, const Atoms& atoms, double p);
double cap_volume(int i, int j, const Atoms& atoms, double p);
double disk_radius(int i, int j, const Atoms& atoms, double p);
double disk_length(int i, int j, const Atoms& atoms, double p);
double lens_seg_length(int i, int j, const Atoms& atoms, double p);
double lens_seg_area(int i, int j, const Atoms& atoms, double p);
double pie_area(int i, int j, int k, const Atoms& atoms, double p);
double pie_length(int i, int j, int k, const Atoms& atoms, double p);

// ---- pieces inside the wedge of a tetrahedron at edge (i, j) -------------
double wedge_area(int i, int j, int k, int l, const Atoms& atoms, double p);
double wedge_volume(int i, int j, int k, int l, const Atoms& atoms, double p);
double wedge_length(int i, int j, int k, int l, const Atoms& atoms, double p);

// ---- the radical circle of (i, j) cut by a third ball k ------------------
double segment_angle(int i, int j, int k, const Atoms& atoms, double p);
double segment_height(int i, int j, int k, const Atoms& atoms, double p);
double segment_area(int i, int j, int k, const Atoms& atoms, double p);
double segment_length(int i, int j, int k, const Atoms& atoms, double p);

// ---- the radical circle of (i, j) in tetrahedron (i, j, k, l) ------------
// Arc of the circle inside the wedge that balls k and l both cover.
double segment2_angle(int i, int j, int k, int l, const Atoms& atoms, double p);
double segment2_area(int i, int j, int k, int l, const Atoms& atoms, double p);
double segment2_length(int i, int j, int k, int l, const Atoms& atoms, double p);

// ---- sphere i in the wedge of triangle (i, j, k) -------------------------
double cap2_area(int i, int j, int k, const Atoms& atoms, double p);
double cap2_volume(int i, int j, int k, const Atoms& atoms, double p);
double pawn_area(int i, int j, int k, const Atoms& atoms, double p);
double pawn_volume(int i, int j, int k, const Atoms& atoms, double p);
double pawn_length(int i, int j, int k, const Atoms& atoms, double p);

// ---- sphere i in the solid angle of tetrahedron (i, j, k, l) -------------
double cap3_area(int i, int j, int k, int l, const Atoms& atoms, double p);
double cap3_volume(int i, int j, int k, int l, const Atoms& atoms, double p);
// Sphere / ball v inside the solid angle of the tetrahedron at v (no
// intersection involved).
double sector_area(int v, int a, int b, int c, const Atoms& atoms, double p);
double sector_volume(int v, int a, int b, int c, const Atoms& atoms, double p);

// ---- number-only closed forms ------------------------------------------
double radical_vdw(double a, double b, double c, double* s, double* q, double* ang);
double vol_round_pyramid(double a, double b);
double vol_cone_frustum(double a, double b, double c);
double vol_torus_fract(double a, double b, double c, double d);
double vol_spindle(double a, double b, double c, double d, double e);
double vol_round_cone(double a, double b, double c, double d, double e, double f, double g);

#endif
