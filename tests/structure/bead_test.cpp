#include "structure/bead.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>

#include "structure/para.h"

namespace {

class BeadTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { construct_map_of_radius(); }
};

std::string streamed(double v) {
  std::ostringstream out;
  out << v;
  return out.str();
}

Bead ball(double x, double radius) {
  Bead b;
  b.x = x;
  b.radius = radius;
  return b;
}

TEST_F(BeadTest, EdgeSizeAndLevelAgainstClosedForm) {
  struct {
    double r1, r2, d, size;
    int level;
  } cases[] = {{1.5, 1.5, 4.0, 1.75, 2},
               {1.5, 1.5, 3.0, 0.0, 0},
               {1.5, 1.5, 2.0, -1.25, -1},
               {1.0, 2.0, 10.0, 22.5225, 6}};
  for (const auto& c : cases) {
    Bead a = ball(0, c.r1), b = ball(c.d, c.r2);
    EXPECT_NEAR(edge_size_of(a, b), c.size, 1e-12);
    EXPECT_EQ(alpha_level_of_size(edge_size_of(a, b)), c.level);
    // The size is the squared radius of the smallest ball orthogonal to both
    // balls: the power distance from the radical-plane point to ball a.
    double w1 = c.r1 * c.r1, w2 = c.r2 * c.r2;
    double t = (c.d * c.d + w1 - w2) / (2 * c.d);  // radical plane position
    EXPECT_NEAR(edge_size_of(a, b), t * t - w1, 1e-9);
  }
}

TEST_F(BeadTest, LevelRuleTruncatesAndClampsSafely) {
  EXPECT_EQ(alpha_level_of_size(0.47), 1);
  EXPECT_EQ(alpha_level_of_size(0.0), 0);
  EXPECT_EQ(alpha_level_of_size(-0.0), 0);
  EXPECT_EQ(alpha_level_of_size(4.99), 5);
  EXPECT_EQ(alpha_level_of_size(5.0), 6);
  EXPECT_EQ(alpha_level_of_size(-1.99), -1);
  EXPECT_EQ(alpha_level_of_size(-2.0), -2);
  EXPECT_EQ(alpha_level_of_size(-7.5), -2);
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(alpha_level_of_size(inf), 6);
  EXPECT_EQ(alpha_level_of_size(1e300), 6);
  EXPECT_EQ(alpha_level_of_size(3e9), 6);
  EXPECT_EQ(alpha_level_of_size(-inf), -2);
  EXPECT_EQ(alpha_level_of_size(-1e300), -2);
  EXPECT_EQ(alpha_level_of_size(std::nan("")), -2);
  // Coincident balls of different radius: infinite size, deepest level 6.
  EXPECT_EQ(alpha_level_of_size(edge_size_of(ball(1, 1), ball(1, 2))), 6);
}

