#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "geometry/edges.h"
#include "structure/bead.h"
#include "structure/file.h"

namespace {

Bead make_bead(char chain, int res, const char* atom, int serial, double x, double y, double z,
               double r) {
  Bead b;
  b.chain_id = chain;
  b.res_num = res;
  b.real_res_number = res;
  std::strcpy(b.res_name, "ALA");
  std::strcpy(b.atom_name, atom);
  b.serial = serial;
  b.x = x;
  b.y = y;
  b.z = z;
  b.radius = r;
  b.build_keys();
  return b;
}

std::set<std::pair<int, int>> index_pairs(const std::vector<Bead>& beads,
                                          const std::vector<Pair>& pairs) {
  std::set<std::pair<int, int>> s;
  for (const Pair& p : pairs) {
    int a = int(p.first - beads.data()), b = int(p.second - beads.data());
    s.insert({std::min(a, b), std::max(a, b)});
  }
  return s;
}

// Edges of all tetrahedra whose orthosphere no other ball reaches into:
// the regular triangulation's edges for points in general position.
bool brute_force_edges(const std::vector<Bead>& b, std::set<std::pair<int, int>>& out) {
  int n = int(b.size());
  auto lift = [&](int i) {
    return b[i].x * b[i].x + b[i].y * b[i].y + b[i].z * b[i].z - b[i].radius * b[i].radius;
  };
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j)
      for (int k = j + 1; k < n; ++k)
        for (int l = k + 1; l < n; ++l) {
          int v[4] = {i, j, k, l};
          // 2 c.p - K = lift(p): rows (2x, 2y, 2z, -1 | lift)
          double A[4][5];
          for (int r = 0; r < 4; ++r) {
            A[r][0] = 2 * b[v[r]].x;
            A[r][1] = 2 * b[v[r]].y;
            A[r][2] = 2 * b[v[r]].z;
            A[r][3] = -1;
            A[r][4] = lift(v[r]);
          }
          for (int c = 0; c < 4; ++c) {
            int piv = c;
            for (int r = c + 1; r < 4; ++r)
              if (std::fabs(A[r][c]) > std::fabs(A[piv][c])) piv = r;
            if (std::fabs(A[piv][c]) < 1e-9) return false;  // near-degenerate: skip the sample
            std::swap(A[c], A[piv]);
            for (int r = 0; r < 4; ++r)
              if (r != c) {
                double f = A[r][c] / A[c][c];
                for (int q = c; q < 5; ++q) A[r][q] -= f * A[c][q];
              }
          }
          double cx = A[0][4] / A[0][0], cy = A[1][4] / A[1][1], cz = A[2][4] / A[2][2],
                 K = A[3][4] / A[3][3];
          bool empty = true;
          for (int q = 0; q < n && empty; ++q) {
            if (q == i || q == j || q == k || q == l) continue;
            double margin = 2 * (cx * b[q].x + cy * b[q].y + cz * b[q].z) - K - lift(q);
            if (std::fabs(margin) < 1e-7) return false;
            empty = margin < 0;
          }
          if (empty)
            for (int a = 0; a < 4; ++a)
              for (int c = a + 1; c < 4; ++c) out.insert({v[a], v[c]});
        }
  return true;
}

}  // namespace

TEST(DelaunayEdges, SmallStructures) {
  std::vector<Bead> beads;
  std::vector<Pair> edges;
  collect_del_edges(beads, edges);
  EXPECT_TRUE(edges.empty());
  beads.push_back(make_bead('A', 1, "CA", 1, 0, 0, 0, 1.8));
  collect_del_edges(beads, edges);
  EXPECT_TRUE(edges.empty());
  beads.push_back(make_bead('A', 1, "CB", 2, 1.5, 0, 0, 1.8));
  collect_del_edges(beads, edges);
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_EQ(edges[0].alpha_level, 99);
  EXPECT_EQ(edges[0].first, &beads[0]);
  EXPECT_EQ(edges[0].second, &beads[1]);
  // appends without clearing
  collect_del_edges(beads, edges);
  EXPECT_EQ(edges.size(), 2u);
}

