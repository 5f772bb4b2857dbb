// The ball pieces of a simplex kept as they are computed; each is made by
// the `_of` form of its plain function from the pieces it is made of.
#include "measure/ballcache.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

using namespace ballmath;

// ---- SimplexBalls: loading ---------------------------------------------------

SimplexBalls::SimplexBalls(const Atoms& atoms, double probe, std::initializer_list<int> indices)
    : probe_(probe) {
  const info* v[4];
  int n = 0;
  for (int i : indices)
    if (n < 4) v[n++] = &atoms[i];
  load(v, n);
}

void SimplexBalls::load(const info* const* atoms, int n) {
  n_ = n < 4 ? n : 4;
  for (int k = 0; k < n_; ++k) {
    ball_[k] = ball_of(*atoms[k], probe_);
    radius_[k] = atoms[k]->radius;
  }
  have_centre2_ = have_height_ = have_wedge_ = 0;
  have_plane_ = have_dual_ = have_edge_plane_ = have_segment_height_ = 0;
  have_plus_ = have_minus_ = have_corner_ = have_cap2_ = have_patch_ = 0;
  for (int k = 0; k < 4; ++k) {
    have_centre4_[k] = have_segment2_[k] = have_cap3_[k] = have_nccw_[k] = nccw_[k] = 0;
  }
}

// ---- centres and predicates -------------------------------------------------

const V3& SimplexBalls::make_centre2(int a, int b, int k) {
  centre2_[k] = power_centre(ball_[a], ball_[b]);
  set(have_centre2_, k);
  return centre2_[k];
}

const PowerPlane& SimplexBalls::make_plane(int a, int b, int c, int k) {
  plane_[k] = power_plane(ball_[a], ball_[b], ball_[c]);
  set(have_plane_, k);
  return plane_[k];
}

const V3& SimplexBalls::make_centre4(int a, int b, int c, int d, int k) {
  centre4_[k] = power_centre(ball_[a], ball_[b], ball_[c], ball_[d]);
  set(have_centre4_, k);
  return centre4_[k];
}

const V3& SimplexBalls::make_dual(int a, int b, int c, int k) {
  dual_[k] = triangle_dual_of(plane(a, b, c), ball_[a]);
  set(have_dual_, k);
  return dual_[k];
}

double SimplexBalls::make_height(int a, int b, int k) {
  height_[k] = cap_height_of(ball_[a], centre2(a, b), hidden0(a, b));
  set(have_height_, k);
  return height_[k];
}

void SimplexBalls::make_nccw(int a, int b, int c, int d, int k) {
  if (::nccw(ball_[a].c, ball_[b].c, ball_[c].c, ball_[d].c)) set(nccw_, k);
  set(have_nccw_, k);
}

// ---- angles ------------------------------------------------------------------

// The plane of (b, a, c) has the opposite normal, to the last bit.
const SimplexBalls::EdgePlane& SimplexBalls::make_edge_plane(int a, int b, int c, int k) {
  EdgePlane& e = edge_plane_[k];
  const int swapped = key3(b, a, c);
  if (has(have_edge_plane_, swapped)) {
    const EdgePlane& o = edge_plane_[swapped];
    e.normal = V3{-o.normal.x, -o.normal.y, -o.normal.z};
    e.length = o.length;
  } else {
    e.normal = edge_normal(ball_[a].c, ball_[b].c, ball_[c].c);
    e.length = norm(e.normal);
  }
  set(have_edge_plane_, k);
  return e;
}

// dihedral(c_a, c_b, c_c, q), with the plane of (a, b, c) kept.
double SimplexBalls::turn_to(int a, int b, int c, const V3& q) {
  const EdgePlane& e = edge_plane(a, b, c);
  const V3 ns = edge_normal(ball_[a].c, ball_[b].c, q);
  return turn_between(e.normal, e.length, ns, norm(ns));
}

double SimplexBalls::make_half_plus(int a, int b, int c, int k) {
  plus_[k] = turn_to(a, b, c, dual(a, b, c));
  set(have_plus_, k);
  return plus_[k];
}

double SimplexBalls::make_half_minus(int a, int b, int c, int k) {
  minus_[k] = turn_to(a, b, c, dual(a, c, b));
  set(have_minus_, k);
  return minus_[k];
}

