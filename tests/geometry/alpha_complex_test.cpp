#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <type_traits>

#include "support/alpha_reference.h"
#include "geometry/ashape.h"

namespace {

using alpharef::WPoint;

std::unique_ptr<CD3DW> triangulate(const std::vector<WPoint>& pts) {
  std::unique_ptr<CD3DW> t(new CD3DW(1e19));
  for (int k : seeded_insertion_order(static_cast<int>(pts.size())))
    t->add(pts[k].x, pts[k].y, pts[k].z, pts[k].w, k, nullptr);
  return t;
}

struct Values {
  double sigma, mu0, mu1;
  bool sigma_inf, mu0_inf, mu1_inf, on_conv;
};

Values values(CSimplex* s) {
  switch (s->size()) {
    case 1: {
      auto* v = static_cast<C0Simplex*>(s);
      return {v->sigma, v->mu0, v->mu1, v->sigma_inf, v->mu0_inf, v->mu1_inf, false};
    }
    case 2: {
      auto* v = static_cast<C1Simplex*>(s);
      return {v->sigma, v->mu0, v->mu1, v->sigma_inf, v->mu0_inf, v->mu1_inf, v->on_conv};
    }
    case 3: {
      auto* v = static_cast<C2Simplex*>(s);
      return {v->sigma, v->mu0, v->mu1, v->sigma_inf, v->mu0_inf, v->mu1_inf, v->on_conv};
    }
    default: {
      auto* v = static_cast<C3Simplex*>(s);
      return {v->sigma, v->mu0, v->mu1, v->sigma_inf, v->mu0_inf, v->mu1_inf, v->on_conv};
    }
  }
}

std::vector<int> ids_of(CSimplex* s) {
  std::vector<int> ids;
  for (int i = 0; i < s->size(); ++i) ids.push_back(s->vertices[i]->id);
  return ids;
}

std::vector<int> sorted(std::vector<int> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// List order: tetrahedra, triangles, then every edge followed by the vertex
// simplices of those of its ends that no earlier edge had.
void expect_list_order(const CAlpha& a) {
  size_t i = 0;
  const auto& l = a.simplices;
  while (i < l.size() && l[i]->size() == 4) ++i;
  while (i < l.size() && l[i]->size() == 3) ++i;
  std::set<int> seen;
  CSimplex* last_edge = nullptr;
  int introduced = 0;
  for (; i < l.size(); ++i) {
    if (l[i]->size() == 2) {
      last_edge = l[i];
      introduced = 0;
      continue;
    }
    ASSERT_EQ(l[i]->size(), 1) << "simplex of size " << l[i]->size() << " after the edges began";
    ASSERT_NE(last_edge, nullptr);
    CXYZW* p = l[i]->vertices[0];
    // Origin end first, and only when new.
    CXYZW* expect = nullptr;
    for (int k = introduced; k < 2 && !expect; ++k)
      if (!seen.count(last_edge->vertices[k]->id)) expect = last_edge->vertices[k], introduced = k + 1;
    EXPECT_EQ(p, expect);
    EXPECT_EQ(p->vertex_simplex, l[i]);
    seen.insert(p->id);
  }
  for (CSimplex* s : l)
    for (int k = 0; k < s->size(); ++k) EXPECT_TRUE(seen.count(s->vertices[k]->id));
}

TEST(AlphaComplex, FourAtomsListOrderSizesAndHull) {
  std::vector<WPoint> pts = {{0, 0, 0, 4}, {3, 0.2, 0, 1}, {0.1, 3, 0.3, 1.5}, {0.4, 0.3, 2.5, 0.5}};
  auto t = triangulate(pts);
  CAlpha a(t.get());
  std::vector<int> sizes;
  for (CSimplex* s : a.simplices) sizes.push_back(s->size());
  ASSERT_EQ(sizes.size(), 15u);
  std::vector<int> head(sizes.begin(), sizes.begin() + 8);
  EXPECT_EQ(head, (std::vector<int>{4, 3, 3, 3, 3, 2, 1, 1}));  // first edge brings two
  EXPECT_EQ(std::count(sizes.begin(), sizes.end(), 2), 6);
  EXPECT_EQ(std::count(sizes.begin(), sizes.end(), 1), 4);
  expect_list_order(a);

  alpharef::Complex ref(pts);
  for (CSimplex* s : a.simplices) {
    Values v = values(s);
    const alpharef::Simplex& r = ref.simplices.at(sorted(ids_of(s)));
    EXPECT_NEAR(v.sigma, (double)r.sigma, 1e-9);
    EXPECT_EQ(s->attached(), r.attached);
    if (s->size() == 2 || s->size() == 3) { EXPECT_TRUE(v.on_conv); }
    if (s->size() == 3) {
      EXPECT_TRUE(v.mu1_inf);
      EXPECT_NEAR(v.mu0, static_cast<C3Simplex*>(a.simplices[0])->sigma, 1e-12);
    }
    EXPECT_EQ((*s)[5], nullptr);
    EXPECT_EQ((*s)[-1], nullptr);
    EXPECT_EQ((*s)[s->size() - 1], s->vertices[s->size() - 1]);
  }
  for (double alpha : {-100.0, 0.0, 100.0}) EXPECT_FALSE(a.simplices[0]->on_surface(alpha));
  // Vertex orders: tetrahedron face ascending then the extreme id; triangle
  // ascending cyclically; edge ascending.
  std::vector<int> tet = ids_of(a.simplices[0]);
  EXPECT_TRUE(tet[0] < tet[1] && tet[1] < tet[2] && (tet[3] < tet[0] || tet[3] > tet[2]));
  for (int i = 1; i <= 4; ++i) {
    std::vector<int> tr = ids_of(a.simplices[i]);
    int rises = (tr[0] < tr[1]) + (tr[1] < tr[2]) + (tr[2] < tr[0]);
    EXPECT_EQ(rises, 2);
  }
}

TEST(AlphaComplex, EdgeOfTwoPointsAndItsDump) {
  for (auto wb : {1.0, 4.0}) {
    std::vector<WPoint> pts = {{1, 2, 3, 1}, {1, 2, 7, wb}};
    auto t = triangulate(pts);
    CAlpha a(t.get());
    ASSERT_EQ(a.simplices.size(), 3u);
    auto* e = static_cast<C1Simplex*>(a.simplices[0]);
    ASSERT_EQ(e->size(), 2);
    EXPECT_DOUBLE_EQ(e->sigma, wb == 1.0 ? 3.0 : 1.640625);
    EXPECT_TRUE(e->on_conv && e->mu0_inf && e->mu1_inf && !e->attached());
    for (int k = 1; k <= 2; ++k) {
      auto* v = static_cast<C0Simplex*>(a.simplices[k]);
      EXPECT_EQ(v->sigma, -pts[v->vertices[0]->id].w);
      EXPECT_FALSE(v->attached());
      EXPECT_TRUE(v->mu1_inf);
      EXPECT_TRUE(v->on_surface(0.0));     // unattached, -w <= 0, hull
      EXPECT_FALSE(v->on_surface(-5.0));   // not yet in the complex
    }
    if (wb == 1.0) {
      testing::internal::CaptureStdout();
      e->dump();
      fflush(stdout);
      EXPECT_EQ(testing::internal::GetCapturedStdout(),
                "size: 2\tUnattached;\tOn Conv;\tSigma: 3\tMu0: Infinity\tMu1: Infinity\t0 1\n");
    }
  }
}

// Sizes, attachment, mu0, mu1, hull and surface of every simplex against the
// brute-force complex; the list itself against the triangulation.
TEST(AlphaComplex, RandomWeightedPointsAgreeWithBruteForce) {
  std::mt19937 gen(20240611);
  for (int round = 0; round < 4; ++round) {
    std::uniform_real_distribution<double> xyz(0.0, 8.0), w(0.2, 4.0);
    std::vector<WPoint> pts(35);
    for (auto& p : pts) p = {xyz(gen), xyz(gen), xyz(gen), w(gen)};
    auto t = triangulate(pts);
    CAlpha a(t.get());
    alpharef::Complex ref(pts);
    expect_list_order(a);

    long n[5] = {0, 0, 0, 0, 0};
    std::set<std::vector<int>> made;
    for (CSimplex* s : a.simplices) {
      n[s->size()]++;
      std::vector<int> key = sorted(ids_of(s));
      EXPECT_TRUE(made.insert(key).second) << "simplex made twice";
      auto it = ref.simplices.find(key);
      ASSERT_NE(it, ref.simplices.end()) << "not a simplex of the regular triangulation";
      const alpharef::Simplex& r = it->second;
      Values v = values(s);
      double tol = 1e-9 * (1.0 + std::fabs((double)r.sigma));
      ASSERT_FALSE(v.sigma_inf);
      EXPECT_NEAR(v.sigma, (double)r.sigma, tol);
      if (s->size() == 4) continue;
      if (r.tie > 1e-7) { EXPECT_EQ(s->attached(), r.attached); }
      EXPECT_EQ(v.mu0_inf, r.mu0_inf);
      if (!v.mu0_inf) { EXPECT_NEAR(v.mu0, (double)r.mu0, 1e-9 * (1 + std::fabs((double)r.mu0))); }
      EXPECT_EQ(v.mu1_inf, r.mu1_inf);
      if (!v.mu1_inf) { EXPECT_NEAR(v.mu1, (double)r.mu1, 1e-9 * (1 + std::fabs((double)r.mu1))); }
      if (s->size() > 1) { EXPECT_EQ(v.on_conv, r.hull); }
      for (double alpha : {-2.0, -0.5, 0.0, 0.7, 2.0, 5.0}) {
        double margin = std::min({std::fabs(alpha - v.sigma), std::fabs(alpha - v.mu0),
                                  std::fabs(alpha - v.mu1)});
        if (margin > 1e-7) { EXPECT_EQ(s->on_surface(alpha), ref.on_surface(key, alpha)); }
      }
    }
    EXPECT_EQ(made.size(), ref.simplices.size());
    EXPECT_EQ(n[1] - n[2] + n[3] - n[4], 1);

    // Every live cell of four points is exactly one tetrahedron.
    long cells = 0;
    for (CD3DCell* c : t->cells)
      if (!c->child[0] && c->vertex[0]->id >= 0 && c->vertex[1]->id >= 0 &&
          c->vertex[2]->id >= 0 && c->vertex[3]->id >= 0)
        ++cells;
    EXPECT_EQ(n[4], cells);
  }
}

TEST(AlphaComplex, SecondComplexOnOneTriangulationIsComplete) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> xyz(0.0, 5.0);
  std::vector<WPoint> pts(20);
  for (auto& p : pts) p = {xyz(gen), xyz(gen), xyz(gen), 1.0};
  auto t = triangulate(pts);
  std::vector<std::vector<int>> first;
  {
    CAlpha a(t.get());
    for (CSimplex* s : a.simplices) first.push_back(ids_of(s));
  }  // its vertex simplices are gone; the points must not keep them
  CAlpha b(t.get());
  CAlpha c(t.get());  // built while b still exists
  for (const CAlpha* x : {&b, &c}) {
    std::vector<std::vector<int>> again;
    for (CSimplex* s : x->simplices) again.push_back(ids_of(s));
    EXPECT_EQ(again, first);
  }
  for (CXYZW* p : t->points)
    if (p->vertex_simplex) {
      EXPECT_TRUE(std::find(c.simplices.begin(), c.simplices.end(),
                            static_cast<CSimplex*>(p->vertex_simplex)) != c.simplices.end());
    }
  static_assert(std::has_virtual_destructor<CSimplex>::value,
                "simplices are deleted through CSimplex*");
}

// Degenerate triangles and tetrahedra cannot be produced on purpose through
// the triangulation, so the records around them are linked by hand.
class DegenerateCells : public ::testing::Test {
 protected:
  CD3DW tri{1e19};
  CXYZW pt[5];
  CD3DEdge* face(int a, int b, CXYZW* c) {
    CD3DEdge *e[6];
    tri.new6(e[0], e[1], e[2], e[3], e[4], e[5], &pt[a], &pt[b], c);
    return e[0];
  }
  void place(int i, double x, double y, double z, double w) {
    pt[i].set(x, y, z, w);
    pt[i].id = i;
  }
};

TEST_F(DegenerateCells, FlatTetrahedronIsReportedAndIgnoredByItsFaces) {
  place(0, 0, 0, 0, 0);
  place(1, 2, 0, 0, 0);
  place(2, 0, 2, 0, 0);
  place(3, 2, 2, 0, 0);  // same plane
  place(4, 1, 1, -3, 0);
  CD3DEdge* abc = face(0, 1, &pt[2]);
  abc->fnext = face(0, 1, &pt[3]);
  abc->enext->fnext = face(1, 2, &pt[3]);
  abc->enext->enext->fnext = face(2, 0, &pt[3]);
  C3Simplex flat(abc);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  flat.geometry();
  fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "4 - degeneracy!\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "0,1,2,3\n");
  EXPECT_TRUE(flat.sigma_inf);

  // The triangle between the flat cell and a regular one takes its values
  // from the regular one alone; with a hull side instead, from neither.
  C3Simplex other(abc);
  other.sigma = 1.25;
  other.sigma_inf = false;
  abc->c3simplex = &flat;
  abc->sym->c3simplex = &other;
  abc->sym->fnext = face(1, 0, &pt[4]);
  C2Simplex tr(abc);
  tr.geometry();
  EXPECT_FALSE(tr.sigma_inf);
  EXPECT_NEAR(tr.sigma, 2.0, 1e-12);  // circumcircle of radius sqrt(2)
  EXPECT_FALSE(tr.mu0_inf || tr.mu1_inf);
  EXPECT_EQ(tr.mu0, 1.25);
  EXPECT_EQ(tr.mu1, 1.25);

  abc->sym->fnext = face(1, 0, &tri.bound[0]);
  C2Simplex hull(abc);
  hull.geometry();
  EXPECT_TRUE(hull.on_conv && hull.mu0_inf && hull.mu1_inf);
}

TEST_F(DegenerateCells, CollinearTriangleIsReportedWithInfiniteValues) {
  place(0, 0, 0, 0, 1);
  place(1, 1, 1, 1, 1);
  place(2, 3, 3, 3, 1);
  CD3DEdge* e = face(2, 0, &pt[1]);
  e->fnext = e;
  e->sym->fnext = e->sym;
  C2Simplex tr(e);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  tr.geometry();
  fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "3 - degeneracy!\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "2,0,1\n");
  EXPECT_TRUE(tr.sigma_inf && tr.mu0_inf && tr.mu1_inf);
  EXPECT_FALSE(tr.attached());
  EXPECT_FALSE(tr.on_surface(1e300));

  // An edge around it inherits an infinite mu1 but keeps its own size.
  e->c2simplex = &tr;
  C1Simplex edge(e);
  edge.geometry();
  EXPECT_FALSE(edge.sigma_inf);
  EXPECT_TRUE(edge.mu1_inf);
}

}  // namespace
