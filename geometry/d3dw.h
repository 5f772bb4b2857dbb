#ifndef GEOMETRY_D3DW_H
#define GEOMETRY_D3DW_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/predicates.h"

class C0Simplex;
class C1Simplex;
class C2Simplex;
class C3Simplex;
struct CD3DCell;
struct CD3DTriangle;

// One directed edge of one oriented triangle: the triangle is traversed
// origin -> destination -> apex. The six records of a triangle live together
// in one CD3DTriangle block, which holds what they share: the three vertices,
// the cells on the two sides, the minors, the cache of CD3DW::positive and
// the alpha-complex back-pointers. So that a record costs 16 bytes instead of
// about 160, `origin`, `destination`, `apex`, `cell`, `sym`, `enext`,
// `c1simplex`, `c2simplex` and `c3simplex` are data-free views into the block:
// they read (and, for cell and the back-pointers, assign) like pointer
// fields: `e->origin->id`, `e->enext->fnext`, `e->c3simplex = s`,
// `CXYZW* p = e->apex`. They cannot be copied as objects (no `auto v =
// e->origin`; name the pointer type). The records of one orientation (slots
// 0-2) share `cell` and `c3simplex`; a record and its `sym` share
// `c1simplex`; all six share `c2simplex`.
struct CD3DEdge;

namespace d3dw_detail {

CXYZW* origin_of(const CD3DEdge* e);
CXYZW* destination_of(const CD3DEdge* e);
CXYZW* apex_of(const CD3DEdge* e);
CD3DEdge* sym_of(const CD3DEdge* e);
CD3DEdge* enext_of(const CD3DEdge* e);
CD3DCell* cell_of(const CD3DEdge* e);
void set_cell(CD3DEdge* e, CD3DCell* c);
C1Simplex* c1_of(const CD3DEdge* e);
void set_c1(CD3DEdge* e, C1Simplex* s);
C2Simplex* c2_of(const CD3DEdge* e);
void set_c2(CD3DEdge* e, C2Simplex* s);
C3Simplex* c3_of(const CD3DEdge* e);
void set_c3(CD3DEdge* e, C3Simplex* s);

// A read-only pointer view at byte offset Off of its record.
template <class T, int Off, T* (*Get)(const CD3DEdge*)>
class View {
 public:
  View() = default;
  View(const View&) = delete;
  View& operator=(const View&) = delete;
  operator T*() const { return Get(owner()); }
  T* operator->() const { return Get(owner()); }

 private:
  const CD3DEdge* owner() const {
    return reinterpret_cast<const CD3DEdge*>(reinterpret_cast<const char*>(this) - Off);
  }
};

// An assignable pointer view at byte offset Off of its record.
template <class T, int Off, T* (*Get)(const CD3DEdge*), void (*Set)(CD3DEdge*, T*)>
class Slot {
 public:
  Slot() = default;
  Slot(const Slot&) = delete;
  operator T*() const { return Get(owner()); }
  T* operator->() const { return Get(owner()); }
  Slot& operator=(T* v) {
    Set(const_cast<CD3DEdge*>(owner()), v);
    return *this;
  }
  Slot& operator=(const Slot& o) { return *this = static_cast<T*>(o); }

 private:
  const CD3DEdge* owner() const {
    return reinterpret_cast<const CD3DEdge*>(reinterpret_cast<const char*>(this) - Off);
  }
};

}  // namespace d3dw_detail

