// The alignment procedure shared by the veldrix command lines.
#ifndef VELDRIX_DRIVER_H
#define VELDRIX_DRIVER_H

#include <string>

// What distinguishes the command lines: the threshold the annealing aims
// at, whether observed frequencies weigh the pairs and "VELDRIX: " log
// lines are printed, and the weight of a residue-letter match.
struct AlignmentSettings {
  double target_lambda = 1.0;
  bool frequencies = true;
  bool log = true;
  double residue_bonus = 10.0;
};

// Aligns the two pocket files, writes the pairing files, "alOrd",
// "rot.dat" and the summary line, and returns the exit status: 0 after a
// normal run, 1 when an input is inconsistent or holds no atom, or when an
// output file or standard output cannot be written (messages go to standard
// error).  The pairing files are named after the pocket files without their
// directory parts and written into the working directory.  The frequency
// file names are read only when settings.frequencies is set ("null" stands
// for all ones).
int align_pockets(const AlignmentSettings& settings, std::string pocket1,
                  const std::string& freqfile1, std::string pocket2, const std::string& freqfile2);

#endif
