#include "structure/file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "structure/output.h"
#include "structure/para.h"
#include "support/run.h"

namespace {

using testrun::read_file;
using testrun::TempDir;
using testrun::write_file;

// One ATOM line with the fixed PDB columns.
std::string atom(int serial, const char* name, const char* res, char chain, int resnum, double x,
                 double y, double z, char alt = ' ', char ins = ' ') {
  char buf[100];
  std::snprintf(buf, sizeof buf, "ATOM  %5d %-4s%c%3s %c%4d%c   %8.3f%8.3f%8.3f  1.00 12.00",
                serial, name, alt, res, chain, resnum, ins, x, y, z);
  return buf;
}

std::vector<std::string> keys(const std::vector<Bead>& beads) {
  std::vector<std::string> k;
  for (const Bead& b : beads) k.push_back(b.atom_key);
  return k;
}

class FileTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    construct_map_of_radius();
    construct_abb_of_all_residues();
  }
  std::vector<Bead> read(const std::string& text) {
    write_file(dir.file("in.pdb"), text);
    std::vector<Bead> beads(3);  // read_pdb replaces any earlier content
    read_pdb(dir.file("in.pdb"), beads);
    return beads;
  }
  TempDir dir;
};

TEST_F(FileTest, ReadPdbSelectsLinesAndNumbersResidues) {
  std::string text =
      "HEADER    TEST\n" + atom(1, "N", "ALA", 'A', 1, 0, 0, 0) + "\n" +
      atom(2, "CA", "ALA", 'A', 1, 1, 0, 0, 'A') + "\n" +
      atom(3, "CA", "ALA", 'A', 1, 1, 0, 0, 'B') + "\n" +  // second location: skipped
      atom(4, "H", "ALA", 'A', 1, 1, 1, 0) + "\n" +        // no radius: dropped
      "HETATM    5  O   HOH A 100       0.000   0.000   0.000\n" +
      "\n   \n" +  // blank lines vanish
      atom(6, "CB", "SER", 'A', 2, 2, 0, 0, '1') + "\n" +
      atom(7, "CB", "SER", 'A', 2, 2, 0, 0, '2') + "\n" +
      atom(8, "OG", "SER", 'A', 2, 2, 0, 0, 'C') + "\n" + atom(9, "N", "ALA", 'A', 1, 3, 0, 0) +
      "\n" +  // residue A1 comes back
      atom(10, "N", "GLY", 'B', 1, 4, 0, 0) + "\n" + atom(11, "N", "GLY", ' ', 7, 5, 0, 0) + "\n" +
      "ENDMDL\n" + atom(12, "N", "GLY", 'C', 9, 6, 0, 0) + "\n";
  std::vector<Bead> beads = read(text);
  std::vector<std::string> expected = {"A:1:ALA:1:N",  "A:1:ALA:2:CA", "A:2:SER:6:CB",
                                       "A:2:SER:8:OG", "A:1:ALA:9:N",  "B:1:GLY:10:N",
                                       "*:7:GLY:11:N"};
  EXPECT_EQ(keys(beads), expected);
  std::vector<int> res_index, real;
  for (const Bead& b : beads) {
    res_index.push_back(b.res_index);
    real.push_back(b.real_res_number);
  }
  // res_index follows changes of the residue number only; real numbers
  // follow residue ids in order of first appearance.
  EXPECT_EQ(res_index, (std::vector<int>{1, 1, 2, 2, 3, 3, 4}));
  EXPECT_EQ(real, (std::vector<int>{1, 1, 2, 2, 1, 3, 4}));
  EXPECT_EQ(beads[0].b_factor, 12);

  // A second structure starts its numbering afresh.
  std::vector<Bead> again = read(atom(1, "N", "GLY", 'B', 1, 0, 0, 0) + "\n");
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].real_res_number, 1);
  EXPECT_EQ(again[0].res_index, 1);

  EXPECT_TRUE(read("REMARK nothing\n").empty());
  EXPECT_TRUE(read("").empty());
}

TEST_F(FileTest, ReadPdbHandlesLongLinesAndCarriageReturns) {
  std::string text = atom(1, "N", "ALA", 'A', 1, 0, 0, 0) + std::string(5000, 'x') + "\r\n" +
                     atom(2, "CA", "ALA", 'A', 1, 1, 0, 0) + "\r\n";
  std::vector<Bead> beads = read(text);
  ASSERT_EQ(beads.size(), 2u);
  EXPECT_EQ(beads[1].x, 1);
}

