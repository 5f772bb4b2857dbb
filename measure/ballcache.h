// The ball and probe-surface pieces of one simplex, each computed once.
#ifndef MEASURE_BALLCACHE_H
#define MEASURE_BALLCACHE_H

#include <initializer_list>
#include <vector>

#include "measure/probesurface.h"

// Evaluator of the pieces of ballgeometry.h and probesurface.h for the (at most four) atoms of one
// simplex: it keeps the power centres, sphere intersection points, cap heights and circle arcs it
// has computed until the next reset(), so that the many pieces of one simplex that share them
// compute each once.  Results equal the plain functions' bit for bit.  Pieces of atoms outside the
// simplex are computed without being kept.
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

#endif
