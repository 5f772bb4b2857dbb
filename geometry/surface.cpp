#include "geometry/surface.h"

#include <cstdio>

#include "geometry/ashape.h"
#include "geometry/d3dw.h"

void label_surface_atoms(std::vector<Bead>& beads, double /*probe*/) {
  int n = static_cast<int>(beads.size());
  CD3DW* tri = new CD3DW(1e19);
  tri->reserve(beads.size());
  std::vector<int> order = seeded_insertion_order(n);
  for (int k = 0; k < n; ++k) {
    Bead& b = beads[order[k]];
    tri->add(b.x, b.y, b.z, b.radius, order[k], &b);
  }

  CAlpha* alpha = new CAlpha(tri);
  for (Bead& b : beads) b.on_surf = false;

  // One line per tetrahedron, triangle and edge; collected and written in
  // one go since large structures have millions of them.
  std::string sizes;
  sizes.reserve(2 * alpha->simplices.size());
  for (CSimplex* s : alpha->simplices) {
    int d = s->size();
    if (d > 1) {
      sizes += static_cast<char>('0' + d);
      sizes += '\n';
    } else if (s->on_surface(0.0)) {
      static_cast<Bead*>((*s)[0]->data)->on_surf = true;
    }
  }
  if (!sizes.empty()) fwrite(sizes.data(), 1, sizes.size(), stdout);

  delete alpha;
  delete tri;
}

bool isInterfacePair(char chain1, char chain2, std::string spec) {
  if (spec.empty()) return true;
  if (spec == "*") {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    auto letter = [](char c) { return c >= 'A' && c <= 'z'; };
    return (digit(chain1) && letter(chain2)) || (letter(chain1) && digit(chain2));
  }
  // Groups only separate characters; what counts is whether each chain
  // occurs at all.
  bool seen1 = false, seen2 = false;
  for (char c : spec) {
    if (c == '|') continue;
    if (c == chain1) seen1 = true;
    if (c == chain2) seen2 = true;
  }
  return seen1 != seen2;
}
