#include "geometry/triangulate.h"

std::unique_ptr<CD3DW> triangulate(std::vector<Bead>& beads,
                                   const std::function<double(const Bead&)>& weight) {
  std::unique_ptr<CD3DW> t(new CD3DW(1e19));
  t->reserve(beads.size());
  for (int i : seeded_insertion_order(static_cast<int>(beads.size()))) {
    Bead& b = beads[i];
    t->add(b.x, b.y, b.z, weight(b), i, &b);
  }
  return t;
}
