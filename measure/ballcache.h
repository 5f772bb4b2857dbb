// The ball and probe-surface pieces of one simplex, each computed once: a
// cache over the plain forms of ballgeometry.h and probesurface.h.
#ifndef MEASURE_BALLCACHE_H
#define MEASURE_BALLCACHE_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "measure/atomballs.h"
#include "measure/ballgeometry.h"
#include "measure/probesurface.h"

// The expanded balls of at most four atoms, named by their positions 0 to
// 3, and the pieces of ballgeometry.h and probesurface.h among them.  Each
// piece is computed when first asked for and kept until the next load(), so
// that the many pieces of one simplex that share power centres, sphere
// intersection points, cap heights and angles compute each once.  A piece
// of positions (a, b, c) equals the plain function of their balls bit for
// bit: it hands the pieces it keeps to the same `_of` forms.
class SimplexBalls {
 public:
  explicit SimplexBalls(double probe) : probe_(probe) {}
  // Loaded with the given atoms, at positions 0, 1, ... in this order.
  SimplexBalls(const Atoms& atoms, double probe, std::initializer_list<int> indices);

  // Takes these atoms as positions 0 to n-1 (n <= 4) and forgets every
  // piece.
  void load(const info* const* atoms, int n);

  const ballmath::V3& centre2(int a, int b) {
    const int k = key2(a, b);
    return has(have_centre2_, k) ? centre2_[k] : make_centre2(a, b, k);
  }
  const ballmath::V3& centre3(int a, int b, int c) { return plane(a, b, c).centre; }
  const ballmath::V3& centre4(int a, int b, int c, int d) {
    const int k = key4(a, b, c, d);
    return has(have_centre4_, k) ? centre4_[k] : make_centre4(a, b, c, d, k);
  }
  // triangle_dual
  const ballmath::V3& dual(int a, int b, int c) {
    const int k = key3(a, b, c);
    return has(have_dual_, k) ? dual_[k] : make_dual(a, b, c, k);
  }
  // cap_height
  double height(int a, int b) {
    const int k = key2(a, b);
    return has(have_height_, k) ? height_[k] : make_height(a, b, k);
  }
  // A cap height known from an earlier simplex: the value height() would
  // compute.  kept_height() tells whether height(a, b) is at hand.
  void keep_height(int a, int b, double h) {
    const int k = key2(a, b);
    height_[k] = h;
    set(have_height_, k);
  }
  bool kept_height(int a, int b, double* h) const {
    const int k = key2(a, b);
    if (!has(have_height_, k)) return false;
    *h = height_[k];
    return true;
  }
  bool nccw(int a, int b, int c, int d) {
    const int k = key4(a, b, c, d);
    if (!has(have_nccw_, k)) make_nccw(a, b, c, d, k);
    return has(nccw_, k);
  }
  double segment_angle(int a, int b, int c) { return half_plus(a, b, c) + half_minus(a, b, c); }
  double segment_height(int a, int b, int c) {
    const int k = key3(a, b, c);
    return has(have_segment_height_, k) ? segment_height_[k] : make_segment_height(a, b, c, k);
  }
  double segment_area(int a, int b, int c);
  double segment2_angle(int a, int b, int c, int d) {
    const int k = key4(a, b, c, d);
    return has(have_segment2_, k) ? segment2_[k] : make_segment2_angle(a, b, c, d, k);
  }
  double segment2_area(int a, int b, int c, int d);
  // Dihedral angle along (c_a, c_b) between the half-planes towards c_c and
  // c_d; the same to the last bit for either order of the ends or of the
  // other two.
  double wedge(int a, int b, int c, int d) {
    if (n_ == 4 && ((1 << a) | (1 << b) | (1 << c) | (1 << d)) == 15) {
      const int k = a < b ? key2(a, b) : key2(b, a);
      if (has(have_wedge_, k)) return wedge_[k];
    }
    return make_wedge(a, b, c, d);
  }
  double cap_volume(int a, int b) { return cap_volume_of(ball_[a].R, height(a, b)); }
  double cap2_area(int a, int b, int c) {
    const int k = key3(a, b, c);
    return has(have_cap2_, k) ? cap2_[k] : make_cap2_area(a, b, c, k);
  }
  double cap2_volume(int a, int b, int c);
  // The same, handed its cap2_area(a, b, c).
  double cap2_volume(int a, int b, int c, double area);
  double cap3_area(int a, int b, int c, int d) {
    const int k = key4(a, b, c, d);
    return has(have_cap3_, k) ? cap3_[k] : make_cap3_area(a, b, c, d, k);
  }
  double cap3_volume(int a, int b, int c, int d);
  Patch patch(int a, int b, int c) {
    const int k = key3(a, b, c);
    return patch_of_area(has(have_patch_, k) ? patch_[k] : make_patch_area(a, b, c, k), probe_);
  }
  Torus torus(int i, int j, int cusp);