// The quick answer may only say yes where the triangulation has an edge;
// it says nothing for a lone bead, a single place, or absurd values.
TEST(DelaunayEdges, SureEdgeOnlyWhereTheTriangulationHasOne) {
  std::vector<Bead> beads;
  EXPECT_FALSE(surely_has_delaunay_edge(beads));
  beads.push_back(make_bead('A', 1, "CA", 1, 2, 3, 4, 1.8));
  EXPECT_FALSE(surely_has_delaunay_edge(beads));
  beads.push_back(make_bead('A', 1, "CB", 2, 2, 3, 4, 1.5));
  EXPECT_FALSE(surely_has_delaunay_edge(beads));  // one place: no edge
  beads.push_back(make_bead('A', 1, "CG", 3, 2, 3.1, 4, 0.2));
  EXPECT_TRUE(surely_has_delaunay_edge(beads));
  beads[2].y = NAN;
  EXPECT_FALSE(surely_has_delaunay_edge(beads));
  beads[2].y = 1e12;
  EXPECT_FALSE(surely_has_delaunay_edge(beads));

  // Clusters of tiny and huge balls hide most of them; spreads near the
  // threshold and nearly equal centres probe the edge of the rule.
  std::mt19937 g(29);
  std::uniform_real_distribution<double> U(0, 1), R(0.05, 30);
  int sure = 0;
  for (int trial = 0; trial < 400; ++trial) {
    double spread = trial % 4 == 0 ? 0.1 : trial % 4 == 1 ? 0.11 : trial % 4 == 2 ? 3.0 : 1e-3;
    std::vector<Bead> set;
    int n = 2 + trial % 7;
    for (int i = 0; i < n; ++i)
      set.push_back(make_bead('A', i, "CA", i, spread * U(g), spread * U(g) * (trial % 3 == 0),
                              spread * U(g) * (trial % 5 == 0), R(g)));
    std::vector<Pair> edges;
    collect_del_edges(set, edges);
    if (surely_has_delaunay_edge(set)) {
      ++sure;
      EXPECT_FALSE(edges.empty()) << "trial " << trial;
    }
  }
  EXPECT_GT(sure, 100);
}

TEST(DelaunayEdges, MatchBruteForceOnRandomBalls) {
  std::mt19937 g(17);
  std::uniform_real_distribution<double> U(-4, 4), R(0.5, 2.5);
  int compared = 0;
  for (int trial = 0; trial < 60; ++trial) {
    std::vector<Bead> beads;
    for (int i = 0; i < 13; ++i)
      beads.push_back(make_bead('A', i, "CA", i, U(g), U(g), U(g), R(g)));
    std::set<std::pair<int, int>> expect;
    if (!brute_force_edges(beads, expect)) continue;
    std::vector<Pair> edges;
    collect_del_edges(beads, edges);
    EXPECT_EQ(index_pairs(beads, edges), expect) << "trial " << trial;
    // ascending by smaller, then larger index
    for (std::size_t k = 1; k < edges.size(); ++k) {
      auto key = [&](const Pair& p) {
        int a = int(p.first - beads.data()), b = int(p.second - beads.data());
        return std::make_pair(std::min(a, b), std::max(a, b));
      };
      EXPECT_LT(key(edges[k - 1]), key(edges[k]));
    }
    ++compared;
  }
  EXPECT_GT(compared, 40);
}

