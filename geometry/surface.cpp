#include "geometry/surface.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "geometry/ashape.h"
#include "geometry/d3dw.h"

namespace {

const double kBound = 1e19;

// The pipeline labels the same beads once for each of the letters x, t and
// u. The result depends only on the beads' centres and radii, so the last
// one is kept and replayed byte for byte. A run that printed anything
// besides the size lines (a size warning or a failed 3-2 flip check of the
// triangulation, a degenerate simplex) is not kept.
struct LastLabelling {
  bool valid = false;
  std::vector<double> key;  // x, y, z, radius per bead
  std::vector<char> on_surf;
  std::string sizes;
};

LastLabelling last;

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

// Whether the insertion of these beads can have written a size warning.
bool may_warn(const std::vector<Bead>& beads) {
  for (const Bead& b : beads) {
    if (!std::isfinite(b.x) || !std::isfinite(b.y) || !std::isfinite(b.z) ||
        !std::isfinite(b.radius))
      return true;
    double size = std::fabs(b.x) + std::fabs(b.y) + std::fabs(b.z) + std::fabs(b.radius);
    if (1000.0 * size > kBound) return true;
  }
  return false;
}

// Number of 3-2 flips whose consistency check failed (and printed). The
// triangulation makes 4 triangles and 1 cell at the start, 6 triangles and
// 4 cells per inserted point, 3 and 3 per 2-3 flip, 1 and 2 per 3-2 flip, 0
// and 1 per 4-1 flip, and a failed 3-2 check makes neither; stats[2] counts
// the points that stayed out plus those removed by 4-1 flips. Those counts
// determine the flips that succeeded. -1 when they do not add up.
long long failed_flip32(const CD3DW& t) {
  long long T = static_cast<long long>(t.edges.size() / 6);
  long long C = static_cast<long long>(t.cells.size());
  long long n = static_cast<long long>(t.points.size());
  long long f23 = static_cast<long long>(t.stats[0]);
  long long out = static_cast<long long>(t.stats[2]);
  long long s7 = 2 * T - 7 - 3 * f23 - C - n + out;
  if (t.edges.size() % 6 != 0 || s7 < 0 || s7 % 7 != 0) return -1;
  long long inserted = s7 / 7;
  long long f32 = T - 4 - 6 * inserted - 3 * f23;
  long long f41 = out - n + inserted;
  long long calls = static_cast<long long>(t.stats[1]);
  if (f32 < 0 || f41 < 0 || f32 > calls) return -1;
  return calls - f32;
}

void apply(const LastLabelling& l, std::vector<Bead>& beads) {
  for (size_t i = 0; i < beads.size(); ++i) beads[i].on_surf = l.on_surf[i] != 0;
  if (!l.sizes.empty()) fwrite(l.sizes.data(), 1, l.sizes.size(), stdout);
}

}  // namespace

void label_surface_atoms(std::vector<Bead>& beads, double /*probe*/) {
  std::vector<double> key = key_of(beads);
  if (last.valid && same_key(key, last.key)) {
    apply(last, beads);
    return;
  }
  last.valid = false;

  int n = static_cast<int>(beads.size());
  CD3DW* tri = new CD3DW(kBound);
  tri->reserve(beads.size());
  std::vector<int> order = seeded_insertion_order(n);
  for (int k = 0; k < n; ++k) {
    Bead& b = beads[order[k]];
    tri->add(b.x, b.y, b.z, b.radius, order[k], &b);
  }
  bool quiet = !may_warn(beads) && failed_flip32(*tri) == 0;

  CAlpha* alpha = new CAlpha(tri);
  LastLabelling result;
  result.on_surf.assign(beads.size(), 0);
  // One line per tetrahedron, triangle and edge; collected and written in
  // one go since large structures have millions of them.
  result.sizes.reserve(2 * alpha->simplices.size());
  for (CSimplex* s : alpha->simplices) {
    int d = s->size();
    if (d > 1) {
      result.sizes += static_cast<char>('0' + d);
      result.sizes += '\n';
      if (d == 4 && static_cast<C3Simplex*>(s)->sigma_inf) quiet = false;
      if (d == 3 && static_cast<C2Simplex*>(s)->sigma_inf) quiet = false;
    } else if (s->on_surface(0.0)) {
      result.on_surf[static_cast<Bead*>((*s)[0]->data) - beads.data()] = 1;
    }
  }
  apply(result, beads);
  delete alpha;
  delete tri;

  if (quiet) {
    result.key.swap(key);
    result.valid = true;
    last = std::move(result);
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
