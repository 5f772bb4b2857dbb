#include "structure/util.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

TEST(Util, RmFileExtStaysInTheInputDirectory) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {{"/data/set1/1abc.pdb", "/data/set1/1abc"},
               {"/data/run.2/1abc.pdb", "/data/run.2/1abc"},
               {"1abc.pdb.gz", "1abc.pdb"},
               {"./1abc.pdb", "./1abc"},
               {"1abc", "1abc"},
               {"../x/1abc.pdb", "../x/1abc"},
               {"a.b/1abc", "a.b/1abc"},
               {"a..b", "a"},
               {"dir//1abc.pdb", "dir//1abc"},
               {"run.2/", "run.2/"},
               {".hidden", ".hidden"},
               {"x/.1abc.pdb", "x/.1abc"}};
  for (const auto& c : cases) EXPECT_EQ(rm_file_ext(c.in), c.out) << c.in;
}

TEST(Util, SplittersAgreeAndDropEmptyPieces) {
  Strings out;
  str_split("a..b.", out, ".");
  EXPECT_EQ(out, (Strings{"a", "b"}));
  out = {"keep"};
  str_split("", out, ".");
  str_split("...", out, ".");
  EXPECT_EQ(out, Strings{"keep"});  // appends, never clears
  str_split("whole", out, ".");
  EXPECT_EQ(out.back(), "whole");
  Strings t;
  Tokenize("  a b  ", t, " ");
  EXPECT_EQ(t, (Strings{"a", "b"}));

  // Both methods give the same pieces on random texts.
  std::mt19937 gen(7);
  const char alphabet[] = "ab.:/ ";
  for (int trial = 0; trial < 2000; ++trial) {
    std::string s;
    int len = gen() % 12;
    for (int i = 0; i < len; ++i) s += alphabet[gen() % 6];
    std::string delims = trial % 2 ? ". " : ":/";
    Strings a, b;
    str_split(s, a, delims);
    Tokenize(s, b, delims);
    ASSERT_EQ(a, b) << "'" << s << "' / '" << delims << "'";
  }
}

TEST(Util, UpperPathAndCurrentDirectory) {
  struct {
    const char* in;
    const char* parent;
    const char* last;
  } cases[] = {{"/home/u/run/", "/home/u/", "run"},
               {"data/run", "data/", "run"},
               {"/run", "/./", "run"},
               {"run", "./", "run"},
               {"//a//b", "/a/", "b"}};
  for (const auto& c : cases) {
    std::string path = c.in;
    EXPECT_EQ(upper_path_and_cur_dir(path), c.last) << c.in;
    EXPECT_EQ(path, c.parent) << c.in;
  }
}

TEST(Util, IntegerLists) {
  std::vector<int> v = {3, 1, 2, 3, -5}, e, one = {4};
  sortindex(v);
  EXPECT_EQ(v, (std::vector<int>{-5, 1, 2, 3, 3}));
  sortindex(e);
  sortindex(one);
  EXPECT_TRUE(e.empty());
  EXPECT_EQ(one, std::vector<int>{4});

  std::vector<int> a = {1, 2, 2, 5}, b = {2, 5, 5}, out = {5};
  common_id(a, b, out);
  EXPECT_EQ(out, (std::vector<int>{5, 2}));
  EXPECT_TRUE(common_id_judge(a, b));
  std::vector<int> c = {7, 8};
  EXPECT_FALSE(common_id_judge(a, c));
  EXPECT_FALSE(common_id_judge(e, a));
  EXPECT_FALSE(common_id_judge(a, e));
}

TEST(Util, MinMaxFollowTheirComparisonRule) {
  const double nan = std::nan("");
  EXPECT_TRUE(std::isnan(max_val2(1, nan)));
  EXPECT_EQ(max_val2(nan, 1), 1);
  EXPECT_EQ(min_val2(1, nan), 1);
  EXPECT_EQ(max_val4(1, 4, 3, 2), 4);
  EXPECT_EQ(min_val5(5, 4, 3, 2, -9), -9);
  // Signed zeros expose which of two equal values is returned.
  EXPECT_TRUE(std::signbit(max_val2(-0.0, 0.0)));
  EXPECT_FALSE(std::signbit(min_val2(-0.0, 0.0)));
  EXPECT_TRUE(std::signbit(max_val4(-0.0, 0.0, -1, -2)));
}

TEST(Util, PowerintMatchesRepeatedMultiplication) {
  EXPECT_EQ(powerint(2, 10), 1024);
  EXPECT_EQ(powerint(7, 0), 1);
  EXPECT_EQ(powerint(2, -1), 0);
  EXPECT_EQ(powerint(-1, -3), -1);
  EXPECT_EQ(powerint(-1, -4), 1);
  EXPECT_EQ(powerint(1, -9), 1);
  EXPECT_EQ(powerint(5, INT_MIN), 1);
  for (int a = -7; a <= 7; ++a)
    for (int n = 0; n < 40; ++n) {
      unsigned expect = 1;  // wrapping product
      for (int i = 0; i < n; ++i) expect *= static_cast<unsigned>(a);
      ASSERT_EQ(powerint(a, n), static_cast<int>(expect)) << a << "^" << n;
    }
}

}  // namespace
