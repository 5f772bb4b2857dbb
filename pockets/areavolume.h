// Area and volume of each pocket's empty space.
#ifndef POCKETS_AREAVOLUME_H
#define POCKETS_AREAVOLUME_H

#include <vector>

#include "measure/intersectionsegmentnew.h"
#include "pockets/pocket.h"

// Numbers the pockets and gives each its measures, from zero: the volume of
// its tetrahedra less the parts of the balls inside them, and the ball
// surface that faces into it, on the expanded spheres (area_sa, volume_sa)
// and on the molecular surface (area_ms, volume_ms), by inclusion-exclusion
// over each tetrahedron, its vertices and its edges and faces in the complex;
// length sums the arcs of the circles where two expanded spheres meet and cnr
// counts complex faces, both per tetrahedron.  Those sums hold only over
// neighbouring tetrahedra together, so they hold for a pocket only when no
// ball reaches across a face by which it meets empty space outside it (its
// mouth).  Where balls do, and the mouth is not a small share of the pocket,
// or where the sums leave a measure its geometry cannot have (negative, or a
// volume beyond its tetrahedra's), the expanded-sphere measures and length
// are taken exactly (the tetrahedra outside, and the spheres' surface and
// meeting circles in them outside, the union of all expanded balls) and the
// molecular-surface measures move by the same amounts.  Where the
// molecular-surface measures then leave their bounds (more empty volume
// than the tetrahedra hold, a negative area), the pocket's probe positions
// overlap: its tori and probe patches that are cut short are measured from
// the surface's definition, and what still exceeds a bound is taken as the
// bound.  Only `probe` of the three scalars is read.
void pocketsareavolume(std::vector<info>& atoms, std::vector<pocket>& pockets, int pymol,
                       double probe, double alpha);

// The vertex term of vertex a, the edge term of edge (a, b) and the face term
// of face (a, b, c) of tetrahedron (a, b, c, d), each added onto the measures
// of pockets[k]; cusp is passed to the torus.  The face term does not read d.
void do_pocket_vertex(int a, int b, int c, int d, int k, std::vector<info>& atoms,
                      std::vector<pocket>& pockets, double probe);
void do_pocket_edge(int a, int b, int c, int d, int k, std::vector<info>& atoms,
                    std::vector<pocket>& pockets, double probe, int cusp);
void do_pocket_triangle(int a, int b, int c, int d, int k, std::vector<info>& atoms,
                        std::vector<pocket>& pockets, double probe, int cusp);

#endif
