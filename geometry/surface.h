// Surface atoms of the alpha complex at alpha 0, and the chain-group rule
// that decides which pairs of chains form an interface.
#ifndef GEOMETRY_SURFACE_H
#define GEOMETRY_SURFACE_H

#include <string>
#include <vector>

#include "structure/bead.h"

// The last result of label_surface_atoms, kept by its caller: the pipeline
// labels the same beads once for each of the letters x, t and u. The result
// depends only on the beads' centres and radii (in this order, as bits), so
// it is replayed byte for byte: the flags and the size lines. A run that
// wrote anything else (a message of the triangulation's insertions, which it
// counts, or a degenerate simplex of the complex) is not kept, so such
// messages repeat on every call as a fresh run would write them.
struct SurfaceLabelCache {
  bool valid = false;
  std::vector<double> key;  // x, y, z, radius per bead
  std::vector<char> on_surf;
  std::string sizes;
};

// Sets on_surf of every bead afresh: a bead is a surface atom when its point
// is a vertex of the complex (an end of at least one edge between two beads)
// that lies on the surface at alpha 0. Each bead enters the triangulation
// with its radius (not its square) as weight, in the seeded insertion order.
// Prints the size of every tetrahedron, triangle and edge of the complex,
// "%d\n" each, in list order on standard output. `probe` has no effect.
// With a cache, a kept result for the same beads is replayed, and a silent
// run replaces what the cache held.
void label_surface_atoms(std::vector<Bead>& beads, double probe, SurfaceLabelCache& cache);
void label_surface_atoms(std::vector<Bead>& beads, double probe);

// True when chain1 and chain2 form an interface under the chain-group
// definition `spec`:
//   ""   every pair (even two equal chains);
//   "*"  a digit with a character between 'A' and 'z' (in either order);
//   else exactly one of the two occurs among spec's characters other than
//        '|' (groups separated by '|' do not change the answer).
bool isInterfacePair(char chain1, char chain2, std::string spec);

#endif
