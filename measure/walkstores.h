// What the area walk keeps of the ball pieces between the simplices that
// share them: an optional layer over the caches of ballcache.h, which are
// themselves a layer over the plain forms.  Each store hands a simplex's
// balls the pieces an earlier simplex computed, as they would compute them.
#ifndef MEASURE_WALKSTORES_H
#define MEASURE_WALKSTORES_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "measure/ballcache.h"
#include "measure/complexbuild.h"
#include "measure/intersectionsegmentnew.h"

// What the walk keeps per edge, made by the first simplex of the complex
// that needs it: the cap heights of its two ends, which every simplex around
// the edge uses, and the two tori (one per direction), which the edge and
// every triangle and tetrahedron around it add.  Direction 0 runs from
// v[0] to v[1].
class EdgePieces {
 public:
  // Room for the edges of the complex only.
  EdgePieces(const std::vector<edge>& edges, double probe, int cusp)
      : slot_(edges.size(), -1), base_(edges.data()), probe_(probe), cusp_(cusp) {
    int n = 0;
    for (std::size_t k = 0; k < edges.size(); ++k)
      if (edges[k].in_complex) slot_[k] = n++;
    pieces_.resize(static_cast<std::size_t>(n));
    have_.assign(static_cast<std::size_t>(n), 0);
    for (std::size_t k = 0; k < edges.size(); ++k) {
      const edge& e = edges[k];
      if (slot_[k] >= 0 && beyond(*e.v[0], *e.v[1]) != beyond(*e.v[1], *e.v[0]))
        have_[static_cast<std::size_t>(slot_[k])] = kBeyond;
    }
  }

  // The heights known so far, handed to the balls of a simplex that holds
  // the edge's ends at positions a (of v[0]) and b (of v[1]).
  template <class Balls>
  void lend(const edge& e, int a, int b, Balls& g) const {
    const int k = slot(e);
    if (k < 0) return;
    const unsigned char have = have_[static_cast<std::size_t>(k)];
    const Pieces& s = pieces_[static_cast<std::size_t>(k)];
    if (have & kHeight0) g.keep_height(a, b, s.height[0]);
    if (have & kHeight1) g.keep_height(b, a, s.height[1]);
  }
  // The heights the simplex has computed.
  template <class Balls>
  void take(const edge& e, int a, int b, const Balls& g) {
    const int k = slot(e);
    if (k < 0) return;
    unsigned char& have = have_[static_cast<std::size_t>(k)];
    Pieces& s = pieces_[static_cast<std::size_t>(k)];
    if (!(have & kHeight0) && g.kept_height(a, b, &s.height[0])) have |= kHeight0;
    if (!(have & kHeight1) && g.kept_height(b, a, &s.height[1])) have |= kHeight1;
  }
  bool height(const edge& e, int dir, double* h) const {
    const int k = slot(e);
    if (k < 0 || !(have_[static_cast<std::size_t>(k)] & (kHeight0 << dir))) return false;
    *h = pieces_[static_cast<std::size_t>(k)].height[dir];
    return true;
  }
  bool has_torus(const edge& e, int dir) const {
    const int k = slot(e);
    return k >= 0 && (have_[static_cast<std::size_t>(k)] & (kTorus0 << dir));
  }
  // The torus of the direction; computed on g, which holds the ends at
  // positions a (of v[0]) and b (of v[1]), when not known yet (and not
  // kept for an edge outside the complex).
  template <class Balls>
  Torus torus(const edge& e, int dir, int a, int b, Balls& g) {
    const int k = slot(e);
    if (k < 0) {
      Torus t = dir == 0 ? g.torus(a, b, cusp_) : g.torus(b, a, cusp_);
      split(t, e, dir, a, b, g);
      return t;
    }
    unsigned char& have = have_[static_cast<std::size_t>(k)];
    Torus& t = pieces_[static_cast<std::size_t>(k)].torus[dir];
    if (!(have & (kTorus0 << dir))) {
      t = dir == 0 ? g.torus(a, b, cusp_) : g.torus(b, a, cusp_);
      if (have & kBeyond) split(t, e, dir, a, b, g);
      have |= kTorus0 << dir;
    }
    return t;
  }
  // A torus known already (has_torus).
  const Torus& torus(const edge& e, int dir) const {
    return pieces_[static_cast<std::size_t>(slot(e))].torus[dir];
  }

