#include "veldrix/util.h"

std::string first_letter(const std::string& type) { return type.substr(0, 1); }

orbmat::matrix<double> modifying_weights(const std::valarray<std::string>& atomA,
                                         const std::valarray<std::string>& resA,
                                         const std::valarray<double>& freqA,
                                         const std::valarray<std::string>& atomB,
                                         const std::valarray<std::string>& resB,
                                         const std::valarray<double>& freqB, double residueBonus) {
  const std::size_t nA = atomA.size(), nB = atomB.size();
  orbmat::matrix<double> W(nA, nB);
  double* w = W.wdata();
  for (std::size_t i = 0; i < nA; ++i) {
    const std::string a = first_letter(atomA[i]);
    const std::string r = first_letter(resA[i]);
    for (std::size_t j = 0; j < nB; ++j) {
      const std::string b = first_letter(atomB[j]);
      const std::string s = first_letter(resB[j]);
      const double f = (freqA[i] + freqB[j]) / 2;
      double x = 0.0;
      if (a == b) x = 2;
      if (a == "S" && b == "S") x += 1;
      if (a == "C" && b == "C") x += 0.8;
      if (a == "N" && b == "N") x += 1;
      if (a == "N" && b == "O") x += 0.9;
      if (a == "O" && b == "N") x += 0.9;
      if (a == "O" && b == "O") x += 1;
      if (r == s) x += residueBonus;
      if (r == "H" && s == "H") x += 4;
      if (r == "D" && s == "D") x += 3;
      if (r == "E" && s == "E") x += 2;
      if (r == "S" && s == "S") x += 1;
      if (r == "C" && s == "C") x += 1;
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
