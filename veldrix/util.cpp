#include "veldrix/util.h"

#include <vector>

std::string first_letter(const std::string& type) { return type.substr(0, 1); }

namespace {

// The first character of a type as a code, with one code (-1) for the
// empty type, so that codes compare as the one-letter strings do.
int letter(const std::string& type) {
  return type.empty() ? -1 : static_cast<unsigned char>(type[0]);
}

}  // namespace

orbmat::matrix<double> modifying_weights(const std::valarray<std::string>& atomA,
                                         const std::valarray<std::string>& resA,
                                         const std::valarray<double>& freqA,
                                         const std::valarray<std::string>& atomB,
                                         const std::valarray<std::string>& resB,
                                         const std::valarray<double>& freqB, double residueBonus) {
  const std::size_t nA = atomA.size(), nB = atomB.size();
  orbmat::matrix<double> W(nA, nB);
  double* w = W.wdata();
  std::vector<int> atomLetterB(nB), resLetterB(nB);
  for (std::size_t j = 0; j < nB; ++j) {
    atomLetterB[j] = letter(atomB[j]);
    resLetterB[j] = letter(resB[j]);
  }
  for (std::size_t i = 0; i < nA; ++i) {
    const int a = letter(atomA[i]);
    const int r = letter(resA[i]);
    for (std::size_t j = 0; j < nB; ++j) {
      const int b = atomLetterB[j];
      const int s = resLetterB[j];
      const double f = (freqA[i] + freqB[j]) / 2;
      double x = 0.0;
      if (a == b) x = 2;
      if (a == 'S' && b == 'S') x += 1;
      if (a == 'C' && b == 'C') x += 0.8;
      if (a == 'N' && b == 'N') x += 1;
      if (a == 'N' && b == 'O') x += 0.9;
      if (a == 'O' && b == 'N') x += 0.9;
      if (a == 'O' && b == 'O') x += 1;
      if (r == s) x += residueBonus;
      if (r == 'H' && s == 'H') x += 4;
      if (r == 'D' && s == 'D') x += 3;
      if (r == 'E' && s == 'E') x += 2;
      if (r == 'S' && s == 'S') x += 1;
      if (r == 'C' && s == 'C') x += 1;
      x *= f;
      w[i * nB + j] = x;
    }
  }
  return W;
}

double integer_power(double x, int n) {
  unsigned int e = n < 0 ? 0u - static_cast<unsigned int>(n) : static_cast<unsigned int>(n);
  double y = (e % 2) ? x : 1.0;
  while (e >>= 1) {
    x = x * x;
    if (e % 2) y = y * x;
  }
  return n < 0 ? 1.0 / y : y;
}
