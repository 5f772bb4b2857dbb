#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "support/run.h"
#include "veldrix/io.h"
#include "veldrix/util.h"

using orbmat::matrix;

TEST(PocketFiles, ReadExactlyTheTokensPresent) {
  testrun::TempDir dir;
  const std::string body = "1 2.5 -3 N.x HIS\n4e1   abc 6\tCA D\n";
  testrun::write_file(dir.file("ended"), body);
  testrun::write_file(dir.file("open"), body.substr(0, body.size() - 1));
  for (const char* name : {"ended", "open"}) {
    const std::valarray<double> c = LoadCoordinates(dir.file(name));
    ASSERT_EQ(c.size(), 6u) << name;  // no extra value from a final line end
    EXPECT_EQ(c[3], 40.0);
    EXPECT_EQ(c[4], 0.0);  // not a number
    const std::valarray<std::string> t = LoadAtomTypes(dir.file(name)),
                                     r = LoadResTypes(dir.file(name));
    ASSERT_EQ(t.size(), 2u);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(t[1] + r[1], "CAD");
  }
  // An incomplete last atom shows as counts that do not agree.
  testrun::write_file(dir.file("short"), "1 2 3 C A 4 5 6 N\n");
  EXPECT_EQ(LoadCoordinates(dir.file("short")).size(), 6u);
  EXPECT_EQ(LoadAtomTypes(dir.file("short")).size(), 2u);
  EXPECT_EQ(LoadResTypes(dir.file("short")).size(), 1u);

  testrun::write_file(dir.file("f"), "0.5 2\n3\n");
  EXPECT_EQ(LoadOFreq(dir.file("f"), 99).size(), 3u);
  EXPECT_EQ(LoadOFreq("null", 4).sum(), 4.0);
}

TEST(PocketFilesDeathTest, UnreadableFilesEndTheRunWithFailure) {
  testrun::TempDir dir;
  EXPECT_EXIT(LoadCoordinates(dir.file("missing")), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(LoadAtomTypes(dir.path()), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(LoadOFreq(dir.file("missing"), 3), testing::ExitedWithCode(1), "");

  // Numbers that would turn every result into NaN are refused by file and line.
  testrun::write_file(dir.file("nan"), "0 0 0 N R\n\n1 nan 2 C A\n");
  testrun::write_file(dir.file("huge"), "0 0 0 N R 1 -1e155 2 C A\n");
  testrun::write_file(dir.file("freq"), "1\n0.5 -2\n");
  testrun::write_file(dir.file("inf"), "1\n2\n\ninf\n");
  EXPECT_EXIT(LoadCoordinates(dir.file("nan")), testing::ExitedWithCode(1), "nan line 3: .*nan");
  EXPECT_EXIT(LoadCoordinates(dir.file("huge")), testing::ExitedWithCode(1),
              "huge line 1: .*-1e155");
  EXPECT_EXIT(LoadOFreq(dir.file("freq"), 3), testing::ExitedWithCode(1),
              "freq line 2: .*negative");
  EXPECT_EXIT(LoadOFreq(dir.file("inf"), 3), testing::ExitedWithCode(1), "inf line 4: .*inf");
}

TEST(InitialPairs, DiagonalAndSeedingProgram) {
  matrix<int> s(4, 3, 0);
  matrix<double> none(1, 1, 0.0);
  initializeS(0, s, none, none, "a", "b");
  EXPECT_EQ(s.sum(), 3);
  EXPECT_EQ(s(2, 2), 1);

  testrun::TempDir dir;
  char old[4096];
  ASSERT_TRUE(getcwd(old, sizeof old));
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  // Stand-in for the outside seeding program.
  testrun::write_file("seedmat",
                      "#!/bin/sh\nprintf '%s\\n' \"$1\" \"$2\" > args.txt\n"
                      "echo '0 1'; echo '2 0 9 9 -1 0'; echo '1.7 2.2 1'\n");
  chmod("seedmat", 0755);
  matrix<int> t(3, 3, 0);
  initializeS(1, t, none, none, "pocket one", "it's; rm -rf x");
  EXPECT_EQ(testrun::read_file("args.txt"), "pocket one\nit's; rm -rf x\n");
  EXPECT_EQ(t(0, 1) + t(2, 0) + t(1, 2), 3);  // out-of-range pairs are ignored
  EXPECT_EQ(t.sum(), 3);
  EXPECT_FALSE(testrun::file_exists("seedmat.out"));

  testrun::write_file("seedmat",
                      "#!/bin/sh\necho '0 0'\nexit 3\n");  // a failing seeder changes nothing
  matrix<int> u(2, 2, 0);
  initializeS(1, u, none, none, "a", "b");
  EXPECT_EQ(u.sum(), 0);
  EXPECT_FALSE(testrun::file_exists("seedmat.out"));
  ASSERT_EQ(chdir(old), 0);
}

TEST(PairWeights, LetterBonusesScaledByMeanFrequency) {
  const matrix<double> W =
      modifying_weights({"OD1", "CB", "NZ", "O", "CA"}, {"D", "C", "K", "A", "H"}, {1, 3, 1, 1, 1},
                        {"O", "C", "OG", "N"}, {"DX", "CYS", "S", "W"}, {3, 1, 1, 1});
  ASSERT_EQ(W.rowno(), 5u);
  ASSERT_EQ(W.colno(), 4u);
  EXPECT_DOUBLE_EQ(W(0, 0), 16.0 * 2);  // O/O in D/D, mean frequency 2
  EXPECT_DOUBLE_EQ(W(1, 1), 13.8 * 2);  // C/C in C/C
  EXPECT_DOUBLE_EQ(W(2, 2), 0.9);       // N/O
  EXPECT_DOUBLE_EQ(W(3, 3), 0.9);       // O/N
  EXPECT_DOUBLE_EQ(W(2, 3), 3.0);       // N/N
  EXPECT_DOUBLE_EQ(W(4, 1), 2.8);       // C/C only
  EXPECT_EQ(W(0, 1), 0.0);

  // The earlier command line rewards a residue-letter match with 20.
  const matrix<double> V =
      modifying_weights({"OD1", "CA"}, {"D", "A"}, {1, 1}, {"O", "C"}, {"D", "K"}, {1, 1}, 20);
  EXPECT_DOUBLE_EQ(V(0, 0), 26.0);  // 2 + 1 + 20 + 3
  EXPECT_DOUBLE_EQ(V(1, 1), 2.8);   // C/C, residues differ
  EXPECT_DOUBLE_EQ(V(1, 0), 0.0);
}
