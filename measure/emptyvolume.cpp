// A ball B of centre c and radius R inside a convex polytope P: the
// polytope is the signed sum of the pyramids from c over its faces, and each
// face the signed sum of the triangles (o, p, q) from the foot o of c on its
// plane over its sides (p, q); with the orientation seen from c both signs
// reduce to that of the triangle.  The cone from c over a region D of a
// plane at distance h holds the volume
//   integral over D of (h / 3) * min(1, R^3 / L^3),  L = |x - c|,
// that is (h / 3) * area(D in disc) + (R^3 / 3) * (solid(D) - solid(D in
// disc)), the disc being the ball's section about o, and the sphere's area
// R^2 * (solid(D) - solid(D in disc)).  A side is split where it crosses the
// disc's rim: a piece inside adds its triangle's area, a piece outside its
// triangle's solid angle and a term of the disc sector it spans.
#include "measure/emptyvolume.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

struct Vec {
  double x, y, z;
};

Vec operator+(const Vec& a, const Vec& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator-(const Vec& a, const Vec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(double s, const Vec& a) { return {s * a.x, s * a.y, s * a.z}; }
double dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec cross(const Vec& a, const Vec& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double norm(const Vec& a) { return std::sqrt(dot(a, a)); }

// The points x with n.x <= e, n a unit vector.
struct Plane {
  Vec n;
  double e;
};

// A face: its plane (n pointing out of the polytope) and its corners,
// counterclockwise about n.
struct Face {
  Plane plane;
  std::vector<Vec> corners;
};

// Convex polytope as its list of faces; empty when nothing is left.
class Polytope {
 public:
  explicit Polytope(const Vec v[4]) {
    const int opposite[4][3] = {{1, 2, 3}, {0, 2, 3}, {0, 1, 3}, {0, 1, 2}};
    for (int k = 0; k < 4; ++k) {
      Vec a = v[opposite[k][0]], b = v[opposite[k][1]], c = v[opposite[k][2]];
      Vec n = cross(b - a, c - a);
      if (dot(n, v[k] - a) > 0.0) {
        std::swap(b, c);
        n = -1.0 * n;
      }
      const double len = norm(n);
      n = (1.0 / len) * n;
      faces_.push_back(Face{Plane{n, dot(n, a)}, {a, b, c}});
    }
  }

  const std::vector<Face>& faces() const { return faces_; }

  // Keeps the part on the plane's inner side; false when nothing is left.
  // Corners within `slack` of the plane count as inside: a plane met again
  // (a copy of a ball, a plane through an edge already cut) must not cut the
  // rounded corners of its first cut and add its face twice.
  bool clip(const Plane& h, double slack) {
    bool out = false, in = false;
    for (const Face& f : faces_)
      for (const Vec& p : f.corners) (dot(h.n, p) - h.e > slack ? out : in) = true;
    if (!out) return true;
    if (!in) {
      faces_.clear();
      return false;
    }
    std::vector<Vec> cap;
    std::vector<Face> kept;
    kept.reserve(faces_.size() + 1);
    for (const Face& f : faces_) {
      std::vector<Vec> poly;
      const size_t m = f.corners.size();
      for (size_t k = 0; k < m; ++k) {
        const Vec& p = f.corners[k];
        const Vec& q = f.corners[(k + 1) % m];
        const double dp = dot(h.n, p) - h.e, dq = dot(h.n, q) - h.e;
        const bool pin = dp <= slack, qin = dq <= slack;
        if (pin) poly.push_back(p);
        if (pin != qin) {
          // From the inner corner, so that both faces of the side get the
          // same point.
          const Vec& a = pin ? p : q;
          const Vec& b = pin ? q : p;
          const double da = pin ? dp : dq, db = pin ? dq : dp;
          const Vec x = a + (da / (da - db)) * (b - a);
          poly.push_back(x);
          cap.push_back(x);
        }
      }
      if (poly.size() >= 3) kept.push_back(Face{f.plane, poly});
    }
    faces_.swap(kept);
    if (cap.size() >= 3) faces_.push_back(Face{h, counterclockwise(cap, h.n)});
    return true;
  }

 private:
  // The corners of a convex polygon in the plane normal to n, in order
  // about n, each once.
  static std::vector<Vec> counterclockwise(std::vector<Vec> pts, const Vec& n) {
    Vec g{0.0, 0.0, 0.0};
    for (const Vec& p : pts) g = g + p;
    g = (1.0 / pts.size()) * g;
    Vec u = std::fabs(n.x) < 0.6 ? Vec{1.0, 0.0, 0.0} : Vec{0.0, 1.0, 0.0};
    u = u - dot(u, n) * n;
    u = (1.0 / norm(u)) * u;
    const Vec w = cross(n, u);
    std::vector<std::pair<double, size_t>> order(pts.size());
    for (size_t k = 0; k < pts.size(); ++k) {
      const Vec d = pts[k] - g;
      order[k] = {std::atan2(dot(d, w), dot(d, u)), k};
    }
    std::sort(order.begin(), order.end());
    std::vector<Vec> out;
    for (const auto& o : order) {
      const Vec& p = pts[o.second];
      if (!out.empty() && p.x == out.back().x && p.y == out.back().y && p.z == out.back().z)
        continue;
      out.push_back(p);
    }
    while (out.size() > 1 && out.back().x == out.front().x && out.back().y == out.front().y &&
           out.back().z == out.front().z)
      out.pop_back();
    return out;
  }

  std::vector<Face> faces_;
};

// Signed solid angle of the triangle (a, b, q) seen from c: positive when it
// turns counterclockwise seen from c.
double solid_angle(const Vec& c, const Vec& a, const Vec& b, const Vec& q) {
  const Vec x = a - c, y = b - c, z = q - c;
  const double lx = norm(x), ly = norm(y), lz = norm(z);
  const double num = dot(x, cross(y, z));
  const double den = lx * ly * lz + dot(x, y) * lz + dot(x, z) * ly + dot(y, z) * lx;
  return 2.0 * std::atan2(num, den);
}

// The ball's part in the cone from c over the triangle (o, p, q), o the foot
// of c on the plane at distance h, m the unit normal from c to the plane,
// signed by the triangle's turn about m: its volume and its sphere's area.
struct Section {
  Vec c, o, m;
  double h, R, disc2;
  // Per radian of the disc's sector: the sector adds (h/3) of its area and
  // takes away R^3/3 of its solid angle (1 - h/R per radian) from the
  // volume, and R^2 of that solid angle from the sphere's area.
  double sector_volume, sector_area;
};

struct Part {
  double volume = 0.0, area = 0.0;
  void add(const Part& o) {
    volume += o.volume;
    area += o.area;
  }
};

Part inside_piece(const Section& s, const Vec& x, const Vec& y) {
  Part out;
  out.volume = s.h / 6.0 * dot(s.m, cross(x - s.o, y - s.o));
  return out;
}

Part outside_piece(const Section& s, const Vec& x, const Vec& y) {
  const double solid = solid_angle(s.c, s.o, x, y);
  Part out;
  out.volume = s.R * s.R * s.R / 3.0 * solid;
  out.area = s.R * s.R * solid;
  if (s.disc2 > 0.0) {
    const Vec a = x - s.o, b = y - s.o;
    const double turn = std::atan2(dot(s.m, cross(a, b)), dot(a, b));
    out.volume += s.sector_volume * turn;
    out.area -= s.sector_area * turn;
  }
  return out;
}

Part side_part(const Section& s, const Vec& p, const Vec& q) {
  if (s.disc2 > 0.0) {
    // Where p + t (q - p) meets the rim: |f + t d|^2 = disc2.
    const Vec d = q - p, f = p - s.o;
    const double a = dot(d, d), b = dot(f, d), k = dot(f, f) - s.disc2;
    const double disc = b * b - a * k;
    if (a > 0.0 && disc > 0.0) {
      const double root = std::sqrt(disc);
      const double lo = std::min(1.0, std::max(0.0, (-b - root) / a));
      const double hi = std::min(1.0, std::max(0.0, (-b + root) / a));
      if (lo < hi) {
        const Vec x = p + lo * d, y = p + hi * d;
        Part v = inside_piece(s, x, y);
        if (lo > 0.0) v.add(outside_piece(s, p, x));
        if (hi < 1.0) v.add(outside_piece(s, y, q));
        return v;
      }
    }
  }
  return outside_piece(s, p, q);
}

Part ball_in_polytope(const Polytope& poly, const Vec& c, double R) {
  Part total;
  for (const Face& f : poly.faces()) {
    const double dist = f.plane.e - dot(f.plane.n, c);
    const double h = std::fabs(dist);
    // A plane through the centre gives flat cones.
    if (!(h > 1e-12 * R)) continue;
    Section s;
    s.c = c;
    s.m = dist > 0.0 ? f.plane.n : -1.0 * f.plane.n;
    s.o = c + dist * f.plane.n;
    s.h = h;
    s.R = R;
    s.disc2 = h < R ? R * R - h * h : 0.0;
    s.sector_volume = h * R * R / 2.0 - h * h * h / 6.0 - R * R * R / 3.0;
    s.sector_area = R * (R - h);
    const size_t m = f.corners.size();
    for (size_t k = 0; k < m; ++k) total.add(side_part(s, f.corners[k], f.corners[(k + 1) % m]));
  }
  return total;
}

}  // namespace

EmptyPart tetrahedron_empty_part(const double v[4][3], const double* c, const double* r, int n) {
  // About the tetrahedron's centroid, to keep the roundings small.
  const Vec g{(v[0][0] + v[1][0] + v[2][0] + v[3][0]) / 4.0,
              (v[0][1] + v[1][1] + v[2][1] + v[3][1]) / 4.0,
              (v[0][2] + v[1][2] + v[2][2] + v[3][2]) / 4.0};
  Vec corner[4];
  double size = 0.0;
  for (int k = 0; k < 4; ++k) {
    corner[k] = Vec{v[k][0], v[k][1], v[k][2]} - g;
    size = std::max(size, norm(corner[k]));
  }
  const double slack = 1e-10 * size;
  const double volume =
      std::fabs(dot(corner[1] - corner[0], cross(corner[2] - corner[0], corner[3] - corner[0]))) /
      6.0;
  EmptyPart out;
  if (!(volume > 0.0)) return out;
  const Polytope tetrahedron(corner);
  // The balls that are not wholly beyond one of its faces.
  std::vector<int> near;
  for (int i = 0; i < n; ++i) {
    if (!(r[i] > 0.0)) continue;
    const Vec ci = Vec{c[3 * i], c[3 * i + 1], c[3 * i + 2]} - g;
    bool beyond = false;
    for (const Face& f : tetrahedron.faces())
      beyond = beyond || dot(f.plane.n, ci) - f.plane.e >= r[i];
    if (!beyond) near.push_back(i);
  }
  double covered = 0.0, surface = 0.0;
  for (int i : near) {
    const Vec ci = Vec{c[3 * i], c[3 * i + 1], c[3 * i + 2]} - g;
    Polytope cell = tetrahedron;
    bool left = true;
    for (int j : near) {
      if (j == i) continue;
      const Vec cj = Vec{c[3 * j], c[3 * j + 1], c[3 * j + 2]} - g;
      const Vec d = cj - ci;
      const double len = norm(d);
      if (!(len > 0.0)) {
        // Concentric: the smaller ball, or the later of two copies, adds
        // nothing.
        if (r[i] < r[j] || (r[i] == r[j] && j < i)) {
          left = false;
          break;
        }
        continue;
      }
      // Power to ball i at most power to ball j.
      const Plane h{(1.0 / len) * d,
                    (dot(cj, cj) - dot(ci, ci) - r[j] * r[j] + r[i] * r[i]) / (2.0 * len)};
      const double side = h.e - dot(h.n, ci);
      if (side >= r[i]) continue;  // misses ball i
      if (side <= -r[i] || !cell.clip(h, slack)) {
        left = false;  // ball i lies in ball j, or its cell misses the tetrahedron
        break;
      }
    }
    if (!left) continue;
    const Part part = ball_in_polytope(cell, ci, r[i]);
    covered += part.volume;
    surface += part.area;
  }
  out.volume = std::min(volume, std::max(0.0, volume - covered));
  out.area = std::max(0.0, surface);
  return out;
}
