#include "geometry/surface.h"

#include <memory>
#include <string>
#include <vector>

#include "geometry/ashape.h"
#include "geometry/triangulate.h"

bool label_surface_atoms(std::vector<Bead>& beads, double /*probe*/, std::ostream& sizes) {
  // The radius itself, not its square, is the weight here.
  std::unique_ptr<CD3DW> tri = triangulate(beads, [](const Bead& b) { return b.radius; });
  bool quiet = tri->warnings == 0;

  CAlpha* alpha = new CAlpha(tri.get());
  for (Bead& b : beads) b.on_surf = false;
  // One line per tetrahedron, triangle and edge; collected and written in
  // one go since large structures have millions of them.
  std::string lines;
  lines.reserve(2 * alpha->simplices.size());
  for (CSimplex* s : alpha->simplices) {
    int d = s->size();
    if (d > 1) {
      lines += static_cast<char>('0' + d);
      lines += '\n';
      // Only a degenerate triangle or tetrahedron, which the complex has
      // reported, has an infinite size.
      if (d == 4 && static_cast<C3Simplex*>(s)->sigma_inf) quiet = false;
      if (d == 3 && static_cast<C2Simplex*>(s)->sigma_inf) quiet = false;
    } else if (s->on_surface(0.0)) {
      static_cast<Bead*>((*s)[0]->data)->on_surf = true;
    }
  }
  sizes.write(lines.data(), static_cast<std::streamsize>(lines.size()));
  delete alpha;
  return quiet;
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
