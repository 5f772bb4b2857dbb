#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <type_traits>
#include <vector>

#include "geometry/d3dw.h"
#include "support/triangulation_validator.h"

namespace {

struct WPoint {
  double x, y, z, w;
};

void insert_all(CD3DW& t, const std::vector<WPoint>& pts) {
  for (std::size_t i = 0; i < pts.size(); ++i)
    t.add(pts[i].x, pts[i].y, pts[i].z, pts[i].w, int(i), nullptr);
}

// glibc's additive feedback generator as documented, independent of the C library.
std::vector<int> glibc_rand_after_srandom1(int count) {
  std::vector<std::int64_t> r(344 + count);
  r[0] = 1;
  for (int i = 1; i < 31; ++i) {
    r[i] = (16807 * r[i - 1]) % 2147483647;
    if (r[i] < 0) r[i] += 2147483647;
  }
  for (int i = 31; i < 34; ++i) r[i] = r[i - 31];
  for (int i = 34; i < 344 + count; ++i) r[i] = std::uint32_t(r[i - 31] + r[i - 3]);
  std::vector<int> out;
  for (int i = 344; i < 344 + count; ++i) out.push_back(int(std::uint32_t(r[i]) >> 1));
  return out;
}

}  // namespace

static_assert(!std::is_copy_constructible<CD3DW>::value && !std::is_copy_assignable<CD3DW>::value,
              "a triangulation owns its records and must not be copied");

TEST(SeededOrder, ReproducesTheCLibraryShuffle) {
  std::vector<int> r = glibc_rand_after_srandom1(1000);
  EXPECT_EQ(r[0], 1804289383);
  EXPECT_EQ(r[1], 846930886);
  EXPECT_EQ(r[2], 1681692777);
  for (int n : {0, 1, 2, 7, 1000}) {
    std::vector<int> expect(n);
    for (int i = 0; i < n; ++i) expect[i] = i;
    int k = 0;
    for (int i = n - 1; i >= 1; --i) std::swap(expect[i], expect[r[k++] % (i + 1)]);
    EXPECT_EQ(seeded_insertion_order(n), expect) << n;
  }
  EXPECT_EQ(seeded_insertion_order(2),
            (std::vector<int>{0, 1}));  // 1804289383 % 2 == 1: no exchange
}

TEST(Triangulation, FreshAndFirstPoints) {
  CD3DW t(1e19);
  EXPECT_EQ(t.triangles().size(), 4u);
  EXPECT_EQ(t.cells.size(), 1u);
  EXPECT_TRUE(t.points.empty());
  for (CD3DTriangle* tr : t.triangles())
    for (CD3DEdge& e : tr->rec) EXPECT_TRUE(e.dead());
  std::vector<CD3DEdge*> out(3, nullptr);
  t.list_edges(&out);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(validate_triangulation(t, true), "");

  t.add(1, 2, 3, 1, 0, nullptr);
  EXPECT_EQ(t.cells.size(), 5u);
  EXPECT_EQ(t.triangles().size(), 10u);
  EXPECT_EQ(t.stats.flips23 + t.stats.flips32 + t.stats.left_out, 0u);  // the four bounding faces stay
  EXPECT_FALSE(t.cells[0]->live());  // the bounding cell was replaced and set free
  t.list_edges(&out);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(validate_triangulation(t, true), "");

  t.add(4, 2, 3, 1, 1, nullptr);
  t.list_edges(&out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0]->origin()->id, 0);
  EXPECT_EQ(out[0]->destination()->id, 1);
  EXPECT_EQ(out[1]->origin()->id, 1);
  EXPECT_EQ(out[1]->destination()->id, 0);
}

TEST(Triangulation, DuplicateRedundantAndUnplaceablePointsStayOut) {
  CD3DW t(1e19);
  std::vector<WPoint> base = {{0, 0, 0, 1}, {3, 0, 0, 1}, {0, 3, 0, 1}, {0, 0, 3, 1}, {3, 3, 3, 1}};
  insert_all(t, base);
  std::uint64_t out = t.stats.left_out;
  t.add(3, 0, 0, 100, 10, nullptr);  // same position, any weight: the first wins
  EXPECT_EQ(t.stats.left_out, out + 1);
  t.add(0.1, 0.1, 0.1, 0.0001, 11, nullptr);  // deep inside the ball of point 0
  EXPECT_EQ(t.stats.left_out, out + 2);
  t.add(std::nan(""), 0, 0, 1, 12, nullptr);
  t.add(0, std::numeric_limits<double>::infinity(), 0, 1, 13, nullptr);
  t.add(0, 0, 0.5, std::nan(""), 14, nullptr);
  EXPECT_EQ(t.stats.left_out, out + 5);
  EXPECT_EQ(t.points.size(), 10u);

  // beyond the bounding tetrahedron: reported and left out
  testing::internal::CaptureStderr();
  t.add(0, 0, 2e19, 0, 15, nullptr);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "coordinates too large!");
  EXPECT_EQ(t.stats.left_out, out + 6);

  // inside the band of the warning but inside the tetrahedron: reported and inserted
  testing::internal::CaptureStderr();
  t.add(2e16, 0, 0, 0, 16, nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "coordinates too large!");
  EXPECT_EQ(t.stats.left_out, out + 6);

  EXPECT_EQ(validate_triangulation(t, true), "");
  std::vector<CD3DEdge*> edges;
  t.list_edges(&edges);
  bool touches_16 = false;
  for (CD3DEdge* e : edges) {
    EXPECT_LT(e->origin()->id, 17);
    EXPECT_TRUE(e->origin()->id <= 4 || e->origin()->id == 16) << e->origin()->id;
    touches_16 |= e->origin()->id == 16;
  }
  EXPECT_TRUE(touches_16);
}

