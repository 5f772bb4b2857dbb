// Depressions: assembly, numbering, report files, the viewer launcher (run
// with a stand-in pymol that records its launcher and arguments) and the
// wire frame.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <map>
#include <numeric>
#include <random>
#include <set>

#include "analysis/depression.h"
#include "analysis_fixtures.h"
#include "support/run.h"

namespace {

using testrun::file_exists;
using testrun::read_file;
using testrun::split_lines;
using testrun::TempDir;
using testrun::write_file;

std::vector<int> ids(const std::vector<tetra*>& v) {
  std::vector<int> out;
  for (const tetra* t : v) out.push_back(t->id);
  return out;
}

TEST(Depressions, LastCandidateKeepsTheDepression) {
  // Candidates A then B joined by an open face: one depression, made by B.
  HandComplex h(5, {{0, 1, 2, 3}, {1, 2, 3, 4}});
  for (tetra& t : h.tetras) t.depression_mark = true;
  std::vector<depression> d;
  depressionsrepresentation(h.tetras, d, 0.0);
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].id, 2);
  EXPECT_EQ(ids(d[0].tetrahedra), (std::vector<int>{2, 1}));
  EXPECT_EQ(h.tetras[0].depression_id, 2);
  // A flagged tetrahedron in the complex is pulled in but starts nothing.
  for (tetra& t : h.tetras) t.depression_id = 0;
  h.tetras[1].in_complex = true;
  d.clear();
  depressionsrepresentation(h.tetras, d, 0.0);
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].id, 1);
  EXPECT_EQ(ids(d[0].tetrahedra), (std::vector<int>{1, 2}));
}

// On a real structure with random flags, the depressions are exactly the
// connected components of the join graph, each candidate in one of them.
TEST(Depressions, ComponentsOfTheJoinGraph) {
  PocketComplex c;
  std::vector<Bead> beads = bundled_beads("1ubq.pdb");
  build_pocket_complex(beads, 1.4, 0.0, c);
  std::mt19937 rng(8);
  for (tetra& t : c.tetras) t.depression_mark = rng() % 3 == 0;
  std::vector<depression> d;
  depressionsrepresentation(c.tetras, d, 0.0);

  const int n = static_cast<int>(c.tetras.size());
  std::vector<int> parent(n);
  std::iota(parent.begin(), parent.end(), 0);
  std::function<int(int)> find = [&](int x) {
    return parent[x] == x ? x : parent[x] = find(parent[x]);
  };
  auto has = [](const auto& v, const tetra* x) {
    return std::find(v.begin(), v.end(), x) != v.end();
  };
  std::set<int> members;
  for (tetra& t : c.tetras) {
    if (t.in_complex || !t.depression_mark) continue;
    members.insert(t.id - 1);
    for (size_t k = 0; k < t.neighbours.size(); ++k) {
      tetra* m = t.neighbours[k];
      if (!m->depression_mark) continue;
      if (!has(m->inflow, &t) && !has(t.inflow, m) && t.shared_trias[k]->in_complex) continue;
      members.insert(m->id - 1);
      parent[find(t.id - 1)] = find(m->id - 1);
    }
  }
  std::set<std::set<int>> expected, got;
  std::map<int, std::set<int>> groups;
  for (int x : members) groups[find(x)].insert(x);
  for (const auto& g : groups) expected.insert(g.second);
  size_t total = 0;
  int last_id = 0;
  for (const depression& x : d) {
    std::set<int> g;
    for (const tetra* t : x.tetrahedra) {
      g.insert(t->id - 1);
      EXPECT_EQ(t->depression_id, x.id);
    }
    EXPECT_GT(x.id, last_id);
    last_id = x.id;
    total += x.tetrahedra.size();
    got.insert(g);
  }
  EXPECT_EQ(total, members.size());
  EXPECT_EQ(got, expected);
  EXPECT_GT(d.size(), 10u);
}

