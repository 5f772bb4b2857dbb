#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "geometry/bfs.h"
#include "structure/para.h"
#include "support/run.h"

namespace {

using testrun::read_file;
using testrun::split_lines;

TEST(NeighbourLayers, BreadthFirstLayersInDiscoveryOrder) {
  // 0 - 1 - 2 - 3, 0 - 4 - 3, and 5 alone.
  std::vector<std::vector<int>> adj = {{1, 4}, {0, 2}, {1, 3}, {2, 4}, {0, 3}, {}};
  std::vector<std::vector<int>> layers(4);
  patch_around_atom(0, layers, adj, 3, adj.size());
  EXPECT_EQ(layers[0], (std::vector<int>{0}));
  EXPECT_EQ(layers[1], (std::vector<int>{1, 4}));
  EXPECT_EQ(layers[2], (std::vector<int>{2, 3}));  // 3 once, though reached twice
  EXPECT_TRUE(layers[3].empty());

  std::vector<std::vector<int>> alone(2);
  patch_around_atom(5, alone, adj, 1, adj.size());
  EXPECT_EQ(alone[0], (std::vector<int>{5}));
  EXPECT_TRUE(alone[1].empty());
}

// Five CB atoms 3 apart on a line (alpha level -1 between neighbours, 6 at
// distance 6 and beyond), chained by the alpha-edge file, and a sixth atom
// without edges; atom 4 is in chain B.
class LayerFiles : public ::testing::Test {
 protected:
  testrun::TempDir dir;
  std::string pdb, base;
  std::vector<std::string> keys;  // 13 characters: padded by 3 blanks to 16

  void SetUp() override {
    construct_map_of_radius();
    construct_abb_of_all_residues();
    pdb = dir.file("line.pdb");
    base = dir.file("line");
    std::string text, edges;
    for (int i = 0; i < 6; ++i) {
      char chain = i == 4 ? 'B' : 'A';
      int res = 10 * (i + 1);
      char line[100];
      std::snprintf(line, sizeof line, "ATOM  %5d  CB  ALA %c%4d    %8.3f%8.3f%8.3f  1.00  0.00\n",
                    i + 1, chain, res, 3.0 * i, i == 5 ? 40.0 : 0.0, 0.0);
      text += line;
      keys.push_back(std::string(1, chain) + ":" + std::to_string(res) +
                     ":ALA:" + std::to_string(i + 1) + ":CB");
    }
    for (int i = 0; i + 1 < 5; ++i) edges += keys[i] + " " + keys[i + 1] + " -0.75 3\n";
    testrun::write_file(pdb, text);
    testrun::write_file(base + ".alpha.edges", edges);
  }

  std::vector<std::string> run(void (*routine)(std::string, std::string, int, std::ostream&),
                               std::string letters, int k, std::string* err = nullptr) {
    std::ostringstream log;
    testing::internal::CaptureStderr();
    routine(pdb, letters, k, log);
    std::string e = testing::internal::GetCapturedStderr();
    if (err) *err = e;
    return testrun::list_dir(dir.path());
  }
};

TEST_F(LayerFiles, NeighbourListsPerLayer) {
  std::string err;
  EXPECT_EQ(run(neighbors_at_layer, "-n", 0, &err).size(), 2u);  // k = 0: nothing written
  EXPECT_EQ(err.find(base + " takes "), 0u);
  EXPECT_EQ(err.substr(err.size() - 19), " seconds to finish\n");

  run(neighbors_at_layer, "-n", 3);
  std::vector<std::string> l1 = split_lines(read_file(base + ".1.neighbors"));
  std::vector<std::string> l3 = split_lines(read_file(base + ".3.neighbors"));
  ASSERT_EQ(l1.size(), 6u);
  EXPECT_EQ(l1[0], keys[0] + "   |  " + keys[1]);
  EXPECT_EQ(l1[1], keys[1] + "   |  " + keys[0] + " " + keys[2]);
  EXPECT_EQ(l1[5], keys[5] + "   | ");  // no alpha edge
  EXPECT_EQ(l3[0], keys[0] + "   |  " + keys[3]);
  EXPECT_EQ(l3[4], keys[4] + "   |  " + keys[1]);

  run(neighbors_at_layer, "-ni", 1);  // other chains only
  l1 = split_lines(read_file(base + ".1.neighbors"));
  EXPECT_EQ(l1[2], keys[2] + "   | ");
  EXPECT_EQ(l1[3], keys[3] + "   |  " + keys[4]);
}

TEST_F(LayerFiles, ContactLinesPerLayer) {
  run(pairs_of_layer, "-e", 3);
  std::vector<std::string> l1 = split_lines(read_file(base + ".1.edges"));
  std::vector<std::string> l2 = split_lines(read_file(base + ".2.edges"));
  std::vector<std::string> l3 = split_lines(read_file(base + ".3.edges"));
  // Each adjacent pair once, from its lower index; the counts come from
  // the alpha-edge reader.
  ASSERT_EQ(l1.size(), 4u);
  EXPECT_EQ(l1[0], keys[0] + " " + keys[1] + " -1 3 1 2 3");
  EXPECT_EQ(l1[3], keys[3] + " " + keys[4] + " -1 3 2 1 3");
  EXPECT_TRUE(l2.empty());   // 6 apart: level 6, left out of layers 1 and 2
  ASSERT_EQ(l3.size(), 2u);  // whatever the level from layer 3 on
  EXPECT_EQ(l3[0], keys[0] + " " + keys[3] + " 6 3 1 2 9");

  run(pairs_of_layer, "-ei", 1);
  l1 = split_lines(read_file(base + ".1.edges"));
  ASSERT_EQ(l1.size(), 1u);
  EXPECT_EQ(l1[0], keys[3] + " " + keys[4] + " -1 3 2 1 3");
}

}  // namespace
