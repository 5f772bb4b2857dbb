// Persistence pairing over one pocket's filtration: running Betti numbers,
// and each negative simplex paired with the positive simplex whose cycle it
// destroys, by reducing its boundary modulo 2 against the boundaries already
// stored on the positive simplices (their chains).
#ifndef ANALYSIS_PAIRING_H
#define ANALYSIS_PAIRING_H

#include <vector>

#include "analysis/filtration.h"

// One persistence pair, made with new; the caller's lists hold the pointers
// (release_pairs frees them).
struct list {
  int id = 0;               // pair number in the order the deaths are met
  filter* birth = nullptr;  // the positive simplex
  filter* death = nullptr;  // the negative simplex
};

// Walks the filtration in order: every vertex adds a component, a positive
// edge a tunnel, a positive triangle a void; a negative edge, triangle and
// every tetrahedron remove one and are paired (pairs0: vertex-edge, pairs1:
// edge-triangle, pairs2: triangle-tetrahedron).  Each filter of dimension 0
// to 3 keeps the Betti numbers after it.  Needs `sign` and `position` set on
// the filters, `position` on their records (element position - 1 of the list
// is the record's filter), the negative simplices' `boundary` lists filled
// and the positive simplices' `chain` lists empty.
//
// A negative simplex whose boundary holds no positive simplex of the list
// (records outside the filtration, or a sign against the rules) is left
// unpaired: no pair record is made for it and its partner fields stay, but
// it still uses up its pair number.
void pair_simplices(std::vector<filter*>& filters, std::vector<list*>& pairs0,
                    std::vector<list*>& pairs1, std::vector<list*>& pairs2);

// Pairs the negative edge, triangle or tetrahedron at 0-based place i with
// the youngest unpaired positive simplex of its reduced boundary; the
// reduced boundary is stored as that simplex's chain.  Nothing for a vertex.
void youngest_index(int i, std::vector<filter*>& filters);

void release_pairs(std::vector<list*>& pairs0, std::vector<list*>& pairs1,
                   std::vector<list*>& pairs2);

#endif