double SimplexBalls::make_corner(int a, int b, int c, int k) {
  corner_[k] = dihedral(ball_[a].c, dual(a, b, c), ball_[b].c, ball_[c].c);
  set(have_corner_, k);
  return corner_[k];
}

// One slot per edge of the four balls: the angle does not depend on the
// order of the ends nor of the other two.
double SimplexBalls::make_wedge(int a, int b, int c, int d) {
  const bool kept = n_ == 4 && ((1 << a) | (1 << b) | (1 << c) | (1 << d)) == 15;
  const int k = a < b ? key2(a, b) : key2(b, a);
  const EdgePlane& q = edge_plane(a, b, c);
  const EdgePlane& s = edge_plane(a, b, d);
  const double w = turn_between(q.normal, q.length, s.normal, s.length);
  if (kept) {
    wedge_[k] = w;
    set(have_wedge_, k);
  }
  return w;
}

// ---- the radical circle of (a, b) cut by c, and by c and d ---------------------

double SimplexBalls::make_segment_height(int a, int b, int c, int k) {
  segment_height_[k] = segment_height_of(centre2(a, b), centre3(a, b, c), rho(a, b), ball_[c].c);
  set(have_segment_height_, k);
  return segment_height_[k];
}

double SimplexBalls::segment_area(int a, int b, int c) {
  return segment_area_of(segment_angle(a, b, c), rho(a, b), segment_height(a, b, c), dual(a, b, c),
                         dual(a, c, b));
}

double SimplexBalls::make_segment2_angle(int a, int b, int c, int d, int k) {
  segment2_[k] = half_minus(a, b, c) + half_plus(a, b, d) - wedge(a, b, c, d);
  set(have_segment2_, k);
  return segment2_[k];
}

double SimplexBalls::segment2_area(int a, int b, int c, int d) {
  if (nccw(a, b, c, d)) std::swap(c, d);
  return segment2_area_of(segment2_angle(a, b, c, d), rho(a, b), segment_height(a, b, c),
                          segment_height(a, b, d), dual(a, c, b), dual(a, b, d),
                          centre4(a, b, c, d));
}

// ---- caps and spheres in wedges and solid angles ---------------------------------

double SimplexBalls::make_cap2_area(int a, int b, int c, int k) {
  cap2_[k] = cap2_area_of(ball_[a].R, corner(a, b, c), corner(a, c, b), height(a, b), height(a, c),
                          segment_angle(a, b, c), segment_angle(a, c, b));
  set(have_cap2_, k);
  return cap2_[k];
}

double SimplexBalls::cap2_volume(int a, int b, int c) {
  return cap2_volume(a, b, c, cap2_area(a, b, c));
}

double SimplexBalls::cap2_volume(int a, int b, int c, double area) {
  return cap2_volume_of(ball_[a].R, height(a, b), height(a, c), area,
                        segment_area(a, b, c), segment_area(a, c, b));
}

double SimplexBalls::make_cap3_area(int a, int b, int c, int d, int k) {
  if (nccw(a, b, c, d)) std::swap(c, d);
  cap3_[k] = cap3_area_of(ball_[a].R, corner(a, c, b), corner(a, d, c), corner(a, b, d),
                          height(a, b), height(a, c), height(a, d), segment2_angle(a, b, c, d),
                          segment2_angle(a, c, d, b), segment2_angle(a, d, b, c));
  set(have_cap3_, k);
  return cap3_[k];
}

double SimplexBalls::cap3_volume(int a, int b, int c, int d) {
  return cap3_volume_of(ball_[a].R, height(a, b), height(a, c), height(a, d), cap3_area(a, b, c, d),
                        segment2_area(a, b, c, d), segment2_area(a, c, b, d),
                        segment2_area(a, d, b, c));
}

// ---- probe-surface pieces ----------------------------------------------------------

// The angle at the edge (X, c_a) is the corner angle of (a, b, c) to the
// last bit: its two normals are the corner's, both negated and swapped.
double SimplexBalls::make_patch_area(int a, int b, int c, int k) {
  const V3& X = dual(a, b, c);
  patch_[k] = patch_area_of(corner(a, b, c), dihedral(X, ball_[b].c, ball_[a].c, ball_[c].c),
                            dihedral(X, ball_[c].c, ball_[b].c, ball_[a].c), probe_);
  set(have_patch_, k);
  return patch_[k];
}

