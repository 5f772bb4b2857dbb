#include "geometry/exact.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// Drop zero digits from the top, then from the bottom (raising the
// exponent); a result without a non-zero digit becomes the canonical zero.
void normalise(int& len, int& exp, unsigned char*& digits) {
  while (len > 0 && digits[len - 1] == 0) --len;
  if (len == 0) {
    delete[] digits;
    digits = nullptr;
    exp = 0;
    return;
  }
  int low = 0;
  while (digits[low] == 0) ++low;
  if (low > 0) {
    std::memmove(digits, digits + low, len - low);
    len -= low;
    exp += low;
  }
}

}  // namespace

void CExact::release() {
  delete[] digits;
  digits = nullptr;
}

CExact::CExact(const CExact& o) : sign(o.sign), len(o.len), exp(o.exp), digits(nullptr) {
  if (len > 0) {
    digits = new unsigned char[len];
    std::memcpy(digits, o.digits, len);
  }
}

CExact::CExact(CExact&& o) noexcept : sign(o.sign), len(o.len), exp(o.exp), digits(o.digits) {
  o.sign = 1;
  o.len = 0;
  o.exp = 0;
  o.digits = nullptr;
}

CExact::~CExact() { delete[] digits; }

CExact& CExact::operator=(const CExact& o) {
  if (this == &o) return *this;
  unsigned char* fresh = nullptr;
  if (o.len > 0) {
    fresh = new unsigned char[o.len];
    std::memcpy(fresh, o.digits, o.len);
  }
  delete[] digits;
  digits = fresh;
  sign = o.sign;
  len = o.len;
  exp = o.exp;
  return *this;
}

CExact& CExact::operator=(CExact&& o) noexcept {
  if (this == &o) return *this;
  delete[] digits;
  sign = o.sign;
  len = o.len;
  exp = o.exp;
  digits = o.digits;
  o.sign = 1;
  o.len = 0;
  o.exp = 0;
  o.digits = nullptr;
  return *this;
}

void CExact::Init(double x) {
  release();
  sign = 1;
  len = 0;
  exp = 0;
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  int E = int((bits >> 52) & 0x7ff);
  if (x == 0.0 || E == 2047) return;
  std::uint64_t m = bits & ((std::uint64_t(1) << 52) - 1);
  sign = (bits >> 63) ? 0 : 1;
  std::uint64_t word;
  if (E >= 1) {
    exp = (E + 1) / 8 - 135;
    int c = (E + 1) % 8;
    word = ((std::uint64_t(1) << 52) + m) << (4 + c);
  } else {
    exp = -135;
    word = m << 6;
  }
  digits = new unsigned char[8];
  for (int i = 0; i < 8; ++i) digits[i] = (unsigned char)(word >> (8 * i));
  len = 8;
  normalise(len, exp, digits);
}

void CExact::Init(long n) {
  release();
  exp = 0;
  len = 0;
  sign = 1;
  if (n == 0) return;
  unsigned long u;
  if (n < 0) {
    sign = 0;
    u = 0UL - (unsigned long)n;
  } else {
    u = (unsigned long)n;
  }
  while ((u & 0xff) == 0) {
    u >>= 8;
    ++exp;
  }
  digits = new unsigned char[8];
  for (int i = 0; i < 8; ++i) digits[i] = (unsigned char)(u >> (8 * i));
  len = 8;
  while (digits[len - 1] == 0) --len;
}

CExact::operator double() const {
  if (len == 0) return 0.0;
  unsigned char top = digits[len - 1];
  int b = 7;
  while (!(top & (1u << b))) --b;
  long E = 8L * (len - 1 + exp) + b + 1023;
  std::uint64_t sbit = sign ? 0 : (std::uint64_t(1) << 63);
  if (E > 2046) {
    std::uint64_t inf = sbit | (std::uint64_t(0x7ff) << 52);
    double r;
    std::memcpy(&r, &inf, sizeof r);
    return r;
  }
  if (E < -111) return sign ? 0.0 : -0.0;
  // The 52 bits that follow the top bit; lower digits are dropped.
  std::uint64_t frac = 0;
  long topbit = 8L * (len - 1) + b;
  for (int k = 1; k <= 52; ++k) {
    long pos = topbit - k;
    frac <<= 1;
    if (pos >= 0 && (digits[pos / 8] >> (pos % 8) & 1)) frac |= 1;
  }
  if (E >= 1) {
    std::uint64_t w = sbit | (std::uint64_t(E) << 52) | frac;
    double r;
    std::memcpy(&r, &w, sizeof r);
    return r;
  }
  std::uint64_t w = sbit | (std::uint64_t(1) << 52) | frac;
  double r;
  std::memcpy(&r, &w, sizeof r);
  // 2^(E-1), with E-1 in [-112, -1]
  double scale = 1.0;
  for (long i = E - 1; i < 0; ++i) scale *= 0.5;
  return r * scale;
}