// One depression over a chain of m atoms (tetrahedra i .. i+3).
struct Chain {
  HandComplex h;
  std::vector<depression> d;
  static std::vector<std::array<int, 4>> cells(int m) {
    std::vector<std::array<int, 4>> c;
    for (int i = 0; i + 3 < m; ++i) c.push_back({i, i + 1, i + 2, i + 3});
    return c;
  }
  explicit Chain(int m) : h(m, cells(m)) {
    for (tetra& t : h.tetras) t.depression_mark = true;
    depressionsrepresentation(h.tetras, d, 0.0);
  }
};

std::string selection(int m) {
  Chain c(m);
  TempDir dir;
  depressionsmeasure(c.h.tetras, c.h.atoms, c.d, dir.file("x"), 0, 1.4, 0.0);
  const std::vector<std::string> lines = split_lines(read_file(dir.file("x.dep.pml")));
  EXPECT_EQ(lines.size(), 4u);
  return lines.size() > 1 ? lines[1] : "";
}

std::string serials(int from, int to) {
  std::string s;
  for (int i = from; i <= to; ++i) s += (i == from ? "" : "+") + std::to_string(100 + i);
  return s;
}

TEST(DepressionReports, SelectionsInChunksOfFifty) {
  const std::string close = ";select dep_1, dep_1_0;delete dep_1_0";
  const std::string more = ";select dep_1_0, dep_1_0 or id ";
  EXPECT_EQ(selection(50), "select dep_1_0, id " + serials(0, 49) + close);
  EXPECT_EQ(selection(51), "select dep_1_0, id " + serials(0, 49) + more + "150" + close);
  EXPECT_EQ(selection(100),
            "select dep_1_0, id " + serials(0, 49) + more + serials(50, 99) + close);
  EXPECT_EQ(selection(101),
            "select dep_1_0, id " + serials(0, 49) + more + serials(50, 99) + more + "200" + close);
}

