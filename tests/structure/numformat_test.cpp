#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "structure/numformat.h"

namespace {

std::string streamed(double v) {
  std::ostringstream s;
  s << v;
  return s.str();
}

std::string formatted(double v) {
  char buf[kDoubleChars];
  return std::string(buf, format_double(buf, v));
}

}  // namespace

// The same characters as a default stream: the boundaries of the fixed and
// the exponent forms, rounding that carries into a new digit, signed zeros,
// the extremes, infinities and NaNs, and doubles of every magnitude.
TEST(FormatDouble, MatchesTheDefaultStream) {
  const double lim = std::numeric_limits<double>::max();
  const double cases[] = {0.0,
                          -0.0,
                          1.0,
                          -2.5,
                          0.1,
                          1.0 / 3.0,
                          1e-4,
                          9.99999e-5,
                          0.0001234,
                          123456.0,
                          999999.0,
                          999999.5,
                          1234567.0,
                          1e6,
                          1e15,
                          3.0019,
                          100.0,
                          7.5e-12,
                          lim,
                          -lim,
                          std::numeric_limits<double>::denorm_min(),
                          std::numeric_limits<double>::min(),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN(),
                          -std::numeric_limits<double>::quiet_NaN()};
  for (double v : cases) EXPECT_EQ(formatted(v), streamed(v)) << streamed(v);
  std::mt19937_64 g(5);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int> exponent(-40, 40);
  for (int i = 0; i < 20000; ++i) {
    double v = std::ldexp(mantissa(g), exponent(g));
    if (i % 2) v = std::round(v * 1000) / 1000;  // distances as the writers see them
    ASSERT_EQ(formatted(v), streamed(v)) << i;
  }
}
