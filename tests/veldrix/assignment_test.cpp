#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <valarray>

#include "veldrix/lps.h"
#include "veldrix/orbmat.h"

using orbmat::matrix;
using orbmat::mslice;

namespace {

// The assignment written the plain way: full N x N matrices, the public
// graph and sweep routines, and the pair read-out through a sub-block.
// HungarianMethod must give exactly the same pairs.
bool dense_assignment(matrix<int>& pairs, matrix<double> A, matrix<double> B, double lambda, matrix<double> W)
{
    const int nA = pairs.rowno(), nB = pairs.colno(), N = nA + nB + 2;
    matrix<int> capacity(N, N, 0);
    matrix<double> cost(N, N, 0.0);
    double total = 0;
    createGraph(A, B, capacity, cost, lambda, W);
    for (;;) {
        std::valarray<int> pred;
        std::valarray<double> dist = Dijkstra(matrix<double>(pairs), matrix<double>(capacity), cost, pred);
        if (dist[1] - lambda > total) break;
        for (int u = 0; u < N; ++u)
            for (int v = 0; v < N; ++v)
                if (capacity(u, v) != 0) cost(u, v) += dist[u] - dist[v];
        int u = 1, v = pred[1];
        for (;;) {
            if (v < 0) return false;
            capacity(v, u) = 0;
            capacity(u, v) = 1;
            cost(u, v) = cost(v, u);
            cost(v, u) = 0;
            if (v == 0) break;
            u = v;
            v = pred[v];
        }
        total -= dist[1] - lambda;
    }
    matrix<int> block(1, 1);
    block = capacity[mslice(nA + 2, 2, nB, nA)];
    pairs = ~block;
    return true;
}

matrix<double> points(const std::vector<std::array<double, 3>>& p)
{
    matrix<double> m(p.size(), 3, 0.0);
    for (std::size_t i = 0; i < p.size(); ++i)
        for (int j = 0; j < 3; ++j) m(i, j) = p[i][j];
    return m;
}

matrix<double> random_points(std::mt19937& gen, int n, double span)
{
    std::uniform_real_distribution<double> u(0, span);
    matrix<double> m(n, 3, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < 3; ++j) m(i, j) = u(gen);
    return m;
}

}  // namespace

TEST(Assignment, ThresholdIsStrictAndCloseAtomsPair)
{
    matrix<double> W(1, 1, 1.0);
    matrix<int> pairs(1, 1, 0);
    HungarianMethod(pairs, points({{0, 0, 0}}), points({{0.5, 0, 0}}), 2.0, W);
    EXPECT_EQ(pairs(0, 0), 1);

    // The edge of such a pair costs d - lambda - lambda W.
    matrix<int> cap(4, 4, 0);
    matrix<double> cost(4, 4, 0.0);
    createGraph(points({{0, 0, 0}}), points({{0.5, 0, 0}}), cap, cost, 2.0, W);
    EXPECT_EQ(cap(2, 3), 1);
    EXPECT_DOUBLE_EQ(cost(2, 3), -3.5);
    EXPECT_EQ(cap(0, 2) + cap(3, 1), 2);
    EXPECT_EQ(cap.sum(), 3);

    pairs(0, 0) = 1;  // old contents do not survive
    HungarianMethod(pairs, points({{0, 0, 0}}), points({{2, 0, 0}}), 2.0, W);
    EXPECT_EQ(pairs(0, 0), 0);
}

TEST(Assignment, EqualCandidatesGoToTheLowerIndexAndShapeIsKept)
{
    matrix<double> W(2, 1, 1.0);
    matrix<int> pairs(2, 1, 0);
    HungarianMethod(pairs, points({{1, 0, 0}, {-1, 0, 0}}), points({{0, 0, 0}}), 3.0, W);
    ASSERT_EQ(pairs.rowno(), 2u);
    ASSERT_EQ(pairs.colno(), 1u);
    EXPECT_EQ(pairs(0, 0), 1);
    EXPECT_EQ(pairs(1, 0), 0);
}

