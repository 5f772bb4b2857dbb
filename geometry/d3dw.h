#ifndef GEOMETRY_D3DW_H
#define GEOMETRY_D3DW_H

#include <cstdint>
#include <vector>

#include "geometry/exact.h"
#include "geometry/inexact.h"

class C0Simplex;
class C1Simplex;
class C2Simplex;
class C3Simplex;
struct CD3DCell;
struct CD3DTriangle;

// A weighted point. `data` is the caller's pointer (the atom's Bead), `id` the
// caller's index (-1..-4 for the bounding vertices).
class CXYZW {
public:
    CInexact x, y, z, w, lifted;  // lifted = x*x + y*y + z*z - w
    CExact x_exact, y_exact, z_exact, w_exact, lifted_exact;
    C0Simplex* vertex_simplex = nullptr;  // set by CAlpha
    void* data = nullptr;
    int id = 0;

    void set(double x, double y, double z, double w);
};

// One directed edge of one oriented triangle: the triangle is traversed
// origin -> destination -> apex. The six records of a triangle live together
// in one CD3DTriangle block, which also holds what the six share: the minors
// of the triangle and the cache of CD3DW::positive. The three records of one
// orientation (slots 0-2) read the stored minors and cached answer as they
// are, the three of the other orientation (slots 3-5) read them negated.
struct CD3DEdge {
    CXYZW* origin;
    CXYZW* destination;
    CXYZW* apex;
    CD3DCell* cell;     // the tetrahedron on the record's positive side
    CD3DEdge* sym;      // (destination, origin, apex)
    CD3DEdge* enext;    // (destination, apex, origin)
    CD3DEdge* fnext;    // (origin, destination, v) of the next triangle around origin->destination
    unsigned char flags;  // 1: on the flip stack; 2: dead or bounding-tetrahedron record
    unsigned char slot;   // position 0..5 in its triangle block
    C1Simplex* c1simplex;  // written only by CAlpha
    C2Simplex* c2simplex;
    C3Simplex* c3simplex;

    CD3DTriangle* triangle();
    const CD3DTriangle* triangle() const;

    // Computes the four minors of the triangle once for all six records.
    void check_minors();
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

// The block of the six records of one triangle, created by CD3DW::new6 with
// rec[0..5] = (P,Q,R), (Q,R,P), (R,P,Q), (Q,P,R), (R,Q,P), (P,R,Q).
struct CD3DTriangle {
    CD3DEdge rec[6];
    CInexact minor[4];         // for the orientation of rec[0..2]
    CXYZW* cache_point;        // last point tested by positive()
    bool cache_positive;       // answer for rec[0..2]
    bool have_minors;
};

inline CD3DTriangle* CD3DEdge::triangle() {
    return reinterpret_cast<CD3DTriangle*>(this - slot);
}
inline const CD3DTriangle* CD3DEdge::triangle() const {
    return reinterpret_cast<const CD3DTriangle*>(this - slot);
}
inline bool CD3DEdge::minors_valid() const { return triangle()->have_minors; }
inline CInexact CD3DEdge::minors(int k) const {
    const CInexact& m = triangle()->minor[k];
    return slot < 3 ? m : CInexact(-m.value, m.err);
}
inline CXYZW* CD3DEdge::cached_point() const { return triangle()->cache_point; }
inline bool CD3DEdge::cached_positive() const {
    return (slot < 3) == triangle()->cache_positive;
}

// A tetrahedron and a node of the history DAG. face[0] = (V0, V1, V2),
// face[1] = (V0, V3, V1), face[2] = (V0, V2, V3), face[3] = (V1, V3, V2),
// each the record facing into the cell. Live while child[0] is null.
struct CD3DCell {
    CXYZW* vertex[4];
    CD3DEdge* face[4];
    CD3DCell* child[4];
};

// Regular (weighted Delaunay) triangulation inside a bounding tetrahedron
// of size M. Owns its points, records and cells.
class CD3DW {
public:
    std::vector<CD3DEdge*> edges;       // every record ever made, in creation order
    std::vector<CXYZW*> points;         // every point given to add(), in call order
    std::vector<CD3DCell*> cells;       // every cell ever made; cells[0] is the root
    std::vector<CD3DEdge*> flip_stack;  // empty between calls
    CXYZW bound[4];
    // [0] 2-3 flips, [1] flip32 calls, [2] points left out or removed,
    // [3] DAG steps, [4] positive calls, [5] cache hits, [6] minors reused,
    // [7] positive exact fallbacks, [8] insphere calls, [9] insphere exact fallbacks.
    std::uint64_t stats[10];
    double M;

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
    CD3DEdge* flip32(CD3DEdge* x);
    static int sign4(CXYZW** pts);
    static int sign5(CXYZW** pts);

private:
    struct Arena;
    Arena* arena_;

    CD3DCell* new_cell(CXYZW* v0, CXYZW* v1, CXYZW* v2, CXYZW* v3, CD3DEdge* t0,
                       CD3DEdge* t1, CD3DEdge* t2, CD3DEdge* t3);
    void link_cell(CD3DCell* c);
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
