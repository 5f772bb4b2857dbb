#include "pockets/pseudoatoms.h"

void pocketsnegativeimage(std::vector<info>& /*atoms*/, std::vector<pocket>& pockets, int /*pymol*/,
                          double /*probe*/, double /*alpha*/) {
  const PocketRanking ranking = rank_pockets(pockets);
  for (int position : ranking.order) {
    pocket& p = pockets[position];
    p.pseudo_atoms.reserve(p.pseudo_atoms.size() + p.tetrahedra.size());
    for (const tetra* t : p.tetrahedra) {
      p.pseudo_atoms.emplace_back();
      info& q = p.pseudo_atoms.back();
      q.index = t->id;
      q.x = t->center[0];
      q.y = t->center[1];
      q.z = t->center[2];
      q.radius = PSEUDO_ATOM_RADIUS;
      q.pocket_numbers = {t->pocket_number, t->subpocket_index};
    }
  }
}
