// The functional residues of a structure, read from a file beside it.
#ifndef ANALYSIS_FUNRES_H
#define ANALYSIS_FUNRES_H

#include <map>
#include <string>
#include <vector>

#include "measure/intersectionsegmentnew.h"

// Reads base + ".funres" (base: `name` cut before its first ".pdb"): one
// residue number at the start of each line, anything after it ignored;
// lines that do not begin with a number are skipped.  Sets the
// functional-residue flag of every atom of each residue listed.
// `residue_start` maps a residue number to the atom index of the residue's
// first atom (for a number met in several runs, the last run); a residue's
// atoms run from there up to the next run's first atom, or to the last atom.
// A number the map lacks flags nothing, and neither does a file that cannot
// be read.
void funresi_read(std::string name, std::vector<info>& atoms, std::map<int, int>& residue_start);

#endif