 private:
  // (c_c - c_a) x (c_c - c_b), the normal of the plane through the line of
  // (a, b) and c_c, with its length.
  struct EdgePlane {
    ballmath::V3 normal;
    double length;
  };
  static int key2(int a, int b) { return a * 4 + b; }
  static int key3(int a, int b, int c) { return a * 16 + b * 4 + c; }
  static int key4(int a, int b, int c, int d) { return a * 64 + b * 16 + c * 4 + d; }
  static bool has(uint64_t mask, int k) { return (mask >> k) & 1u; }
  static bool has(const uint64_t* mask, int k) { return (mask[k >> 6] >> (k & 63)) & 1u; }
  static void set(uint64_t& mask, int k) { mask |= uint64_t(1) << k; }
  static void set(uint64_t* mask, int k) { mask[k >> 6] |= uint64_t(1) << (k & 63); }

  bool hidden0(int a, int b) const { return alf_is_hidden0(ball_[a], ball_[b]); }
  double rho(int a, int b) { return disk_radius_of(ball_[a].R, height(a, b)); }
  const PowerPlane& plane(int a, int b, int c) {
    const int k = key3(a, b, c);
    return has(have_plane_, k) ? plane_[k] : make_plane(a, b, c, k);
  }
  const EdgePlane& edge_plane(int a, int b, int c) {
    const int k = key3(a, b, c);
    return has(have_edge_plane_, k) ? edge_plane_[k] : make_edge_plane(a, b, c, k);
  }
  // Dihedral angle along (c_a, c_b) between the half-planes towards c_c and
  // towards the point q.
  double turn_to(int a, int b, int c, const ballmath::V3& q);
  // The two halves of segment_angle(a, b, c): towards dual(a, b, c) and
  // towards dual(a, c, b).
  double half_plus(int a, int b, int c) {
    const int k = key3(a, b, c);
    return has(have_plus_, k) ? plus_[k] : make_half_plus(a, b, c, k);
  }
  double half_minus(int a, int b, int c) {
    const int k = key3(a, b, c);
    return has(have_minus_, k) ? minus_[k] : make_half_minus(a, b, c, k);
  }
  // Dihedral angle along (c_a, dual(a, b, c)) between the half-planes
  // towards c_b and c_c.
  double corner(int a, int b, int c) {
    const int k = key3(a, b, c);
    return has(have_corner_, k) ? corner_[k] : make_corner(a, b, c, k);
  }

