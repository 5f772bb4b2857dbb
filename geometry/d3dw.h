#ifndef GEOMETRY_D3DW_H
#define GEOMETRY_D3DW_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/predicates.h"

class C2Simplex;
class C3Simplex;
struct CD3DCell;
struct CD3DTriangle;

// One directed edge of one oriented triangle: the triangle is traversed
// origin -> destination -> apex.
//
// The six records of a triangle are the first six bytes of its
// CD3DTriangle block, which holds what they share; a record is never read
// as data, only its address is. Blocks are aligned to 8 bytes, so a
// record's position 0..5 in its block (its slot) is its address modulo 8
// and the block is its address rounded down. Rings are not stored: a
// record's successor is a face of the cell it faces into, found from the
// cell and the record's place in it.
// Slots: 0 (P,Q,R), 1 (Q,R,P), 2 (R,P,Q), 3 (Q,P,R), 4 (R,Q,P), 5 (P,R,Q).
// The records of one orientation (slots 0-2) share `cell` and `c3simplex`;
// all six share `c2simplex`, the minors (negated in the other
// orientation), the cache of CD3DW::positive and whether the triangle has
// left the triangulation.
struct CD3DEdge {
  // (origin, destination, v) of the next triangle around origin ->
  // destination, v the fourth vertex of cell().
  inline CD3DEdge* fnext() const;

  int slot() const { return int(reinterpret_cast<std::uintptr_t>(this) & 7); }
  inline CD3DTriangle* triangle() const;
  inline CXYZW* origin() const;
  inline CXYZW* destination() const;
  inline CXYZW* apex() const;
  inline CD3DEdge* sym() const;    // (destination, origin, apex)
  inline CD3DEdge* enext() const;  // (destination, apex, origin)
  // The tetrahedron on the record's positive side.
  inline CD3DCell* cell() const;
  // The triangle has left the triangulation (or is a bounding triangle
  // that was never tested).
  inline bool dead() const;

  // Back-pointers of the alpha complex (CAlpha); null until it sets them.
  C2Simplex* c2simplex() const;
  void set_c2simplex(C2Simplex* s);
  C3Simplex* c3simplex() const;
  void set_c3simplex(C3Simplex* s);

  // Asks for the minors of the triangle. Their last bits depend on the
  // rotation they are computed from, so the first record that asks is
  // remembered and they are always computed from it.
  inline void note_minors();
  void check_minors() { note_minors(); }
  // The minors have been asked for.
  inline bool minors_valid() const;
  // m[0] = det[a; b; c], m[1] = det of rows (y, z, 1), m[2] = (x, z, 1),
  // m[3] = (x, y, 1), with a, b, c = origin, destination, apex of this
  // record (asks for them first).
  void minors(CInexact m[4]);
  CInexact minors(int k) {
    CInexact m[4];
    minors(m);
    return m[k];
  }
  // The last point CD3DW::positive tested against this triangle (its
  // serial) and the answer for this record.
  inline std::uint32_t cached_point() const;
  inline bool cached_positive() const;
};

// The block of one triangle (P, Q, R), made by CD3DW::make_triangle: its
// six records, the vertices, the cells on the two sides, the cache of
// CD3DW::positive, its creation number and a few state bits, 56 bytes. The
// alpha-complex back-pointers live beside the blocks (see CD3DW::Arena).
struct CD3DTriangle {
  CD3DEdge rec[6];
  unsigned char state;     // kDead, kCachePositive, kListed << k
  signed char minor_slot;  // the record that asked first for the minors, -1 none
  CXYZW* v[3];             // P, Q, R
  // The cell of rec[0..2] (rec[3..5]) with, in the low bits, the face of the
  // cell this triangle is and which record of the orientation the cell
  // holds there (CD3DW::set_cell); 0 while there is none.
  std::uintptr_t side[2];
  std::uint32_t cache_point;  // serial of the last point tested, 0 none
  std::uint32_t stamp;        // creation number: the order of triangles()

  static constexpr unsigned char kDead = 1;
  static constexpr unsigned char kCachePositive = 2;  // answer for rec[0..2]
  // Edge k (PQ, QR, RP) met by CD3DW::list_edges.
  static constexpr unsigned char kListed = 4;
};

static_assert(sizeof(CD3DEdge) == 1 && sizeof(CD3DTriangle) == 56 &&
                  alignof(CD3DTriangle) == 8,
              "records are the first six bytes of their blocks");