struct CD3DEdge {
  CD3DEdge* fnext;      // (origin, destination, v) of the next triangle around origin->destination
  unsigned char flags;  // 1: on the flip stack; 2: dead or bounding-tetrahedron record
  unsigned char slot;   // position 0..5 in its triangle block
  // The views hold no data, so they share one byte.
  union {
    d3dw_detail::View<CXYZW, 10, d3dw_detail::origin_of> origin;
    d3dw_detail::View<CXYZW, 10, d3dw_detail::destination_of> destination;
    d3dw_detail::View<CXYZW, 10, d3dw_detail::apex_of> apex;
    // the tetrahedron on the record's positive side
    d3dw_detail::Slot<CD3DCell, 10, d3dw_detail::cell_of, d3dw_detail::set_cell> cell;
    d3dw_detail::View<CD3DEdge, 10, d3dw_detail::sym_of> sym;      // (destination, origin, apex)
    d3dw_detail::View<CD3DEdge, 10, d3dw_detail::enext_of> enext;  // (destination, apex, origin)
    // written only by CAlpha
    d3dw_detail::Slot<C1Simplex, 10, d3dw_detail::c1_of, d3dw_detail::set_c1> c1simplex;
    d3dw_detail::Slot<C2Simplex, 10, d3dw_detail::c2_of, d3dw_detail::set_c2> c2simplex;
    d3dw_detail::Slot<C3Simplex, 10, d3dw_detail::c3_of, d3dw_detail::set_c3> c3simplex;
  };

  CD3DTriangle* triangle() { return reinterpret_cast<CD3DTriangle*>(this - slot); }
  const CD3DTriangle* triangle() const {
    return reinterpret_cast<const CD3DTriangle*>(this - slot);
  }

  // Computes the four minors of the triangle once for all six records,
  // from the record that asked first (see note_minors).
  void check_minors();
  // Asks for the minors without computing them yet. Their last bits depend
  // on the rotation of the triangle they are computed from, so the first
  // record that asks is remembered and the values are computed from it
  // when they are read.
  void note_minors();
  // The minors have been asked for.
  bool minors_valid() const;
  // minors(0) = det[a; b; c], minors(1) = det of rows (y, z, 1),
  // minors(2) = (x, z, 1), minors(3) = (x, y, 1), with a, b, c = origin,
  // destination, apex of this record. Valid after check_minors().
  CInexact minors(int k) const;
  // The last point CD3DW::positive tested against this triangle and the
  // answer for this record (null when none).
  CXYZW* cached_point() const;
  bool cached_positive() const;
};

// The block of the six records of one triangle, created by CD3DW::make_triangle with
// rec[0..5] = (P,Q,R), (Q,R,P), (R,P,Q), (Q,P,R), (R,Q,P), (P,R,Q).
struct CD3DTriangle {
  CD3DEdge rec[6];
  CXYZW* v[3];         // P, Q, R
  CD3DCell* side[2];   // cell of rec[0..2], of rec[3..5]
  CInexact minor[4];   // for the orientation of rec[0..2]
  CXYZW* cache_point;  // last point tested by positive()
  C2Simplex* c2;
  C3Simplex* c3[2];        // of rec[0..2], of rec[3..5]
  C1Simplex* c1[3];        // of the edges PQ, QR, RP
  bool cache_positive;     // answer for rec[0..2]
  bool have_minors;        // minor[] computed
  signed char minor_slot;  // the record that asked first for the minors, -1 none
  std::uint32_t pos;       // index of rec[0] in CD3DW::edges
};

static_assert(offsetof(CD3DEdge, origin) == 10 && sizeof(CD3DEdge) == 16,
              "record views must sit at the offset they assume");

