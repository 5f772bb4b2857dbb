// The one way the pipelines build a triangulation of their beads.
#ifndef GEOMETRY_TRIANGULATE_H
#define GEOMETRY_TRIANGULATE_H

#include <functional>
#include <memory>
#include <vector>

#include "geometry/d3dw.h"
#include "structure/bead.h"

// The regular triangulation of the beads as weighted points: bead i enters
// with weight(bead i) as its weight, i as its id and its address as data,
// in the seeded insertion order, inside the bounding tetrahedron of size
// 1e19. The order and the bound are part of every output that depends on
// the triangulation.
std::unique_ptr<CD3DW> triangulate(std::vector<Bead>& beads,
                                   const std::function<double(const Bead&)>& weight);

#endif
