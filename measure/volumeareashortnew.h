// Closed-form geometry of intersecting balls, the probe-surface pieces of the
// molecular surface, and the per-atom area and volume report (letter q).
//
// Balls are named by vertex index into the vector of info records; p is the
// probe radius and the ball of atom i is the expanded ball of radius
// R_i = radius_i + p about (x, y, z).  Angles passed between functions are
// fractions of a full turn.  The constants below are used exactly as
// written (not the library value of pi): every report depends on them.
#ifndef MEASURE_VOLUMEAREASHORTNEW_H
#define MEASURE_VOLUMEAREASHORTNEW_H

#include <initializer_list>
#include <string>
#include <vector>

#include "measure/complexbuild.h"
#include "measure/intersectionsegmentnew.h"

class Bead;

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

// ---- probe-surface pieces -----------------------------------------------
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
Shell shell(int v, double A, const Atoms& atoms, double p);
// Maps a length L of the expanded sphere of v onto the atom sphere.
Annulus annulus(int v, double L, const Atoms& atoms, double p);
Fan fan(int i, int j, const Atoms& atoms, double p);
// Concave spherical triangle of the probe resting on balls i, j, k.
Patch patch(int i, int j, int k, const Atoms& atoms, double p);
// cusp != 0 leaves out the correction of a self-intersecting torus.
Torus torus(int i, int j, const Atoms& atoms, double p, int cusp);

// Evaluator of the pieces above for the (at most four) atoms of one simplex:
// it keeps the power centres, sphere intersection points, cap heights and
// circle arcs it has computed until the next reset(), so that the many
// pieces of one simplex that share them compute each once.  Results equal
// the plain functions' bit for bit.  Pieces of atoms outside the simplex
// are computed without being kept.
class BallCache {
 public:
  BallCache(const Atoms& atoms, double p);
  // Starts on the simplex with these vertex indices (n <= 4).
  void reset(const int* vertices, int n);

  const Atoms& atoms() const { return atoms_; }
  double probe() const { return p_; }
  void centre2(int i, int j, double* out);
  void centre3(int i, int j, int k, double* out);
  void centre4(int i, int j, int k, int l, double* out);
  void dual(int i, int j, int k, double* out);  // triangle_dual
  double height(int i, int j);                  // cap_height
  double segment_angle(int i, int j, int k);
  double segment_height(int i, int j, int k);
  double segment2_angle(int i, int j, int k, int l);
  // Dihedral angle along (c_i, c_j) between the half-planes towards c_k and
  // c_l; kept per edge of the current tetrahedron.
  double wedge(int i, int j, int k, int l);
  double cap2_area(int i, int j, int k);
  double cap3_area(int i, int j, int k, int l);
  double cap_volume(int i, int j);
  double cap2_volume(int i, int j, int k);
  double cap3_volume(int i, int j, int k, int l);
  Patch patch(int i, int j, int k);
  Torus torus(int i, int j, int cusp);

 private:
  // A remembered value, valid while its stamp equals the generation.
  struct Slot {
    unsigned stamp = 0;
    double value[3];
  };
  int local(int i) const;
  Slot* slot(Slot* table, const int* key, int n);
  template <class Compute>
  void recall(Slot* table, std::initializer_list<int> key, double* out, Compute compute);
  template <class Compute>
  double recall(Slot* table, std::initializer_list<int> key, Compute compute);
  void clear_all();

  const Atoms& atoms_;
  double p_;
  int vertex_[4] = {-1, -1, -1, -1};
  int n_ = 0;
  // Position of each atom among the current simplex's vertices, -1 for the
  // others.
  std::vector<signed char> local_;
  unsigned generation_ = 0;
  // Indexed by the local positions of the arguments, base 4.
  Slot centre2_[16], centre3_[64], centre4_[256], dual_[64], height_[16];
  Slot segment_[64], segment_height_[64], segment2_[256], cap2_[64], cap3_[256], wedge_[16];
};

// ---- per-atom area and volume (letter q) ----------------------------------
// Triangulates the probe-expanded atoms, classifies the alpha complex (a
// simplex belongs to it when its size is at most alpha), adds every atom's
// share of area and volume and writes the report file
// "<first four characters of name>.<report_type>.contrib" in the working
// directory.  report_type 0 to 4, cusp 0 or 1.
void extract_area_volume_short(std::vector<Bead>& beads, std::string name, double probe,
                               double alpha, int report_type, int cusp);
// The same without the report: the classified records of the complex, with
// every atom's accumulators (area_sa, area_ms, volume_sa, volume_ms,
// envelope_sa, envelope_ms, void_area_sa, void_area_ms) final.  Volumes of
// edges, triangles and tetrahedra are only added for report type 4.
ComplexRecords measure_area_volume(std::vector<Bead>& beads, double probe, double alpha,
                                   int report_type, int cusp);
// Moves the surface of enclosed voids (tetrahedra with void_id > 0) out of
// the envelope into the void totals.
void voidsmeasure(std::vector<tetra>& tetrahedra, std::vector<info>& atoms, double probe,
                  int report_type, int cusp);
// Writes the report file; a file that cannot be created or written is
// reported and counted (structure/output.h).
void area_volume_measure(std::vector<info>& atoms, std::vector<Bead>& beads, std::string name,
                         double probe, int report_type, int cusp);

#endif
