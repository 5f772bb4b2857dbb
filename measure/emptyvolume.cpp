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

// A face: its plane (n pointing out of the polytope; held by the
// tetrahedron or by the cut that made the face, for as long as the polytope
// is in use), its corners,
// counterclockwise about n (`count` indices from `first` in the polytope's
// index list), and the ball whose power plane it lies on (-1 for a face of
// the tetrahedron).
struct Face {
  const Plane* plane;
  int ball;
  int first, count;
};

// A list that keeps its room from one use to the next; room() is asked
// for the most a step can add, and put() or writes through data() followed
// by fill() then go without a check.
template <class T>
class Room {
 public:
  Room() = default;
  Room(const Room&) = delete;  // p_ points into v_
  Room& operator=(const Room&) = delete;
  size_t size() const { return n_; }
  bool empty() const { return n_ == 0; }
  void clear() { n_ = 0; }
  void room(size_t m) {
    if (m > cap_) grow(m);
  }
  void put(const T& x) { p_[n_++] = x; }
  // The first m elements are in use (m within the room).
  void fill(size_t m) { n_ = m; }
  T* data() { return p_; }
  const T* data() const { return p_; }
  T& operator[](size_t k) { return p_[k]; }
  const T& operator[](size_t k) const { return p_[k]; }
  const T* begin() const { return p_; }
  const T* end() const { return p_ + n_; }

 private:
  void grow(size_t m) {
    v_.resize(std::max(m, 2 * v_.size()));
    p_ = v_.data();
    cap_ = v_.size();
  }

  std::vector<T> v_;
  T* p_ = nullptr;
  size_t n_ = 0, cap_ = 0;
};

// Convex polytope: its corners, each once, and its faces as lists of corner
// indices; empty when nothing is left.  Its lists keep their room from one
// use to the next.
class Polytope {
 public:
  void tetrahedron(const Vec v[4]) {
    faces_.clear();
    index_.clear();
    corners_.clear();
    faces_.room(4);
    index_.room(12);
    corners_.room(4);
    for (int k = 0; k < 4; ++k) corners_.put(v[k]);
    const int opposite[4][3] = {{1, 2, 3}, {0, 2, 3}, {0, 1, 3}, {0, 1, 2}};
    for (int k = 0; k < 4; ++k) {
      int a = opposite[k][0], b = opposite[k][1], c = opposite[k][2];
      Vec n = cross(v[b] - v[a], v[c] - v[a]);
      if (dot(n, v[k] - v[a]) > 0.0) {
        std::swap(b, c);
        n = -1.0 * n;
      }
      const double len = norm(n);
      n = (1.0 / len) * n;
      planes_[k] = Plane{n, dot(n, v[a])};
      faces_.put(Face{&planes_[k], -1, static_cast<int>(index_.size()), 3});
      index_.put(a);
      index_.put(b);
      index_.put(c);
    }
  }

  size_t size() const { return faces_.size(); }
  const Face& face(size_t k) const { return faces_[k]; }
  const Vec& corner(const Face& f, int k) const {
    return corners_[static_cast<size_t>(index_[static_cast<size_t>(f.first + k)])];
  }
  int corner_index(const Face& f, int k) const { return index_[static_cast<size_t>(f.first + k)]; }
  size_t corner_count() const { return corners_.size(); }
  const Vec& corner_at(size_t k) const { return corners_[k]; }

  // Whether a corner lies more than `slack` beyond the plane; keeps each
  // corner's height over it for a clip() that follows.
  bool beyond(const Plane& h, double slack) {
    const size_t n = corners_.size();
    height_.room(n);
    height_.fill(n);
    const Vec* c = corners_.data();
    double* height = height_.data();
    bool out = false;
    for (size_t k = 0; k < n; ++k) {
      height[k] = dot(h.n, c[k]) - h.e;
      out |= height[k] > slack;
    }
    return out;
  }