Torus SimplexBalls::torus(int i, int j, int cusp) {
  return torus_of(radius_[i], radius_[j], probe_, height(i, j), norm(sub(ball_[i].c, ball_[j].c)),
                  hidden0(i, j), hidden0(j, i), cusp);
}

// ---- BallCache ---------------------------------------------------------------------

BallCache::BallCache(const Atoms& atoms, double probe)
    : atoms_(atoms), probe_(probe), position_(atoms.size(), -1), current_(probe), other_(probe) {}

void BallCache::reset(const int* vertices, int n) {
  for (int k = 0; k < n_; ++k) position_[vertex_[k]] = -1;
  n_ = n < 4 ? n : 4;
  const info* balls[4];
  for (int k = 0; k < n_; ++k) {
    vertex_[k] = vertices[k];
    position_[vertices[k]] = static_cast<signed char>(k);
    balls[k] = &atoms_[vertices[k]];
  }
  current_.load(balls, n_);
}

SimplexBalls& BallCache::on(std::initializer_list<int> atoms, int* at) {
  int m = 0;
  bool all = true;
  for (int i : atoms) {
    at[m] = position_[i];
    if (at[m++] < 0) all = false;
  }
  if (all) return current_;
  const info* balls[4];
  m = 0;
  for (int i : atoms) {
    balls[m] = &atoms_[i];
    at[m] = m;
    ++m;
  }
  other_.load(balls, m);
  return other_;
}

void BallCache::dual(int i, int j, int k, double* out) {
  int x[3];
  put(on({i, j, k}, x).dual(x[0], x[1], x[2]), out);
}

double BallCache::height(int i, int j) {
  int x[2];
  return on({i, j}, x).height(x[0], x[1]);
}

double BallCache::segment_angle(int i, int j, int k) {
  int x[3];
  return on({i, j, k}, x).segment_angle(x[0], x[1], x[2]);
}

double BallCache::segment_height(int i, int j, int k) {
  int x[3];
  return on({i, j, k}, x).segment_height(x[0], x[1], x[2]);
}

double BallCache::segment2_angle(int i, int j, int k, int l) {
  int x[4];
  return on({i, j, k, l}, x).segment2_angle(x[0], x[1], x[2], x[3]);
}

double BallCache::wedge(int i, int j, int k, int l) {
  int x[4];
  return on({i, j, k, l}, x).wedge(x[0], x[1], x[2], x[3]);
}

double BallCache::cap2_area(int i, int j, int k) {
  int x[3];
  return on({i, j, k}, x).cap2_area(x[0], x[1], x[2]);
}

double BallCache::cap3_area(int i, int j, int k, int l) {
  int x[4];
  return on({i, j, k, l}, x).cap3_area(x[0], x[1], x[2], x[3]);
}

double BallCache::cap_volume(int i, int j) {
  int x[2];
  return on({i, j}, x).cap_volume(x[0], x[1]);
}

double BallCache::cap2_volume(int i, int j, int k) {
  int x[3];
  return on({i, j, k}, x).cap2_volume(x[0], x[1], x[2]);
}

double BallCache::cap3_volume(int i, int j, int k, int l) {
  int x[4];
  return on({i, j, k, l}, x).cap3_volume(x[0], x[1], x[2], x[3]);
}

Patch BallCache::patch(int i, int j, int k) {
  int x[3];
  return on({i, j, k}, x).patch(x[0], x[1], x[2]);
}

Torus BallCache::torus(int i, int j, int cusp) {
  int x[2];
  return on({i, j}, x).torus(x[0], x[1], cusp);
}

// ---- TetraBalls ----------------------------------------------------------------------

constexpr int TetraBalls::kFaceOrders[6][3];

void TetraBalls::load(const info* const* atoms) {
  for (int k = 0; k < 4; ++k) {
    ball_[k] = ball_of(*atoms[k], probe_);
    radius_[k] = atoms[k]->radius;
    for (int m = 0; m < 4; ++m) have_centre2_[k][m] = have_height_[k][m] = have_rho_[k][m] = false;
    lent_[k] = false;
  }
  // One square length for both ways: a - b is -(b - a) but for the sign of
  // a zero, so both square alike to the last bit.
  double R2[4];
  for (int k = 0; k < 4; ++k) R2[k] = ball_[k].R * ball_[k].R;
  for (int k = 0; k < 3; ++k)
    for (int m = k + 1; m < 4; ++m) {
      const V3 e = sub(ball_[m].c, ball_[k].c);
      const double ee = dot(e, e);
      edge_[k][m] = e;
      edge_[m][k] = sub(ball_[k].c, ball_[m].c);
      lift_[k][m] = power_lift_of(ee, R2[m], R2[k]);
      lift_[m][k] = power_lift_of(ee, R2[k], R2[m]);
    }
  orientation_ = kUnknown;
}

