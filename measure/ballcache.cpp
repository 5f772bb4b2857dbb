// The composite ball pieces, written once over the balls of a simplex.  The
// plain functions of ballgeometry.h and probesurface.h evaluate through a
// one-off SimplexBalls, so every piece has one sequence of operations
// wherever it is computed.
#include "measure/ballcache.h"

#include <cmath>
#include <utility>

using namespace ballmath;

// ---- SimplexBalls: loading ---------------------------------------------------

SimplexBalls::SimplexBalls(const Atoms& atoms, double p, std::initializer_list<int> indices)
    : p_(p) {
  const info* v[4];
  int n = 0;
  for (int i : indices)
    if (n < 4) v[n++] = &atoms[i];
  load(v, n);
}

void SimplexBalls::load(const info* const* atoms, int n) {
  n_ = n < 4 ? n : 4;
  for (int k = 0; k < n_; ++k) {
    atom_[k] = atoms[k];
    c_[k] = at(*atoms[k]);
    R_[k] = atoms[k]->radius + p_;
  }
  have_centre2_ = have_height_ = have_wedge_ = 0;
  have_plane_ = have_dual_ = have_edge_plane_ = have_segment_height_ = 0;
  have_plus_ = have_minus_ = have_corner_ = have_cap2_ = have_patch_ = 0;
  for (int k = 0; k < 4; ++k) {
    have_centre4_[k] = have_segment2_[k] = have_cap3_[k] = have_nccw_[k] = nccw_[k] = 0;
  }
}

// ---- centres and predicates -------------------------------------------------

const double* SimplexBalls::make_centre2(int a, int b, int k) {
  centre2_of(c_[a], R_[a], c_[b], R_[b], centre2_[k]);
  set(have_centre2_, k);
  return centre2_[k];
}

const SimplexBalls::Plane& SimplexBalls::make_plane(int a, int b, int c, int k) {
  Plane& e = plane_[k];
  centre3_of(c_[a], R_[a], c_[b], R_[b], c_[c], R_[c], e.centre, &e.normal);
  set(have_plane_, k);
  return e;
}

const double* SimplexBalls::make_centre4(int a, int b, int c, int d, int k) {
  centre4_of(c_[a], R_[a], c_[b], R_[b], c_[c], R_[c], c_[d], R_[d], centre4_[k]);
  set(have_centre4_, k);
  return centre4_[k];
}

// The point where spheres a, b, c meet on the side of the plane's normal.
const double* SimplexBalls::make_dual(int a, int b, int c, int k) {
  double* out = dual_[k];
  const Plane& e = plane(a, b, c);
  const V3 m3 = at(e.centre);
  const V3& n = e.normal;
  V3 v = sub(m3, c_[a]);
  double w = dot(v, n);
  double nn = dot(n, n);
  double Ri = R_[a];
  double t = (root(w * w - dot(v, v) * nn + Ri * Ri * nn) - w) / nn;
  out[0] = m3.x + t * n.x;
  out[1] = m3.y + t * n.y;
  out[2] = m3.z + t * n.z;
  set(have_dual_, k);
  return out;
}

bool SimplexBalls::hidden0(int a, int b) const { return hidden0_of(c_[a], R_[a], c_[b], R_[b]); }

double SimplexBalls::make_height(int a, int b, int k) {
  double d = norm(sub(at(centre2(a, b)), c_[a]));
  double R = R_[a];
  height_[k] = hidden0(a, b) ? R - d : R + d;
  set(have_height_, k);
  return height_[k];
}

// Determinant of the rows (x, y, z, 1) of the four centres is negative.
void SimplexBalls::make_nccw(int a, int b, int c, int d, int k) {
  const V3& ca = c_[a];
  if (-det3(sub(c_[b], ca), sub(c_[c], ca), sub(c_[d], ca)) < 0) set(nccw_, k);
  set(have_nccw_, k);
}

// ---- angles ------------------------------------------------------------------

