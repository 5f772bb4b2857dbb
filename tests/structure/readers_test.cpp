#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "structure/file.h"
#include "structure/para.h"
#include "support/run.h"

namespace {

using testrun::TempDir;
using testrun::write_file;

class ReadersTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { construct_map_of_radius(); }
  TempDir dir;
};

const char kLine[] = "A:1:GLY:1:CA A:3:ALA:20:CB 2 7 2 5 3.8\n";

TEST_F(ReadersTest, ContactLinesBackToPairs) {
  // What the contact writer produces, the readers take back.
  Bead a("A:1:GLY:1:CA", 0), b("B:3:ALA:20:CB", 0);
  a.n_contacts = 2;
  b.n_contacts = 5;
  std::vector<Pair> written = {Pair(&a, &b, -1)};
  std::ostringstream log;
  print_contacts(dir.file("w.contacts"), written, log);
  write_file(dir.file("c"), std::string(kLine) + "\n   B:2:TRP:9:CZ2 B:2:TRP:9:CE2\n");
  std::vector<Simple_Pair> pairs;
  read_contacts(dir.file("c"), pairs);
  read_contacts(dir.file("w.contacts"), pairs);
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_STREQ(pairs[0].type_pair_key, "ALA.CB:GLY.CA");
  EXPECT_EQ(pairs[0].alpha_level, 2);
  EXPECT_EQ(pairs[0].n_all, 7);
  EXPECT_STREQ(pairs[1].type_pair_key, "TRP.CE2:TRP.CZ2");
  EXPECT_EQ(pairs[1].alpha_level, 0);  // integers absent: 0
  EXPECT_EQ(pairs[1].n_all, 0);
  EXPECT_EQ(pairs[2].alpha_level, -1);
  EXPECT_EQ(pairs[2].n_all, 7);

  std::vector<Simple_Pair> inter;
  read_interface_contacts(dir.file("c"), inter);
  EXPECT_TRUE(inter.empty());  // both atoms in one chain
  read_interface_contacts(dir.file("w.contacts"), inter);
  ASSERT_EQ(inter.size(), 1u);
  EXPECT_STREQ(inter[0].type_pair_key, "ALA.CB:GLY.CA");

  // An unreadable file is reported and yields nothing.
  testing::internal::CaptureStderr();
  read_contacts(dir.file("none"), pairs);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "failed to open " + dir.file("none") + "\n");
  EXPECT_EQ(pairs.size(), 3u);
}

TEST_F(ReadersTest, ContactLinesBackToBeads) {
  write_file(dir.file("c"), std::string(kLine) + "A:3:ALA:20:CB B:7:LYS:3:NZ 1 9 4 4 5.0\n");
  std::vector<Bead> beads;
  read_contacts(dir.file("c"), beads);
  ASSERT_EQ(beads.size(), 3u);
  EXPECT_STREQ(beads[0].atom_key, "A:1:GLY:1:CA");
  EXPECT_STREQ(beads[1].atom_key, "A:3:ALA:2:CB");
  EXPECT_STREQ(beads[2].atom_key, "B:7:LYS:3:NZ");
  EXPECT_EQ(beads[1].n_contacts, 5);  // count from its first line
  EXPECT_EQ(beads[2].n_contacts, 4);
  EXPECT_DOUBLE_EQ(beads[2].radius, 1.64);

  StringHash<unsigned long> index;
  index.insert("A:1:GLY:1:CA", 1);
  index.insert("A:3:ALA:20:CB", 0);
  std::vector<Bead> two(2);
  write_file(dir.file("d"), std::string(kLine) + "X:9:GLY:9:CA A:1:GLY:1:CA 0 0 8 6 1\n");
  read_contacts(dir.file("d"), index, two);  // the unknown key is passed over
  EXPECT_EQ(two[0].n_contacts, 5);
  EXPECT_EQ(two[1].n_contacts, 6);
  EXPECT_EXIT(read_contacts(dir.file("none"), beads), testing::ExitedWithCode(1), "failed to open");
}