  // Keeps into `out` the part on the inner side of the plane last given to
  // beyond(); false when nothing is left.  Corners within `slack` of the
  // plane count as inside: a plane met again (a copy of a ball, a plane
  // through an edge already cut) must not cut the rounded corners of its
  // first cut and add its face twice.
  bool clip(const Plane& h, double slack, int ball, Polytope& out) const {
    const size_t n = corners_.size();
    out.faces_.clear();
    out.index_.clear();
    out.corners_.clear();
    out.cut_.clear();
    out.split_.clear();
    // A face keeps at most its corners and one new corner per side; each
    // side is split once; the new face holds at most two corners per cut
    // side.
    out.faces_.room(faces_.size() + 1);
    out.index_.room(2 * index_.size() + 2 * faces_.size());
    out.corners_.room(n + index_.size());
    out.cut_.room(faces_.size());
    out.split_.room(index_.size());
    renumber_.room(n);
    int* renumber = renumber_.data();
    const double* height = height_.data();
    const Vec* corner = corners_.data();
    Vec* kept_corner = out.corners_.data();
    int kept = 0;
    for (size_t k = 0; k < n; ++k) {
      if (height[k] <= slack) {
        kept_corner[kept] = corner[k];
        renumber[k] = kept++;
      } else {
        renumber[k] = -1;
      }
    }
    if (kept == 0) return false;
    out.corners_.fill(static_cast<size_t>(kept));
    int* index = out.index_.data();
    Face* face = out.faces_.data();
    std::pair<int, int>* cut = out.cut_.data();
    int at = 0, faces = 0, cuts = 0;
    for (const Face& f : faces_) {
      const int start = at;
      const int m = f.count;
      const int* c = index_.data() + f.first;
      int entry = -1, exit = -1;
      int p = c[0], rp = renumber[p];
      for (int k = 0; k < m; ++k) {
        const int q = k + 1 < m ? c[k + 1] : c[0];
        const int rq = renumber[q];
        const bool pin = rp >= 0, qin = rq >= 0;
        if (pin) index[at++] = rp;
        if (pin != qin) {
          const int x = out.split(*this, pin ? p : q, pin ? q : p);
          index[at++] = x;
          (pin ? exit : entry) = x;
        }
        p = q;
        rp = rq;
      }
      const int count = at - start;
      if (count >= 3) {
        face[faces++] = Face{f.plane, f.ball, start, count};
      } else {
        at = start;
      }
      // The new face runs along this one's cut the other way round.
      if (entry >= 0 && exit >= 0) cut[cuts++] = {entry, exit};
    }
    out.index_.fill(static_cast<size_t>(at));
    out.faces_.fill(static_cast<size_t>(faces));
    out.cut_.fill(static_cast<size_t>(cuts));
    if (faces == 0) return false;
    out.close(h, ball);
    return true;
  }

 private:
  struct Split {
    int inner, outer, corner;
  };

  // The corner where the side from the inner corner a to the outer corner b
  // of `from` meets the plane, each side once: computed from the inner
  // corner, so that every face of the side gets the same point.
  int split(const Polytope& from, int a, int b) {
    for (const Split& s : split_)
      if (s.inner == a && s.outer == b) return s.corner;
    const double da = from.height_[static_cast<size_t>(a)],
                 db = from.height_[static_cast<size_t>(b)];
    const Vec& pa = from.corners_[static_cast<size_t>(a)];
    const Vec x = pa + (da / (da - db)) * (from.corners_[static_cast<size_t>(b)] - pa);
    const int k = static_cast<int>(corners_.size());
    corners_.put(x);
    split_.put(Split{a, b, k});
    return k;
  }