namespace d3dw_detail {
// Vertex of each slot: origin, destination, apex; and the sym/enext slots.
constexpr unsigned char kOrg[6] = {0, 1, 2, 1, 2, 0};
constexpr unsigned char kDst[6] = {1, 2, 0, 0, 1, 2};
constexpr unsigned char kApx[6] = {2, 0, 1, 2, 0, 1};
constexpr signed char kSymStep[6] = {3, 3, 3, -3, -3, -3};
constexpr signed char kNextStep[6] = {1, 1, -2, 2, -1, -1};

inline CXYZW* origin_of(const CD3DEdge* e) { return e->triangle()->v[kOrg[e->slot]]; }
inline CXYZW* destination_of(const CD3DEdge* e) { return e->triangle()->v[kDst[e->slot]]; }
inline CXYZW* apex_of(const CD3DEdge* e) { return e->triangle()->v[kApx[e->slot]]; }
inline CD3DEdge* sym_of(const CD3DEdge* e) { return const_cast<CD3DEdge*>(e + kSymStep[e->slot]); }
inline CD3DEdge* enext_of(const CD3DEdge* e) {
  return const_cast<CD3DEdge*>(e + kNextStep[e->slot]);
}
inline CD3DCell* cell_of(const CD3DEdge* e) { return e->triangle()->side[e->slot >= 3]; }
inline void set_cell(CD3DEdge* e, CD3DCell* c) { e->triangle()->side[e->slot >= 3] = c; }
inline C1Simplex* c1_of(const CD3DEdge* e) { return e->triangle()->c1[e->slot % 3]; }
inline void set_c1(CD3DEdge* e, C1Simplex* s) { e->triangle()->c1[e->slot % 3] = s; }
inline C2Simplex* c2_of(const CD3DEdge* e) { return e->triangle()->c2; }
inline void set_c2(CD3DEdge* e, C2Simplex* s) { e->triangle()->c2 = s; }
inline C3Simplex* c3_of(const CD3DEdge* e) { return e->triangle()->c3[e->slot >= 3]; }
inline void set_c3(CD3DEdge* e, C3Simplex* s) { e->triangle()->c3[e->slot >= 3] = s; }

// Asks the memory for the block of record e, which spans at most 80 bytes
// before and 248 after it: the cache lines at -80, -16, ..., 240.
inline void fetch_block(const CD3DEdge* e) {
  const char* a = reinterpret_cast<const char*>(e);
  __builtin_prefetch(a - 80);
  __builtin_prefetch(a - 16);
  __builtin_prefetch(a + 48);
  __builtin_prefetch(a + 112);
  __builtin_prefetch(a + 176);
  __builtin_prefetch(a + 240);
}
}  // namespace d3dw_detail

inline bool CD3DEdge::minors_valid() const { return triangle()->minor_slot >= 0; }
inline void CD3DEdge::note_minors() {
  CD3DTriangle* t = triangle();
  if (t->minor_slot < 0) t->minor_slot = static_cast<signed char>(slot);
}
inline CInexact CD3DEdge::minors(int k) const {
  const CInexact& m = triangle()->minor[k];
  return slot < 3 ? m : CInexact(-m.value, m.err);
}
inline CXYZW* CD3DEdge::cached_point() const { return triangle()->cache_point; }
inline bool CD3DEdge::cached_positive() const { return (slot < 3) == triangle()->cache_positive; }

// A tetrahedron. face[0] = (V0, V1, V2), face[1] = (V0, V3, V1),
// face[2] = (V0, V2, V3), face[3] = (V1, V3, V2), each the record facing
// into the cell. Live while child[0] is null; a flip gives the cells it
// replaces their successors as children, and at the end of the insertion
// they are set free for reuse (child[0] pointing at the cell itself).
struct CD3DCell {
  CXYZW* vertex[4];
  CD3DEdge* face[4];
  CD3DCell* child[4];
};

// Regular (weighted Delaunay) triangulation inside a bounding tetrahedron
// of size M. Owns its points, records and cells.
//
// Memory: about 45 triangles and 50 cells are made per inserted point, of
// which about 13 and 7 stay. The blocks of triangles and the cells that
// leave the triangulation during an insertion are reused by later ones, so
// `edges` holds the records of the triangles in creation order with each
// triangle that left replaced by the six records of a placeholder triangle
// that is always dead (flags 2, bounding vertices); the placeholders are
// dropped now and then without changing the order of the other records.
// Point location walks from a cell near the new point instead of descending
// a history of replaced cells.
class CD3DW {
 public:
  std::vector<CD3DEdge*> edges;       // records in creation order, see above
  std::vector<CXYZW*> points;         // every point given to add(), in call order
  std::vector<CD3DCell*> cells;       // every cell object; live ones have child[0] null
  std::vector<CD3DEdge*> flip_stack;  // empty between calls
  CXYZW bound[4];
  // [0] 2-3 flips, [1] flip32 calls, [2] points left out or removed,
  // [3] location steps, [4] positive calls, [5] cache hits, [6] minors asked before,
  // [7] positive exact fallbacks, [8] insphere calls, [9] insphere exact fallbacks.
  std::uint64_t stats[10];
  double M;
  // Messages add() has written ("coordinates too large!", failed 3-2 flip
  // checks) plus points it skipped as impossible to locate; zero means the
  // insertions were silent and regular.
  std::uint64_t warnings = 0;
  // Set once an alpha complex has written its simplices into the records.
  bool complex_built = false;

