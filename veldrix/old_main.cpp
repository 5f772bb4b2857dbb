// veldrix-old: the earlier command line of the aligner.  It takes the
// target threshold from the command line, reads no frequencies, prints only
// "switch" and the summary, and weighs a residue-letter match twice as much.
#include <cstdlib>
#include <iostream>

#include "veldrix/driver.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: veldrix-old pocket1 pocket2 target_lambda" << std::endl;
    return 1;
  }
  AlignmentSettings settings;
  settings.target_lambda = std::atof(argv[3]);
  settings.frequencies = false;
  settings.log = false;
  settings.residue_bonus = 20.0;
  return align_pockets(settings, argv[1], "null", argv[2], "null");
}
