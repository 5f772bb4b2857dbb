// Assembly of a structure's empty tetrahedra into pockets and sub-pockets.
#ifndef POCKETS_ASSEMBLY_H
#define POCKETS_ASSEMBLY_H

#include <vector>

#include "measure/intersectionsegmentnew.h"
#include "pockets/pocket.h"

// Turns the classified tetrahedra into pockets.  Needs, per tetrahedron:
// in_complex, flows_to_outside and the inflow lists left by ancoutsidejudge,
// the neighbour list with its parallel shared-face list, the faces'
// in_complex flag and cofaces, and signed_size.
//
// An empty tetrahedron that no outside flow reaches and that has a finite
// centre starts a flood over the inflow lists; every tetrahedron met (and
// every start) is marked visited.
// Visited tetrahedra are then joined across their faces into pockets: two
// neighbours are linked when flow passes between them or their shared face is
// outside the complex.  Inside a pocket, tetrahedra joined by flow form
// sub-pockets, and a face without flow between two tetrahedra of the pocket
// is an inner triangle; inner triangles between sub-pockets become knots.
//
// Appends the pockets to `pockets` in creation order (ascending, not
// contiguous ids).  Sets component_id, visited, the flood colour and id, and
// pocket_number_of (the id of the pocket that took the tetrahedron in).
// `probe` is not used.
void pocketsrepresentation(std::vector<tetra>& tetras, std::vector<pocket>& pockets, double probe);

#endif