TEST(Triangulation, ListedEdgesAreSortedSymmetricAndUnique) {
  std::mt19937 g(5);
  std::uniform_real_distribution<double> U(-20, 20), W(1, 4);
  std::vector<WPoint> pts;
  for (int i = 0; i < 400; ++i) pts.push_back({U(g), U(g), U(g), W(g)});
  CD3DW t(1e19);
  insert_all(t, pts);
  std::vector<CD3DEdge*> out;
  t.list_edges(&out);
  TriangulationCounts counts;
  ASSERT_EQ(validate_triangulation(t, false, &counts), "");
  std::size_t pairs = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    ASSERT_FALSE(out[i]->dead());
    if (i > 0) {
      auto a = std::make_pair(out[i - 1]->origin()->id, out[i - 1]->destination()->id);
      auto b = std::make_pair(out[i]->origin()->id, out[i]->destination()->id);
      ASSERT_LT(a, b);
    }
    pairs += out[i]->origin()->id < out[i]->destination()->id;
  }
  EXPECT_EQ(out.size(), 2 * pairs);
  EXPECT_GT(pairs, 400u * 4);
  EXPECT_LT(pairs, std::size_t(counts.edges));

  // the same records as a plain stable sort of all records followed by
  // the compaction that keeps the first record of each directed edge
  std::vector<CD3DEdge*> naive;
  for (CD3DTriangle* tr : t.triangles())
    for (CD3DEdge& e : tr->rec) naive.push_back(&e);
  std::stable_sort(naive.begin(), naive.end(), [](CD3DEdge* a, CD3DEdge* b) {
    if (a->origin()->id != b->origin()->id) return a->origin()->id < b->origin()->id;
    return a->destination()->id < b->destination()->id;
  });
  std::vector<CD3DEdge*> kept;
  for (CD3DEdge* e : naive) {
    if (e->dead() || e->origin()->id < 0 || e->destination()->id < 0) continue;
    if (!kept.empty() && kept.back()->origin() == e->origin() &&
        kept.back()->destination() == e->destination())
      continue;
    kept.push_back(e);
  }
  EXPECT_EQ(out, kept);
  std::vector<CD3DEdge*> again(5, nullptr);  // a non-empty vector is replaced
  t.list_edges(&again);
  EXPECT_EQ(again, out);
}

// Random weighted points, widely varying weights (4-1 flips, redundant
// points), lattices (degenerate) and repeated positions, checked by brute
// force against every orthosphere.
TEST(Triangulation, RegularOnRandomDegenerateAndRedundantInput) {
  std::mt19937 g(9);
  std::uniform_real_distribution<double> U(-3, 3);
  std::uniform_int_distribution<int> L(0, 3);
  std::uint64_t removed = 0, flips32 = 0;
  for (int trial = 0; trial < 120; ++trial) {
    std::vector<WPoint> pts;
    int n = 10 + trial % 50;
    for (int i = 0; i < n; ++i) {
      switch (trial % 4) {
        case 0:
          pts.push_back({U(g), U(g), U(g), std::fabs(U(g))});
          break;
        case 1:
          pts.push_back({U(g), U(g), U(g), std::pow(10.0, U(g))});
          break;
        case 2:
          pts.push_back({double(L(g)), double(L(g)), double(L(g)), double(L(g) % 2)});
          break;
        default: {
          if (i > 3 && L(g) == 0) {
            WPoint p = pts[g() % pts.size()];
            p.w = std::fabs(U(g));
            pts.push_back(p);
          } else {
            pts.push_back({double(L(g)), double(L(g)), U(g), std::fabs(U(g))});
          }
        }
      }
    }
    CD3DW t(1e19);
    insert_all(t, pts);
    ASSERT_EQ(validate_triangulation(t, true), "") << "trial " << trial;
    removed += t.stats.left_out;
    flips32 += t.stats.flips32;
    TriangulationCounts c;
    validate_triangulation(t, false, &c);
    // every point that is not a vertex was counted once as left out or removed
    EXPECT_EQ(t.points.size() - std::size_t(c.vertices - 4), t.stats.left_out);
  }
  EXPECT_GT(removed, 0u);
  EXPECT_GT(flips32, 0u);
}

// A 4-1 flip leaves a new cell (x, y, d, p) whose face (x, y, d) was only
// regular against the removed cell; this input makes it non-regular against
// the new one, so the face must be tested again.
TEST(Triangulation, FaceLeftByFourToOneFlipIsRetested) {
  std::vector<WPoint> pts = {
      {4, 8, 4, 22}, {5, 6, 9, 14}, {1, 4, 6, 20}, {2, 6, 5, 11}, {1, 6, 5, 28}};
  CD3DW t(1e19);
  insert_all(t, pts);
  EXPECT_GT(t.stats.left_out, 0u);  // a vertex was removed
  EXPECT_EQ(validate_triangulation(t, true), "");
}

// The location walk and the history DAG must find the same cell, so the
// triangulation does not depend on how far apart consecutive points are.
TEST(Triangulation, ClusteredAndSpreadInputGiveValidTriangulations) {
  std::mt19937 g(21);
  std::normal_distribution<double> N(0, 1);
  std::vector<WPoint> pts;
  for (int c = 0; c < 30; ++c) {
    double cx = 1000 * N(g), cy = 1000 * N(g), cz = 1e-3 * N(g);  // flat, far-apart clusters
    for (int i = 0; i < 40; ++i) pts.push_back({cx + N(g), cy + N(g), cz + N(g), 1 + 0.1 * N(g)});
  }
  CD3DW t(1e19);
  insert_all(t, pts);
  EXPECT_EQ(validate_triangulation(t, false), "");
}
