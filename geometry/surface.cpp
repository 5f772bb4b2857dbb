#include "geometry/surface.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "geometry/ashape.h"
#include "geometry/triangulate.h"

namespace {

std::vector<double> key_of(const std::vector<Bead>& beads) {
  std::vector<double> key;
  key.reserve(4 * beads.size());
  for (const Bead& b : beads) {
    key.push_back(b.x);
    key.push_back(b.y);
    key.push_back(b.z);
    key.push_back(b.radius);
  }
  return key;
}

bool same_key(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

void replay(const SurfaceLabelCache& l, std::vector<Bead>& beads) {
  for (size_t i = 0; i < beads.size(); ++i) beads[i].on_surf = l.on_surf[i] != 0;
  if (!l.sizes.empty()) fwrite(l.sizes.data(), 1, l.sizes.size(), stdout);
}

}  // namespace

void label_surface_atoms(std::vector<Bead>& beads, double probe) {
  SurfaceLabelCache none;
  label_surface_atoms(beads, probe, none);
}

void label_surface_atoms(std::vector<Bead>& beads, double /*probe*/, SurfaceLabelCache& cache) {
  std::vector<double> key = key_of(beads);
  if (cache.valid && same_key(key, cache.key)) {
    replay(cache, beads);
    return;
  }
  cache.valid = false;

  // The radius itself, not its square, is the weight here.
  std::unique_ptr<CD3DW> tri = triangulate(beads, [](const Bead& b) { return b.radius; });
  // Only a run that wrote nothing but the size lines may be replayed.
  bool quiet = tri->warnings == 0;

  CAlpha* alpha = new CAlpha(tri.get());
  SurfaceLabelCache result;
  result.on_surf.assign(beads.size(), 0);
  // One line per tetrahedron, triangle and edge; collected and written in
  // one go since large structures have millions of them.
  result.sizes.reserve(2 * alpha->simplices.size());
  for (CSimplex* s : alpha->simplices) {
    int d = s->size();
    if (d > 1) {
      result.sizes += static_cast<char>('0' + d);
      result.sizes += '\n';
      // Only a degenerate triangle or tetrahedron, which the complex has
      // reported, has an infinite size.
      if (d == 4 && static_cast<C3Simplex*>(s)->sigma_inf) quiet = false;
      if (d == 3 && static_cast<C2Simplex*>(s)->sigma_inf) quiet = false;
    } else if (s->on_surface(0.0)) {
      result.on_surf[static_cast<Bead*>((*s)[0]->data) - beads.data()] = 1;
    }
  }
  replay(result, beads);
  delete alpha;
  tri.reset();

  if (quiet) {
    result.key.swap(key);
    result.valid = true;
    cache = std::move(result);
  }
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
