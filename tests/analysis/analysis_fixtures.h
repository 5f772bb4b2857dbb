// Records for the analysis tests: tetrahedra linked by hand from vertex
// lists, the records of the pocket builder on random or real atoms, and a
// real structure taken through assembly, numbering and mouths.
#ifndef TESTS_ANALYSIS_ANALYSIS_FIXTURES_H
#define TESTS_ANALYSIS_ANALYSIS_FIXTURES_H

#include <array>
#include <string>
#include <vector>

#include "pockets/pipeline.h"
#include "pockets/pocket.h"
#include "structure/bead.h"

// Tetrahedra given by their vertex indices (their own order), with faces,
// edges, cofaces, neighbours and incidence lists linked as the pocket
// builder links them; every flag false, every size -10.
struct HandComplex {
  std::vector<info> atoms;
  std::vector<tetra> tetras;
  std::vector<tria> trias;
  std::vector<edge> edges;

  HandComplex(int atom_count, const std::vector<std::array<int, 4>>& cells);
  tria* face(int a, int b, int c);
  edge* edge_of(int a, int b);
};

// n atoms of radius 1.6 at random places in a cube of side `box`.
std::vector<Bead> random_beads(int n, unsigned seed, double box);

// The bundled structure's atoms.
std::vector<Bead> bundled_beads(const std::string& file);

// A structure as the pocket pipeline leaves it before its reports: records
// built and classified (probe 1.4, alpha 0), pockets assembled, radii grown,
// pockets numbered and marked, mouths found.
struct PipelineRecords {
  std::vector<Bead> beads;
  PocketComplex c;
  std::vector<pocket> pockets;
  std::vector<mouth> mouths;

  explicit PipelineRecords(std::vector<Bead> atoms);
};

#endif
