#include "pockets/pseudoatoms.h"

void pocketsnegativeimage(std::vector<info>& /*atoms*/, std::vector<pocket>& pockets, int /*pymol*/,
                          double /*probe*/, double /*alpha*/) {
  const PocketRanking ranking = rank_pockets(pockets);
  for (int position : ranking.order) {
    pocket& p = pockets[position];
    p.pseudo_atoms.reserve(p.pseudo_atoms.size() + p.tetrahedra.size());
    for (const tetra* t : p.tetrahedra) {
      info q;
      q.index = t->id;
      q.x = t->center[0];
      q.y = t->center[1];
      q.z = t->center[2];
      q.radius = PSEUDO_ATOM_RADIUS;
      q.pocket_numbers.push_back(t->pocket_number);
      q.pocket_numbers.push_back(t->subpocket_index);
      p.pseudo_atoms.push_back(q);
    }
  }
}
