#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <valarray>

#include "veldrix/lss.h"
#include "veldrix/orbmat.h"

using orbmat::matrix;

namespace {

matrix<double> from_rows(int r, int c, std::initializer_list<double> v)
{
    return matrix<double>(r, c, std::valarray<double>(v));
}

double det3(const matrix<double>& m)
{
    return m(0, 0) * (m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1)) - m(0, 1) * (m(1, 0) * m(2, 2) - m(1, 2) * m(2, 0)) +
           m(0, 2) * (m(1, 0) * m(2, 1) - m(1, 1) * m(2, 0));
}

// Checks A = U diag(w) V^T, orthonormal columns of U and V, w >= 0.
void expect_decomposition(const matrix<double>& input, double tol)
{
    const int m = input.rowno(), n = input.colno();
    matrix<double> U = input;
    matrix<double> V(1, 1, 5.0);  // wrong shape: gets resized
    std::valarray<double> w;
    ASSERT_TRUE(U.svd(V, w));
    ASSERT_EQ(V.rowno(), static_cast<orbmat::uint64>(n));
    ASSERT_EQ(w.size(), static_cast<std::size_t>(n));
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < n; ++j) {
            double s = 0;
            for (int k = 0; k < n; ++k) s += U(i, k) * w[k] * V(j, k);
            EXPECT_NEAR(s, input(i, j), tol) << i << "," << j;
        }
    for (int k = 0; k < n; ++k) EXPECT_GE(w[k], 0.0);
    for (int a = 0; a < n; ++a)
        for (int b = 0; b < n; ++b) {
            double uu = 0, vv = 0;
            for (int i = 0; i < m; ++i) uu += U(i, a) * U(i, b);
            for (int i = 0; i < n; ++i) vv += V(i, a) * V(i, b);
            EXPECT_NEAR(vv, a == b ? 1.0 : 0.0, tol);
            // A column of U that meets a zero singular value may be zero.
            if (w[a] > tol && w[b] > tol) {
                EXPECT_NEAR(uu, a == b ? 1.0 : 0.0, tol);
            }
        }
}

matrix<double> rotation_about(double ax, double ay, double az, double angle)
{
    const double l = std::sqrt(ax * ax + ay * ay + az * az);
    ax /= l, ay /= l, az /= l;
    const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    return from_rows(3, 3, {t * ax * ax + c, t * ax * ay - s * az, t * ax * az + s * ay,  //
                            t * ax * ay + s * az, t * ay * ay + c, t * ay * az - s * ax,  //
                            t * ax * az - s * ay, t * ay * az + s * ax, t * az * az + c});
}

// Rows of X moved as R x + shift.
matrix<double> moved(const matrix<double>& X, const matrix<double>& R, double sx, double sy, double sz)
{
    const double sh[3] = {sx, sy, sz};
    matrix<double> Y(X.rowno(), 3, 0.0);
    for (orbmat::uint64 k = 0; k < X.rowno(); ++k)
        for (int i = 0; i < 3; ++i) Y(k, i) = R(i, 0) * X(k, 0) + R(i, 1) * X(k, 1) + R(i, 2) * X(k, 2) + sh[i];
    return Y;
}

}  // namespace

TEST(Svd, ReconstructsRandomAndRankDeficientInput)
{
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> u(-3, 3);
    for (int t = 0; t < 40; ++t) {
        const int m = 3 + t % 3, n = 3;
        matrix<double> a(m, n, 0.0);
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < n; ++j) a(i, j) = u(gen);
        if (t % 4 == 1)  // rank 2: third column a mix of the first two
            for (int i = 0; i < m; ++i) a(i, 2) = 0.5 * a(i, 0) - 2 * a(i, 1);
        if (t % 4 == 2)  // rank 1: outer product
            for (int i = 0; i < m; ++i)
                for (int j = 0; j < n; ++j) a(i, j) = a(i, 0) * (j + 1.5);
        expect_decomposition(a, 1e-10);
    }
    expect_decomposition(matrix<double>(3, 3, 0.0), 1e-15);
    expect_decomposition(from_rows(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}), 1e-10);
}

TEST(Svd, KeepsTheOrderOfADiagonalAndMovesSignsIntoV)
{
    matrix<double> d = from_rows(3, 3, {1, 0, 0, 0, 3, 0, 0, 0, 2});
    matrix<double> V(3, 3, 0.0);
    std::valarray<double> w(7.0, 3);
    ASSERT_TRUE(d.svd(V, w));
    EXPECT_EQ(w[0], 1.0);
    EXPECT_EQ(w[1], 3.0);
    EXPECT_EQ(w[2], 2.0);

    matrix<double> neg = from_rows(3, 3, {-2, 0, 0, 0, 1, 0, 0, 0, 1});
    ASSERT_TRUE(neg.svd(V, w));
    EXPECT_EQ(w[0], 2.0);
    EXPECT_NEAR(neg(0, 0) * V(0, 0), -1.0, 1e-15);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    matrix<double> bad(3, 3, nan);  // what a fit without pairs hands over
    EXPECT_FALSE(bad.svd(V, w));

    // The input handle is made private before the work starts.
    matrix<double> x = from_rows(3, 3, {2, 1, 0, 1, 3, 1, 0, 1, 4});
    matrix<double> keep = x;
    x.svd(V, w);
    EXPECT_EQ(keep(1, 1), 3.0);
}

