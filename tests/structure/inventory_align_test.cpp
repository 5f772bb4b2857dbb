#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "structure/align.h"
#include "structure/para.h"

namespace {

using Strings = std::vector<std::string>;

// The builders append to process-wide lists, so all checks of one process
// run in this single test, in order.
TEST(Inventories, NamesAndPairLists) {
  construct_map_of_radius();
  construct_vector_of_all_atom_pairs();
  construct_vector_of_all_residue_pairs();
  construct_vector_of_all_atom_pairs_reduced();

  EXPECT_EQ(atoms_of_residue_type.size(), 23u);
  EXPECT_EQ(atoms_of_residue_type["PRO"][0], "N");
  EXPECT_EQ(residue_names.size(), 23u);
  EXPECT_EQ(residue_names.back(), "LUN");
  ASSERT_EQ(atom_names.size(), 181u);
  EXPECT_TRUE(std::is_sorted(atom_names.begin(), atom_names.end()));
  EXPECT_EQ(Strings(atom_names.begin(), atom_names.begin() + 5),
            (Strings{"ALA.C", "ALA.CA", "ALA.CB", "ALA.N", "ALA.O"}));
  EXPECT_EQ(atom_names.back(), "VAL.O");
  EXPECT_EQ(std::set<std::string>(atom_names.begin(), atom_names.end()).size(), 181u);
  // Every listed atom takes part in a structure: it has a radius.
  for (const std::string& name : atom_names) EXPECT_GT(radius_of_atom[name], 0) << name;
  EXPECT_EQ(atom_names_reduced.size(), 23u);
  EXPECT_EQ(atom_names_reduced[21], "FIN.SC");

  // n(n+1)/2 unordered pairs, each once, the earlier name first.
  ASSERT_EQ(atom_pair_types.size(), 16471u);
  EXPECT_EQ(atom_pair_types.front(), "ALA.C:ALA.C");
  EXPECT_EQ(atom_pair_types.back(), "VAL.O:VAL.O");
  std::set<std::string> pairs(atom_pair_types.begin(), atom_pair_types.end());
  EXPECT_EQ(pairs.size(), 16471u);
  EXPECT_TRUE(pairs.count("ALA.CA:ALA.CB"));
  EXPECT_FALSE(pairs.count("ALA.CB:ALA.CA"));
  ASSERT_EQ(residue_pair_types.size(), 276u);
  std::set<std::string> res(residue_pair_types.begin(), residue_pair_types.end());
  EXPECT_TRUE(res.count("GLY:HIS") && res.count("KCX:FIN") && res.count("LUN:LUN"));
  EXPECT_FALSE(res.count("HIS:GLY") || res.count("FIN:KCX"));
  EXPECT_EQ(atom_pair_types_reduced.size(), 276u);
  EXPECT_EQ(atom_pair_types_reduced.back(), "LUN.SC:LUN.SC");

  // A second call appends: residue pairs again, reduced names doubled.
  construct_vector_of_all_residue_pairs();
  EXPECT_EQ(residue_pair_types.size(), 552u);
  construct_vector_of_all_atom_pairs_reduced();
  EXPECT_EQ(atom_names_reduced.size(), 46u);
  EXPECT_EQ(atom_pair_types_reduced.size(), 276u + 46u * 47u / 2);
}

using Table = std::vector<std::vector<std::vector<From>>>;
using Path = std::vector<std::vector<int>>;

TEST(Traceback, FollowsStoredMoves) {
  Table from(3, std::vector<std::vector<From>>(2));
  from[2][1] = {0};
  from[1][0] = {2};
  Path path;
  traceback(from, 2, 1, path, true);
  EXPECT_EQ(path, (Path{{1, 0}, {0, -1}}));

  path = {{9, 9}};
  traceback(from, 0, 0, path, true);
  EXPECT_EQ(path, (Path{{9, 9}}));
  from[2][0] = {};
  traceback(from, 2, 0, path, false);  // a cell without moves ends the walk
  EXPECT_EQ(path, (Path{{9, 9}}));
}

TEST(Traceback, BranchingWalkRemovesOnePairPerExtraMove) {
  // Edit graph of two sequences of length 1: cell (1,1) reached diagonally
  // or from the left; row 0 and column 0 hold their gap moves.
  Table from(2, std::vector<std::vector<From>>(2));
  from[0][1] = {1};
  from[1][0] = {2};
  from[1][1] = {0, 1};
  Path single, all;
  traceback(from, 1, 1, single, true);
  EXPECT_EQ(single, (Path{{0, 0}}));
  traceback(from, 1, 1, all, false);
  // Diagonal {0,0}; then one pair removed and {-1,0} {0,-1} appended.
  EXPECT_EQ(all, (Path{{-1, 0}, {0, -1}}));

  // With one move per cell, both modes agree on a longer random-free table.
  Table chain(4, std::vector<std::vector<From>>(4));
  for (size_t i = 0; i < 4; ++i)
    for (size_t j = 0; j < 4; ++j) {
      if (i == 0 && j == 0) continue;
      chain[i][j] = {i == 0 ? 1 : j == 0 ? 2 : (i + j) % 3 == 0 ? 1 : 0};
    }
  Path a, b;
  traceback(chain, 3, 3, a, true);
  traceback(chain, 3, 3, b, false);
  EXPECT_EQ(a, b);
  // The path accounts for every position of both sequences exactly once.
  std::vector<int> firsts, seconds;
  for (const auto& p : a) {
    if (p[0] >= 0) firsts.push_back(p[0]);
    if (p[1] >= 0) seconds.push_back(p[1]);
  }
  EXPECT_EQ(firsts, (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(seconds, (std::vector<int>{2, 1, 0}));
}

}  // namespace
