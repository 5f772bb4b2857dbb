// Notation.  Balls have centre c, expanded radius R and atom radius
// r = R - p.  The surface point of a segment from y in direction n is
// y + p n; segments are kept up to the cut.
//
// Why only vertices and arcs compete.  Let B_t = B(y + t n, t), the ball
// tangent to A at y.  The cut is the t at which B_t first meets A
// elsewhere.  It cannot meet a sphere inside one of its faces first: near
// such a point A is the outside of that sphere, so B_t would be tangent to
// it from inside, hence inside that ball, which holds y only on its sphere.
// So the first contact is a vertex or a point of an arc; and a surface point
// y + p n is kept exactly when no vertex and no arc point lies nearer than
// p (were one nearer, the first contact would come before p).  For a
// segment from a sphere, B_t lies inside that sphere's ball: never cut.
//
// The own circle of a torus cuts it where the segment crosses the axis:
// beyond, the far side of the circle is nearer.
#include "measure/trimmedsurface.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "measure/ballmath.h"
#include "measure/atomballs.h"

namespace {

using ballmath::cross;
using ballmath::dot;
using ballmath::norm;
using ballmath::sub;
using ballmath::unit;
using ballmath::V3;

const double kPi = 3.14159265358979323846;
const double kTwoPi = 2 * kPi;

V3 add(const V3& a, const V3& b) { return V3{a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 times(double s, const V3& a) { return V3{s * a.x, s * a.y, s * a.z}; }
// a + s b
V3 along(const V3& a, double s, const V3& b) {
  return V3{a.x + s * b.x, a.y + s * b.y, a.z + s * b.z};
}
double dist2(const V3& a, const V3& b) {
  const V3 d = sub(a, b);
  return dot(d, d);
}
// A unit vector orthogonal to the unit vector a.
V3 orthogonal(const V3& a) {
  const V3 t = std::fabs(a.x) < 0.6 ? V3{1, 0, 0} : V3{0, 1, 0};
  return unit(along(t, -dot(t, a), a));
}

// ---- sets of angles ------------------------------------------------------

struct Span {
  double lo, hi;
};
// Sorted, disjoint, non-empty spans.
typedef std::vector<Span> Spans;

// How A + B cos t + C sin t stands against 0, K = |(B, C)|.
enum class Sign { kNever, kEverywhere, kPart };
Sign sign_of(double A, double B, double C, double& K) {
  // A above |(B, C)| by far more than rounding: never negative, as below
  // (A + K > 0, A - K >= 0), without the root.  (A below 1e100: its square
  // is finite, and an infinite B^2 + C^2 fails the test.)
  if (A > 0 && A < 1e100 && A * A >= (B * B + C * C) * (1 + 1e-10)) return Sign::kNever;
  K = std::hypot(B, C);
  if (!(A + K > 0))  // negative everywhere (or NaN: nothing to trust)
    return A + K <= 0 ? Sign::kEverywhere : Sign::kNever;
  if (!(A - K < 0)) return Sign::kNever;
  return Sign::kPart;
}

// The angles of [lo, hi] where the form is negative, for one negative in
// part (sign_of gave K).
void negative_angles(double A, double B, double C, double K, double lo, double hi, Spans& out) {
  const double phi = std::atan2(C, B), delta = std::acos(std::max(-1.0, std::min(1.0, -A / K)));
  // Negative on (phi + delta, phi + 2 pi - delta) and its shifts by turns.
  double a = phi + delta, b = phi + kTwoPi - delta;
  const double shift = std::floor((lo - a) / kTwoPi);
  a += shift * kTwoPi;
  b += shift * kTwoPi;
  for (int k = 0; k < 3; ++k, a += kTwoPi, b += kTwoPi) {
    const double x = std::max(a, lo), y = std::min(b, hi);
    if (y > x) out.push_back(Span{x, y});
  }
}

// Adds to `out` the angles of [lo, hi] (hi - lo <= 2 pi) where
// A + B cos t + C sin t < 0.
void negative_part(double A, double B, double C, double lo, double hi, Spans& out) {
  double K = 0;
  switch (sign_of(A, B, C, K)) {
    case Sign::kNever:
      return;
    case Sign::kEverywhere:
      out.push_back(Span{lo, hi});
      return;
    case Sign::kPart:
      negative_angles(A, B, C, K, lo, hi, out);
      return;
  }
}

// ---- the boundary of A among a set of balls -------------------------------

struct Ball {
  V3 c;
  double R, r;
  int atom;
};

// The circle where spheres j and k meet: centre m, unit axis a from c_j
// to c_k, radius rho, and the basis (e1, e2) of its plane; the point at
// angle s is m + rho (cos s e1 + sin s e2).
struct Circle {
  int j, k;
  V3 m, a, e1, e2;
  double rho;
  V3 point(double s) const {
    return add(m, add(times(rho * std::cos(s), e1), times(rho * std::sin(s), e2)));
  }
};

// The part of a circle from angle lo over `span` (2 pi for a whole circle)
// outside every other ball, with a bounding sphere.
struct Arc {
  int circle;
  double lo, span;
  V3 centre;
  double reach;
  int ends[2];  // vertices at lo and lo + span; -1 for a whole circle
  bool contains(double s) const {
    if (span >= kTwoPi) return true;
    double d = std::fmod(s - lo, kTwoPi);
    if (d < 0) d += kTwoPi;
    return d <= span;
  }
};

// A point where spheres balls[0..2] meet, outside every other ball.
struct Vertex {
  V3 y;
  int balls[3];
};

// The distance from c to the box [lo, hi].
double box_gap(const V3& c, const V3& lo, const V3& hi) {
  const double dx = std::max(0.0, std::max(lo.x - c.x, c.x - hi.x));
  const double dy = std::max(0.0, std::max(lo.y - c.y, c.y - hi.y));
  const double dz = std::max(0.0, std::max(lo.z - c.z, c.z - hi.z));
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The cell of edge `edge` that holds x, in a grid with a corner at 0.
std::array<long, 3> grid_cell(const V3& x, double edge) {
  return {static_cast<long>(std::floor(x.x / edge)), static_cast<long>(std::floor(x.y / edge)),
          static_cast<long>(std::floor(x.z / edge))};
}

// Items by cell, each cell's in the order they were placed.
struct CellLists {
  std::vector<int> start, items;
  void fill(std::size_t cells, const std::vector<std::pair<std::size_t, int>>& placed) {
    start.assign(cells + 1, 0);
    for (const auto& x : placed) ++start[x.first + 1];
    for (std::size_t c = 1; c <= cells; ++c) start[c] += start[c - 1];
    items.resize(placed.size());
    std::vector<int> next(start.begin(), start.end() - 1);
    for (const auto& x : placed) items[static_cast<std::size_t>(next[x.first]++)] = x.second;
  }
};

// Numbers by key (keys never negative), in one table without nodes.
class KeyMap {
 public:
  void reserve(std::size_t n) {
    std::size_t cap = 16;
    int bits = 4;
    while (cap < 2 * n + 2) {
      cap *= 2;
      ++bits;
    }
    keys_.assign(cap, -1);
    values_.resize(cap);
    shift_ = 64 - bits;
    size_ = 0;
  }
  // The number of the key, -1 when none.
  int find(long long key) const {
    if (keys_.empty()) return -1;
    for (std::size_t i = slot(key);; i = (i + 1) & (keys_.size() - 1)) {
      if (keys_[i] == key) return values_[i];
      if (keys_[i] < 0) return -1;
    }
  }
  // The key's number, made `value` when it had none (then second is true).
  std::pair<int, bool> try_emplace(long long key, int value) {
    if (2 * (size_ + 1) > keys_.size()) grow();
    for (std::size_t i = slot(key);; i = (i + 1) & (keys_.size() - 1)) {
      if (keys_[i] == key) return {values_[i], false};
      if (keys_[i] < 0) {
        keys_[i] = key;
        values_[i] = value;
        ++size_;
        return {value, true};
      }
    }
  }

 private:
  std::size_t slot(long long key) const {
    return static_cast<std::size_t>(
        (static_cast<unsigned long long>(key) * 0x9E3779B97F4A7C15ull) >> shift_);
  }
  void grow() {
    std::vector<long long> keys;
    std::vector<int> values;
    keys.swap(keys_);
    values.swap(values_);
    reserve(keys.size() + 8);
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (keys[i] >= 0) try_emplace(keys[i], values[i]);
  }
  std::vector<long long> keys_;
  std::vector<int> values_;
  int shift_ = 60;
  std::size_t size_ = 0;
};

// A spatial index of the atoms and of the edges of the tetrahedra that can
// hold parts of A's boundary (those outside the complex and those with a
// face on the convex hull), built once per structure.
class Neighbourhood {
 public:
  Neighbourhood(const Atoms& atoms, const std::vector<const tetra*>& tetras, double p)
      : atoms_(atoms), tetras_(tetras), p_(p), overlaps_(atoms.size()), listed_(atoms.size(), 0) {
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const info& a : atoms) {
      const double c[3] = {a.x, a.y, a.z};
      for (int k = 0; k < 3; ++k) {
        lo[k] = std::min(lo[k], c[k]);
        hi[k] = std::max(hi[k], c[k]);
      }
      most_ = std::max(most_, a.radius + p);
    }
    edge_ = 4.0;
    for (int k = 0; k < 3; ++k) {
      origin_[k] = lo[k];
      dim_[k] = atoms.empty() ? 1 : static_cast<int>((hi[k] - lo[k]) / edge_) + 1;
    }
    const std::size_t cells = static_cast<std::size_t>(dim_[0]) * dim_[1] * dim_[2];
    std::vector<std::pair<std::size_t, int>> placed;
    placed.reserve(atoms.size());
    for (std::size_t i = 0; i < atoms.size(); ++i)
      placed.emplace_back(cell_of(atoms[i].x, atoms[i].y, atoms[i].z), static_cast<int>(i));
    atoms_in_.fill(cells, placed);
    // A corner that is one of `atoms` takes its cell from there.
    auto corner_cell = [&](const info* a) {
      const std::size_t i = static_cast<std::size_t>(a->index);
      return i < atoms.size() && &atoms[i] == a ? placed[i].first : cell_of(a->x, a->y, a->z);
    };
    std::vector<std::pair<std::size_t, int>> corners;
    for (std::size_t t = 0; t < tetras.size(); ++t) {
      const tetra& T = *tetras[t];
      if (T.in_complex) {
        bool hull = false;
        for (const tria* f : T.faces) hull = hull || (f != nullptr && f->cofaces.size() == 1);
        if (!hull) continue;
      }
      for (const info* a : T.v) corners.emplace_back(corner_cell(a), static_cast<int>(t));
    }
    tetras_in_.fill(cells, corners);
  }

  // Calls f(index) for every atom whose centre lies within `reach` of the
  // box (and for some farther ones).
  template <class F>
  void atoms_near(const V3& lo, const V3& hi, double reach, F&& f) const {
    visit(lo, hi, reach, atoms_in_, f);
  }
  // The edges (atom pairs, the lower first, sorted) of the tetrahedra that
  // can hold parts of A's boundary whose balls both come within `margin`
  // of the box.  A point of a circle outside every other ball lies on the
  // power face of its two balls, whose corners are the orthocentres of the
  // tetrahedra about their edge: were all of those in the complex (within
  // the balls), the face would lie within the circle's disc.
  void boundary_edges(const V3& lo, const V3& hi, double margin,
                      std::vector<std::pair<int, int>>& out) const {
    out.clear();
    if (atom_seen_.size() != atoms_.size()) atom_seen_.assign(atoms_.size(), 0);
    ++stamp_;
    // stamp_ when near the box, -stamp_ when not
    auto near = [&](const info* a) {
      int& seen = atom_seen_[static_cast<std::size_t>(a->index)];
      if (seen != stamp_ && seen != -stamp_)
        seen = box_gap(V3{a->x, a->y, a->z}, lo, hi) < a->radius + p_ + margin ? stamp_ : -stamp_;
      return seen == stamp_;
    };
    // An atom near the box lies within margin + most_ of it, so its cell
    // is among those visited (the slack for rounding in the cells' bounds).
    const double reach = margin + most_ + 1e-6;
    // A few boxes are served by the tetrahedra about them; once the cells
    // looked at have held a quarter of the listings (listing the edges
    // costs about four times as much per entry), each atom's edges are
    // listed once and serve the rest.
    if (!edges_made_ && 4 * looked_ > tetras_in_.items.size()) make_edges();
    if (edges_made_) {
      visit(lo, hi, reach, lower_in_, [&](int i) {
        if (near(corner_[static_cast<std::size_t>(i)])) lower_.push_back(i);
      });
      std::sort(lower_.begin(), lower_.end());
      for (const int a : lower_)
        for (int x = higher_.start[static_cast<std::size_t>(a)];
             x < higher_.start[static_cast<std::size_t>(a) + 1]; ++x) {
          const int b = higher_.items[static_cast<std::size_t>(x)];
          if (near(corner_[static_cast<std::size_t>(b)])) out.emplace_back(a, b);
        }
      lower_.clear();
      return;
    }
    // A tetrahedron is listed in the cell of each corner, an atom is a
    // corner of many: each is looked at once per call.
    if (tetra_seen_.size() != tetras_.size()) tetra_seen_.assign(tetras_.size(), 0);
    visit(lo, hi, reach, tetras_in_, [&](int t) {
      ++looked_;
      if (tetra_seen_[static_cast<std::size_t>(t)] == stamp_) return;
      tetra_seen_[static_cast<std::size_t>(t)] = stamp_;
      const tetra& T = *tetras_[static_cast<std::size_t>(t)];
      int close[4], n = 0;
      for (const info* a : T.v)
        if (near(a)) close[n++] = a->index;
      // As one number, the lower atom high: sorted as the pairs.
      for (int a = 0; a < n; ++a)
        for (int b = a + 1; b < n; ++b)
          keys_.push_back(
              static_cast<unsigned long long>(std::min(close[a], close[b])) << 32 |
              static_cast<unsigned int>(std::max(close[a], close[b])));
    });
    std::sort(keys_.begin(), keys_.end());
    keys_.erase(std::unique(keys_.begin(), keys_.end()), keys_.end());
    out.reserve(keys_.size());
    for (const unsigned long long k : keys_)
      out.emplace_back(static_cast<int>(k >> 32), static_cast<int>(k & 0xffffffffu));
    keys_.clear();
  }
  double largest_radius() const { return most_; }

  // The atoms whose expanded balls overlap atom i's, ascending; made once.
  const std::vector<int>& overlaps(int i) const {
    std::vector<int>& out = overlaps_[static_cast<std::size_t>(i)];
    if (listed_[static_cast<std::size_t>(i)]) return out;
    listed_[static_cast<std::size_t>(i)] = 1;
    const info& a = atoms_[static_cast<std::size_t>(i)];
    const V3 c{a.x, a.y, a.z};
    const double R = a.radius + p_;
    if (!(R > 0)) return out;
    out.reserve(32);  // about as many as a ball meets
    atoms_near(c, c, R + most_, [&](int l) {
      const info& b = atoms_[static_cast<std::size_t>(l)];
      const double r = R + b.radius + p_;
      if (l != i && b.radius + p_ > 0 && dist2(c, V3{b.x, b.y, b.z}) < r * r) out.push_back(l);
    });
    std::sort(out.begin(), out.end());
    return out;
  }

  // The circle where the spheres of atoms i < k meet, and its angles
  // outside every other ball, each free span with the atoms whose covers
  // end before and start after it (-1 for none); made once.
  struct FreeSpan {
    double lo, hi;
    int from, to;
    V3 a, b;  // its ends
    // Its bounding sphere: for a short span, about the chord's middle.
    V3 centre;
    double reach;
  };
  struct FreeCircle {
    bool meets = false, whole = false;
    bool covered = false;  // the spans are made
    Circle o;
    std::vector<FreeSpan> spans;
    // Points along each span (the whole circle's as the one span), with
    // their spacing: made for the first boundary that asks, kept for all.
    mutable std::vector<std::vector<V3>> points;
    mutable std::vector<double> spacing;
  };
  Ball ball_of(int i) const { return ball(i); }
  // The circle alone: its spans wait until covered() asks for them.
  const FreeCircle& circle(int i, int k) const {
    const auto found = circle_at_.try_emplace(static_cast<long long>(i) * (1 << 30) + k,
                                              static_cast<int>(circles_.size()));
    if (found.second) {
      circles_.emplace_back();
      make_circle(i, k, circles_.back());
    }
    return circles_[static_cast<std::size_t>(found.first)];
  }
  // The same circle with its spans.
  const FreeCircle& covered(const FreeCircle& f) const {
    FreeCircle& g = const_cast<FreeCircle&>(f);  // one of circles_
    if (g.meets && !g.covered) cover_circle(g);
    return g;
  }

 private:
  Ball ball(int i) const {
    const info& a = atoms_[static_cast<std::size_t>(i)];
    return Ball{V3{a.x, a.y, a.z}, a.radius + p_, a.radius, i};
  }
  void make_circle(int i, int k, FreeCircle& f) const {
    const Ball J = ball(i), K = ball(k);
    const V3 d = sub(K.c, J.c);
    const double D2 = dot(d, d), D = std::sqrt(D2);
    if (!(D < J.R + K.R) || !(D > std::fabs(J.R - K.R))) return;
    f.meets = true;
    Circle& o = f.o;
    o.j = i;
    o.k = k;
    o.a = times(1.0 / D, d);
    const double x = (D2 + J.R * J.R - K.R * K.R) / (2 * D);
    o.rho = std::sqrt(std::max(0.0, J.R * J.R - x * x));
    o.m = along(J.c, x, o.a);
    o.e1 = orthogonal(o.a);
    o.e2 = cross(o.a, o.e1);
  }
  // Out of line: inlined into the making of a boundary (its one caller)
  // it costs more instructions.
  [[gnu::noinline]] void cover_circle(FreeCircle& f) const {
    f.covered = true;
    const int i = f.o.j, k = f.o.k;
    const Circle& o = f.o;
    // The angles covered by each other ball, with the ball that covers them.
    struct Cover {
      double lo, hi;
      int ball;
    };
    // Each ball's form first: a ball that covers the whole circle leaves
    // no free angle whatever the others cover (the sweep below starts at
    // 0 and its cover of [0, 2 pi] takes it past 2 pi), so no other
    // ball's angles are needed.
    struct Form {
      double A, B, C, K;
      int ball;
    };
    static thread_local std::vector<Form> forms;
    static thread_local std::vector<Cover> covers;
    static thread_local Spans s;
    forms.clear();
    covers.clear();
    for (int l : overlaps(i)) {
      if (l == k) continue;
      const Ball L = ball(l);
      const V3 w = sub(o.m, L.c);
      const double r = L.R + o.rho;
      if (!(dot(w, w) < r * r)) continue;
      const double A = dot(w, w) + o.rho * o.rho - L.R * L.R;
      const double B = 2 * o.rho * dot(w, o.e1), C = 2 * o.rho * dot(w, o.e2);
      double K = 0;
      const Sign sign = sign_of(A, B, C, K);
      if (sign == Sign::kEverywhere) return;  // no free span
      if (sign == Sign::kPart) forms.push_back(Form{A, B, C, K, l});
    }
    for (const Form& g : forms) {
      s.clear();
      negative_angles(g.A, g.B, g.C, g.K, 0, kTwoPi, s);
      for (const Span& x : s) covers.push_back(Cover{x.lo, x.hi, g.ball});
    }
    if (covers.empty()) {
      f.whole = true;
      f.points.resize(1);
      f.spacing.assign(1, 0.0);
      return;
    }
    // The free angles, each end with the ball whose cover ends there; a
    // free span through angle 0 is joined across it.
    std::sort(covers.begin(), covers.end(),
              [](const Cover& a, const Cover& b) { return a.lo < b.lo; });
    std::vector<FreeSpan>& free = f.spans;
    double at = 0;
    int last = -1;
    for (const Cover& v : covers) {
      if (v.lo > at) free.push_back(FreeSpan{at, v.lo, last, v.ball, {}, {}, {}, 0});
      if (v.hi > at) {
        at = v.hi;
        last = v.ball;
      }
    }
    if (at < kTwoPi) free.push_back(FreeSpan{at, kTwoPi, last, -1, {}, {}, {}, 0});
    if (free.size() >= 2 && free.front().lo == 0 && free.back().hi == kTwoPi) {
      free.front().lo = free.back().lo - kTwoPi;
      free.front().from = free.back().from;
      free.pop_back();
    }
    f.points.resize(free.size());
    f.spacing.assign(free.size(), 0.0);
    for (FreeSpan& x : free) {
      x.a = o.point(x.lo);
      x.b = o.point(x.hi);
      x.centre = o.m;
      x.reach = o.rho;
      if (x.hi - x.lo < kPi) {
        x.centre = times(0.5, add(x.a, x.b));
        x.reach = std::sqrt(dist2(x.a, x.b)) / 2;
        const V3 mid = o.point(x.lo + (x.hi - x.lo) / 2);
        x.reach = std::max(x.reach, std::sqrt(dist2(mid, x.centre)));
      }
    }
  }

  // The edges of the tetrahedra that can hold parts of A's boundary, by
  // their lower atom (each higher one once, ascending), and the lower atoms
  // by the cell of their corner.
  void make_edges() const {
    edges_made_ = true;
    const std::size_t n = atoms_.size();
    corner_.assign(n, nullptr);
    std::vector<char> holds(tetras_.size(), 0);  // listed in the cells of their corners
    for (const int t : tetras_in_.items) holds[static_cast<std::size_t>(t)] = 1;
    // Counted by lower atom, then placed.
    std::vector<int>& start = higher_.start;
    start.assign(n + 1, 0);
    for (std::size_t t = 0; t < tetras_.size(); ++t) {
      if (!holds[t]) continue;
      const tetra& T = *tetras_[t];
      for (const info* a : T.v) {
        const info*& c = corner_[static_cast<std::size_t>(a->index)];
        if (c == nullptr) c = a;
      }
      for (int a = 0; a < 4; ++a)
        for (int b = a + 1; b < 4; ++b)
          ++start[static_cast<std::size_t>(std::min(T.v[a]->index, T.v[b]->index)) + 1];
    }
    for (std::size_t i = 1; i <= n; ++i) start[i] += start[i - 1];
    higher_.items.resize(static_cast<std::size_t>(start[n]));
    {
      std::vector<int> next(start.begin(), start.end() - 1);
      for (std::size_t t = 0; t < tetras_.size(); ++t) {
        if (!holds[t]) continue;
        const tetra& T = *tetras_[t];
        for (int a = 0; a < 4; ++a)
          for (int b = a + 1; b < 4; ++b) {
            const int i = T.v[a]->index, k = T.v[b]->index;
            higher_.items[static_cast<std::size_t>(
                next[static_cast<std::size_t>(std::min(i, k))]++)] = std::max(i, k);
          }
      }
    }
    // Each lower atom's higher atoms once, ascending.
    std::vector<int>& items = higher_.items;
    std::vector<int> last(atoms_.size(), -1);  // the lower atom that last kept it
    int kept = 0;
    for (std::size_t i = 0; i < atoms_.size(); ++i) {
      const int from = higher_.start[i], to = higher_.start[i + 1];
      higher_.start[i] = kept;
      for (int x = from; x < to; ++x) {
        const int k = items[static_cast<std::size_t>(x)];
        if (last[static_cast<std::size_t>(k)] == static_cast<int>(i)) continue;
        last[static_cast<std::size_t>(k)] = static_cast<int>(i);
        items[static_cast<std::size_t>(kept++)] = k;
      }
      std::sort(items.begin() + higher_.start[i], items.begin() + kept);
    }
    higher_.start[atoms_.size()] = kept;
    items.resize(static_cast<std::size_t>(kept));
    std::vector<std::pair<std::size_t, int>> placed;
    placed.reserve(n);
    for (std::size_t i = 0; i < atoms_.size(); ++i)
      if (higher_.start[i] < higher_.start[i + 1]) {
        const info* a = corner_[i];
        placed.emplace_back(cell_of(a->x, a->y, a->z), static_cast<int>(i));
      }
    lower_in_.fill(static_cast<std::size_t>(dim_[0]) * dim_[1] * dim_[2], placed);
  }

  std::size_t cell_of(double x, double y, double z) const {
    const double c[3] = {x, y, z};
    int i[3];
    for (int k = 0; k < 3; ++k)
      i[k] = std::max(0, std::min(dim_[k] - 1, static_cast<int>((c[k] - origin_[k]) / edge_)));
    return (static_cast<std::size_t>(i[0]) * dim_[1] + i[1]) * dim_[2] + i[2];
  }
  template <class F>
  void visit(const V3& lo, const V3& hi, double reach, const CellLists& cells, F&& f) const {
    const double a[3] = {lo.x - reach, lo.y - reach, lo.z - reach};
    const double b[3] = {hi.x + reach, hi.y + reach, hi.z + reach};
    int from[3], to[3];
    for (int k = 0; k < 3; ++k) {
      from[k] = std::max(0, static_cast<int>(std::floor((a[k] - origin_[k]) / edge_)));
      to[k] = std::min(dim_[k] - 1, static_cast<int>(std::floor((b[k] - origin_[k]) / edge_)));
    }
    for (int i = from[0]; i <= to[0]; ++i)
      for (int j = from[1]; j <= to[1]; ++j)
        for (int k = from[2]; k <= to[2]; ++k) {
          const std::size_t c = (static_cast<std::size_t>(i) * dim_[1] + j) * dim_[2] + k;
          for (int x = cells.start[c]; x < cells.start[c + 1]; ++x)
            f(cells.items[static_cast<std::size_t>(x)]);
        }
  }

  const Atoms& atoms_;
  const std::vector<const tetra*>& tetras_;
  double p_;
  double origin_[3] = {0, 0, 0}, edge_ = 4, most_ = 0;
  int dim_[3] = {1, 1, 1};
  CellLists atoms_in_, tetras_in_;
  mutable std::vector<std::vector<int>> overlaps_;
  mutable std::vector<char> listed_;
  mutable std::vector<int> tetra_seen_, atom_seen_, lower_;
  mutable std::vector<unsigned long long> keys_;
  mutable std::size_t looked_ = 0;
  mutable bool edges_made_ = false;
  mutable std::vector<const info*> corner_;  // per atom, as a corner of the tetrahedra
  mutable CellLists higher_, lower_in_;
  mutable int stamp_ = 0;
  // The circles made, kept in place, by key.
  mutable std::deque<FreeCircle> circles_;
  mutable KeyMap circle_at_;
};

class Boundary {
 public:
  // The balls (expanded by p) that come within `margin` of the box [lo,
  // hi]; the circles of the atom pairs listed (those that can hold parts
  // of A's boundary) between two of them, with the arcs and vertices on
  // them, whose points come within `margin` of the box.  With `sites`
  // (points in the box), only the circles whose points come within
  // `site_margin` (at most `margin`) of one of them.
  Boundary(const Atoms& atoms, const Neighbourhood& near,
           const std::vector<std::pair<int, int>>& pairs, double p, const V3& lo, const V3& hi,
           double margin, const std::vector<V3>* sites = nullptr, double site_margin = 0)
      : p_(p), sites_(sites), site_margin_(site_margin) {
    near.atoms_near(lo, hi, margin + near.largest_radius(), [&](int i) {
      const info& a = atoms[static_cast<std::size_t>(i)];
      const double R = a.radius + p;
      if (!(R > 0)) return;
      const V3 c{a.x, a.y, a.z};
      if (box_gap(c, lo, hi) < R + margin) balls_.push_back(Ball{c, R, a.radius, i});
    });
    std::sort(balls_.begin(), balls_.end(),
              [](const Ball& a, const Ball& b) { return a.atom < b.atom; });
    // Each atom's ball, while the boundary is made (-1 for none); left
    // all -1 again.
    std::vector<int>& local = local_of();
    if (local.size() < atoms.size()) local.resize(atoms.size(), -1);
    for (std::size_t j = 0; j < balls_.size(); ++j)
      local[static_cast<std::size_t>(balls_[j].atom)] = static_cast<int>(j);
    // Room for a circle per pair and about as many vertices: no rehashing.
    circle_of_.reserve(pairs.size());
    seen_.reserve(pairs.size());
    circles_.reserve(pairs.size());
    arcs_.reserve(pairs.size());
    arc_source_.reserve(pairs.size());
    vertices_.reserve(pairs.size());
    for (const auto& e : pairs) {
      const int j = local[static_cast<std::size_t>(e.first)];
      const int k = local[static_cast<std::size_t>(e.second)];
      if (j >= 0 && k >= 0) add_circle(near, j, k, lo, hi, margin);
    }
    for (const Ball& b : balls_) local[static_cast<std::size_t>(b.atom)] = -1;
    index();
  }

  double probe() const { return p_; }
  const std::vector<Ball>& balls() const { return balls_; }
  const std::vector<Circle>& circles() const { return circles_; }
  const std::vector<Arc>& arcs() const { return arcs_; }
  const std::vector<Vertex>& vertices() const { return vertices_; }

  // The circle of balls j and k, -1 when none is kept.
  int circle(int j, int k) const {
    if (j > k) std::swap(j, k);
    return circle_of_.find(static_cast<long long>(j) * (1 << 30) + k);
  }

  // The vertices and arcs that may come within `reach` of x (a superset),
  // of those that `vertex` and `arc` keep, ascending (kept before sorting:
  // fewer to sort).
  template <class KeepVertex, class KeepArc>
  void near(const V3& x, double reach, std::vector<int>& vertices, std::vector<int>& arcs,
            KeepVertex&& vertex, KeepArc&& arc) const {
    vertices.clear();
    arcs.clear();
    if (!indexed_) return;
    int lo[3], hi[3];
    cell_range(x, reach, lo, hi);
    ++stamp_;
    for (int i = lo[0]; i <= hi[0]; ++i)
      for (int j = lo[1]; j <= hi[1]; ++j)
        for (int k = lo[2]; k <= hi[2]; ++k) {
          const std::size_t c = static_cast<std::size_t>((i * dim_[1] + j) * dim_[2] + k);
          for (int x = vertex_cells_.start[c]; x < vertex_cells_.start[c + 1]; ++x) {
            const int v = vertex_cells_.items[static_cast<std::size_t>(x)];
            if (vertex(v)) vertices.push_back(v);
          }
          for (int x = arc_cells_.start[c]; x < arc_cells_.start[c + 1]; ++x) {
            const int a = arc_cells_.items[static_cast<std::size_t>(x)];
            if (seen_arc_[static_cast<std::size_t>(a)] != stamp_) {
              seen_arc_[static_cast<std::size_t>(a)] = stamp_;
              if (arc(a)) arcs.push_back(a);
            }
          }
        }
    std::sort(vertices.begin(), vertices.end());
    std::sort(arcs.begin(), arcs.end());
  }

  // The points a / n of the way along arc k, n = 2 ceil(length / spacing)
  // (at least 2), i = 0..n; made once per arc and spacing.
  const std::vector<V3>& arc_points(int k, double spacing) const {
    // Every boundary's arc of a free span has the same circle, start and
    // span: the same points.
    const auto& from = arc_source_[static_cast<std::size_t>(k)];
    std::vector<V3>& out = from.first->points[from.second];
    double& made = from.first->spacing[from.second];
    if (!out.empty() && made == spacing) return out;
    const Arc& a = arcs_[static_cast<std::size_t>(k)];
    const Circle& o = circles_[static_cast<std::size_t>(a.circle)];
    const int n = 2 * std::max(1, static_cast<int>(std::ceil(a.span * o.rho / spacing)));
    out.clear();
    out.reserve(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) out.push_back(o.point(a.lo + a.span * i / n));
    made = spacing;
    return out;
  }

  // Whether the point lies outside every ball but those named.
  bool outside(const V3& y, int skip1, int skip2, int skip3) const {
    for (std::size_t l = 0; l < balls_.size(); ++l) {
      const int li = static_cast<int>(l);
      if (li == skip1 || li == skip2 || li == skip3) continue;
      if (dist2(y, balls_[l].c) < balls_[l].R * balls_[l].R) return false;
    }
    return true;
  }

 private:
  void add_circle(const Neighbourhood& near, int j, int k, const V3& lo, const V3& hi,
                  double margin) {
    const Neighbourhood::FreeCircle& g = near.circle(balls_[j].atom, balls_[k].atom);
    if (!g.meets) return;
    if (box_gap(g.o.m, lo, hi) > g.o.rho + margin) return;
    if (sites_ != nullptr) {
      // The circle itself, not only its disc, must come within the margin:
      // measured from the box's centre, less its half diagonal.
      const V3 mid = times(0.5, add(lo, hi));
      const double half = std::sqrt(dist2(lo, hi)) / 2;
      const V3 w = sub(mid, g.o.m);
      const double h = dot(w, g.o.a);
      const double r = std::sqrt(std::max(0.0, dot(w, w) - h * h)) - g.o.rho;
      if (std::sqrt(h * h + r * r) - half > margin) return;
      // Only the patches of vertices at the sites are measured, and all
      // that one meets (competitors, owners, its vertex's balls) lies within
      // 2p of its vertex, itself within 0.01 of its site: within the site
      // margin (at least 2p + 0.02) of the site, whatever the rounding of
      // the distances.  A circle farther from every site adds none of
      // that: not a vertex nearer (a vertex near lies on three circles near,
      // so the first of them still makes it, the same bits), nor a ball
      // before one near (those within the margin of the box come first, by
      // atom).  Leaving it out leaves the rest in the same order.
      bool near_site = false;
      for (const V3& x : *sites_) {
        const V3 u = sub(x, g.o.m);
        const double hu = dot(u, g.o.a);
        const double ru = std::sqrt(std::max(0.0, dot(u, u) - hu * hu)) - g.o.rho;
        if (hu * hu + ru * ru <= site_margin_ * site_margin_) {
          near_site = true;
          break;
        }
      }
      if (!near_site) return;
    }
    const Neighbourhood::FreeCircle& f = near.covered(g);
    Circle o = f.o;
    o.j = j;
    o.k = k;
    const int c = static_cast<int>(circles_.size());
    circles_.push_back(o);
    circle_of_.try_emplace(static_cast<long long>(j) * (1 << 30) + k, c);
    if (f.whole) {
      arcs_.push_back(Arc{c, 0, kTwoPi, o.m, o.rho, {-1, -1}});
      arc_source_.emplace_back(&f, 0);
      return;
    }
    for (std::size_t x = 0; x < f.spans.size(); ++x) {
      const Neighbourhood::FreeSpan& s = f.spans[x];
      if (s.from < 0 || s.to < 0) continue;  // a cover of the whole circle leaves none
      Arc arc{c, s.lo, s.hi - s.lo, s.centre, s.reach, {-1, -1}};
      arc.ends[0] = add_vertex(s.a, j, k, local(near, s.from));
      arc.ends[1] = add_vertex(s.b, j, k, local(near, s.to));
      arcs_.push_back(arc);
      arc_source_.emplace_back(&f, x);
    }
  }

  // The ball of an atom, added when it is not among the balls yet (it
  // lies farther than the margin: so do the vertices on it).
  int local(const Neighbourhood& near, int atom) {
    int& k = local_of()[static_cast<std::size_t>(atom)];
    if (k < 0) {
      k = static_cast<int>(balls_.size());
      balls_.push_back(near.ball_of(atom));
    }
    return k;
  }
  static std::vector<int>& local_of() {
    static thread_local std::vector<int> local;
    return local;
  }

  // The vertex's index, made when new.
  int add_vertex(const V3& y, int j, int k, int l) {
    int b[3] = {j, k, l};
    std::sort(b, b + 3);
    const V3 n = cross(sub(balls_[b[1]].c, balls_[b[0]].c), sub(balls_[b[2]].c, balls_[b[0]].c));
    const int side = dot(n, sub(y, balls_[b[0]].c)) > 0 ? 1 : 0;
    const long long key =
        ((static_cast<long long>(b[0]) << 42) | (static_cast<long long>(b[1]) << 21) | b[2]) * 2 +
        side;
    const auto it = seen_.try_emplace(key, static_cast<int>(vertices_.size()));
    if (it.second) vertices_.push_back(Vertex{y, {b[0], b[1], b[2]}});
    return it.first;
  }

  // A grid of cells of edge 2p over the features, for near().
  void cell_range(const V3& x, double reach, int* lo, int* hi) const {
    const double c[3] = {x.x, x.y, x.z};
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::max(0, static_cast<int>(std::floor((c[a] - reach - origin_[a]) / edge_)));
      hi[a] =
          std::min(dim_[a] - 1, static_cast<int>(std::floor((c[a] + reach - origin_[a]) / edge_)));
    }
  }
  void index() {
    if (vertices_.empty() && arcs_.empty()) return;
    edge_ = 2 * p_ > 0.5 ? 2 * p_ : 0.5;
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    auto grow = [&](const V3& x, double r) {
      const double c[3] = {x.x, x.y, x.z};
      for (int a = 0; a < 3; ++a) {
        lo[a] = std::min(lo[a], c[a] - r);
        hi[a] = std::max(hi[a], c[a] + r);
      }
    };
    for (const Vertex& v : vertices_) grow(v.y, 0);
    for (const Arc& a : arcs_) grow(a.centre, a.reach);
    for (int a = 0; a < 3; ++a) {
      origin_[a] = lo[a];
      dim_[a] = std::max(1, static_cast<int>(std::floor((hi[a] - lo[a]) / edge_)) + 1);
    }
    const std::size_t cells = static_cast<std::size_t>(dim_[0]) * dim_[1] * dim_[2];
    int r[3], s[3];
    std::vector<std::pair<std::size_t, int>> placed;
    placed.reserve(vertices_.size());
    for (std::size_t k = 0; k < vertices_.size(); ++k) {
      cell_range(vertices_[k].y, 0, r, s);
      placed.emplace_back(static_cast<std::size_t>((r[0] * dim_[1] + r[1]) * dim_[2] + r[2]),
                          static_cast<int>(k));
    }
    vertex_cells_.fill(cells, placed);
    placed.clear();
    for (std::size_t k = 0; k < arcs_.size(); ++k) {
      cell_range(arcs_[k].centre, arcs_[k].reach, r, s);
      for (int i = r[0]; i <= s[0]; ++i)
        for (int j = r[1]; j <= s[1]; ++j)
          for (int l = r[2]; l <= s[2]; ++l)
            placed.emplace_back(static_cast<std::size_t>((i * dim_[1] + j) * dim_[2] + l),
                                static_cast<int>(k));
    }
    arc_cells_.fill(cells, placed);
    indexed_ = true;
    seen_arc_.assign(arcs_.size(), 0);
  }

  double p_;
  // With sites, circles are kept by their points' distance, not their discs'.
  const std::vector<V3>* sites_;
  double site_margin_;
  std::vector<Ball> balls_;
  KeyMap circle_of_;
  CellLists vertex_cells_, arc_cells_;
  bool indexed_ = false;
  double origin_[3] = {0, 0, 0}, edge_ = 1;
  int dim_[3] = {0, 0, 0};
  mutable std::vector<int> seen_arc_;
  mutable int stamp_ = 0;
  std::vector<Circle> circles_;
  std::vector<Arc> arcs_;
  std::vector<Vertex> vertices_;
  KeyMap seen_;  // vertices by their balls and side
  // Per arc: its circle among the neighbourhood's, and which span.
  std::vector<std::pair<const Neighbourhood::FreeCircle*, std::size_t>> arc_source_;
};

// ---- a ball inside a convex polytope --------------------------------------

// A half-space n.x <= e.
struct Half {
  V3 n;
  double e;
};

// Whether two points are the same bits (not merely equal: the signs of
// zeros may steer an angle).
bool identical(const V3& a, const V3& b) { return std::memcmp(&a, &b, sizeof(V3)) == 0; }

// A convex polytope about the origin as its faces, each a plane (normal
// pointing out) and its corners counterclockwise about the normal; empty
// when nothing is left.  Its buffers are kept from use to use.
class Polytope {
 public:
  // The regular tetrahedron with corners (+-D, +-D, +-D) of even sign.
  void tetrahedron(double D) {
    faces_.clear();
    pts_.clear();
    const V3 v[4] = {{D, D, D}, {D, -D, -D}, {-D, D, -D}, {-D, -D, D}};
    const int opposite[4][3] = {{1, 2, 3}, {0, 2, 3}, {0, 1, 3}, {0, 1, 2}};
    for (int k = 0; k < 4; ++k) {
      V3 a = v[opposite[k][0]], b = v[opposite[k][1]], c = v[opposite[k][2]];
      V3 n = cross(sub(b, a), sub(c, a));
      if (dot(n, sub(v[k], a)) > 0) {
        std::swap(b, c);
        n = times(-1, n);
      }
      n = unit(n);
      faces_.push_back(Face{Half{n, dot(n, a)}, static_cast<int>(pts_.size()), 3});
      pts_.insert(pts_.end(), {a, b, c});
    }
    uniq_.assign(v, v + 4);
    slack_ = 1e-12 * std::sqrt(3.0) * D;
  }
  void assign(const Polytope& o) {
    faces_ = o.faces_;
    pts_ = o.pts_;
    uniq_ = o.uniq_;
    slack_ = o.slack_;
  }
  bool empty() const { return faces_.empty(); }
  // Whether the last clip changed it.
  bool moved() const { return moved_; }
  // Every corner, once (the corners of the faces, each bit pattern once).
  const std::vector<V3>& corners() const { return uniq_; }

  // Keeps the part on the plane's inner side; false when nothing is left.
  // Corners within the slack of the plane count as inside.
  bool clip(const Half& h) {
    // The faces' corners and uniq_ hold the same points: the same answers.
    // Whether some corner is out, then (the corners before the first out
    // being in) whether some is in.
    const V3* x = uniq_.data();
    const V3* const end = x + uniq_.size();
    const double nx = h.n.x, ny = h.n.y, nz = h.n.z, e = h.e, slack = slack_;
    auto out_of = [&](const V3& c) { return nx * c.x + ny * c.y + nz * c.z - e > slack; };
    while (x != end && !out_of(*x)) ++x;
    moved_ = x != end;
    if (!moved_) return !faces_.empty();
    bool in = x != uniq_.data();
    if (!in)
      for (const V3* r = x + 1; r != end && !in; ++r) in = !out_of(*r);
    if (!in) {
      faces_.clear();
      pts_.clear();
      uniq_.clear();
      return false;
    }
    // The new faces, corners and cap points written in buffers that only
    // grow (a side gives at most its first corner and a cap point), the
    // faces and corners then copied back.
    const std::size_t room = 2 * pts_.size();
    if (pts2_.size() < room) pts2_.resize(2 * room);
    if (faces2_.size() < faces_.size()) faces2_.resize(2 * faces_.size());
    if (cap_.size() < pts_.size()) {
      cap_.resize(2 * pts_.size());
      cap_at_.resize(2 * pts_.size());
      ucap_.resize(2 * pts_.size());
    }
    V3* const out = pts2_.data();
    V3* const cap = cap_.data();
    V3* const ucap = ucap_.data();
    std::size_t* const cap_at = cap_at_.data();
    Face* const faces = faces2_.data();
    std::size_t np = 0, nc = 0, nu = 0, nf = 0;
    // Each corner kept (as the faces' loop judges it) stays on a face,
    // unless every face it lies on is dropped with one or two corners.
    uniq2_.clear();
    for (const V3& x : uniq_)
      if (dot(h.n, x) - h.e <= slack_) uniq2_.push_back(x);
    bool dropped = false;
    for (const Face& f : faces_) {
      const std::size_t from = np;
      // Each corner's distance once: the next side's start is this one's end.
      const double d0 = dot(h.n, pts_[static_cast<std::size_t>(f.from)]) - h.e;
      double dnext = d0;
      const V3* const corners = pts_.data() + f.from;
      for (int k = 0; k < f.n; ++k) {
        const V3& p = corners[k];
        const V3& q = corners[k + 1 < f.n ? k + 1 : 0];
        const double dp = dnext, dq = k + 1 < f.n ? dot(h.n, q) - h.e : d0;
        dnext = dq;
        const bool pin = dp <= slack_, qin = dq <= slack_;
        if (pin) out[np++] = p;
        if (pin != qin) {
          // From the inner corner, so that both faces of the side get the
          // same point.
          const V3& a = pin ? p : q;
          const V3& b = pin ? q : p;
          const double da = pin ? dp : dq, db = pin ? dq : dp;
          const V3 x = along(a, da / (da - db), sub(b, a));
          out[np++] = x;
          std::size_t at = 0;
          while (at < nu && !identical(ucap[at], x)) ++at;
          if (at == nu) ucap[nu++] = x;
          cap[nc] = x;
          cap_at[nc++] = at;
        }
      }
      const int n = static_cast<int>(np - from);
      if (n >= 3) {
        faces[nf++] = Face{f.plane, static_cast<int>(from), n};
      } else {
        np = from;
        dropped = dropped || n > 0;
      }
    }
    ncap_ = nc;
    nucap_ = nu;
    faces_.assign(faces, faces + nf);
    pts_.assign(out, out + np);
    if (dropped) {
      // Rare: the corners again from the faces.
      uniq2_.clear();
      for (const V3& x : pts_) {
        bool seen = false;
        for (const V3& u : uniq2_) seen = seen || identical(u, x);
        if (!seen) uniq2_.push_back(x);
      }
    } else {
      uniq2_.insert(uniq2_.end(), ucap, ucap + nu);
    }
    uniq_.swap(uniq2_);
    if (nc >= 3) add_cap(h);
    return true;
  }

  // The ball of radius R about the origin inside: its volume and its
  // sphere's area there, face by face over the cones from the centre.
  void ball(double R, double* volume, double* area) const {
    *volume = *area = 0;
    for (const Face& f : faces_) {
      const double dist = f.plane.e;
      const double h = std::fabs(dist);
      // A plane through the centre gives flat cones.
      if (!(h > 1e-12 * R)) continue;
      Section s;
      s.m = dist > 0 ? f.plane.n : times(-1, f.plane.n);
      s.o = times(dist, f.plane.n);
      s.h = h;
      s.R = R;
      s.disc2 = h < R ? R * R - h * h : 0;
      s.sector_volume = h * R * R / 2 - h * h * h / 6 - R * R * R / 3;
      s.sector_area = R * (R - h);
      const V3* const corners = pts_.data() + f.from;
      for (int k = 0; k < f.n; ++k)
        side(s, corners[k], corners[k + 1 < f.n ? k + 1 : 0], volume, area);
    }
  }

 private:
  struct Face {
    Half plane;
    int from, n;
  };

  // The new face's corners in order about its normal, each once.
  void add_cap(const Half& h) {
    V3 g{0, 0, 0};
    for (std::size_t k = 0; k < ncap_; ++k) g = add(g, cap_[k]);
    g = times(1.0 / static_cast<double>(ncap_), g);
    const V3 u = orthogonal(h.n), w = cross(h.n, u);
    // A point met from both faces of its side is the same bits twice: its
    // angle once.
    // (Both lists in buffers that only grow.)
    if (angle_.size() < nucap_) angle_.resize(2 * nucap_);
    for (std::size_t k = 0; k < nucap_; ++k) {
      const V3& x = ucap_[k];
      const V3 d = sub(x, g);
      angle_[k] = std::atan2(dot(d, w), dot(d, u));
    }
    if (order_.size() < ncap_) order_.resize(2 * ncap_);
    for (std::size_t k = 0; k < ncap_; ++k) order_[k] = std::make_pair(angle_[cap_at_[k]], k);
    const auto order_end = order_.begin() + static_cast<std::ptrdiff_t>(ncap_);
    std::sort(order_.begin(), order_end);
    const int from = static_cast<int>(pts_.size());
    auto same = [](const V3& a, const V3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; };
    for (auto o = order_.begin(); o != order_end; ++o) {
      const V3& x = cap_[o->second];
      if (static_cast<int>(pts_.size()) > from && same(x, pts_.back())) continue;
      pts_.push_back(x);
    }
    while (static_cast<int>(pts_.size()) - from > 1 &&
           same(pts_.back(), pts_[static_cast<std::size_t>(from)]))
      pts_.pop_back();
    const int n = static_cast<int>(pts_.size()) - from;
    if (n >= 3)
      faces_.push_back(Face{h, from, n});
    else
      pts_.resize(static_cast<std::size_t>(from));
  }

  // The ball's part in the cone from the centre over a triangle (o, x, y),
  // o the foot of the centre on the face's plane at distance h, m the unit
  // normal towards the plane.  Per radian of the disc's sector: the sector
  // adds (h/3) of its area and takes away R^3/3 of its solid angle (1 - h/R
  // per radian) from the volume, and R^2 of that solid angle from the
  // sphere's area.
  struct Section {
    V3 o, m;
    double h, R, disc2, sector_volume, sector_area;
  };
  // Signed solid angle of the triangle (a, b, q) seen from the origin.
  static double solid_angle(const V3& x, const V3& y, const V3& z) {
    const double lx = norm(x), ly = norm(y), lz = norm(z);
    const double num = dot(x, cross(y, z));
    const double den = lx * ly * lz + dot(x, y) * lz + dot(x, z) * ly + dot(y, z) * lx;
    return 2 * std::atan2(num, den);
  }
  static void inside(const Section& s, const V3& x, const V3& y, double* volume) {
    *volume += s.h / 6 * dot(s.m, cross(sub(x, s.o), sub(y, s.o)));
  }
  static void outside(const Section& s, const V3& x, const V3& y, double* volume, double* area) {
    const double solid = solid_angle(s.o, x, y);
    *volume += s.R * s.R * s.R / 3 * solid;
    *area += s.R * s.R * solid;
    if (s.disc2 > 0) {
      const V3 a = sub(x, s.o), b = sub(y, s.o);
      const double turn = std::atan2(dot(s.m, cross(a, b)), dot(a, b));
      *volume += s.sector_volume * turn;
      *area -= s.sector_area * turn;
    }
  }
  static void side(const Section& s, const V3& p, const V3& q, double* volume, double* area) {
    if (s.disc2 > 0) {
      // Where p + t (q - p) meets the rim: |f + t d|^2 = disc2.
      const V3 d = sub(q, p), f = sub(p, s.o);
      const double a = dot(d, d), b = dot(f, d), k = dot(f, f) - s.disc2;
      const double disc = b * b - a * k;
      if (a > 0 && disc > 0) {
        const double root = std::sqrt(disc);
        const double lo = std::min(1.0, std::max(0.0, (-b - root) / a));
        const double hi = std::min(1.0, std::max(0.0, (-b + root) / a));
        if (lo < hi) {
          const V3 x = along(p, lo, d), y = along(p, hi, d);
          inside(s, x, y, volume);
          if (lo > 0) outside(s, p, x, volume, area);
          if (hi < 1) outside(s, y, q, volume, area);
          return;
        }
      }
    }
    outside(s, p, q, volume, area);
  }

  std::vector<Face> faces_, faces2_;
  std::vector<V3> pts_, pts2_, cap_;
  // The corners, each bit pattern once; the cap's points likewise, and
  // where each of cap_ is among them.
  std::vector<V3> uniq_, uniq2_, ucap_;
  std::vector<std::size_t> cap_at_;
  std::size_t ncap_ = 0, nucap_ = 0;  // the cap points in cap_, and in ucap_
  std::vector<double> angle_;
  std::vector<std::pair<double, std::size_t>> order_;
  double slack_ = 0;
  bool moved_ = false;
};

// Buffers of the measures, kept from piece to piece.
struct Scratch {
  Polytope common, part;
  // A patch's polytope after the planes its fine and coarse runs share,
  // kept by the fine run for the coarse one.
  Polytope shared;
  bool shared_left = false;
  const void* shared_for = nullptr;
  std::vector<std::size_t> owners;
  std::vector<Half> cell, planes;
  std::vector<char> fine_only;  // per plane
  std::vector<int> ids;
};
Scratch& scratch() {
  static thread_local Scratch s;
  return s;
}

// ---- pieces and their measures ------------------------------------------

// A piece of A's boundary with its normal segments: the probe patch of a
// vertex or the torus of (part of) an arc.
struct Piece {
  enum Kind { kPatch, kTorus } kind = kPatch;
  int vertex = -1;            // patch
  int circle = -1;            // torus
  int arc = -1, part = 0;     // torus: its arc, and which part of it
  int own[3] = {-1, -1, -1};  // the spheres the base points lie on
  double b0 = 0, b1 = 0;      // torus: its angles on the circle
  // Bounding sphere of everything the segments reach.
  V3 centre{0, 0, 0};
  double radius = 0;
  // Competitors (vertices, arcs); the `extra` ones, when there are any,
  // are those whose effect alone is measured besides.  Candidate owners of
  // segment points.
  std::vector<int> points, arcs, extra_points, extra_arcs, owners;
};

// Where a region (a tetrahedron) holds points: n.x <= e for its four faces.
struct Region {
  V3 n[4];
  double e[4];
  bool holds(const V3& x, double slack) const {
    for (int k = 0; k < 4; ++k)
      if (dot(n[k], x) > e[k] + slack) return false;
    return true;
  }
};

Region region_of(const tetra& t) {
  V3 v[4];
  for (int k = 0; k < 4; ++k) v[k] = V3{t.v[k]->x, t.v[k]->y, t.v[k]->z};
  Region r;
  for (int k = 0; k < 4; ++k) {
    const V3 &a = v[(k + 1) % 4], &b = v[(k + 2) % 4], &c = v[(k + 3) % 4];
    V3 n = unit(cross(sub(b, a), sub(c, a)));
    if (dot(n, sub(v[k], a)) > 0) n = times(-1, n);
    r.n[k] = n;
    r.e[k] = dot(n, a);
  }
  return r;
}

bool inside_any(const std::vector<Region>& regions, const V3& x) {
  for (const Region& r : regions)
    if (r.holds(x, 1e-9)) return true;
  return false;
}

// What one piece adds: per candidate owner the area of the surface and the
// volume of the segments, the area the competitors cut away, and of that
// what the extra competitors take from what the others leave.
struct Tally {
  std::vector<double> area, volume;
  double trimmed = 0, taken = 0;
  void reset(std::size_t n) {
    area.assign(n, 0.0);
    volume.assign(n, 0.0);
    trimmed = taken = 0;
  }
  void add(const Tally& o, double w) {
    for (std::size_t k = 0; k < area.size(); ++k) {
      area[k] += w * o.area[k];
      volume[k] += w * o.volume[k];
    }
    trimmed += w * o.trimmed;
    taken += w * o.taken;
  }
};

// The points that stand for the competitors of a piece: its vertices, and
// points along its arcs (against points the cut surfaces are planes).  An
// arc of radius rho and angle span gets 2n intervals, n = span rho /
// spacing rounded up; `coarse` tells the points of every other one.
// Between two neighbouring points an arc comes nearer than either by at
// most (their distance)^2 / 8 over the distance.  Only points that can
// come within p of the piece's segments.
struct Competitors {
  std::vector<V3> at;
  std::vector<char> kind;  // 0 a vertex; 1 a point of an arc, also of the coarse set; 2 not
  // For a patch, once keep_cutting has kept them: each point's bisector
  // with the patch's vertex.
  std::vector<Half> bisector;
  void add(const V3& z, char k) {
    at.push_back(z);
    kind.push_back(k);
  }
  bool coarse(std::size_t k) const { return kind[k] < 2; }
  void clear() {
    at.clear();
    kind.clear();
    bisector.clear();
  }
  // Keeps the points for which keep(k) holds, in order.
  template <class Keep>
  void keep_if(Keep&& keep) {
    std::size_t n = 0;
    for (std::size_t k = 0; k < at.size(); ++k)
      if (keep(k)) {
        at[n] = at[k];
        kind[n] = kind[k];
        ++n;
      }
    at.resize(n);
    kind.resize(n);
  }
};

// `beyond(centre, reach)` tells arcs (by their bounding spheres) none of
// whose points can count.
template <class Beyond>
void competitor_points(const Boundary& B, const Piece& q, const std::vector<int>& points,
                       const std::vector<int>& arcs, double spacing, Competitors& out,
                       Beyond&& beyond) {
  const double reach = q.radius + B.probe();
  for (int k : points) out.add(B.vertices()[k].y, 0);
  for (int k : arcs) {
    const Arc& a = B.arcs()[k];
    if (beyond(a.centre, a.reach)) continue;
    const Circle& o = B.circles()[a.circle];
    const int n = 2 * std::max(1, static_cast<int>(std::ceil(a.span * o.rho / spacing)));
    // Only where the arc comes within reach: |z(s) - centre|^2 < reach^2,
    // trigonometric of degree one in s.
    const V3 w = sub(o.m, q.centre);
    static thread_local Spans in;
    in.clear();
    // An arc whose bounding sphere lies well within reach is within it
    // whole: its angles need no solving.
    if (std::sqrt(dist2(a.centre, q.centre)) + a.reach < reach - 1e-9 * (1 + reach))
      in.push_back(Span{a.lo, a.lo + a.span});
    else
      negative_part(dot(w, w) + o.rho * o.rho - reach * reach, 2 * o.rho * dot(w, o.e1),
                    2 * o.rho * dot(w, o.e2), a.lo, a.lo + a.span, in);
    const bool whole = a.span >= kTwoPi;
    for (const Span& x : in) {
      // The ends of an arc are vertices, listed already when they count.
      const int from =
          std::max(whole ? 0 : 1, static_cast<int>(std::ceil((x.lo - a.lo) / a.span * n)));
      const int to = std::min(n - 1, static_cast<int>(std::floor((x.hi - a.lo) / a.span * n)));
      if (from > to) continue;
      const std::vector<V3>& along_arc = B.arc_points(k, spacing);
      for (int i = from; i <= to; ++i)
        out.add(along_arc[static_cast<std::size_t>(i)], i % 2 == 0 ? 1 : 2);
    }
  }
}

// The power cell of owner m among the others, as half-spaces.
void cell_of(const Boundary& B, const std::vector<int>& owners, std::size_t m,
             std::vector<Half>& out) {
  const Ball& a = B.balls()[owners[m]];
  for (std::size_t k = 0; k < owners.size(); ++k) {
    if (k == m) continue;
    const Ball& b = B.balls()[owners[k]];
    // |x - ca|^2 - Ra^2 <= |x - cb|^2 - Rb^2
    const V3 d = sub(b.c, a.c);
    const double l = norm(d);
    if (!(l > 0)) continue;
    const double e = (dot(b.c, b.c) - dot(a.c, a.c) - b.R * b.R + a.R * a.R) / 2;
    out.push_back(Half{times(1.0 / l, d), e / l});
  }
}

// The owners that can hold a point x of a piece's region about y: ball m
// beats own ball j at x only if pow_m(y) - pow_j(y) + 2 (c_j - c_m) . (x -
// y) < 0, and it must beat every own ball.  never(g, gap) tells, from a
// lower bound of g . (x - y), that gap + 2 g . (x - y) < 0 nowhere.
template <class Never>
void owners_near(const Boundary& B, const Piece& q, const V3& y, Never&& never,
                 std::vector<std::size_t>& out) {
  out.clear();
  for (std::size_t m = 0; m < q.owners.size(); ++m) {
    const Ball& b = B.balls()[q.owners[m]];
    bool can = true;
    for (int j : q.own) {
      if (j < 0 || q.owners[m] == j) continue;
      const Ball& J = B.balls()[j];
      const double gap = (dist2(y, b.c) - b.R * b.R) - (dist2(y, J.c) - J.R * J.R);
      if (never(sub(J.c, b.c), gap)) {
        can = false;
        break;
      }
    }
    if (can) out.push_back(m);
  }
}

// The spherical triangle of directions (n[0], n[1], n[2]), with the
// normals of its sides' planes, made once for many directions.
struct Cone {
  V3 n[3];
  V3 side[3];      // n[i + 1] x n[i + 2]
  bool in[3];      // n[i] on its positive side
  V3 unit_side[3];
  bool flat[3];    // the side's normal vanishes
  // For a cone well away from flat: a cap (axis, cosine and sine of its
  // angle) holding the three directions, hence the cone's sides; and the
  // unit normals of the sides' planes, into the cone.
  bool capped = false;
  V3 axis{0, 0, 0}, inward[3];
  double cap_cos = 1, cap_sin = 0;
  // Whether the cone lies on the inner side of each side's plane, the
  // normals as sound as for a capped cone: so for a capped cone, and for
  // one whose sides' normals are far from vanishing and that each
  // direction clearly lies off the opposite side's plane (the sides then
  // face the right way, however wide the cone).
  bool sided = false;
  explicit Cone(const V3* dirs) {
    bool sound = true, off = true;
    for (int i = 0; i < 3; ++i) n[i] = dirs[i];
    for (int i = 0; i < 3; ++i) {
      side[i] = cross(n[(i + 1) % 3], n[(i + 2) % 3]);
      const double det = dot(side[i], n[i]);
      in[i] = det >= 0;
      off = off && std::fabs(det) >= 1e-6;
      const double gl = norm(side[i]);
      flat[i] = !(gl > 0);
      unit_side[i] = flat[i] ? side[i] : times(1.0 / gl, side[i]);
      sound = sound && gl >= 1e-4;
    }
    if (sound)
      for (int i = 0; i < 3; ++i) inward[i] = in[i] ? unit_side[i] : times(-1, unit_side[i]);
    const V3 sum = add(n[0], add(n[1], n[2]));
    const double sl = norm(sum);
    if (sound && sl >= 0.1) {
      axis = times(1.0 / sl, sum);
      cap_cos = std::min(dot(axis, n[0]), std::min(dot(axis, n[1]), dot(axis, n[2])));
      cap_sin = std::sqrt(std::max(0.0, 1 - cap_cos * cap_cos));
      capped = cap_cos >= 0.01 && cap_cos <= 0.9999;
    }
    sided = capped || (sound && off);
  }
};

// The largest cosine between d and a direction of the cone.
double cone_reach(const Cone& c, const V3& d) {
  bool inside = true;
  for (int i = 0; i < 3 && inside; ++i) inside = (dot(c.side[i], d) >= 0) == c.in[i];
  if (inside) return 1;
  const V3* n = c.n;
  double best = -1;
  for (int i = 0; i < 3; ++i) {
    const V3 &u = n[(i + 1) % 3], &w = n[(i + 2) % 3];
    best = std::max(best, std::max(dot(u, d), dot(w, d)));
    if (c.flat[i]) continue;
    const V3& g = c.unit_side[i];
    const V3 q = along(d, -dot(d, g), g);
    const double ql = norm(q);
    if (!(ql > 0)) continue;
    const V3 qh = times(1.0 / ql, q);
    if (dot(cross(u, qh), g) >= 0 && dot(cross(qh, w), g) >= 0) best = std::max(best, ql);
  }
  return best;
}

// Whether cone_reach(c, d) * 2 * p > l.  The same terms as cone_reach;
// best never decreases (NaN never enters it: max keeps its first argument
// then) and rounding is monotone, so once best * 2 * p exceeds l the answer
// is known, and the order of the maxima does not change their value.
bool cone_reaches(const Cone& c, const V3& d, double p, double l) {
  bool inside = true;
  for (int i = 0; i < 3 && inside; ++i) inside = (dot(c.side[i], d) >= 0) == c.in[i];
  if (inside) return 1.0 * 2 * p > l;
  const V3* n = c.n;
  const double a[3] = {dot(n[0], d), dot(n[1], d), dot(n[2], d)};
  double best = -1;
  for (int i = 0; i < 3; ++i) best = std::max(best, std::max(a[(i + 1) % 3], a[(i + 2) % 3]));
  if (best * 2 * p > l) return true;
  if (c.capped) {
    // The sides' points that count below lie on the sides, within about
    // 1e-15 / |side| (>= 1e-4) of them, so in the cap and on the inner
    // side of every side's plane: their cosines with d are at most
    // cos(angle(d, axis) - cap angle), and sqrt(1 - v^2) for a plane that
    // d lies v beyond, each + 1e-10.  When even the least of those (with
    // room for rounding) leaves best * 2 * p <= l, so do they.
    double most = 1;
    const double cm = dot(c.axis, d);
    if (cm < c.cap_cos)
      most = cm * c.cap_cos + std::sqrt(std::max(0.0, 1 - cm * cm)) * c.cap_sin;
    const double v =
        -std::min(dot(c.inward[0], d), std::min(dot(c.inward[1], d), dot(c.inward[2], d)));
    if (v > 0) most = std::min(most, std::sqrt(std::max(0.0, 1 - v * v)));
    if ((most + 1e-9) * 2 * p <= l) return false;
  }
  for (int i = 0; i < 3; ++i) {
    if (c.flat[i]) continue;
    const V3 &u = n[(i + 1) % 3], &w = n[(i + 2) % 3];
    const V3& g = c.unit_side[i];
    const V3 q = along(d, -dot(d, g), g);
    const double ql = norm(q);
    if (!(ql > 0)) continue;
    // A side whose greatest cosine cannot pass leaves the answer as it is
    // (max and rounding are monotone): where it lies is not needed.
    if (ql * 2 * p <= l) continue;
    const V3 qh = times(1.0 / ql, q);
    if (dot(cross(u, qh), g) >= 0 && dot(cross(qh, w), g) >= 0) {
      best = std::max(best, ql);
      if (best * 2 * p > l) return true;
    }
  }
  return false;
}

// What a run of a piece's measure met: arc points among a patch's planes
// or among the points that cut a slice; and whether a point of the fine
// set alone changed a polytope or a polygon (when none did, the coarse run
// meets the same polytopes and polygons, one for one: the same values).
struct RunUse {
  bool arc = false, fine = false;
};

// The bisectors of the points that cut the ball B(y, p) inside the cone of
// the directions n (of the coarse set only, when asked): those that
// keep_cutting kept, made there; with whether each is of the fine set
// alone.
void cone_bisectors(const Competitors& pts, bool coarse, std::vector<Half>& out,
                    std::vector<char>& fine_only, RunUse* use) {
  for (std::size_t k = 0; k < pts.at.size(); ++k) {
    if (coarse && !pts.coarse(k)) continue;
    out.push_back(pts.bisector[k]);
    fine_only.push_back(!pts.coarse(k));
    if (pts.kind[k] != 0) use->arc = true;
  }
}

// Whether keep_cutting keeps no point of the arc: every point z of its
// bounding sphere lies farther than p from every y + p w, w in the cone,
// beyond rounding (z is kept only when some |z - y - p w| < p: the cone's
// greatest cosine with z - y exceeds |z - y| / 2p).  The distance is
// 1-Lipschitz in z, so the sphere's centre a with room for its radius r
// settles it: |a - y - p w|^2 = |a - y|^2 + p^2 - 2 p (a - y).w.  Only for
// a sided cone, whose sides' normals are far from vanishing and face the
// right way.
bool beyond_patch(const Cone& cone, const V3& y, double p, const V3& centre, double reach) {
  if (!cone.sided) return false;
  const V3 d = sub(centre, y);
  const double l = norm(d), need = p + reach;
  if (!(l > need)) return false;
  const double most = cone_reach(cone, times(1.0 / l, d));
  return l * l + p * p - 2 * p * l * most > need * need + 1e-9 * (1 + l * l + p * p + need * need);
}

// Keeps the points whose bisectors cut the ball B(y, p) inside the cone,
// with their bisectors.
void keep_cutting(const V3& y, double p, const Cone& cone, Competitors& pts) {
  pts.bisector.clear();
  // A point z is kept only when z - y = d comes within p of some p w, w in
  // the cone: |d|^2 < 2p d.w.  The cone lies in its cap, where d.w is at
  // most t cos + s sin (t = d.axis, s = |d - t axis|) once d lies outside
  // the cap, and on the inner side of each side's plane, where d.w is at
  // most sqrt(|d|^2 - v^2) when d lies v beyond it; squared, without roots
  // or divisions.  Points whose bound stays below |d|^2 by a margin far
  // above rounding are dropped unlooked at (d at least p / 100 long, so
  // that the margin dwarfs the rounding of 2p t cos and the sides'
  // normals' error, below 1e-12 for a sided cone, times 2p |d|).  The
  // sides' bound holds for any sided cone, the cap's for a capped one.
  const double cc = cone.cap_cos, ss = cone.cap_sin * cone.cap_sin, p2 = p * p;
  pts.keep_if([&](std::size_t k) {
    const V3 d = sub(pts.at[k], y);
    if (cone.sided) {
      const double l2 = dot(d, d);
      if (l2 > 1e-4 * p2) {
        const double low = l2 * (1 - 1e-9);
        if (cone.capped) {
          const double t = dot(cone.axis, d);
          if (t < 0 || t * t < l2 * (cc * cc) * (1 - 1e-9)) {
            const double room = low - 2 * p * t * cc;
            if (room > 0 && 4 * p2 * (l2 - t * t) * ss < room * room) return false;
          }
        }
        const double v = -std::min(dot(cone.inward[0], d),
                                   std::min(dot(cone.inward[1], d), dot(cone.inward[2], d)));
        if (v > 0 && 4 * p2 * (l2 - v * v) < low * low) return false;
      }
    }
    const double l = norm(d);
    if (!(l > 1e-9) || l >= 2 * p) return false;
    const V3 u = times(1.0 / l, d);
    if (!cone_reaches(cone, u, p, l)) return false;
    pts.bisector.push_back(Half{u, dot(u, y) + l / 2});
    return true;
  });
}

// The probe patch of a vertex: the ball B(y, p) inside the cone of the
// directions to the three centres and nearer to y than to every competitor
// point (the extra ones as well), per owner's power cell.
void patch_measure(const Boundary& B, const Piece& q, const Competitors& pts,
                   const Competitors& extra, bool coarse, Tally& t, RunUse* use) {
  const double p = B.probe();
  const Vertex& vx = B.vertices()[q.vertex];
  const V3 y = vx.y;
  V3 n[3];
  for (int i = 0; i < 3; ++i) n[i] = unit(sub(B.balls()[vx.balls[i]].c, y));
  std::vector<Half>& hs = scratch().planes;
  std::vector<char>& fine_only = scratch().fine_only;
  hs.clear();
  fine_only.assign(3, 0);
  for (int i = 0; i < 3; ++i) {
    V3 g = cross(n[(i + 1) % 3], n[(i + 2) % 3]);
    const double l = norm(g);
    if (!(l > 1e-12)) return;
    g = times(1.0 / l, g);
    if (dot(g, n[i]) > 0) g = times(-1, g);
    hs.push_back(Half{g, dot(g, y)});
  }
  // The whole patch: p^2 times the solid angle of the cone.
  const double solid = 2 * std::atan2(std::fabs(dot(n[0], cross(n[1], n[2]))),
                                      1 + dot(n[0], n[1]) + dot(n[1], n[2]) + dot(n[2], n[0]));
  const double whole = p * p * solid;
  cone_bisectors(pts, coarse, hs, fine_only, use);
  // About y, within a regular tetrahedron about the ball (corners at three
  // times its inradius).
  Polytope& common = scratch().common;
  auto cut = [&](Polytope& poly, const Half& h, bool fine) {
    // Planes that miss the ball are left out.
    const double e = h.e - dot(h.n, y);
    if (e >= p) return true;
    const bool left = poly.clip(Half{h.n, e});
    if (fine && poly.moved()) use->fine = true;
    return left;
  };
  // The polytope's own planes tell those of the fine set alone.
  auto cut_range = [&](Polytope& poly, const std::vector<Half>& list, std::size_t from,
                       std::size_t to) {
    for (std::size_t k = from; k < to; ++k)
      if (!cut(poly, list[k], &list == &hs && fine_only[k])) return false;
    return true;
  };
  auto cut_all = [&](Polytope& poly, const std::vector<Half>& list, std::size_t from) {
    return cut_range(poly, list, from, list.size());
  };
  // The cone's planes and those of the leading points of the coarse set
  // (the vertices come first) open both runs alike: the coarse run takes
  // up the fine run's polytope after them.
  Scratch& sc = scratch();
  std::size_t shared = 3;
  while (shared - 3 < pts.at.size() && pts.coarse(shared - 3)) ++shared;
  bool left;
  if (coarse && sc.shared_for == &q) {
    common.assign(sc.shared);
    left = sc.shared_left;
  } else {
    common.tetrahedron(1.01 * std::sqrt(3.0) * p);
    left = cut_range(common, hs, 0, shared);
    bool again = false;  // arc points among the competitors: a coarse run follows
    for (const Competitors* c : {&pts, &extra})
      for (const char k : c->kind) again = again || k != 0;
    if (!coarse && again) {
      sc.shared.assign(common);
      sc.shared_left = left;
      sc.shared_for = &q;
    }
  }
  if (coarse) sc.shared_for = nullptr;
  left = left && cut_all(common, hs, shared);
  double vol = 0, area = 0;
  if (!extra.at.empty()) {
    if (left) common.ball(p, &vol, &area);
    t.taken += area;
    const std::size_t from = hs.size();
    cone_bisectors(extra, coarse, hs, fine_only, use);
    left = left && cut_all(common, hs, from);
    vol = area = 0;
    if (left) common.ball(p, &vol, &area);
    t.taken -= area;
  } else if (left) {
    common.ball(p, &vol, &area);
  }
  t.trimmed += std::max(0.0, whole - area);
  if (!left || !(area > 0 || vol > 0)) return;
  // Its points x = y + t u lie in the cone (t <= p) and in the hull of
  // the corners.
  std::vector<std::size_t>& owners = scratch().owners;
  const Cone directions(n);
  owners_near(
      B, q, y,
      [&](const V3& g, double gap) {
        double in = HUGE_VAL;
        for (const V3& x : common.corners()) in = std::min(in, dot(g, x));
        // max(least, in) >= in (least is never NaN) and rounding is
        // monotone: when the corners settle it, the cone is not needed.
        if (gap + 2 * in >= 0) return true;
        const double l = norm(g);
        const double least =
            l > 0 ? -p * std::max(0.0, l * cone_reach(directions, times(-1 / l, g))) : 0;
        return gap + 2 * std::max(least, in) >= 0;
      },
      owners);
  if (owners.size() == 1) {
    t.area[owners[0]] += area;
    t.volume[owners[0]] += vol;
    return;
  }
  // Each owner's part: the common part within its power cell.
  Polytope& part = scratch().part;
  std::vector<Half>& cell = scratch().cell;
  std::vector<int>& ids = scratch().ids;
  ids.clear();
  for (std::size_t m : owners) ids.push_back(q.owners[m]);
  for (std::size_t k = 0; k < owners.size(); ++k) {
    cell.clear();
    cell_of(B, ids, k, cell);
    part.assign(common);
    if (!cut_all(part, cell, 0)) continue;
    double v = 0, a = 0;
    part.ball(p, &v, &a);
    t.area[owners[k]] += a;
    t.volume[owners[k]] += v;
  }
}

// ---- the half-plane of a torus -------------------------------------------

struct P2 {
  double u, v;
};

// The cut of clip2 once some corner lies outside.
void cut2(std::vector<P2>& poly, double a, double b, double c, std::vector<P2>& work) {
  work.clear();
  const std::size_t n = poly.size();
  for (std::size_t k = 0; k < n; ++k) {
    const P2& P = poly[k];
    const P2& Q = poly[k + 1 < n ? k + 1 : 0];
    const double fp = a * P.u + b * P.v - c, fq = a * Q.u + b * Q.v - c;
    if (fp <= 0) work.push_back(P);
    if ((fp < 0 && fq > 0) || (fp > 0 && fq < 0)) {
      const double s = fp / (fp - fq);
      work.push_back(P2{P.u + s * (Q.u - P.u), P.v + s * (Q.v - P.v)});
    }
  }
  poly.swap(work);
}

// Keeps the part of the convex polygon (counterclockwise) where
// a u + b v <= c.  Most lines leave every corner inside: that test is made
// in the caller, without a call.
inline bool clip2(std::vector<P2>& poly, double a, double b, double c, std::vector<P2>& work) {
  const P2* P = poly.data();
  const P2* const end = P + poly.size();
  while (P != end && !(a * P->u + b * P->v - c > 0)) ++P;
  if (P == end) return false;
  cut2(poly, a, b, c, work);
  return true;
}

// The part of a convex polygon (counterclockwise, containing the origin or
// not) inside the disc of radius R about the origin: the integral of
// (rho - u) over it, and the integral of (rho - R cos a) R da over the
// arcs of the circle inside the polygon (a the angle from the u axis).
void disc_part(const std::vector<P2>& poly, double R, double rho, double* vol, double* area) {
  *vol = *area = 0;
  const std::size_t n = poly.size();
  if (n < 3) return;
  // Green: the integral of (rho - u) is the boundary integral of
  // (rho u - u^2 / 2) dv.
  auto straight = [&](const P2& A, const P2& B) {
    const double du = B.u - A.u, dv = B.v - A.v;
    *vol += dv * (rho * (A.u + du / 2) - (A.u * A.u + A.u * du + du * du / 3) / 2);
  };
  auto arc = [&](double a0, double a1) {
    while (a1 < a0) a1 += kTwoPi;
    auto c2 = [](double x) { return (x + std::sin(x) * std::cos(x)) / 2; };
    auto c3 = [](double x) {
      const double s = std::sin(x);
      return s - s * s * s / 3;
    };
    *vol += rho * R * R * (c2(a1) - c2(a0)) - R * R * R / 2 * (c3(a1) - c3(a0));
    *area += R * (rho * (a1 - a0) - R * (std::sin(a1) - std::sin(a0)));
  };
  // Each edge's part inside the disc, with where the boundary leaves and
  // re-enters it.
  bool any = false;
  double exit_angle = 0, first_entry = 0;
  bool have_exit = false, have_entry = false;
  for (std::size_t k = 0; k < n; ++k) {
    const P2& P = poly[k];
    const P2& Q = poly[k + 1 < n ? k + 1 : 0];
    const double du = Q.u - P.u, dv = Q.v - P.v;
    const double A = du * du + dv * dv, Bh = P.u * du + P.v * dv, C = P.u * P.u + P.v * P.v - R * R;
    if (!(A > 0)) continue;
    const double disc = Bh * Bh - A * C;
    if (disc <= 0) continue;
    const double r = std::sqrt(disc);
    const double s0 = std::max(0.0, (-Bh - r) / A), s1 = std::min(1.0, (-Bh + r) / A);
    if (!(s1 > s0)) continue;
    const P2 X{P.u + s0 * du, P.v + s0 * dv}, Y{P.u + s1 * du, P.v + s1 * dv};
    any = true;
    if (s0 > 0) {  // enters the disc here
      const double entry = std::atan2(X.v, X.u);
      if (have_exit)
        arc(exit_angle, entry);
      else {
        first_entry = entry;
        have_entry = true;
      }
      have_exit = false;
    }
    straight(X, Y);
    if (s1 < 1) {  // leaves it here
      exit_angle = std::atan2(Y.v, Y.u);
      have_exit = true;
    }
  }
  if (have_exit && have_entry) arc(exit_angle, first_entry);
  if (!any) {
    // No edge reaches the disc: it lies wholly inside the polygon, or
    // outside.
    for (std::size_t k = 0; k < n; ++k) {
      const P2& P = poly[k];
      const P2& Q = poly[k + 1 < n ? k + 1 : 0];
      if ((Q.u - P.u) * (0 - P.v) - (Q.v - P.v) * (0 - P.u) < 0) return;
    }
    arc(0, kTwoPi);
  }
}

// Buffers of the slices, kept from slice to slice.
struct SliceScratch {
  std::vector<P2> poly, work, part;
  std::vector<std::size_t> owners;
  std::vector<int> ids;
  std::vector<Half> cell;
};
SliceScratch& slice_scratch() {
  static thread_local SliceScratch s;
  return s;
}

// One half-plane of a torus, at angle b on its circle: the disc sector of
// radius p about the circle point y between the directions to the two
// centres, on y's side of the axis, nearer to y than to every competitor
// point; per owner's power cell.  Coordinates: u towards the axis, v along
// it.
// What every slice of a torus piece shares: the angles of the directions
// to the two centres, the whole slice's surface, and the sector before any
// competitor cuts it.
struct TorusFrame {
  double tj = 0, tk = 0, whole = 0;
  double cj = 1, sj = 0, ck = 1, sk = 0;  // cosines and sines of tj, tk
  std::vector<P2> start;
  // The power planes between pairs of the piece's owners (i's side), made
  // when first needed; none for balls about one centre.
  mutable std::vector<Half> planes;
  mutable std::vector<char> made;  // 0 not yet, 1 made, 2 none
  const Half* plane(const Boundary& B, const Piece& q, std::size_t i, std::size_t j) const {
    const std::size_t at = i * q.owners.size() + j;
    if (made[at] == 0) {
      const Ball& a = B.balls()[q.owners[i]];
      const Ball& b = B.balls()[q.owners[j]];
      // as in cell_of
      const V3 d = sub(b.c, a.c);
      const double l = norm(d);
      made[at] = 2;
      if (l > 0) {
        const double e = (dot(b.c, b.c) - dot(a.c, a.c) - b.R * b.R + a.R * a.R) / 2;
        planes[at] = Half{times(1.0 / l, d), e / l};
        made[at] = 1;
      }
    }
    return made[at] == 1 ? &planes[at] : nullptr;
  }
};
void torus_frame(const Boundary& B, const Piece& q, TorusFrame& f) {
  const double p = B.probe();
  const Circle& o = B.circles()[q.circle];
  const Ball &J = B.balls()[o.j], &K = B.balls()[o.k];
  const double tj = std::atan2(dot(sub(J.c, o.m), o.a), o.rho);
  const double tk = std::atan2(dot(sub(K.c, o.m), o.a), o.rho);
  // The whole slice's surface: |rho - p cos a| p over the angles (beyond
  // the axis, where rho < p cos a, the element is negative).
  auto primitive = [&](double a) { return p * (o.rho * a - p * std::sin(a)); };
  double whole = std::fabs(primitive(tk) - primitive(tj));
  if (o.rho < p) {
    const double c = std::acos(o.rho / p);
    const double a0 = std::max(tj, -c), a1 = std::min(tk, c);
    if (a1 > a0)
      whole = primitive(a0) - primitive(tj) + primitive(tk) - primitive(a1) +
              2 * (primitive(a0) - primitive(a1));
    whole = std::fabs(whole);
  }
  const double L = 1.01 * p / std::cos((tk - tj) / 2);
  f.tj = tj;
  f.tk = tk;
  f.cj = std::cos(tj);
  f.sj = std::sin(tj);
  f.ck = std::cos(tk);
  f.sk = std::sin(tk);
  f.whole = whole;
  f.start.assign(
      {{0, 0}, {L * std::cos(tj), L * std::sin(tj)}, {L * std::cos(tk), L * std::sin(tk)}});
  std::vector<P2> work;
  clip2(f.start, 1, 0, o.rho, work);
  f.planes.assign(q.owners.size() * q.owners.size(), Half{});
  f.made.assign(q.owners.size() * q.owners.size(), 0);
}

// `extra_run`: whether the piece has extra competitors (`extra` may hold
// only those of them that can meet the slice).  A coarse run's lists hold
// the coarse set alone.
void torus_slice(const Boundary& B, const Piece& q, const TorusFrame& f, double b,
                 const Competitors& pts, const Competitors& extra, bool extra_run, Tally& t,
                 RunUse* use) {
  const double p = B.probe();
  const Circle& o = B.circles()[q.circle];
  const V3 e = add(times(std::cos(b), o.e1), times(std::sin(b), o.e2));
  const V3 y = along(o.m, o.rho, e);
  const V3 w = times(-1, e);  // u axis
  const double tj = f.tj, tk = f.tk, whole = f.whole;
  SliceScratch& z = slice_scratch();
  std::vector<P2>& poly = z.poly;
  std::vector<P2>& work = z.work;
  poly = f.start;
  auto cut_by = [&](const Competitors& zs, std::vector<P2>& g) {
    for (std::size_t k = 0; k < zs.at.size(); ++k) {
      const V3 d = sub(zs.at[k], y);
      const double a = dot(d, w), c = dot(d, o.a), h = dot(d, d) / 2;
      if (h * h >= p * p * (a * a + c * c)) continue;  // the line misses the disc
      if (clip2(g, a, c, h, work)) {
        if (zs.kind[k] != 0) use->arc = true;
        if (zs.kind[k] == 2) use->fine = true;
      }
    }
  };
  cut_by(pts, poly);
  double vol, area;
  if (extra_run) {
    disc_part(poly, p, o.rho, &vol, &area);
    const double left = area;
    cut_by(extra, poly);
    disc_part(poly, p, o.rho, &vol, &area);
    t.taken += left - area;
  } else {
    disc_part(poly, p, o.rho, &vol, &area);
  }
  t.trimmed += std::max(0.0, whole - area);
  if (!(area > 0 || vol > 0)) return;
  std::vector<std::size_t>& owners = z.owners;
  // Points y + u w + v a of the polygon within p of y, in directions
  // between those to the two centres.
  owners_near(
      B, q, y,
      [&](const V3& g, double gap) {
        const double gu = dot(g, w), gv = dot(g, o.a);
        // Both bounds below are at least gap - 2p |(gu, gv)| (each greatest
        // cosine term at most |(gu, gv)|, up to rounding): a gap clearly
        // above that makes them, and so the answer, true.  (The gap within
        // 1e-100 and 1e100: no square overflows or vanishes unnoticed.)
        if (gap > 1e-100 && gap < 1e100 &&
            gap * gap >= 4 * p * p * (gu * gu + gv * gv) * (1 + 1e-9))
          return true;
        double in = HUGE_VAL;
        for (const P2& x : poly) in = std::min(in, gu * x.u + gv * x.v);
        // As for a patch: the polygon's corners may settle it alone.
        if (!poly.empty() && gap + 2 * in >= 0) return true;
        // The greatest of A cos a + B sin a over [tj, tk] (shorter than pi):
        // |(A, B)| where its angle lies within, else the larger end.  When
        // both give the same answer the angle is not needed.
        const double A = -gu, Bv = -gv;
        auto never_with = [&](double most) {
          const double least = -p * std::max(0.0, most);
          return gap + 2 * (poly.empty() ? least : std::max(least, in)) >= 0;
        };
        const bool by_ends = never_with(std::max(A * f.cj + Bv * f.sj, A * f.ck + Bv * f.sk));
        const bool by_top = never_with(std::hypot(A, Bv));
        if (by_ends == by_top) return by_ends;
        const double top = std::atan2(Bv, A);
        return top >= tj && top <= tk ? by_top : by_ends;
      },
      owners);
  if (owners.size() == 1) {
    t.area[owners[0]] += area;
    t.volume[owners[0]] += vol;
    return;
  }
  // Each owner's part: the polygon within its power cell, n.(y + u w +
  // v a) <= e; lines that miss the disc are left out.
  std::vector<Half>& cell = z.cell;
  std::vector<P2>& part = z.part;
  for (std::size_t k = 0; k < owners.size(); ++k) {
    cell.clear();
    for (std::size_t j = 0; j < owners.size(); ++j)
      if (j != k)
        if (const Half* h = f.plane(B, q, owners[k], owners[j])) cell.push_back(*h);
    part = poly;
    bool left = true;
    for (const Half& h : cell) {
      const double a = dot(h.n, w), c = dot(h.n, o.a), d = h.e - dot(h.n, y);
      const double reach = p * std::sqrt(a * a + c * c);
      if (d >= reach) continue;
      if (d <= -reach) {
        left = false;
        break;
      }
      clip2(part, a, c, d, work);
    }
    if (!left) continue;
    disc_part(part, p, o.rho, &vol, &area);
    t.area[owners[k]] += area;
    t.volume[owners[k]] += vol;
  }
}

// Gauss-Kronrod 3-7 nodes (from the end inwards) and weights.
const double kNode[4] = {0.960491268708020283, 0.774596669241483377, 0.434243749346802558, 0.0};
const double kKronrod[4] = {0.104656226026467265, 0.268488089868333440, 0.401397414775962222,
                            0.450916538658474142};
const double kGauss[2] = {0.555555555555555556, 0.888888888888888889};

// Absolute tolerance of a torus's area and volume along its circle.
const double kTolerance = 1e-5;

// Adds the torus's slices over [a, b], by adaptive Gauss-Kronrod on the
// area and volume sums.
// Its tallies are dead by the time it recurses: one set serves every level.
// Points that no slice of a half can meet are left out of its lists (each
// level's lists kept from use to use).
void torus_range(const Boundary& B, const Piece& q, const TorusFrame& f, double a, double b,
                 const Competitors& pts, const Competitors& extra, bool extra_run, double tol,
                 int depth, Tally& t, RunUse* use) {
  const std::size_t n = q.owners.size();
  static thread_local Tally kron, gauss, slice;
  kron.reset(n);
  gauss.reset(n);
  const double c = (a + b) / 2, h = (b - a) / 2;
  for (int k = 0; k < 7; ++k) {
    const int i = k < 4 ? k : 6 - k;
    const double x = k < 4 ? c - h * kNode[i] : c + h * kNode[i];
    slice.reset(n);
    torus_slice(B, q, f, x, pts, extra, extra_run, slice, use);
    kron.add(slice, kKronrod[i]);
    if (i % 2 == 1) gauss.add(slice, kGauss[i / 2]);
  }
  double da = 0, dv = 0;
  for (std::size_t j = 0; j < n; ++j) {
    da = std::max(da, std::fabs(kron.area[j] - gauss.area[j]));
    dv = std::max(dv, std::fabs(kron.volume[j] - gauss.volume[j]));
  }
  if ((da * h <= tol && dv * h <= tol) || depth <= 0) {
    t.add(kron, h);
    return;
  }
  // A slice at angle x in [s - r, s + r] is about the circle's point y(x),
  // within rho r of y(s) (a chord is no longer than its arc).  A point
  // farther than 2p + rho r from y(s), by more than the rounding of y, is
  // farther than 2p from y(x): its line misses the slice's disc (h^2 =
  // |d|^4 / 4 > p^2 |d|^2 >= p^2 (a^2 + c^2)), a test that passes over it
  // there.  Each half is cut by the others alone, in the same order.
  struct Level {
    Competitors pts, extra;
  };
  static thread_local std::vector<Level> level;
  if (level.size() < static_cast<std::size_t>(depth)) level.resize(static_cast<std::size_t>(depth));
  Level& next = level[static_cast<std::size_t>(depth - 1)];
  const double p = B.probe();
  const Circle& o = B.circles()[q.circle];
  auto keep = [&](double lo, double hi, const Competitors& from, Competitors& to) {
    const V3 y = o.point((lo + hi) / 2);
    const double far = 2 * p + o.rho * (hi - lo) / 2 + 1e-6 * (1 + p + o.rho);
    to.clear();
    for (std::size_t k = 0; k < from.at.size(); ++k)
      if (dist2(from.at[k], y) < far * far)
        to.add(from.at[k], from.kind[k]);
  };
  keep(a, c, pts, next.pts);
  keep(a, c, extra, next.extra);
  torus_range(B, q, f, a, c, next.pts, next.extra, extra_run, tol / 2, depth - 1, t, use);
  keep(c, b, pts, next.pts);
  keep(c, b, extra, next.extra);
  torus_range(B, q, f, c, b, next.pts, next.extra, extra_run, tol / 2, depth - 1, t, use);
}

// Keeps the points that come within 2p of the torus's circle points (only
// those can cut a slice).
void keep_near_arc(const Boundary& B, const Piece& q, Competitors& pts) {
  const double p = B.probe();
  const Circle& o = B.circles()[q.circle];
  const double c0 = std::cos(q.b0), s0 = std::sin(q.b0), c1 = std::cos(q.b1), s1 = std::sin(q.b1);
  pts.keep_if([&](std::size_t k) {
    // |z - y(b)|^2 = |z - m|^2 + rho^2 - 2 rho (z - m).e(b): least where
    // (z - m).e(b) is greatest.
    const V3 w = sub(pts.at[k], o.m);
    const double B1 = dot(w, o.e1), C1 = dot(w, o.e2);
    double most = std::max(B1 * c0 + C1 * s0, B1 * c1 + C1 * s1);
    // The greatest lies between the ends' and |(B1, C1)|: where both give
    // the same answer, beyond rounding, the angle is not needed.
    const double base = dot(w, w) + o.rho * o.rho, bar = 4 * p * p;
    const double margin = 1e-9 * (1 + base + bar);
    if (base - 2 * o.rho * most < bar - margin) return true;
    if (base - 2 * o.rho * std::sqrt(B1 * B1 + C1 * C1) >= bar + margin) return false;
    double top = std::atan2(C1, B1);
    while (top < q.b0) top += kTwoPi;
    if (top <= q.b1) most = std::hypot(B1, C1);
    return base - 2 * o.rho * most < bar;
  });
}

// The spacing of the points that stand for arcs.  When arc points are
// among a piece's competitors, the piece is measured with every point and
// with the coarse ones (spacing twice as wide), and the two are
// extrapolated to spacing 0: the error goes with the square of the
// spacing.
const double kSpacing = 0.25;

// Whether a competitor point comes nearer than p to a surface point of the
// torus: (with `own`) the torus's own circle when the probe reaches beyond
// its axis, or a point z for which the least of |X(b, a) - z| over the angles a across
// the slice at b falls below p for some b along the circle (sampled, then
// refined about the least sample).
bool torus_is_cut(const Boundary& B, const Piece& q, const Competitors& pts, bool own) {
  const double p = B.probe();
  const Circle& o = B.circles()[q.circle];
  const Ball &J = B.balls()[o.j], &K = B.balls()[o.k];
  const double tj = std::atan2(dot(sub(J.c, o.m), o.a), o.rho);
  const double tk = std::atan2(dot(sub(K.c, o.m), o.a), o.rho);
  const double cj = std::cos(tj), sj = std::sin(tj), ck = std::cos(tk), sk = std::sin(tk);
  const double widest = tj <= 0 && tk >= 0 ? 1.0 : std::max(cj, ck);
  if (own && p * widest > o.rho) return true;
  if (pts.at.empty()) return false;
  // |X - z|^2 - p^2 at its least over the slice at the circle point y with
  // e = (y - m) / rho: n(a) = cos a (-e) + sin a axis, and |y + p n - z| is
  // least where n . (z - y) is greatest over [tj, tk].
  auto gap = [&](const V3& z, const V3& y, const V3& e) {
    const V3 d = sub(z, y);
    const double A = -dot(d, e), Bv = dot(d, o.a);
    double most = std::max(A * cj + Bv * sj, A * ck + Bv * sk);
    if (cj * Bv - sj * A >= 0 && A * sk - Bv * ck >= 0) most = std::hypot(A, Bv);
    return dot(d, d) - 2 * p * most;
  };
  auto point = [&](double b, V3& y, V3& e) {
    e = add(times(std::cos(b), o.e1), times(std::sin(b), o.e2));
    y = along(o.m, o.rho, e);
  };
  // Only the points whose gap can fall below 0 anywhere along the piece
  // need the search.  With w = z - m split into h along the axis and r
  // across it, and c the cosine between r and e, A = rho - |r| c, the
  // axial part is h and |d|^2 = |w|^2 + rho^2 - 2 rho |r| c: the gap is
  // linear in c less 2p times a maximum of functions linear in c, hence
  // concave in c, and least at one end of the range of c over the piece
  // (1 or -1 where r's direction or its opposite lies within it, else a
  // cosine at an end).  A margin well above rounding keeps every point
  // whose gap the search below could find negative.
  static thread_local std::vector<std::size_t> live;
  live.clear();
  {
    V3 y0, e0, y1, e1;
    point(q.b0, y0, e0);
    point(q.b1, y1, e1);
    const bool short_range = q.b1 - q.b0 < kPi;
    for (std::size_t k = 0; k < pts.at.size(); ++k) {
      const V3& z = pts.at[k];
      const V3 w = sub(z, o.m);
      const double ww = dot(w, w);
      const double margin = 1e-9 * (1 + ww + o.rho * o.rho + p * p);
      // The first sample below is the piece's start, the same bits: a
      // point already nearer there settles the answer.
      const double first = gap(z, y0, e0);
      if (first < 0) return true;
      double least = std::min(first, gap(z, y1, e1));
      if (!short_range) {
        least = -HUGE_VAL;
      } else {
        const V3 r = along(w, -dot(w, o.a), o.a);
        const double rl = norm(r);
        if (rl > 1e-9 * (1 + std::sqrt(ww))) {
          const V3 u = times(1.0 / rl, r), v = times(-1, u);
          auto within = [&](const V3& x) {
            return dot(cross(e0, x), o.a) >= 0 && dot(cross(x, e1), o.a) >= 0;
          };
          if (within(u)) least = std::min(least, gap(z, along(o.m, o.rho, u), u));
          if (within(v)) least = std::min(least, gap(z, along(o.m, o.rho, v), v));
        }
      }
      if (least < margin) live.push_back(k);
    }
  }
  if (live.empty()) return false;
  const int n = std::max(8, static_cast<int>(std::ceil((q.b1 - q.b0) * (o.rho + p) / 0.1)));
  const double step = (q.b1 - q.b0) / n;
  static thread_local std::vector<double> low;
  static thread_local std::vector<int> best;
  low.assign(pts.at.size(), HUGE_VAL);
  best.assign(pts.at.size(), 0);
  for (int i = 0; i <= n; ++i) {
    V3 y, e;
    point(q.b0 + step * i, y, e);
    for (std::size_t k : live) {
      const double g = gap(pts.at[k], y, e);
      if (g < 0) return true;
      if (g < low[k]) {
        low[k] = g;
        best[k] = i;
      }
    }
  }
  // Between samples the gap can dip by at most its second derivative
  // (below 2 (rho + p + |z - y|)^2 along the circle) times step^2 / 8.
  for (std::size_t k : live) {
    const double reach = o.rho + p + std::sqrt(dist2(pts.at[k], o.m)) + o.rho;
    if (low[k] > 2 * reach * reach * step * step / 8) continue;
    // Golden-section search about the least sample.
    double a = q.b0 + step * std::max(0, best[k] - 1), c = q.b0 + step * std::min(n, best[k] + 1);
    const double r = 0.6180339887498949;
    V3 y, e;
    auto at = [&](double b) {
      point(b, y, e);
      return gap(pts.at[k], y, e);
    };
    double x1 = c - r * (c - a), x2 = a + r * (c - a);
    double g1 = at(x1), g2 = at(x2);
    for (int it = 0; it < 40 && c - a > 1e-12; ++it) {
      if (g1 < 0 || g2 < 0) return true;
      if (g1 < g2) {
        c = x2;
        x2 = x1;
        g2 = g1;
        x1 = c - r * (c - a);
        g1 = at(x1);
      } else {
        a = x1;
        x1 = x2;
        g1 = g2;
        x2 = a + r * (c - a);
        g2 = at(x2);
      }
    }
    if (g1 < 0 || g2 < 0) return true;
  }
  return false;
}

// The measures of a piece, unless no competitor can cut it (then false:
// the closed forms hold for it).
// Buffers of measure(), kept from piece to piece.
struct MeasureScratch {
  Competitors pts, extra, all;
  Competitors coarse_pts, coarse_extra;  // the coarse sets alone, for a torus
  TorusFrame frame;
  Tally wide, fine;
};
MeasureScratch& measure_scratch() {
  static thread_local MeasureScratch s;
  return s;
}

// The points of the coarse set, in order.
const Competitors& coarse_set(const Competitors& from, Competitors& to) {
  to.clear();
  for (std::size_t k = 0; k < from.at.size(); ++k)
    if (from.coarse(k)) to.add(from.at[k], from.kind[k]);
  return to;
}

// The cone of a patch: the directions from its vertex to the three centres.
Cone patch_cone(const Boundary& B, const Piece& q) {
  const Vertex& vx = B.vertices()[q.vertex];
  V3 n[3];
  for (int i = 0; i < 3; ++i) n[i] = unit(sub(B.balls()[vx.balls[i]].c, vx.y));
  return Cone(n);
}

// The points of the vertices and arcs listed that can cut a patch, with
// their bisectors.
void patch_points(const Boundary& B, const Piece& q, const Cone& cone,
                  const std::vector<int>& points, const std::vector<int>& arcs, Competitors& out) {
  const V3& y = B.vertices()[q.vertex].y;
  competitor_points(B, q, points, arcs, kSpacing, out,
                    [&](const V3& c, double r) { return beyond_patch(cone, y, B.probe(), c, r); });
  keep_cutting(y, B.probe(), cone, out);
}

// The points of the vertices and arcs listed that can cut a torus.
void torus_points(const Boundary& B, const Piece& q, const std::vector<int>& points,
                  const std::vector<int>& arcs, Competitors& out) {
  competitor_points(B, q, points, arcs, kSpacing, out, [](const V3&, double) { return false; });
  keep_near_arc(B, q, out);
}

// The measures of a piece with its competitor arcs stood for by points
// kSpacing apart (and twice that, to extrapolate); false when nothing cuts it.
bool measure(const Boundary& B, const Piece& q, Tally& t) {
  MeasureScratch& z = measure_scratch();
  Competitors& pts = z.pts;
  Competitors& extra = z.extra;
  pts.clear();
  extra.clear();
  if (q.kind == Piece::kPatch) {
    const Cone cone = patch_cone(B, q);
    patch_points(B, q, cone, q.points, q.arcs, pts);
    patch_points(B, q, cone, q.extra_points, q.extra_arcs, extra);
    if (pts.at.empty() && extra.at.empty()) return false;
  } else {
    torus_points(B, q, q.points, q.arcs, pts);
    torus_points(B, q, q.extra_points, q.extra_arcs, extra);
    Competitors& all = z.all;
    all = pts;
    all.at.insert(all.at.end(), extra.at.begin(), extra.at.end());
    if (!torus_is_cut(B, q, all, true)) return false;
  }
  TorusFrame& frame = measure_scratch().frame;
  if (q.kind == Piece::kTorus) torus_frame(B, q, frame);
  auto run = [&](bool coarse, Tally& out, RunUse* use) {
    out.reset(q.owners.size());
    if (q.kind == Piece::kPatch)
      patch_measure(B, q, pts, extra, coarse, out, use);
    else if (!coarse)
      torus_range(B, q, frame, q.b0, q.b1, pts, extra, !extra.at.empty(), kTolerance, 6, out,
                  use);
    else
      torus_range(B, q, frame, q.b0, q.b1, coarse_set(pts, z.coarse_pts),
                  coarse_set(extra, z.coarse_extra), !extra.at.empty(), kTolerance, 6, out, use);
  };
  RunUse use;
  run(false, t, &use);
  // When no arc point cut anything, the coarse set gives the same.
  if (!use.arc) return true;
  Tally& wide = z.wide;
  if (use.fine) {
    run(true, wide, &use);
  } else {
    // The coarse run would meet the fine run's polytopes and polygons,
    // one for one: its values, bit for bit.
    wide = t;
    scratch().shared_for = nullptr;
  }
  Tally& fine = z.fine;
  fine = t;
  t.reset(q.owners.size());
  t.add(fine, 4.0 / 3);
  t.add(wide, -1.0 / 3);
  return true;
}

// Whether the extra competitors of a piece alone cut it.
bool cut_by_extra(const Boundary& B, const Piece& q) {
  Competitors& extra = measure_scratch().extra;
  extra.clear();
  if (q.kind == Piece::kPatch) {
    patch_points(B, q, patch_cone(B, q), q.extra_points, q.extra_arcs, extra);
    return !extra.at.empty();
  }
  torus_points(B, q, q.extra_points, q.extra_arcs, extra);
  return torus_is_cut(B, q, extra, false);
}

// ---- pieces ---------------------------------------------------------------

// Distance from z to the arc.
double arc_distance(const Boundary& B, const Arc& a, const V3& z) {
  const Circle& o = B.circles()[a.circle];
  const V3 w = sub(z, o.m);
  const double h = dot(w, o.a);
  const V3 q = along(w, -h, o.a);
  const double ql = norm(q);
  if (a.span >= kTwoPi || a.contains(std::atan2(dot(q, o.e2), dot(q, o.e1))))
    return std::sqrt(h * h + (ql - o.rho) * (ql - o.rho));
  return std::sqrt(std::min(dist2(z, o.point(a.lo)), dist2(z, o.point(a.lo + a.span))));
}

// The competitors and candidate owners of a piece whose segment points lie
// within its bounding sphere: every vertex and arc that can come within p
// of such a point, every ball that can hold one.  `skip_circles` names the
// circles that the piece's own cut accounts for.  Competitors that `extra`
// names go to the extra lists.
template <class Extra>
void gather(Piece& q, const Boundary& B, const std::vector<int>& skip_circles, int skip_vertex,
            Extra&& extra) {
  const double p = B.probe();
  const double reach = q.radius + p;
  static thread_local std::vector<int> vertices, arcs;
  B.near(
      q.centre, reach, vertices, arcs,
      [&](int kk) {
        return kk != skip_vertex &&
               !(dist2(B.vertices()[static_cast<std::size_t>(kk)].y, q.centre) >= reach * reach);
      },
      [&](int kk) {
        const Arc& a = B.arcs()[static_cast<std::size_t>(kk)];
        if (std::find(skip_circles.begin(), skip_circles.end(), a.circle) != skip_circles.end())
          return false;
        const double r = reach + a.reach;
        return !(dist2(a.centre, q.centre) >= r * r);
      });
  // Room for all that can come (most often all go to the plain lists).
  q.points.reserve(vertices.size());
  q.arcs.reserve(arcs.size());
  q.owners.reserve(B.balls().size());
  for (int kk : vertices) {
    const Vertex& v = B.vertices()[static_cast<std::size_t>(kk)];
    // The points of a torus's own circle cut it only beyond its axis,
    // which its own cut already takes.
    bool skip = false;
    for (int c : skip_circles) {
      const Circle& o = B.circles()[c];
      int on = 0;
      for (int b : v.balls) on += b == o.j || b == o.k;
      skip = skip || (on == 2 && q.kind == Piece::kTorus);
    }
    if (!skip) (extra(false, kk) ? q.extra_points : q.points).push_back(kk);
  }
  for (int kk : arcs) {
    const Arc& a = B.arcs()[static_cast<std::size_t>(kk)];
    // An end of the arc well within reach settles it.
    bool within = false;
    for (int e : a.ends)
      within = within || (e >= 0 && std::sqrt(dist2(B.vertices()[static_cast<std::size_t>(e)].y,
                                                   q.centre)) < reach - 1e-9 * (1 + reach));
    if (!within && arc_distance(B, a, q.centre) >= reach) continue;
    (extra(true, kk) ? q.extra_arcs : q.arcs).push_back(kk);
  }
  for (std::size_t k = 0; k < B.balls().size(); ++k) {
    const Ball& b = B.balls()[k];
    const double r = q.radius + b.R;
    if (dist2(b.c, q.centre) < r * r) q.owners.push_back(static_cast<int>(k));
  }
}

// The circles through a vertex.
std::vector<int> circles_of(const Boundary& B, const Vertex& v) {
  std::vector<int> out;
  for (int i = 0; i < 3; ++i) {
    const int c = B.circle(v.balls[i], v.balls[(i + 1) % 3]);
    if (c >= 0) out.push_back(c);
  }
  return out;
}

template <class Extra>
Piece patch_piece(const Boundary& B, int k, Extra&& extra) {
  const Vertex& v = B.vertices()[k];
  Piece q;
  q.kind = Piece::kPatch;
  q.vertex = k;
  q.centre = v.y;
  q.radius = B.probe();
  std::copy(v.balls, v.balls + 3, q.own);
  gather(q, B, circles_of(B, v), k, extra);
  return q;
}

// The torus of an arc, in parts of at most a sixth of a turn (each with a
// close bounding sphere, so few competitors); the parts `want` takes.
template <class Extra, class Want>
void torus_pieces(const Boundary& B, int k, Extra&& extra, Want&& want, std::vector<Piece>& out) {
  const Arc& a = B.arcs()[k];
  const Circle& o = B.circles()[a.circle];
  const int parts = static_cast<int>(std::ceil(a.span / (kPi / 3) - 1e-9));
  for (int i = 0; i < parts; ++i) {
    Piece q;
    q.kind = Piece::kTorus;
    q.circle = a.circle;
    q.arc = k;
    q.part = i;
    q.own[0] = o.j;
    q.own[1] = o.k;
    q.b0 = a.lo + a.span * i / parts;
    q.b1 = a.lo + a.span * (i + 1) / parts;
    const V3 x = o.point(q.b0), y = o.point(q.b1), mid = o.point((q.b0 + q.b1) / 2);
    q.centre = times(0.5, add(x, y));
    const double reach = std::max(std::sqrt(dist2(x, y)) / 2, std::sqrt(dist2(mid, q.centre)));
    q.radius = reach + B.probe();
    if (!want(q)) continue;
    gather(q, B, {a.circle}, -1, extra);
    out.push_back(std::move(q));
  }
}

// Bounding box of the tetrahedra's corners.
void box_of(const std::vector<const tetra*>& tets, V3& lo, V3& hi) {
  lo = V3{HUGE_VAL, HUGE_VAL, HUGE_VAL};
  hi = V3{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (const tetra* t : tets)
    for (const info* a : t->v) {
      lo = V3{std::min(lo.x, a->x), std::min(lo.y, a->y), std::min(lo.z, a->z)};
      hi = V3{std::max(hi.x, a->x), std::max(hi.y, a->y), std::max(hi.z, a->z)};
    }
}

// The trimmed area below which the closed forms count as exact.
const double kTrimmedArea = 1e-9;

// The key of a vertex among all atoms: its atoms, ascending, and its side
// of their plane.
struct PieceKey {
  int atoms[3];
  int side;
  int ends[2][4];  // an arc's end vertices (atoms and side), or -1
  bool operator<(const PieceKey& o) const {
    if (side != o.side) return side < o.side;
    for (int i = 0; i < 3; ++i)
      if (atoms[i] != o.atoms[i]) return atoms[i] < o.atoms[i];
    for (int e = 0; e < 2; ++e)
      for (int i = 0; i < 4; ++i)
        if (ends[e][i] != o.ends[e][i]) return ends[e][i] < o.ends[e][i];
    return false;
  }
};

// The side of the plane through c0, c1, c2 (centres in ascending atom
// order) that y lies on: 1 where (c1 - c0) x (c2 - c0) points to it.
int side_of(const V3& c0, const V3& c1, const V3& c2, const V3& y) {
  const V3 n = cross(sub(c1, c0), sub(c2, c0));
  return dot(n, sub(y, c0)) > 0 ? 1 : 0;
}

void vertex_key(const Boundary& B, int k, int* atoms, int& side) {
  const Vertex& v = B.vertices()[k];
  int a[3];
  for (int i = 0; i < 3; ++i) a[i] = B.balls()[v.balls[i]].atom;
  int order[3] = {0, 1, 2};
  std::sort(order, order + 3, [&](int x, int y) { return a[x] < a[y]; });
  for (int i = 0; i < 3; ++i) atoms[i] = a[order[i]];
  side = side_of(B.balls()[v.balls[order[0]]].c, B.balls()[v.balls[order[1]]].c,
                 B.balls()[v.balls[order[2]]].c, v.y);
}

PieceKey key_of(const Boundary& B, const Piece& q) {
  PieceKey key;
  for (auto& e : key.ends) std::fill(e, e + 4, -1);
  if (q.kind == Piece::kPatch) {
    vertex_key(B, q.vertex, key.atoms, key.side);
    return key;
  }
  const Circle& o = B.circles()[q.circle];
  key.atoms[0] = std::min(B.balls()[o.j].atom, B.balls()[o.k].atom);
  key.atoms[1] = std::max(B.balls()[o.j].atom, B.balls()[o.k].atom);
  key.atoms[2] = q.part;
  key.side = 2;
  const Arc& a = B.arcs()[q.arc];
  for (int e = 0; e < 2; ++e)
    if (a.ends[e] >= 0) vertex_key(B, a.ends[e], key.ends[e], key.ends[e][3]);
  return key;
}

// A piece measured exactly, with what the closed forms count for it, per
// atom: area, volume.
struct MeasuredPiece {
  bool cut = false;  // some competitor may cut it: measured
  std::vector<int> atoms;
  std::vector<double> area, volume, closed_area, closed_volume;
  double trimmed = 0, taken = 0;
};

MeasuredPiece measure_piece(const Boundary& B, const Piece& q, const Atoms& atoms, int cusp) {
  MeasuredPiece m;
  const double p = B.probe();
  Tally t;
  t.reset(q.owners.size());
  m.cut = !q.owners.empty() && measure(B, q, t);
  if (!m.cut) return m;
  m.trimmed = t.trimmed;
  m.taken = t.taken;
  // Room for the owners and the closed forms' atoms (at most three more).
  for (auto* v : {&m.area, &m.volume, &m.closed_area, &m.closed_volume})
    v->reserve(q.owners.size() + 3);
  m.atoms.reserve(q.owners.size() + 3);
  for (std::size_t k = 0; k < q.owners.size(); ++k) {
    m.atoms.push_back(B.balls()[q.owners[k]].atom);
    m.area.push_back(t.area[k]);
    m.volume.push_back(t.volume[k]);
  }
  m.closed_area.assign(m.atoms.size(), 0.0);
  m.closed_volume.assign(m.atoms.size(), 0.0);
  auto at = [&](int atom) {
    for (std::size_t k = 0; k < m.atoms.size(); ++k)
      if (m.atoms[k] == atom) return k;
    m.atoms.push_back(atom);
    for (auto* v : {&m.area, &m.volume, &m.closed_area, &m.closed_volume}) v->push_back(0.0);
    return m.atoms.size() - 1;
  };
  if (q.kind == Piece::kPatch) {
    const Vertex& v = B.vertices()[q.vertex];
    const int a = B.balls()[v.balls[0]].atom, b = B.balls()[v.balls[1]].atom,
              c = B.balls()[v.balls[2]].atom;
    const Patch P = patch(a, b, c, atoms, p);
    for (int x : {a, b, c}) {
      const std::size_t k = at(x);
      m.closed_area[k] += P.area_i;
      m.closed_volume[k] += P.volume_i;
    }
  } else if (q.kind == Piece::kTorus) {
    const Circle& o = B.circles()[q.circle];
    const int a = B.balls()[o.j].atom, b = B.balls()[o.k].atom;
    const Torus T = torus(a, b, atoms, p, cusp);
    const double f = (q.b1 - q.b0) / kTwoPi;
    const std::size_t ka = at(a), kb = at(b);
    m.closed_area[ka] += f * T.area_i;
    m.closed_area[kb] += f * T.area_j;
    m.closed_volume[ka] += f * (T.volume_i + T.cone_i);
    m.closed_volume[kb] += f * (T.volume_j + T.cone_j);
  }
  return m;
}

// The region's own vertices and arcs: those inside its tetrahedra.
void find_own(const Boundary& B, const std::vector<Region>& regions, std::vector<char>& vertex,
              std::vector<char>& arc) {
  vertex.assign(B.vertices().size(), 0);
  arc.assign(B.arcs().size(), 0);
  for (std::size_t k = 0; k < B.vertices().size(); ++k)
    vertex[k] = inside_any(regions, B.vertices()[k].y);
  // An arc only when all of it lies inside: its middle and its ends.
  for (std::size_t k = 0; k < B.arcs().size(); ++k) {
    const Arc& a = B.arcs()[k];
    arc[k] = inside_any(regions, B.circles()[a.circle].point(a.lo + a.span / 2));
    for (int e : a.ends)
      if (e >= 0 && !vertex[static_cast<std::size_t>(e)]) arc[k] = 0;
  }
}

// The region's own pieces, cut by everything.
void own_pieces(const Boundary& B, const std::vector<char>& own_vertex,
                const std::vector<char>& own_arc, std::vector<Piece>& mine) {
  auto none = [](bool, int) { return false; };
  auto all = [](const Piece&) { return true; };
  for (std::size_t k = 0; k < B.vertices().size(); ++k)
    if (own_vertex[k]) mine.push_back(patch_piece(B, static_cast<int>(k), none));
  for (std::size_t k = 0; k < B.arcs().size(); ++k)
    if (own_arc[k]) torus_pieces(B, static_cast<int>(k), none, all, mine);
}

// The pieces of the features that are not the region's but come within
// reach of its pieces (the others among their competitors), with the
// region's features as extra competitors: only those can the region's
// features cut.
void near_pieces(const Boundary& B, const std::vector<char>& own_vertex,
                 const std::vector<char>& own_arc, const std::vector<Piece>& mine,
                 std::vector<Piece>& out) {
  std::vector<char> vertex(B.vertices().size(), 0), arc(B.arcs().size(), 0);
  for (const Piece& q : mine) {
    for (int k : q.points)
      if (!own_vertex[static_cast<std::size_t>(k)]) vertex[static_cast<std::size_t>(k)] = 1;
    for (int k : q.arcs)
      if (!own_arc[static_cast<std::size_t>(k)]) arc[static_cast<std::size_t>(k)] = 1;
  }
  auto of_region = [&](bool is_arc, int k) {
    return is_arc ? own_arc[static_cast<std::size_t>(k)] != 0
                  : own_vertex[static_cast<std::size_t>(k)] != 0;
  };
  for (std::size_t k = 0; k < vertex.size(); ++k) {
    if (!vertex[k]) continue;
    Piece q = patch_piece(B, static_cast<int>(k), of_region);
    if (!q.extra_points.empty() || !q.extra_arcs.empty()) out.push_back(std::move(q));
  }
  for (std::size_t k = 0; k < arc.size(); ++k) {
    if (!arc[k]) continue;
    std::vector<Piece> parts;
    torus_pieces(
        B, static_cast<int>(k), of_region, [](const Piece&) { return true; }, parts);
    for (Piece& q : parts)
      if (!q.extra_points.empty() || !q.extra_arcs.empty()) out.push_back(std::move(q));
  }
}

// The pieces of the features that are not the region's and whose keys
// are listed, with the region's features as extra competitors.
void listed_pieces(const Boundary& B, const std::vector<char>& own_vertex,
                   const std::vector<char>& own_arc, const std::set<PieceKey>& listed,
                   std::vector<Piece>& out) {
  auto of_region = [&](bool is_arc, int k) {
    return is_arc ? own_arc[static_cast<std::size_t>(k)] != 0
                  : own_vertex[static_cast<std::size_t>(k)] != 0;
  };
  PieceKey key;
  for (auto& e : key.ends) std::fill(e, e + 4, -1);
  for (std::size_t k = 0; k < B.vertices().size(); ++k) {
    if (own_vertex[k]) continue;
    vertex_key(B, static_cast<int>(k), key.atoms, key.side);
    if (listed.count(key)) out.push_back(patch_piece(B, static_cast<int>(k), of_region));
  }
  for (std::size_t k = 0; k < B.arcs().size(); ++k)
    if (!own_arc[k])
      torus_pieces(
          B, static_cast<int>(k), of_region,
          [&](const Piece& q) { return listed.count(key_of(B, q)) != 0; }, out);
}

// What a measured piece changes against the closed forms, atom by atom:
// nothing where no competitor trims it (the closed forms hold).
void add_change(const MeasuredPiece& m, bool in_void, std::map<int, SurfaceChange>& change) {
  if (!(m.trimmed > kTrimmedArea)) return;
  for (std::size_t k = 0; k < m.atoms.size(); ++k) {
    SurfaceChange& c = change[m.atoms[k]];
    c.atom = m.atoms[k];
    (in_void ? c.void_area : c.outer_area) += m.area[k] - m.closed_area[k];
    c.volume += m.volume[k] - m.closed_volume[k];
  }
}

// A piece's key as plain numbers.
std::array<int, 12> flat_key(const PieceKey& k) {
  return {k.atoms[0],   k.atoms[1],   k.atoms[2],   k.side,       k.ends[0][0], k.ends[0][1],
          k.ends[0][2], k.ends[0][3], k.ends[1][0], k.ends[1][1], k.ends[1][2], k.ends[1][3]};
}

// What the open patches at the sites (probe positions, with their keys)
// change, each measured with everything that can cut it (within 2p),
// unless `before` measured it.
std::map<int, SurfaceChange> measure_open(const Neighbourhood& neighbourhood, const Atoms& atoms,
                                          double probe, const SurfaceMend& before,
                                          const std::vector<V3>& at,
                                          const std::vector<std::array<int, 4>>& keys, int cusp) {
  const std::set<std::array<int, 12>> taken(before.near_keys.begin(), before.near_keys.end());
  std::map<int, SurfaceChange> change;
  std::vector<std::pair<int, int>> pairs;
  auto none = [](bool, int) { return false; };
  const double margin = 2 * probe + 0.1;
  // A patch reads nothing beyond 2p of its vertex, which lies within 0.01
  // of its site (below): the circles kept are those within this of a site.
  const double site_margin = 2 * probe + 0.02;
  // The changes are added by the cell of a coarse grid that holds the
  // patch's probe position (cells in order, each cell's patches in the
  // order of its boundary's vertices).  A patch's measure depends only on
  // what lies within 2p of it, and every boundary whose sites include the
  // patch's holds the same of that, the same bits in the same order (the
  // circles within the margin of a site, listed by atom pair; the balls
  // within the margin of the box, by atom), so one boundary may serve the
  // cells of a block; the vertices of one cell keep their order in it.
  // Where the margin is wide against the cells (large probes) their
  // boundaries overlap much: a block's edge is then about twice the
  // margin; else each block is a cell.  The changes wait until every block
  // is measured.
  const double cell = 6.0;
  std::map<std::array<long, 3>, std::vector<std::size_t>> groups;
  for (std::size_t i = 0; i < at.size(); ++i) groups[grid_cell(at[i], cell)].push_back(i);
  struct Group {
    std::vector<V3> sites;
    std::vector<std::array<int, 4>> listed;  // sorted
  };
  std::vector<Group> cells;
  cells.reserve(groups.size());
  const long per = std::max(1L, std::lround(2 * margin / cell));  // cells per block edge
  auto block_of = [per](long c) { return c < 0 ? -((per - 1 - c) / per) : c / per; };
  std::map<std::array<long, 3>, std::vector<std::size_t>> blocks;  // cells by block
  for (const auto& g : groups) {
    Group x;
    for (std::size_t i : g.second) {
      x.listed.push_back(keys[i]);
      x.sites.push_back(at[i]);
    }
    std::sort(x.listed.begin(), x.listed.end());
    const std::array<long, 3> at_block{block_of(g.first[0]), block_of(g.first[1]),
                                       block_of(g.first[2])};
    blocks[at_block].push_back(cells.size());
    cells.push_back(std::move(x));
  }
  struct Measured {
    std::size_t cell;
    int vertex;
    std::size_t piece;
    bool operator<(const Measured& o) const {
      return cell < o.cell || (cell == o.cell && vertex < o.vertex);
    }
  };
  std::vector<Measured> measured;
  std::vector<MeasuredPiece> pieces;
  std::vector<V3> sites, by_x;
  std::vector<double> xs;
  for (const auto& b : blocks) {
    sites.clear();
    for (std::size_t c : b.second)
      sites.insert(sites.end(), cells[c].sites.begin(), cells[c].sites.end());
    V3 lo = sites.front(), hi = lo;
    for (const V3& y : sites) {
      lo = V3{std::min(lo.x, y.x), std::min(lo.y, y.y), std::min(lo.z, y.z)};
      hi = V3{std::max(hi.x, y.x), std::max(hi.y, y.y), std::max(hi.z, y.z)};
    }
    neighbourhood.boundary_edges(lo, hi, margin, pairs);
    const Boundary B(atoms, neighbourhood, pairs, probe, lo, hi, margin, &sites, site_margin);
    // The sites by x: a site within 0.01 of a point lies within 0.02 of it
    // in x, beyond any rounding.
    by_x = sites;
    std::sort(by_x.begin(), by_x.end(), [](const V3& l, const V3& r) { return l.x < r.x; });
    xs.clear();
    for (const V3& x : by_x) xs.push_back(x.x);
    for (std::size_t k = 0; k < B.vertices().size(); ++k) {
      // A listed vertex is a site but for rounding (or, were its side in
      // doubt, a point within twice a vanishing height of it): the others
      // need no key.
      const V3& y = B.vertices()[k].y;
      bool at_site = false;
      for (std::size_t s = static_cast<std::size_t>(
               std::lower_bound(xs.begin(), xs.end(), y.x - 0.02) - xs.begin());
           s < xs.size() && xs[s] <= y.x + 0.02 && !at_site; ++s)
        at_site = dist2(by_x[s], y) < 1e-4;
      if (!at_site) continue;
      std::array<int, 4> mine;
      vertex_key(B, static_cast<int>(k), mine.data(), mine[3]);
      bool made = false;
      const std::size_t piece = pieces.size();  // where it is kept, when it is
      for (std::size_t c : b.second) {
        const Group& g = cells[c];
        bool near = false;
        for (const V3& x : g.sites) near = near || dist2(x, y) < 1e-4;
        if (!near || !std::binary_search(g.listed.begin(), g.listed.end(), mine)) continue;
        if (!made) {
          made = true;
          const Piece q = patch_piece(B, static_cast<int>(k), none);
          if (!taken.empty() && taken.count(flat_key(key_of(B, q)))) break;
          pieces.push_back(measure_piece(B, q, atoms, cusp));
        }
        measured.push_back(Measured{c, static_cast<int>(k), piece});
      }
    }
  }
  std::sort(measured.begin(), measured.end());
  for (const Measured& m : measured) add_change(pieces[m.piece], false, change);
  return change;
}

}  // namespace

struct SurfaceNeighbourhood::Index {
  Neighbourhood near;
};

SurfaceNeighbourhood::SurfaceNeighbourhood(const std::vector<const tetra*>& tetras,
                                           const Atoms& atoms, double probe)
    : tetras_(tetras), atoms_(atoms), probe_(probe) {}

SurfaceNeighbourhood::~SurfaceNeighbourhood() = default;

const SurfaceNeighbourhood::Index& SurfaceNeighbourhood::index() const {
  if (!index_) index_.reset(new Index{Neighbourhood(atoms_, tetras_, probe_)});
  return *index_;
}

SurfaceMend mend_surface(const std::vector<const tetra*>& tetras,
                         const std::vector<std::vector<const tetra*>>& regions, const Atoms& atoms,
                         double probe, int cusp, bool neighbours) {
  const SurfaceNeighbourhood near(tetras, atoms, probe);
  return mend_surface(near, regions, cusp, neighbours);
}

SurfaceMend mend_surface(const SurfaceNeighbourhood& shared,
                         const std::vector<std::vector<const tetra*>>& voids, int cusp,
                         bool neighbours) {
  const Atoms& atoms = shared.atoms();
  const double probe = shared.probe();
  SurfaceMend out;
  out.fired.assign(voids.size(), 0);
  out.area.assign(voids.size(), 0.0);
  out.volume.assign(voids.size(), 0.0);
  if (!(probe > 0) || voids.empty()) return out;
  const Neighbourhood& neighbourhood = shared.index().near;
  std::vector<std::pair<int, int>> pairs;
  std::map<PieceKey, MeasuredPiece> own, near;
  std::vector<std::vector<PieceKey>> own_keys(voids.size());
  for (std::size_t v = 0; v < voids.size(); ++v) {
    if (voids[v].empty()) continue;
    V3 lo, hi;
    box_of(voids[v], lo, hi);
    std::vector<Region> regions;
    for (const tetra* t : voids[v]) regions.push_back(region_of(*t));
    // Features within 2p of the void can cut its pieces; when some of them
    // are not the void's, their pieces may be cut by the void's features,
    // and the competitors of those lie within 2p of them.
    auto boundary = [&](double margin) {
      neighbourhood.boundary_edges(lo, hi, margin, pairs);
      return new Boundary(atoms, neighbourhood, pairs, probe, lo, hi, margin);
    };
    // First the void's own features alone (circles of its tetrahedra's
    // atoms, inside its tetrahedra), for the box they span.
    {
      std::vector<int> mine;
      for (const tetra* t : voids[v])
        for (const info* a : t->v) mine.push_back(a->index);
      std::sort(mine.begin(), mine.end());
      mine.erase(std::unique(mine.begin(), mine.end()), mine.end());
      pairs.clear();
      for (std::size_t a = 0; a < mine.size(); ++a)
        for (std::size_t b = a + 1; b < mine.size(); ++b) pairs.emplace_back(mine[a], mine[b]);
      const Boundary own(atoms, neighbourhood, pairs, probe, lo, hi, 0);
      std::vector<char> ov, oa;
      find_own(own, regions, ov, oa);
      V3 flo{HUGE_VAL, HUGE_VAL, HUGE_VAL}, fhi{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
      auto grow = [&](const V3& x, double r) {
        flo = V3{std::min(flo.x, x.x - r), std::min(flo.y, x.y - r), std::min(flo.z, x.z - r)};
        fhi = V3{std::max(fhi.x, x.x + r), std::max(fhi.y, x.y + r), std::max(fhi.z, x.z + r)};
      };
      for (std::size_t k = 0; k < ov.size(); ++k)
        if (ov[k]) grow(own.vertices()[k].y, 0);
      for (std::size_t k = 0; k < oa.size(); ++k)
        if (oa[k]) grow(own.arcs()[k].centre, own.arcs()[k].reach);
      if (!(flo.x <= fhi.x)) continue;  // no feature: nothing to measure
      lo = flo;
      hi = fhi;
    }
    std::unique_ptr<Boundary> B(boundary(2 * probe + 0.1));
    std::vector<char> own_vertex, own_arc;
    find_own(*B, regions, own_vertex, own_arc);
    std::vector<Piece> mine, theirs;
    own_pieces(*B, own_vertex, own_arc, mine);
    bool fired = false;
    for (const Piece& q : mine) {
      MeasuredPiece m = measure_piece(*B, q, atoms, cusp);
      fired = fired || m.trimmed > kTrimmedArea;
      const PieceKey key = key_of(*B, q);
      own_keys[v].push_back(key);
      own[key] = std::move(m);
    }
    out.fired[v] = fired;
    if (!neighbours) continue;
    // The pieces of other features that the void's features cut.
    near_pieces(*B, own_vertex, own_arc, mine, theirs);
    std::set<PieceKey> touched;
    for (const Piece& q : theirs)
      if (cut_by_extra(*B, q)) touched.insert(key_of(*B, q));
    fired = fired || !touched.empty();
    out.fired[v] = fired;
    if (touched.empty()) continue;
    // Those are measured with all their competitors, which lie within 2p
    // of them.
    B.reset(boundary(4 * probe + 0.5));
    find_own(*B, regions, own_vertex, own_arc);
    theirs.clear();
    listed_pieces(*B, own_vertex, own_arc, touched, theirs);
    for (const Piece& q : theirs) {
      const PieceKey key = key_of(*B, q);
      if (!touched.count(key) || near.count(key)) continue;
      MeasuredPiece m = measure_piece(*B, q, atoms, cusp);
      if (m.trimmed > kTrimmedArea) near.emplace(key, std::move(m));
    }
  }
  // Every cut piece of a void that fired, and every piece near one that
  // its features cut and that belongs to no void, replaces what the closed
  // forms count.
  std::map<int, SurfaceChange> change;
  std::map<PieceKey, bool> claimed;
  for (std::size_t v = 0; v < voids.size(); ++v) {
    if (!out.fired[v]) continue;
    for (const PieceKey& key : own_keys[v]) {
      const MeasuredPiece& m = own[key];
      add_change(m, true, change);
      claimed[key] = true;
      if (!(m.trimmed > kTrimmedArea)) continue;
      for (std::size_t k = 0; k < m.atoms.size(); ++k) {
        out.area[v] += m.area[k] - m.closed_area[k];
        out.volume[v] += m.volume[k] - m.closed_volume[k];
      }
    }
  }
  for (const auto& kv : near) {
    // A void's own pieces count with it, fired or not.
    if (claimed.count(kv.first) || own.count(kv.first)) continue;
    add_change(kv.second, false, change);
    if (kv.second.trimmed > kTrimmedArea) out.near_keys.push_back(flat_key(kv.first));
  }
  for (const auto& kv : change) out.changes.push_back(kv.second);
  return out;
}

std::vector<SurfaceChange> mend_open_patches(const SurfaceNeighbourhood& shared,
                                             const SurfaceMend& before, int cusp) {
  const std::vector<const tetra*>& tetras = shared.tetras();
  const Atoms& atoms = shared.atoms();
  const double probe = shared.probe();
  std::vector<SurfaceChange> out;
  if (!(probe > 0)) return out;
  struct Sphere {
    V3 c;
    double R;
  };
  auto centre = [](const info* a) { return V3{a->x, a->y, a->z}; };
  auto ball_of = [&](const info* a) { return Sphere{centre(a), a->radius + probe}; };
  // The probe positions of the open surface.  A triangle's two positions
  // lie on its power diagram edge, at height h on either side of its plane.
  // That edge ends at the orthocentres of its tetrahedra, so a position is
  // on A's boundary exactly when it lies outside the balls of their fourth
  // atoms; it faces the tetrahedron whose fourth atom is on its side, and
  // is left to the voids' mend where that one is in a void.
  struct Position {
    V3 y;
    V3 n[3];  // unit directions to the three centres: the patch's cone
    V3 side[3];  // n[1] x n[2], n[2] x n[0], n[0] x n[1]
    double side2[3], det;  // their squares; n[0] . side[0]
    std::array<int, 4> key;  // atoms ascending, and the side of their plane
  };
  std::vector<Position> positions;
  struct Fourth {
    Sphere D;
    bool above, closed;
  };
  std::vector<Fourth> fourth;
  for (const tetra* t : tetras) {
    for (const tria* f : t->faces) {
      if (f == nullptr || f->cofaces.empty() || f->cofaces[0] != t) continue;
      const Sphere a = ball_of(f->v[0]), b = ball_of(f->v[1]), c = ball_of(f->v[2]);
      if (!(a.R > 0 && b.R > 0 && c.R > 0)) continue;
      // Where the radical planes meet the triangle's plane, and the height
      // of the probe positions above it: h^2 = R_a^2 - |x - c_a|^2.
      const V3 u = sub(b.c, a.c), v = sub(c.c, a.c), n = cross(u, v);
      // Closed tetrahedra whose fourth atoms lie on both sides take both
      // positions, wherever they are (the sides as judged below): most
      // triangles inside the complex end here.
      bool up = false, down = false;
      for (const tetra* co : f->cofaces) {
        if (!(co->in_complex || co->void_id != 0)) continue;
        for (const info* d : co->v)
          if (d != f->v[0] && d != f->v[1] && d != f->v[2])
            (dot(n, sub(centre(d), a.c)) > 0 ? up : down) = true;
      }
      if (up && down) continue;
      const double nn = dot(n, n);
      if (!(nn > 0)) continue;
      const double su = 0.5 * (dot(u, u) + a.R * a.R - b.R * b.R);
      const double sv = 0.5 * (dot(v, v) + a.R * a.R - c.R * c.R);
      const V3 w = add(times(su / nn, cross(v, n)), times(sv / nn, cross(n, u)));
      const double h2 = a.R * a.R - dot(w, w);
      if (!(h2 > 0)) continue;
      const V3 x = add(a.c, w), dn = times(std::sqrt(h2 / nn), n);
      // The atoms by index, once a position is free.
      const info* sorted[3] = {nullptr, nullptr, nullptr};
      // The fourth atoms, each with its side and whether its tetrahedron
      // takes the position from the open surface.
      fourth.clear();
      for (const tetra* co : f->cofaces)
        for (const info* d : co->v) {
          if (d == f->v[0] || d == f->v[1] || d == f->v[2]) continue;
          const Sphere D = ball_of(d);
          fourth.push_back(
              Fourth{D, dot(n, sub(D.c, a.c)) > 0, co->in_complex || co->void_id != 0});
        }
      for (int s = 0; s < 2; ++s) {
        const V3 y = s == 0 ? add(x, dn) : sub(x, dn);
        bool free = true;
        for (std::size_t k = 0; k < fourth.size() && free; ++k) {
          const Fourth& g = fourth[k];
          free = !(dist2(y, g.D.c) < g.D.R * g.D.R) && !(g.above == (s == 0) && g.closed);
        }
        if (!free) continue;
        if (sorted[0] == nullptr) {
          std::copy(f->v, f->v + 3, sorted);
          std::sort(sorted, sorted + 3,
                    [](const info* l, const info* r) { return l->index < r->index; });
        }
        Position q;
        q.y = y;
        const Sphere* corner[3] = {&a, &b, &c};
        for (int i = 0; i < 3; ++i) q.n[i] = unit(sub(corner[i]->c, y));
        for (int i = 0; i < 3; ++i) {
          q.side[i] = cross(q.n[(i + 1) % 3], q.n[(i + 2) % 3]);
          q.side2[i] = dot(q.side[i], q.side[i]);
        }
        q.det = dot(q.n[0], q.side[0]);
        q.key = {sorted[0]->index, sorted[1]->index, sorted[2]->index,
                 side_of(centre(sorted[0]), centre(sorted[1]), centre(sorted[2]), y)};
        positions.push_back(q);
      }
    }
  }
  // A patch is the part of its probe sphere inside its cone.  The ball of
  // another position z at distance l < 2p reaches into it exactly when some
  // unit u of the cone has u.e > l / 2p, e the direction to z; the largest
  // u.e over the cone is 1 when e is inside, else the largest over its
  // three sides.  Each patch so reached is measured.
  // Whether reach(e) > edge.  Each value that the largest is taken of is
  // made by the same operations (the sides' normals, their squares and the
  // cone's determinant kept with the position); the largest passes the
  // edge exactly when one of them does (max keeps its first argument for a
  // NaN, and the start -1 lies below every edge), so the first that does
  // settles it.
  auto reaches = [](const Position& x, const V3& e, double edge) {
    const V3* n = x.n;
    const double a[3] = {dot(e, x.side[0]), dot(e, x.side[1]), dot(e, x.side[2])};
    const double D = x.det;
    if (D != 0 && a[0] / D >= 0 && a[1] / D >= 0 && a[2] / D >= 0) return 1.0 > edge;
    const double c[3] = {dot(n[0], e), dot(n[1], e), dot(n[2], e)};
    if (c[0] > edge || c[1] > edge || c[2] > edge) return true;
    for (int i = 0; i < 3; ++i) {
      // the side from n[i] to n[i + 1], normal n[i] x n[i + 1]
      const int k = (i + 2) % 3;
      const V3 &p = n[i], &q = n[(i + 1) % 3], &m = x.side[k];
      const double mm = x.side2[k];
      if (!(mm > 0)) continue;
      const V3 P = sub(e, times(a[k] / mm, m));
      if (dot(cross(p, P), m) >= 0 && dot(cross(P, q), m) >= 0 && norm(P) > edge) return true;
    }
    return false;
  };
  // The positions sorted by their cell of edge 2p: a pair nearer than 2p
  // lies in one cell or in neighbouring ones.  Each pair's test only sets
  // flags, so the order in which pairs are met does not matter.
  const double reach_cell = 2 * probe;
  struct Placed {
    std::array<long, 3> cell;
    std::size_t at;
    bool operator<(const Placed& o) const { return cell < o.cell || (cell == o.cell && at < o.at); }
  };
  std::vector<Placed> placed;
  placed.reserve(positions.size());
  for (std::size_t i = 0; i < positions.size(); ++i)
    placed.push_back(Placed{grid_cell(positions[i].y, reach_cell), i});
  std::sort(placed.begin(), placed.end());
  // The cells held, in order, each with its run of positions.
  struct Run {
    std::array<long, 3> cell;
    std::size_t from, to;
  };
  std::vector<Run> runs;
  for (std::size_t k = 0; k < placed.size(); ++k) {
    if (runs.empty() || runs.back().cell != placed[k].cell)
      runs.push_back(Run{placed[k].cell, k, k});
    runs.back().to = k + 1;
  }
  std::vector<char> fired(positions.size(), 0);
  auto test = [&](std::size_t i, std::size_t j) {
    if (fired[i] && fired[j]) return;  // the test could only set them again
    const V3 d = sub(positions[j].y, positions[i].y);
    const double l = norm(d);
    if (!(l < 2 * probe) || !(l > 0)) return;
    const double edge = l / (2 * probe) - 1e-9;
    const V3 e = times(1 / l, d);
    if (!fired[i] && reaches(positions[i], e, edge)) fired[i] = 1;
    if (!fired[j] && reaches(positions[j], times(-1, e), edge)) fired[j] = 1;
  };
  // Each pair of neighbouring cells once: a cell with itself (each pair
  // of its positions once) and with the neighbours after it in the order,
  // the columns (dx, dy) after (0, 0) whole and the column (0, 0) from z.
  // For each column the cells (x + dx, y + dy, z + dz0 .. z + 1) follow
  // one another in the order, and their first one moves only forwards as
  // the cells do.  test(i, j) makes the same bits either way round (the
  // difference and the direction only change sign): it is given the lower
  // index first.
  for (long dx = 0; dx <= 1; ++dx)
    for (long dy = -1; dy <= 1; ++dy) {
      if (dx == 0 && dy < 0) continue;
      const long dz0 = dx == 0 && dy == 0 ? 0 : -1;
      std::size_t s = 0;
      for (std::size_t at = 0; at < runs.size(); ++at) {
        const Run& r = runs[at];
        const std::array<long, 3> first{r.cell[0] + dx, r.cell[1] + dy, r.cell[2] + dz0};
        const std::array<long, 3> last{r.cell[0] + dx, r.cell[1] + dy, r.cell[2] + 1};
        while (s < runs.size() && runs[s].cell < first) ++s;
        for (std::size_t t = s; t < runs.size() && !(last < runs[t].cell); ++t)
          for (std::size_t a = r.from; a < r.to; ++a)
            for (std::size_t b = t == at ? a + 1 : runs[t].from; b < runs[t].to; ++b) {
              const std::size_t i = placed[a].at, j = placed[b].at;
              test(std::min(i, j), std::max(i, j));
            }
      }
    }
  std::vector<std::size_t> cut;
  for (std::size_t i = 0; i < positions.size(); ++i)
    if (fired[i]) cut.push_back(i);
  if (cut.empty()) return out;
  // Each such patch measured with everything that can cut it (within 2p),
  // unless the voids' mend measured it.
  std::vector<V3> sites;
  std::vector<std::array<int, 4>> keys;
  for (std::size_t i : cut) {
    sites.push_back(positions[i].y);
    keys.push_back(positions[i].key);
  }
  const std::map<int, SurfaceChange> change =
      measure_open(shared.index().near, atoms, probe, before, sites, keys, cusp);
  for (const auto& kv : change) out.push_back(kv.second);
  return out;
}