// The sign of det[c_1 - c_0; c_2 - c_0; c_3 - c_0] as its evaluation in
// ::nccw gives it (+1 or -1), when every such evaluation of the centres in
// any order has the sign of the order's parity times that one; kUncertain
// else.
//
// Why that holds.  With u = 2^-53 and X, Y, Z the extents of the four
// centres along the axes, each evaluation of ::nccw rounds differences of
// two centres (at most X, Y, Z per axis) and then takes a determinant of
// them, a sum of six products of one difference per axis through 2 x 2
// minors: at most 8 roundings on the path of each product, so its error is
// below 8.01 u times the sum of the products' magnitudes, at most
// 6 X Y Z (1 + u)^3 (products that underflow add less than 2^-1000).  So
// every evaluation is within E = 49 u X Y Z + 2^-1000 of the exact
// determinant of its order, which is the parity's sign times D, the exact
// one of the order 0 to 3.  When the evaluation of that order exceeds 2 E in
// magnitude, |D| > E, and every evaluation has the sign of its exact value.
// The test below asks for 2 (64 u X Y Z + 2^-1000): evaluated in floating
// point from non-negative terms it is a few u low at most, well inside the
// margin of its constant.  A centre that is not finite leaves the
// comparison false.
int TetraBalls::certain_orientation() const {
  const V3 &p = ball_[0].c, &q = ball_[1].c, &r = ball_[2].c, &s = ball_[3].c;
  const double D = det3(sub(q, p), sub(r, p), sub(s, p));
  auto extent = [](double a, double b, double c, double d) {
    return std::max(std::max(a, b), std::max(c, d)) - std::min(std::min(a, b), std::min(c, d));
  };
  const double X = extent(p.x, q.x, r.x, s.x), Y = extent(p.y, q.y, r.y, s.y),
               Z = extent(p.z, q.z, r.z, s.z);
  const double bound = 2 * (64.0 / 9007199254740992.0 * ((X * Y) * Z) + 0x1p-1000);
  if (!(std::fabs(D) > bound)) return kUncertain;
  return D > 0 ? 1 : -1;
}

const V3& TetraBalls::centre2(int a, int b) {
  if (!have_centre2_[a][b]) {
    centre2_[a][b] = power_centre(ball_[a], ball_[b]);
    have_centre2_[a][b] = true;
  }
  return centre2_[a][b];
}

void TetraBalls::make_height(int a, int b) {
  height_[a][b] = cap_height_of(ball_[a], centre2(a, b), alf_is_hidden0(ball_[a], ball_[b]));
  have_height_[a][b] = true;
}

// The key of order q of a face whose vertices 0, 1, 2 sit at positions
// p0, p1, p2.
constexpr int TetraBalls::order_key(int p0, int p1, int p2, int q) {
  const int p[3] = {p0, p1, p2};
  return key(p[kFaceOrders[q][0]], p[kFaceOrders[q][1]], p[kFaceOrders[q][2]]);
}

// Each piece of the six orders, then the planes of the three edges with the
// third vertex: the plane of (x, y) towards z and of (y, x), whose normal is
// the negated one to the last bit.
template <int P0, int P1, int P2, std::size_t... Q>
void TetraBalls::lend_at(const Face& face, std::index_sequence<Q...>) {
  ((dual_[order_key(P0, P1, P2, Q)] = face.order[Q].dual), ...);
  if (volumes_)
    ((segment_height_[order_key(P0, P1, P2, Q)] = face.order[Q].segment_height), ...);
  ((plus_[order_key(P0, P1, P2, Q)] = face.order[Q].plus), ...);
  ((minus_[order_key(P0, P1, P2, Q)] = face.order[Q].minus), ...);
  ((corner_[order_key(P0, P1, P2, Q)] = face.order[Q].corner), ...);
  ((patch_[order_key(P0, P1, P2, Q)] = face.order[Q].patch), ...);
  ((have_patch_[order_key(P0, P1, P2, Q)] = (face.patches >> Q) & 1u), ...);
  const int e[3][2] = {{key(P0, P1, P2), key(P1, P0, P2)},
                       {key(P0, P2, P1), key(P2, P0, P1)},
                       {key(P1, P2, P0), key(P2, P1, P0)}};
  for (int m = 0; m < 3; ++m) {
    const V3& n = face.normal[m];
    normal_[e[m][0]] = n;
    length_[e[m][0]] = face.length[m];
    normal_[e[m][1]] = V3{-n.x, -n.y, -n.z};
    length_[e[m][1]] = face.length[m];
  }
}

