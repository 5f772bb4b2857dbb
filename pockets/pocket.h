// Records that carry a structure's pockets from their assembly to the report
// files: a pocket (one connected empty region of the alpha complex), its
// sub-pockets (groups of its tetrahedra joined by flow), and the mouth record,
// which is either the opening summary of one pocket or a knot between two
// sub-pockets.  The simplex records they point to are those of
// measure/intersectionsegmentnew.h; `sub_id` is declared there as well.
//
// Ownership: sub-pocket and knot records are shared between the copies of a
// pocket (copying a pocket copies the pointers, not the records) and are
// released with the last copy that refers to them.  Every other pointer list
// refers to records owned elsewhere (the simplex vectors, the filter list,
// the life trees) and never releases them.
#ifndef POCKETS_POCKET_H
#define POCKETS_POCKET_H

#include <memory>
#include <string>
#include <vector>

#include "measure/intersectionsegmentnew.h"

struct subpocket;
struct mouth;
// Records of the auxiliary analyses, which point into the pocket records.
struct tree;
struct filter;

struct pocket {
  int id = 0;      // assembly counter value at creation; unique, not contiguous
  int number = 0;  // rank by tetrahedron count, 1 = fewest
  int stamp = 0;   // filtration stamp
  double area_sa = 0.0;
  double area_ms = 0.0;
  double volume_sa = 0.0;
  double volume_ms = 0.0;
  double length = 0.0;
  int cnr = 0;  // complex faces met, counted per tetrahedron
  double max_alpha = 0.0;
  std::vector<tetra*> tetrahedra;         // creating tetrahedron first, then in joining order
  std::vector<tria*> inner_triangles;     // faces between sub-pockets; may repeat
  std::vector<tria*> boundary_triangles;  // knot-top triangles, by size
  std::vector<std::shared_ptr<subpocket>> subpockets;
  std::vector<tree*> trees;
  std::vector<info*> buried_atoms;
  std::vector<info> pseudo_atoms;  // one probe ball per tetrahedron
  std::vector<filter*> filters;
};

struct subpocket {
  int type = 0;                    // -1 no mouth, 1 mouth, 2 neck, 3 body, 4 body behind a body
  std::vector<int> opening_ids;    // positions in the pocket's openings
  std::vector<tetra*> tetrahedra;  // the flow component's tetrahedra
  int id = 0;                      // the component's assembly id
  int number = 0;                  // owning pocket's number
  int index = 0;                   // position in the owning pocket's list
  double max_alpha = 0.0;          // largest signed_size of its tetrahedra
  std::vector<int> path;           // path code in the life tree
  std::vector<double> split_times;
  double begin = 10.0;                            // alpha at which the sub-pocket starts to shrink
  double end = -10.0;                             // alpha at which it is dead
  std::vector<double> alphas;                     // signed_size of each knot-top triangle
  std::vector<std::shared_ptr<mouth>> knots;      // all shared inner triangles, per partner
  std::vector<std::shared_ptr<mouth>> knot_tops;  // the largest shared triangle, per partner
  std::vector<int> knot_partners;                 // parallel to knot_tops: partner's index
  std::vector<filter*> filters;
};

struct mouth {
  int id = 0;  // 0 for a summary; the partner sub-pocket's id for a knot
  double area_sa = 0.0;
  double area_ms = 0.0;
  double length_sa = 0.0;
  double length_ms = 0.0;
  int opening_count = 0;   // openings found, before the selection by size
  int triangle_count = 0;  // mouth triangles
  std::vector<tria*> triangles;
  std::vector<std::vector<tria*>> openings;  // retained openings, largest first
  std::vector<double> opening_sizes;         // largest signed_size per opening
};

// The ranking of a pocket list by tetrahedron count, 1 = fewest.  Ties are
// broken by the fixed exchange sequence below, which is not stable, so that
// every step that ranks the same list gets the same numbers.
struct PocketRanking {
  std::vector<int> rank_of;  // rank_of[i]: rank of the pocket at list position i
  std::vector<int> order;    // order[r - 1]: list position of the pocket of rank r
};

PocketRanking rank_pockets(const std::vector<pocket>& pockets);

// Ranks the list and stores every pocket's `number`; returns the ranking.
PocketRanking number_pockets(std::vector<pocket>& pockets);

// The output name cut before its first ".pdb" (the whole name without one).
std::string pocket_base_name(const std::string& name);

#endif
