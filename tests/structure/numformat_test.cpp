#include "structure/numformat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

template <class T>
std::string streamed(T v) {
  std::ostringstream out;
  out << v;
  return out.str();
}

template <class... T>
std::string printed(const char* format, T... v) {
  char text[512];
  int n = std::snprintf(text, sizeof text, format, v...);
  return std::string(text, static_cast<size_t>(n));
}

// Values where a shortcut could part from the library: decade bounds,
// rounding ties, signs, the non-finite values.
std::vector<double> awkward_values() {
  using L = std::numeric_limits<double>;
  std::vector<double> values = {0.0,
                                -0.0,
                                L::infinity(),
                                -L::infinity(),
                                L::quiet_NaN(),
                                -L::quiet_NaN(),
                                L::denorm_min(),
                                L::min(),
                                L::max(),
                                L::epsilon(),
                                0.5,
                                123456.5,
                                123457.5,
                                999999.5,
                                9.999995,
                                0.0001,
                                1.75,
                                22.5225,
                                -1.25,
                                0.47};
  for (int e = -9; e <= 12; ++e) {
    double p = std::pow(10.0, e);
    for (double b : {p, p * 0.9999995, p * 1.0000005}) {
      double v = b;
      for (int i = 0; i < 3; ++i) v = std::nextafter(v, 0.0);
      for (int i = 0; i < 7; ++i, v = std::nextafter(v, L::infinity())) {
        values.push_back(v);
        values.push_back(-v);
      }
    }
  }
  std::mt19937_64 rng(12345);
  for (int i = 0; i < 30000; ++i) {
    uint64_t r = rng();
    // A seven-digit decimal ending in 5 (a tie at six digits) or a
    // neighbour of it.
    double tie = static_cast<double>((1000000 + r % 9000000) / 10 * 10 + 5) *
                 std::pow(10.0, static_cast<int>(r >> 40) % 18 - 13);
    if (r & (1u << 20)) tie = std::nextafter(tie, (r & (1u << 21)) ? 1e300 : -1e300);
    values.push_back(tie);
    // A PDB coordinate and the sizes built from such.
    double x = static_cast<double>(r % 2000000) / 1000.0 - 1000.0;
    values.push_back(x);
    values.push_back(0.25 * (x * x - 2 * 3.24) + 1e-3 * x);
    // Any bit pattern.
    double any;
    std::memcpy(&any, &r, sizeof any);
    values.push_back(any);
    // A binary fraction: an exact decimal tie at some precisions.
    values.push_back(std::ldexp(static_cast<double>(r >> 24 | 1), -static_cast<int>(r % 41)));
  }
  return values;
}

// The report writers promise the bytes of a default-formatted stream, so the
// stream itself is the reference.
TEST(NumberText, MatchesTheDefaultStream) {
  const std::vector<double> values = awkward_values();
  char text[kNumberTextMax];
  for (double v : values)
    ASSERT_EQ(std::string(text, put_general(text, v)), streamed(v)) << std::hexfloat << v;
  for (long long v :
       {0LL, -1LL, 7LL, 99999LL, -2147483648LL, 9223372036854775807LL, -9223372036854775807LL - 1})
    EXPECT_EQ(std::string(text, put_integer(text, v)), streamed(v));
}

// The fixed-width row columns promise printf's bytes.
TEST(NumberText, FixedColumnsMatchPrintf) {
  const std::vector<double> values = awkward_values();
  char text[kFixedTextMax + 64];
  size_t k = 0;
  for (double v : values) {
    for (int precision : {0, 1, 2, 3, 4, 6, 9, 12, 17}) {
      const int width = static_cast<int>(k++ % 14);
      ASSERT_EQ(std::string(text, put_fixed(text, v, width, precision)),
                printed("%*.*f", width, precision, v))
          << std::hexfloat << v << " " << width << "." << precision;
    }
  }
  for (long long v :
       {0LL, -1LL, 9LL, 10LL, 42LL, -999LL, 1000LL, 99999LL, 100000LL, -2147483648LL}) {
    for (int width : {0, 3, 4, 9}) {
      EXPECT_EQ(std::string(text, put_integer(text, v, width)), printed("%*lld", width, v));
      EXPECT_EQ(std::string(text, put_integer_left(text, v, width)), printed("%-*lld", width, v));
    }
  }
  for (const char* s : {"", "CA", "XXX", "HETAT"}) {
    EXPECT_EQ(std::string(text, put_text(text, s, 3)), printed("%3s", s));
    EXPECT_EQ(std::string(text, put_text_left(text, s, 4)), printed("%-4s", s));
  }
}

}  // namespace