TEST(Superimpose, UndoesARigidMotionAndMovesEveryAtom)
{
    matrix<double> A = from_rows(6, 3, {0, 0, 0, 1.5, 0, 0, 0, 2.1, 0.3, 0.4, 0.2, 3.3, -1.2, 1.1, -0.7, 5, 5, 5});
    const matrix<double> R0 = rotation_about(1, 2, -0.5, 1.1);
    matrix<double> B = moved(A, R0, 3, -7, 12);
    const matrix<double> A0 = A, B0 = B;
    matrix<int> pairs(6, 6, 0);
    for (int i = 0; i < 5; ++i) pairs(i, i) = 1;  // atom 5 stays unpaired

    matrix<double> R(3, 3);
    const double r = Superimpose(A, B, R, pairs);
    EXPECT_LT(r, 1e-6);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(R(i, j), R0(j, i), 1e-12);  // the inverse rotation
    for (int k = 0; k < 6; ++k)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(B(k, j), A(k, j), 1e-12) << k;
    // A moved by its paired centroid only.
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(A0(0, j) - A(0, j), (0 + 1.5 * (j == 0) + 2.1 * (j == 1) + 0.3 * (j == 2) +
                                                                0.4 * (j == 0) + 0.2 * (j == 1) + 3.3 * (j == 2) -
                                                                1.2 * (j == 0) + 1.1 * (j == 1) - 0.7 * (j == 2)) / 5,
                                            1e-12);
    EXPECT_EQ(B0(0, 0), moved(A0, R0, 3, -7, 12)(0, 0));  // copies untouched

    // A second fit of the same pairs is the identity.
    Superimpose(A, B, R, pairs);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(R(i, j), i == j ? 1.0 : 0.0, 1e-12);
}

TEST(Superimpose, RmsdMatchesTheDistancesOfANoisyFit)
{
    std::mt19937 gen(9);
    std::normal_distribution<double> g(0, 1);
    const int n = 30;
    matrix<double> A(n, 3, 0.0);
    for (int k = 0; k < n; ++k)
        for (int j = 0; j < 3; ++j) A(k, j) = 4 * g(gen);
    matrix<double> B = moved(A, rotation_about(-1, 0.3, 2, 2.5), 1, 2, 3);
    for (int k = 0; k < n; ++k)
        for (int j = 0; j < 3; ++j) B(k, j) += 0.3 * g(gen);
    matrix<int> pairs(n, n, 0);
    for (int k = 0; k < n; ++k) pairs(k, (k + 0) % n) = 1;
    matrix<double> R(3, 3);
    const double r = Superimpose(A, B, R, pairs);
    double ss = 0;
    for (int k = 0; k < n; ++k)
        for (int j = 0; j < 3; ++j) ss += std::pow(A(k, j) - B(k, j), 2);
    EXPECT_NEAR(r, std::sqrt(ss / n), 1e-9);
    EXPECT_GT(r, 0.1);
    EXPECT_NEAR(det3(R), 1.0, 1e-12);
}

TEST(Superimpose, MirrorImageGivesAReflection)
{
    matrix<double> A = from_rows(5, 3, {0, 0, 0, 1.5, 0, 0, 0, 2.1, 0.3, 0.4, 0.2, 3.3, -1.2, 1.1, -0.7});
    matrix<double> B = moved(A, from_rows(3, 3, {1, 0, 0, 0, 1, 0, 0, 0, -1}), 2, 0, 1);
    matrix<int> pairs(5, 5, 0);
    for (int i = 0; i < 5; ++i) pairs(i, i) = 1;
    matrix<double> R(3, 3);
    EXPECT_LT(Superimpose(A, B, R, pairs), 1e-6);
    EXPECT_NEAR(det3(R), -1.0, 1e-12);
}

TEST(Superimpose, OnePairGivesIdentityAndNoPairGivesNaN)
{
    matrix<double> A = from_rows(2, 3, {1, 2, 3, 4, 5, 6});
    matrix<double> B = from_rows(2, 3, {-1, 0, 2, 7, 7, 7});
    matrix<int> pairs(2, 2, 0);
    pairs(1, 0) = 1;
    matrix<double> R(3, 3);
    EXPECT_EQ(Superimpose(A, B, R, pairs), 0.0);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(R(i, j), i == j ? 1.0 : 0.0);
    EXPECT_EQ(A(1, 0), 0.0);
    EXPECT_EQ(B(0, 2), 0.0);

    matrix<int> none(2, 2, 0);
    EXPECT_TRUE(std::isnan(Superimpose(A, B, R, none)));
    EXPECT_TRUE(std::isnan(A(0, 0)));
    EXPECT_TRUE(std::isnan(B(1, 1)));
}

TEST(Superimpose, StatisticsHelpers)
{
    matrix<double> X = from_rows(3, 3, {1, 0, 2, 3, 0, 2, 5, 3, 2});
    std::valarray<double> m = mean(X);
    EXPECT_EQ(m[0], 3.0);
    EXPECT_EQ(m[1], 1.0);
    matrix<double> v = var(X, X);
    EXPECT_DOUBLE_EQ(v(0, 0), 8.0 / 3);
    EXPECT_DOUBLE_EQ(v(0, 1), 6.0 / 3);
    EXPECT_EQ(v(2, 2), 0.0);
    centerAtZero(X);
    EXPECT_EQ(X(0, 0), -2.0);
    EXPECT_EQ(X(2, 1), 2.0);
    matrix<double> empty(0, 3, 0.0);
    centerAtZero(empty);
    EXPECT_EQ(empty.rowno(), 0u);
}