  explicit CD3DW(double M);
  ~CD3DW();
  CD3DW(const CD3DW&) = delete;
  CD3DW& operator=(const CD3DW&) = delete;

  // Sizes the containers for about n points (a hint; nothing else changes).
  void reserve(std::size_t n);
  void add(double x, double y, double z, double w, int id, void* data);
  void new6(CD3DEdge*& e0, CD3DEdge*& e1, CD3DEdge*& e2, CD3DEdge*& e3, CD3DEdge*& e4,
            CD3DEdge*& e5, CXYZW* P, CXYZW* Q, CXYZW* R);
  void list_edges(std::vector<CD3DEdge*>* out);
  bool positive(CD3DEdge* e, CXYZW* p);
  bool insphere(CD3DEdge* e, CXYZW* p);
  // insphere() that leaves its differences in `frame` for the orientation
  // tests that follow, and positive() with the sign for e's own order that
  // such a test proved (*sign, 0 when it could not; null: none was tried).
  bool insphere(CD3DEdge* e, CXYZW* p, DifferenceFrame& frame);
  bool positive(CD3DEdge* e, CXYZW* p, const int* sign);
  CD3DEdge* flip32(CD3DEdge* x);
  // The kernel's exact cascades (geometry/predicates.h).
  static int sign4(CXYZW** pts) { return ::sign4(pts); }
  static int sign5(CXYZW** pts) { return ::sign5(pts); }

 private:
  struct Arena;
  Arena* arena_;
  struct Grid;
  Grid* grid_;
  CD3DEdge* bound_face_[4];                  // the bounding triangles, facing in
  CD3DTriangle placeholder_;                 // stands in `edges` for triangles that left
  std::size_t holes_ = 0;                    // placeholder records in `edges`
  std::vector<CD3DTriangle*> dying_blocks_;  // left during this insertion
  std::vector<CD3DCell*> dying_cells_;
  unsigned walk_turn_ = 0;

  CD3DCell* locate(CXYZW* p);
  bool insphere_bounded(CD3DEdge* abc, CD3DEdge* abd, CD3DEdge* bcd, CD3DEdge* acd, CXYZW* p);
  CD3DTriangle* make_triangle(CXYZW* P, CXYZW* Q, CXYZW* R);
  CD3DCell* new_cell(CXYZW* v0, CXYZW* v1, CXYZW* v2, CXYZW* v3, CD3DEdge* f0, CD3DEdge* f1,
                     CD3DEdge* f2, CD3DEdge* f3);
  void link_cell(CD3DCell* c);
  void kill_triangle(CD3DEdge* e);
  void retire(CD3DCell* c);
  void release_dead();
  // Frees what left the triangulation while p was inserted, and lets point
  // location start near p.
  void end_insertion(CXYZW* p);
  void compact_edges();
  void push(CD3DEdge* e);
  void split14(CD3DCell* leaf, CXYZW* p);
  void flip23(CD3DEdge* e);
  void flip41(CD3DEdge* r);
  bool inside_bound(CXYZW* p);
};

bool edge_less(CD3DEdge* a, CD3DEdge* b);

// The order in which every triangulation builder inserts its n atoms: the
// indices 0..n-1 shuffled from the back with the C library's rand() after
// srandom(1).
std::vector<int> seeded_insertion_order(int n);

#endif
