// The pocket pipeline of one structure (option letter p).
#ifndef POCKETS_PIPELINE_H
#define POCKETS_PIPELINE_H

#include <ostream>
#include <string>
#include <vector>

#include "measure/complexbuild.h"
#include "measure/intersectionsegmentnew.h"
#include "pockets/pocket.h"

class Bead;

// Finds, measures and reports the pockets of one structure: triangulates the
// atoms with balls expanded by the probe, classifies the simplices of the
// alpha complex against `alpha`, assembles pockets, numbers them, finds their
// mouths and writes the nine pocket files named from `name` (cut before its
// first ".pdb") in the working directory.  Writes the progress lines
// "pocket segments judging done!", "pockets detection done!" and, without
// any pocket, "No pocket detected!!" (then no file is written) to log, each
// flushed.  The beads are only read; `pymol` (1 when the option letters hold
// a 7) changes no output.
void extract_pocket_short(std::vector<Bead>& beads, std::string name, int pymol, double probe,
                          double alpha, std::ostream& log);
// The same on the beads' expanded simplex list for this probe, made once for
// the steps of a structure that share it.
void extract_pocket_short(std::vector<Bead>& beads, SimplexList& list, std::string name, int pymol,
                          double probe, double alpha, std::ostream& log);

// The working data of one structure's pocket pipeline: the simplex records
// (atoms: one per bead, same index), then the pockets and their mouth
// summaries (mouths[k] belongs to the pocket numbered k + 1) as the steps
// leave them.
struct PocketComplex : ComplexRecords {
  std::vector<pocket> pockets;
  std::vector<mouth> mouths;
};

// Builds and classifies the records (build_complex for the pocket steps):
// vertex records from the beads; one record per tetrahedron, triangle and
// edge of the alpha complex of the probe-expanded balls, in the complex's
// order, linked to their faces, edges, cofaces and neighbours; a simplex is
// in the complex when its signed size is at most alpha; convex-hull marks;
// then the flow to the outside.  A tetrahedron that the complex reports
// degenerate (flat) gets no centre (NaN): it never enters the complex and
// takes no part in the flow.  The records must not be copied or moved
// element-wise afterwards (they point at each other).
void build_pocket_complex(std::vector<Bead>& beads, double probe, double alpha, PocketComplex& c);
void build_pocket_complex(std::vector<Bead>& beads, SimplexList& list, double probe, double alpha,
                          PocketComplex& c);

// The steps after the records: assembly, radius change, numbering, mouths
// and the report files; the pockets and mouths stay in `c`.  Returns the
// number of pockets (0: nothing written).  Progress lines go to log.
int run_pocket_steps(PocketComplex& c, const std::string& name, int pymol, double probe,
                     double alpha, std::ostream& log);

#endif
