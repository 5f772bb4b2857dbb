#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "veldrix/lss.h"

using orbmat::matrix;

namespace {

matrix<double> rows(int r, std::initializer_list<double> v) {
  return matrix<double>(r, 3, std::valarray<double>(v));
}

double det3(const matrix<double>& m) {
  return m(0, 0) * (m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1)) -
         m(0, 1) * (m(1, 0) * m(2, 2) - m(1, 2) * m(2, 0)) +
         m(0, 2) * (m(1, 0) * m(2, 1) - m(1, 1) * m(2, 0));
}

// Checks input = U diag(w) V^T, orthonormal V, orthonormal U where w > 0.
void expect_decomposition(const matrix<double>& input) {
  const int m = input.rowno(), n = 3;
  const double tol = 1e-10;
  matrix<double> U = input, V(1, 1, 5.0);  // V of the wrong shape is resized
  std::valarray<double> w;
  ASSERT_TRUE(U.svd(V, w));
  ASSERT_EQ(V.rowno(), 3u);
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < n; ++j) {
      double s = 0;
      for (int k = 0; k < n; ++k) s += U(i, k) * w[k] * V(j, k);
      EXPECT_NEAR(s, input(i, j), tol);
    }
  for (int a = 0; a < n; ++a) {
    EXPECT_GE(w[a], 0.0);
    for (int b = 0; b < n; ++b) {
      double uu = 0, vv = 0;
      for (int i = 0; i < m; ++i) uu += U(i, a) * U(i, b);
      for (int i = 0; i < n; ++i) vv += V(i, a) * V(i, b);
      EXPECT_NEAR(vv, a == b, tol);
      if (w[a] > tol && w[b] > tol) {
        EXPECT_NEAR(uu, a == b, tol);
      }
    }
  }
}

// Rows of X moved as R x + (1, -7, 12).
matrix<double> moved(const matrix<double>& X, const matrix<double>& R) {
  const double sh[3] = {1, -7, 12};
  matrix<double> Y(X.rowno(), 3, 0.0);
  for (orbmat::uint64 k = 0; k < X.rowno(); ++k)
    for (int i = 0; i < 3; ++i)
      Y(k, i) = R(i, 0) * X(k, 0) + R(i, 1) * X(k, 1) + R(i, 2) * X(k, 2) + sh[i];
  return Y;
}

const double kC = std::cos(1.1), kS = std::sin(1.1);

}  // namespace

TEST(Svd, ReconstructsRandomAndRankDeficientInput) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> u(-3, 3);
  for (int t = 0; t < 40; ++t) {
    const int m = 3 + t % 3;
    matrix<double> a(m, 3, 0.0);
    for (int i = 0; i < m; ++i)
      for (int j = 0; j < 3; ++j) a(i, j) = u(gen);
    for (int i = 0; i < m; ++i) {
      if (t % 4 == 1) a(i, 2) = 0.5 * a(i, 0) - 2 * a(i, 1);      // rank 2
      if (t % 4 == 2) a(i, 1) = 2 * a(i, 0), a(i, 2) = -a(i, 0);  // rank 1
    }
    expect_decomposition(a);
  }
  expect_decomposition(matrix<double>(3, 3, 0.0));
}

TEST(Svd, KeepsDiagonalOrderMovesSignsIntoVAndFailsOnNaN) {
  matrix<double> d = rows(3, {1, 0, 0, 0, 3, 0, 0, 0, 2}), V(3, 3, 0.0);
  std::valarray<double> w(7.0, 3);
  ASSERT_TRUE(d.svd(V, w));
  EXPECT_EQ(w[0], 1.0);
  EXPECT_EQ(w[1], 3.0);
  EXPECT_EQ(w[2], 2.0);

  matrix<double> neg = rows(3, {-2, 0, 0, 0, 1, 0, 0, 0, 1});
  ASSERT_TRUE(neg.svd(V, w));
  EXPECT_EQ(w[0], 2.0);
  EXPECT_EQ(neg(0, 0) * V(0, 0), -1.0);

  matrix<double> bad(3, 3, std::numeric_limits<double>::quiet_NaN());
  EXPECT_FALSE(bad.svd(V, w));
}

