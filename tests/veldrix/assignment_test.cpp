#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <valarray>

#include "veldrix/lps.h"

using orbmat::matrix;

namespace {

// The assignment written the plain way, on full N x N matrices with the
// public graph and sweep routines.  HungarianMethod must agree exactly.
bool dense_assignment(matrix<int>& pairs, matrix<double> A, matrix<double> B, double lambda,
                      matrix<double> W) {
  const int nA = pairs.rowno(), nB = pairs.colno(), N = nA + nB + 2;
  matrix<int> capacity(N, N, 0);
  matrix<double> cost(N, N, 0.0);
  double total = 0;
  createGraph(A, B, capacity, cost, lambda, W);
  for (;;) {
    std::valarray<int> pred;
    std::valarray<double> dist =
        Dijkstra(matrix<double>(pairs), matrix<double>(capacity), cost, pred);
    if (dist[1] - lambda > total) break;
    for (int u = 0; u < N; ++u)
      for (int v = 0; v < N; ++v)
        if (capacity(u, v) != 0) cost(u, v) += dist[u] - dist[v];
    for (int u = 1, v = pred[1];; u = v, v = pred[v]) {
      if (v < 0) return false;
      capacity(v, u) = 0;
      capacity(u, v) = 1;
      cost(u, v) = cost(v, u);
      cost(v, u) = 0;
      if (v == 0) break;
    }
    total -= dist[1] - lambda;
  }
  matrix<int> block(1, 1);
  block = capacity[orbmat::mslice(nA + 2, 2, nB, nA)];
  pairs = ~block;
  return true;
}

matrix<double> points(std::initializer_list<double> v) {
  return matrix<double>(v.size() / 3, 3, std::valarray<double>(v));
}

}  // namespace

TEST(Assignment, SmallCases) {
  matrix<double> W(2, 1, 1.0);
  matrix<int> pairs(1, 1, 0);
  HungarianMethod(pairs, points({0, 0, 0}), points({0.5, 0, 0}), 2.0, W);
  EXPECT_EQ(pairs(0, 0), 1);

  matrix<int> cap(4, 4, 0);
  matrix<double> cost(4, 4, 0.0);
  createGraph(points({0, 0, 0}), points({0.5, 0, 0}), cap, cost, 2.0, W);
  EXPECT_EQ(cost(2, 3), -3.5);  // d - lambda - lambda W
  EXPECT_EQ(cap(0, 2) + cap(2, 3) + cap(3, 1), cap.sum());

  // The threshold is strict, and old contents do not survive.
  HungarianMethod(pairs, points({0, 0, 0}), points({2, 0, 0}), 2.0, W);
  EXPECT_EQ(pairs(0, 0), 0);

  // Equal candidates: the lower-indexed A atom reaches the B atom first.
  matrix<int> two(2, 1, 0);
  HungarianMethod(two, points({1, 0, 0, -1, 0, 0}), points({0, 0, 0}), 3.0, W);
  ASSERT_EQ(two.rowno(), 2u);
  EXPECT_EQ(two(0, 0), 1);
  EXPECT_EQ(two(1, 0), 0);
}

TEST(Assignment, SweepRelaxesEachNodeOnceInIndexOrder) {
  // Node 2 improves through node 3 only after its own turn, so the sink
  // keeps what node 2 offered first.
  matrix<double> cap(4, 4, 0.0), cost(4, 4, 0.0);
  cap(0, 3) = 1, cost(0, 3) = 5;
  cap(0, 2) = 1, cost(0, 2) = 1;
  cap(3, 2) = 1, cost(3, 2) = -10;
  cap(2, 1) = 1;
  std::valarray<int> pred;
  std::valarray<double> dist = Dijkstra(matrix<double>(1, 1, 0.0), cap, cost, pred);
  EXPECT_EQ(dist[2], -5.0);
  EXPECT_EQ(pred[2], 3);
  EXPECT_EQ(dist[1], 1.0);
  EXPECT_EQ(leastNode(std::valarray<double>{3, 2, 2}, std::valarray<int>{1, 1, 1}), 2);
  EXPECT_FALSE(pathExists(std::valarray<double>{0, kUnreached}, 1));
}

TEST(Assignment, MatchesTheDenseFormulationOnRandomPockets) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(0, 1), wd(0, 16);
  const double lambdas[] = {21, 7, 2.8, 1.54, 1.0486};
  int paired = 0;
  for (int trial = 0; trial < 120; ++trial) {
    const int nA = 1 + trial % 17, nB = 1 + (trial * 7) % 13;
    const double span = 2.0 + trial % 9, lambda = lambdas[trial % 5];
    matrix<double> A(nA, 3, 0.0), B(nB, 3, 0.0), W(nA, nB, 0.0);
    // Every other trial puts the atoms on a small integer grid, where
    // equal distances and equal path costs abound.
    const bool grid = trial % 2 == 1;
    auto coord = [&] { return grid ? std::floor(4 * u(gen)) : span * u(gen); };
    for (int i = 0; i < nA * 3; ++i) A(i / 3, i % 3) = coord();
    for (int i = 0; i < nB * 3; ++i) B(i / 3, i % 3) = coord();
    for (int i = 0; i < nA * nB; ++i)
      W(i / nB, i % nB) = trial % 3 ? std::floor(wd(gen)) * 0.5 : 1.0;

    matrix<int> fast(nA, nB, 0), slow(nA, nB, 0);
    HungarianMethod(fast, A, B, lambda, W);
    ASSERT_TRUE(dense_assignment(slow, A, B, lambda, W));
    std::valarray<int> rowUse(0, nA), colUse(0, nB);
    for (int i = 0; i < nA; ++i)
      for (int j = 0; j < nB; ++j) {
        ASSERT_EQ(fast(i, j), slow(i, j)) << "trial " << trial;
        if (!fast(i, j)) continue;
        ++rowUse[i], ++colUse[j];
        EXPECT_LT(std::hypot(std::hypot(A(i, 0) - B(j, 0), A(i, 1) - B(j, 1)), A(i, 2) - B(j, 2)),
                  lambda);
      }
    EXPECT_LE(rowUse.max(), 1);
    EXPECT_LE(colUse.max(), 1);
    paired += fast.sum();
  }
  EXPECT_GT(paired, 100);  // the instances are not trivially empty
}
