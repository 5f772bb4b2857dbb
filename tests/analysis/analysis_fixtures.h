// Records for the analysis tests: the records of the pocket builder on
// random or real atoms, and a real structure taken through assembly,
// numbering and mouths; hand-linked complexes come with the support header.
#ifndef TESTS_ANALYSIS_ANALYSIS_FIXTURES_H
#define TESTS_ANALYSIS_ANALYSIS_FIXTURES_H

#include <string>
#include <vector>

#include "pockets/pipeline.h"
#include "pockets/pocket.h"
#include "structure/bead.h"
#include "support/hand_complex.h"

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
