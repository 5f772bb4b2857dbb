// Neighbour layers over the alpha edges of an earlier run: the atoms at graph
// distance 1, 2, ... k from every atom, as neighbour lists or contact lines,
// one output file per distance. No command line reaches these routines.
#ifndef GEOMETRY_BFS_H
#define GEOMETRY_BFS_H

#include <ostream>
#include <string>
#include <vector>

// Advances a breadth-first search by one layer: appends to `next`, in
// order, every not yet visited entry of the adjacency lists of the
// frontier's atoms, and marks it visited.
void bfs(std::vector<int>& frontier, std::vector<int>& next,
         std::vector<std::vector<int>>& adjacency, bool* visited);

// Fills layers[0] with `atom` and layers[j] (1 <= j <= k) with the atoms
// first reached in step j; `layers` must hold at least k + 1 lists and `n`
// is the number of atoms.
void patch_around_atom(int atom, std::vector<std::vector<int>>& layers,
                       std::vector<std::vector<int>>& adjacency, int k, unsigned long n);

// Read the structure `path` (reduced by the first of the letters r, k, b, s
// present) and its alpha edges from base + ".alpha.edges", then write
// base + ".<j>.neighbors" (one neighbour list per atom) or base +
// ".<j>.edges" (contact lines) for j = 1 .. k. With the letter i only atoms
// of other chains are written.  The levels derived on the way write their
// squared radii to log (alpha_level_of).
void neighbors_at_layer(std::string path, std::string letters, int k, std::ostream& log);
void pairs_of_layer(std::string path, std::string letters, int k, std::ostream& log);

#endif
