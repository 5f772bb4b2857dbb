// End-to-end checks of the pocket files (letter p).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "support/run.h"

namespace {

using testrun::file_exists;
using testrun::list_dir;
using testrun::read_file;
using testrun::run_alvex;
using testrun::RunResult;
using testrun::TempDir;

const std::vector<std::string> kFiles = {
    "1ubq.alpha.tetra", "1ubq.mouth",           "1ubq.mouthInfo", "1ubq.poc",      "1ubq.poc.pdb",
    "1ubq.pocInfo",     "1ubq.pocInfo.complex", "1ubq.subpoc",    "1ubq.subpocket"};

TEST(PocketCli, WritesNineFilesTheSameWithOrWithoutTheViewerDigit) {
  TempDir a, b;
  RunResult ra = run_alvex({"-fp", DATA_DIR, "1ubq.pdb"}, a.path());
  RunResult rb = run_alvex({"-fp7", DATA_DIR, "1ubq.pdb"}, b.path());
  ASSERT_EQ(ra.status, 0) << ra.err;
  ASSERT_EQ(rb.status, 0) << rb.err;
  EXPECT_EQ(ra.out, "pocket segments judging done!\npockets detection done!\n");
  EXPECT_EQ(rb.out, ra.out);
  std::vector<std::string> sorted = kFiles;
  EXPECT_EQ(list_dir(a.path()), sorted);
  for (const std::string& f : kFiles) {
    EXPECT_FALSE(read_file(a.file(f)).empty()) << f;
    EXPECT_EQ(read_file(a.file(f)), read_file(b.file(f))) << f;
  }
  // A second run overwrites the files with the same bytes.
  std::string before = read_file(a.file("1ubq.subpocket"));
  ASSERT_EQ(run_alvex({"-fp", DATA_DIR, "1ubq.pdb"}, a.path()).status, 0);
  EXPECT_EQ(read_file(a.file("1ubq.subpocket")), before);
  EXPECT_EQ(read_file(a.file("1ubq.pocInfo")).compare(0, 14, "POC: Molecule "), 0);
}

TEST(PocketCli, StructureWithoutPocketsWritesNothing) {
  TempDir dir;
  RunResult r = run_alvex({"-fp", DATA_DIR, "3al1.pdb"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "pocket segments judging done!\npockets detection done!\nNo pocket detected!!\n");
  EXPECT_TRUE(list_dir(dir.path()).empty());
}

TEST(PocketCli, ShrunkenBallsLeaveNoNegativeOrImpossibleVolume) {
  // At alpha -2.5 some balls shrink under the probe and the probe tori of
  // pocket 5 overlap themselves; its volume terms gave Vol_ms -0.06.
  TempDir dir;
  RunResult r = run_alvex({"-fp", DATA_DIR, "1a0q.pdb", "-2.5", "1.4"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream info(read_file(dir.file("1a0q.pocInfo")));
  std::string line;
  std::getline(info, line);
  int rows = 0;
  while (std::getline(info, line)) {
    std::istringstream row(line.substr(5));
    std::string name;
    int number, mouths;
    double area_sa, area_ms, vol_sa, vol_ms;
    ASSERT_TRUE(row >> name >> number >> mouths >> area_sa >> area_ms >> vol_sa >> vol_ms) << line;
    EXPECT_GE(area_sa, 0.0) << line;
    EXPECT_GE(vol_sa, 0.0) << line;
    // A probe reaches only outside the expanded balls (Vol_ms has two decimals).
    EXPECT_GE(vol_ms, vol_sa - 0.005) << line;
    ++rows;
  }
  EXPECT_GT(rows, 5);
}

TEST(PocketCli, UncreatableFileEndsWithStatusOneAfterTheOthers) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.file("1ubq.poc.pdb").c_str(), 0755), 0);
  RunResult r = run_alvex({"-fp", DATA_DIR, "1ubq.pdb"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("error opening file to write 1ubq.poc.pdb\n"), std::string::npos) << r.err;
  for (const std::string& f : kFiles) {
    if (f != "1ubq.poc.pdb") {
      EXPECT_FALSE(read_file(dir.file(f)).empty()) << f;
    }
  }
}

}  // namespace
