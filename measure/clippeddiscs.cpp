// Each disc is cut by lines: the triangle's sides, and the power lines that
// part it from the other discs (on its rim, the points outside another disc
// are those on its own side of their power line).  The lines leave a set of
// arcs of the rim: the complement of the arcs each of them cuts away.  The
// disc's area inside follows from Green's theorem over those arcs and the
// chords of the lines.
#include "measure/clippeddiscs.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

const double kPi = 3.14159265358979323846;
const double kTurn = 2 * kPi;

double dot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void cross(const double* a, const double* b, double* out) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

void minus(const double* a, const double* b, double* out) {
  for (int k = 0; k < 3; ++k) out[k] = a[k] - b[k];
}

// Scales a to unit length; false for the zero vector.
bool normalise(double* a) {
  const double n = std::sqrt(dot(a, a));
  if (!(n > 0.0)) return false;
  for (int k = 0; k < 3; ++k) a[k] /= n;
  return true;
}

// Two unit vectors u, v with (u, v, w) right-handed, for a unit w.
void plane_frame(const double* w, double* u, double* v) {
  int k = 0;
  for (int m = 1; m < 3; ++m)
    if (std::fabs(w[m]) < std::fabs(w[k])) k = m;
  double e[3] = {0.0, 0.0, 0.0};
  e[k] = 1.0;
  cross(w, e, u);
  normalise(u);
  cross(w, u, v);
}

// Lines met by one disc: the three sides and the power lines of the two
// other discs.
const int kMost = 5;

// The points x with n.x <= e (n a unit vector).
struct HalfSpace {
  double n[3];
  double e;
};

struct Region {
  HalfSpace h[kMost];
  int n = 0;
  void add(const HalfSpace& x) { h[n++] = x; }
};

// The side of the plane through p normal to `normal` that holds `inner`.
HalfSpace side_of_plane(const double* p, const double* normal, const double* inner) {
  HalfSpace h{{normal[0], normal[1], normal[2]}, 0.0};
  normalise(h.n);
  double q[3];
  minus(inner, p, q);
  if (dot(h.n, q) > 0.0)
    for (double& x : h.n) x = -x;
  h.e = dot(h.n, p);
  return h;
}

// The points whose power to the ball (a, ra) is at most their power to the
// ball (b, rb).
HalfSpace power_side(const double* a, double ra, const double* b, double rb) {
  // |x-a|^2 - ra^2 <= |x-b|^2 - rb^2  <=>  2 (b-a).x <= |b|^2 - |a|^2 - rb^2 + ra^2.
  double n[3];
  minus(b, a, n);
  const double len = std::sqrt(dot(n, n));
  // Concentric balls: the smaller lies wholly on the larger one's side.
  if (!(len > 0.0)) return HalfSpace{{0.0, 0.0, 0.0}, ra >= rb ? 1e300 : -1e300};
  HalfSpace h{{n[0] / len, n[1] / len, n[2] / len},
              (dot(b, b) - dot(a, a) - rb * rb + ra * ra) / (2 * len)};
  return h;
}

// A constraint a.y <= b in the plane of a circle about the origin, a a unit
// vector, whose line crosses the circle.
struct Line {
  double a[2];
  double b;
};

// A circle of radius r about `centre` in the plane spanned by u, v.
struct Circle {
  double centre[3], u[3], v[3];
  double r;
};

// The constraints of a region on the circle's plane whose line crosses its
// disc; false when the region misses the disc.
bool lines_on(const Circle& k, const Region& region, Line* out, int& count) {
  count = 0;
  for (int g = 0; g < region.n; ++g) {
    const HalfSpace& h = region.h[g];
    double a0 = dot(h.n, k.u), a1 = dot(h.n, k.v);
    double b = h.e - dot(h.n, k.centre);
    const double len = std::sqrt(a0 * a0 + a1 * a1);
    if (len == 0.0) {
      if (b < 0.0) return false;
      continue;
    }
    a0 /= len;
    a1 /= len;
    b /= len;
    if (b <= -k.r) return false;
    if (b >= k.r) continue;
    // The same line twice would count its chord twice.
    bool again = false;
    for (int m = 0; m < count; ++m)
      again =
          again || (std::fabs(out[m].a[0] - a0) <= 1e-12 && std::fabs(out[m].a[1] - a1) <= 1e-12 &&
                    std::fabs(out[m].b - b) <= 1e-12 * k.r);
    if (!again) out[count++] = Line{{a0, a1}, b};
  }
  return true;
}

// An arc of a circle from the direction `from` counterclockwise to `to`
// (unit vectors in the circle's frame), `sweep` radians.
struct Arc {
  double from[2], to[2];
  double sweep;
};

// Position of the unit vector v counterclockwise from the unit vector o, as
// a number in [0, 4) that grows with the angle (one quarter turn per unit).
double pseudo_angle(const double* o, const double* v) {
  const double x = o[0] * v[0] + o[1] * v[1], y = o[0] * v[1] - o[1] * v[0];
  return y >= 0.0 ? 1.0 - x : 3.0 + x;
}