// The insertion order changes every step of the construction but not the
// triangulation: shuffled atoms give the same edges as atom-key pairs.
TEST(DelaunayEdges, IndependentOfAtomOrderOnARealStructure) {
  std::vector<Bead> beads;
  read_pdb(std::string(DATA_DIR) + "/1ubq.pdb", beads);
  ASSERT_GT(beads.size(), 500u);
  auto keys = [](const std::vector<Pair>& edges) {
    std::set<std::pair<std::string, std::string>> s;
    for (const Pair& p : edges) s.insert({p.first->atom_key, p.second->atom_key});
    return s;
  };
  std::vector<Pair> edges;
  collect_del_edges(beads, edges);
  auto reference = keys(edges);
  EXPECT_EQ(reference.size(), edges.size());
  std::mt19937 g(3);
  for (int round = 0; round < 2; ++round) {
    std::vector<Bead> shuffled = beads;
    std::shuffle(shuffled.begin(), shuffled.end(), g);
    std::vector<Pair> e2;
    collect_del_edges(shuffled, e2);
    EXPECT_EQ(keys(e2), reference);
  }
}

TEST(Contacts, NearSequenceRule) {
  Bead cb10 = make_bead('A', 10, "CB", 1, 0, 0, 0, 1);
  Bead n11 = make_bead('A', 11, "N", 2, 0, 0, 0, 1);
  Bead n10 = make_bead('A', 10, "N", 3, 0, 0, 0, 1);
  Bead cb11 = make_bead('A', 11, "CB", 4, 0, 0, 0, 1);
  EXPECT_TRUE(near_sequence_filter(cb10, n11));
  EXPECT_TRUE(near_sequence_filter(n11, cb10));
  EXPECT_FALSE(near_sequence_filter(n10, cb11));
  EXPECT_FALSE(near_sequence_filter(cb11, n10));
  Bead n11b = make_bead('B', 11, "N", 5, 0, 0, 0, 1);
  EXPECT_FALSE(near_sequence_filter(cb10, n11b));
  Bead sc10 = make_bead('A', 10, "SC", 6, 0, 0, 0, 1);
  Bead og11 = make_bead('A', 11, "OG", 7, 0, 0, 0, 1);
  Bead og12 = make_bead('A', 12, "OG", 8, 0, 0, 0, 1);
  EXPECT_TRUE(near_sequence_filter(sc10, og11));
  EXPECT_TRUE(near_sequence_filter(og11, sc10));
  EXPECT_FALSE(near_sequence_filter(sc10, og12));
  Bead ca10 = make_bead('A', 10, "CA", 9, 0, 0, 0, 1);
  Bead o11 = make_bead('A', 11, "O", 10, 0, 0, 0, 1);
  EXPECT_TRUE(near_sequence_filter(ca10, o11));   // backbone neighbours
  EXPECT_TRUE(near_sequence_filter(ca10, cb10));  // same residue
  EXPECT_FALSE(near_sequence_filter(ca10, og11));
  Bead ca = make_bead('A', 10, "ca", 11, 0, 0, 0, 1);  // names compare with case
  EXPECT_FALSE(near_sequence_filter(ca, o11));
}

namespace {

// Three beads on a line: pairs (0,1) close, (1,2) close, (0,2) far.
struct Chain {
  std::vector<Bead> beads;
  std::vector<Pair> edges;
  Chain(char c0, char c1, char c2) {
    beads.push_back(make_bead(c0, 1, "CA", 1, 0, 0, 0, 1.5));
    beads.push_back(make_bead(c1, 5, "CA", 2, 3, 0, 0, 1.5));
    beads.push_back(make_bead(c2, 9, "CA", 3, 13, 0, 0, 1.5));
    edges.push_back(Pair(&beads[0], &beads[1], 99));
    edges.push_back(Pair(&beads[1], &beads[2], 99));
    edges.push_back(Pair(&beads[0], &beads[2], 99));
  }
};

}  // namespace