namespace d3dw_detail {
// Vertex of each slot: origin, destination, apex; and the sym/enext slots.
constexpr unsigned char kOrg[6] = {0, 1, 2, 1, 2, 0};
constexpr unsigned char kDst[6] = {1, 2, 0, 0, 1, 2};
constexpr unsigned char kApx[6] = {2, 0, 1, 2, 0, 1};
constexpr signed char kSymStep[6] = {3, 3, 3, -3, -3, -3};
constexpr signed char kNextStep[6] = {1, 1, -2, 2, -1, -1};
// From a record in slot s: the record k enext steps on, and the sym of
// that one, as steps in its block. The slot of the first is s plus its step.
constexpr signed char kRotStep[6][3] = {{0, 1, 2}, {0, 1, -1}, {0, -2, -1},
                                        {0, 2, 1}, {0, -1, 1}, {0, -1, -2}};
constexpr signed char kSymRotStep[6][3] = {{3, 4, 5},    {3, 4, 2},    {3, 1, 2},
                                           {-3, -1, -2}, {-3, -4, -2}, {-3, -4, -5}};
// The place of a slot among the records of its orientation in enext order
// (0 -> 1 -> 2, 3 -> 5 -> 4).
constexpr unsigned char kPlace[6] = {0, 1, 2, 0, 2, 1};
// For face i of a cell and its k-th record (face, enext, enext.enext): the
// other face of the cell that holds the same edge, and the rotation of that
// face's record that starts at the edge's destination (faces by the cell
// convention (V0,V1,V2), (V0,V3,V1), (V0,V2,V3), (V1,V3,V2)).
constexpr unsigned char kOtherFace[4][3] = {{1, 3, 2}, {2, 3, 0}, {0, 3, 1}, {1, 2, 0}};
constexpr unsigned char kOtherRot[4][3] = {{2, 2, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 1}};
// A triangle's side holds, beside the cell, q = 4 i + the place of the
// record the cell holds as its face i. For such q and a record of that
// orientation in slot s, face[k][q][s] and rot[k][q][s] tell where the
// fnext of the k-th enext of the record lies: the other face of the cell
// at that record's edge (as its offset in CD3DCell) and 8 times the
// rotation of that face that starts at the edge's destination; the fnext
// is the sym of that (kSymRotAt).
struct RingTable {
  unsigned char face[3][16][6];
  unsigned char rot[3][16][6];
  constexpr RingTable() : face(), rot() {
    for (int k = 0; k < 3; ++k)
      for (int q = 0; q < 16; ++q)
        for (int s = 0; s < 6; ++s) {
          const int i = (q >> 2) & 3;
          const int r = (kPlace[s + kRotStep[s][k]] - (q & 3) + 3) % 3;
          face[k][q][s] = static_cast<unsigned char>(8 * kOtherFace[i][r]);
          rot[k][q][s] = static_cast<unsigned char>(8 * kOtherRot[i][r]);
        }
  }
};
constexpr RingTable kRing{};
// kSymRotStep[s][r] at 8 r + s: with the rotation from kRing, one add to
// the slot of the face read from the cell finds the step.
struct SymRotTable {
  signed char at[24];
  constexpr SymRotTable() : at() {
    for (int r = 0; r < 3; ++r)
      for (int s = 0; s < 6; ++s) at[8 * r + s] = kSymRotStep[s][r];
  }
};
constexpr SymRotTable kSymRotAt{};

// Asks the memory for the block of record e.
inline void fetch_block(const CD3DEdge* e) {
  const char* a = reinterpret_cast<const char*>(e->triangle());
  __builtin_prefetch(a);
  __builtin_prefetch(a + sizeof(CD3DTriangle) - 1);
}
}  // namespace d3dw_detail