  // Adds the face on plane h from the cut sides of the clipped faces: each
  // runs from where its face entered the kept part to where it left, and
  // the next starts where one ends.
  void close(const Plane& h, int ball) {
    const size_t n = cut_.size();
    if (n < 3) return;
    const size_t start = index_.size();
    size_t at = 0;
    for (size_t k = 0; k < n; ++k) {
      index_.put(cut_[at].first);
      const int end = cut_[at].second;
      size_t next = n;
      for (size_t j = 0; j < n; ++j) {
        if (cut_[j].first == end) {
          next = j;
          break;
        }
      }
      if (next == n || (next == 0 && k + 1 < n)) {
        index_.fill(start);
        counterclockwise(h, ball);
        return;
      }
      at = next;
    }
    if (at != 0) {
      index_.fill(start);
      counterclockwise(h, ball);
      return;
    }
    faces_.put(Face{&h, ball, static_cast<int>(start), static_cast<int>(n)});
  }

  // The same face from the cut's corners alone, in order of their angle
  // about h's normal: for cuts that do not chain (a plane that grazes a
  // corner within the slack).
  void counterclockwise(const Plane& h, int ball) {
    std::vector<int> pts;
    for (const auto& c : cut_)
      for (int k : {c.first, c.second})
        if (std::find(pts.begin(), pts.end(), k) == pts.end()) pts.push_back(k);
    if (pts.size() < 3) return;
    const Vec& n = h.n;
    Vec g{0.0, 0.0, 0.0};
    for (int k : pts) g = g + corners_[static_cast<size_t>(k)];
    g = (1.0 / pts.size()) * g;
    Vec u = std::fabs(n.x) < 0.6 ? Vec{1.0, 0.0, 0.0} : Vec{0.0, 1.0, 0.0};
    u = u - dot(u, n) * n;
    u = (1.0 / norm(u)) * u;
    const Vec w = cross(n, u);
    std::vector<std::pair<double, int>> order;
    for (int k : pts) {
      const Vec d = corners_[static_cast<size_t>(k)] - g;
      order.push_back({std::atan2(dot(d, w), dot(d, u)), k});
    }
    std::sort(order.begin(), order.end());
    const int start = static_cast<int>(index_.size());
    for (const auto& o : order) index_.put(o.second);
    faces_.put(Face{&h, ball, start, static_cast<int>(order.size())});
  }

  Plane planes_[4];  // of the tetrahedron's faces
  Room<Face> faces_;
  Room<int> index_;
  Room<Vec> corners_;
  Room<double> height_;
  mutable Room<int> renumber_;
  Room<std::pair<int, int>> cut_;
  Room<Split> split_;
};

// A point of a face seen from the ball's centre c: x - c and its length.
struct Ray {
  Vec x, u;
  double len;
};

Ray ray(const Vec& x, const Vec& c) {
  const Vec u = x - c;
  return Ray{x, u, norm(u)};
}

// The ball's part in the cone from c over the triangle (o, p, q), o the foot
// of c on the plane at distance h, m the unit normal from c to the plane,
// signed by the triangle's turn about m: its volume and its sphere's area.
struct Section {
  Vec c, o, m, a0;  // a0 = o - c
  double h, R, disc2;
  // Per radian of the disc's sector: the sector adds (h/3) of its area and
  // takes away R^3/3 of its solid angle (1 - h/R per radian) from the
  // volume, and R^2 of that solid angle from the sphere's area.
  double sector_volume, sector_area;
};

// turn: the signed angle of the disc's rim that the pieces span.
struct Part {
  double volume = 0.0, area = 0.0, turn = 0.0;
  void add(const Part& o) {
    volume += o.volume;
    area += o.area;
    turn += o.turn;
  }
};

Part inside_piece(const Section& s, const Vec& x, const Vec& y) {
  Part out;
  out.volume = s.h / 6.0 * dot(s.m, cross(x - s.o, y - s.o));
  return out;
}