 private:
  // kBeyond: one centre lies beyond the radical plane (split_by_cells).
  enum : unsigned char { kHeight0 = 1, kHeight1 = 2, kTorus0 = 4, kTorus1 = 8, kBeyond = 16 };
  struct Pieces {
    double height[2];
    Torus torus[2];
  };
  // By the place of the record, which tells it without reading it.
  int slot(const edge& e) const { return slot_[static_cast<std::size_t>(&e - base_)]; }
  // The torus from a (position of its first atom in g) to b, split by the
  // power cells (split_by_cells).
  template <class Balls>
  void split(Torus& t, const info& i, const info& j, int a, int b, Balls& g) const {
    split_by_cells(t, i.radius, j.radius, probe_, g.height(a, b), g.height(b, a), beyond(i, j),
                   beyond(j, i));
  }
  template <class Balls>
  void split(Torus& t, const edge& e, int dir, int a, int b, Balls& g) const {
    if (dir == 0)
      split(t, *e.v[0], *e.v[1], a, b, g);
    else
      split(t, *e.v[1], *e.v[0], b, a, g);
  }
  // The centre of i lies beyond the radical plane of i and j, on c_j's side.
  bool beyond(const info& i, const info& j) const {
    return !alf_is_hidden0(ball_of(i, probe_), ball_of(j, probe_));
  }
  std::vector<int> slot_;
  const edge* base_;
  std::vector<Pieces> pieces_;
  std::vector<unsigned char> have_;
  double probe_;
  int cusp_;
};

// An edge of a simplex with the positions of its ends v[0] and v[1] among
// the simplex's vertices.
struct EdgeAt {
  const edge* e;
  int a, b;
};

// The edges of a simplex (in its edge order), the ends of edge k being the
// simplex's vertices ends[k][0] and ends[k][1], in the order of the edge
// that `order` tells (tetra_order, tria_order).
template <int M>
void edges_at(edge* const (&edges)[M], const int (&ends)[M][2], std::uint32_t order,
              EdgeAt (&out)[M]) {
  for (int k = 0; k < M; ++k) {
    const int x = ends[k][0], y = ends[k][1];
    const bool forward = edge_runs_forward(order, k);
    out[k] = EdgeAt{edges[k], forward ? x : y, forward ? y : x};
  }
}

template <int M, class Balls>
void lend_heights(const EdgeAt (&at)[M], const EdgePieces& pieces, Balls& g) {
  for (const EdgeAt& x : at) pieces.lend(*x.e, x.a, x.b, g);
}

template <int M, class Balls>
void take_heights(const EdgeAt (&at)[M], EdgePieces& pieces, const Balls& g) {
  for (const EdgeAt& x : at) pieces.take(*x.e, x.a, x.b, g);
}

// The torus of the edge taken from the end at position `from`.
template <class Balls>
Torus torus_from(const EdgeAt& x, int from, EdgePieces& pieces, Balls& g) {
  return pieces.torus(*x.e, x.a == from ? 0 : 1, x.a, x.b, g);
}

// What a triangle of the complex adds, kept from the first tetrahedron of
// the complex around it, whose balls have most of the pieces at hand: the
// caps of its three spheres in its wedge (areas, and volumes for the report
// type 4), the arcs of its three radical circles, and its probe patch.
struct TriaPieces {
  double area[3], volume[3], segment[3], patch;
};

template <class Balls>
void tria_pieces(Balls& g, int a, int b, int c, bool volumes, TriaPieces& t) {
  t.area[0] = g.cap2_area(a, b, c);
  t.area[1] = g.cap2_area(b, a, c);
  t.area[2] = g.cap2_area(c, a, b);
  if (volumes) {
    t.volume[0] = g.cap2_volume(a, b, c, t.area[0]);
    t.volume[1] = g.cap2_volume(b, a, c, t.area[1]);
    t.volume[2] = g.cap2_volume(c, a, b, t.area[2]);
  }
  t.segment[0] = g.segment_angle(a, b, c);
  t.segment[1] = g.segment_angle(a, c, b);
  t.segment[2] = g.segment_angle(b, c, a);
  t.patch = g.patch(a, b, c).area;
}

