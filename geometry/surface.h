// Surface atoms of the alpha complex at alpha 0, and the chain-group rule
// that decides which pairs of chains form an interface.
#ifndef GEOMETRY_SURFACE_H
#define GEOMETRY_SURFACE_H

#include <ostream>
#include <string>
#include <vector>

#include "structure/bead.h"

// Sets on_surf of every bead afresh: a bead is a surface atom when its point
// is a vertex of the complex (an end of at least one edge between two beads)
// that lies on the surface at alpha 0. Each bead enters the triangulation
// with its radius (not its square) as weight, in the seeded insertion order.
// Writes the size of every tetrahedron, triangle and edge of the complex,
// "%d\n" each, in list order to `sizes`. `probe` has no effect.
// The result depends only on the beads' centres and radii. Returns false
// when the triangulation or the complex also wrote a message of its own
// (to the standard streams: a point it could not take, a degenerate
// simplex); a caller that reuses a result for the same beads instead of
// labelling them again must then label again to repeat those messages.
bool label_surface_atoms(std::vector<Bead>& beads, double probe, std::ostream& sizes);

// True when chain1 and chain2 form an interface under the chain-group
// definition `spec`:
//   ""   every pair (even two equal chains);
//   "*"  a digit with a character between 'A' and 'z' (in either order);
//   else exactly one of the two occurs among spec's characters other than
//        '|' (groups separated by '|' do not change the answer).
bool isInterfacePair(char chain1, char chain2, std::string spec);

#endif