// The plane of (b, a, c) has the opposite normal, to the last bit: a cross
// product changes sign exactly when its factors swap.
const SimplexBalls::EdgePlane& SimplexBalls::make_edge_plane(int a, int b, int c, int k) {
  EdgePlane& e = edge_plane_[k];
  const int swapped = key3(b, a, c);
  if (has(have_edge_plane_, swapped)) {
    const EdgePlane& o = edge_plane_[swapped];
    e.normal = V3{-o.normal.x, -o.normal.y, -o.normal.z};
    e.length = o.length;
  } else {
    e.normal = cross(sub(c_[c], c_[a]), sub(c_[c], c_[b]));
    e.length = norm(e.normal);
  }
  set(have_edge_plane_, k);
  return e;
}

double SimplexBalls::turn_to(int a, int b, int c, const double* q) {
  const EdgePlane& e = edge_plane(a, b, c);
  const V3 Q = at(q);
  V3 ns = cross(sub(Q, c_[a]), sub(Q, c_[b]));
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
  corner_[k] = dihedral(c_[a], at(dual(a, b, c)), c_[b], c_[c]);
  set(have_corner_, k);
  return corner_[k];
}

// One slot per edge of the four balls: the angle does not depend on the
// order of the ends nor of the other two (the normals change sign together
// and the products commute).
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
  const V3 m2 = at(centre2(a, b));
  const V3 m3 = at(centre3(a, b, c));
  double r = rho(a, b);
  double d = norm(sub(m3, m2));
  const bool hidden1 = dot(sub(m3, m2), sub(c_[c], m2)) > 0;
  segment_height_[k] = hidden1 ? r - d : r + d;
  set(have_segment_height_, k);
  return segment_height_[k];
}

double SimplexBalls::segment_area(int a, int b, int c) {
  const V3 plus = at(dual(a, b, c)), minus = at(dual(a, c, b));
  double r = rho(a, b);
  double chord = norm(sub(plus, minus));
  return segment_angle(a, b, c) * AV_PI * r * r - chord * (r - segment_height(a, b, c)) / 2;
}

double SimplexBalls::make_segment2_angle(int a, int b, int c, int d, int k) {
  segment2_[k] = half_minus(a, b, c) + half_plus(a, b, d) - wedge(a, b, c, d);
  set(have_segment2_, k);
  return segment2_[k];
}

double SimplexBalls::segment2_area(int a, int b, int c, int d) {
  if (nccw(a, b, c, d)) std::swap(c, d);
  const V3 q1 = at(dual(a, c, b)), q2 = at(dual(a, b, d)), m4 = at(centre4(a, b, c, d));
  double r = rho(a, b);
  double sk = segment_height(a, b, c);
  double sl = segment_height(a, b, d);
  return segment2_angle(a, b, c, d) * AV_PI * r * r - (r - sk) * norm(sub(q1, m4)) / 2 -
         (r - sl) * norm(sub(q2, m4)) / 2;
}

// ---- caps and spheres in wedges and solid angles ---------------------------------

double SimplexBalls::make_cap2_area(int a, int b, int c, int k) {
  double A = corner(a, b, c);
  double B = corner(a, c, b);
  double R = R_[a];
  double hij = height(a, b), hik = height(a, c);
  cap2_[k] = AV_TWO_PI * R * R * (1 - A - B) - AV_TWO_PI * R * (R - hij) * segment_angle(a, b, c) -
             AV_TWO_PI * R * (R - hik) * segment_angle(a, c, b);
  set(have_cap2_, k);
  return cap2_[k];
}

double SimplexBalls::cap2_volume(int a, int b, int c) {
  double R = R_[a];
  double hij = height(a, b), hik = height(a, c);
  return (R / 3) * cap2_area(a, b, c) - ((R - hij) / 3) * segment_area(a, b, c) -
         ((R - hik) / 3) * segment_area(a, c, b);
}

