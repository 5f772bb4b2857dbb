// Sub-pocket life trees and their renderings.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <numeric>
#include <random>

#include "analysis/lifetree.h"

namespace {

// A pocket whose sub-pockets and knot tops are given directly.
struct KnotPocket {
  std::vector<pocket> pockets{1};
  std::deque<tria> triangles;

  // Sub-pockets with ids 11, 12, ... and the given max_alpha values.
  explicit KnotPocket(const std::vector<double>& max_alpha) {
    for (size_t k = 0; k < max_alpha.size(); ++k) {
      auto s = std::make_shared<subpocket>();
      s->id = 11 + static_cast<int>(k);
      s->max_alpha = max_alpha[k];
      p().subpockets.push_back(s);
    }
  }

  pocket& p() { return pockets[0]; }
  subpocket& sub(size_t k) { return *p().subpockets[k]; }

  // A knot between sub-pockets a and b at `time`, listed in the knot tops of
  // a, and of b too unless `one_sided`.
  void knot(size_t a, size_t b, double time, bool one_sided = false) {
    triangles.emplace_back();
    tria* t = &triangles.back();
    t->id = static_cast<int>(triangles.size());
    t->signed_size = time;
    top(a, b, t);
    if (!one_sided) top(b, a, t);
  }

  void top(size_t from, size_t to, tria* t) {
    auto k = std::make_shared<mouth>();
    k->id = sub(to).id;
    k->triangles = {t};
    sub(from).knot_tops.push_back(k);
  }

