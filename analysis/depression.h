// Depressions: connected sets of tetrahedra carrying the depression flag,
// grown from the flagged tetrahedra outside the alpha complex, numbered by
// size, with their report files, viewer script and launcher.
#ifndef ANALYSIS_DEPRESSION_H
#define ANALYSIS_DEPRESSION_H

#include <string>
#include <vector>

#include "measure/intersectionsegmentnew.h"

struct depression {
  int id = 0;                      // assembly counter value at creation; ids grow, with gaps
  int number = 0;                  // rank by tetrahedron count, 1 = fewest
  std::vector<tetra*> tetrahedra;  // in joining order; records of the caller's vector
  std::vector<int> serials;        // atom serials, filled by depressionsmeasure
};

// Groups the flagged tetrahedra.  Every flagged tetrahedron outside the
// complex (a candidate), in vector order, starts a depression and pulls in
// each flagged face neighbour between which and itself flow passes (either
// way) or whose shared face is outside the complex; a neighbour already in
// an earlier depression brings that whole depression along.  Appends the
// depressions in creation order and sets each member's depression id.  The
// double is not read.  Needs linked records (neighbours, shared faces,
// inflow lists, in_complex) and every depression id 0.
void depressionsrepresentation(std::vector<tetra>& tetrahedra, std::vector<depression>& depressions,
                               double);

// Numbers the depressions by tetrahedron count (1 = fewest; the exchange
// order of the pocket numbering, which is not stable) and marks their atoms:
// the depression flag, and each number once in the atom's depression-number
// list, in vector order of the depressions.
void depressionspocindex(std::vector<info>& atoms, std::vector<depression>& depressions);

// Numbers and marks the depressions (depressionspocindex), then writes, base
// being `name` cut before its first ".pdb":
//  base + ".dep": one PDB ATOM row tagged DEP per atom and depression number
//    (filling each depression's `serials`);
//  base + ".depInfo.complex": the tetrahedra of depressions 1, 2, ... with
//    their atoms' serials and sizes, under a header holding `alpha`;
//  base + ".dep.pml": a PyMOL script loading the atom file with one
//    selection per depression, largest first.
// With `launch` 1 it also writes "tmp.sh" in the working directory, which
// starts pymol (found on the search path) with the viewer script, makes it
// executable, runs it and removes it.  The first argument and the probe
// radius are not read.  A file that cannot be created takes no lines and is
// not reported; without its launcher script nothing is run.
void depressionsmeasure(std::vector<tetra>& tetrahedra, std::vector<info>& atoms,
                        std::vector<depression>& depressions, std::string name, int launch,
                        double probe, double alpha);

// base + ".dep.m": a MATLAB wire frame of the depression numbered 237 (a
// fixed selection), one red line per edge of each of its tetrahedra.
// Numbers the depressions; only the depressions and the name are read.
void visualization_dep_matlab(std::vector<tetra>& tetrahedra, std::vector<info>& atoms,
                              std::vector<depression>& depressions, std::string name, double,
                              double);

#endif
