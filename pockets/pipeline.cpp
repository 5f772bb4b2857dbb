#include "pockets/pipeline.h"

#include "measure/complexbuild.h"
#include "pockets/assembly.h"
#include "pockets/marks.h"
#include "pockets/mouths.h"
#include "pockets/reports.h"
#include "structure/bead.h"

void build_pocket_complex(std::vector<Bead>& beads, double probe, double alpha, PocketComplex& c) {
  SimplexList list = expanded_simplex_list(beads, probe);
  build_pocket_complex(beads, list, probe, alpha, c);
}

void build_pocket_complex(std::vector<Bead>& beads, SimplexList& list, double probe, double alpha,
                          PocketComplex& c) {
  build_complex(beads, list, probe, alpha, ComplexUse::kPockets, c);
}

int run_pocket_steps(PocketComplex& c, const std::string& name, int pymol, double probe,
                     double alpha, std::ostream& log) {
  std::vector<pocket>& pockets = c.pockets;
  pockets.clear();
  c.mouths.clear();
  pocketsrepresentation(c.tetras, pockets, probe);
  log << "pockets detection done!" << std::endl;
  if (pockets.empty()) {
    log << "No pocket detected!!" << std::endl;
    return 0;
  }
  // The mouth and report steps measure the balls grown to the alpha level.
  for (info& a : c.atoms) a.radius = alpha_radius(a.radius, probe, alpha);
  c.mouths.assign(pockets.size(), mouth());
  pocketspocindex(c.atoms, pockets);
  mouthsrepresentation(pockets, c.mouths, c.atoms, probe);
  pocketsmeasure(c.tetras, c.atoms, pockets, c.mouths, name, pymol, probe, alpha);
  return static_cast<int>(pockets.size());
}

void extract_pocket_short(std::vector<Bead>& beads, std::string name, int pymol, double probe,
                          double alpha, std::ostream& log) {
  SimplexList list = expanded_simplex_list(beads, probe);
  extract_pocket_short(beads, list, name, pymol, probe, alpha, log);
}

void extract_pocket_short(std::vector<Bead>& beads, SimplexList& list, std::string name, int pymol,
                          double probe, double alpha, std::ostream& log) {
  PocketComplex c;
  build_pocket_complex(beads, list, probe, alpha, c);
  log << "pocket segments judging done!" << std::endl;
  run_pocket_steps(c, name, pymol, probe, alpha, log);
}
