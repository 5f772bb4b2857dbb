// End-to-end checks of the alvex command line and the per-structure driver.
#include <gtest/gtest.h>

#include <regex>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include <vector>

#include "support/run.h"

namespace {

using testrun::file_exists;
using testrun::read_file;
using testrun::run_alvex;
using testrun::RunResult;
using testrun::split_lines;
using testrun::TempDir;
using testrun::write_file;

const char kUsage[] =
    "USAGE: command -arguments path filename 5(optional) 1.4(probe radius)\n"
    "   -f: reading a single file\n"
    "   -l: reading a file list, all files must be in the same directory as list\n"
    "   -r: reduced model. Only CA and side-chain center are used for computation\n"
    "   -s: reduced model. Only SC is used for computation\n"
    "   -b: reduced model. Only backbone atoms (CA, C, O, N) are used for computation\n"
    "   -k: reduced model. Only CA is used for computation\n"
    "   -d: print delaunay edges\n"
    "   -a: print alpha edges, alpha = 5...\n"
    "   -c: print contacts, alpha = 5...\n"
    "   -i: print interfacial contacts, alpha = 5, every pairs with different chain id.\n"
    "   -t: print surface atom and surface atom contacts\n"
    "   -u: print protein sequence and mark interface residues\n"
    "   -q: print individual area and volume contribution: 2 additional switch options required:\n"
    "              switch1: 0 for voids\n"
    "                       1 for space filling\n"
    "                       2 for envelope\n"
    "                       3 for outside fringe\n"
    "                       4 for checking (default)\n"
    "              switch2: 5 for no cusp correction (default)\n"
    "                       6 for cusp correction\n"
    "   -p: print surface pockets information: 1 additional switch option required: \n"
    "              switch:  7 for pockets visualized in PyMOL\n"
    "                       8 for pockets not visualized in PyMOL (default)\n"
    "    path: full path of the file, such as /data/structures/set1\n"
    "    5: default cutoff to define alpha contacts. Optional and adjustable.\n"
    "    0: default alpha value for calculation. Optional and adjustable. \n"
    "    A or A|B or AB   \n"
    " NOTE: 'f' and 'l' are exclusive to each other;\n"
    "       One or more of 'd', 'a', 'c' and 'i' can be provide together.\n";

const std::string kAlphaMessage =
    "The alpha value you input has been adjusted to -2.79 by system automatically!\n";

std::string atom_line(int serial, const char* name, const char* res, char chain, int resnum,
                      double x, double y, double z) {
  char buf[100];
  std::snprintf(buf, sizeof buf, "ATOM  %5d  %-3s %3s %c%4d    %8.3f%8.3f%8.3f  1.00 10.00\n",
                serial, name, res, chain, resnum, x, y, z);
  return buf;
}

TEST(CliUsage, TooFewArgumentsPrintUsageAndSucceed) {
  TempDir d;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"-fd"}, {"-fd", d.path()}}) {
    RunResult r = run_alvex(args, d.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, kUsage);
  }
  EXPECT_EQ(split_lines(kUsage).size(), 30u);
  EXPECT_TRUE(testrun::list_dir(d.path()).empty());
}

TEST(CliArguments, AlphaFloorAndLettersWithoutMode) {
  TempDir d;
  // No f or l: nothing to read is a failure.
  RunResult r = run_alvex({"-dc", d.path(), "absent.pdb"}, d.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out + r.err,
            "nothing to read: the letters -dc hold neither f (one structure) nor l (a list of "
            "structures)\n");

  r = run_alvex({"-d", d.path(), "absent.pdb", "-3"}, d.path());
  EXPECT_EQ(r.out, kAlphaMessage);
  r = run_alvex({"-d", d.path(), "absent.pdb", "-2.79", "-1", "A|B"}, d.path());
  EXPECT_EQ(r.out, "");
  r = run_alvex({"-d", d.path(), "absent.pdb", "abc"}, d.path());
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(testrun::list_dir(d.path()).empty());
}

TEST(CliArguments, NonFiniteNumbersAndHugeAlphaAreRefused) {
  TempDir d;
  testrun::copy_file(std::string(DATA_DIR) + "/1a1p.pdb", d.file("1a1p.pdb"));
  const std::vector<std::vector<std::string>> cases = {
      {"-fq", "nan"},        {"-fd", "inf"},    {"-fp", "1", "nan"},
      {"-fq", "1", "1e400"}, {"-fq", "1e300"},  {"-fp", "1e300"},
      {"-fd", "-inf", "1"},  {"-fq", "-1e400"}, {"-fq", "1", "-inf"}};
  const std::vector<std::string> messages = {
      "alpha is not a finite number: nan",
      "alpha is not a finite number: inf",
      "probe radius is not a finite number: nan",
      "probe radius is not a finite number: 1e400",
      "alpha too large for the letters p and q (at most 1e+08): 1e300",
      "alpha too large for the letters p and q (at most 1e+08): 1e300",
      "alpha is not a finite number: -inf",
      "alpha is not a finite number: -1e400",
      "probe radius is not a finite number: -inf"};
  for (size_t k = 0; k < cases.size(); ++k) {
    std::vector<std::string> args = {cases[k][0], d.path(), "1a1p.pdb"};
    args.insert(args.end(), cases[k].begin() + 1, cases[k].end());
    RunResult r = run_alvex(args, d.path());
    EXPECT_EQ(r.status, 1) << k;
    EXPECT_EQ(r.out + r.err, messages[k] + "\n") << k;
  }
  EXPECT_EQ(testrun::list_dir(d.path()), std::vector<std::string>{"1a1p.pdb"});
  // Letters without p or q read no alpha.
  EXPECT_EQ(run_alvex({"-fd", d.path(), "1a1p.pdb", "1e300"}, d.path()).status, 0);
}

