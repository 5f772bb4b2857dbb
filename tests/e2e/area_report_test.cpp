// End-to-end checks of the per-atom area and volume report (letter q).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "support/run.h"

namespace {

using testrun::file_exists;
using testrun::read_file;
using testrun::run_alvex;
using testrun::RunResult;
using testrun::split_lines;
using testrun::TempDir;

int atom_lines(const std::string& pdb) {
  int n = 0;
  for (const std::string& l : split_lines(read_file(pdb))) {
    if (l.compare(0, 6, "ENDMDL") == 0) break;
    if (l.compare(0, 4, "ATOM") == 0) ++n;
  }
  return n;
}

struct Row {
  std::string head;
  std::vector<double> values;
};

// The rows of a report, with their two or four numbers.
std::vector<Row> rows_of(const std::string& text) {
  std::vector<Row> rows;
  for (const std::string& line : split_lines(text)) {
    if (line.empty() || line[0] == '#') continue;
    Row r;
    size_t tab = line.find('\t');
    r.head = line.substr(0, tab);
    while (tab != std::string::npos) {
      size_t next = line.find('\t', tab + 1);
      std::string field =
          line.substr(tab + 1, next == std::string::npos ? std::string::npos : next - tab - 1);
      if (!field.empty()) r.values.push_back(std::strtod(field.c_str(), nullptr));
      tab = next;
    }
    rows.push_back(r);
  }
  return rows;
}

TEST(AreaReport, CheckingReportFormat) {
  TempDir dir;
  RunResult r = run_alvex({"-fq", DATA_DIR, "1ubq.pdb"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(file_exists(dir.file("1ubq.4.contrib")));
  const std::string text = read_file(dir.file("1ubq.4.contrib"));
  std::vector<std::string> lines = split_lines(text);
  ASSERT_GT(lines.size(), 8u);
  EXPECT_EQ(lines[0], "# No cusp correction.");
  EXPECT_EQ(lines[1], "#");
  EXPECT_EQ(lines[2], "#  file: 1ubq,   with solv rad: 1.400000");
  EXPECT_EQ(lines[3], "#  individual area & volume contributions to CHECKING.");
  EXPECT_EQ(lines[4], "#");
  EXPECT_EQ(lines[5], "#                                           Area                    Volume");
  EXPECT_EQ(lines[6], "#\t\t\t       Vert     SA\tMS              SA\tMS");
  EXPECT_EQ(lines[7].substr(0, 39), "ATOM      1  N   MET A   1        1   \t");
  const std::regex row(
      "ATOM  [ 0-9]{5}  .{4}.{3} .[-0-9 ]{4} [ 0-9]{8}   "
      "\t-?[0-9]+\\.[0-9]{4}\t-?[0-9]+\\.[0-9]{4}  \t"
      "-?[0-9]+\\.[0-9]{4}\t-?[0-9]+\\.[0-9]{4}");
  int n = 0;
  for (size_t k = 7; k < lines.size(); ++k) {
    EXPECT_TRUE(std::regex_match(lines[k], row)) << lines[k];
    ++n;
  }
  EXPECT_EQ(n, atom_lines(std::string(DATA_DIR) + "/1ubq.pdb"));
  EXPECT_EQ(text.back(), '\n');

  // The same run again writes the same bytes.
  RunResult again = run_alvex({"-fq", DATA_DIR, "1ubq.pdb"}, dir.path());
  ASSERT_EQ(again.status, 0);
  EXPECT_EQ(read_file(dir.file("1ubq.4.contrib")), text);

  // Totals of the union: area and volume are positive and every atom's
  // SA area is within its sphere.
  double area = 0, volume = 0;
  for (const Row& row : rows_of(text)) {
    ASSERT_EQ(row.values.size(), 4u);
    area += row.values[0];
    volume += row.values[2];
    EXPECT_GE(row.values[0], -1e-4);
  }
  EXPECT_GT(area, 4000);
  EXPECT_LT(area, 6000);
  EXPECT_GT(volume, area);
}

TEST(AreaReport, ReportTypesAndSwitches) {
  TempDir dir;
  struct Case {
    std::string letters, file, cusp_line, title;
  };
  const std::vector<Case> cases = {{"-fq0", "1ubq.0.contrib", "# No cusp correction.",
                                    "#  individual area contributions to TOTAL VOIDS."},
                                   {"-fq1", "1ubq.1.contrib", "# No cusp correction.",
                                    "#  individual area contributions to SPACE FILLING."},
                                   {"-fq2", "1ubq.2.contrib", "# No cusp correction.",
                                    "#  individual area contributions to ENVELOPE."},
                                   {"-fq3", "1ubq.3.contrib", "# No cusp correction.",
                                    "#  individual area contributions to OUTSIDE FRINGE."},
                                   {"-fq6", "1ubq.4.contrib", "# With cusp correction.",
                                    "#  individual area & volume contributions to CHECKING."},
                                   {"-fq16", "1ubq.1.contrib", "# No cusp correction.",
                                    "#  individual area contributions to SPACE FILLING."}};
  std::vector<std::string> texts;
  for (const Case& c : cases) {
    RunResult r = run_alvex({c.letters, DATA_DIR, "1ubq.pdb"}, dir.path());
    ASSERT_EQ(r.status, 0) << c.letters << r.err;
    std::string text = read_file(dir.file(c.file));
    std::vector<std::string> lines = split_lines(text);
    ASSERT_GT(lines.size(), 6u) << c.letters;
    EXPECT_EQ(lines[0], c.cusp_line) << c.letters;
    EXPECT_EQ(lines[3], c.title) << c.letters;
    if (c.file != "1ubq.4.contrib") {
      EXPECT_EQ(lines[5], "#\t\t\t       Vert     SA\tMS ");
    }
    texts.push_back(text);
  }
  // Types 2 and 3 differ only in their title.
  std::vector<std::string> two = split_lines(texts[2]), three = split_lines(texts[3]);
  ASSERT_EQ(two.size(), three.size());
  for (size_t k = 0; k < two.size(); ++k) EXPECT_TRUE(k == 3 || two[k] == three[k]) << two[k];
  // Envelope = space filling less the walls of enclosed voids, per atom.
  std::vector<Row> voids = rows_of(texts[0]), fill = rows_of(texts[1]), env = rows_of(texts[2]);
  ASSERT_EQ(voids.size(), fill.size());
  ASSERT_EQ(env.size(), fill.size());
  for (size_t k = 0; k < fill.size(); ++k) {
    ASSERT_EQ(fill[k].values.size(), 2u);
    for (int c = 0; c < 2; ++c)
      EXPECT_NEAR(env[k].values[c], fill[k].values[c] - voids[k].values[c], 2e-4) << fill[k].head;
  }
}

TEST(AreaReport, ProbeZeroShortNameAndUnwritableFile) {
  TempDir dir;
  testrun::copy_file(std::string(DATA_DIR) + "/1a1p.pdb", dir.file("ab"));
  RunResult r = run_alvex({"-fq1", dir.path(), "ab", "0", "0"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string text = read_file(dir.file("ab.1.contrib"));
  std::vector<std::string> lines = split_lines(text);
  ASSERT_GT(lines.size(), 3u);
  EXPECT_EQ(lines[2], "#  file: ab,   with solv rad: 0.000000");
  // Without a probe the molecular surface is the union itself.
  for (const Row& row : rows_of(text)) {
    ASSERT_EQ(row.values.size(), 2u);
    EXPECT_NEAR(row.values[0], row.values[1], 1.5e-4) << row.head;
  }

  // A report that cannot be created fails the run with status 1.
  ASSERT_EQ(mkdir(dir.file("1a1p.4.contrib").c_str(), 0755), 0);
  RunResult bad = run_alvex({"-fq", DATA_DIR, "1a1p.pdb"}, dir.path());
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("error opening file to write 1a1p.4.contrib\n"), std::string::npos)
      << bad.err;
}

}  // namespace