inline CD3DTriangle* CD3DEdge::triangle() const {
  return reinterpret_cast<CD3DTriangle*>(reinterpret_cast<std::uintptr_t>(this) &
                                         ~std::uintptr_t(7));
}
inline CXYZW* CD3DEdge::origin() const { return triangle()->v[d3dw_detail::kOrg[slot()]]; }
inline CXYZW* CD3DEdge::destination() const { return triangle()->v[d3dw_detail::kDst[slot()]]; }
inline CXYZW* CD3DEdge::apex() const { return triangle()->v[d3dw_detail::kApx[slot()]]; }
inline CD3DEdge* CD3DEdge::sym() const {
  return const_cast<CD3DEdge*>(this) + d3dw_detail::kSymStep[slot()];
}
inline CD3DEdge* CD3DEdge::enext() const {
  return const_cast<CD3DEdge*>(this) + d3dw_detail::kNextStep[slot()];
}
inline CD3DCell* CD3DEdge::cell() const {
  return reinterpret_cast<CD3DCell*>(triangle()->side[slot() >= 3] & ~std::uintptr_t(15));
}
inline bool CD3DEdge::dead() const { return triangle()->state & CD3DTriangle::kDead; }
inline bool CD3DEdge::minors_valid() const { return triangle()->minor_slot >= 0; }
inline void CD3DEdge::note_minors() {
  CD3DTriangle* t = triangle();
  if (t->minor_slot < 0) t->minor_slot = static_cast<signed char>(slot());
}
inline std::uint32_t CD3DEdge::cached_point() const { return triangle()->cache_point; }
inline bool CD3DEdge::cached_positive() const {
  return (slot() < 3) == bool(triangle()->state & CD3DTriangle::kCachePositive);
}

namespace d3dw_detail {
// The fnext of the k-th enext of e (k = 0, 1, 2): the other faces of e's
// cell at e's three edges, facing out of it. Give the ones needed.
template <int... K>
inline void cell_ring(const CD3DEdge* e, CD3DEdge** out) {
  const int s = e->slot();
  const std::uintptr_t side = e->triangle()->side[s >= 3];
  const char* c = reinterpret_cast<const char*>(side & ~std::uintptr_t(15));
  const int q = int(side & 15);
  auto one = [c, q, s](int k) {
    CD3DEdge* g = *reinterpret_cast<CD3DEdge* const*>(c + kRing.face[k][q][s]);
    return g + kSymRotAt.at[kRing.rot[k][q][s] + g->slot()];
  };
  ((out[K] = one(K)), ...);
}
}  // namespace d3dw_detail

// A tetrahedron: the records facing into it, face[0] = (V0, V1, V2),
// face[1] = (V0, V3, V1), face[2] = (V0, V2, V3), face[3] = (V1, V3, V2).
// A cell that left the triangulation is set free and has a null face[0]
// until it is used again. Aligned to 16 bytes: the triangles keep bits of
// their own beside a cell's address.
struct alignas(16) CD3DCell {
  CD3DEdge* face[4];

  bool live() const { return face[0] != nullptr; }
  CXYZW* vertex(int i) const {
    return i == 3 ? face[1]->destination() : i == 2 ? face[0]->apex()
           : i == 1 ? face[0]->destination() : face[0]->origin();
  }
};

// The successor of a record: the other face of its cell at its edge,
// facing out of the cell.
inline CD3DEdge* CD3DEdge::fnext() const {
  CD3DEdge* f;
  d3dw_detail::cell_ring<0>(this, &f);
  return f;
}

// Regular (weighted Delaunay) triangulation inside a bounding tetrahedron
// of size M. Owns its points, records and cells.
//
// Memory: about 45 triangles and 50 cells are made per inserted point, of
// which about 13 and 7 stay. A flip builds its new cells in the storage of
// those it replaces; the blocks of triangles that leave the triangulation
// are reused from the next insertion on (a record of one may still wait on
// the flip stack until then). Each triangle carries its creation number,
// which fixes the order of the alpha complex (triangles()). Point location
// walks from a cell near the new point.
class CD3DW {
 public:
  std::vector<CXYZW*> points;         // every point given to add(), in call order
  std::vector<CD3DCell*> cells;       // every cell object, live or free
  std::vector<CD3DEdge*> flip_stack;  // empty between calls
  CXYZW bound[4];

  // Counters for the bench and the tests; they never reach an output.
  struct Stats {
    std::uint64_t flips23 = 0;
    std::uint64_t flips32 = 0;            // flip32 calls
    std::uint64_t left_out = 0;           // points left out or removed by 4-1 flips
    std::uint64_t location_steps = 0;
    std::uint64_t positive_calls = 0;
    std::uint64_t positive_cached = 0;    // answered by the cache
    std::uint64_t positive_noted = 0;     // on a triangle whose minors were asked before
    std::uint64_t positive_exact = 0;     // decided in exact arithmetic
    std::uint64_t insphere_calls = 0;
    std::uint64_t insphere_exact = 0;
  } stats;
  double M;
  // Messages add() has written ("coordinates too large!", failed 3-2 flip
  // checks) plus points it skipped as impossible to locate; zero means the
  // insertions were silent and regular.
  std::uint64_t warnings = 0;