TEST(DepressionReports, AtomFileTableAndScript) {
  // Depressions numbered 3, 2, 1 as above.
  HandComplex h(8, {{0, 1, 2, 3}, {1, 2, 3, 4}, {2, 3, 4, 5}, {3, 4, 5, 6}, {4, 5, 6, 7}});
  for (tetra& t : h.tetras) {
    t.depression_mark = true;
    t.signed_size = 0.5 * t.id;
  }
  h.tetras[0].signed_size = 6021725.5851;  // fills its column
  h.face(2, 3, 4)->in_complex = true;
  h.face(4, 5, 6)->in_complex = true;
  for (info& a : h.atoms) {
    std::snprintf(a.atom_name, sizeof a.atom_name, "OD1");
    std::snprintf(a.residue_name, sizeof a.residue_name, "ASP");
    a.residue_number = 12;
    a.bfactor = 3.25;
  }
  std::vector<depression> d;
  depressionsrepresentation(h.tetras, d, 0.0);
  TempDir dir;
  const std::string name = dir.file("1abc.pdb");
  depressionsmeasure(h.tetras, h.atoms, d, name, 0, 1.4, 2.5);

  const std::vector<std::string> atoms = split_lines(read_file(dir.file("1abc.dep")));
  // Atoms 0 1 in one depression, 2 3 in two, 4 in three, 5 6 in two, 7 in one.
  ASSERT_EQ(atoms.size(), 2u + 4u + 3u + 4u + 1u);
  EXPECT_EQ(atoms[0],
            "ATOM    100  OD1 ASP A  12       0.000   0.000   0.000  1.00  3.25   3  DEP");
  EXPECT_EQ(atoms[8],
            "ATOM    104  OD1 ASP A  12       4.000   8.000  12.000  1.00  3.25   1  DEP");
  EXPECT_EQ(d[0].serials, (std::vector<int>{100, 101, 102, 103, 104}));

  const std::string table = read_file(dir.file("1abc.depInfo.complex"));
  const std::vector<std::string> rows = split_lines(table);
  EXPECT_EQ(table.find('\n'), 55u);
  EXPECT_EQ(rows[0], "#DEP     V1       V2       V3       V4       alphavalue");
  EXPECT_EQ(rows[1], "#initial alpha value: 2.500000");
  ASSERT_EQ(rows.size(), 2u + 5u);
  EXPECT_EQ(rows[2], "1         104      105      106      107   2.5000");
  EXPECT_EQ(rows[5], "3         101      102      103      104   1.0000");
  EXPECT_EQ(rows[6], "3         100      101      102      103 6021725.5851");

  EXPECT_EQ(read_file(dir.file("1abc.dep.pml")),
            "load " + dir.file("1abc.dep") + "\n" +
                "select dep_3_0, id 100+101+102+103+104;select dep_3, dep_3_0;delete dep_3_0\n" +
                "select dep_2_0, id 102+103+104+105+106;select dep_2, dep_2_0;delete dep_2_0\n" +
                "select dep_1_0, id 104+105+106+107;select dep_1, dep_1_0;delete dep_1_0\n" +
                "set transparency=0.35\nbg_color white\n");

  // No depressions: empty atom file, the table's two header lines, the
  // script's load and closing lines.
  HandComplex fresh(4, {{0, 1, 2, 3}});
  std::vector<depression> none;
  depressionsmeasure(fresh.tetras, fresh.atoms, none, dir.file("empty"), 0, 1.4, 0.0);
  EXPECT_EQ(read_file(dir.file("empty.dep")), "");
  EXPECT_EQ(split_lines(read_file(dir.file("empty.depInfo.complex"))).size(), 2u);
  EXPECT_EQ(split_lines(read_file(dir.file("empty.dep.pml"))).size(), 3u);

  // Files that cannot be created are skipped without a word.
  testing::internal::CaptureStderr();
  depressionsmeasure(fresh.tetras, fresh.atoms, none, dir.file("no/such"), 0, 1.4, 0.0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Runs in a scratch working directory, where the launcher script is made,
// with a search path that starts at `bin`.
class InDirectory {
 public:
  InDirectory(const std::string& dir, const std::string& bin) {
    char buf[PATH_MAX];
    previous_ = getcwd(buf, sizeof buf) ? buf : ".";
    const char* path = std::getenv("PATH");
    path_ = path ? path : "";
    EXPECT_EQ(setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1), 0);
    EXPECT_EQ(chdir(dir.c_str()), 0);
  }
  ~InDirectory() {
    EXPECT_EQ(chdir(previous_.c_str()), 0);
    setenv("PATH", path_.c_str(), 1);
  }

 private:
  std::string previous_, path_;
};

// A stand-in "pymol" that keeps the launcher it was started from and its
// arguments.
struct StandIn {
  TempDir dir;
  std::string bin = dir.file("bin");
  std::string launcher = dir.file("launcher");
  std::string arguments = dir.file("arguments");
  StandIn() {
    EXPECT_EQ(mkdir(bin.c_str(), 0755), 0);
    const std::string viewer = bin + "/pymol";
    write_file(viewer, "#!/bin/sh\ncat tmp.sh > '" + launcher +
                           "'\nfor a in \"$@\"; do echo \"[$a]\"; "
                           "done > '" +
                           arguments + "'\n");
    EXPECT_EQ(chmod(viewer.c_str(), 0755), 0);
  }
};

TEST(DepressionLauncher, StartsPymolWithTheScriptAndCleansUp) {
  StandIn s;
  Chain c(6);
  {
    InDirectory here(s.dir.path(), s.bin);
    depressionsmeasure(c.h.tetras, c.h.atoms, c.d, s.dir.file("1abc.pdb"), 1, 1.4, 0.0);
    EXPECT_FALSE(file_exists(s.dir.file("tmp.sh")));
  }
  EXPECT_EQ(read_file(s.launcher),
            "if which pymol >/dev/null 2>&1\n"
            "   then   a=$(which pymol)\n"
            "   $a " +
                s.dir.file("1abc.dep.pml") +
                "\n"
                "   else echo 'Please install PyMOL on your computer first!'\n"
                "fi\n");
  EXPECT_EQ(read_file(s.arguments), "[" + s.dir.file("1abc.dep.pml") + "]\n");

  // A name with a blank, a quote and a semicolon reaches the viewer whole.
  const std::string odd = s.dir.file("my dep's;x.pdb");
  Chain again(6);
  {
    InDirectory here(s.dir.path(), s.bin);
    depressionsmeasure(again.h.tetras, again.h.atoms, again.d, odd, 1, 1.4, 0.0);
  }
  EXPECT_EQ(read_file(s.arguments), "[" + s.dir.file("my dep's;x.dep.pml") + "]\n");

  // Any other switch writes no launcher and runs nothing.
  std::remove(s.arguments.c_str());
  for (int launch : {0, 2}) {
    Chain other(6);
    InDirectory here(s.dir.path(), s.bin);
    depressionsmeasure(other.h.tetras, other.h.atoms, other.d, s.dir.file("1abc.pdb"), launch, 1.4,
                       0.0);
    EXPECT_FALSE(file_exists(s.dir.file("tmp.sh")));
  }
  EXPECT_FALSE(file_exists(s.arguments));
}

TEST(DepressionLauncher, WithoutPymolTheScriptAsksForIt) {
  TempDir dir;
  const std::string empty = dir.file("bin");
  ASSERT_EQ(mkdir(empty.c_str(), 0755), 0);
  InDirectory here(dir.path(), empty);
  if (std::system("which pymol >/dev/null 2>&1") == 0) GTEST_SKIP() << "a real pymol is installed";
  Chain c(6);
  testing::internal::CaptureStdout();
  depressionsmeasure(c.h.tetras, c.h.atoms, c.d, dir.file("x.pdb"), 1, 1.4, 0.0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Please install PyMOL on your computer first!\n");
  EXPECT_FALSE(file_exists(dir.file("tmp.sh")));
}

TEST(DepressionLauncher, NothingRunsWithoutTheLauncherFile) {
  StandIn s;
  // A launcher that cannot be written (a directory stands in its place).
  ASSERT_EQ(mkdir(s.dir.file("tmp.sh").c_str(), 0755), 0);
  Chain c(6);
  {
    InDirectory here(s.dir.path(), s.bin);
    testing::internal::CaptureStderr();
    depressionsmeasure(c.h.tetras, c.h.atoms, c.d, s.dir.file("x"), 1, 1.4, 0.0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  }
  EXPECT_FALSE(file_exists(s.arguments));
  EXPECT_TRUE(file_exists(s.dir.file("x.dep.pml")));
}

TEST(DepressionMatlab, DrawsOnlyDepression237) {
  const std::string open_lines =
      "n=20;\nt1 = 0:pi/n:2*pi;\nt2 = 0:pi/n:pi;\n[X,Z]=meshgrid(t1,t2);\nhold on\n";
  const std::string close_lines =
      "daspect([1 1 1]);\nview(3); axis tight; grid on;\ncamlight;\nlighting gouraud;\n";
  HandComplex h(6, {{0, 1, 2, 3}, {1, 2, 3, 4}, {2, 3, 4, 5}});
  TempDir dir;
  std::vector<depression> d(236);
  for (depression& x : d) x.tetrahedra = {&h.tetras[0]};
  visualization_dep_matlab(h.tetras, h.atoms, d, dir.file("few"), 0, 0);
  EXPECT_EQ(read_file(dir.file("few.dep.m")), open_lines + close_lines);

  // The largest of 237 becomes number 237 and is the one drawn.
  d.insert(d.begin() + 100, depression());
  d[100].tetrahedra = {&h.tetras[1], &h.tetras[2]};
  visualization_dep_matlab(h.tetras, h.atoms, d, dir.file("many.pdb"), 0, 0);
  EXPECT_EQ(d[100].number, 237);
  const std::string text = read_file(dir.file("many.dep.m"));
  EXPECT_EQ(split_lines(text).size(), 5u + 60u + 4u);
  EXPECT_NE(text.find(open_lines + "x=[1,2];\ny=[2,4];\nz=[3,6];\nhandle1=line(x,y,z);\n"
                                   "set(handle1,'color','red');\n"),
            std::string::npos);
}

}  // namespace
