#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "geometry/exact.h"
#include "geometry/inexact.h"

namespace {

CExact ex(double x) {
  CExact e;
  e.Init(x);
  return e;
}

bool canonical_zero(const CExact& e) {
  return e.len == 0 && e.sign == 1 && e.exp == 0 && e.digits == nullptr;
}

double random_double(std::mt19937_64& g) {
  // Random bit patterns cover subnormals, huge and tiny exponents alike.
  for (;;) {
    std::uint64_t bits = g();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    if (std::isfinite(d) && d != 0.0) return d;
  }
}

double random_moderate(std::mt19937_64& g) {
  std::uniform_real_distribution<double> m(-1.0, 1.0);
  std::uniform_int_distribution<int> e(-300, 300);
  return std::ldexp(m(g), e(g));
}

}  // namespace

TEST(Exact, InitLayoutAndSpecialValues) {
  CExact one = ex(1.0);
  EXPECT_EQ(one.len, 1);
  EXPECT_EQ(one.exp, 0);
  EXPECT_EQ(one.sign, 1);
  EXPECT_EQ(one.digits[0], 0x01);

  CExact m = ex(-1.5);
  EXPECT_EQ(m.sign, 0);
  EXPECT_EQ(m.len, 2);
  EXPECT_EQ(m.exp, -1);
  EXPECT_EQ(m.digits[0], 0x80);
  EXPECT_EQ(m.digits[1], 0x01);

  for (double z : {0.0, -0.0, std::numeric_limits<double>::infinity(),
                   -std::numeric_limits<double>::infinity(), std::nan("")})
    EXPECT_TRUE(canonical_zero(ex(z))) << z;

  CExact tiny = ex(std::ldexp(1.0, -1074));
  EXPECT_EQ(tiny.len, 1);
  EXPECT_EQ(tiny.exp, -135);
  EXPECT_EQ(tiny.digits[0], 0x40);

  CExact big = ex(1e19);
  EXPECT_EQ(big.len, 6);
  EXPECT_EQ(big.exp, 2);

  CExact n;
  n.Init(-256L * 3);
  EXPECT_EQ(n.sign, 0);
  EXPECT_EQ(n.exp, 1);
  EXPECT_EQ(n.len, 1);
  EXPECT_EQ(n.digits[0], 3);
  EXPECT_EQ(n.Compare(ex(-768.0)), 0);
}

TEST(Exact, EveryFiniteDoubleRoundTrips) {
  std::mt19937_64 g(1);
  for (int i = 0; i < 20000; ++i) {
    double d = random_double(g);
    CExact e = ex(d);
    ASSERT_EQ(double(e), d) << d;
    // normal form: no zero digit at either end
    ASSERT_NE(e.digits[0], 0);
    ASSERT_NE(e.digits[e.len - 1], 0);
  }
}

TEST(Exact, ProductsAndSumsMatchErrorFreeTransformations) {
  std::mt19937_64 g(2);
  for (int i = 0; i < 20000; ++i) {
    double a = random_moderate(g), b = random_moderate(g);
    double p = a * b;
    double pe = std::fma(a, b, -p);  // exact: a*b = p + pe
    EXPECT_EQ((ex(a) * ex(b)).Compare(ex(p) + ex(pe)), 0) << a << " * " << b;

    // two-sum: a + b = s + t exactly
    double s = a + b;
    double bb = s - a;
    double t = (a - (s - bb)) + (b - bb);
    EXPECT_EQ((ex(a) + ex(b)).Compare(ex(s) + ex(t)), 0) << a << " + " << b;
    EXPECT_EQ((ex(a) - ex(-b)).Compare(ex(s) + ex(t)), 0);
    // the rounded result is the exact result truncated or rounded by one ulp at most
    EXPECT_NEAR(double(ex(a) + ex(b)), s, std::fabs(s) * 1e-15 + 1e-300);
  }
}

TEST(Exact, SignsOfIntegerDeterminantsMatchExactIntegerArithmetic) {
  std::mt19937_64 g(3);
  std::uniform_int_distribution<long long> U(-1000, 1000);
  for (int i = 0; i < 3000; ++i) {
    long long m[9];
    for (auto& v : m) v = U(g);
    if (i % 3 == 0) m[6] = m[0] + m[3], m[7] = m[1] + m[4], m[8] = m[2] + m[5];  // singular
    long long d = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                  m[2] * (m[3] * m[7] - m[4] * m[6]);
    // scale by powers of two so that the digits are not integers
    double s = std::ldexp(1.0, int(i % 40) - 20);
    CExact e[9];
    for (int k = 0; k < 9; ++k) e[k] = ex(double(m[k]) * s);
    CExact D = e[0] * (e[4] * e[8] - e[5] * e[7]) - e[1] * (e[3] * e[8] - e[5] * e[6]) +
               e[2] * (e[3] * e[7] - e[4] * e[6]);
    ASSERT_EQ(D.sgn(), (d > 0) - (d < 0));
    if (d == 0) {
      ASSERT_TRUE(canonical_zero(D));
    }
  }
}

