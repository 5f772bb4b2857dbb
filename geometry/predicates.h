// The geometric kernel of the triangulation: the weighted point and the
// orientation and power-sphere predicates, as free functions that know
// nothing of records, cells or caches.
//
// Both predicates evaluate their determinant first with error bounds and
// trust the sign only when the bound proves it; otherwise the points are
// sorted by id and the determinant and, while it is zero, a fixed cascade of
// sub-determinants is evaluated exactly (symbolic perturbation by id). So no
// call ever reports a tie, and equal inputs always give the same answer.
#ifndef GEOMETRY_PREDICATES_H
#define GEOMETRY_PREDICATES_H

#include "geometry/exact.h"
#include "geometry/inexact.h"

class C0Simplex;
struct CD3DCell;

// A weighted point. `data` is the caller's pointer (the atom's Bead), `id` the
// caller's index (-1..-4 for the bounding vertices); ids order the
// perturbation, so the points of one test must have distinct ids.
class CXYZW {
 public:
  // The fields read in every predicate and every edge listing come first,
  // so that they share a cache line.
  CD3DCell* cell_hint = nullptr;  // a live cell with this vertex, kept by CD3DW for point location
  int id = 0;
  CInexact x, y, z, w, lifted;  // lifted = x*x + y*y + z*z - w
  CExact x_exact, y_exact, z_exact, w_exact, lifted_exact;
  C0Simplex* vertex_simplex = nullptr;  // set by CAlpha
  void* data = nullptr;

  void set(double x, double y, double z, double w);
};

// The minors of the triangle (a, b, c): m[0] = det[a; b; c] of the
// coordinates, m[1] = det of the rows (y, z, 1), m[2] = (x, z, 1), m[3] =
// (x, y, 1). Exchanging a and b negates all four exactly.
void triangle_minors(const CXYZW& a, const CXYZW& b, const CXYZW& c, CInexact m[4]);

// Minus the orientation determinant of the triangle with minors m and q.
inline CInexact orient_o(const CInexact m[4], const CXYZW& q) {
  return ((m[3] * q.z) + ((m[1] * q.x) - (m[2] * q.y))) - m[0];
}

// Orientation: true exactly when det[a 1; b 1; c 1; p 1] of the coordinates
// is positive, a zero decided by the perturbation. m are the minors of
// (a, b, c). *exact is set when the error bound could not decide.
bool orient_positive(const CInexact m[4], CXYZW* a, CXYZW* b, CXYZW* c, CXYZW* p, bool* exact);

// Power test: true exactly when det[a h 1; b h 1; c h 1; d h 1; p h 1] of
// the coordinates and the lifted values h is positive, a zero decided by the
// perturbation. When d lies on the positive side of (a, b, c), true means
// that p, with its weight, is in conflict with the cell (a, b, c, d). The
// minors are those of the faces (a, b, c), (a, b, d), (b, c, d), (a, c, d).
// *exact is set when the error bound could not decide.
bool power_positive(CXYZW* a, CXYZW* b, CXYZW* c, CXYZW* d, CXYZW* p, const CInexact m_abc[4],
                    const CInexact m_abd[4], const CInexact m_bcd[4], const CInexact m_acd[4],
                    bool* exact);

// The perturbed signs of the orientation (four points) and power (five
// points) determinants of points sorted by ascending id: 1 when positive,
// 0 when negative, from the exact members.
int sign4(CXYZW** pts);
int sign5(CXYZW** pts);

#endif
