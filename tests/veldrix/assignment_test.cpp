#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <valarray>
#include <vector>

#include "veldrix/lps.h"

using orbmat::matrix;

namespace {

// The assignment written the plain way, on full N x N matrices with the
// public graph and sweep routines.  HungarianMethod must agree exactly.  A
// walk back from the sink that breaks off (no predecessor, a missing edge,
// a circle) ends the assignment.
void dense_assignment(matrix<int>& pairs, matrix<double> A, matrix<double> B, double lambda,
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
    std::vector<int> path{1};
    while (path.back() != 0 && static_cast<int>(path.size()) <= N) {
      const int v = pred[path.back()];
      if (v < 0 || capacity(v, path.back()) == 0) break;
      path.push_back(v);
    }
    if (path.back() != 0) break;
    for (std::size_t k = 0; k + 1 < path.size(); ++k) {
      const int u = path[k], v = path[k + 1];
      capacity(v, u) = 0;
      capacity(u, v) = 1;
      cost(u, v) = cost(v, u);
      cost(v, u) = 0;
    }
    total -= dist[1] - lambda;
  }
  matrix<int> block(1, 1);
  block = capacity[orbmat::mslice(nA + 2, 2, nB, nA)];
  pairs = ~block;
}

// The assignment judged over every pairing of atoms closer than lambda.
// Each augmenting path of the sweep joins a free A atom to a free B atom, so
// pairs come cheapest first (ties: lower B index, then lower A index), and
// as every such pair costs less than nothing, the stop rule lets them come
// until no free pair is left.  The result is thus the one pairing in which
// every close pair left out shares an atom with a chosen pair ranked before
// it.  Returns how many pairings qualify and leaves the last one in match
// (match[i] = B atom of A atom i, or -1).
int qualifying_pairings(const matrix<double>& A, const matrix<double>& B, double lambda,
                        const matrix<double>& W, std::vector<int>& match) {
  const int nA = A.rowno(), nB = B.rowno();
  std::vector<double> cost(nA * nB);
  std::vector<bool> close(nA * nB);
  for (int i = 0; i < nA; ++i)
    for (int j = 0; j < nB; ++j) {
      const double d =
          std::hypot(std::hypot(A(i, 0) - B(j, 0), A(i, 1) - B(j, 1)), A(i, 2) - B(j, 2));
      close[i * nB + j] = d < lambda;
      cost[i * nB + j] = d - lambda - lambda * W(i, j);
    }
  auto before = [&](int i, int j, int k, int l) {
    const double a = cost[i * nB + j], b = cost[k * nB + l];
    return a < b || (a == b && (j < l || (j == l && i < k)));
  };
  std::vector<int> m(nA, -1);
  std::vector<bool> taken(nB, false);
  int found = 0;
  std::function<void(int)> walk = [&](int i) {
    if (i < nA) {
      walk(i + 1);
      for (int j = 0; j < nB; ++j)
        if (close[i * nB + j] && !taken[j]) {
          m[i] = j, taken[j] = true;
          walk(i + 1);
          m[i] = -1, taken[j] = false;
        }
      return;
    }
    for (int k = 0; k < nA; ++k)
      for (int l = 0; l < nB; ++l) {
        if (!close[k * nB + l] || m[k] == l) continue;
        bool blocked = m[k] >= 0 && before(k, m[k], k, l);
        for (int r = 0; r < nA && !blocked; ++r) blocked = m[r] == l && before(r, l, k, l);
        if (!blocked) return;
      }
    ++found;
    match = m;
  };
  walk(0);
  return found;
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

TEST(Assignment, MatchesTheDenseFormulationAndABruteForceOnRandomPockets) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(0, 1), wd(0, 16);
  const double lambdas[] = {21, 7, 2.8, 1.54, 1.0486};
  int paired = 0, judged = 0;
  for (int trial = 0; trial < 160; ++trial) {
    // The last trials are larger, with the B atoms crowded into one corner
    // and weights of every size from 1 to 1e11 (1e12 in a few): many edges
    // into each B atom, and sweeps whose paths run through paired atoms or
    // break off.
    const bool crowded = trial >= 120;
    const int nA = crowded ? 6 + trial % 29 : 1 + trial % 17;
    const int nB = crowded ? 12 + (trial * 7) % 31 : 1 + (trial * 7) % 13;
    const double span = 2.0 + trial % 9,
                 lambda = crowded ? lambdas[1 + trial % 2] : lambdas[trial % 5];
    matrix<double> A(nA, 3, 0.0), B(nB, 3, 0.0), W(nA, nB, 0.0);
    // Every other trial puts the atoms on a small integer grid, where
    // equal distances and equal path costs abound.
    const bool grid = !crowded && trial % 2 == 1;
    auto coord = [&] { return grid ? std::floor(4 * u(gen)) : span * u(gen); };
    for (int i = 0; i < nA * 3; ++i) A(i / 3, i % 3) = coord();
    for (int i = 0; i < nB * 3; ++i) B(i / 3, i % 3) = crowded ? 0.2 * coord() : coord();
    for (int i = 0; i < nA * nB; ++i)
      W(i / nB, i % nB) = crowded     ? std::pow(10.0, std::floor((trial % 8 ? 12 : 13) * u(gen)))
                          : trial % 3 ? std::floor(wd(gen)) * 0.5
                                      : 1.0;

    matrix<int> fast(nA, nB, 0), slow(nA, nB, 0);
    HungarianMethod(fast, A, B, lambda, W);
    dense_assignment(slow, A, B, lambda, W);
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

    if (nA > 6 || nB > 6) continue;
    std::vector<int> match;
    ASSERT_EQ(qualifying_pairings(A, B, lambda, W, match), 1) << "trial " << trial;
    for (int i = 0; i < nA; ++i)
      for (int j = 0; j < nB; ++j) ASSERT_EQ(fast(i, j), match[i] == j) << "trial " << trial;
    ++judged;
  }
  EXPECT_GT(paired, 100);  // the instances are not trivially empty
  EXPECT_GT(judged, 10);
}