// Signed solid angle of the triangle (o, x, y) seen from c: positive when it
// turns counterclockwise seen from c.
Part outside_piece(const Section& s, const Ray& x, const Ray& y) {
  const double num = dot(s.a0, cross(x.u, y.u));
  const double den = s.h * x.len * y.len + dot(s.a0, x.u) * y.len + dot(s.a0, y.u) * x.len +
                     dot(x.u, y.u) * s.h;
  const double solid = 2.0 * std::atan2(num, den);
  Part out;
  out.volume = s.R * s.R * s.R / 3.0 * solid;
  out.area = s.R * s.R * solid;
  if (s.disc2 > 0.0) {
    const Vec a = x.u - s.a0, b = y.u - s.a0;
    const double turn = std::atan2(dot(s.m, cross(a, b)), dot(a, b));
    out.volume += s.sector_volume * turn;
    out.area -= s.sector_area * turn;
    out.turn = turn;
  }
  return out;
}

Part side_part(const Section& s, const Ray& p, const Ray& q) {
  if (s.disc2 > 0.0) {
    // Where p + t (q - p) meets the rim: |f + t d|^2 = disc2.
    const Vec d = q.x - p.x, f = p.u - s.a0;
    const double a = dot(d, d), b = dot(f, d), k = dot(f, f) - s.disc2;
    const double disc = b * b - a * k;
    if (a > 0.0 && disc > 0.0) {
      const double root = std::sqrt(disc);
      const double lo = std::min(1.0, std::max(0.0, (-b - root) / a));
      const double hi = std::min(1.0, std::max(0.0, (-b + root) / a));
      if (lo < hi) {
        const Vec x = p.x + lo * d, y = p.x + hi * d;
        Part v = inside_piece(s, x, y);
        if (lo > 0.0) v.add(outside_piece(s, p, ray(x, s.c)));
        if (hi < 1.0) v.add(outside_piece(s, ray(y, s.c), q));
        return v;
      }
    }
  }
  return outside_piece(s, p, q);
}

// The ball's part in the polytope; `length` receives half the rim of its
// section by each face on a power plane that lies in the polytope: half the
// circle where the two spheres meet, the other half coming from the other
// ball's cell.
Part ball_in_polytope(const Polytope& poly, const Vec& c, double R, double* length,
                      std::vector<Ray>& rays) {
  // Each corner seen from c once, for all the faces it is on.
  rays.clear();
  for (size_t k = 0; k < poly.corner_count(); ++k) rays.push_back(ray(poly.corner_at(k), c));
  Part total;
  for (size_t k = 0; k < poly.size(); ++k) {
    const Face& f = poly.face(k);
    const Plane& plane = *f.plane;
    const double dist = plane.e - dot(plane.n, c);
    const double h = std::fabs(dist);
    // A plane through the centre gives flat cones.
    if (!(h > 1e-12 * R)) continue;
    Section s;
    s.c = c;
    s.m = dist > 0.0 ? plane.n : -1.0 * plane.n;
    s.a0 = dist * plane.n;
    s.o = c + s.a0;
    s.h = h;
    s.R = R;
    s.disc2 = h < R ? R * R - h * h : 0.0;
    s.sector_volume = h * R * R / 2.0 - h * h * h / 6.0 - R * R * R / 3.0;
    s.sector_area = R * (R - h);
    const int m = f.count;
    Part face;
    const Ray& first = rays[static_cast<size_t>(poly.corner_index(f, 0))];
    const Ray* at = &first;
    for (int j = 1; j <= m; ++j) {
      const Ray& next = j < m ? rays[static_cast<size_t>(poly.corner_index(f, j))] : first;
      face.add(side_part(s, *at, next));
      at = &next;
    }
    total.add(face);
    // Seen from behind, the face turns the other way.
    if (f.ball >= 0 && s.disc2 > 0.0)
      *length += 0.5 * std::sqrt(s.disc2) * (dist > 0.0 ? face.turn : -face.turn);
  }
  return total;
}

