#ifndef GEOMETRY_INEXACT_H
#define GEOMETRY_INEXACT_H

#include <cmath>
#include <cstdint>
#include <cstring>

// A double together with an absolute bound on its error. The filtered
// predicates evaluate in this type first and only trust a sign when the
// bound is smaller than the magnitude of the value.
class CInexact {
 public:
  double value = 0.0;
  double err = 0.0;

  CInexact() = default;
  CInexact(double v, double e) : value(v), err(e) {}

  void Init(double v) {
    value = v;
    err = Err();
  }
  void Init(float f);

  // Two units in the last place of `value` (2^-1073 for zero and subnormals).
  double Err() const { return ErrOf(value); }

  static double ErrOf(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    std::uint64_t e = (bits >> 52) & 0x7ff;
    std::uint64_t out;
    if (e >= 52)
      out = (e - 51) << 52;  // 2^(e-1074) as a normal double
    else if (e == 0)
      out = 2;  // 2^-1073
    else
      out = std::uint64_t(1) << e;  // 2^(e-1074) as a subnormal
    double r;
    std::memcpy(&r, &out, sizeof r);
    return r;
  }

  // The sign can be trusted.
  bool certain() const { return err < std::fabs(value); }

  void Dump() const;
};

// Propagation rules; the left operand is written first in every formula.
inline CInexact operator*(const CInexact& a, const CInexact& b) {
  double v = a.value * b.value;
  double e = (std::fabs(a.value) + a.err) * b.err + a.err * std::fabs(b.value);
  double r = CInexact::ErrOf(v);
  return CInexact(v, e > r ? e : r);
}

inline CInexact operator+(const CInexact& a, const CInexact& b) {
  double v = a.value + b.value;
  double e = a.err + b.err;
  double r = CInexact::ErrOf(v);
  return CInexact(v, e > r ? e : r);
}

inline CInexact operator-(const CInexact& a, const CInexact& b) {
  double v = a.value - b.value;
  double e = a.err + b.err;
  double r = CInexact::ErrOf(v);
  return CInexact(v, e > r ? e : r);
}

inline CInexact operator-(const CInexact& a) { return CInexact(-a.value, a.err); }

#endif
