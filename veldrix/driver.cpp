// Alternates a least-squares superposition of the paired atoms with a
// thresholded assignment while the distance threshold lambda is lowered
// stage by stage, then writes the pairing, the index lists and the rotation.
#include "veldrix/driver.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <valarray>

#include "veldrix/io.h"
#include "veldrix/lps.h"
#include "veldrix/lss.h"
#include "veldrix/orbmat.h"
#include "veldrix/util.h"

using orbmat::matrix;
using orbmat::uint64;

namespace {

// Every pocket file must hold whole atoms of five tokens, and at least one
// atom: a pocket without atoms has nothing to align.
bool usable_pocket(const std::string& prefix, const std::string& path,
                   const std::valarray<double>& coords, const std::valarray<std::string>& atoms,
                   const std::valarray<std::string>& residues) {
  if (coords.size() != 3 * atoms.size() || atoms.size() != residues.size()) {
    std::cerr << prefix << path << " does not hold five tokens (x y z atomtype restype) per atom"
              << std::endl;
    return false;
  }
  if (atoms.size() == 0) {
    std::cerr << prefix << path << " holds no atom" << std::endl;
    return false;
  }
  return true;
}

void log_frequencies(int which, const std::valarray<double>& f) {
  std::cout << "VELDRIX: ofreq" << which << " loaded" << std::endl;
  for (std::size_t i = 0; i < f.size(); ++i)
    std::cout << "  VELDRIX: " << i << " " << f[i] << std::endl;
}

bool enough_frequencies(const std::string& path, const std::valarray<double>& f, int atoms) {
  if (f.size() >= static_cast<std::size_t>(atoms)) return true;
  std::cerr << "VELDRIX: " << path << " holds " << f.size() << " frequencies for " << atoms
            << " atoms" << std::endl;
  return false;
}

// Output files: a file that cannot be created or written is reported and
// makes the run end with a failure status once everything else is written.
class OutputFile {
 public:
  OutputFile(const std::string& name, bool& failed) : name_(name), failed_(failed), out_(name) {
    if (!out_.is_open()) report();
  }
  std::ofstream& stream() { return out_; }
  void close() {
    if (!out_.is_open()) return;
    out_.close();
    if (out_.fail()) report();
  }

 private:
  void report() {
    std::cerr << "Could not create " << name_ << std::endl;
    failed_ = true;
  }

