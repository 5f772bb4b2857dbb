#include "analysis_fixtures.h"

#include <cstring>
#include <random>
#include <utility>

#include "pockets/assembly.h"
#include "pockets/marks.h"
#include "pockets/mouths.h"
#include "structure/file.h"
#include "structure/para.h"

std::vector<Bead> random_beads(int n, unsigned seed, double box) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> coordinate(0.0, box);
  std::vector<Bead> beads(n);
  for (int i = 0; i < n; ++i) {
    Bead& b = beads[i];
    b.x = coordinate(rng);
    b.y = coordinate(rng);
    b.z = coordinate(rng);
    b.radius = 1.6;
    b.serial = i + 1;
    b.res_num = i / 4 + 1;
    std::strcpy(b.atom_name, "CA");
    std::strcpy(b.res_name, "ALA");
    b.chain_id = 'A';
  }
  return beads;
}

std::vector<Bead> bundled_beads(const std::string& file) {
  static const bool tables = [] {
    construct_map_of_radius();
    construct_abb_of_all_residues();
    return true;
  }();
  (void)tables;
  std::vector<Bead> beads;
  read_pdb(std::string(DATA_DIR) + "/" + file, beads);
  return beads;
}

PipelineRecords::PipelineRecords(std::vector<Bead> atoms) : beads(std::move(atoms)) {
  const double probe = 1.4, alpha = 0.0;
  build_pocket_complex(beads, probe, alpha, c);
  pocketsrepresentation(c.tetras, pockets, probe);
  for (info& a : c.atoms) a.radius = alpha_radius(a.radius, probe, alpha);
  mouths.resize(pockets.size());
  pocketspocindex(c.atoms, pockets);
  mouthsrepresentation(pockets, mouths, c.atoms, probe);
}
