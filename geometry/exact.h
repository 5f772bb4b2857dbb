#ifndef GEOMETRY_EXACT_H
#define GEOMETRY_EXACT_H

// Exact signed floating-point number in base 256: the value is
// (sign ? 1 : -1) * sum(digits[i] * 256^(exp + i)), digits least significant
// first. Sums, differences and products are exact; there is no division.
class CExact {
 public:
  char sign = 1;                    // 1: non-negative (zero included), 0: negative
  int len = 0;                      // number of digits; 0 means zero
  int exp = 0;                      // power of 256 of digit 0
  unsigned char* digits = nullptr;  // owned, allocated with new[]

  CExact() = default;
  CExact(const CExact& o);
  CExact(CExact&& o) noexcept;
  ~CExact();
  CExact& operator=(const CExact& o);
  CExact& operator=(CExact&& o) noexcept;

  // Replace the value; any previous digit buffer is released.
  void Init(double x);
  void Init(long n);

  explicit operator double() const;

  CExact operator+(const CExact& o) const;
  CExact operator-(const CExact& o) const;
  CExact operator*(const CExact& o) const;
  CExact& operator+=(const CExact& o);
  CExact& operator-=(const CExact& o);
  CExact& operator*=(const CExact& o);
  CExact operator-() const;

  int CompAbs(const CExact& o) const;
  int Compare(const CExact& o) const;
  bool operator<=(const CExact& o) const { return Compare(o) != 1; }
  bool operator>=(const CExact& o) const { return Compare(o) != -1; }
  bool operator<(const CExact& o) const { return Compare(o) == -1; }
  bool operator>(const CExact& o) const { return Compare(o) == 1; }
  bool operator!=(const CExact& o) const { return Compare(o) != 0; }
  bool operator==(const CExact& o) const { return Compare(o) == 0; }

  // Magnitude kernels: write |a|+|b|, |a|-|b| (needs |a| >= |b|) or |a|*|b|
  // into a new buffer, normalised; signs are ignored.
  void Add(const CExact& a, const CExact& b, int& len, int& exp, unsigned char*& digits) const;
  void Sub(const CExact& a, const CExact& b, int& len, int& exp, unsigned char*& digits) const;
  void Mul(const CExact& a, const CExact& b, int& len, int& exp, unsigned char*& digits) const;

  void Dump() const;

  // -1, 0 or 1.
  int sgn() const { return len == 0 ? 0 : (sign ? 1 : -1); }

 private:
  void release();
  // *this + o, o taken with sign o_sign instead of its own.
  CExact add_signed(const CExact& o, char o_sign) const;
};

#endif