TEST(Contacts, LevelsPrintOnceAndCountingOnlyInTheFirstCollector) {
  Chain s('A', 'B', 'B');
  std::vector<Pair> out;
  std::ostringstream log;
  collect_contacts(s.edges, out, 5, log);
  EXPECT_EQ(log.str(), "2.25\n2.25\n2.25\n2.25\n2.25\n2.25\n");  // two lines per pair, kept or not
  EXPECT_EQ(s.edges[0].alpha_level, 0);                          // distance 3, radii 1.5: size 0
  EXPECT_EQ(s.edges[2].alpha_level, 6);                          // clamped
  EXPECT_DOUBLE_EQ(s.edges[0].edge_size, 0.0);
  EXPECT_DOUBLE_EQ(s.edges[1].edge_size, 0.25 * (100 - 9));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].alpha_level, 0);
  EXPECT_EQ(s.beads[0].n_contacts, 1);
  EXPECT_EQ(s.beads[1].n_contacts, 1);
  EXPECT_EQ(s.beads[2].n_contacts, 0);

  // the second collector derives nothing, prints nothing and does not count
  std::vector<Pair> inter;
  std::ostringstream none;
  collect_interface_contacts(s.edges, inter, 5, none);
  EXPECT_EQ(none.str(), "");
  ASSERT_EQ(inter.size(), 1u);
  EXPECT_EQ(s.beads[0].n_contacts, 1);

  // with cutoff 6 every pair is admitted by level
  std::vector<Pair> all;
  collect_alpha_edges(s.edges, all, 6, none);
  EXPECT_EQ(all.size(), 3u);
  std::vector<Pair> some;
  collect_alpha_edges(s.edges, some, 0, none);
  EXPECT_EQ(some.size(), 1u);
  EXPECT_EQ(all.size() + some.size(), 4u);
}

TEST(Contacts, InterfaceAndSurfaceCollectorsCountBeforeTheirLastTest) {
  {
    Chain s('A', 'A', 'A');  // one chain: nothing appended, admitted pairs counted
    std::vector<Pair> out;
    std::ostringstream log;
    collect_interface_contacts(s.edges, out, 5, log);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(s.beads[0].n_contacts, 1);
    EXPECT_EQ(s.beads[1].n_contacts, 1);
  }
  {
    Chain s('A', 'A', 'A');
    s.beads[0].on_surf = true;
    s.beads[2].on_surf = true;
    std::vector<Pair> out;
    std::ostringstream log;
    collect_surface_contacts(s.edges, out, 6, log);
    ASSERT_EQ(out.size(), 1u);  // only the pair of two surface atoms
    EXPECT_EQ(out[0].first, &s.beads[0]);
    EXPECT_EQ(out[0].second, &s.beads[2]);
    EXPECT_EQ(s.beads[1].n_contacts, 2);  // counted although not a surface atom
  }
  {
    Chain s('A', 'B', 'C');
    s.beads[0].group_id = 'G';  // groups decide when the first bead has one
    s.beads[1].group_id = 'G';
    s.beads[2].group_id = 'H';
    std::vector<Pair> out;
    std::ostringstream log;
    collect_interface_contacts(s.edges, out, 6, log);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].second, &s.beads[2]);
  }
  {
    std::vector<Pair> none, out;
    std::ostringstream log;
    collect_contacts(none, out, 5, log);
    collect_surface_contacts(none, out, 5, log);
    EXPECT_TRUE(out.empty());
  }
}

TEST(Contacts, RealBoundOnTheEdgeSize) {
  Chain s('A', 'B', 'C');
  std::vector<Pair> out;
  double size01 = 0.0, size12 = 0.25 * (100 - 9);
  collect_contacts(s.edges, out, size12);
  ASSERT_EQ(out.size(), 2u);  // exactly at the bound
  EXPECT_EQ(s.edges[0].alpha_level, 99);
  EXPECT_DOUBLE_EQ(out[0].edge_size, size01);
  std::vector<Pair> out2;
  collect_contacts(s.edges, out2, size12 - 2e-7);
  EXPECT_EQ(out2.size(), 1u);
  std::vector<Pair> out3;
  collect_contacts(s.edges, out3, size12 - 0.5e-7);
  EXPECT_EQ(out3.size(), 2u);
}
