// Functional residues read from the file beside a structure.
#include <gtest/gtest.h>

#include "analysis/funres.h"
#include "analysis_fixtures.h"
#include "support/run.h"

namespace {

using testrun::TempDir;
using testrun::write_file;

// Residues 1 .. 5 of two atoms each, and the start map the caller builds:
// a new entry whenever the residue number changes from the previous atom.
struct Residues {
  std::vector<info> atoms;
  std::map<int, int> start;
  explicit Residues(const std::vector<int>& numbers) : atoms(numbers.size()) {
    for (size_t i = 0; i < numbers.size(); ++i) {
      atoms[i].index = static_cast<int>(i);
      atoms[i].residue_number = numbers[i];
      if (i == 0 || numbers[i] != numbers[i - 1]) start[numbers[i]] = static_cast<int>(i);
    }
  }
  std::string flags() const {
    std::string s;
    for (const info& a : atoms) s += a.functional_residue ? '1' : '0';
    return s;
  }
};

TEST(FunctionalResidues, ListedResiduesAreFlagged) {
  TempDir dir;
  Residues r({1, 1, 2, 2, 3, 3, 4, 4, 5, 5});
  write_file(dir.file("1abc.funres"), "2\n\n  \n5 ASP\nASP4\n2\n");
  funresi_read(dir.file("1abc.pdb"), r.atoms, r.start);
  EXPECT_EQ(r.flags(), "0011000011");

  // Flags already set stay; leading blanks and a sign are allowed.
  write_file(dir.file("1abc.funres"), "   +1\n");
  funresi_read(dir.file("1abc.pdb"), r.atoms, r.start);
  EXPECT_EQ(r.flags(), "1111000011");

  // An empty file flags nothing; a long line counts once.
  Residues empty({1, 2, 3});
  write_file(dir.file("e.funres"), "");
  funresi_read(dir.file("e"), empty.atoms, empty.start);
  EXPECT_EQ(empty.flags(), "000");
  write_file(dir.file("e.funres"), "2" + std::string(2000, ' ') + "3\n");
  funresi_read(dir.file("e"), empty.atoms, empty.start);
  EXPECT_EQ(empty.flags(), "010");
}

TEST(FunctionalResidues, NumbersOutsideTheStructure) {
  TempDir dir;
  // Numbering from 10 with a gap: residue 12 runs up to the next residue's
  // first atom, an unknown number flags nothing.
  Residues r({10, 10, 12, 12, 12, 15});
  write_file(dir.file("x.funres"), "12\n99\n-3\n11\n");
  funresi_read(dir.file("x.pdb"), r.atoms, r.start);
  EXPECT_EQ(r.flags(), "001110");
  EXPECT_EQ(r.start.size(), 3u);

  // A missing list flags nothing and says nothing.
  testing::internal::CaptureStderr();
  funresi_read(dir.file("missing.pdb"), r.atoms, r.start);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(r.flags(), "001110");
}

}  // namespace
