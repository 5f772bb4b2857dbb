// Hand-made simplex records: tetrahedra given by their vertex indices, with
// faces, edges, cofaces, neighbours and incidence lists linked as the pocket
// builder links them; every flag false, every simplex size -10.
#ifndef TESTS_SUPPORT_HAND_COMPLEX_H
#define TESTS_SUPPORT_HAND_COMPLEX_H

#include <array>
#include <vector>

#include "measure/intersectionsegmentnew.h"

struct HandComplex {
  std::vector<info> atoms;
  std::vector<tetra> tetras;
  std::vector<tria> trias;
  std::vector<edge> edges;

  // Vertices of each tetrahedron in its own order; atoms 0 .. atom_count-1,
  // atom i with serial 100 + i, chain 'A' and centre (i, 2i, 3i).
  HandComplex(int atom_count, const std::vector<std::array<int, 4>>& cells);

  tria* face(int a, int b, int c);
  edge* edge_of(int a, int b);

  // t's flow enters u (t is in u's inflow list).
  void flow(int t, int u);
  // Marks a tetrahedron empty and reached by no outside flow.
  void empty(int t);
};

#endif
