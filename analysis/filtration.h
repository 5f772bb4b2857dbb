// Filtration records: one `filter` per simplex of a structure's weighted
// Delaunay triangulation, kept in the order in which the simplices enter the
// alpha complex as alpha grows (ascending alpha, then dimension).
#ifndef ANALYSIS_FILTRATION_H
#define ANALYSIS_FILTRATION_H

#include <memory>
#include <vector>

#include "measure/intersectionsegmentnew.h"

class CSimplex;

// One simplex of a filtration.  Routines switch on `dimension` and read only
// the pointer of that dimension.
struct filter {
  int dimension = 0;           // 0 vertex, 1 edge, 2 triangle, 3 tetrahedron
  double alpha = 0.0;          // vertex: -(r + probe); other simplices: signed_size
  int sign = 1;                // +1 creates a cycle, -1 destroys one
  int position = 0;            // 1-based place in the current pocket filtration
  int rank = 0;                // 1-based place in the alpha complex's simplex list
  bool paired = false;         // positive simplex already claimed by a negative one
  bool enclosed = false;       // belongs to an enclosed cluster of the pocket
  int partner = 0;             // position of the simplex paired with this one
  int b0 = 0, b1 = 0, b2 = 0;  // running Betti numbers after this simplex
  info* info_ref = nullptr;
  edge* edge_ref = nullptr;
  tria* tria_ref = nullptr;
  tetra* tetra_ref = nullptr;
};

// The filter list of a structure.  `owned` holds the filters; `filters`
// points at the same filters in list order and is what the routines are
// handed.  Every other list of filters only points into it, so it must live
// as long as those lists are used.
struct FilterList {
  std::vector<std::unique_ptr<filter>> owned;
  std::vector<filter*> filters;
};

// Makes the filter list of a structure from its classified records and the
// simplex list of its alpha complex: one vertex filter per atom in atom
// order, then one filter per tetrahedron, triangle and edge in simplex-list
// order (the list's vertex entries get none).  The k-th simplex of a kind in
// the list is record k of that kind, as the record builders make them.  Sets
// every record's filter number and `position` (the simplex's rank).
FilterList build_filter_list(std::vector<info>& atoms, const std::vector<CSimplex*>& simplices,
                             std::vector<tetra>& tetras, std::vector<tria>& trias,
                             std::vector<edge>& edges);

// The same list once the alpha complex is gone: the record builders leave
// each tetrahedron, triangle and edge record's `position` at its 1-based place
// in the simplex list, and that place orders and ranks the filters.  Call it
// before any filtration overwrites those positions.
FilterList build_filter_list(std::vector<info>& atoms, std::vector<tetra>& tetras,
                             std::vector<tria>& trias, std::vector<edge>& edges);

// Inserts f into list, which is in filtration order and stays so; among
// filters equal in both keys the place follows from the bisection (see the
// source).  Does not test whether f is already there.
void filter_sort(filter* f, std::vector<filter*>& list);

// The list that filter_sort builds when the filters are inserted one after
// the other, in this order, into an empty list: the same order, the same
// places for ties, without moving a list tail at every insertion.
std::vector<filter*> filter_sorted(const std::vector<filter*>& insertion_order);

// Inserts t into list, kept in ascending signed_size, before every triangle
// of equal size.  Does not test membership.
void tria_sort(tria* t, std::vector<tria*>& list);

#endif