class TriaStore {
 public:
  TriaStore(const std::vector<tria>& trias, bool volumes)
      : slot_(trias.size(), -1), base_(trias.data()), volumes_(volumes) {
    int n = 0;
    for (std::size_t k = 0; k < trias.size(); ++k)
      if (trias[k].in_complex) slot_[k] = n++;
    pieces_.resize(static_cast<std::size_t>(n));
    have_.assign(static_cast<std::size_t>(n), 0);
  }
  // Keeps the pieces of face f, whose vertices sit at positions pos[0..2] of
  // g, unless they are kept already or the face is outside the complex.
  template <class Balls>
  void fill(const tria& f, const int* pos, Balls& g) {
    const int k = slot_[static_cast<std::size_t>(&f - base_)];
    if (k < 0 || have_[static_cast<std::size_t>(k)]) return;
    tria_pieces(g, pos[0], pos[1], pos[2], volumes_, pieces_[static_cast<std::size_t>(k)]);
    have_[static_cast<std::size_t>(k)] = 1;
  }
  const TriaPieces* get(const tria& f) const {
    const int k = slot_[static_cast<std::size_t>(&f - base_)];
    return k >= 0 && have_[static_cast<std::size_t>(k)] ? &pieces_[static_cast<std::size_t>(k)]
                                                        : nullptr;
  }
  bool volumes() const { return volumes_; }

 private:
  std::vector<int> slot_;
  const tria* base_;
  std::vector<TriaPieces> pieces_;
  std::vector<char> have_;
  bool volumes_;
};

// The number of tetrahedra of the complex at each triangle, by the place of
// its record, found from the tetrahedra: the walk then reads no tetrahedron
// through its faces.
inline std::vector<unsigned char> complex_cofaces(const std::vector<tetra>& tetras,
                                                  const std::vector<tria>& trias) {
  std::vector<unsigned char> n(trias.size(), 0);
  for (const tetra& t : tetras)
    if (t.in_complex)
      for (const tria* f : t.faces)
        if (f != nullptr) ++n[static_cast<std::size_t>(f - trias.data())];
  return n;
}

// The pieces of a face's three balls (TetraBalls::Face): the first of the
// face's two tetrahedra of the complex keeps them for the second, which
// takes them over.  Only the faces between their two tetrahedra in list
// order are kept at a time.
class FaceMemo {
 public:
  // cofaces: complex_cofaces(tetras, trias).
  FaceMemo(const std::vector<tria>& trias, const std::vector<tetra>& tetras,
           const std::vector<unsigned char>& cofaces)
      : slot_(trias.size(), kAlone), base_(trias.data()) {
    for (std::size_t k = 0; k < trias.size(); ++k)
      if (trias[k].in_complex && cofaces[k] == 2) slot_[k] = kWaiting;
    // Room for the most faces kept at once: nothing moves afterwards.  A
    // face is kept from its first tetrahedron to its second.
    int open = 0, most = 0;
    for (const tetra& t : tetras) {
      if (!t.in_complex) continue;
      for (const tria* f : t.faces) {
        if (f == nullptr) continue;
        int& slot = slot_[static_cast<std::size_t>(f - base_)];
        if (slot == kWaiting) {
          slot = kOpen;
          most = ++open > most ? open : most;
        } else if (slot == kOpen) {
          slot = kWaiting;
          --open;
        }
      }
    }
    entries_.reserve(static_cast<std::size_t>(most));
  }

  // Hands g, which holds the face (its face k) with its vertices at
  // positions pos, what the first tetrahedron kept; the face is then done
  // with.
  void lend(const tria& f, int k, const int* pos, TetraBalls& g) {
    int& slot = slot_[static_cast<std::size_t>(&f - base_)];
    if (slot < 0) return;
    g.lend_face(k, pos, entries_[static_cast<std::size_t>(slot)]);
    free_.push_back(slot);
    slot = kAlone;
  }
  // Keeps what g computed for a face whose second tetrahedron comes later.
  void take(const tria& f, const int* pos, const TetraBalls& g) {
    int& slot = slot_[static_cast<std::size_t>(&f - base_)];
    if (slot != kWaiting) return;
    if (free_.empty()) {
      slot = static_cast<int>(entries_.size());
      entries_.emplace_back();
    } else {
      slot = free_.back();
      free_.pop_back();
    }
    g.keep_face(pos, &entries_[static_cast<std::size_t>(slot)]);
  }

 private:
  enum { kOpen = -3, kAlone = -2, kWaiting = -1 };
  std::vector<int> slot_;  // per triangle: an entry, kWaiting or kAlone
  const tria* base_;
  std::vector<TetraBalls::Face> entries_;
  std::vector<int> free_;
};

#endif
