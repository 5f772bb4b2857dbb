#include <gtest/gtest.h>

#include <valarray>

#include "veldrix/orbmat.h"

using orbmat::matrix;

namespace {

matrix<double> filled(int r, int c, double base) {
  matrix<double> m(r, c, 0.0);
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) m(i, j) = base + 10 * i + j;
  return m;
}

}  // namespace

TEST(Orbmat, CopiesShareUntilWrittenThroughAProxy) {
  matrix<double> a = filled(2, 3, 1.0);
  matrix<double> b = a;
  EXPECT_EQ(a.cdata(), b.cdata());
  b(1, 2) = 99.0;
  EXPECT_FALSE(a.shared());
  EXPECT_EQ(a(1, 2), 13.0);
  EXPECT_EQ(b(1, 2), 99.0);
  EXPECT_EQ(b(0, 0), 1.0);

  matrix<double> c = a;
  c[1][0] = 5.0;
  c(0, 0) += 2;
  c(0, 2) *= 3.0;
  c(1, 1) = c(0, 0);  // proxy to proxy copies the value
  EXPECT_EQ(a(1, 0), 11.0);
  EXPECT_EQ(c(1, 0), 5.0);
  EXPECT_EQ(c(0, 2), 9.0);
  EXPECT_EQ(c(1, 1), 3.0);

  a = a;
  EXPECT_EQ(a(1, 1), 12.0);
}

TEST(Orbmat, FreedBlocksAreReusedByExactShapeWithTheirValues) {
  matrix<double> keepAlive(1, 1, 0.0);  // the pool empties when no block lives
  const double* old;
  {
    matrix<double> m = filled(3, 3, 7.0);
    old = m.cdata();
  }
  matrix<double> again(3, 3);
  EXPECT_EQ(again.cdata(), old);
  EXPECT_EQ(again(2, 1), 28.0);

  // Of five freed blocks the oldest drops out of the pool of four.
  for (int r = 11; r <= 15; ++r) matrix<double> t = filled(r, 1, 1.0);
  for (int r = 15; r >= 11; --r) EXPECT_EQ(matrix<double>(r, 1)(0, 0), r == 11 ? 0.0 : 1.0) << r;
}

TEST(Orbmat, ResizeViewsTransposeProductAndSubBlocks) {
  matrix<double> m = filled(2, 2, 1.0);
  m.resize(2, 2, -1.0);
  EXPECT_EQ(m(1, 1), 12.0);
  m.resize(3, 1, -1.0);
  EXPECT_EQ(m(1, 0), 11.0);
  EXPECT_EQ(m(2, 0), -1.0);

  matrix<double> d = filled(3, 3, 0.0);
  std::valarray<double> d1 = d.diag(1), dm1 = d.diag(-1), col = d.column(1);
  ASSERT_EQ(d1.size(), 2u);
  ASSERT_EQ(dm1.size(), 2u);
  EXPECT_EQ(d1[1], 12.0);
  EXPECT_EQ(dm1[1], 21.0);
  EXPECT_EQ(col[2], 21.0);

  // 3n + 1 values with n rows: only the first 3n are addressed.
  matrix<double> x(2, 3, std::valarray<double>{1, 2, 3, 4, 5, 6, 7});
  matrix<double> xt = ~x;
  EXPECT_EQ(xt(2, 1), 6.0);
  matrix<double> p = x * xt;
  EXPECT_EQ(p(0, 1), 1 * 4 + 2 * 5 + 3 * 6);
  EXPECT_EQ(p.colno(), 2u);

  matrix<int> big(4, 5, 0);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 5; ++j) big(i, j) = 10 * i + j;
  big = big[orbmat::mslice(1, 2, 3, 2)];
  ASSERT_EQ(big.rowno(), 3u);
  EXPECT_EQ(big(2, 1), 33);
  EXPECT_EQ(big.sum(), 12 + 13 + 22 + 23 + 32 + 33);
  EXPECT_EQ(matrix<double>(big)(2, 0), 32.0);
}

TEST(Orbmat, EmptyMatricesTransposeMultiplyAndConvert) {
  const matrix<double> none(0, 3, 0.0);
  const matrix<double> t = ~none;
  EXPECT_EQ(t.rowno() * 10 + t.colno(), 30u);
  const matrix<double> p = none * matrix<double>(3, 2, 1.0);
  EXPECT_EQ(p.rowno() * 10 + p.colno(), 2u);
  const matrix<double> q = t * none;  // 3 x 0 times 0 x 3: zeros
  EXPECT_EQ(q.rowno() * 10 + q.colno(), 33u);
  EXPECT_EQ(q(2, 1), 0.0);
  EXPECT_EQ(matrix<double>(matrix<int>(0, 4, 0)).colno(), 4u);
}
