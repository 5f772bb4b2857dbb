// The letters d, a, c and i end to end: the edge file, the alpha edges, the
// contacts with their counts and the contacts between chains, checked
// against each other and against the level rule.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/run.h"

namespace {

struct Line {
  std::string k1, k2;
  double third;  // edge size (edge files) or level (contact files)
  int all = 0, n1 = 0, n2 = 0;
  double dist;
};

std::vector<Line> read_lines(const std::string& path, bool contact) {
  std::vector<Line> out;
  for (const std::string& s : testrun::split_lines(testrun::read_file(path))) {
    if (s.empty()) continue;
    std::istringstream in(s);
    Line l;
    in >> l.k1 >> l.k2 >> l.third;
    if (contact) in >> l.all >> l.n1 >> l.n2;
    in >> l.dist;
    EXPECT_FALSE(in.fail()) << s;
    out.push_back(l);
  }
  return out;
}

int level_of(double size) {
  double v = size > 0 ? size + 1 : size;
  if (v <= -2) return -2;
  if (v >= 6) return 6;
  return int(v);
}

char chain_of(const std::string& key) { return key[0]; }

struct AlvexRun {
  testrun::TempDir dir;
  testrun::RunResult result;
  AlvexRun(const std::string& letters, const std::string& pdb,
           const std::vector<std::string>& extra = {}) {
    testrun::copy_file(std::string(DATA_DIR) + "/" + pdb, dir.file(pdb));
    std::vector<std::string> args = {letters, dir.path(), pdb};
    args.insert(args.end(), extra.begin(), extra.end());
    result = testrun::run_alvex(args, dir.path());
  }
  std::string file(const std::string& stem_ext) const { return dir.file(stem_ext); }
};

}  // namespace

TEST(EdgeLetters, AlphaEdgesAndContactsFollowTheLevelRule) {
  AlvexRun r("-fdac", "1a0q.pdb");
  ASSERT_EQ(r.result.status, 0) << r.result.err;
  std::vector<Line> del = read_lines(r.file("1a0q.del.edges"), false);
  std::vector<Line> alpha = read_lines(r.file("1a0q.alpha.edges"), false);
  std::vector<Line> contacts = read_lines(r.file("1a0q.contacts"), true);
  ASSERT_GT(del.size(), 20000u);

  // the first deriving collector prints two squared radii per edge
  EXPECT_EQ(testrun::split_lines(r.result.out).size(), 2 * del.size());

  // keys ordered within a line, lines unique
  std::set<std::pair<std::string, std::string>> seen;
  for (const Line& l : del) {
    EXPECT_LT(l.k1, l.k2);
    EXPECT_TRUE(seen.insert({l.k1, l.k2}).second);
  }

  // alpha edges: the edge lines whose level is within the default cutoff 5,
  // in the same order (levels are taken from the printed sizes, so sizes
  // within rounding of an integer are left aside)
  std::size_t k = 0, checked = 0;
  for (const Line& l : del) {
    bool near_integer = std::fabs(l.third - std::round(l.third)) < 1e-3;
    bool in_alpha = k < alpha.size() && alpha[k].k1 == l.k1 && alpha[k].k2 == l.k2;
    if (!near_integer) {
      EXPECT_EQ(in_alpha, level_of(l.third) <= 5) << l.k1 << " " << l.k2 << " " << l.third;
      ++checked;
    }
    if (in_alpha) ++k;
  }
  EXPECT_EQ(k, alpha.size());
  EXPECT_GT(checked, del.size() / 2);
  EXPECT_LT(alpha.size(), del.size());

  // contacts: alpha edges minus the near-sequence pairs, with counts that
  // are the number of contact lines of each atom
  std::map<std::string, int> count;
  for (const Line& l : contacts) {
    ++count[l.k1];
    ++count[l.k2];
    EXPECT_LE(l.third, 5);
    EXPECT_EQ(l.all, l.n1 + l.n2);
  }
  for (const Line& l : contacts) {
    EXPECT_EQ(l.n1, count[l.k1]) << l.k1;
    EXPECT_EQ(l.n2, count[l.k2]) << l.k2;
  }
  EXPECT_GT(contacts.size(), alpha.size() / 3);
  EXPECT_LT(contacts.size(), alpha.size());
}

TEST(EdgeLetters, InterfaceContactsJoinTwoChains) {
  AlvexRun both("-fci", "1a0q.pdb");
  ASSERT_EQ(both.result.status, 0) << both.result.err;
  std::vector<Line> contacts = read_lines(both.file("1a0q.contacts"), true);
  std::vector<Line> inter = read_lines(both.file("1a0q.interface.contacts"), true);
  // with c before it, i neither derives levels again nor counts: its lines
  // are exactly the contact lines between chains
  std::vector<Line> expect;
  for (const Line& l : contacts)
    if (chain_of(l.k1) != chain_of(l.k2)) expect.push_back(l);
  ASSERT_EQ(inter.size(), expect.size());
  ASSERT_GT(inter.size(), 50u);
  for (std::size_t i = 0; i < inter.size(); ++i) {
    EXPECT_EQ(inter[i].k1, expect[i].k1);
    EXPECT_EQ(inter[i].k2, expect[i].k2);
    EXPECT_EQ(inter[i].n1, expect[i].n1);
  }

  // alone, i counts every admitted pair that passes the near-sequence rule,
  // within chains too, so the same atoms carry the same counts
  AlvexRun alone("-fi", "1a0q.pdb");
  std::vector<Line> inter2 = read_lines(alone.file("1a0q.interface.contacts"), true);
  ASSERT_EQ(inter2.size(), inter.size());
  for (std::size_t i = 0; i < inter.size(); ++i) EXPECT_EQ(inter2[i].all, inter[i].all);

  // a single-chain structure has no interface contacts
  AlvexRun single("-fi", "1ubq.pdb");
  EXPECT_EQ(testrun::read_file(single.file("1ubq.interface.contacts")), "");
}

TEST(EdgeLetters, OutputDoesNotDependOnLetterOrderOrRun) {
  AlvexRun a("-fcd", "1ubq.pdb", {"3"});
  AlvexRun b("-dfc", "1ubq.pdb", {"3"});
  ASSERT_EQ(a.result.status, 0);
  for (const char* ext : {"1ubq.del.edges", "1ubq.contacts"}) {
    std::string fa = testrun::read_file(a.file(ext)), fb = testrun::read_file(b.file(ext));
    EXPECT_FALSE(fa.empty()) << ext;
    EXPECT_EQ(fa, fb) << ext;
  }
  EXPECT_EQ(a.result.out, b.result.out);
  // cutoff 3: every contact level is at most 3
  for (const Line& l : read_lines(a.file("1ubq.contacts"), true)) EXPECT_LE(l.third, 3);
}