TEST(Superimpose, UndoesARigidMotionAndMovesEveryAtom) {
  matrix<double> A =
      rows(6, {0, 0, 0, 1.5, 0, 0, 0, 2.1, 0.3, 0.4, 0.2, 3.3, -1.2, 1.1, -0.7, 5, 5, 5});
  const matrix<double> R0 = rows(3, {kC, -kS, 0, kS, kC, 0, 0, 0, 1});
  matrix<double> B = moved(A, R0);
  const matrix<double> A0 = A;
  matrix<int> pairs(6, 6, 0);
  for (int i = 0; i < 5; ++i) pairs(i, i) = 1;  // atom 5 stays unpaired

  matrix<double> R(3, 3);
  EXPECT_LT(Superimpose(A, B, R, pairs), 1e-6);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(R(i, j), R0(j, i), 1e-12);
  for (int k = 0; k < 6; ++k)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(B(k, j), A(k, j), 1e-12) << k;
  EXPECT_NEAR(A0(5, 1) - A(5, 1), (2.1 + 0.2 + 1.1) / 5, 1e-12);  // A moves by its paired centroid

  Superimpose(A, B, R, pairs);  // a second fit is the identity
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(R(i, j), i == j, 1e-12);

  // A mirror image gets the best proper rotation and the RMSD it leaves.
  matrix<double> M = moved(A0, rows(3, {1, 0, 0, 0, -1, 0, 0, 0, 1})), A1 = A0;
  const double r = Superimpose(A1, M, R, pairs);
  EXPECT_NEAR(det3(R), 1.0, 1e-12);
  double ss = 0;
  for (int k = 0; k < 5; ++k)
    for (int j = 0; j < 3; ++j) ss += std::pow(A1(k, j) - M(k, j), 2);
  EXPECT_NEAR(r, std::sqrt(ss / 5), 1e-9);
  EXPECT_GT(r, 0.1);
}

TEST(Superimpose, RmsdMatchesTheDistancesOfANoisyFit) {
  std::mt19937 gen(9);
  std::normal_distribution<double> g(0, 1);
  const int n = 30;
  matrix<double> A(n, 3, 0.0);
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < 3; ++j) A(k, j) = 4 * g(gen);
  matrix<double> B = moved(A, rows(3, {kC, 0, kS, 0, 1, 0, -kS, 0, kC}));
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < 3; ++j) B(k, j) += 0.3 * g(gen);
  matrix<int> pairs(n, n, 0);
  for (int k = 0; k < n; ++k) pairs(k, k) = 1;
  matrix<double> R(3, 3);
  const double r = Superimpose(A, B, R, pairs);
  double ss = 0;
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < 3; ++j) ss += std::pow(A(k, j) - B(k, j), 2);
  EXPECT_NEAR(r, std::sqrt(ss / n), 1e-9);
  EXPECT_GT(r, 0.1);
  EXPECT_NEAR(det3(R), 1.0, 1e-12);
}

TEST(Superimpose, OnePairGivesIdentityAndNoPairGivesNaN) {
  matrix<double> A = rows(2, {1, 2, 3, 4, 5, 6}), B = rows(2, {-1, 0, 2, 7, 7, 7}), R(3, 3);
  matrix<int> pairs(2, 2, 0);
  pairs(1, 0) = 1;
  EXPECT_EQ(Superimpose(A, B, R, pairs), 0.0);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_EQ(R(i, j), i == j);
  EXPECT_EQ(B(0, 2), 0.0);

  EXPECT_TRUE(std::isnan(Superimpose(A, B, R, matrix<int>(2, 2, 0))));
  EXPECT_TRUE(std::isnan(A(0, 0)));
}