// Distance from p to the triangle (a, b, c).
double triangle_distance(const Vec& p, const Vec& a, const Vec& b, const Vec& c) {
  const Vec ab = b - a, ac = c - a, ap = p - a;
  const double d1 = dot(ab, ap), d2 = dot(ac, ap);
  if (d1 <= 0.0 && d2 <= 0.0) return norm(ap);
  const Vec bp = p - b;
  const double d3 = dot(ab, bp), d4 = dot(ac, bp);
  if (d3 >= 0.0 && d4 <= d3) return norm(bp);
  const double vc = d1 * d4 - d3 * d2;
  if (vc <= 0.0 && d1 >= 0.0 && d3 <= 0.0) return norm(ap - (d1 / (d1 - d3)) * ab);
  const Vec cp = p - c;
  const double d5 = dot(ab, cp), d6 = dot(ac, cp);
  if (d6 >= 0.0 && d5 <= d6) return norm(cp);
  const double vb = d5 * d2 - d1 * d6;
  if (vb <= 0.0 && d2 >= 0.0 && d6 <= 0.0) return norm(ap - (d2 / (d2 - d6)) * ac);
  const double va = d3 * d6 - d5 * d4;
  if (va <= 0.0 && d4 - d3 >= 0.0 && d5 - d6 >= 0.0)
    return norm(bp - ((d4 - d3) / ((d4 - d3) + (d5 - d6))) * (c - b));
  const double den = 1.0 / (va + vb + vc);
  return norm(ap - (vb * den) * ab - (vc * den) * ac);
}

// A cut of a ball's cell: the power plane towards another ball, and how far
// the plane lies from the ball's centre.
struct Cut {
  double side;
  Plane plane;
  int ball;
};

}  // namespace

double distance_to_triangle(const double* p, const double* a, const double* b, const double* c) {
  return triangle_distance(Vec{p[0], p[1], p[2]}, Vec{a[0], a[1], a[2]}, Vec{b[0], b[1], b[2]},
                           Vec{c[0], c[1], c[2]});
}

struct EmptyRegion::Work {
  Polytope tetrahedron, cell, next;
  std::vector<int> near;
  std::vector<Vec> centre;
  std::vector<double> square;  // dot(centre, centre)
  std::vector<double> radius;
  Room<Cut> cuts;
  Room<std::pair<double, int>> order;  // (side, place) in the cuts' order
  std::vector<Ray> rays;
};

EmptyRegion::EmptyRegion() : work_(new Work) {}

EmptyRegion::~EmptyRegion() = default;