TEST_F(ReadersTest, NeighbourCountHistograms) {
  std::string text;
  int counts[] = {0, 1, 2, 3, 10, 14};
  for (int f : counts) text += "A:1:GLY:1:CA A:3:ALA:20:CB 1 " + std::to_string(f) + " 0 0 1\n";
  text += "A:1:GLY:1:CA A:3:ALA:20:CB 6 3 0 0 1\n";
  write_file(dir.file("h"), text);
  const int nbins = 5;
  std::map<std::string, std::vector<long double>> hist;
  std::vector<long double> total(nbins + 2);
  hist["ALA.CB:GLY.CA"].resize(nbins + 2);
  read_contacts(dir.file("h"), hist, total, nbins, 2, 10, 0);
  std::vector<long double> expect = {1, 2, 2, 0, 0, 2, 7};
  EXPECT_EQ(hist["ALA.CB:GLY.CA"], expect);
  EXPECT_EQ(total, expect);

  std::map<std::string, std::vector<std::vector<int>>> rows;
  std::vector<std::vector<int>> rtotal(9, std::vector<int>(nbins + 2));
  read_contacts(dir.file("h"), rows, rtotal, nbins, 2, 10, 0);
  const std::vector<std::vector<int>>& h = rows["ALA.CB:GLY.CA"];
  EXPECT_EQ(h[3], (std::vector<int>{1, 2, 1, 0, 0, 2, 6}));  // level 1
  EXPECT_EQ(h[8], (std::vector<int>{1, 2, 2, 0, 0, 2, 7}));  // every line once, level 6 too
  EXPECT_EQ(rtotal[3], h[3]);

  // A cap below the low bound has no slot for large counts: they are left
  // out instead of being written before the first slot.
  std::map<std::string, std::vector<long double>> low_cap;
  std::vector<long double> low_total(nbins + 2);
  low_cap["ALA.CB:GLY.CA"].resize(nbins + 2);
  read_contacts(dir.file("h"), low_cap, low_total, nbins, 2, 4, 8);
  EXPECT_EQ(low_total, (std::vector<long double>{5, 0, 0, 0, 0, 0, 5}));
}

TEST_F(ReadersTest, RmsdTable) {
  write_file(dir.file("r"), "1abc.pdb 1.5\n2xyz.PDB 2.5\n1abc 3.5\nshort 7\n");
  StringHash<double> table;
  EXPECT_EQ(read_rmsd(dir.file("r"), table), 1);
  EXPECT_EQ(table.find("1abc"), 3.5);
  EXPECT_EQ(table.find("2xyz"), 2.5);
  EXPECT_EQ(table.find("short"), 7);
  EXPECT_EQ(table.count, 3u);
  testing::internal::CaptureStderr();
  EXPECT_EQ(read_rmsd(dir.file("none"), table), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "No " + dir.file("none") + "was found\n");
}

TEST_F(ReadersTest, AlphaEdges) {
  std::vector<Bead> beads = {Bead("A:1:GLY:1:CA", 0), Bead("A:2:GLY:2:CA", 0),
                             Bead("B:5:GLY:3:CA", 0)};
  beads[1].x = 3.8;
  beads[2].x = 100;  // far away: level 6, skipped
  StringHash<int> index;
  for (int k = 0; k < 3; ++k) index.insert(beads[k].atom_key, k);
  write_file(dir.file("e"), "A:1:GLY:1:CA A:2:GLY:2:CA 1 2\nA:1:GLY:1:CA B:5:GLY:3:CA 1 2\n");
  std::vector<std::vector<int>> adjacency(3);
  auto same_chain = [](const Bead& a, const Bead& b) { return a.chain_id == b.chain_id; };
  std::ostringstream log;
  read_alpha_edges(dir.file("e"), adjacency, beads, index, same_chain, log);
  EXPECT_EQ(log.str(), "3.5344\n3.5344\n3.5344\n3.5344\n");
  EXPECT_EQ(adjacency[0], std::vector<int>{1});
  EXPECT_EQ(adjacency[1], std::vector<int>{0});
  EXPECT_TRUE(adjacency[2].empty());
  EXPECT_EQ(beads[0].n_contacts, 0);  // dropped by the filter, still adjacent
  auto none = [](const Bead&, const Bead&) { return false; };
  read_alpha_edges(dir.file("e"), adjacency, beads, index, none, log);
  EXPECT_EQ(beads[0].n_contacts, 1);
  EXPECT_EQ(beads[1].n_contacts, 1);
}

TEST_F(ReadersTest, Potentials) {
  std::string d = dir.path() + "/";
  write_file(d + "atomPairwise.6.pt", "ALA.CA 1 2 3\nGLY.N -1.5 0.5 4e1\n");
  StringHash<double> align;
  read_potentials_for_align(d, align, 1);
  EXPECT_EQ(align.find("ALA.CA:2"), 3);
  EXPECT_EQ(align.find("GLY.N:2"), 40);
  EXPECT_EQ(align.count, 6u);

  for (int t = -2; t <= 5; ++t)
    write_file(d + "atomPairwise." + std::to_string(t) + ".pt",
               "X " + std::to_string(t) + " 0 0\n");
  StringHash<double> two;
  read_potentials_2body(d, two, 1);
  EXPECT_EQ(two.find("X:-2:0"), -2);
  EXPECT_EQ(two.find("X:5:0"), 5);
  EXPECT_EQ(two.find("ALA.CA:6:1"), 2);
  EXPECT_EXIT(read_potentials_2body(d + "none/", two, 1), testing::ExitedWithCode(1),
              "failed to open");
}

}  // namespace