double SimplexBalls::make_cap3_area(int a, int b, int c, int d, int k) {
  if (nccw(a, b, c, d)) std::swap(c, d);
  double A = corner(a, c, b);
  double B = corner(a, d, c);
  double C = corner(a, b, d);
  double R = R_[a];
  double hij = height(a, b), hik = height(a, c), hil = height(a, d);
  cap3_[k] = AV_TWO_PI * R * R * (1 - A - B - C) -
             AV_TWO_PI * R *
                 (segment2_angle(a, b, c, d) * (R - hij) + segment2_angle(a, c, d, b) * (R - hik) +
                  segment2_angle(a, d, b, c) * (R - hil));
  set(have_cap3_, k);
  return cap3_[k];
}

double SimplexBalls::cap3_volume(int a, int b, int c, int d) {
  double R = R_[a];
  double hij = height(a, b), hik = height(a, c), hil = height(a, d);
  return (R / 3) * cap3_area(a, b, c, d) - ((R - hij) / 3) * segment2_area(a, b, c, d) -
         ((R - hik) / 3) * segment2_area(a, c, b, d) - ((R - hil) / 3) * segment2_area(a, d, b, c);
}

// ---- probe-surface pieces ----------------------------------------------------------

// The angle at the edge (X, c_a) is the corner angle of (a, b, c) to the
// last bit: its two normals are the corner's, both negated and swapped.
double SimplexBalls::make_patch_area(int a, int b, int c, int k) {
  const V3 X = at(dual(a, b, c));
  double di = corner(a, b, c);
  double dj = dihedral(X, c_[b], c_[a], c_[c]);
  double dk = dihedral(X, c_[c], c_[b], c_[a]);
  patch_[k] = AV_FOUR_PI * p_ * p_ * ((di + dj + dk) / 2 - 0.25);
  set(have_patch_, k);
  return patch_[k];
}