template <int P0, int P1, int P2, std::size_t... Q>
void TetraBalls::keep_at(Face* face, std::index_sequence<Q...>) const {
  ((face->order[Q].dual = dual_[order_key(P0, P1, P2, Q)]), ...);
  if (volumes_)
    ((face->order[Q].segment_height = segment_height_[order_key(P0, P1, P2, Q)]), ...);
  ((face->order[Q].plus = plus_[order_key(P0, P1, P2, Q)]), ...);
  ((face->order[Q].minus = minus_[order_key(P0, P1, P2, Q)]), ...);
  ((face->order[Q].corner = corner_[order_key(P0, P1, P2, Q)]), ...);
  face->patches = 0;
  ((have_patch_[order_key(P0, P1, P2, Q)]
        ? (face->order[Q].patch = patch_[order_key(P0, P1, P2, Q)],
           face->patches = static_cast<unsigned char>(face->patches | 1u << Q))
        : 0),
   ...);
  face->normal[0] = normal_[key(P0, P1, P2)];
  face->length[0] = length_[key(P0, P1, P2)];
  face->normal[1] = normal_[key(P0, P2, P1)];
  face->length[1] = length_[key(P0, P2, P1)];
  face->normal[2] = normal_[key(P1, P2, P0)];
  face->length[2] = length_[key(P1, P2, P0)];
}

namespace {
// A position known when compiling: the keys of the pieces fold into
// constant places.
template <int N>
using Place = std::integral_constant<int, N>;
}  // namespace

// f(Place<pos[0]>, Place<pos[1]>, Place<pos[2]>) for three distinct
// positions.
template <class F>
void TetraBalls::at_places(const int* pos, F&& f) {
  switch (key(pos[0], pos[1], pos[2])) {
    case key(0, 1, 2):
      return f(Place<0>(), Place<1>(), Place<2>());
    case key(0, 1, 3):
      return f(Place<0>(), Place<1>(), Place<3>());
    case key(0, 2, 1):
      return f(Place<0>(), Place<2>(), Place<1>());
    case key(0, 2, 3):
      return f(Place<0>(), Place<2>(), Place<3>());
    case key(0, 3, 1):
      return f(Place<0>(), Place<3>(), Place<1>());
    case key(0, 3, 2):
      return f(Place<0>(), Place<3>(), Place<2>());
    case key(1, 0, 2):
      return f(Place<1>(), Place<0>(), Place<2>());
    case key(1, 0, 3):
      return f(Place<1>(), Place<0>(), Place<3>());
    case key(1, 2, 0):
      return f(Place<1>(), Place<2>(), Place<0>());
    case key(1, 2, 3):
      return f(Place<1>(), Place<2>(), Place<3>());
    case key(1, 3, 0):
      return f(Place<1>(), Place<3>(), Place<0>());
    case key(1, 3, 2):
      return f(Place<1>(), Place<3>(), Place<2>());
    case key(2, 0, 1):
      return f(Place<2>(), Place<0>(), Place<1>());
    case key(2, 0, 3):
      return f(Place<2>(), Place<0>(), Place<3>());
    case key(2, 1, 0):
      return f(Place<2>(), Place<1>(), Place<0>());
    case key(2, 1, 3):
      return f(Place<2>(), Place<1>(), Place<3>());
    case key(2, 3, 0):
      return f(Place<2>(), Place<3>(), Place<0>());
    case key(2, 3, 1):
      return f(Place<2>(), Place<3>(), Place<1>());
    case key(3, 0, 1):
      return f(Place<3>(), Place<0>(), Place<1>());
    case key(3, 0, 2):
      return f(Place<3>(), Place<0>(), Place<2>());
    case key(3, 1, 0):
      return f(Place<3>(), Place<1>(), Place<0>());
    case key(3, 1, 2):
      return f(Place<3>(), Place<1>(), Place<2>());
    case key(3, 2, 0):
      return f(Place<3>(), Place<2>(), Place<0>());
    case key(3, 2, 1):
      return f(Place<3>(), Place<2>(), Place<1>());
    default:
      return;
  }
}