// The arcs of the circle of radius r on which every line's constraint
// holds: the gaps between the arcs that the lines cut away, each of those
// within half = acos(b / r) of the direction of the line's normal.
int arcs_inside(double r, const Line* lines, int n, Arc* out) {
  if (n == 0) {
    out[0] = Arc{{1.0, 0.0}, {1.0, 0.0}, kTurn};
    return 1;
  }
  double from[kMost][2], to[kMost][2], start[kMost], end[kMost];
  int order[kMost];
  for (int k = 0; k < n; ++k) {
    const Line& l = lines[k];
    const double c = l.b / r, s = std::sqrt(std::max(0.0, 1.0 - c * c));
    // a rotated by -half and by +half.
    from[k][0] = c * l.a[0] + s * l.a[1];
    from[k][1] = c * l.a[1] - s * l.a[0];
    to[k][0] = c * l.a[0] - s * l.a[1];
    to[k][1] = c * l.a[1] + s * l.a[0];
  }
  // Positions from the start of the first arc cut away; one that runs past
  // a whole turn covers the first positions again.
  for (int k = 0; k < n; ++k) {
    start[k] = k == 0 ? 0.0 : pseudo_angle(from[0], from[k]);
    end[k] = pseudo_angle(from[0], to[k]);
    if (end[k] <= start[k]) end[k] += 4.0;
    order[k] = k;
  }
  for (int i = 1; i < n; ++i)
    for (int j = i; j > 0 && start[order[j]] < start[order[j - 1]]; --j)
      std::swap(order[j], order[j - 1]);
  // Sweeping the arcs by their start, a gap runs from the farthest end so
  // far to the next start; the last one back to the first start.
  int count = 0;
  auto gap = [&](const double* p, const double* q) {
    double sweep = std::atan2(p[0] * q[1] - p[1] * q[0], p[0] * q[0] + p[1] * q[1]);
    if (sweep <= 0.0) sweep += kTurn;
    out[count++] = Arc{{p[0], p[1]}, {q[0], q[1]}, sweep};
  };
  double reach = 0.0;
  const double* at = from[0];
  for (int k = 0; k < n; ++k) {
    if (end[k] - 4.0 > reach) {
      reach = end[k] - 4.0;
      at = to[k];
    }
  }
  for (int i = 0; i < n; ++i) {
    const int k = order[i];
    if (start[k] > reach) gap(at, from[k]);
    if (end[k] > reach) {
      reach = end[k];
      at = to[k];
    }
  }
  if (reach < 4.0) gap(at, from[0]);
  return count;
}

// Length of the chord of line k inside the disc of radius r and inside every
// other line's constraint.
double chord_inside(double r, const Line* lines, int n, int k) {
  const Line& l = lines[k];
  const double half = std::sqrt(std::max(0.0, r * r - l.b * l.b));
  double lo = -half, hi = half;
  const double t[2] = {-l.a[1], l.a[0]};
  for (int j = 0; j < n && lo < hi; ++j) {
    if (j == k) continue;
    const Line& m = lines[j];
    const double p = m.a[0] * t[0] + m.a[1] * t[1];
    const double q = m.b - l.b * (m.a[0] * l.a[0] + m.a[1] * l.a[1]);
    if (p > 0.0)
      hi = std::min(hi, q / p);
    else if (p < 0.0)
      lo = std::max(lo, q / p);
    else if (q < 0.0)
      hi = lo;
  }
  return std::max(0.0, hi - lo);
}

// Area of the disc inside the lines (Green's theorem about its centre: the
// arcs give r^2/2 per radian, a chord half its length times its distance).
double disc_area(double r, const Line* lines, int n, const Arc* arcs, int count) {
  double twice = 0.0;
  for (int k = 0; k < count; ++k) twice += r * r * arcs[k].sweep;
  for (int k = 0; k < n; ++k) twice += lines[k].b * chord_inside(r, lines, n, k);
  return twice / 2;
}

double sweep_of(const Arc* arcs, int count) {
  double s = 0.0;
  for (int k = 0; k < count; ++k) s += arcs[k].sweep;
  return s;
}

// The circle of radius r about `centre` in the plane normal to the unit w.
Circle circle_of(const double* centre, const double* w, double r) {
  Circle k;
  for (int m = 0; m < 3; ++m) k.centre[m] = centre[m];
  plane_frame(w, k.u, k.v);
  k.r = r;
  return k;
}

bool inside(const double* x, const Region& region) {
  for (int k = 0; k < region.n; ++k)
    if (dot(region.h[k].n, x) > region.h[k].e) return false;
  return true;
}

bool outside_ball(const double* x, const double* c, double r) {
  if (!(r > 0.0)) return true;
  double d[3];
  minus(x, c, d);
  return !(dot(d, d) < r * r);
}

}  // namespace

