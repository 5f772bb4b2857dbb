#ifndef TESTS_SUPPORT_TRIANGULATION_VALIDATOR_H
#define TESTS_SUPPORT_TRIANGULATION_VALIDATOR_H

#include <string>

class CD3DW;

struct TriangulationCounts {
  long vertices = 0;  // bounding vertices included
  long edges = 0;
  long triangles = 0;
  long cells = 0;
};

// Checks the invariants of a finished triangulation: links of the six
// records of every triangle, cells and their faces, ring links, dead flags,
// positive orientation of every live cell, the Euler characteristic of a
// ball, local regularity of every interior face and, when `brute_force` is
// set, that no point given to the triangulation (redundant ones included,
// later duplicates of a position excepted) lies inside the orthosphere of
// any live cell. Returns an empty string when all hold, else the first
// violation found. Uses the triangulation's own predicates, so its caches
// and counters change.
std::string validate_triangulation(CD3DW& t, bool brute_force,
                                   TriangulationCounts* counts = nullptr);

#endif
