// The pocket report files: exact row formats and orders, and what happens
// when a file cannot be created.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "pockets/pseudoatoms.h"
#include "pockets/reports.h"
#include "structure/output.h"
#include "support/hand_complex.h"
#include "support/run.h"

namespace {

using testrun::read_file;
using testrun::TempDir;

info atom(int serial, const char* name, const char* residue, char chain, int number) {
  info a;
  a.serial = serial;
  std::strcpy(a.atom_name, name);
  std::strcpy(a.residue_name, residue);
  a.chain_id = chain;
  a.residue_number = number;
  a.x = 30.211;
  a.y = 33.394;
  a.z = -14.3;
  a.bfactor = 5.28;
  return a;
}

TEST(PocketReports, BaseNameStopsBeforeTheFirstPdb) {
  EXPECT_EQ(pocket_base_name("1abc.pdb"), "1abc");
  EXPECT_EQ(pocket_base_name("model"), "model");
  EXPECT_EQ(pocket_base_name("x.pdb.pdb"), "x");
  EXPECT_EQ(pocket_base_name("run/2jo4.pdb.gz"), "run/2jo4");
}

TEST(PocketReports, AtomRowsCarryOneRowPerPocketOrSubpocket) {
  TempDir dir;
  std::vector<info> atoms = {atom(100, "CA", "GLY", 'A', 12), atom(101, "OD1", "ASP", 'B', 7)};
  atoms[0].marks[MARK_POCKET] = true;
  atoms[0].pocket_numbers = {1, 3};
  sub_id s1, s3;
  s1.pocket = 1;
  s1.subpockets = {0, 2};
  s3.pocket = 3;
  s3.subpockets = {10};
  atoms[0].sub_ids = {s1, s3};
  atoms[1].pocket_numbers = {2};  // no pocket mark: not written
  atoms[1].marks[MARK_MOUTH] = true;
  atoms[1].mouth_ids = {2, 4};

  ASSERT_TRUE(write_poc(dir.file("a.poc"), atoms));
  EXPECT_EQ(read_file(dir.file("a.poc")),
            "ATOM    100  CA  GLY A  12      30.211  33.394 -14.300  1.00  5.28   1  POC\n"
            "ATOM    100  CA  GLY A  12      30.211  33.394 -14.300  1.00  5.28   3  POC\n");
  ASSERT_TRUE(write_subpoc(dir.file("a.subpoc"), atoms));
  EXPECT_EQ(read_file(dir.file("a.subpoc")),
            "ATOM    100  CA  GLY A  12      30.211  33.394 -14.300  1.00  5.28     1.0  POC\n"
            "ATOM    100  CA  GLY A  12      30.211  33.394 -14.300  1.00  5.28     1.2  POC\n"
            "ATOM    100  CA  GLY A  12      30.211  33.394 -14.300  1.00  5.28    3.10  POC\n");
  // Mouth rows are numbered by the atom's place in the list, not its serial.
  ASSERT_TRUE(write_mouth(dir.file("a.mouth"), atoms));
  EXPECT_EQ(read_file(dir.file("a.mouth")),
            "ATOM      2  OD1 ASP B   7      30.211  33.394 -14.300  1.00  5.28   2  M4P\n"
            "ATOM      2  OD1 ASP B   7      30.211  33.394 -14.300  1.00  5.28   4  M4P\n");
}

// Pockets A (2 tetrahedra, 2 sub-pockets) and B (1 tetrahedron): B ranks 1.
struct Ranked : ::testing::Test {
  HandComplex c{6, {{0, 1, 2, 3}, {1, 2, 3, 4}, {1, 2, 4, 5}}};
  std::vector<pocket> pockets = std::vector<pocket>(2);
  std::vector<mouth> mouths = std::vector<mouth>(2);
  TempDir dir;

  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      c.tetras[i].center[0] = i + 0.5;
      c.tetras[i].center[1] = -1.25;
      c.tetras[i].center[2] = 100.0;
      c.tetras[i].signed_size = 0.25 * (i + 1);
    }
    pockets[0].tetrahedra = {&c.tetras[1], &c.tetras[0]};
    pockets[1].tetrahedra = {&c.tetras[2]};
    for (int i = 0; i < 2; ++i) {
      auto s = std::make_shared<subpocket>();
      s->tetrahedra = {&c.tetras[i]};
      s->type = 1 + i;
      pockets[0].subpockets.push_back(s);
    }
    auto knot = std::make_shared<mouth>();
    knot->triangles = {c.face(1, 2, 3)};
    c.face(1, 2, 3)->signed_size = 0.5;
    pockets[0].subpockets[0]->knot_tops = {knot, knot};
    pockets[0].subpockets[0]->knot_partners = {1, 0};
    pockets[1].subpockets.push_back(std::make_shared<subpocket>());
    number_pockets(pockets);
    c.tetras[0].pocket_number = c.tetras[1].pocket_number = 2;
    c.tetras[2].pocket_number = 1;
    c.tetras[0].subpocket_index = 1;
  }
};