TEST_F(BeadTest, LevelDerivationPrintsSquaredRadiiFirstBeadFirst) {
  Bead a = ball(0, 1.5), b = ball(4, 2.0);
  std::ostringstream log;
  int level = alpha_level_of(b, a, log);
  EXPECT_EQ(log.str(), "4\n2.25\n");
  EXPECT_EQ(level, alpha_level_of_size(edge_size_of(a, b)));
  testing::internal::CaptureStdout();
  edge_size_of(a, b);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(BeadTest, FormattedKey) {
  Bead b;
  b.set_from_formatted_key("A:12:GLY:87:CA", 5, 0, 0, 3);
  EXPECT_EQ(b.chain_id, 'A');
  EXPECT_EQ(b.res_num, 12);
  EXPECT_STREQ(b.res_name, "GLY");
  EXPECT_EQ(b.serial, 87);
  EXPECT_STREQ(b.atom_name, "CA");
  EXPECT_EQ(b.real_res_number, 12);
  EXPECT_STREQ(b.residue_id, "A12");
  EXPECT_STREQ(b.atom_key, "A:12:GLY:87:CA");
  EXPECT_STREQ(b.type_key, "GLY.CA");
  EXPECT_EQ(b.x, 5);
  EXPECT_EQ(b.n_contacts, 3);
  EXPECT_DOUBLE_EQ(b.radius, 1.88);

  Bead c("B:3:ALA:9:CB", 7);  // not an ATOM line: x = 7, no contacts
  EXPECT_EQ(c.x, 7);
  EXPECT_EQ(c.n_contacts, 0);
  EXPECT_STREQ(c.atom_key, "B:3:ALA:9:CB");
}

TEST_F(BeadTest, OversizedKeyPartsAreCutToTheirFields) {
  Bead b;
  b.set_from_formatted_key("Q:-2147483647:LONGRESIDUE:-2147483647:VERYLONGATOM", 0, 0, 0, 0);
  EXPECT_STREQ(b.res_name, "LON");
  EXPECT_STREQ(b.atom_name, "VERY");
  EXPECT_STREQ(b.type_key, "LON.VERY");
  EXPECT_EQ(std::strlen(b.atom_key), sizeof b.atom_key - 1);
  EXPECT_EQ(std::string(b.atom_key),
            std::string("Q:-2147483647:LON:-2147483647:VERY").substr(0, 29));
  EXPECT_LT(std::strlen(b.residue_id), sizeof b.residue_id);
  EXPECT_EQ(b.radius, 0);

  // A key that supplies only some fields keeps the rest.
  Bead c;
  c.serial = 44;
  c.set_from_formatted_key("C:5", 0, 0, 0, 0);
  EXPECT_EQ(c.chain_id, 'C');
  EXPECT_EQ(c.res_num, 5);
  EXPECT_EQ(c.serial, 44);
}

TEST_F(BeadTest, PairOrdersBeadsAndTypesIndependently) {
  Bead a("B:1:ALA:5:CA", 0), b("A:7:GLY:50:N", 0);
  Pair p(&a, &b, 3);
  EXPECT_EQ(p.first, &b);
  EXPECT_EQ(p.second, &a);
  EXPECT_STREQ(p.type_pair_key, "ALA.CA:GLY.N");
  EXPECT_EQ(p.alpha_level, 3);

  Bead c("A:1:ALA:5:CA", 0), d("A:1:ALA:5:CA", 0);  // equal keys: argument order
  p.set_pair(&c, &d, 1);
  EXPECT_EQ(p.first, &c);
  p.set_pair(&d, &c, 1);
  EXPECT_EQ(p.first, &d);

  Pair e;
  EXPECT_EQ(e.first, nullptr);
  EXPECT_EQ(e.alpha_level, ALPHA_LEVEL_UNSET);

  // The longest type keys fit the pair key whole.
  Bead l1("Q:1:LONGRESIDUE:1:VERYLONGATOM", 0), l2("Q:1:ALA:2:CB", 0);
  p.set_pair(&l1, &l2, 0);
  EXPECT_STREQ(p.type_pair_key, "ALA.CB:LON.VERY");
  p.set_pair(&l1, &l1, 0);
  EXPECT_STREQ(p.type_pair_key, "LON.VERY:LON.VERY");
}

TEST_F(BeadTest, ContactLineDerivesAMissingLevelInPairOrder) {
  // A pair whose first bead has the larger key: the line shows the smaller
  // key first, but the squared radii come out first bead first.
  Bead big("B:1:GLY:1:CA", 0), small("A:1:GLY:2:CA", 0);
  big.radius = 2;
  small.radius = 1;
  small.x = 4;
  Pair p;
  p.first = &big;
  p.second = &small;
  std::ostringstream line, log;
  p.print_pair(line, log);
  EXPECT_EQ(log.str(), "4\n1\n");
  EXPECT_EQ(line.str(), "A:1:GLY:2:CA B:1:GLY:1:CA 2 0 0 0 4\n");
  EXPECT_EQ(p.alpha_level, ALPHA_LEVEL_UNSET);  // derived for the line only
}

TEST_F(BeadTest, PdbLineParsing) {
  Bead::real_res_num = 1;
  real_res_num_of.clear();
  //            1         2         3         4         5         6
  //   123456789012345678901234567890123456789012345678901234567890123456
  const char* line = "ATOM     12  OD1AASN B  27A     -1.250  10.500   3.000  1.00  9.50";
  Bead b(line, 4);
  EXPECT_EQ(b.serial, 12);
  EXPECT_STREQ(b.atom_name, "OD1");
  EXPECT_STREQ(b.res_name, "ASN");
  EXPECT_EQ(b.chain_id, 'B');
  EXPECT_EQ(b.res_num, 27);
  EXPECT_EQ(b.insertion_code, 'A');
  EXPECT_EQ(b.x, -1.25);
  EXPECT_EQ(b.y, 10.5);
  EXPECT_EQ(b.z, 3);
  EXPECT_EQ(b.b_factor, 9.5);
  EXPECT_EQ(b.n_contacts, 4);
  EXPECT_STREQ(b.residue_id, "B27A");
  EXPECT_STREQ(b.atom_key, "B:27:ASN:12:OD1");
  EXPECT_DOUBLE_EQ(b.radius, 1.42);
  EXPECT_EQ(b.real_res_number, 1);

  // Blank chain and no B-factor column (61 characters long).
  std::string short_line = "ATOM      1  CA  GLY     1       1.000   2.000   3.000  1.00 ";
  ASSERT_EQ(short_line.size(), 61u);
  Bead c(short_line.c_str(), 0);
  EXPECT_EQ(c.chain_id, '*');
  EXPECT_EQ(c.b_factor, 0);
  EXPECT_STREQ(c.residue_id, "*1 ");
  EXPECT_EQ(std::string(c.atom_key).substr(0, 2), "*:");
  EXPECT_EQ(c.real_res_number, 2);

  // Truncated lines read as blanks past their end.
  Bead d("ATOM      5  N", 0);
  EXPECT_EQ(d.serial, 5);
  EXPECT_STREQ(d.atom_name, "N");
  EXPECT_STREQ(d.res_name, "");
  EXPECT_EQ(d.radius, 0);

  // Number columns read as sscanf reads the cut column, in any form; one
  // without a number leaves the default 0.
  struct {
    const char* serial;  // columns 7-11
    const char* x;       // columns 31-38
  } fields[] = {{"  +12", "  -0.000"},  {"   -7", "+1.5    "},   {" 12ab", "  1e2   "},
                {"    -", "   -.5  "},  {"00042", "12345678"},   {"  1 2", "  nan   "},
                {"\t\t  3", " 1.5x   "}, {"   + ", "    -   "},   {"     ", "  0x1p3 "},
                {"99999", "1.5 2.5 "},  {" -0  ", "\t7.25\t  "}, {"1e3  ", "   .    "}};
  for (const auto& f : fields) {
    std::string line =
        std::string("ATOM  ") + f.serial + "  CA  GLY A   1    " + f.x + "   2.000   3.000";
    Bead e(line.c_str(), 0);
    int serial = 0;
    double x = 0;
    std::sscanf(f.serial, "%d", &serial);
    std::sscanf(f.x, "%lg", &x);
    EXPECT_EQ(e.serial, serial) << f.serial;
    EXPECT_EQ(streamed(e.x), streamed(x)) << f.x;  // also tells -0 and nan apart
    EXPECT_EQ(e.y, 2);
  }
}

TEST_F(BeadTest, RadiusTables) {
  EXPECT_EQ(class_of_atom.size(), 283u);
  EXPECT_EQ(radius_of_atom_class.size(), 76u);
  // Every class the type keys name has a radius.
  for (const auto& e : class_of_atom)
    EXPECT_GT(radius_of_atom_class.count(e.second), 0u) << e.first << " -> " << e.second;
  struct {
    const char* key;
    double radius;
  } expect[] = {{"ALA.CA", 1.88},  {"GLY.CA", 1.88}, {"PRO.CD", 1.88},  {"ALA.SC", 2.3},
                {"ALA.sc", 2.0},   {"HEM.FE", 1.7},  {"ZN.ZN", 0.74},   {"GLY.OXT", 1.5},
                {"LEU.OXT", 1.5},  {"DUM.OXT", 1.4}, {"GLY.SC", 1.9},   {"FIN.SC", 4.0},
                {"LUN.SC", 0.3},   {"LUN.V", 0.3},   {"WAT.O", 1.4},    {"HOH.O", 1.4},
                {"ACE.CH3", 1.88}, {"DUM.DUM", 1.8}, {"TRP.NE1", 1.64}, {"HEM.C3D", 1.61},
                {"ALA.H", 0},      {"ALA.OXT", 0},   {"ala.CA", 0},     {"DA.P", 0},
                {"SER.OG1", 0},    {"TRP.CEH2", 0}};
  for (const auto& e : expect) EXPECT_DOUBLE_EQ(radius_of_atom[e.key], e.radius) << e.key;
  EXPECT_EQ(class_of_atom["GLY.CA"], "C4HH");
  EXPECT_EQ(class_of_atom["HIS.ND1"], "N3");

  auto before = radius_of_atom;
  construct_map_of_radius();
  EXPECT_EQ(radius_of_atom, before);
}

TEST_F(BeadTest, OneLetterCodes) {
  construct_abb_of_all_residues();
  EXPECT_EQ(amino_abb.count, 23u);
  const char* names[] = {"GLY", "PRO", "ALA", "VAL", "LEU", "ILE", "MET", "CYS",
                         "PHE", "TYR", "TRP", "HIS", "LYS", "ARG", "GLN", "ASN",
                         "GLU", "ASP", "SER", "THR", "KCX", "FIN", "LUN"};
  const char codes[] = "GPAVLIMCFYWHKRQNEDSTXZB";
  for (int i = 0; i < 23; ++i) {
    EXPECT_EQ(one_letter_code(names[i]), codes[i]) << names[i];
    // The side-chain bead of every named residue has its own radius.
    EXPECT_GT(radius_of_atom[std::string(names[i]) + ".SC"], 0) << names[i];
  }
  EXPECT_FALSE(amino_abb.contains("HEM"));
  EXPECT_EQ(one_letter_code("HEM"), 'X');
  EXPECT_EQ(one_letter_code("HOH"), 'X');
}

}  // namespace
