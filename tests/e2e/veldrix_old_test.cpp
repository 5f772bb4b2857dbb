// End-to-end runs of veldrix-old: three arguments, the target threshold from
// the command line, no frequencies and no progress log.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/run.h"
#include "support/veldrix_pocket.h"

namespace {

using testpocket::kPocket;
using testpocket::moved;
using testpocket::numbers;

}  // namespace

TEST(VeldrixOldRun, RigidCopyAlignsSilentlyAndLargerSecondPocketSwaps) {
  testrun::TempDir dir;
  const double a = 1.1, c = std::cos(a), s = std::sin(a);
  const double R[3][3] = {{c, -s, 0}, {s, c, 0}, {0, 0, 1}};
  const double shift[3] = {-4, 2.5, 1};
  testrun::write_file(dir.file("p1"), kPocket);
  testrun::write_file(dir.file("p2"), moved(5, R, shift));

  const testrun::RunResult r = testrun::run_veldrix_old({"p1", "p2", "1"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  // Only the summary reaches standard output.
  const std::vector<std::string> out = testrun::split_lines(r.out);
  ASSERT_EQ(out.size(), 1u) << r.out;
  const std::vector<double> sum = numbers(out[0]);
  ASSERT_EQ(sum.size(), 6u);
  EXPECT_EQ(sum[0], 5);
  EXPECT_LT(sum[1], 1e-5);
  EXPECT_EQ(std::vector<double>(sum.begin() + 2, sum.end()), (std::vector<double>{10, 1, 5, 5}));
  EXPECT_EQ(
      testrun::read_file(dir.file("p1_p2.alignment")),
      "0 N:R ** 0 N:R\n1 CA:A ** 1 CA:A\n2 OD1:D ** 2 OD1:D\n3 SG:C ** 3 SG:C\n4 CB:H ** 4 CB:H\n");
  EXPECT_EQ(testrun::read_file(dir.file("p2.eq")), "0\n1\n2\n3\n4\n");
  EXPECT_EQ(testrun::read_file(dir.file("alOrd")), "p1 p2\n");
  const std::vector<double> m = numbers(testrun::read_file(dir.file("rot.dat")));
  ASSERT_EQ(m.size(), 9u);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(m[i], R[i % 3][i / 3], 1e-5) << i;

  // The larger pocket goes first; "switch" is the one line besides the summary.
  testrun::write_file(dir.file("small"), moved(3, R, shift));
  const testrun::RunResult w = testrun::run_veldrix_old({"small", "p1", "1"}, dir.path());
  ASSERT_EQ(w.status, 0) << w.out;
  const std::vector<std::string> wout = testrun::split_lines(w.out);
  ASSERT_EQ(wout.size(), 2u) << w.out;
  EXPECT_EQ(wout[0], "switch");
  const std::vector<double> wsum = numbers(wout[1]);
  ASSERT_EQ(wsum.size(), 6u);
  EXPECT_LT(wsum[1], 1e-5);
  EXPECT_EQ(std::vector<double>({wsum[0], wsum[2], wsum[3], wsum[4], wsum[5]}),
            (std::vector<double>{3, 6, 1, 3, 5}));
  EXPECT_EQ(testrun::read_file(dir.file("alOrd")), "p1 small\n");
  EXPECT_EQ(testrun::read_file(dir.file("p1_small.alignment")),
            "0 N:R ** 0 N:R\n1 CA:A ** 1 CA:A\n2 OD1:D ** 2 OD1:D\n");
}

TEST(VeldrixOldRun, ThirdArgumentIsTheTargetThreshold) {
  // Four atoms fit exactly; the fifth sits 2.5 away from its partner.
  testrun::TempDir dir;
  std::string far = kPocket;
  far.replace(far.find("-0.7"), 4, "1.8");
  testrun::write_file(dir.file("p1"), kPocket);
  testrun::write_file(dir.file("p2"), far);

  // The last stage runs at 1.01458: the far atom stays unpaired.
  const testrun::RunResult tight = testrun::run_veldrix_old({"p1", "p2", "1"}, dir.path());
  ASSERT_EQ(tight.status, 0) << tight.out;
  std::vector<double> sum = numbers(tight.out);
  ASSERT_EQ(sum.size(), 6u);
  EXPECT_EQ(sum[0], 4);
  EXPECT_LT(sum[1], 1e-5);
  EXPECT_EQ(testrun::read_file(dir.file("p2.eq")), "0\n1\n2\n3\n");

  // Aiming at 3 (last stage 3.01458) takes it in.
  const testrun::RunResult loose = testrun::run_veldrix_old({"p1", "p2", "3"}, dir.path());
  ASSERT_EQ(loose.status, 0) << loose.out;
  sum = numbers(loose.out);
  ASSERT_EQ(sum.size(), 6u);
  EXPECT_EQ(sum[0], 5);
  // A translation alone would leave an RMSD of 2.5 * 2 / 5 = 1; the rotation
  // of the best fit does better.
  EXPECT_GT(sum[1], 0.1);
  EXPECT_LT(sum[1], 1.0);
  EXPECT_EQ(testrun::read_file(dir.file("p2.eq")), "0\n1\n2\n3\n4\n");

  // Aiming at -1, the stage at -0.46 pairs nothing: the schedule ends there
  // with the pairing of the stage before.
  const testrun::RunResult below = testrun::run_veldrix_old({"p1", "p2", "-1"}, dir.path());
  ASSERT_EQ(below.status, 0) << below.out;
  sum = numbers(below.out);
  ASSERT_EQ(sum.size(), 6u);
  EXPECT_EQ(sum[0], 4);
  EXPECT_LT(sum[1], 1e-5);
  const std::vector<double> m = numbers(testrun::read_file(dir.file("rot.dat")));
  ASSERT_EQ(m.size(), 9u);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(m[i], i % 4 == 0, 1e-5) << i;
}

TEST(VeldrixOldRun, FailuresEndWithAMessageAndNonZeroStatus) {
  testrun::TempDir dir;
  testrun::write_file(dir.file("p1"), kPocket);
  testrun::write_file(dir.file("torn"), std::string(kPocket) + "1 2 3 C\n");
  const std::vector<std::vector<std::string>> cases = {
      {"p1", "p1"}, {"p1", "nothing", "1"}, {"p1", "torn", "1"}};
  const char* const messages[] = {"usage: veldrix-old pocket1 pocket2 target_lambda\n",
                                  "Could not open nothing", "torn does not hold five tokens"};
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const testrun::RunResult r = testrun::run_veldrix_old(cases[k], dir.path());
    EXPECT_NE(r.status, 0) << k;
    EXPECT_NE(r.err.find(messages[k]), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("VELDRIX: "), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(testrun::file_exists(dir.file("alOrd")));

  // A pocket in a folder: the files are named without it.
  ASSERT_EQ(std::system(("mkdir '" + dir.file("d") + "'").c_str()), 0);
  testrun::write_file(dir.file("d/b"), kPocket);
  const testrun::RunResult r = testrun::run_veldrix_old({"p1", "d/b", "1"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(testrun::file_exists(dir.file("p1_b.alignment")));
  EXPECT_EQ(testrun::read_file(dir.file("b.eq")), "0\n1\n2\n3\n4\n");
}