TEST(Assignment, SweepRelaxesNodesOnceInIndexOrder)
{
    // 0 -> 3 (cost 5), 0 -> 2 (cost 1), 3 -> 2 (cost -10), 2 -> 1 (cost 0).
    // Node 2 improves through node 3 only after its own turn, so the sink
    // keeps the distance it got from node 2's first value.
    matrix<double> shape(1, 1, 0.0);  // 4 nodes
    matrix<double> cap(4, 4, 0.0), cost(4, 4, 0.0);
    cap(0, 3) = 1; cost(0, 3) = 5;
    cap(0, 2) = 1; cost(0, 2) = 1;
    cap(3, 2) = 1; cost(3, 2) = -10;
    cap(2, 1) = 1;
    std::valarray<int> pred;
    std::valarray<double> dist = Dijkstra(shape, cap, cost, pred);
    EXPECT_EQ(dist[2], -5.0);
    EXPECT_EQ(pred[2], 3);
    EXPECT_EQ(dist[1], 1.0);
    EXPECT_EQ(pred[1], 2);
    EXPECT_EQ(pred[0], 0);

    EXPECT_EQ(leastNode(dist, std::valarray<int>{1, 1, 0, 1}), 0);
    EXPECT_EQ(leastNode(std::valarray<double>{3, 2, 2}, std::valarray<int>{1, 1, 1}), 2);
    EXPECT_EQ(leastNode(dist, std::valarray<int>{0, 0, 0, 0}), -1);
    EXPECT_TRUE(pathExists(dist, 3));
    EXPECT_FALSE(pathExists(std::valarray<double>{0, kUnreached}, 1));
}

TEST(Assignment, MatchesTheDenseFormulationOnRandomPockets)
{
    std::mt19937 gen(11);
    std::uniform_real_distribution<double> wd(0, 16);
    int paired = 0;
    for (int trial = 0; trial < 60; ++trial) {
        const int nA = 1 + trial % 17, nB = 1 + (trial * 7) % 13;
        const double span = 2.0 + trial % 9;
        const double lambdas[] = {21, 7, 2.8, 1.54, 1.0486};
        const double lambda = lambdas[trial % 5];
        matrix<double> A = random_points(gen, nA, span), B = random_points(gen, nB, span);
        matrix<double> W(nA, nB, 0.0);
        for (int i = 0; i < nA; ++i)
            for (int j = 0; j < nB; ++j) W(i, j) = (trial % 3 == 0) ? 1.0 : std::floor(wd(gen)) * 0.5;

        matrix<int> fast(nA, nB, 0), slow(nA, nB, 0);
        HungarianMethod(fast, A, B, lambda, W);
        ASSERT_TRUE(dense_assignment(slow, A, B, lambda, W));
        ASSERT_EQ(fast.rowno(), slow.rowno());
        ASSERT_EQ(fast.colno(), slow.colno());
        for (int i = 0; i < nA; ++i) {
            int inRow = 0;
            for (int j = 0; j < nB; ++j) {
                ASSERT_EQ(fast(i, j), slow(i, j)) << "trial " << trial << " at " << i << "," << j;
                inRow += fast(i, j);
                if (fast(i, j)) {
                    const double d = std::sqrt(std::pow(A(i, 0) - B(j, 0), 2) + std::pow(A(i, 1) - B(j, 1), 2) +
                                               std::pow(A(i, 2) - B(j, 2), 2));
                    EXPECT_LT(d, lambda);
                }
            }
            EXPECT_LE(inRow, 1);
        }
        for (int j = 0; j < nB; ++j) {
            int inColumn = 0;
            for (int i = 0; i < nA; ++i) inColumn += fast(i, j);
            EXPECT_LE(inColumn, 1);
        }
        paired += fast.sum();
    }
    EXPECT_GT(paired, 100);  // the instances are not trivially empty
}