void EmptyRegion::add(const double v[4][3], const double* c, const double* r, int n) {
  Work& w = *work_;
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
  if (!(volume > 0.0)) return;
  room_ += volume;
  Polytope& tetrahedron = w.tetrahedron;
  tetrahedron.tetrahedron(corner);
  // The balls that reach into it: within their radius of it, that is of
  // its inside or of a face whose plane they lie beyond.
  w.near.clear();
  w.centre.clear();
  w.square.clear();
  w.radius.clear();
  for (int i = 0; i < n; ++i) {
    if (!(r[i] > 0.0)) continue;
    const Vec ci = Vec{c[3 * i], c[3 * i + 1], c[3 * i + 2]} - g;
    // Outside a face's plane by its radius or more, it misses; else it
    // reaches in when inside every plane, or within its radius of one of
    // the faces it lies beyond (the first such face decides).
    double beyond[4];
    bool inside = true, misses = false;
    for (size_t k = 0; k < 4; ++k) {
      const Face& f = tetrahedron.face(k);
      beyond[k] = dot(f.plane->n, ci) - f.plane->e;
      if (beyond[k] <= 0.0) continue;
      inside = false;
      if (beyond[k] >= r[i]) {
        misses = true;
        break;
      }
    }
    if (misses) continue;
    bool reaches = inside;
    for (size_t k = 0; k < 4 && !reaches; ++k) {
      if (beyond[k] <= 0.0) continue;
      const Face& f = tetrahedron.face(k);
      reaches = triangle_distance(ci, tetrahedron.corner(f, 0), tetrahedron.corner(f, 1),
                                  tetrahedron.corner(f, 2)) < r[i];
    }
    if (!reaches) continue;
    w.near.push_back(i);
    w.centre.push_back(ci);
    w.square.push_back(dot(ci, ci));
    w.radius.push_back(r[i]);
  }
  const size_t count = w.near.size();
  const int* near = w.near.data();
  const Vec* centre = w.centre.data();
  const double* square = w.square.data();
  const double* radius = w.radius.data();
  w.cuts.room(count);
  w.order.room(count);
  for (size_t a = 0; a < count; ++a) {
    const int i = near[a];
    const Vec& ci = centre[a];
    const double ri = radius[a];
    bool left = true;
    // The power planes that cut ball i, deepest cut first, so that a cell
    // that misses the tetrahedron is found empty soon.
    Cut* cuts = w.cuts.data();
    size_t cut_count = 0, first = 0;
    for (size_t b = 0; b < count; ++b) {
      if (b == a) continue;
      const int j = near[b];
      const double rj = radius[b];
      const Vec& cj = centre[b];
      const Vec d = cj - ci;
      const double len2 = dot(d, d);
      // Balls that do not overlap leave each other alone.
      if (!(len2 < (ri + rj) * (ri + rj))) continue;
      const double len = std::sqrt(len2);
      if (!(len > 0.0)) {
        // Concentric: the smaller ball, or the later of two copies, adds
        // nothing.
        if (ri < rj || (ri == rj && j < i)) {
          left = false;
          break;
        }
        continue;
      }
      // Power to ball i at most power to ball j.
      const Plane h{(1.0 / len) * d, (square[b] - square[a] - rj * rj + ri * ri) / (2.0 * len)};
      const double side = h.e - dot(h.n, ci);
      if (side >= ri) continue;  // misses ball i
      if (side <= -ri) {
        left = false;  // ball i lies in ball j
        break;
      }
      if (cut_count > 0 && side < cuts[first].side) first = cut_count;
      cuts[cut_count++] = Cut{side, h, j};
    }
    if (!left) continue;
    // The deepest cut is the first clip: when it leaves every corner of the
    // tetrahedron beyond the slack, that clip keeps nothing, so the cell is
    // found empty without ordering the others (the same heights decide).
    if (cut_count > 0) {
      const Plane& h = cuts[first].plane;
      bool all_beyond = true;
      for (int k = 0; k < 4 && all_beyond; ++k) all_beyond = dot(h.n, corner[k]) - h.e > slack;
      if (all_beyond) continue;
    }
    // By side, ties in the order the cuts were made: a stable insertion
    // sort, the lists being short.
    std::pair<double, int>* order = w.order.data();
    for (size_t k = 0; k < cut_count; ++k) {
      const double side = cuts[k].side;
      size_t m = k;
      for (; m > 0 && order[m - 1].first > side; --m) order[m] = order[m - 1];
      order[m] = {side, static_cast<int>(k)};
    }
    // The tetrahedron itself is the cell until the first clip.
    Polytope* cell = &tetrahedron;
    Polytope* next = &w.cell;
    for (size_t k = 0; k < cut_count; ++k) {
      const Cut& cut = cuts[order[k].second];
      const Plane& h = cut.plane;
      if (!cell->beyond(h, slack)) continue;
      if (!cell->clip(h, slack, cut.ball, *next)) {
        left = false;  // its cell misses the tetrahedron
        break;
      }
      Polytope* done = cell;
      cell = next;
      next = done == &tetrahedron ? &w.next : done;
    }
    if (!left) continue;
    const Part part = ball_in_polytope(*cell, ci, ri, &length_, w.rays);
    covered_ += part.volume;
    area_ += part.area;
  }
}

EmptyPart EmptyRegion::total() const {
  EmptyPart out;
  out.volume = std::min(room_, std::max(0.0, room_ - covered_));
  out.area = std::max(0.0, area_);
  out.length = std::max(0.0, length_);
  return out;
}

EmptyPart tetrahedron_empty_part(const double v[4][3], const double* c, const double* r, int n) {
  EmptyRegion region;
  region.add(v, c, r, n);
  return region.total();
}