TEST(CliFailures, UnreadableInputsEndWithStatusOne) {
  TempDir d;
  RunResult r = run_alvex({"-fd", d.path(), "absent.pdb"}, d.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "failed to open " + d.path() + "/absent.pdb\n");

  r = run_alvex({"-ld", d.path(), "absent.list"}, d.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "error opening file absent.list\n");

  // A directory opens but cannot be read, as structure or as list.
  ASSERT_EQ(mkdir(d.file("sub").c_str(), 0755), 0);
  for (const char* letters : {"-fd", "-ld"}) {
    r = run_alvex({letters, d.path(), "sub"}, d.path());
    EXPECT_EQ(r.status, 1) << letters;
    EXPECT_EQ(r.err, "failed to open " + d.path() + "/sub\n") << letters;
  }

  // A list goes on past a structure it cannot read or use (lines written
  // with CR LF name the same files), and fails at the end.
  write_file(d.file("one.pdb"), atom_line(1, "CA", "GLY", 'A', 1, 0, 0, 0));
  write_file(d.file("none.cif"), "data_none\n_atom_site.id 1\n");
  write_file(d.file("set.list"), "one.pdb\r\nabsent.pdb\r\nnone.cif\r\none.pdb\r\n");
  r = run_alvex({"-ld", d.path(), "set.list"}, d.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, d.path() + "/one has no delaunay edges\nfailed to open " + d.path() +
                       "/absent.pdb\nno atoms read from " + d.path() + "/none.cif\n" + d.path() +
                       "/one has no delaunay edges\n");
}

TEST(CliFailures, UnwritableOutputsAreReportedAndTheRunGoesOn) {
  TempDir in, work;
  for (const char* name : {"aaaa.pdb", "bbbb.pdb"})
    testrun::copy_file(std::string(DATA_DIR) + "/1a1p.pdb", in.file(name));
  write_file(in.file("set.list"), "aaaa.pdb\nbbbb.pdb\n");
  // A full disk under one edge file, a directory in the way of one pocket file.
  ASSERT_EQ(symlink("/dev/full", in.file("aaaa.del.edges").c_str()), 0);
  ASSERT_EQ(mkdir(work.file("aaaa.poc").c_str(), 0755), 0);
  RunResult r = run_alvex({"-ldpq", in.path(), "set.list"}, work.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("error writing file " + in.path() +
                        "/aaaa.del.edges\nerror opening file to write aaaa.poc\n"
                        "[0-9]+ seconds for " +
                        in.path() + "/aaaa\n[0-9]+ seconds for " + in.path() + "/bbbb\n")))
      << r.err;
  for (const char* f : {"aaaa.poc.pdb", "aaaa.4.contrib", "bbbb.poc", "bbbb.4.contrib"})
    EXPECT_FALSE(read_file(work.file(f)).empty()) << f;
  EXPECT_FALSE(read_file(in.file("bbbb.del.edges")).empty());

  // Standard output on a full disk.
  r = testrun::run_program(
      "/bin/sh",
      {"-c", std::string("exec '") + ALVEX_BIN + "' -fp '" + in.path() + "' bbbb.pdb >/dev/full"},
      work.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("error writing standard output\n"), std::string::npos) << r.err;
}

TEST(CliPipeline, StructuresWithoutEdgesAreReportedAndSkipped) {
  TempDir d;
  write_file(d.file("one.pdb"), atom_line(1, "CA", "GLY", 'A', 1, 0, 0, 0));
  write_file(d.file("none.pdb"), "REMARK no atoms\n");
  // f wins over l; the list lines are taken whole.
  RunResult r = run_alvex({"-lfdacitu", d.path(), "one.pdb"}, d.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, d.path() + "/one has no delaunay edges\n");
  write_file(d.file("set.list"), "one.pdb\nnone.pdb");
  r = run_alvex({"-ld", d.path() + "/", "set.list"}, d.path());
  EXPECT_EQ(r.status, 1);  // a file without atoms is no structure
  EXPECT_EQ(r.err, d.path() + "//one has no delaunay edges\nno atoms read from " + d.path() +
                       "//none.pdb\n");
  EXPECT_EQ(testrun::list_dir(d.path()),
            (std::vector<std::string>{"none.pdb", "one.pdb", "set.list"}));
}