// The largest power among the balls is lowest at the power centre of the
// balls it is equal for, in the affine hull of their centres; so the balls
// meet exactly when, for some subset, that point has power <= 0 to all.
bool balls_meet(const double (*c)[3], const double* r, int n) {
  for (int set = 1; set < (1 << n); ++set) {
    int member[4], m = 0;
    for (int k = 0; k < n; ++k)
      if (set & (1 << k)) member[m++] = k;
    // z = c0 + sum l_k e_k with 2 z.e_k equal powers: a Gram system in l.
    const double* c0 = c[member[0]];
    double e[3][3], g[3][4];
    const int q = m - 1;
    for (int k = 0; k < q; ++k) {
      minus(c[member[k + 1]], c0, e[k]);
      const double rk = r[member[k + 1]], r0 = r[member[0]];
      g[k][q] = (dot(e[k], e[k]) - rk * rk + r0 * r0) / 2;
    }
    for (int i = 0; i < q; ++i)
      for (int j = 0; j < q; ++j) g[i][j] = dot(e[i], e[j]);
    // Gauss-Jordan elimination with partial pivoting.
    bool solved = true;
    for (int col = 0; col < q && solved; ++col) {
      int pivot = col;
      for (int i = col + 1; i < q; ++i)
        if (std::fabs(g[i][col]) > std::fabs(g[pivot][col])) pivot = i;
      if (!(std::fabs(g[pivot][col]) > 0.0)) {
        solved = false;
        break;
      }
      for (int j = 0; j <= q; ++j) std::swap(g[col][j], g[pivot][j]);
      for (int i = 0; i < q; ++i) {
        if (i == col) continue;
        const double f = g[i][col] / g[col][col];
        for (int j = col; j <= q; ++j) g[i][j] -= f * g[col][j];
      }
    }
    if (!solved) continue;
    double z[3] = {c0[0], c0[1], c0[2]};
    for (int k = 0; k < q; ++k) {
      const double l = g[k][q] / g[k][k];
      for (int d = 0; d < 3; ++d) z[d] += l * e[k][d];
    }
    bool inside_all = true;
    for (int k = 0; k < n && inside_all; ++k) {
      double w[3];
      minus(z, c[k], w);
      inside_all = dot(w, w) <= r[k] * r[k];
    }
    if (inside_all) return true;
  }
  return false;
}

ClippedTriangle clipped_triangle(const double c[3][3], const double r[3]) {
  ClippedTriangle out;
  double e1[3], e2[3], w[3];
  minus(c[1], c[0], e1);
  minus(c[2], c[0], e2);
  cross(e1, e2, w);
  const double area = std::sqrt(dot(w, w)) / 2;
  if (!normalise(w)) return out;
  // Sides (01), (02), (12), each with the third vertex: the triangle lies on
  // the third vertex's side of each.
  const int side[3][3] = {{0, 1, 2}, {0, 2, 1}, {1, 2, 0}};
  Region sides;
  for (const auto& s : side) {
    double along[3], normal[3];
    minus(c[s[1]], c[s[0]], along);
    cross(w, along, normal);
    sides.add(side_of_plane(c[s[0]], normal, c[s[2]]));
  }
  out.empty = area;
  Line lines[kMost];
  Arc arcs[kMost];
  for (int x = 0; x < 3; ++x) {
    if (!(r[x] > 0.0)) continue;
    Region region = sides;
    for (int y = 0; y < 3; ++y)
      if (y != x && r[y] > 0.0) region.add(power_side(c[x], r[x], c[y], r[y]));
    const Circle k = circle_of(c[x], w, r[x]);
    int count = 0;
    if (!lines_on(k, region, lines, count)) continue;
    const int arcs_n = arcs_inside(k.r, lines, count, arcs);
    out.empty -= disc_area(k.r, lines, count, arcs, arcs_n);
    out.rim[x] = k.r * sweep_of(arcs, arcs_n);
  }
  // What rounding leaves of a covered triangle is no area.
  out.empty = std::max(0.0, out.empty);
  // Where two rims cross on the triangle's side of their side.
  for (int k = 0; k < 3; ++k) {
    const int a = side[k][0], b = side[k][1], o = side[k][2];
    if (!(r[a] > 0.0 && r[b] > 0.0)) continue;
    double ab[3], across[3], q[3], p[3];
    minus(c[b], c[a], ab);
    const double d2 = dot(ab, ab);
    const double t = (d2 + r[a] * r[a] - r[b] * r[b]) / (2 * d2);
    const double h = r[a] * r[a] - t * t * d2;
    if (!(h > 0.0)) continue;
    cross(w, ab, across);
    normalise(across);
    minus(c[o], c[a], q);
    const double s = dot(q, across) >= 0.0 ? std::sqrt(h) : -std::sqrt(h);
    for (int m = 0; m < 3; ++m) p[m] = c[a][m] + t * ab[m] + s * across[m];
    out.corner[k] = inside(p, sides) && outside_ball(p, c[o], r[o]);
  }
  return out;
}