int CExact::CompAbs(const CExact& o) const {
  if (len == 0) return o.len == 0 ? 0 : -1;
  if (o.len == 0) return 1;
  int ta = exp + len, tb = o.exp + o.len;
  if (ta != tb) return ta > tb ? 1 : -1;
  int i = len - 1, j = o.len - 1;
  for (; i >= 0 && j >= 0; --i, --j) {
    if (digits[i] != o.digits[j]) return digits[i] > o.digits[j] ? 1 : -1;
  }
  if (i < 0 && j < 0) return 0;
  return i < 0 ? -1 : 1;
}

int CExact::Compare(const CExact& o) const {
  if (sign && !o.sign) return 1;
  if (!sign && o.sign) return -1;
  int c = CompAbs(o);
  return sign ? c : -c;
}

void CExact::Add(const CExact& a, const CExact& b, int& rlen, int& rexp, unsigned char*& rd) const {
  int lo = a.exp < b.exp ? a.exp : b.exp;
  int ta = a.exp + a.len, tb = b.exp + b.len;
  int hi = ta > tb ? ta : tb;
  int n = hi - lo + 1;
  unsigned char* out = new unsigned char[n];
  unsigned carry = 0;
  for (int i = 0; i < n; ++i) {
    int pos = lo + i;
    unsigned s = carry;
    int ia = pos - a.exp, ib = pos - b.exp;
    if (ia >= 0 && ia < a.len) s += a.digits[ia];
    if (ib >= 0 && ib < b.len) s += b.digits[ib];
    out[i] = (unsigned char)(s & 0xff);
    carry = s >> 8;
  }
  rlen = n;
  rexp = lo;
  rd = out;
  normalise(rlen, rexp, rd);
}

void CExact::Sub(const CExact& a, const CExact& b, int& rlen, int& rexp, unsigned char*& rd) const {
  int lo = a.exp < b.exp ? a.exp : b.exp;
  int n = a.exp + a.len - lo;
  if (n <= 0) {  // only when a is zero, and then so is b
    rlen = 0;
    rexp = 0;
    rd = nullptr;
    return;
  }
  unsigned char* out = new unsigned char[n];
  int borrow = 0;
  for (int i = 0; i < n; ++i) {
    int pos = lo + i;
    int da = 0, db = 0;
    int ia = pos - a.exp, ib = pos - b.exp;
    if (ia >= 0 && ia < a.len) da = a.digits[ia];
    if (ib >= 0 && ib < b.len) db = b.digits[ib];
    int d = 256 - borrow + da - db;
    out[i] = (unsigned char)(d & 0xff);
    borrow = d < 256 ? 1 : 0;
  }
  rlen = n;
  rexp = lo;
  rd = out;
  normalise(rlen, rexp, rd);
}

void CExact::Mul(const CExact& a, const CExact& b, int& rlen, int& rexp, unsigned char*& rd) const {
  int n = a.len + b.len;
  if (n == 0) {
    rlen = 0;
    rexp = 0;
    rd = nullptr;
    return;
  }
  unsigned char* out = new unsigned char[n];
  std::memset(out, 0, n);
  for (int i = 0; i < a.len; ++i) {
    unsigned carry = 0;
    unsigned ai = a.digits[i];
    for (int j = 0; j < b.len; ++j) {
      unsigned t = out[i + j] + carry + ai * b.digits[j];
      out[i + j] = (unsigned char)(t & 0xff);
      carry = t >> 8;
    }
    out[i + b.len] = (unsigned char)carry;
  }
  rlen = n;
  rexp = a.exp + b.exp;
  rd = out;
  normalise(rlen, rexp, rd);
}

CExact CExact::add_signed(const CExact& o, char o_sign) const {
  CExact r;
  if (o.len == 0) return *this;
  if (len == 0) {
    r = o;
    r.sign = o_sign;
    return r;
  }
  if (sign == o_sign) {
    Add(*this, o, r.len, r.exp, r.digits);
    r.sign = sign;
  } else {
    int c = CompAbs(o);
    if (c == 0) return r;
    if (c > 0) {
      Sub(*this, o, r.len, r.exp, r.digits);
      r.sign = sign;
    } else {
      Sub(o, *this, r.len, r.exp, r.digits);
      r.sign = o_sign;
    }
  }
  if (r.len == 0) r.sign = 1;
  return r;
}

CExact CExact::operator+(const CExact& o) const { return add_signed(o, o.sign); }

CExact CExact::operator-(const CExact& o) const { return add_signed(o, o.sign ? 0 : 1); }

CExact CExact::operator*(const CExact& o) const {
  CExact r;
  if (len == 0 || o.len == 0) return r;
  Mul(*this, o, r.len, r.exp, r.digits);
  r.sign = (sign == o.sign) ? 1 : 0;
  return r;
}

CExact& CExact::operator+=(const CExact& o) { return *this = *this + o; }
CExact& CExact::operator-=(const CExact& o) { return *this = *this - o; }
CExact& CExact::operator*=(const CExact& o) {
  if (len == 0) return *this;
  return *this = *this * o;
}

CExact CExact::operator-() const {
  CExact r(*this);
  if (r.len != 0) r.sign = sign ? 0 : 1;
  return r;
}

void CExact::Dump() const {
  std::printf("%c s:%d e:%d\t", sign ? '+' : '-', len, exp);
  for (int i = 0; i < len; ++i) std::printf(" %02x", digits[i]);
  std::printf("\t%#.18lg\n", double(*this));
}
