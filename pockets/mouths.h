// Pocket mouths: the faces through which a pocket meets the rest of the
// empty space, grouped into openings, measured, and the sub-pocket types
// (mouth, neck, body) that follow from them.
#ifndef POCKETS_MOUTHS_H
#define POCKETS_MOUTHS_H

#include <vector>

#include "measure/intersectionsegmentnew.h"
#include "pockets/pocket.h"

// Peak size from which an opening counts when a pocket has several.
const double MOUTH_SIZE_THRESHOLD = 1.83;

// For every pocket: collects its mouth triangles (faces of its tetrahedra
// outside the complex that lie on the convex hull or against a tetrahedron of
// another pocket or of none), adds their areas and rim lengths to the
// summary record mouths[number - 1] (by the corner and side terms below
// where those hold, else from the triangle's clipped discs), marks the mouth
// atoms and triangles, groups the triangles into openings joined by edges
// outside the complex, keeps the openings that count (largest first) and
// types every sub-pocket.
// Needs the marks of pocketspocindex and radii already grown to alpha.
// The mouth records must start zero-filled; a short list is extended.
void mouthsrepresentation(std::vector<pocket>& pockets, std::vector<mouth>& mouths,
                          std::vector<info>& atoms, double probe);

// Vertex term of vertex a of mouth triangle (a, b, c), added to mouths[m].
void do_mouth_vertex(int a, int b, int c, int m, std::vector<info>& atoms,
                     std::vector<mouth>& mouths, double probe);
// Term of edge (a, b) of a mouth triangle, whose two balls overlap, added to
// mouths[m]; c is not read.
void do_mouth_edge(int a, int b, int c, int m, std::vector<info>& atoms, std::vector<mouth>& mouths,
                   double probe);

#endif