  explicit CD3DW(double M);
  ~CD3DW();
  CD3DW(const CD3DW&) = delete;
  CD3DW& operator=(const CD3DW&) = delete;

  // Sizes the containers for about n points (a hint; nothing else changes).
  void reserve(std::size_t n);
  void add(double x, double y, double z, double w, int id, void* data);
  void new6(CD3DEdge*& e0, CD3DEdge*& e1, CD3DEdge*& e2, CD3DEdge*& e3, CD3DEdge*& e4,
            CD3DEdge*& e5, CXYZW* P, CXYZW* Q, CXYZW* R);
  // A cell with the records f0..f3 facing into it, which run (V0, V1, V2),
  // (V0, V3, V1), (V0, V2, V3), (V1, V3, V2) for its vertices V0..V3: the
  // rings of their edges pass through it. For triangles made with new6.
  CD3DCell* new_cell(CD3DEdge* f0, CD3DEdge* f1, CD3DEdge* f2, CD3DEdge* f3);
  // Every triangle of the triangulation (the four bounding triangles
  // first), in creation order; valid until the next add().
  const std::vector<CD3DTriangle*>& triangles();
  // The live directed edges between real vertices, both ways, by (origin
  // id, destination id); of the records of one edge, that of the first
  // triangle made.
  void list_edges(std::vector<CD3DEdge*>* out);
  // The same edges once each: the records of list_edges whose origin has
  // the smaller id, in its order.
  void list_edges_once(std::vector<CD3DEdge*>* out);
  inline bool positive(CD3DEdge* e, CXYZW* p);
  bool insphere(CD3DEdge* e, CXYZW* p);
  // insphere() that leaves its differences in `frame` for the orientation
  // tests that follow, and positive() with the sign for e's own order that
  // such a test proved (*sign, 0 when it could not; null: none was tried).
  bool insphere(CD3DEdge* e, CXYZW* p, DifferenceFrame& frame);
  inline bool positive(CD3DEdge* e, CXYZW* p, const int* sign);
  CD3DEdge* flip32(CD3DEdge* x);
  // Called by every new alpha complex: clears the back-pointers an earlier
  // one set in the records and points.
  void clear_simplex_links();
  // The kernel's exact cascades (geometry/predicates.h).
  static int sign4(CXYZW** pts) { return ::sign4(pts); }
  static int sign5(CXYZW** pts) { return ::sign5(pts); }

  struct Arena;

 private:
  struct Grid;
  Arena* arena_;
  Grid* grid_;
  CD3DEdge* bound_face_[4];  // the bounding triangles, facing in
  // The bounding triangles facing out, as a cell: it closes the rings of
  // the bounding edges and is never located.
  CD3DCell outside_;
  // The live triangles by creation number, made by triangles() when a
  // triangle was made or left since.
  std::vector<CD3DTriangle*> order_;
  bool order_valid_ = false;
  std::uint32_t next_stamp_ = 0;  // creation number of the next triangle
  std::vector<CD3DTriangle*> dying_blocks_;  // left during this insertion
  unsigned walk_turn_ = 0;
  std::uint32_t next_serial_ = 0;
  // The smallest and largest coordinates and weights of the points given
  // to add() that it did not skip, and the filter bounds they give for
  // tests among the vertices.
  double lo_[4] = {kernel_detail::kInf, kernel_detail::kInf, kernel_detail::kInf,
                   kernel_detail::kInf};
  double hi_[4] = {-kernel_detail::kInf, -kernel_detail::kInf, -kernel_detail::kInf,
                   -kernel_detail::kInf};
  DifferenceBounds bounds_ = {kernel_detail::kInf, kernel_detail::kInf};
  bool complex_built_ = false;  // a complex has set back-pointers

  std::uint32_t serial_of(CXYZW* p) { return p->serial ? p->serial : (p->serial = ++next_serial_); }