  std::string name_;
  bool& failed_;
  std::ofstream out_;
};

// The name of a pocket file without its directory part: output files are
// named after it and written into the working directory, so pockets from
// different folders can be aligned.
std::string output_name(const std::string& path) {
  const std::string::size_type slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int align_pockets(const AlignmentSettings& settings, std::string pocket1,
                  const std::string& freqfile1, std::string pocket2, const std::string& freqfile2) {
  const double epsilon = 0.05;
  const double target = settings.target_lambda;
  const double decay = 0.3;
  const double scale = 20.0;
  const double margin = 0.01;
  const bool log = settings.log;
  const std::string prefix = log ? "VELDRIX: " : "";

  if (log)
    std::cout << "VELDRIX: " << pocket1 << " " << freqfile1 << " " << pocket2 << " " << freqfile2
              << std::endl;

  const std::valarray<double> coords1 = LoadCoordinates(pocket1);
  const std::valarray<double> coords2 = LoadCoordinates(pocket2);
  std::valarray<std::string> atoms1 = LoadAtomTypes(pocket1);
  std::valarray<std::string> atoms2 = LoadAtomTypes(pocket2);
  std::valarray<std::string> res1 = LoadResTypes(pocket1);
  std::valarray<std::string> res2 = LoadResTypes(pocket2);
  if (!usable_pocket(prefix, pocket1, coords1, atoms1, res1) ||
      !usable_pocket(prefix, pocket2, coords2, atoms2, res2))
    return 1;

  const int n1 = static_cast<int>(coords1.size() / 3);
  const int n2 = static_cast<int>(coords2.size() / 3);
  std::valarray<double> freq1, freq2;
  if (settings.frequencies) {
    freq1 = LoadOFreq(freqfile1, n1);
    if (log) log_frequencies(1, freq1);
    if (!enough_frequencies(freqfile1, freq1, n1)) return 1;
    freq2 = LoadOFreq(freqfile2, n2);
    if (log) log_frequencies(2, freq2);
    if (!enough_frequencies(freqfile2, freq2, n2)) return 1;
  } else {
    // Every atom counts once: a factor of exactly 1 leaves each weight
    // at its table value.
    freq1.resize(static_cast<std::size_t>(n1), 1.0);
    freq2.resize(static_cast<std::size_t>(n2), 1.0);
  }

  matrix<double> A(n1, 3, coords1);
  matrix<double> B(n2, 3, coords2);
  matrix<int> S(n1, n2, 0);

  // From here on A is the pocket with at least as many atoms.
  if (A.rowno() < B.rowno()) {
    std::cout << "switch" << std::endl;
    std::swap(atoms1, atoms2);
    std::swap(res1, res2);
    const matrix<double> t = A;
    A = B;
    B = t;
    std::swap(pocket1, pocket2);
    std::swap(freq1, freq2);
    S = ~S;
  }
  const uint64 nA = A.rowno(), nB = B.rowno();

  const matrix<double> A0 = A;
  const matrix<double> B0 = B;
  centerAtZero(A);
  centerAtZero(B);
  initializeS(0, S, A, B, pocket1, pocket2);

  const matrix<double> W =
      modifying_weights(atoms1, res1, freq1, atoms2, res2, freq2, settings.residue_bonus);
  if (log) std::cout << "VELDRIX: SET MODIFYING WEIGHTS" << std::endl;

  double lambda = target + scale;
  matrix<double> rotation(3, 3);
  int counter = 0;
  Superimpose(A, B, rotation, S);
  double previous = lambda * lambda * static_cast<double>(nB);
  double delta = 0.0;

  bool paired = true;  // cleared by an assignment that pairs nothing
  while (paired && lambda > target + margin) {
    if (log)
      std::cout << "VELDRIX: aligning... lambda=" << lambda << " target_lambda=" << target
                << std::endl;
    bool first = true;
    while (first || delta >= epsilon) {
      first = false;
      if (log) std::cout << "  VELDRIX: inner" << std::endl;
      const double rmsd = Superimpose(A, B, rotation, S);
      if (log) std::cout << "  VELDRIX: currRMSD=" << rmsd << std::endl;
      const matrix<int> before = S;
      HungarianMethod(S, A, B, lambda, W);
      if (log) std::cout << "  VELDRIX: finish hungarian" << std::endl;
      const int p = S.sum();
      if (p == 0) {
        // No two atoms closer than lambda, and a lower threshold cannot
        // pair more on these coordinates: a fit over no pair would turn
        // everything into NaN.  Keep the pairing these coordinates were
        // fitted with and end the schedule.
        S = before;
        paired = false;
        break;
      }
      const double score = p * lambda * lambda - p * rmsd * rmsd;
      const double d = score - previous;
      if (d > 0)
        delta = epsilon - 1;  // a rising score ends the stage
      else
        delta = -d;
      previous = score;
      if (log)
        std::cout << "VELDRIX: align/inner: deltaRMSD=" << delta << " epsilon=" << epsilon
                  << std::endl;
    }
    lambda = integer_power(decay, counter) * scale + target;
    counter += 1;
  }

  const std::string name1 = output_name(pocket1), name2 = output_name(pocket2);
  std::string eqName2 = name2 + ".eq";
  if (name1 == name2 && pocket1 != pocket2) {
    // Two files of one name from different folders: one index list must
    // not overwrite the other.
    eqName2 = name2 + ".2.eq";
    std::cerr << "Both pockets are named " << name2 << "; the index list of " << pocket2
              << " goes to " << eqName2 << std::endl;
  }
  bool failed = false;
  OutputFile alignment(name1 + "_" + name2 + ".alignment", failed);
  OutputFile eq1(name1 + ".eq", failed);
  OutputFile eq2(eqName2, failed);
  OutputFile order("alOrd", failed);
  order.stream() << pocket1 << " " << pocket2 << std::endl;
  order.close();

  int stars = 0;
  const int* s = S.cdata();
  for (uint64 i = 0; i < S.rowno(); ++i)
    for (uint64 j = 0; j < S.colno(); ++j) {
      if (s[i * S.colno() + j] == 0) continue;
      eq1.stream() << i << std::endl;
      eq2.stream() << j << std::endl;
      const bool sameResidue = first_letter(res1[i]) == first_letter(res2[j]);
      const bool sameAtom = first_letter(atoms1[i]) == first_letter(atoms2[j]);
      stars += sameResidue + sameAtom;
      alignment.stream() << i << " " << atoms1[i] << ":" << res1[i] << " "
                         << (sameResidue ? "*" : " ") << (sameAtom ? "*" : " ") << " " << j << " "
                         << atoms2[j] << ":" << res2[j] << std::endl;
    }
  alignment.close();
  eq1.close();
  eq2.close();

  const int p = S.sum();
  matrix<double> a0 = A0, b0 = B0;
  const double rmsdFinal = Superimpose(a0, b0, rotation, S);
  const uint64 smaller = orbmat::min(nA, nB), larger = orbmat::max(nA, nB);
  std::cout << p << " " << rmsdFinal << " " << stars << " " << static_cast<double>(stars) / (2 * p)
            << " " << smaller << " " << larger << std::endl;

  OutputFile rot("rot.dat", failed);
  for (uint64 i = 0; i < 3; ++i)
    rot.stream() << rotation(i, 0) << " " << rotation(i, 1) << " " << rotation(i, 2) << std::endl;
  rot.close();

  // The summary line is the result: losing it is a failure.
  if (!std::cout.flush()) {
    std::cerr << "Could not write standard output" << std::endl;
    failed = true;
  }
  return failed ? 1 : 0;
}
