// The filtration of each pocket: the simplices of its empty tetrahedra and of
// the alpha-complex tetrahedra it encloses completely, in the order they
// enter the complex, judged positive or negative and paired, with the birth
// and death values carried over to the sub-pockets.
#ifndef ANALYSIS_POCKETFILTRATION_H
#define ANALYSIS_POCKETFILTRATION_H

#include <vector>

#include "analysis/filtration.h"
#include "pockets/pocket.h"

// A face-connected group of alpha-complex tetrahedra around or inside a
// pocket, with its openings: groups of opening triangles joined through
// shared edges (only `triangles` of each mouth record is used).
struct tetra_cluster {
  bool enclosed = false;  // no opening triangle
  std::vector<tetra*> tetrahedra;
  std::vector<mouth*> mouths;  // owned by the cluster
};

// The tetrahedron clusters of the pocket numbered `pocket_number`, with their
// openings: tetrahedra of `tetrahedra` in the complex whose four atoms carry
// the current-pocket mark, or that carry the buried mark, joined across
// shared faces in vector order (each gets the clustered flag).  A face of a
// cluster is an opening when it lies on the convex hull, or when the
// tetrahedron on its other side is not clustered and not in this pocket.
// A cluster without openings is enclosed.  The caller frees the mouth
// records (release_clusters) and clears the clustered flags.
std::vector<tetra_cluster> find_tetra_clusters(std::vector<tetra>& tetrahedra, int pocket_number);
void release_clusters(std::vector<tetra_cluster>& clusters);

// For every pocket in list order (the k-th stamped 100 * (k + 1)): puts the
// faces, edges, vertices and tetrahedra of its tetrahedra, then those of its
// enclosed clusters, into filtration order; judges the signs, pairs the
// simplices, sets the sub-pocket boundaries and stores the filtration in the
// pocket's `filters`.  Afterwards every record is unstamped again, and
// `position`, `partner`, signs, pairs and Betti numbers keep the values of
// the last pocket that used them.  Needs the pockets numbered and marked,
// and `filters` to be the structure's filter list (a simplex's filter is
// element filter number - 1).  A simplex without a filter in that list is
// left out.  No tetrahedron keeps the clustered flag after its pocket.
void pocket_filter_build_up(std::vector<tetra>& tetrahedra, std::vector<pocket>& pockets,
                            std::vector<filter*> filters);

// Carries a pocket's judged and paired filtration W over to its sub-pockets:
// each gets the filters of its tetrahedra's faces (each once), `begin`
// lowered to the birth value of the voids its tetrahedra close and `end`
// raised to their largest filtration value; each knot-top triangle enters
// the pocket's `boundary_triangles` once (ascending size) and its size is
// appended to the sub-pocket's `alphas`.  Simplices that W does not hold
// (their position names another filter) and unpaired tetrahedra are passed
// over.
void sub_pocket_boundary(pocket& P, std::vector<filter*>& W);

#endif