  CD3DCell* locate(CXYZW* p);
  void widen(const CXYZW* p);
  // positive(e, p, sign); `vertices` tells that p and e's vertices are
  // vertices of this triangulation (or the point being inserted).
  inline bool side(CD3DEdge* e, CXYZW* p, const int* sign, bool vertices);
  bool insphere_bounded(CD3DEdge* abc, CD3DEdge* abd, CD3DEdge* bcd, CD3DEdge* acd, CXYZW* p);
  // Side of p against rec[0..2] of t when the static filter could not
  // tell: from the dynamic one, else from the minors, else exactly (sets
  // *exact).
  bool side_by_minors(CD3DTriangle* t, CXYZW* p, bool* exact);
  // A triangle (P, Q, R) for a flip: its sides are unset until the cells on
  // both sides are set.
  CD3DTriangle* make_triangle(CXYZW* P, CXYZW* Q, CXYZW* R);
  CD3DCell* take_cell();
  // The cell left the triangulation; its storage is reused at once.
  void free_cell(CD3DCell* c);
  // Makes c the cell with the faces f[0..3] facing into it, of slots s[].
  inline void set_cell(CD3DCell* c, CD3DEdge* const* f, const int* s);
  void kill_triangle(CD3DEdge* e);
  // Frees what left the triangulation while p was inserted, and lets point
  // location start near p.
  void end_insertion(CXYZW* p);
  void renumber_triangles();
  // The records of list_edges_once in *out (its capacity reserved for
  // `room` times the edges), the number of vertex ids and, by vertex id,
  // how many edges have it as their smaller and their larger end.
  std::size_t sorted_edges(std::vector<CD3DEdge*>* out, std::size_t room,
                           std::vector<std::uint32_t>* lo, std::vector<std::uint32_t>* hi);
  void push(CD3DEdge* e) {
    e->triangle()->state &= static_cast<unsigned char>(~CD3DTriangle::kDead);
    flip_stack.push_back(e);
  }
  void split14(CD3DCell* leaf, CXYZW* p);
  void flip23(CD3DEdge* e, CD3DEdge* abp, CD3DEdge* bcp, CD3DEdge* cap, CD3DEdge* abd,
              CD3DEdge* acd, CD3DEdge* bcd, CXYZW* d);
  CD3DEdge* flip32(CD3DEdge* x, CD3DEdge* y, CD3DEdge* ux, CD3DEdge* qov, CD3DEdge* tqv,
                   CD3DEdge* oqu, CD3DEdge* qtu);
  void flip41(CD3DEdge* r);
  bool inside_bound(CXYZW* p);
};

// The predicate on the hot paths of location and flips: the cache of the
// triangle, else the filter the caller proved or the static one, else the
// minors.
__attribute__((always_inline)) inline bool CD3DW::side(CD3DEdge* e, CXYZW* p, const int* sign,
                                                       bool vertices) {
  ++stats.positive_calls;
  CD3DTriangle* t = e->triangle();
  const int slot = e->slot();
  const std::uint32_t serial = serial_of(p);
  if (t->cache_point == serial) {
    ++stats.positive_cached;
    return (slot < 3) == bool(t->state & CD3DTriangle::kCachePositive);
  }
  if (t->minor_slot >= 0)
    ++stats.positive_noted;
  else
    t->minor_slot = static_cast<signed char>(slot);
  // For the orientation of slots 0-2; the other orientation is the reverse.
  // Points with ids below 0 may be bounding vertices, outside the extent of
  // the others.
  const int s0 = sign ? (slot < 3 ? *sign : -*sign)
                 : vertices && (t->v[0]->id | t->v[1]->id | t->v[2]->id | p->id) >= 0
                     ? orient_sign_in(*t->v[0], *t->v[1], *t->v[2], *p, bounds_)
                     : orient_sign_static(*t->v[0], *t->v[1], *t->v[2], *p);
  bool r0;
  if (s0) {
    r0 = s0 > 0;
  } else {
    bool exact = false;
    r0 = side_by_minors(t, p, &exact);
    if (exact) ++stats.positive_exact;
  }
  t->cache_point = serial;
  t->state = static_cast<unsigned char>((t->state & ~CD3DTriangle::kCachePositive) |
                                        (r0 ? CD3DTriangle::kCachePositive : 0));
  return (slot < 3) == r0;
}

inline bool CD3DW::positive(CD3DEdge* e, CXYZW* p, const int* sign) {
  return side(e, p, sign, false);
}

inline bool CD3DW::positive(CD3DEdge* e, CXYZW* p) { return side(e, p, nullptr, false); }

// The order in which every triangulation builder inserts its n atoms: the
// indices 0..n-1 shuffled from the back with the C library's rand() after
// srandom(1).
std::vector<int> seeded_insertion_order(int n);

#endif
