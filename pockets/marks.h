// Pocket numbering and the pocket marks on simplices and atoms.
#ifndef POCKETS_MARKS_H
#define POCKETS_MARKS_H

#include <vector>

#include "measure/intersectionsegmentnew.h"
#include "pockets/pocket.h"

// Numbers the pockets (rank by tetrahedron count) and marks everything that
// belongs to one: every tetrahedron gets its pocket's number and its
// sub-pocket's index; every edge, triangle and atom of a pocket tetrahedron
// lists the pocket's number once (in pocket-list order); triangles and atoms
// carry one sub_id per listed number with the indices of that pocket's
// sub-pockets that touch them, ascending; atoms get the pocket mark; each
// sub-pocket learns its number and index.  The lists it appends to must be
// empty before the first call for a structure.
void pocketspocindex(std::vector<info>& atoms, std::vector<pocket>& pockets);

// Reduced marking: numbers the pockets, sets the pocket mark of their atoms
// and lists each pocket number once in the atoms' spec_pocket_numbers.
void pocketspocindexspec(std::vector<info>& atoms, std::vector<pocket>& pockets);

// Collects, after pocketspocindex, the atoms buried in each pocket: atoms
// outside every pocket whose tetrahedra all lie in the complex and whose
// neighbours along their incident edges lie in a common pocket.  Sets the
// buried mark of the complex tetrahedra around an atom found through two or
// more edges.
void pockets_burried_atoms(std::vector<info>& atoms, std::vector<pocket>& pockets);

#endif