TEST_F(Ranked, PseudoAtomsFollowRankAndTetrahedronOrder) {
  pocketsnegativeimage(c.atoms, pockets, 0, 2.8, 0.0);
  ASSERT_EQ(pockets[0].pseudo_atoms.size(), 2u);
  EXPECT_EQ(pockets[0].pseudo_atoms[0].index, 2);  // the first tetrahedron of A
  EXPECT_EQ(pockets[0].pseudo_atoms[0].radius, 1.88);
  EXPECT_EQ(pockets[0].pseudo_atoms[1].pocket_numbers, (std::vector<int>{2, 1}));
  ASSERT_TRUE(write_poc_pdb(dir.file("a.poc.pdb"), pockets));
  EXPECT_EQ(read_file(dir.file("a.poc.pdb")),
            "ATOM      1  CA  XXX X   1       2.500  -1.250 100.000  1.00  1.88     1.0  POC\n"
            "ATOM      1  CA  XXX X   1       1.500  -1.250 100.000  1.00  1.88     2.0  POC\n"
            "ATOM      2  CA  XXX X   2       0.500  -1.250 100.000  1.00  1.88     2.1  POC\n");
}

TEST_F(Ranked, TetrahedronTablesListPocketsByRankAndTheComplexByPlace) {
  ASSERT_TRUE(write_poc_info_complex(dir.file("a.pocInfo.complex"), pockets, 0.0));
  EXPECT_EQ(read_file(dir.file("a.pocInfo.complex")),
            "#POC     V1       V2       V3       V4       alphavalue\n"
            "#initial alpha value: 0.000000\n"
            "1         101      102      104      105   0.7500\n"
            "2         101      102      103      104   0.5000\n"
            "2         100      101      102      103   0.2500\n");
  c.tetras[1].in_complex = true;
  ASSERT_TRUE(write_alpha_tetra(dir.file("a.alpha.tetra"), c.tetras, -1.5));
  EXPECT_EQ(read_file(dir.file("a.alpha.tetra")),
            "#TET     V1       V2       V3       V4       alphavalue\n"
            "#initial alpha value: -1.500000\n"
            "2         101      102      103      104   0.5000\n");
}

TEST_F(Ranked, SummaryTables) {
  mouths[1].opening_count = 3;
  mouths[1].area_sa = 12.3456;
  mouths[1].area_ms = 7.891;
  mouths[1].length_sa = 4.5;
  mouths[1].length_ms = 3.25;
  mouths[1].triangle_count = 9;
  pockets[0].area_sa = 1.5;
  pockets[0].volume_ms = 2000.126;
  pockets[0].length = 3.0;
  pockets[0].cnr = 4;
  ASSERT_TRUE(write_mouth_info(dir.file("a.mouthInfo"), "1abc", mouths));
  EXPECT_EQ(read_file(dir.file("a.mouthInfo")),
            "MTH: Molecule ID N_mth  Area_sa  Area_ms   Len_sa   Len_ms   Ntri\n"
            "MTH: 1abc   1   0     0.000     0.00     0.000     0.00     0\n"
            "MTH: 1abc   2   3    12.346     7.89     4.500     3.25     9\n");
  ASSERT_TRUE(write_poc_info(dir.file("a.pocInfo"), "1abc", pockets, mouths));
  EXPECT_EQ(read_file(dir.file("a.pocInfo")),
            "POC: Molecule ID N_mth  Area_sa  Area_ms   Vol_sa   Vol_ms    Lenth  cnr\n"
            "POC: 1abc      1   0     0.000     0.00     0.000     0.00     0.00    0\n"
            "POC: 1abc      2   3     1.500     0.00     0.000  2000.13     3.00    4\n");
}

