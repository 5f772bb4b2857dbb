#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <valarray>

#include "veldrix/orbmat.h"

using orbmat::matrix;

namespace {

matrix<double> filled(int r, int c, double base)
{
    matrix<double> m(r, c, 0.0);
    for (int i = 0; i < r; ++i)
        for (int j = 0; j < c; ++j) m(i, j) = base + 10 * i + j;
    return m;
}

}  // namespace

TEST(Orbmat, CopiesShareUntilWrittenThroughAProxy)
{
    matrix<double> a = filled(2, 3, 1.0);
    matrix<double> b = a;
    EXPECT_TRUE(a.shared());
    EXPECT_EQ(a.cdata(), b.cdata());

    b(1, 2) = 99.0;
    EXPECT_FALSE(a.shared());
    EXPECT_FALSE(b.shared());
    EXPECT_EQ(a(1, 2), 13.0);
    EXPECT_EQ(b(1, 2), 99.0);
    EXPECT_EQ(b(0, 0), 1.0);  // the private copy kept the other values

    // Row views and compound proxy operations write through the same rule.
    matrix<double> c = a;
    c[1][0] = 5.0;
    c(0, 0) += 2;
    c(0, 1) -= 1.5;
    c(0, 2) *= 3.0;
    c(1, 1) = c(0, 0);
    EXPECT_EQ(a(1, 0), 11.0);
    EXPECT_EQ(c(1, 0), 5.0);
    EXPECT_EQ(c(0, 0), 3.0);
    EXPECT_EQ(c(0, 1), 0.5);
    EXPECT_EQ(c(0, 2), 9.0);
    EXPECT_EQ(c(1, 1), 3.0);
    EXPECT_EQ(c(1, 2) - c(0, 1), 12.5);

    matrix<int> p(2, 2, 0);
    matrix<int> q = p;
    q[0][1] = 1;
    EXPECT_EQ(p.sum(), 0);
    EXPECT_EQ(q.sum(), 1);

    a = a;  // self-assignment keeps the block alive
    EXPECT_EQ(a(1, 1), 12.0);
}

TEST(Orbmat, FreedBlocksAreReusedByExactShapeWithTheirValues)
{
    matrix<double> keepAlive(1, 1, 0.0);  // the pool empties when no block lives

    const double* old;
    {
        matrix<double> m = filled(3, 3, 7.0);
        old = m.cdata();
    }
    matrix<double> again(3, 3);
    EXPECT_EQ(again.cdata(), old);
    EXPECT_EQ(again(2, 1), 28.0);
    EXPECT_FALSE(again.shared());

    // Five freed blocks of distinct shapes: the oldest drops out of the pool
    // of four, so only it comes back zero-filled.
    for (int r = 11; r <= 15; ++r) matrix<double> t = filled(r, 1, 1.0);
    for (int r = 15; r >= 11; --r) {
        matrix<double> t(r, 1);
        EXPECT_EQ(t(0, 0), r == 11 ? 0.0 : 1.0) << "rows " << r;
    }
}

TEST(Orbmat, ResizeKeepsOverlapAndIgnoresFillForTheSameShape)
{
    matrix<double> m = filled(2, 2, 1.0);
    m.resize(2, 2, -1.0);
    EXPECT_EQ(m(1, 1), 12.0);

    matrix<double> before = m;
    m.resize(3, 1, -1.0);
    ASSERT_EQ(m.rowno(), 3u);
    ASSERT_EQ(m.colno(), 1u);
    EXPECT_EQ(m(0, 0), 1.0);
    EXPECT_EQ(m(1, 0), 11.0);
    EXPECT_EQ(m(2, 0), -1.0);
    EXPECT_EQ(before(0, 1), 2.0);  // a sharer keeps the old block
}

TEST(Orbmat, ViewsTransposeProductAndSubBlocks)
{
    matrix<double> m = filled(3, 3, 0.0);  // flat values 0,1,2,10,11,12,20,21,22
    std::valarray<double> d0 = m.diag(0), d1 = m.diag(1), dm1 = m.diag(-1);
    ASSERT_EQ(d0.size(), 3u);
    ASSERT_EQ(d1.size(), 2u);
    ASSERT_EQ(dm1.size(), 2u);
    EXPECT_EQ(d0[2], 22.0);
    EXPECT_EQ(d1[0], 1.0);
    EXPECT_EQ(d1[1], 12.0);
    EXPECT_EQ(dm1[0], 10.0);
    EXPECT_EQ(dm1[1], 21.0);
    std::valarray<double> col = m.column(1);
    EXPECT_EQ(col[2], 21.0);

    // A vector of 3n + 1 values with n rows addresses the first 3n only.
    std::valarray<double> v = {1, 2, 3, 4, 5, 6, 7};
    matrix<double> x(2, 3, v);
    EXPECT_EQ(x(1, 2), 6.0);
    matrix<double> xt = ~x;
    EXPECT_EQ(xt.rowno(), 3u);
    EXPECT_EQ(xt(2, 1), 6.0);

    std::mt19937 gen(3);
    std::uniform_real_distribution<double> u(-2, 2);
    matrix<double> a(4, 3, 0.0), b(3, 2, 0.0);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) a(i, j) = u(gen);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) b(i, j) = u(gen);
    matrix<double> c = a * b;
    ASSERT_EQ(c.rowno(), 4u);
    ASSERT_EQ(c.colno(), 2u);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 2; ++j)
            EXPECT_NEAR(c(i, j), a(i, 0) * b(0, j) + a(i, 1) * b(1, j) + a(i, 2) * b(2, j), 1e-14);

    matrix<int> big(4, 5, 0);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 5; ++j) big(i, j) = 10 * i + j;
    matrix<int> sub(1, 1);
    sub = big[orbmat::mslice(1, 2, 3, 2)];
    ASSERT_EQ(sub.rowno(), 3u);
    ASSERT_EQ(sub.colno(), 2u);
    EXPECT_EQ(sub(0, 0), 12);
    EXPECT_EQ(sub(2, 1), 33);
    EXPECT_EQ(sub.sum(), 12 + 13 + 22 + 23 + 32 + 33);
    big = big[orbmat::mslice(3, 0, 1, 2)];  // from its own block
    EXPECT_EQ(big(0, 1), 31);

    matrix<double> fromInt(sub);
    EXPECT_EQ(fromInt(2, 0), 32.0);
}