void TetraBalls::lend_face(int k, const int* pos, const Face& face) {
  at_places(pos, [&](auto p0, auto p1, auto p2) {
    lend_at<decltype(p0)::value, decltype(p1)::value, decltype(p2)::value>(
        face, std::make_index_sequence<6>());
  });
  lent_[k] = true;
}

void TetraBalls::keep_face(const int* pos, Face* face) const {
  at_places(pos, [&](auto p0, auto p1, auto p2) {
    keep_at<decltype(p0)::value, decltype(p1)::value, decltype(p2)::value>(
        face, std::make_index_sequence<6>());
  });
}

// Edge (x, y) of the face with third vertex z, both ways.
template <int X, int Y, int Z>
void TetraBalls::make_edge_normal() {
  constexpr int k = key(X, Y, Z), back = key(Y, X, Z);
  normal_[k] = edge_normal(ball_[X].c, ball_[Y].c, ball_[Z].c);
  length_[k] = norm(normal_[k]);
  normal_[back] = V3{-normal_[k].x, -normal_[k].y, -normal_[k].z};
  length_[back] = length_[k];
}

template <int X, int Y, int Z>
void TetraBalls::make_face_plane() {
  constexpr int k = key(X, Y, Z);
  const PowerPlane plane =
      power_plane_of(ball_[X].c, edge_[X][Y], edge_[X][Z], lift_[X][Y], lift_[X][Z]);
  dual_[k] = triangle_dual_of(plane, ball_[X]);
  if (volumes_)
    segment_height_[k] = segment_height_of(centre2(X, Y), plane.centre, rho(X, Y), ball_[Z].c);
  have_patch_[k] = false;
}

template <int X, int Y, int Z>
void TetraBalls::make_face_turns() {
  constexpr int k = key(X, Y, Z);
  const V3 ahead = edge_normal(ball_[X].c, ball_[Y].c, dual_[k]);
  const V3 behind = edge_normal(ball_[X].c, ball_[Y].c, dual_[key(X, Z, Y)]);
  const double plus = cosine_between(normal_[k], length_[k], ahead, norm(ahead));
  const double minus = cosine_between(normal_[k], length_[k], behind, norm(behind));
  plus_[k] = turn_of(plus);
  minus_[k] = turn_of(minus);
  corner_[k] = dihedral(ball_[X].c, dual_[k], ball_[Y].c, ball_[Z].c);
}

// The edges' planes, then the orders of kFaceOrders: every dual before the
// turns that read two of them.
template <int A, int B, int C>
void TetraBalls::make_face() {
  make_edge_normal<A, B, C>();
  make_edge_normal<A, C, B>();
  make_edge_normal<B, C, A>();
  make_face_plane<A, B, C>();
  make_face_plane<A, C, B>();
  make_face_plane<B, A, C>();
  make_face_plane<B, C, A>();
  make_face_plane<C, A, B>();
  make_face_plane<C, B, A>();
  make_face_turns<A, B, C>();
  make_face_turns<A, C, B>();
  make_face_turns<B, A, C>();
  make_face_turns<B, C, A>();
  make_face_turns<C, A, B>();
  make_face_turns<C, B, A>();
}

void TetraBalls::complete() {
  // Face k leaves out position 3 - k.
  if (!lent_[0]) make_face<0, 1, 2>();
  if (!lent_[1]) make_face<0, 1, 3>();
  if (!lent_[2]) make_face<0, 2, 3>();
  if (!lent_[3]) make_face<1, 2, 3>();
  // The wedge at each edge, between the planes towards the other two.
  for (int a = 0; a < 4; ++a)
    for (int b = a + 1; b < 4; ++b) {
      int c = 0;
      while (c == a || c == b) ++c;
      const int d = 6 - a - b - c;
      const int kc = key(a, b, c), kd = key(a, b, d);
      wedge_[kTetraEdgeOf[a][b]] = turn_between(normal_[kc], length_[kc], normal_[kd], length_[kd]);
    }
}