  // Compute the piece of key k, keep it and return it.
  const ballmath::V3& make_centre2(int a, int b, int k);
  const PowerPlane& make_plane(int a, int b, int c, int k);
  const ballmath::V3& make_centre4(int a, int b, int c, int d, int k);
  const ballmath::V3& make_dual(int a, int b, int c, int k);
  double make_height(int a, int b, int k);
  void make_nccw(int a, int b, int c, int d, int k);
  const EdgePlane& make_edge_plane(int a, int b, int c, int k);
  double make_half_plus(int a, int b, int c, int k);
  double make_half_minus(int a, int b, int c, int k);
  double make_corner(int a, int b, int c, int k);
  double make_wedge(int a, int b, int c, int d);
  double make_segment_height(int a, int b, int c, int k);
  double make_segment2_angle(int a, int b, int c, int d, int k);
  double make_cap2_area(int a, int b, int c, int k);
  double make_cap3_area(int a, int b, int c, int d, int k);
  double make_patch_area(int a, int b, int c, int k);

  double probe_;
  int n_ = 0;
  Ball ball_[4];
  double radius_[4];  // of the atoms

  // Which pieces are at hand, by key.
  uint64_t have_centre2_ = 0, have_height_ = 0, have_wedge_ = 0;
  uint64_t have_plane_ = 0, have_dual_ = 0, have_edge_plane_ = 0, have_segment_height_ = 0;
  uint64_t have_plus_ = 0, have_minus_ = 0, have_corner_ = 0, have_cap2_ = 0, have_patch_ = 0;
  uint64_t have_centre4_[4] = {0, 0, 0, 0}, have_segment2_[4] = {0, 0, 0, 0};
  uint64_t have_cap3_[4] = {0, 0, 0, 0}, have_nccw_[4] = {0, 0, 0, 0}, nccw_[4] = {0, 0, 0, 0};

  ballmath::V3 centre2_[16];
  double height_[16], wedge_[16];
  PowerPlane plane_[64];
  ballmath::V3 dual_[64];
  EdgePlane edge_plane_[64];
  double segment_height_[64], plus_[64], minus_[64], corner_[64], cap2_[64], patch_[64];
  ballmath::V3 centre4_[256];
  double segment2_[256], cap3_[256];
};

// The pieces of the four balls of a tetrahedron that the area walk adds,
// computed face by face in one sweep instead of piece by piece: the pieces
// of each face's three balls (Face) either handed in whole by a
// neighbouring tetrahedron or computed at once, then the pieces of the four
// balls from them.  Each equals the plain form bit for bit, as those of
// SimplexBalls do.  Positions 0 to 3 are the tetrahedron's vertices; the
// segment heights and what only the volumes need are left out without
// `volumes`.
class TetraBalls {
 public:
  TetraBalls(double probe, bool volumes) : probe_(probe), volumes_(volumes) {}

