#include "support/veldrix_pocket.h"

#include <cstdlib>
#include <sstream>

namespace testpocket {

const char* const kPocket =
    "0 0 0 N R\n"
    "1.5 0 0 CA A\n"
    "0 2.1 0.3 OD1 D\n"
    "0.4 0.2 3.3 SG C\n"
    "-1.2 1.1 -0.7 CB H\n";
const double kIdentity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
const double kNoShift[3] = {0, 0, 0};

std::string moved(std::size_t n, const double R[3][3], const double shift[3]) {
  std::istringstream in(kPocket);
  std::ostringstream out;
  out.precision(12);
  double p[3];
  std::string atom, residue;
  for (std::size_t k = 0; k < n && in >> p[0] >> p[1] >> p[2] >> atom >> residue; ++k) {
    for (int i = 0; i < 3; ++i)
      out << R[i][0] * p[0] + R[i][1] * p[1] + R[i][2] * p[2] + shift[i] << " ";
    out << atom << " " << residue << "\n";
  }
  return out.str();
}

std::vector<double> numbers(const std::string& text) {
  std::istringstream in(text);
  std::vector<double> v;
  for (std::string tok; in >> tok;) v.push_back(std::strtod(tok.c_str(), nullptr));
  return v;
}

}  // namespace testpocket