TEST_F(FileTest, ReadPdbSkipsAtomsWithoutFiniteCoordinates) {
  std::string text = atom(1, "N", "ALA", 'A', 1, 0, NAN, 0) + "\n" +
                     atom(2, "CA", "ALA", 'A', 1, 1, 0, 0) + "\n" +
                     atom(3, "C", "ALA", 'A', 1, 0, 0, -INFINITY) + "\n";
  testing::internal::CaptureStderr();
  std::vector<Bead> beads = read(text);
  const std::string path = dir.file("in.pdb");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "atom A:1:ALA:1:N of " + path + " skipped: its coordinates are not finite\n" +
                "atom A:1:ALA:3:C of " + path + " skipped: its coordinates are not finite\n");
  EXPECT_EQ(keys(beads), std::vector<std::string>{"A:1:ALA:2:CA"});
}

TEST_F(FileTest, ReadPdbOnRealStructure) {
  std::vector<Bead> beads;
  read_pdb(std::string(DATA_DIR) + "/1ubq.pdb", beads);
  // Ubiquitin: 76 residues, 602 heavy atoms, no alternate locations.
  EXPECT_EQ(beads.size(), 602u);
  EXPECT_EQ(beads.back().res_index, 76);
  EXPECT_EQ(beads.back().real_res_number, 76);
  for (const Bead& b : beads) ASSERT_GT(b.radius, 0);
}

TEST_F(FileTest, UnreadableStructureEndsWithFailure) {
  std::string path = dir.file("missing.pdb");
  std::vector<Bead> beads;
  EXPECT_EXIT(read_pdb(path, beads), testing::ExitedWithCode(1), "failed to open " + path);
}

TEST_F(FileTest, PrintPdbRoundTrip) {
  std::vector<Bead> beads = read(atom(1, "N", "ALA", 'A', 1, 1.5, -2.25, 3) + "\n" +
                                 atom(2, "OD1", "ASN", 'B', 12, 0, 0, 0) + "\n");
  print_pdb(dir.file("out.pdb"), beads);
  EXPECT_EQ(read_file(dir.file("out.pdb")),
            "ATOM      1  N   ALA A   1       1.500  -2.250   3.000\n"
            "ATOM      2  OD1 ASN B  12       0.000   0.000   0.000\n");
  std::vector<Bead> back = read(read_file(dir.file("out.pdb")));
  EXPECT_EQ(keys(back), keys(beads));

  // A file that cannot be created, or fills up, is reported and counted; the
  // caller goes on.
  const int failures = output_failures();
  ASSERT_EQ(symlink("/dev/full", dir.file("full.pdb").c_str()), 0);
  testing::internal::CaptureStderr();
  print_pdb(dir.file("no/such/dir.pdb"), beads);
  print_pdb(dir.file("full.pdb"), beads);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "error opening file to write " + dir.file("no/such/dir.pdb") + "\nerror writing file " +
                dir.file("full.pdb") + "\n");
  EXPECT_EQ(output_failures(), failures + 2);
}

// Two hand-made beads for the writers.
struct TwoBeads {
  Bead a, b;
  TwoBeads() : a("A:1:GLY:1:CA", 0), b("A:3:ALA:20:CB", 0) {
    a.n_contacts = 2;
    b.n_contacts = 5;
    b.x = 3.8;
    a.radius = b.radius = 1.5;
  }
};

TEST_F(FileTest, ContactAndEdgeLines) {
  TwoBeads t;
  std::vector<Pair> pairs;
  pairs.emplace_back(&t.b, &t.a, 2);
  Pair swapped;  // made without set_pair: the larger key first
  swapped.first = &t.b;
  swapped.second = &t.a;
  swapped.alpha_level = 2;
  pairs.push_back(swapped);
  std::ostringstream log;  // only a level derived for a line writes to it
  print_contacts(dir.file("c"), pairs, log);
  EXPECT_EQ(read_file(dir.file("c")),
            "A:1:GLY:1:CA A:3:ALA:20:CB 2 7 2 5 3.8\n"
            "A:1:GLY:1:CA A:3:ALA:20:CB 2 7 2 5 3.8\n");

  t.b.x = 4;
  print_pair_keys(dir.file("e"), pairs);
  EXPECT_EQ(read_file(dir.file("e")),
            "A:1:GLY:1:CA A:3:ALA:20:CB 1.75 4\nA:1:GLY:1:CA A:3:ALA:20:CB 1.75 4\n");

  // An uncomputed level is derived for the line, printed, and not stored.
  EXPECT_EQ(log.str(), "");
  pairs[0].alpha_level = ALPHA_LEVEL_UNSET;
  print_contacts(dir.file("c"), std::vector<Pair>{pairs[0]}, log);
  EXPECT_EQ(log.str(), "2.25\n2.25\n");
  EXPECT_EQ(read_file(dir.file("c")), "A:1:GLY:1:CA A:3:ALA:20:CB 2 7 2 5 4\n");

  print_contacts(dir.file("empty"), {}, log);
  EXPECT_EQ(read_file(dir.file("empty")), "");
  EXPECT_TRUE(testrun::file_exists(dir.file("empty")));

  // Only pairs of two chains reach the interface contact file.
  Bead other("B:9:LYS:70:NZ", 0);
  std::vector<Pair> mixed = {Pair(&t.a, &t.b, 1), Pair(&t.a, &other, 1)};
  print_interface_contacts(dir.file("ic"), mixed, log);
  EXPECT_EQ(testrun::split_lines(read_file(dir.file("ic"))).size(), 1u);
  testing::internal::CaptureStderr();
  print_interface_contacts(dir.file("x/y"), mixed, log);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "error opening file to write" + dir.file("x/y") + "\n");
}