  // Takes the four atoms and forgets every piece.
  void load(const info* const* atoms);
  // Heights known from earlier simplices, and those at hand (cap_height).
  void keep_height(int a, int b, double h) {
    height_[a][b] = h;
    have_height_[a][b] = true;
  }
  bool kept_height(int a, int b, double* h) const {
    if (!have_height_[a][b]) return false;
    *h = height_[a][b];
    return true;
  }
  double height(int a, int b) {
    if (!have_height_[a][b]) make_height(a, b);
    return height_[a][b];
  }
  // The pieces of a face's three balls alone, by the orders of its
  // vertices 0, 1, 2 (kFaceOrders): the points where the spheres meet, the
  // segment heights (with the volumes), the half arcs, the corner angles and
  // the probe patches as far as they are at hand; and the normals of the
  // planes through each of its edges and the third vertex.  The tetrahedra
  // on its two sides compute the same to the last bit, so the first hands
  // them to the second.
  struct Face {
    struct Order {
      ballmath::V3 dual;
      double segment_height, plus, minus, corner, patch;
    };
    Order order[6];
    ballmath::V3 normal[3];  // edge (0, 1) towards 2, (0, 2) towards 1, (1, 2) towards 0
    double length[3];
    unsigned char patches;  // bit q: order q's patch is at hand
  };
  static constexpr int kFaceOrders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                            {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  // Face k (leaving out position 3 - k), its vertices 0, 1, 2 at positions
  // pos[0..2], as a neighbour kept it: complete() leaves it as it is.
  void lend_face(int k, const int* pos, const Face& face);
  // Computes the faces not lent.
  void complete();
  // After complete(): the face with its vertices at positions pos[0..2].
  void keep_face(const int* pos, Face* face) const;

  // After complete():
  double segment_angle(int a, int b, int c) const {
    return plus_[key(a, b, c)] + minus_[key(a, b, c)];
  }
  // dihedral(c_a, c_b, c_c, c_d) for the other two vertices c and d.
  double wedge(int a, int b) const { return wedge_[kTetraEdgeOf[a][b]]; }
  double segment2_angle(int a, int b, int c, int d) const {
    return minus_[key(a, b, c)] + plus_[key(a, b, d)] - wedge(a, b);
  }
  // Sphere a in the solid angle, and (with volumes) the matching volume.
  void cap3(int a, int b, int c, int d, double* area, double* volume);
  // The same at each vertex a, the others in ascending order, into area[a]
  // and (with volumes; null without) volume[a].
  void caps(double* area, double* volume);
  double cap2_area(int a, int b, int c);
  double cap2_volume(int a, int b, int c) { return cap2_volume(a, b, c, cap2_area(a, b, c)); }
  // The same, handed its cap2_area(a, b, c).
  double cap2_volume(int a, int b, int c, double area);
  Patch patch(int a, int b, int c) { return patch_of_area(patch_area(a, b, c), probe_); }
  Torus torus(int a, int b, int cusp) {
    return torus_of(radius_[a], radius_[b], probe_, height(a, b),
                    ballmath::norm(ballmath::sub(ball_[a].c, ball_[b].c)),
                    alf_is_hidden0(ball_[a], ball_[b]), alf_is_hidden0(ball_[b], ball_[a]), cusp);
  }

 private:
  static constexpr int key(int a, int b, int c) { return a * 16 + b * 4 + c; }
  void make_height(int a, int b);
  const ballmath::V3& centre2(int a, int b);
  double rho(int a, int b) {
    if (!have_rho_[a][b]) {
      rho_[a][b] = disk_radius_of(ball_[a].R, height(a, b));
      have_rho_[a][b] = true;
    }
    return rho_[a][b];
  }
  // The face of positions A < B < C, its orders unrolled so that every
  // piece's place is a constant.
  template <int A, int B, int C>
  void make_face();
  template <int X, int Y, int Z>
  void make_face_plane();
  template <int X, int Y, int Z>
  void make_face_turns();
  template <int X, int Y, int Z>
  void make_edge_normal();
  // cap3 with c and d in the order x, y that makes nccw false (turned: the
  // other one); the positions either ints or constants (Place).
  template <class A, class B, class X, class Y, class Turned>
  void cap3_of(A a, B b, X x, Y y, Turned turned, double* area, double* volume);
  template <int A, int B, int C, int D>
  void cap3_at(double* area, double* volume);
  // lend_face and keep_face with the face's positions as constants.
  static constexpr int order_key(int p0, int p1, int p2, int q);
  template <int P0, int P1, int P2, std::size_t... Q>
  void lend_at(const Face& face, std::index_sequence<Q...>);
  template <int P0, int P1, int P2, std::size_t... Q>
  void keep_at(Face* face, std::index_sequence<Q...>) const;
  template <class F>
  static void at_places(const int* pos, F&& f);
  double patch_area(int a, int b, int c);
  // The segment's area handed the length of its chord.
  double segment_area(int a, int b, int c, double chord) {
    const int k = key(a, b, c);
    return segment_area_of(plus_[k] + minus_[k], rho(a, b), segment_height_[k], chord);
  }
  // segment2_area with c and d in the order that makes nccw false; m4 the
  // power centre of (a, b, c, d).
  double segment2_area(int a, int b, int c, int d, const ballmath::V3& m4) {
    return segment2_area_of(segment2_angle(a, b, c, d), rho(a, b), segment_height_[key(a, b, c)],
                            segment_height_[key(a, b, d)], dual_[key(a, c, b)], dual_[key(a, b, d)],
                            m4);
  }
  double segment2_area(int a, int b, int c, int d) {
    return segment2_area(a, b, c, d,
                         power_centre_of(ball_[a].c, edge_[a][b], edge_[a][c], edge_[a][d],
                                         lift_[a][b], lift_[a][c], lift_[a][d]));
  }
  // ::nccw of the centres at positions a, b, c, d (a permutation of 0 to
  // 3): from one orientation of the four when that is certain.
  bool nccw(int a, int b, int c, int d) {
    if (orientation_ == kUnknown) orientation_ = certain_orientation();
    if (orientation_ == kUncertain) return ::nccw(ball_[a].c, ball_[b].c, ball_[c].c, ball_[d].c);
    const int odd = (a > b) ^ (a > c) ^ (a > d) ^ (b > c) ^ (b > d) ^ (c > d);
    return odd ? orientation_ < 0 : orientation_ > 0;
  }
  enum { kUnknown = 2, kUncertain = 0 };
  int certain_orientation() const;

  double probe_;
  bool volumes_;
  int orientation_ = kUnknown;  // certain_orientation(), when asked for
  Ball ball_[4];
  double radius_[4];  // of the atoms
  // c_b - c_a and power_lift_of it, by (a, b): what every power centre with
  // c_a first solves from.
  ballmath::V3 edge_[4][4];
  double lift_[4][4];
  bool have_centre2_[4][4], have_height_[4][4], have_rho_[4][4];
  ballmath::V3 centre2_[4][4];
  double height_[4][4], rho_[4][4];
  // By face: whether it was lent whole.
  bool lent_[4];
  ballmath::V3 dual_[64];
  double segment_height_[64], plus_[64], minus_[64], corner_[64], patch_[64];
  // Set for every order of a face as complete() computes or lends it, so
  // load() leaves it.
  bool have_patch_[64] = {};
  // (c_c - c_a) x (c_c - c_b) and its length.
  ballmath::V3 normal_[64];
  double length_[64];
  double wedge_[6];
};

// The same pieces named by atom index, for the simplex given to reset().
// Pieces of atoms outside that simplex are computed without being kept.
class BallCache {
 public:
  BallCache(const Atoms& atoms, double probe);
  // Starts on the simplex with these vertex indices (n <= 4).
  void reset(const int* vertices, int n);