TEST_F(Ranked, OverflowingValuesKeepTheirColumns) {
  // A value that fills its width gets a blank before it.
  pockets[0].area_sa = 36378.935;
  pockets[0].area_ms = 45691.84;
  pockets[0].volume_sa = 93291.05;
  pockets[0].volume_ms = 149523.37;
  pockets[0].length = 25065.73;
  pockets[0].cnr = 10625;
  ASSERT_TRUE(write_poc_info(dir.file("a.pocInfo"), "1abc", pockets, mouths));
  EXPECT_EQ(testrun::split_lines(read_file(dir.file("a.pocInfo")))[2],
            "POC: 1abc      2   0 36378.935 45691.84 93291.050 149523.37 25065.73 10625");
  c.tetras[2].signed_size = -12345.6789;
  ASSERT_TRUE(write_poc_info_complex(dir.file("a.pocInfo.complex"), pockets, 0.0));
  EXPECT_EQ(testrun::split_lines(read_file(dir.file("a.pocInfo.complex")))[2],
            "1         101      102      104      105 -12345.6789");

  // Serials and residue numbers wrap inside their PDB columns; a long tag
  // keeps clear of the temperature column.
  pockets[1].pseudo_atoms.assign(100000, info());
  for (info& q : pockets[1].pseudo_atoms) {
    q.radius = 1.88;
    q.pocket_numbers = {1, 0};
  }
  pockets[1].pseudo_atoms.back().pocket_numbers = {12, 123456};
  ASSERT_TRUE(write_poc_pdb(dir.file("a.poc.pdb"), pockets));
  const std::vector<std::string> rows = testrun::split_lines(read_file(dir.file("a.poc.pdb")));
  ASSERT_EQ(rows.size(), 100000u);
  EXPECT_EQ(rows[9998],
            "ATOM   9999  CA  XXX X9999       0.000   0.000   0.000  1.00  1.88     1.0  POC");
  EXPECT_EQ(rows[9999],
            "ATOM  10000  CA  XXX X   0       0.000   0.000   0.000  1.00  1.88     1.0  POC");
  EXPECT_EQ(rows[99999],
            "ATOM      0  CA  XXX X   0       0.000   0.000   0.000  1.00  1.88 12.123456  POC");
}

TEST_F(Ranked, SubpocketTable) {
  ASSERT_TRUE(write_subpocket_table(dir.file("a.subpocket"), "1abc", pockets));
  EXPECT_EQ(read_file(dir.file("a.subpocket")),
            "# sub_pocket input file\n"
            "# PDB: 1abc\n"
            "#\n# POC: pocket id\n# SUBPOC: sub_pocket id\n# TYPE: 1-mouth, 2-neck and 3-body\n"
            "# BEGIN: time the sub_pocket about to shrink\n# END: time the sub_pocket is dead\n"
            "# KNOT: split juncture\n# BLANK: there is no sub_pocket\n\n"
            "POC\tSUBPOC\tTYPE\tBEGIN\tEND\tKNOT\n"
            "1\n"
            "2.0;1;1;10;-10;1:0.5,0:0.5\n"
            "2.1;2;1;10;-10;\n");
}

TEST_F(Ranked, UncreatableFileIsReportedAndTheOthersAreWritten) {
  // A directory in the way of one report file.
  ASSERT_EQ(mkdir(dir.file("1abc.mouth").c_str(), 0755), 0);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(write_mouth(dir.file("1abc.mouth"), c.atoms));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "error opening file to write " + dir.file("1abc.mouth") + "\n");
  // A full disk: the rows held back for a block write still fail the file.
  ASSERT_EQ(symlink("/dev/full", dir.file("full.alpha.tetra").c_str()), 0);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(write_alpha_tetra(dir.file("full.alpha.tetra"), c.tetras, 0.0));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "error writing file " + dir.file("full.alpha.tetra") + "\n");
  for (info& a : c.atoms) a.radius = 1.5;
  const std::string name = dir.file("1abc.pdb");
  const int failures = output_failures();
  testing::internal::CaptureStderr();
  pocketsmeasure(c.tetras, c.atoms, pockets, mouths, name, 0, 1.4, 0.0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "error opening file to write " + dir.file("1abc.mouth") + "\n");
  EXPECT_EQ(output_failures(), failures + 1);
  for (const char* suffix : {".poc", ".subpoc", ".poc.pdb", ".mouthInfo", ".pocInfo",
                             ".pocInfo.complex", ".alpha.tetra", ".subpocket"}) {
    EXPECT_TRUE(testrun::file_exists(dir.file(std::string("1abc") + suffix))) << suffix;
  }
}

}  // namespace