TEST_F(FileTest, AtomAndSurfaceFiles) {
  TwoBeads t;
  t.a.res_index = 1;
  t.b.res_index = 2;
  t.b.on_surf = true;
  t.b.y = -0.5;
  std::vector<Bead> beads = {t.a, t.b};
  std::vector<Pair> pairs = {Pair(&beads[0], &beads[1], 0)};
  std::ostringstream log;
  print_atoms_contacts(dir.file("ac"), beads, pairs, 5.0, log);
  EXPECT_EQ(read_file(dir.file("ac")),
            "A:1:GLY:1:CA 1 0\nA:3:ALA:20:CB 2 1\nA:1:GLY:1:CA A:3:ALA:20:CB 0 7 2 5 3.83275\n");
  print_surface_atom_and_contacts(dir.file("s"), beads, pairs, log);
  EXPECT_EQ(read_file(dir.file("s")),
            "#Atoms: Key resID x y z\nA:3:ALA:20:CB 2 3.8 -0.5 0\n\n"
            "#Contacts: Key1 Key2 alpha #neigbor-all #neighbor1 #neighbor2 distance\n"
            "A:1:GLY:1:CA A:3:ALA:20:CB 0 7 2 5 3.83275\n");
  print_surface_atom_and_contacts(dir.file("s0"), {}, {}, log);
  EXPECT_EQ(read_file(dir.file("s0")),
            "#Atoms: Key resID x y z\n\n"
            "#Contacts: Key1 Key2 alpha #neigbor-all #neighbor1 #neighbor2 distance\n");
}

bool different_chains(char c1, char c2, std::string) { return c1 != c2; }

TEST_F(FileTest, InterfaceResidues) {
  std::vector<Bead> beads = {Bead("A:1:ALA:1:CA", 0), Bead("A:1:ALA:2:CB", 0),
                             Bead("A:2:GLY:3:CA", 0), Bead("A:3:HEM:4:FE", 0),
                             Bead("B:3:SER:5:OG", 0), Bead("B:4:SER:6:CA", 0)};
  beads[1].on_surf = true;
  beads[4].on_surf = true;
  beads[2].on_interface = 1;  // stale flag: rewritten
  std::vector<Pair> pairs = {Pair(&beads[0], &beads[5], 1), Pair(&beads[1], &beads[2], 1)};
  std::string path = dir.file("u.surface");
  print_interface_residues(path, beads, pairs, "", different_chains);
  std::vector<int> flags;
  for (const Bead& b : beads) flags.push_back(b.on_interface);
  EXPECT_EQ(flags, (std::vector<int>{1, 0, 0, 0, 0, 1}));
  // Residue 3 of chain A (HEM, no code) and of chain B run together; the
  // run is reported by its last bead.
  EXPECT_EQ(read_file(path),
            ">" + path +
                "\nAGXS\n\n# res_name res_name res_num chainID on_surf on_interface\n"
                "ALA A 1 A 1 1\nGLY G 2 A 0 0\nSER S 3 B 1 0\nSER S 4 B 0 1\n\n");
  print_interface_residues(path, beads, {}, "", different_chains);
  EXPECT_EQ(beads[0].on_interface, 0);
  std::vector<Bead> none;
  print_interface_residues(path, none, {}, "", different_chains);
  EXPECT_EQ(read_file(path),
            ">" + path + "\n\n\n# res_name res_name res_num chainID on_surf on_interface\n\n");
}

class ReducedModelTest : public FileTest {};

