#include "structure/numformat.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

__extension__ typedef unsigned __int128 Wide;

// Every power of ten below 2^64 (the decade estimate of a value just under
// 1e-5 is -6, which needs 10^11).
const uint64_t kPow10[] = {1ULL,
                           10ULL,
                           100ULL,
                           1000ULL,
                           10000ULL,
                           100000ULL,
                           1000000ULL,
                           10000000ULL,
                           100000000ULL,
                           1000000000ULL,
                           10000000000ULL,
                           100000000000ULL,
                           1000000000000ULL,
                           10000000000000ULL,
                           100000000000000ULL,
                           1000000000000000ULL,
                           10000000000000000ULL,
                           100000000000000000ULL,
                           1000000000000000000ULL,
                           10000000000000000000ULL};

const char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

char* put_exponent(char* out, int e) {
  *out++ = 'e';
  *out++ = e < 0 ? '-' : '+';
  if (e < 0) e = -e;
  if (e >= 100) *out++ = static_cast<char>('0' + e / 100);
  *out++ = static_cast<char>('0' + e / 10 % 10);
  *out++ = static_cast<char>('0' + e % 10);
  return out;
}

// The six significant digits of |v| (normal, 1e-5 <= |v| < 1e9), rounded
// half to even on the exact binary value as printf rounds, and the decimal
// exponent of the first digit.
void six_digits(double v, uint64_t& digits, int& exponent) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  uint64_t m = (bits & ((uint64_t(1) << 52) - 1)) | (uint64_t(1) << 52);
  int binary_exponent = static_cast<int>((bits >> 52) & 0x7ff) - 1023;
  // v = m / 2^shift, and in this range 23 <= shift <= 70.
  int shift = 52 - binary_exponent;
  // floor(log10(2^e)): the decade of v or the one below it.
  int x = (binary_exponent * 78913) >> 18;
  for (;;) {
    // q = floor(v * 10^(5 - x)) = floor(num / den), rem the remainder.
    int k = 5 - x;
    Wide num = m, den, rem;
    uint64_t q;
    if (k >= 0) {
      num *= kPow10[k];
      den = Wide(1) << shift;
      q = static_cast<uint64_t>(num >> shift);
      rem = num & (den - 1);
    } else {
      den = Wide(kPow10[-k]) << shift;
      q = static_cast<uint64_t>(num / den);
      rem = num - Wide(q) * den;
    }
    if (q >= 1000000) {
      ++x;
      continue;
    }
    if (q < 100000) {  // only when a decade bound is passed by rounding
      --x;
      continue;
    }
    Wide twice_rem = 2 * rem;
    if (twice_rem > den || (twice_rem == den && (q & 1))) ++q;
    if (q == 1000000) {
      q = 100000;
      ++x;
    }
    digits = q;
    exponent = x;
    return;
  }
}

// a * 10^precision rounded to an integer, half to even on the exact binary
// value as printf rounds; for 0 <= a < 1e9 and a precision of at most 9, so
// that the result stays below 2^63.
uint64_t fixed_digits(double a, int precision) {
  // Below half a unit of the ninth decimal: zeros and subnormals included.
  if (a < 1e-10) return 0;
  uint64_t bits;
  std::memcpy(&bits, &a, sizeof bits);
  uint64_t m = (bits & ((uint64_t(1) << 52) - 1)) | (uint64_t(1) << 52);
  // a = m / 2^shift with 23 <= shift <= 86 in this range.
  int shift = 52 - (static_cast<int>(bits >> 52) - 1023);
  Wide num = Wide(m) * kPow10[precision];
  uint64_t q = static_cast<uint64_t>(num >> shift);
  Wide rem = num & ((Wide(1) << shift) - 1);
  Wide half = Wide(1) << (shift - 1);
  if (rem > half || (rem == half && (q & 1))) ++q;
  return q;
}

int digit_count(uint64_t u) {
  // floor(log10(2^bits)) from the bit length, then one compare.
  const int t = ((64 - __builtin_clzll(u | 1)) * 1233) >> 12;
  return t + 1 - ((u | 1) < kPow10[t]);
}

// The last n decimal digits of u, zero-filled, ending at end.
void put_digits(char* end, uint64_t u, int n) {
  for (; n >= 2; n -= 2, u /= 100) {
    end -= 2;
    std::memcpy(end, kPairs + 2 * (u % 100), 2);
  }
  if (n > 0) *--end = static_cast<char>('0' + u % 10);
}