Torus SimplexBalls::torus(int i, int j, int cusp) {
  const double p = p_;
  Torus out;
  if (p < 1e-8) return out;
  const double ri = atom_[i]->radius, rj = atom_[j]->radius;
  const double Ri = ri + p, Rj = rj + p;
  const double h = height(i, j);
  const double rho = root((2 * Ri - h) * h);
  const double ai = root(Ri * Ri - rho * rho), aj = root(Rj * Rj - rho * rho);
  const double D = norm(sub(c_[i], c_[j]));
  const double si = clamp1(rho / Ri), sj = clamp1(rho / Rj);
  const double ki = root(1 - si * si), kj = root(1 - sj * sj);
  const double thi = std::acos(si), thj = std::acos(sj);
  const double wi = p * ki, wj = p * kj;

  double area_i, area_j, vol_i, vol_j;
  // Only defined when the torus intersects itself (rho <= p).
  double f0 = 0, c0 = 0, Q = 0, P = 0;
  if (rho > p) {
    area_i = AV_TWO_PI * p * (rho * thi - wi);
    area_j = AV_TWO_PI * p * (rho * thj - wj);
    vol_i = AV_PI * p * p * (rho * thi - 2 * p * ki / 3);
    vol_j = AV_PI * p * p * (rho * thj - 2 * p * kj / 3);
  } else {
    const double u0 = clamp1(rho / p);
    const double k0 = root(1 - u0 * u0);
    f0 = std::acos(u0);
    c0 = p * k0;
    const double W = p * p * (k0 - k0 * k0 * k0 / 3);
    Q = AV_TWO_PI * p * (c0 - rho * f0);
    P = AV_PI * p * (rho * rho * k0 - p * rho * f0 - p * rho * k0 * u0 + W);
    area_i = AV_TWO_PI * p * (rho * (thi - f0) - (wi - c0));
    area_j = AV_TWO_PI * p * (rho * (thj - f0) - (wj - c0));
    const double ei = si * ri, ej = sj * rj;
    const double W2 = W - p * rho * f0;
    vol_i = AV_PI * wi * (ei * ei + rho * rho + rho * ei) / 3 -
            AV_PI * p *
                (rho * rho * ki - p * rho * thi - p * rho * ki * si +
                 p * p * (ki - ki * ki * ki / 3) - W2);
    vol_j = AV_PI * wj * (ej * ej + rho * rho + rho * ej) / 3 -
            AV_PI * p *
                (rho * rho * kj - p * rho * thj - p * rho * kj * sj +
                 p * p * (kj - kj * kj * kj / 3) - W2);
    if (cusp == 0) {
      area_i += Q;
      area_j += Q;
      vol_i -= P;
      vol_j -= P;
    }
  }

  // Split the torus at the radical plane of the atom spheres.
  const double qi = (D * D + ri * ri - rj * rj) / (2 * D);
  const double qj = (D * D + rj * rj - ri * ri) / (2 * D);
  double g0 = 0, u = 0, k = 0, b = 0, t = 0, v = 0, y = 0, z = 0;
  auto pieces = [&](double gv) {
    g0 = gv;
    u = clamp1(g0 / p);
    k = root(1 - u * u);
    b = std::asin(u);
    t = AV_TWO_PI * p * (rho * b - g0);
    v = AV_PI * p * p * (rho * b - 2 * p * u / 3);
    y = rho - p * k;
    z = AV_PI * p * u * (y * y + rho * rho + rho * y) / 3;
  };
  const bool hid_ij = hidden0(i, j);
  const bool hid_ji = hidden0(j, i);
  if (!hid_ji && hid_ij) {
    pieces(ai - qi);
    out.area_i = area_i - t;
    out.area_j = t - area_j;
    out.volume_i = vol_i - v;
    out.volume_j = v - vol_j;
    out.cone_i = -z;
    out.cone_j = z;
  } else if (!hid_ij && hid_ji) {
    pieces(aj - qj);
    out.area_i = t - area_i;
    out.area_j = area_j - t;
    out.volume_i = v - vol_i;
    out.volume_j = vol_j - v;
    out.cone_i = z;
    out.cone_j = -z;
  } else {
    pieces(std::fabs(ai - qi));
    const double sg = ai < qi ? -1.0 : 1.0;
    if (p < rho) {
      t *= sg;
      v *= sg;
      z *= sg;
      out.area_i = area_i - t;
      out.area_j = area_j + t;
      out.volume_i = vol_i - v;
      out.volume_j = vol_j + v;
      out.cone_i = z;
      out.cone_j = -z;
    } else {
      double vp, Qp;
      if (std::fabs(b) <= std::fabs(f0)) {
        const double y2 = p * k - rho;
        vp = AV_PI * p * u * (rho * y2 + rho * rho + y2 * y2) / 3;
        if (cusp == 0) {
          Qp = AV_TWO_PI * p * (g0 - rho * b);
          vp -= AV_PI * p *
                ((u - u * u * u / 3) * p * p + rho * rho * u - b * p * rho - p * rho * u * k);
        } else {
          Qp = 0;
        }
      } else {
        vp = AV_PI * rho * rho * c0 / 3;
        if (cusp == 0) {
          vp -= P;
          Qp = Q;
        } else {
          Qp = 0;
        }
      }
      vp *= sg;
      Qp *= sg;
      out.area_i = area_i - Qp;
      out.area_j = area_j + Qp;
      out.volume_i = vol_i - vp;
      out.volume_j = vol_j + vp;
      out.cone_i = 0;
      out.cone_j = 0;
    }
  }
  return out;
}

// ---- BallCache ---------------------------------------------------------------------

BallCache::BallCache(const Atoms& atoms, double p)
    : atoms_(atoms), p_(p), position_(atoms.size(), -1), current_(p), other_(p) {}

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

namespace {
void copy3(const double* from, double* to) {
  to[0] = from[0];
  to[1] = from[1];
  to[2] = from[2];
}
}  // namespace

void BallCache::dual(int i, int j, int k, double* out) {
  int x[3];
  SimplexBalls& g = on({i, j, k}, x);
  copy3(g.dual(x[0], x[1], x[2]), out);
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
