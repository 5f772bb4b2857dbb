#include "geometry/inexact.h"

#include <cstdio>

void CInexact::Init(float f) {
  value = f;
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  int ef = int((bits >> 23) & 0xff);
  err = std::ldexp(1.0, ef >= 1 ? ef - 149 : -148);
}

void CInexact::Dump() const { std::printf("%#.18lg\t+-%#.18lg\n", value, err); }
