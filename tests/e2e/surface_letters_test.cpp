// End-to-end checks of the surface and interface outputs (letters x, t, u).
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/surface.h"
#include "structure/file.h"
#include "structure/para.h"
#include "support/run.h"

namespace {

using testrun::read_file;
using testrun::run_alvex;
using testrun::RunResult;
using testrun::split_lines;
using testrun::TempDir;

// The beads of a bundled structure with the surface flags and the size lines
// that labelling them in this process gives.
struct Labelled {
  std::vector<Bead> beads;
  std::string sizes;
};

Labelled labelled(const std::string& name) {
  construct_map_of_radius();
  construct_abb_of_all_residues();
  Labelled l;
  read_pdb(std::string(DATA_DIR) + "/" + name, l.beads);
  std::ostringstream sizes;
  EXPECT_TRUE(label_surface_atoms(l.beads, 1.4, sizes));
  l.sizes = sizes.str();
  return l;
}

std::string in_dir(const TempDir& dir, const std::string& name) {
  testrun::copy_file(std::string(DATA_DIR) + "/" + name, dir.file(name));
  return name;
}

TEST(SurfaceLetters, AtomsContactsAndSurfaceAtoms) {
  Labelled want = labelled("1ubq.pdb");
  ASSERT_FALSE(want.sizes.empty());
  TempDir dir;
  RunResult r = run_alvex({"-fxtu", dir.path(), in_dir(dir, "1ubq.pdb")}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;

  // x prints the size lines, then its contact collector the squared radii;
  // t and u label again and find the levels already derived.
  ASSERT_GT(r.out.size(), 3 * want.sizes.size());
  EXPECT_EQ(r.out.compare(0, want.sizes.size(), want.sizes), 0);
  EXPECT_EQ(r.out.substr(r.out.size() - 2 * want.sizes.size()), want.sizes + want.sizes);

  // Every atom with its flag, then the contacts.
  std::vector<std::string> atoms = split_lines(read_file(dir.file("1ubq.atoms.contacts")));
  ASSERT_GT(atoms.size(), want.beads.size());
  std::vector<std::string> surface;
  for (size_t i = 0; i < want.beads.size(); ++i) {
    const Bead& b = want.beads[i];
    EXPECT_EQ(atoms[i], std::string(b.atom_key) + " " + std::to_string(b.res_index) + " " +
                            (b.on_surf ? "1" : "0"));
    if (b.on_surf) surface.push_back(b.atom_key);
  }

  // The surface atoms between the two headers.
  std::vector<std::string> t = split_lines(read_file(dir.file("1ubq.surface.atoms.contacts")));
  ASSERT_GT(t.size(), surface.size() + 2);
  EXPECT_EQ(t[0], "#Atoms: Key resID x y z");
  for (size_t i = 0; i < surface.size(); ++i)
    EXPECT_EQ(t[1 + i].substr(0, surface[i].size() + 1), surface[i] + " ");
  EXPECT_EQ(t[1 + surface.size()], "");
  EXPECT_EQ(t[2 + surface.size()].compare(0, 10, "#Contacts:"), 0);
}

// A labelling whose triangulation warned is not reused: each letter labels
// again and the warning comes with every triangulation, as with the edges'.
TEST(SurfaceLetters, WarningsOfTheLabellingRepeatPerLetter) {
  TempDir dir;
  std::string pdb;
  for (const std::string& line : split_lines(read_file(std::string(DATA_DIR) + "/1ubq.pdb")))
    if (line.compare(0, 4, "ATOM") == 0 && pdb.size() < 40 * 81) pdb += line + "\n";
  pdb.replace(30, 8, "    2e16");  // the first atom far beyond the others
  testrun::write_file(dir.file("far.pdb"), pdb);
  RunResult r = run_alvex({"-fxtu", dir.path(), "far.pdb"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  std::string warning = "coordinates too large!";
  std::string four = warning + warning + warning + warning;
  EXPECT_EQ(r.err.compare(0, four.size(), four), 0) << r.err;
  EXPECT_EQ(r.err.find(warning, four.size()), std::string::npos) << r.err;
}

// Residues (chain, number) flagged in the interface column of a ".surface"
// file.
std::set<std::string> interface_residues(const std::string& text) {
  std::set<std::string> out;
  bool table = false;
  for (const std::string& line : split_lines(text)) {
    if (line.compare(0, 5, "# res") == 0) {
      table = true;
      continue;
    }
    if (!table || line.empty()) continue;
    std::istringstream in(line);
    std::string name, code, number, chain, surf, inter;
    in >> name >> code >> number >> chain >> surf >> inter;
    if (inter == "1") out.insert(chain + number);
  }
  return out;
}

TEST(SurfaceLetters, ChainGroupsSelectInterfaceResidues) {
  TempDir dir;
  std::string pdb = in_dir(dir, "3al1.pdb");
  RunResult ri = run_alvex({"-fi", dir.path(), pdb}, dir.path());
  ASSERT_EQ(ri.status, 0) << ri.err;
  // Every contact between the two chains A and B makes both residues
  // interface residues under "A", "B" or no chain groups.
  std::set<std::string> contacts;
  for (const std::string& line : split_lines(read_file(dir.file("3al1.interface.contacts")))) {
    std::istringstream in(line);
    std::string k1, k2;
    in >> k1 >> k2;
    for (const std::string& k : {k1, k2}) {
      size_t c1 = k.find(':'), c2 = k.find(':', c1 + 1);
      contacts.insert(k.substr(0, 1) + k.substr(c1 + 1, c2 - c1 - 1));
    }
  }
  ASSERT_FALSE(contacts.empty());

  const std::vector<std::vector<std::string>> runs = {
      {"5", "1.4"}, {"5", "1.4", "A"}, {"5", "1.4", "B"}, {"5", "1.4", "A|B"}, {"5", "1.4", "Z"}};
  for (const auto& extra : runs) {
    std::vector<std::string> args = {"-fu", dir.path(), pdb};
    args.insert(args.end(), extra.begin(), extra.end());
    RunResult r = run_alvex(args, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::string spec = extra.size() == 3 ? extra[2] : "";
    std::set<std::string> got = interface_residues(read_file(dir.file("3al1.surface")));
    bool one_side = spec.empty() || spec == "A" || spec == "B";
    EXPECT_EQ(got, one_side ? contacts : std::set<std::string>()) << "spec '" << spec << "'";
  }
}

}  // namespace
