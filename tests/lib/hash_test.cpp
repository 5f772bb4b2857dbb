#include "lib/hash.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string key_of(int i) { return "key" + std::to_string(i); }

TEST(StringHash, SizesArePrimesAndGrowAtHalfFill) {
  StringHash<int> h;
  EXPECT_EQ(h.size, 101u);
  for (unsigned n : {0u, 1u, 2u, 3u}) {
    h.initialize(n);
    EXPECT_EQ(h.size, 3u) << n;
  }
  h.initialize(4);
  EXPECT_EQ(h.size, 5u);
  h.initialize(9);
  EXPECT_EQ(h.size, 11u);
  h.initialize(1000);
  EXPECT_EQ(h.size, 1009u);
  h.initialize(1009);
  EXPECT_EQ(h.size, 1009u);

  // Through insert: the 51st key of 101 slots grows the table, the 50th not.
  StringHash<int> a;
  for (int i = 0; i < 50; ++i) a.insert(key_of(i).c_str(), i);
  EXPECT_EQ(a.size, 101u);
  a.insert(key_of(50).c_str(), 50);
  EXPECT_EQ(a.size, 211u);
  EXPECT_EQ(a.count, 51u);
  unsigned expected[] = {431, 863, 1733, 3467};
  for (unsigned s : expected) {
    a.rehash();
    EXPECT_EQ(a.size, s);
  }
  EXPECT_EQ(a.count, 51u);
  for (int i = 0; i <= 50; ++i) EXPECT_EQ(a.find(key_of(i).c_str()), i);
}

TEST(StringHash, CountTracksRealFillThroughOperatorIndex) {
  // Many rehashes triggered by new keys: the count must stay the number of
  // distinct keys, so the table never runs more than half full.
  StringHash<int> h;
  const int n = 5000;
  for (int i = 0; i < n; ++i) h[key_of(i).c_str()] = i + 1;
  for (int i = 0; i < n; i += 7) h[key_of(i).c_str()] += 0;  // present keys: no change
  EXPECT_EQ(h.count, static_cast<unsigned>(n));
  unsigned active = 0;
  for (const auto& e : h.table) active += e.status == ACTIVE;
  EXPECT_EQ(active, h.count);
  EXPECT_LE(h.count, h.size / 2);
  for (int i = 0; i < n; ++i) ASSERT_EQ(h.find(key_of(i).c_str()), i + 1) << i;

  StringHash<int> g;
  for (int i = 0; i < 51; ++i) g[key_of(i).c_str()];
  EXPECT_EQ(g.size, 211u);
  EXPECT_EQ(g.count, 51u);
}

TEST(StringHash, KeysValuesAndClear) {
  StringHash<double> h(3);
  h.insert("GLY", 1.5);
  h.insert("GLY", 2.5);
  EXPECT_EQ(h.count, 1u);
  EXPECT_EQ(h.find("GLY"), 2.5);
  EXPECT_EQ(h["ALA"], 0.0);
  EXPECT_EQ(h.count, 2u);
  EXPECT_FALSE(h.contains("GLY "));  // a trailing blank makes another key
  EXPECT_FALSE(h.contains(""));
  h.insert("", 4);
  h.insert("\xe9\xff", 5);  // bytes above 127 count negative in the hash
  EXPECT_EQ(h.find(""), 4);
  EXPECT_EQ(h.find("\xe9\xff"), 5);
  unsigned size = h.size;
  h.clear();
  EXPECT_EQ(h.size, size);
  EXPECT_EQ(h.count, 0u);
  EXPECT_FALSE(h.contains("GLY"));
}

TEST(StringHash, LongKeysStayInTheirSlot) {
  StringHash<int> h(5);
  std::string longer(150, 'a'), prefix(99, 'a');
  testing::internal::CaptureStderr();
  h.insert(longer.c_str(), 9);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, longer + "is too long, please chose a string less than 1021 charaters\n");
  h.insert("b", 1);
  EXPECT_EQ(h.find("b"), 1);
  EXPECT_EQ(h.find(longer.c_str()), 9);
  EXPECT_EQ(h.find(prefix.c_str()), 9);  // the stored key is cut to the field
  for (const auto& e : h.table)
    if (e.status == ACTIVE) {
      EXPECT_LT(std::string(e.key).size(), 100u);
    }
  EXPECT_EQ(h.count, 2u);

  testing::internal::CaptureStderr();
  h[std::string(120, 'z').c_str()] = 3;
  EXPECT_NE(testing::internal::GetCapturedStderr().find("is too long"), std::string::npos);
  EXPECT_EQ(h.find(std::string(99, 'z').c_str()), 3);
}

TEST(StringHashDeathTest, FindOfAbsentKeyStops) {
  StringHash<int> h;
  h.insert("A1", 1);
  EXPECT_DEATH(h.find("A2"), "isActive\\(currentPos\\)");
}

}  // namespace