TEST(CliPipeline, SideChainModelIsWrittenBeforeTheEdges) {
  TempDir d;
  // One alanine: the side-chain model leaves a single bead, so no edge.
  std::string pdb = atom_line(1, "N", "ALA", 'A', 1, 0, 0, 0) +
                    atom_line(2, "CA", "ALA", 'A', 1, 1.5, 0, 0) +
                    atom_line(3, "CB", "ALA", 'A', 1, 2, 1.5, 0);
  write_file(d.file("ala.pdb"), pdb);
  RunResult r = run_alvex({"-fsd", d.path(), "ala.pdb"}, d.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, d.path() + "/ala.SC has no delaunay edges\n");
  EXPECT_EQ(read_file(d.file("ala.SC.pdb")),
            "ATOM      1  SC  ALA A   1       2.000   1.500   0.000\n");
  // The reduced models take priority r, k, b, s: only one applies.
  r = run_alvex({"-fsbd", d.path(), "ala.pdb"}, d.path());
  EXPECT_NE(r.err.find(d.path() + "/ala.BB"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(".SC"), std::string::npos) << r.err;
}

TEST(CliPipeline, ListModeRunsEachLineAndNamesFilesFromIt) {
  TempDir in, work;
  ASSERT_EQ(mkdir(in.file("sub").c_str(), 0755), 0);
  for (const char* name : {"aaaa.pdb", "bbbb.pdb", "sub/aaaa_B.pdb", "sub/p.pdb"})
    testrun::copy_file(std::string(DATA_DIR) + "/1a1p.pdb", in.file(name));
  // Blank lines name no structure.
  write_file(in.file("set.list"), "bbbb.pdb\n\naaaa.pdb\n \nsub/aaaa_B.pdb\nsub/p.pdb\n");
  RunResult r = run_alvex({"-ldq", in.path(), "set.list"}, work.path());
  ASSERT_EQ(r.status, 0) << r.err;
  // One timing line per structure, in line order; a second structure of one
  // PDB code does not overwrite the first one's area report.
  const std::string time = "[0-9]+ seconds for " + in.path();
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex(time + "/bbbb\n" + time + "/aaaa\n" +
                        "aaaa.4.contrib holds an earlier structure of this run: sub/aaaa_B.pdb "
                        "goes to aaaa_B.4.contrib\n" +
                        time + "/sub/aaaa_B\n" + time + "/sub/p\n")))
      << r.err;
  // Edge files lie beside the input, the area files in the working directory,
  // named from the PDB code without directory and extension.
  for (const char* stem : {"aaaa", "bbbb"}) {
    EXPECT_TRUE(file_exists(in.file(std::string(stem) + ".del.edges"))) << stem;
    EXPECT_TRUE(file_exists(work.file(std::string(stem) + ".4.contrib"))) << stem;
  }
  EXPECT_EQ(testrun::list_dir(work.path()),
            (std::vector<std::string>{"aaaa.4.contrib", "aaaa_B.4.contrib", "bbbb.4.contrib",
                                      "p.4.contrib"}));
  EXPECT_EQ(read_file(in.file("aaaa.del.edges")), read_file(in.file("bbbb.del.edges")));
  EXPECT_EQ(split_lines(read_file(work.file("aaaa_B.4.contrib")))[2],
            "#  file: aaaa_B,   with solv rad: 1.400000");
  EXPECT_EQ(split_lines(read_file(work.file("p.4.contrib")))[2],
            "#  file: p,   with solv rad: 1.400000");
}

TEST(CliPipeline, TimingLineAndDelaunayEdges) {
  TempDir d;
  testrun::copy_file(std::string(DATA_DIR) + "/1ubq.pdb", d.file("1ubq.pdb"));
  RunResult r = run_alvex({"-fd", d.path(), "1ubq.pdb"}, d.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(std::regex_match(r.err, std::regex("[0-9]+ seconds for " + d.path() + "/1ubq\n")))
      << r.err;
  std::vector<std::string> lines = split_lines(read_file(d.file("1ubq.del.edges")));
  ASSERT_GT(lines.size(), 602u);
  std::regex edge("[A-Z*]:-?\\d+:\\w+:\\d+:\\w+ [A-Z*]:-?\\d+:\\w+:\\d+:\\w+ \\S+ \\S+");
  for (const std::string& l : lines) ASSERT_TRUE(std::regex_match(l, edge)) << l;
}

TEST(CliPipeline, LetterOrderDoesNotChangeOutputs) {
  TempDir one, two;
  for (const TempDir* d : {&one, &two})
    testrun::copy_file(std::string(DATA_DIR) + "/1ubq.pdb", d->file("1ubq.pdb"));
  RunResult a = run_alvex({"-fdc", one.path(), "1ubq.pdb"}, one.path());
  RunResult b = run_alvex({"-fcd", two.path(), "1ubq.pdb"}, two.path());
  EXPECT_EQ(a.out, b.out);
  for (const char* ext : {".del.edges", ".contacts"})
    EXPECT_EQ(read_file(one.file(std::string("1ubq") + ext)),
              read_file(two.file(std::string("1ubq") + ext)))
        << ext;
}

}  // namespace
