// End-to-end runs of the veldrix program on small pockets.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "support/run.h"
#include "support/veldrix_pocket.h"

namespace {

using testpocket::numbers;
const auto& kI = testpocket::kIdentity;
const auto& kZero = testpocket::kNoShift;

using testpocket::moved;

std::vector<double> summary(const testrun::RunResult& r) {
  return numbers(testrun::split_lines(r.out).back());
}

}  // namespace

TEST(VeldrixRun, RigidCopyAlignsEveryAtomAndReportsTheInverseRotation) {
  testrun::TempDir dir;
  const double a = 0.8, c = std::cos(a), s = std::sin(a);
  const double R[3][3] = {{c, 0, s}, {0, 1, 0}, {-s, 0, c}};
  const double shift[3] = {3, -1, 7.5};
  testrun::write_file(dir.file("p1"), moved(5, kI, kZero));
  testrun::write_file(dir.file("p2"), moved(5, R, shift));

  const testrun::RunResult r = testrun::run_veldrix({"p1", "null", "p2", "null"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  const std::vector<std::string> log = testrun::split_lines(r.out);
  ASSERT_GE(log.size(), 20u);
  EXPECT_EQ(log[0], "VELDRIX: p1 null p2 null");
  EXPECT_EQ(log[2], "  VELDRIX: 0 1");
  EXPECT_EQ(log[7], "VELDRIX: ofreq2 loaded");
  EXPECT_EQ(log[13], "VELDRIX: SET MODIFYING WEIGHTS");
  EXPECT_EQ(log[15], "  VELDRIX: inner");
  EXPECT_EQ(log[17], "  VELDRIX: finish hungarian");
  std::string stages;
  for (const std::string& l : log)
    if (l.rfind("VELDRIX: aligning... lambda=", 0) == 0)
      stages += l.substr(28, l.find(' ', 28) - 28) + ",";
  EXPECT_EQ(stages, "21,21,7,2.8,1.54,1.162,1.0486,1.01458,");

  const std::vector<double> sum = summary(r);
  ASSERT_EQ(sum.size(), 6u);
  EXPECT_EQ(sum[0], 5);
  EXPECT_LT(sum[1], 1e-5);
  EXPECT_EQ(std::vector<double>(sum.begin() + 2, sum.end()), (std::vector<double>{10, 1, 5, 5}));
  EXPECT_EQ(
      testrun::read_file(dir.file("p1_p2.alignment")),
      "0 N:R ** 0 N:R\n1 CA:A ** 1 CA:A\n2 OD1:D ** 2 OD1:D\n3 SG:C ** 3 SG:C\n4 CB:H ** 4 CB:H\n");
  EXPECT_EQ(testrun::read_file(dir.file("p1.eq")), "0\n1\n2\n3\n4\n");
  EXPECT_EQ(testrun::read_file(dir.file("p2.eq")), "0\n1\n2\n3\n4\n");
  EXPECT_EQ(testrun::read_file(dir.file("alOrd")), "p1 p2\n");
  const std::vector<double> m = numbers(testrun::read_file(dir.file("rot.dat")));
  ASSERT_EQ(m.size(), 9u);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(m[i], R[i % 3][i / 3], 1e-5) << i;

  // A mirror copy is a different molecule: a proper rotation, and a real RMSD.
  const double M[3][3] = {{1, 0, 0}, {0, -1, 0}, {0, 0, 1}};
  testrun::write_file(dir.file("p2"), moved(5, M, shift));
  const testrun::RunResult mr = testrun::run_veldrix({"p1", "null", "p2", "null"}, dir.path());
  ASSERT_EQ(mr.status, 0);
  EXPECT_GT(summary(mr)[1], 0.1);
  const std::vector<double> q = numbers(testrun::read_file(dir.file("rot.dat")));
  EXPECT_NEAR(q[0] * (q[4] * q[8] - q[5] * q[7]) - q[1] * (q[3] * q[8] - q[5] * q[6]) +
                  q[2] * (q[3] * q[7] - q[4] * q[6]),
              1.0, 1e-4);
}

TEST(VeldrixRun, LargerSecondPocketSwapsRolesAndUnequalTypesLoseStars) {
  testrun::TempDir dir;
  std::string small = moved(3, kI, kZero);
  small.replace(small.find("CA"), 2, "NE");  // atom letter differs
  small.replace(small.find("D\n"), 1, "E");  // residue letter differs
  testrun::write_file(dir.file("small"), small);
  testrun::write_file(dir.file("big"), moved(5, kI, kZero));
  testrun::write_file(dir.file("fsmall"), "0.5 0.25 2\n");
  testrun::write_file(dir.file("fbig"), "1 1 1 1 1 9\n");  // a spare value is allowed

  const testrun::RunResult r = testrun::run_veldrix({"small", "fsmall", "big", "fbig"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  const std::vector<std::string> log = testrun::split_lines(r.out);
  EXPECT_EQ(log[3], "  VELDRIX: 1 0.25");
  EXPECT_EQ(log[11], "  VELDRIX: 5 9");
  EXPECT_EQ(log[12], "switch");
  EXPECT_EQ(testrun::read_file(dir.file("alOrd")), "big small\n");
  EXPECT_EQ(testrun::read_file(dir.file("big_small.alignment")),
            "0 N:R ** 0 N:R\n1 CA:A *  1 NE:A\n2 OD1:D  * 2 OD1:E\n");
  EXPECT_EQ(testrun::read_file(dir.file("small.eq")), "0\n1\n2\n");
  const std::vector<double> sum = summary(r);
  ASSERT_EQ(sum.size(), 6u);
  EXPECT_EQ(sum[0], 3);
  EXPECT_EQ(sum[2], 4);
  EXPECT_NEAR(sum[3], 4.0 / 6, 1e-6);
  EXPECT_EQ(sum[4] * 10 + sum[5], 35);
}

TEST(VeldrixRun, FailuresEndWithAMessageAndNonZeroStatus) {
  testrun::TempDir dir;
  const std::string p = moved(5, kI, kZero);
  testrun::write_file(dir.file("p1"), p);
  testrun::write_file(dir.file("torn"), p + "1 2 3 C\n");
  testrun::write_file(dir.file("few"), "1 1 1 1\n");
  testrun::write_file(dir.file("empty"), "\n");
  const std::vector<std::vector<std::string>> cases = {
      {"p1", "null", "p1"},           {"p1", "null", "nothing", "null"},
      {"p1", "nofreq", "p1", "null"}, {"p1", "null", "torn", "null"},
      {"p1", "few", "p1", "null"},    {"p1", "null", "empty", "null"}};
  const char* const messages[] = {
      "usage: veldrix",     "Could not open nothing", "Could not open nofreq", "torn", "few",
      "empty holds no atom"};
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const testrun::RunResult r = testrun::run_veldrix(cases[k], dir.path());
    EXPECT_NE(r.status, 0) << k;
    EXPECT_NE(r.err.find(messages[k]), std::string::npos) << r.err;
  }
  EXPECT_FALSE(testrun::file_exists(dir.file("alOrd")));

  // An output file that cannot be created is reported; the rest is still
  // written.
  ASSERT_EQ(system(("mkdir '" + dir.file("p1_p1.alignment") + "'").c_str()), 0);
  const testrun::RunResult r = testrun::run_veldrix({"p1", "null", "p1", "null"}, dir.path());
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.err, "Could not create p1_p1.alignment\n");
  EXPECT_EQ(testrun::read_file(dir.file("p1.eq")), "0\n1\n2\n3\n4\n");
  EXPECT_EQ(summary(r).size(), 6u);
  EXPECT_EQ(testrun::split_lines(testrun::read_file(dir.file("rot.dat"))).size(), 3u);
  ASSERT_EQ(system(("rmdir '" + dir.file("p1_p1.alignment") + "'").c_str()), 0);

  // The summary is the result: a standard output that takes nothing fails the run.
  const int full = system(
      ("cd '" + dir.path() + "' && '" VELDRIX_BIN "' p1 null p1 null >/dev/full 2>err").c_str());
  EXPECT_EQ(WEXITSTATUS(full), 1);
  EXPECT_EQ(testrun::read_file(dir.file("err")), "Could not write standard output\n");
}

TEST(VeldrixRun, PocketsFromTwoFoldersAlignIntoTheWorkingDirectory) {
  testrun::TempDir dir;
  const std::string p = moved(5, kI, kZero);
  ASSERT_EQ(system(("mkdir '" + dir.file("d1") + "' '" + dir.file("d2") + "'").c_str()), 0);
  testrun::write_file(dir.file("d1/a"), p);
  testrun::write_file(dir.file("d2/b"), moved(4, kI, kZero));
  testrun::write_file(dir.file("d2/a"), moved(4, kI, kZero));
  const testrun::RunResult r = testrun::run_veldrix({"d2/b", "null", "d1/a", "null"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testrun::read_file(dir.file("alOrd")), "d1/a d2/b\n");
  EXPECT_EQ(testrun::read_file(dir.file("a_b.alignment")).substr(0, 15), "0 N:R ** 0 N:R\n");
  EXPECT_EQ(testrun::read_file(dir.file("a.eq")), "0\n1\n2\n3\n");
  EXPECT_EQ(testrun::read_file(dir.file("b.eq")), "0\n1\n2\n3\n");

  // One name in two folders: both index lists are kept.
  const testrun::RunResult same =
      testrun::run_veldrix({"d1/a", "null", "d2/a", "null"}, dir.path());
  ASSERT_EQ(same.status, 0) << same.err;
  EXPECT_NE(same.err.find("a.2.eq"), std::string::npos);
  EXPECT_EQ(testrun::read_file(dir.file("a.eq")), "0\n1\n2\n3\n");
  EXPECT_EQ(testrun::read_file(dir.file("a.2.eq")), "0\n1\n2\n3\n");
  EXPECT_TRUE(testrun::file_exists(dir.file("a_a.alignment")));
}