// out has room for kNumberTextMax bytes at least, so a short run of blanks
// is one fixed-size store.
char* put_blanks(char* out, int n) {
  if (n <= 0) return out;
  if (n <= 16)
    std::memcpy(out, "                ", 16);
  else
    std::memset(out, ' ', n);
  return out + n;
}

// Blanks before the text up to width columns, then the text.
char* put_right(char* out, const char* text, size_t n, int width) {
  if (static_cast<long>(n) < width) {
    std::memset(out, ' ', width - n);
    out += width - n;
  }
  std::memcpy(out, text, n);
  return out + n;
}

char* put_blanks_after(char* begin, char* end, int width) {
  const int n = width - static_cast<int>(end - begin);
  if (n <= 0) return end;
  // Within the kNumberTextMax bytes from begin when width <= 16.
  if (width <= 16) return put_blanks(end, n);
  std::memset(end, ' ', n);
  return end + n;
}

}  // namespace

char* put_general(char* out, double v) {
  double a = v < 0 ? -v : v;
  if (!(a >= 1e-5 && a < 1e9)) {
    // Zeros, tiny and huge values, infinities and NaN: rare in the reports.
    // to_chars with a precision is printf in the "C" locale, which is what
    // the stream's default float output comes down to.
    return std::to_chars(out, out + kNumberTextMax, v, std::chars_format::general, 6).ptr;
  }
  uint64_t q;
  int x;
  six_digits(v, q, x);
  // Digits two at a time, then the text assembled in fixed-size pieces:
  // out has room for kNumberTextMax bytes, so writing past the text's end
  // is harmless and spares variable-length copies.
  uint32_t q32 = static_cast<uint32_t>(q);
  char d[16] = {};
  std::memcpy(d, kPairs + 2 * (q32 / 10000), 2);
  std::memcpy(d + 2, kPairs + 2 * (q32 / 100 % 100), 2);
  std::memcpy(d + 4, kPairs + 2 * (q32 % 100), 2);
  int last = 5;  // trailing zeros go, as %g drops them
  while (last > 0 && d[last] == '0') --last;
  if (v < 0) *out++ = '-';
  char t[16];
  int n;
  if (x < -4 || x >= 6) {
    t[0] = d[0];
    t[1] = '.';
    std::memcpy(t + 2, d + 1, 8);
    n = last > 0 ? last + 2 : 1;
    std::memcpy(out, t, 8);
    return put_exponent(out + n, x);
  }
  if (x >= 0) {
    std::memcpy(t, d, 8);
    t[x + 1] = '.';
    std::memcpy(t + x + 2, d + x + 1, 8);
    n = last > x ? last + 2 : x + 1;
  } else {
    int zeros = -x - 1;
    std::memcpy(t, "0.000000", 8);
    std::memcpy(t + 2 + zeros, d, 8);
    n = 2 + zeros + last + 1;
  }
  std::memcpy(out, t, 16);
  return out + n;
}

char* put_integer(char* out, long long v) { return put_integer(out, v, 0); }

char* put_text(char* out, const char* text) {
  size_t n = std::strlen(text);
  std::memcpy(out, text, n);
  return out + n;
}

char* put_integer(char* out, long long v, int width) {
  const uint64_t u = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  const int n = digit_count(u);
  out = put_blanks(out, width - n - (v < 0));
  if (v < 0) *out++ = '-';
  put_digits(out + n, u, n);
  return out + n;
}

char* put_integer_left(char* out, long long v, int width) {
  return put_blanks_after(out, put_integer(out, v, 0), width);
}

char* put_text(char* out, const char* text, int width) {
  return put_right(out, text, std::strlen(text), width);
}

char* put_text_left(char* out, const char* text, int width) {
  return put_blanks_after(out, put_text(out, text), width);
}

char* put_fixed(char* out, double v, int width, int precision) {
  double a = v < 0 ? -v : v;
  if (precision <= 9 && a < 1e9) {
    // The common case in integers: the rounded value scaled to an integer,
    // written straight into its place.
    const uint64_t q = fixed_digits(a, precision);
    const uint64_t scale = kPow10[precision];
    const bool negative = std::signbit(v);
    const int n = digit_count(q / scale);
    out = put_blanks(out, width - negative - n - (precision > 0 ? precision + 1 : 0));
    if (negative) *out++ = '-';
    put_digits(out + n, q / scale, n);
    out += n;
    if (precision > 0) {
      *out++ = '.';
      put_digits(out + precision, q % scale, precision);
      out += precision;
    }
    return out;
  }
  // Large values, NaN and the infinities; "-nan" as printf writes it.
  char text[kFixedTextMax];
  char* end = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, precision).ptr;
  return put_right(out, text, static_cast<size_t>(end - text), width);
}