  ~KnotPocket() { release_life_trees(pockets); }
};

TEST(LifeTree, ChainOfThreeAndTheMergePlace) {
  KnotPocket k({3.25, 7.5, 6.125});
  k.knot(0, 1, 2.0);
  k.knot(1, 2, 5.0);
  pocket_life_tree(k.pockets);
  ASSERT_EQ(k.p().trees.size(), 1u);
  const tree* root = k.p().trees[0];
  EXPECT_EQ(root->time, 2.0);
  ASSERT_EQ(root->branches.size(), 2u);  // each knot once, though listed twice
  EXPECT_EQ(root->branches[0].subpocket_id, 11);
  EXPECT_EQ(root->branches[0].partner_id, 12);
  ASSERT_EQ(root->children.size(), 2u);
  EXPECT_EQ(root->children[0]->time, 3.25);  // a leaf takes its max_alpha
  EXPECT_EQ(root->children[1]->time, 5.0);
  EXPECT_EQ(k.sub(0).path, (std::vector<int>{0}));
  EXPECT_EQ(k.sub(1).path, (std::vector<int>{1, 0}));
  EXPECT_EQ(k.sub(2).path, (std::vector<int>{1, 1}));
  EXPECT_EQ(k.sub(0).split_times, (std::vector<double>{2.0}));
  EXPECT_EQ(k.sub(2).split_times, (std::vector<double>{2.0, 5.0}));

  // A later knot found only in the third sub-pocket's tops, towards the
  // first: the merged group stands at the third's place, so the second
  // sub-pocket becomes the first child.
  KnotPocket m({4.0, 2.5, 6.0});
  m.knot(0, 1, 1.0);
  m.knot(2, 0, 3.0, true);
  pocket_life_tree(m.pockets);
  EXPECT_EQ(m.sub(1).path, (std::vector<int>{0}));
  EXPECT_EQ(m.sub(0).path, (std::vector<int>{1, 0}));
  EXPECT_EQ(m.sub(2).path, (std::vector<int>{1, 1}));
  EXPECT_EQ(m.sub(0).split_times, (std::vector<double>{1.0, 3.0}));
}

TEST(LifeTree, NoTreeOrNoChildren) {
  // Two sub-pockets without any knot top: nothing to take the root from.
  KnotPocket loose({1.0, 2.0});
  pocket_life_tree(loose.pockets);
  EXPECT_TRUE(loose.p().trees.empty());
  // Three groups at once, or knots only at the node's own time: no children.
  KnotPocket three({1.0, 2.0, 3.0});
  three.knot(0, 1, 1.5);
  KnotPocket ties({1.0, 2.0, 3.0});
  ties.knot(0, 1, 2.0);
  ties.knot(1, 2, 2.0);
  for (KnotPocket* k : {&three, &ties}) {
    pocket_life_tree(k->pockets);
    ASSERT_EQ(k->p().trees.size(), 1u);
    EXPECT_TRUE(k->p().trees[0]->children.empty());
    EXPECT_TRUE(k->sub(0).path.empty());
  }
}

// With distinct knot times on a connected knot graph, two sub-pockets are
// cut apart at the bottleneck of the best path between them: the maximum
// over paths of the smallest knot time on the path.
TEST(LifeTree, SplitTimesAreBottlenecksOfTheKnotGraph) {
  std::mt19937 rng(17);
  for (int round = 0; round < 40; ++round) {
    const int n = 2 + round % 9;
    std::vector<double> alphas(n);
    for (int i = 0; i < n; ++i) alphas[i] = 50.0 + i;
    KnotPocket k(alphas);
    std::vector<std::array<int, 2>> ends;
    std::vector<double> times;
    std::vector<double> pool(3 * n);
    std::iota(pool.begin(), pool.end(), 1.0);
    std::shuffle(pool.begin(), pool.end(), rng);
    for (int i = 1; i < n; ++i) {
      ends.push_back({static_cast<int>(rng() % i), i});
    }
    for (int extra = 0; extra < n / 2; ++extra) {
      const int a = static_cast<int>(rng() % n), b = static_cast<int>(rng() % n);
      if (a != b) ends.push_back({a, b});
    }
    for (size_t e = 0; e < ends.size(); ++e) {
      times.push_back(pool[e]);
      k.knot(ends[e][0], ends[e][1], pool[e]);
    }
    pocket_life_tree(k.pockets);

    // Bottleneck by adding knots from the latest down until a and b meet.
    auto bottleneck = [&](int a, int b) {
      std::vector<size_t> order(ends.size());
      std::iota(order.begin(), order.end(), 0);
      std::sort(order.begin(), order.end(),
                [&](size_t x, size_t y) { return times[x] > times[y]; });
      std::vector<int> parent(n);
      std::iota(parent.begin(), parent.end(), 0);
      std::function<int(int)> find = [&](int x) {
        return parent[x] == x ? x : parent[x] = find(parent[x]);
      };
      for (size_t e : order) {
        parent[find(ends[e][0])] = find(ends[e][1]);
        if (find(a) == find(b)) return times[e];
      }
      return -1.0;
    };

    for (int a = 0; a < n; ++a) {
      const subpocket& x = k.sub(a);
      ASSERT_EQ(x.path.size(), x.split_times.size());
      for (size_t i = 1; i < x.split_times.size(); ++i)
        EXPECT_LT(x.split_times[i - 1], x.split_times[i]);
      for (int b = a + 1; b < n; ++b) {
        const subpocket& y = k.sub(b);
        size_t l = 0;
        while (l < x.path.size() && l < y.path.size() && x.path[l] == y.path[l]) ++l;
        ASSERT_LT(l, std::min(x.path.size(), y.path.size())) << "round " << round;
        EXPECT_EQ(x.split_times[l], bottleneck(a, b)) << "round " << round;
        EXPECT_EQ(y.split_times[l], x.split_times[l]);
      }
    }
  }
}

TEST(LifeTree, LongChainsNeedNoDeepCallStack) {
  const int n = 1500;
  std::vector<double> alphas(n, 1e6);
  KnotPocket k(alphas);
  for (int i = 1; i < n; ++i) k.knot(i - 1, i, i);
  pocket_life_tree(k.pockets);
  EXPECT_EQ(k.sub(n - 1).path.size(), static_cast<size_t>(n - 1));
  EXPECT_EQ(k.sub(0).path, (std::vector<int>{0}));
  EXPECT_EQ(k.sub(n - 1).split_times.back(), n - 1.0);
}

std::vector<std::string> render(pocket& p, std::string& text) {
  const size_t n = p.subpockets.size();
  std::vector<std::string> rows(n), commands(n);
  poc_tree_string(&p, rows, text, commands);
  rows.insert(rows.end(), commands.begin(), commands.end());
  return rows;
}

TEST(TreeRendering, WorkedExample) {
  KnotPocket k({3.25, 7.5, 6.125});
  k.knot(0, 1, 2.0);
  k.knot(1, 2, 5.0);
  pocket_life_tree(k.pockets);
  std::string text;
  const std::vector<std::string> out = render(k.p(), text);
  ASSERT_EQ(out.size(), 3u + 3u + (2 * 3 + 3 + 2));
  EXPECT_EQ(out[0], "2_________________________3.25__________dead_0");
  EXPECT_EQ(out[1], "  |____________5__________7.5__________dead_1");
  EXPECT_EQ(out[2], "                 |____________6.125__________dead_2");
  EXPECT_EQ(text, "(0:3.25,(1:7.5,2:6.125):5):2");
  EXPECT_EQ(out[3], "sub_pocket_0<-c(2,3.25);y0<-c(3,3);");
  EXPECT_EQ(out[4], "sub_pocket_1<-c(2,7.5);y1<-c(2,2);");
  EXPECT_EQ(out[5], "sub_pocket_2<-c(5,6.125);y2<-c(1,1);");
  EXPECT_EQ(out[6], "x<-NULL;y<-NULL;");
  EXPECT_EQ(out[7], "x<-c(x,sub_pocket_0[1]);x<-c(x,sub_pocket_0[2]);y<-c(y,y0[1]);y<-c(y,y0[2]);");
  EXPECT_EQ(out[10], "plot(x,y,xlab='alpha value');box();");
  EXPECT_EQ(out[11], "lines(sub_pocket_0,y0,type='o');");
  EXPECT_EQ(out[14],
            "xtmp<-NULL;ytmp<-NULL;xtmp<-c(xtmp,2);xtmp<-c(xtmp,2);ytmp<-c(ytmp,2);"
            "ytmp<-c(ytmp,3);lines(xtmp,ytmp,type='o');");
  EXPECT_EQ(out[15],
            "xtmp<-NULL;ytmp<-NULL;xtmp<-c(xtmp,5);xtmp<-c(xtmp,5);ytmp<-c(ytmp,1);"
            "ytmp<-c(ytmp,2);lines(xtmp,ytmp,type='o');");
  EXPECT_EQ(out[16], "text(locator(),labels=c('P0','P1','P2'))");
}

TEST(TreeRendering, RowsFollowThePathOrderAndLabelsKeepPositions) {
  KnotPocket m({4.0, 2.5, 12.3456});
  m.knot(0, 1, 1.0);
  m.knot(2, 0, 3.0, true);
  pocket_life_tree(m.pockets);
  std::string text;
  const std::vector<std::string> out = render(m.p(), text);
  EXPECT_EQ(out[0], "1_________________________2.5__________dead_1");
  EXPECT_EQ(out[1], "  |____________3__________4__________dead_0");
  EXPECT_EQ(out[2], "                 |____________12.34__________dead_2");
  EXPECT_EQ(text, "(1:2.5,(0:4,2:12.34):3):1");
  EXPECT_EQ(out[3], "sub_pocket_1<-c(1,2.5);y1<-c(3,3);");
  EXPECT_EQ(out[4], "sub_pocket_0<-c(1,4);y0<-c(2,2);");
  EXPECT_EQ(out[5], "sub_pocket_2<-c(3,12.34);y2<-c(1,1);");
  EXPECT_EQ(out.back(), "text(locator(),labels=c('P1','P0','P2'))");
}

TEST(TreeRendering, OneOrNoSubpocket) {
  KnotPocket one({0.5});
  std::string text;
  std::vector<std::string> out = render(one.p(), text);
  EXPECT_EQ(text, "");
  EXPECT_EQ(
      out, (std::vector<std::string>{
               "0.5__________dead_0", "sub_pocket_0<-c(100000,0.5);y0<-c(1,1);", "x<-NULL;y<-NULL;",
               "x<-c(x,sub_pocket_0[1]);x<-c(x,sub_pocket_0[2]);y<-c(y,y0[1]);y<-c(y,y0[2]);",
               "plot(x,y,xlab='alpha value');box();", "lines(sub_pocket_0,y0,type='o');",
               "text(locator(),labels=c('P0'))"}));

  pocket none;
  std::vector<std::string> rows = {"kept"}, commands = {"kept"};
  text.clear();
  poc_tree_string(&none, rows, text, commands);
  EXPECT_EQ(rows, (std::vector<std::string>{"kept"}));
  EXPECT_EQ(commands, (std::vector<std::string>{"kept", "x<-NULL;y<-NULL;",
                                                "plot(x,y,xlab='alpha value');box();",
                                                "text(locator(),labels=c())"}));
}

}  // namespace