double TetraBalls::patch_area(int a, int b, int c) {
  const int k = key(a, b, c);
  if (!have_patch_[k]) {
    const V3& X = dual_[k];
    patch_[k] = patch_area_of(corner_[k], dihedral(X, ball_[b].c, ball_[a].c, ball_[c].c),
                              dihedral(X, ball_[c].c, ball_[b].c, ball_[a].c), probe_);
    have_patch_[k] = true;
  }
  return patch_[k];
}

double TetraBalls::cap2_area(int a, int b, int c) {
  return cap2_area_of(ball_[a].R, corner_[key(a, b, c)], corner_[key(a, c, b)], height(a, b),
                      height(a, c), segment_angle(a, b, c), segment_angle(a, c, b));
}

// The chord of (a, b, c) is that of (a, c, b): its ends swap, which negates
// their difference exactly and leaves its length the same to the last bit.
double TetraBalls::cap2_volume(int a, int b, int c, double area) {
  const double chord = norm(sub(dual_[key(a, b, c)], dual_[key(a, c, b)]));
  return cap2_volume_of(ball_[a].R, height(a, b), height(a, c), area,
                        segment_area(a, b, c, chord), segment_area(a, c, b, chord));
}

template <class A, class B, class X, class Y, class Turned>
void TetraBalls::cap3_of(A a, B b, X x, Y y, Turned turned, double* area, double* volume) {
  const double R = ball_[a].R;
  *area = cap3_area_of(R, corner_[key(a, x, b)], corner_[key(a, y, x)], corner_[key(a, b, y)],
                       height(a, b), height(a, x), height(a, y), segment2_angle(a, b, x, y),
                       segment2_angle(a, x, y, b), segment2_angle(a, y, b, x));
  if (volume == nullptr) return;
  // segment2_area of (a, b, c, d), (a, c, b, d), (a, d, b, c), each with its
  // last two in the order that makes nccw false: of (a, b, x, y), and for x
  // and y (c and d, or d and c) those of (a, x, b, y) and (a, y, b, x).
  // When the last two of these are (a, x, y, b) and (a, y, b, x), as one
  // certain orientation makes them, their power centres are those of the
  // cyclic orders of (a, b, x, y), solved together.
  const bool x_turned = nccw(a, x, b, y), y_turned = nccw(a, y, b, x);
  double sb, sx, sy;
  if (x_turned && !y_turned) {
    V3 m[3];
    power_centres_of(ball_[a].c, edge_[a][b], edge_[a][x], edge_[a][y], lift_[a][b],
                     lift_[a][x], lift_[a][y], m);
    sb = segment2_area(a, b, x, y, m[0]);
    sx = segment2_area(a, x, y, b, m[1]);
    sy = segment2_area(a, y, b, x, m[2]);
  } else {
    sb = segment2_area(a, b, x, y);
    sx = x_turned ? segment2_area(a, x, y, b) : segment2_area(a, x, b, y);
    sy = y_turned ? segment2_area(a, y, x, b) : segment2_area(a, y, b, x);
  }
  // c and d are y and x when turned.
  *volume = turned ? cap3_volume_of(R, height(a, b), height(a, y), height(a, x), *area, sb, sy, sx)
                   : cap3_volume_of(R, height(a, b), height(a, x), height(a, y), *area, sb, sx, sy);
}

// cap3(A, B, C, D) with its places as constants.
template <int A, int B, int C, int D>
void TetraBalls::cap3_at(double* area, double* volume) {
  if (nccw(A, B, C, D))
    cap3_of(Place<A>(), Place<B>(), Place<D>(), Place<C>(), std::true_type(), area, volume);
  else
    cap3_of(Place<A>(), Place<B>(), Place<C>(), Place<D>(), std::false_type(), area, volume);
}

void TetraBalls::cap3(int a, int b, int c, int d, double* area, double* volume) {
  const bool turned = nccw(a, b, c, d);
  cap3_of(a, b, turned ? d : c, turned ? c : d, turned, area, volume);
}

void TetraBalls::caps(double* area, double* volume) {
  cap3_at<0, 1, 2, 3>(&area[0], volume == nullptr ? nullptr : &volume[0]);
  cap3_at<1, 0, 2, 3>(&area[1], volume == nullptr ? nullptr : &volume[1]);
  cap3_at<2, 0, 1, 3>(&area[2], volume == nullptr ? nullptr : &volume[2]);
  cap3_at<3, 0, 1, 2>(&area[3], volume == nullptr ? nullptr : &volume[3]);
}
