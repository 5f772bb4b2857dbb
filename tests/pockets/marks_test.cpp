// Pocket numbering (the exchange sort and its ties) and the pocket marks on
// tetrahedra, edges, triangles and atoms.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "pockets/marks.h"
#include "support/hand_complex.h"

namespace {

std::vector<pocket> pockets_of_sizes(const std::vector<int>& sizes, std::vector<tetra>& pool) {
  std::vector<pocket> out;
  size_t next = 0;
  for (int n : sizes) {
    pocket p;
    for (int k = 0; k < n; ++k) p.tetrahedra.push_back(&pool[next++]);
    out.push_back(p);
  }
  return out;
}

std::vector<int> numbers(std::vector<pocket>& pockets) {
  number_pockets(pockets);
  std::vector<int> out;
  for (const pocket& p : pockets) out.push_back(p.number);
  return out;
}

TEST(PocketNumbering, FollowsTheExchangeSequenceOnTies) {
  std::vector<tetra> pool(64);
  auto run = [&](std::vector<int> sizes) {
    std::vector<pocket> p = pockets_of_sizes(sizes, pool);
    return numbers(p);
  };
  EXPECT_EQ(run({2, 2, 1}), (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(run({3, 2, 2}), (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(run({1, 2, 3}), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(run({}), std::vector<int>{});
  EXPECT_EQ(run({1, 1, 1, 1, 1}), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(run({2, 1, 1, 1}), (std::vector<int>{4, 1, 2, 3}));
  EXPECT_EQ(run({2, 2, 1, 1}), (std::vector<int>{3, 4, 1, 2}));
}

std::shared_ptr<subpocket> sub_of(std::vector<tetra*> t) {
  auto s = std::make_shared<subpocket>();
  s->tetrahedra = std::move(t);
  return s;
}

// Cells 0 | 1 | 2 in a row, cell 3 apart; pockets: A = {0, 1} (two
// sub-pockets), B = {3}, C = {2}.  Cells 1 and 2 share atoms 1, 2, 4.
struct Marked : ::testing::Test {
  HandComplex c{9, {{0, 1, 2, 3}, {1, 2, 3, 4}, {1, 2, 4, 5}, {6, 7, 8, 5}}};
  std::vector<pocket> pockets;

  void SetUp() override {
    pocket a, b, cc;
    a.tetrahedra = {&c.tetras[0], &c.tetras[1]};
    a.subpockets = {sub_of({&c.tetras[1]}), sub_of({&c.tetras[0]})};
    b.tetrahedra = {&c.tetras[3]};
    b.subpockets = {sub_of({&c.tetras[3]})};
    cc.tetrahedra = {&c.tetras[2]};
    cc.subpockets = {sub_of({&c.tetras[2]})};
    pockets = {a, b, cc};
    pocketspocindex(c.atoms, pockets);
  }
};

TEST_F(Marked, NumbersAndSubpocketIndicesReachEverySimplex) {
  // Sizes 2, 1, 1 -> numbers 3, 1, 2.
  EXPECT_EQ(pockets[0].number, 3);
  EXPECT_EQ(pockets[1].number, 1);
  EXPECT_EQ(pockets[2].number, 2);
  EXPECT_EQ(c.tetras[0].pocket_number, 3);
  EXPECT_EQ(c.tetras[1].subpocket_index, 0);
  EXPECT_EQ(c.tetras[0].subpocket_index, 1);
  EXPECT_EQ(c.tetras[3].pocket_number, 1);
  EXPECT_EQ(pockets[0].subpockets[1]->index, 1);
  EXPECT_EQ(pockets[0].subpockets[1]->number, 3);

  // The face shared by cells 0 and 1 carries pocket 3 once, with both
  // sub-pockets; the face shared by cells 1 and 2 lists 3 then 2.
  tria* f01 = c.face(1, 2, 3);
  EXPECT_EQ(f01->pocket_numbers, std::vector<int>{3});
  ASSERT_EQ(f01->sub_ids.size(), 1u);
  EXPECT_EQ(f01->sub_ids[0].subpockets, (std::vector<int>{0, 1}));
  tria* f12 = c.face(1, 2, 4);
  EXPECT_EQ(f12->pocket_numbers, (std::vector<int>{3, 2}));

  // Entries follow the pockets' list positions, not their numbers: atom 1
  // lies in A (position 0, number 3) and C (position 2, number 2).
  info& a5 = c.atoms[5];
  EXPECT_TRUE(a5.marks[MARK_POCKET]);
  EXPECT_EQ(a5.pocket_numbers, (std::vector<int>{1, 2}));
  EXPECT_EQ(c.atoms[1].pocket_numbers, (std::vector<int>{3, 2}));
  EXPECT_EQ(c.edge_of(1, 2)->pocket_numbers, (std::vector<int>{3, 2}));
  EXPECT_EQ(c.edge_of(6, 7)->pocket_numbers, std::vector<int>{1});
}

TEST_F(Marked, SubIdsRunParallelToPocketNumbersWithAscendingIndices) {
  auto check = [](const std::vector<int>& numbers, const std::vector<sub_id>& ids) {
    ASSERT_EQ(numbers.size(), ids.size());
    for (size_t k = 0; k < ids.size(); ++k) {
      EXPECT_EQ(ids[k].pocket, numbers[k]);
      EXPECT_FALSE(ids[k].subpockets.empty());
      EXPECT_TRUE(std::is_sorted(ids[k].subpockets.begin(), ids[k].subpockets.end()));
      EXPECT_EQ(std::adjacent_find(ids[k].subpockets.begin(), ids[k].subpockets.end()),
                ids[k].subpockets.end());
    }
  };
  for (const info& a : c.atoms) check(a.pocket_numbers, a.sub_ids);
  for (const tria& t : c.trias) check(t.pocket_numbers, t.sub_ids);
  // Atom 3 touches cell 0 (sub-pocket 1) and cell 1 (sub-pocket 0) of A.
  ASSERT_EQ(c.atoms[3].sub_ids.size(), 1u);
  EXPECT_EQ(c.atoms[3].sub_ids[0].subpockets, (std::vector<int>{0, 1}));
  // Atom 0 only touches cell 0.
  EXPECT_EQ(c.atoms[0].sub_ids[0].subpockets, std::vector<int>{1});
}

TEST(PocketNumbering, EmptyListMarksNothing) {
  HandComplex c(4, {{0, 1, 2, 3}});
  std::vector<pocket> none;
  pocketspocindex(c.atoms, none);
  pockets_burried_atoms(c.atoms, none);
  for (const info& a : c.atoms) {
    EXPECT_FALSE(a.marks[MARK_POCKET]);
    EXPECT_TRUE(a.pocket_numbers.empty());
  }
}

TEST(PocketNumbering, ReducedMarkingListsNumbersOnAtomsOnly) {
  HandComplex c(5, {{0, 1, 2, 3}, {1, 2, 3, 4}});
  std::vector<pocket> pockets(2);
  pockets[0].tetrahedra = {&c.tetras[0]};
  pockets[1].tetrahedra = {&c.tetras[1]};
  pocketspocindexspec(c.atoms, pockets);
  EXPECT_EQ(c.atoms[1].spec_pocket_numbers, (std::vector<int>{1, 2}));
  EXPECT_TRUE(c.atoms[1].pocket_numbers.empty());
  EXPECT_TRUE(c.atoms[4].marks[MARK_POCKET]);
  EXPECT_EQ(c.tetras[0].pocket_number, 0);
}

// Atom 0 joined by edges to atoms 1, 2, 3 (in that order); no tetrahedra.
struct Buried : ::testing::Test {
  std::vector<info> atoms = std::vector<info>(4);
  std::vector<edge> edges = std::vector<edge>(3);
  std::vector<pocket> pockets = std::vector<pocket>(6);

  void SetUp() override {
    for (int i = 0; i < 4; ++i) atoms[i].index = i;
    for (int k = 0; k < 3; ++k) {
      edges[k].v[0] = &atoms[0];
      edges[k].v[1] = &atoms[k + 1];
      atoms[0].incident_edges.push_back(&edges[k]);
      atoms[k + 1].incident_edges.push_back(&edges[k]);
    }
    for (size_t i = 0; i < pockets.size(); ++i) pockets[i].number = static_cast<int>(i) + 1;
  }
};

TEST_F(Buried, SingleEdgeToAPocketAtomJoinsAllItsPockets) {
  atoms[0].incident_edges.resize(1);
  atoms[1].marks[MARK_POCKET] = true;
  atoms[1].pocket_numbers = {2, 5};
  tetra around;
  atoms[0].all_tetras = {&around};
  atoms[0].complex_tetras = {&around};
  pockets_burried_atoms(atoms, pockets);
  EXPECT_EQ(pockets[1].buried_atoms, std::vector<info*>{&atoms[0]});
  EXPECT_EQ(pockets[4].buried_atoms, std::vector<info*>{&atoms[0]});
  EXPECT_TRUE(pockets[0].buried_atoms.empty());
  EXPECT_FALSE(around.buried);
}

TEST_F(Buried, SeveralEdgesKeepThePocketsCommonToTheirEnds) {
  for (int k = 1; k <= 3; ++k) atoms[k].marks[MARK_POCKET] = true;
  edges[0].pocket_numbers = {3, 4};  // first edge of atom 1
  atoms[3].pocket_numbers = {4, 6};
  tetra around;
  atoms[0].all_tetras = {&around};
  atoms[0].complex_tetras = {&around};
  pockets_burried_atoms(atoms, pockets);
  EXPECT_EQ(pockets[3].buried_atoms, std::vector<info*>{&atoms[0]});
  EXPECT_TRUE(pockets[2].buried_atoms.empty());
  EXPECT_TRUE(around.buried);
}

TEST_F(Buried, PocketAtomsAndAtomsBesideEmptySpaceAreNeverBuried) {
  for (int k = 1; k <= 3; ++k) {
    atoms[k].marks[MARK_POCKET] = true;
    atoms[k].pocket_numbers = {2};
  }
  edges[0].pocket_numbers = {2};
  tetra in, out;
  atoms[0].all_tetras = {&in, &out};
  atoms[0].complex_tetras = {&in};
  pockets_burried_atoms(atoms, pockets);
  EXPECT_TRUE(pockets[1].buried_atoms.empty());
  atoms[0].all_tetras = {&in};
  atoms[0].marks[MARK_POCKET] = true;
  pockets_burried_atoms(atoms, pockets);
  EXPECT_TRUE(pockets[1].buried_atoms.empty());
}

}  // namespace