  const Atoms& atoms() const { return atoms_; }
  double probe() const { return probe_; }
  void dual(int i, int j, int k, double* out);  // triangle_dual
  double height(int i, int j);                  // cap_height
  double segment_angle(int i, int j, int k);
  double segment_height(int i, int j, int k);
  double segment2_angle(int i, int j, int k, int l);
  // Dihedral angle along (c_i, c_j) between the half-planes towards c_k and
  // c_l.
  double wedge(int i, int j, int k, int l);
  double cap2_area(int i, int j, int k);
  double cap3_area(int i, int j, int k, int l);
  double cap_volume(int i, int j);
  double cap2_volume(int i, int j, int k);
  double cap3_volume(int i, int j, int k, int l);
  Patch patch(int i, int j, int k);
  Torus torus(int i, int j, int cusp);

 private:
  // The balls that hold these atoms, with their positions there: the
  // current simplex when all of them are its vertices, else a one-off set.
  SimplexBalls& on(std::initializer_list<int> atoms, int* at);

  const Atoms& atoms_;
  double probe_;
  int vertex_[4] = {-1, -1, -1, -1};
  int n_ = 0;
  // Position of each atom among the current simplex's vertices, -1 for the
  // others.
  std::vector<signed char> position_;
  SimplexBalls current_, other_;
};

#endif