TEST_F(ReducedModelTest, AlphaCarbonAndSideChainCentre) {
  std::vector<Bead> beads = read(
      atom(1, "N", "GLY", 'A', 1, 0, 0, 0) + "\n" + atom(2, "CA", "GLY", 'A', 1, 1, 0, 0) + "\n" +
      atom(3, "CA", "SER", 'A', 2, 2, 0, 0) + "\n" + atom(4, "CB", "SER", 'A', 2, 3, 3, 0) + "\n" +
      atom(5, "N", "GLY", 'A', 3, 9, 9, 9) + "\n" + atom(6, "OG", "SER", 'A', 2, 5, 0, 3) + "\n");
  reduced_model_CA_SC(beads);
  // Residue order of first appearance; the split serine gets one bead at
  // the mean of CB and OG with the CB radius.
  ASSERT_EQ(beads.size(), 3u);
  EXPECT_STREQ(beads[0].atom_key, "A:1:GLY:1:CA");
  EXPECT_STREQ(beads[1].atom_key, "A:2:SER:3:CA");
  EXPECT_STREQ(beads[2].atom_key, "A:2:SER:4:SC");
  EXPECT_STREQ(beads[2].type_key, "SER.SC");
  EXPECT_EQ(beads[2].x, 4);
  EXPECT_EQ(beads[2].y, 1.5);
  EXPECT_EQ(beads[2].z, 1.5);
  EXPECT_DOUBLE_EQ(beads[2].radius, 1.88);
}

TEST_F(ReducedModelTest, SideChainOnly) {
  std::vector<Bead> beads = read(
      atom(1, "N", "ALA", 'A', 1, 0, 0, 0) + "\n" + atom(2, "CA", "ALA", 'A', 1, 1, 0, 0) + "\n" +
      atom(3, "CB", "ALA", 'A', 1, 2, 2, 2) + "\n" + atom(4, "CA", "GLY", 'A', 2, 7, 0, 0) + "\n" +
      atom(5, "OXT", "GLY", 'A', 2, 8, 0, 0) + "\n" + atom(6, "CA", "GLY", 'B', 5, 1, 1, 1) + "\n");
  reduced_model_SC(beads);
  EXPECT_EQ(keys(beads), (std::vector<std::string>{"A:1:ALA:1:SC", "A:2:GLY:2:SC", "A:2:GLY:2:SC",
                                                   "B:5:GLY:3:SC"}));
  EXPECT_DOUBLE_EQ(beads[0].radius, 2.3);  // radius of ALA.SC
  EXPECT_EQ(beads[0].x, 2);
  EXPECT_DOUBLE_EQ(beads[1].radius, 1.9);
  EXPECT_EQ(beads[1].x, 7);  // glycine alpha carbon
  EXPECT_EQ(beads[2].x, 8);  // C-terminal OXT
  for (size_t k = 0; k < beads.size(); ++k) EXPECT_EQ(beads[k].res_index, static_cast<int>(k) + 1);

  std::vector<Bead> backbone_only = read(atom(1, "N", "ALA", 'A', 1, 0, 0, 0) + "\n");
  reduced_model_SC(backbone_only);
  EXPECT_TRUE(backbone_only.empty());
}

TEST_F(ReducedModelTest, SideChainCentresOfRealStructure) {
  // Brute-force centroid per residue against the model's beads.
  std::vector<Bead> beads;
  read_pdb(std::string(DATA_DIR) + "/1a0q.pdb", beads);
  std::vector<Bead> model = beads;
  reduced_model_CA_SC(model);
  size_t checked = 0;
  for (const Bead& m : model) {
    if (std::strcmp(m.atom_name, "SC") != 0) continue;
    double sx = 0, sy = 0, sz = 0;
    int n = 0;
    for (const Bead& b : beads) {
      if (std::strcmp(b.residue_id, m.residue_id) != 0) continue;
      if (!std::strcmp(b.atom_name, "N") || !std::strcmp(b.atom_name, "CA") ||
          !std::strcmp(b.atom_name, "C") || !std::strcmp(b.atom_name, "O"))
        continue;
      sx += b.x, sy += b.y, sz += b.z, ++n;
    }
    ASSERT_GT(n, 0);
    EXPECT_NEAR(m.x, sx / n, 1e-9);
    EXPECT_NEAR(m.y, sy / n, 1e-9);
    EXPECT_NEAR(m.z, sz / n, 1e-9);
    EXPECT_EQ(m.serial, 2 * m.real_res_number);
    ++checked;
  }
  EXPECT_GT(checked, 300u);
}

}  // namespace
