#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "geometry/d3dw.h"
#include "structure/bead.h"
#include "structure/file.h"
#include "support/reference_triangulation.h"

// CD3DW reuses storage and locates points by walking; everything that later
// stages read from it (live records in list order, their ring links and
// cached minors, the listed edges) must be what the plain insertion with the
// history of replaced cells gives.

namespace {

struct WPoint {
  double x, y, z, w;
};

// `left_out` receives the points that did not stay vertices.
std::string compare(const std::vector<WPoint>& pts, const std::vector<int>& order,
                    std::uint64_t* left_out = nullptr) {
  CD3DW t(1e19);
  RefTriangulation ref(1e19);
  for (int k : order) {
    t.add(pts[k].x, pts[k].y, pts[k].z, pts[k].w, k, nullptr);
    ref.add(pts[k].x, pts[k].y, pts[k].z, pts[k].w, k, nullptr);
  }
  if (left_out) *left_out += ref.stats[2];
  return compare_with_reference(t, ref);
}

}  // namespace

TEST(TriangulationAgainstReference, RealStructuresInSeededOrder) {
  for (const char* name : {"1ubq", "1a0q", "3al1", "1a1p"}) {
    std::vector<Bead> beads;
    read_pdb(std::string(DATA_DIR) + "/" + name + ".pdb", beads);
    ASSERT_FALSE(beads.empty()) << name;
    std::vector<int> order = seeded_insertion_order(int(beads.size()));
    // the weights of the edge collector, the pocket and area pipelines
    // (probe 1.4) and the surface labelling (the radius itself)
    for (int kind = 0; kind < 3; ++kind) {
      std::vector<WPoint> pts;
      for (const Bead& b : beads) {
        double r = kind == 1 ? b.radius + 1.4 : b.radius;
        pts.push_back({b.x, b.y, b.z, kind == 2 ? r : r * r});
      }
      EXPECT_EQ(compare(pts, order), "") << name << " weights " << kind;
    }
  }
}

TEST(TriangulationAgainstReference, RandomDegenerateAndRedundantInput) {
  std::mt19937 g(17);
  std::uniform_real_distribution<double> U(-4, 4);
  std::uniform_int_distribution<int> L(0, 4);
  std::uint64_t left_out = 0;
  for (int trial = 0; trial < 60; ++trial) {
    int n = 20 + 13 * trial;
    std::vector<WPoint> pts;
    for (int i = 0; i < n; ++i) {
      switch (trial % 5) {
        case 0:
          pts.push_back({U(g), U(g), U(g), std::fabs(U(g))});
          break;
        case 1:
          pts.push_back({U(g), U(g), U(g), std::pow(10.0, U(g) / 2)});
          break;  // 4-1 flips
        case 2:
          pts.push_back({double(L(g)), double(L(g)), double(L(g)), 0});
          break;  // cospherical
        case 3:
          pts.push_back({double(L(g)), double(L(g)), U(g), double(L(g) % 2)});
          break;
        default:  // repeated positions, flat layers
          if (i > 3 && L(g) == 0) {
            WPoint p = pts[g() % pts.size()];
            p.w = std::fabs(U(g));
            pts.push_back(p);
          } else {
            pts.push_back({U(g), U(g), 0.25 * L(g), 1 + std::fabs(U(g))});
          }
      }
    }
    std::vector<int> order = seeded_insertion_order(n);
    EXPECT_EQ(compare(pts, order, &left_out), "") << "trial " << trial;
  }
  EXPECT_GT(left_out, 100u);  // duplicates and redundant points
  // a 4-1 flip whose new cell has a non-regular link face
  std::vector<WPoint> pts = {
      {4, 8, 4, 22}, {5, 6, 9, 14}, {1, 4, 6, 20}, {2, 6, 5, 11}, {1, 6, 5, 28}};
  EXPECT_EQ(compare(pts, {0, 1, 2, 3, 4}), "");
}