TEST(Exact, ZeroAndSignRules) {
  std::mt19937_64 g(4);
  for (int i = 0; i < 1000; ++i) {
    double x = random_double(g);
    EXPECT_TRUE(canonical_zero(ex(x) - ex(x)));
    EXPECT_TRUE(canonical_zero(ex(-x) + ex(x)));
    EXPECT_TRUE(canonical_zero(ex(x) * ex(0.0)));
    EXPECT_TRUE(canonical_zero(ex(0.0) * ex(x)));
  }
  double t = std::ldexp(1.0, -20);
  EXPECT_EQ((ex(0.0) + ex(-t)).Compare(ex(-t)), 0);
  EXPECT_EQ((ex(0.0) + ex(-t)).sign, 0);
  EXPECT_EQ((ex(0.0) - ex(t)).Compare(ex(-t)), 0);
  EXPECT_EQ((ex(t) - ex(0.0)).Compare(ex(t)), 0);
  EXPECT_EQ(ex(0.0).Compare(ex(t)), -1);
  EXPECT_EQ(ex(0.0).Compare(ex(-t)), 1);
  EXPECT_EQ((ex(-3.0) * ex(-5.0)).sign, 1);
  EXPECT_EQ((ex(-3.0) * ex(5.0)).sign, 0);
  EXPECT_TRUE(canonical_zero(-ex(0.0)));
  EXPECT_TRUE(ex(2.0) > ex(1.5) && ex(-2.0) < ex(-1.5) && ex(1.0) == ex(1.0) &&
              ex(1.0) != ex(-1.0));
  EXPECT_TRUE(ex(1.0) <= ex(1.0) && ex(1.0) >= ex(1.0));
  EXPECT_EQ(ex(3.0).CompAbs(ex(-3.0)), 0);
}

TEST(Exact, ConversionToDoubleTruncatesAndSaturates) {
  CExact big = ex(std::ldexp(1.0, 1023)) * ex(2.0);
  EXPECT_EQ(double(big), std::numeric_limits<double>::infinity());
  EXPECT_EQ(double(-big), -std::numeric_limits<double>::infinity());
  CExact small = ex(std::ldexp(1.0, -600)) * ex(std::ldexp(1.0, -600));
  EXPECT_EQ(double(small), 0.0);
  EXPECT_TRUE(std::signbit(double(-small)));
  CExact odd = ex(std::ldexp(1.0, 54)) + ex(3.0);
  EXPECT_EQ(double(odd), std::ldexp(1.0, 54));
  EXPECT_EQ(double(-odd), -std::ldexp(1.0, 54));
  // products below the normal range are rounded by the final scaling
  CExact sub = ex(std::ldexp(1.0, -540)) * ex(std::ldexp(1.5, -500));
  EXPECT_EQ(double(sub), std::ldexp(1.5, -1040));
}

TEST(Exact, OwnsItsDigits) {
  CExact a = ex(-1234.5678);
  CExact b(a);
  EXPECT_NE(a.digits, b.digits);
  EXPECT_EQ(a.Compare(b), 0);
  b += ex(1.0);
  EXPECT_EQ(a.Compare(ex(-1234.5678)), 0);
  CExact& self = a;
  a = self;
  EXPECT_EQ(a.Compare(ex(-1234.5678)), 0);
  a.Init(2.0);  // re-initialising releases the old buffer itself
  a.Init(3.0);
  EXPECT_EQ(a.Compare(ex(3.0)), 0);
  a *= ex(0.0);
  EXPECT_TRUE(canonical_zero(a));
  a -= ex(7.0);
  EXPECT_EQ(a.Compare(ex(-7.0)), 0);
  CExact z;
  z *= ex(5.0);
  EXPECT_TRUE(canonical_zero(z));
}

TEST(Inexact, ErrorBoundsAndTrust) {
  EXPECT_EQ(CInexact::ErrOf(1.0), std::ldexp(1.0, -51));
  EXPECT_EQ(CInexact::ErrOf(-1.0), std::ldexp(1.0, -51));
  EXPECT_EQ(CInexact::ErrOf(0.0), std::ldexp(1.0, -1073));
  EXPECT_EQ(CInexact::ErrOf(std::ldexp(1.0, -1060)), std::ldexp(1.0, -1073));  // subnormal range
  EXPECT_EQ(CInexact::ErrOf(std::ldexp(1.0, -1020)), std::ldexp(1.0, -1071));
  CInexact c(1e-300, 1e-300);
  EXPECT_FALSE(c.certain());
  CInexact f;
  f.Init(1.0f);
  EXPECT_EQ(f.value, 1.0);
  EXPECT_EQ(f.err, std::ldexp(1.0, -22));
}
