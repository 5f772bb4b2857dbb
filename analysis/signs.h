// Sign detection over one pocket's filtration: whether each simplex creates
// a homology cycle when it enters (+1) or destroys one (-1).  Vertices and
// edges are judged in a forward pass by merging vertex components; triangles
// and tetrahedra in a backward pass by merging components of the complement,
// in which the space beyond the pocket that reaches the outside of the
// triangulation counts as one special component, and each part of it that
// the pocket encloses as a void of its own.
#ifndef ANALYSIS_SIGNS_H
#define ANALYSIS_SIGNS_H

#include <vector>

#include "analysis/filtration.h"

// A connected component of the vertices entered so far.
struct cycle0 {
  int id = 0;
  std::vector<info*> atoms;
};

// A group of edges connected through shared vertices.
struct cycle1 {
  int id = 0;
  std::vector<edge*> edges;
};

// Dimension 2 in the naming of the others; nothing makes or reads one.
struct cycle2 {};

// A component of the complement, grown from the tetrahedra entered after the
// current place; `outside` when it is joined to the space beyond the pocket.
struct cycle3 {
  int id = 0;
  bool outside = false;
  std::vector<tetra*> tetrahedra;
};

// The component records are made with new and held by the lists.  A record
// removed from its list by a merge is deleted at once; what stays in the
// lists belongs to the caller (release_components frees it).

// Sets `sign` of every filter.  Expects the filters in filtration order and
// the tetrahedra of the filtered pocket carrying a positive stamp, every
// other tetrahedron -1.  Appends to and merges in c0, c1 and c3; c2 is left
// as it is.  The lists are handed empty.  The space beyond the pocket that
// reaches the convex hull is the outside; a part of it that the pocket
// encloses is a void, which enters c3 as a component of its own when first
// met.
void sign_detect(std::vector<filter*>& filters, std::vector<cycle0*>& c0, std::vector<cycle1*>& c1,
                 std::vector<cycle2*>& c2, std::vector<cycle3*>& c3);

// A way from every tetrahedron of a structure to its convex hull across
// shared faces (a breadth-first tree from the tetrahedra with a face on the
// hull).  A tetrahedron beyond a pocket whose way meets no tetrahedron of
// the pocket is outside; the sign detection of a structure's pockets shares
// one to tell the outside from voids without walking to the hull each time.
class HullRoutes {
 public:
  explicit HullRoutes(std::vector<tetra>& tetrahedra);
  // Whether the routes cover t (one of the tetrahedra they were made from).
  bool knows(const tetra* t) const;
  // The next tetrahedron on t's way, null when t has a face on the hull (or
  // no way there).
  const tetra* next(const tetra* t) const;
  // Whether t has a face on the hull.
  bool hull(const tetra* t) const;

 private:
  const tetra* base_;
  std::vector<int> next_;  // index of the next one; -1 on the hull, -2 no way
};

// sign_detect with the structure's routes to the hull.
void sign_detect(std::vector<filter*>& filters, std::vector<cycle0*>& c0, std::vector<cycle1*>& c1,
                 std::vector<cycle2*>& c2, std::vector<cycle3*>& c3, const HullRoutes& routes);

// sign_detect, then a check that the positive edges so far never number
// fewer than the negative triangles so far.  Each filter after which the
// check fails writes "false: betti 1: E T" to standard output.  True when it
// never failed.
bool sign_detect_first(std::vector<filter*>& filters, std::vector<cycle0*>& c0,
                       std::vector<cycle1*>& c1, std::vector<cycle2*>& c2,
                       std::vector<cycle3*>& c3);

// The judges of one filter at 0-based place i; `counter` becomes the id of a
// record they make.  judge_cycle2 does nothing for a vertex or an edge.
void judge_cycle0(int& counter, int i, std::vector<filter*>& filters, std::vector<cycle0*>& c0);
void judge_cycle1(int& counter, int i, std::vector<filter*>& filters, std::vector<cycle0*>& c0,
                  std::vector<cycle1*>& c1);
void judge_cycle2(int& counter, int i, std::vector<filter*>& filters, std::vector<cycle0*>& c0,
                  std::vector<cycle1*>& c1, std::vector<cycle2*>& c2, std::vector<cycle3*>& c3);

// Deletes the records left in the lists and empties them.
void release_components(std::vector<cycle0*>& c0, std::vector<cycle1*>& c1,
                        std::vector<cycle2*>& c2, std::vector<cycle3*>& c3);

#endif
