#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "geometry/d3dw.h"
#include "geometry/surface.h"
#include "support/alpha_reference.h"

namespace {

// The size lines; *quiet: whether nothing else was written.
std::string label(std::vector<Bead>& beads, bool* quiet = nullptr) {
  std::ostringstream sizes;
  bool q = label_surface_atoms(beads, 1.4, sizes);
  if (quiet) *quiet = q;
  return sizes.str();
}

// Surface atoms by their definition: vertices of the weighted complex (weight
// = radius) that lie on its surface at alpha 0. Also the expected size lines.
std::vector<bool> expected_surface(const std::vector<Bead>& beads, std::string* lines) {
  std::vector<alpharef::WPoint> pts;
  for (const Bead& b : beads) pts.push_back({b.x, b.y, b.z, b.radius});
  alpharef::Complex ref(pts);
  std::vector<bool> surf(beads.size(), false);
  int count[5] = {0, 0, 0, 0, 0};
  for (const auto& kv : ref.simplices) {
    count[kv.first.size()]++;
    if (kv.first.size() == 1) surf[kv.first[0]] = ref.on_surface(kv.first, 0.0L);
  }
  lines->clear();
  for (int d = 4; d >= 2; --d)
    for (int k = 0; k < count[d]; ++k) *lines += std::to_string(d) + "\n";
  return surf;
}

// A slightly jittered cubic lattice whose cells (orthogonal radius about
// 0.927) are covered by balls of weight 0.9 but not of weight 0.81: its inner
// points are buried only when the radius itself is the weight.
std::vector<Bead> lattice() {
  std::vector<Bead> beads;
  unsigned seed = 12345;
  auto jitter = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return ((seed >> 8) % 2001) / 100000.0 - 0.01;
  };
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) {
        Bead b;
        b.x = 1.07 * i + jitter();
        b.y = 1.07 * j + jitter();
        b.z = 1.07 * k + jitter();
        b.radius = 0.9;
        beads.push_back(b);
      }
  return beads;
}

TEST(SurfaceAtoms, AgreeWithTheirDefinition) {
  std::vector<Bead> grid = lattice();
  std::string lines;
  std::vector<bool> want = expected_surface(grid, &lines);
  for (Bead& b : grid) b.on_surf = true;  // must be cleared
  bool quiet = false;
  std::string out = label(grid, &quiet);
  EXPECT_TRUE(quiet);
  int buried = 0;
  for (size_t i = 0; i < grid.size(); ++i) {
    EXPECT_EQ(grid[i].on_surf, want[i]) << "bead " << i;
    buried += !want[i];
  }
  EXPECT_EQ(buried, 8);
  EXPECT_EQ(out, lines);  // sizes 4, 3, 2 in list order
  EXPECT_EQ(label(grid), out);
  for (size_t i = 0; i < grid.size(); ++i) EXPECT_EQ(grid[i].on_surf, want[i]);

  // Smaller weights leave every point exposed; the old flags must go.
  for (Bead& b : grid) b.radius = 0.81;
  label(grid);
  for (const Bead& b : grid) EXPECT_TRUE(b.on_surf);
  for (Bead& b : grid) b.radius = 0.9;
  label(grid);
  for (size_t i = 0; i < grid.size(); ++i) EXPECT_EQ(grid[i].on_surf, want[i]);

  // The same beads in another order: the flags follow the beads.
  std::vector<Bead> reversed(grid.rbegin(), grid.rend());
  label(reversed);
  for (size_t i = 0; i < grid.size(); ++i)
    EXPECT_EQ(reversed[grid.size() - 1 - i].on_surf, want[i]);
}

// A labelling is quiet only after a silent triangulation, which the
// triangulation's own count of its messages tells; its messages come again
// on every call.
TEST(SurfaceAtoms, WarningsRepeatOnEveryCall) {
  CD3DW t(1e19);
  t.add(1, 2, 3, 1, 0, nullptr);
  EXPECT_EQ(t.warnings, 0u);
  testing::internal::CaptureStderr();
  t.add(2e16, 0, 0, 1, 1, nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "coordinates too large!");
  EXPECT_EQ(t.warnings, 1u);
  t.add(std::nan(""), 0, 0, 1, 2, nullptr);  // skipped: it cannot be located
  EXPECT_EQ(t.warnings, 2u);

  std::vector<Bead> beads = lattice();
  beads[0].x = 2e16;  // far enough for the triangulation's size warning
  std::string first;
  for (int k = 0; k < 2; ++k) {
    testing::internal::CaptureStderr();
    bool quiet = true;
    std::string out = label(beads, &quiet);
    EXPECT_FALSE(quiet);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "coordinates too large!");
    if (k == 0) first = out;
    EXPECT_EQ(out, first);
  }
}

TEST(SurfaceAtoms, PointsOutsideTheComplexAreNeverSurface) {
  std::vector<Bead> one(1);
  one[0].radius = 1.5;
  one[0].on_surf = true;
  EXPECT_EQ(label(one), "");
  EXPECT_FALSE(one[0].on_surf);

  // Bead 1 lies deep inside bead 0's weighted ball (1 - 10 < -0.5), bead 6
  // shares bead 5's position; the others surround them.
  double xyz[7][4] = {{0, 0, 0, 10}, {1, 0, 0, 0.5}, {6, 0, 0, 1},   {-6, 1, 0, 1},
                      {0, 6, 1, 1},  {0, -1, 6, 1},  {0, -1, 6, 1.5}};
  std::vector<Bead> beads(7);
  for (int i = 0; i < 7; ++i) {
    beads[i].x = xyz[i][0];
    beads[i].y = xyz[i][1];
    beads[i].z = xyz[i][2];
    beads[i].radius = xyz[i][3];
  }
  label(beads);
  EXPECT_FALSE(beads[1].on_surf);
  EXPECT_FALSE(beads[5].on_surf && beads[6].on_surf);
  EXPECT_TRUE(beads[2].on_surf && beads[3].on_surf && beads[4].on_surf);
}

TEST(InterfacePair, ChainGroupDefinitions) {
  EXPECT_TRUE(isInterfacePair('A', 'A', ""));
  EXPECT_TRUE(isInterfacePair('1', 'A', "*"));
  EXPECT_TRUE(isInterfacePair('A', '1', "*"));
  EXPECT_TRUE(isInterfacePair('1', '_', "*"));
  EXPECT_TRUE(isInterfacePair('z', '9', "*"));
  EXPECT_FALSE(isInterfacePair('A', 'B', "*"));
  EXPECT_FALSE(isInterfacePair('1', '2', "*"));
  EXPECT_FALSE(isInterfacePair('1', '{', "*"));
  for (std::string spec : {"AB", "A|B", "|A||B|"}) {
    EXPECT_TRUE(isInterfacePair('A', 'E', spec)) << spec;
    EXPECT_TRUE(isInterfacePair('E', 'B', spec)) << spec;
    EXPECT_FALSE(isInterfacePair('A', 'B', spec)) << spec;
    EXPECT_FALSE(isInterfacePair('E', 'F', spec)) << spec;
  }
  EXPECT_FALSE(isInterfacePair('A', 'A', "A"));
  EXPECT_FALSE(isInterfacePair('|', 'E', "A|B"));
  // Groups longer than any fixed buffer.
  std::string longer(5000, 'Q');
  EXPECT_TRUE(isInterfacePair('A', 'Z', longer + "Z"));
  EXPECT_FALSE(isInterfacePair('Q', 'Z', longer + "|Z"));
  EXPECT_TRUE(isInterfacePair('Q', 'Z', longer + "|A"));
}

}  // namespace
