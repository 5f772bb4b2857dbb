// veldrix: aligns two pockets given as typed point sets, with observed
// frequencies weighing the pairs.
#include <iostream>

#include "veldrix/driver.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::cerr << "usage: veldrix pocket1 frequencies1 pocket2 frequencies2" << std::endl;
    return 1;
  }
  return align_pockets(AlignmentSettings(), argv[1], argv[2], argv[3], argv[4]);
}
