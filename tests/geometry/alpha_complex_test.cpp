#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <type_traits>

#include "geometry/ashape.h"
#include "support/alpha_reference.h"

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

template <class S>
Values values_of(S* v, bool on_conv) {
  return {v->sigma, v->mu0, v->mu1, v->sigma_inf, v->mu0_inf, v->mu1_inf, on_conv};
}

Values values(CSimplex* s) {
  switch (s->size()) {
    case 1:
      return values_of(static_cast<C0Simplex*>(s), false);
    case 2:
      return values_of(static_cast<C1Simplex*>(s), static_cast<C1Simplex*>(s)->on_conv);
    case 3:
      return values_of(static_cast<C2Simplex*>(s), static_cast<C2Simplex*>(s)->on_conv);
    default:
      return values_of(static_cast<C3Simplex*>(s), static_cast<C3Simplex*>(s)->on_conv);
  }
}

std::vector<int> ids_of(CSimplex* s, bool sort = false) {
  std::vector<int> ids;
  for (int i = 0; i < s->size(); ++i) ids.push_back(s->vertices[i]->id);
  if (sort) std::sort(ids.begin(), ids.end());
  return ids;
}

// Tetrahedra, triangles, then each edge followed by the vertex simplices of
// its ends that no earlier edge had, origin end first.
void expect_list_order(const CAlpha& a) {
  const auto& l = a.simplices;
  size_t i = 0;
  while (i < l.size() && l[i]->size() == 4) ++i;
  while (i < l.size() && l[i]->size() == 3) ++i;
  std::set<int> seen;
  std::vector<CXYZW*> due;
  for (; i < l.size(); ++i) {
    if (l[i]->size() == 2) {
      EXPECT_TRUE(due.empty());
      due.clear();
      for (int k = 0; k < 2; ++k)
        if (seen.insert(l[i]->vertices[k]->id).second) due.push_back(l[i]->vertices[k]);
      continue;
    }
    ASSERT_EQ(l[i]->size(), 1);
    ASSERT_FALSE(due.empty());
    EXPECT_EQ(l[i]->vertices[0], due.front());
    EXPECT_EQ(l[i]->vertices[0]->vertex_simplex, l[i]);
    due.erase(due.begin());
  }
  EXPECT_TRUE(due.empty());
}

TEST(AlphaComplex, FourAtomsListOrderSizesAndHull) {
  std::vector<WPoint> pts = {
      {0, 0, 0, 4}, {3, 0.2, 0, 1}, {0.1, 3, 0.3, 1.5}, {0.4, 0.3, 2.5, 0.5}};
  auto t = triangulate(pts);
  CAlpha a(t.get());
  std::vector<int> sizes;
  for (CSimplex* s : a.simplices) sizes.push_back(s->size());
  ASSERT_EQ(sizes.size(), 15u);
  EXPECT_EQ(std::vector<int>(sizes.begin(), sizes.begin() + 8),
            (std::vector<int>{4, 3, 3, 3, 3, 2, 1, 1}));  // the first edge brings two
  EXPECT_EQ(std::count(sizes.begin(), sizes.end(), 2), 6);
  expect_list_order(a);

  alpharef::Complex ref(pts);
  double tet = static_cast<C3Simplex*>(a.simplices[0])->sigma;
  for (CSimplex* s : a.simplices) {
    Values v = values(s);
    const alpharef::Simplex& r = ref.simplices.at(ids_of(s, true));
    EXPECT_NEAR(v.sigma, (double)r.sigma, 1e-9);
    EXPECT_EQ(s->attached(), r.attached);
    if (s->size() == 2 || s->size() == 3) {
      EXPECT_TRUE(v.on_conv);
    }
    if (s->size() == 3) {
      EXPECT_TRUE(v.mu1_inf);
      EXPECT_EQ(v.mu0, tet);
    }
    EXPECT_EQ((*s)[s->size()], nullptr);
    EXPECT_EQ((*s)[5], nullptr);
  }
  for (double alpha : {-100.0, 0.0, 100.0}) EXPECT_FALSE(a.simplices[0]->on_surface(alpha));
  // Tetrahedron: one face ascending, then the smallest or largest id;
  // triangles ascend cyclically.
  std::vector<int> v = ids_of(a.simplices[0]);
  EXPECT_TRUE(v[0] < v[1] && v[1] < v[2] && (v[3] < v[0] || v[3] > v[2]));
  for (int i = 1; i <= 4; ++i) {
    v = ids_of(a.simplices[i]);
    EXPECT_EQ((v[0] < v[1]) + (v[1] < v[2]) + (v[2] < v[0]), 2);
  }
}

TEST(AlphaComplex, EdgeOfTwoPointsAndItsDump) {
  for (double wb : {1.0, 4.0}) {
    std::vector<WPoint> pts = {{1, 2, 3, 1}, {1, 2, 7, wb}};
    auto t = triangulate(pts);
    CAlpha a(t.get());
    ASSERT_EQ(a.simplices.size(), 3u);
    auto* e = static_cast<C1Simplex*>(a.simplices[0]);
    EXPECT_DOUBLE_EQ(e->sigma, wb == 1.0 ? 3.0 : 1.640625);
    EXPECT_TRUE(e->on_conv && e->mu0_inf && e->mu1_inf && !e->attached());
    for (int k = 1; k <= 2; ++k) {
      auto* p = static_cast<C0Simplex*>(a.simplices[k]);
      EXPECT_EQ(p->sigma, -pts[p->vertices[0]->id].w);
      EXPECT_EQ((*p)[1], nullptr);
      EXPECT_TRUE(p->on_surface(0.0));    // unattached, -w <= 0, on the hull
      EXPECT_FALSE(p->on_surface(-5.0));  // not yet in the complex
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

// Every simplex against the brute-force complex: the same simplices once
// each, sizes, attachment, mu0, mu1, hull and the surface test.
TEST(AlphaComplex, RandomWeightedPointsAgreeWithBruteForce) {
  std::mt19937 gen(20240611);
  std::uniform_real_distribution<double> xyz(0.0, 8.0), w(0.2, 4.0);
  for (int round = 0; round < 4; ++round) {
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
      std::vector<int> key = ids_of(s, true);
      EXPECT_TRUE(made.insert(key).second) << "made twice";
      auto it = ref.simplices.find(key);
      ASSERT_NE(it, ref.simplices.end()) << "not in the regular triangulation";
      const alpharef::Simplex& r = it->second;
      Values v = values(s);
      auto near = [](double a, long double b) {
        return std::fabs(a - (double)b) <= 1e-9 * (1 + std::fabs(a));
      };
      EXPECT_FALSE(v.sigma_inf);
      EXPECT_TRUE(near(v.sigma, r.sigma)) << v.sigma << " " << (double)r.sigma;
      if (s->size() == 4) continue;
      if (r.tie > 1e-7) {
        EXPECT_EQ(s->attached(), r.attached);
      }
      EXPECT_EQ(v.mu0_inf, r.mu0_inf);
      EXPECT_TRUE(v.mu0_inf || near(v.mu0, r.mu0));
      EXPECT_EQ(v.mu1_inf, r.mu1_inf);
      EXPECT_TRUE(v.mu1_inf || near(v.mu1, r.mu1));
      EXPECT_TRUE(s->size() == 1 || v.on_conv == r.hull);
      for (double alpha : {-2.0, -0.5, 0.0, 0.7, 2.0, 5.0})
        if (std::min({std::fabs(alpha - v.sigma), std::fabs(alpha - v.mu0),
                      std::fabs(alpha - v.mu1)}) > 1e-7) {
          EXPECT_EQ(s->on_surface(alpha), ref.on_surface(key, alpha));
        }
    }
    EXPECT_EQ(made.size(), ref.simplices.size());
    EXPECT_EQ(n[1] - n[2] + n[3] - n[4], 1);
  }
}

// The list alone and the full complex, in any succession on one
// triangulation, make the same simplices in the same order.
TEST(AlphaComplex, LaterComplexesOnOneTriangulationAreComplete) {
  static_assert(std::has_virtual_destructor<CSimplex>::value, "deleted through CSimplex*");
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> xyz(0.0, 5.0), w(0.2, 3.0);
  for (int trial = 0; trial < 6; ++trial) {
    std::vector<WPoint> pts(20 + 40 * trial);
    for (auto& p : pts) p = {xyz(gen), xyz(gen), xyz(gen), trial % 2 ? w(gen) : 1.0};
    auto t = triangulate(pts);
    std::vector<std::vector<int>> first;
    {
      CAlpha a(t.get(), trial < 3 ? CAlpha::kFull : CAlpha::kListOnly);
      for (CSimplex* s : a.simplices) first.push_back(ids_of(s));
    }  // its vertex simplices are gone; the points must not keep them
    CAlpha b(t.get(), trial < 3 ? CAlpha::kListOnly : CAlpha::kFull);
    expect_list_order(b);
    CAlpha c(t.get());  // while b still exists
    for (const CAlpha* x : {&b, &c}) {
      std::vector<std::vector<int>> again;
      for (CSimplex* s : x->simplices) again.push_back(ids_of(s));
      EXPECT_EQ(again, first) << "trial " << trial;
    }
    // Points added afterwards reuse blocks that held back-pointers: the
    // next complex is that of a triangulation that never had a complex.
    auto fresh = triangulate(pts);
    for (int k = 0; k < 10; ++k) {
      const WPoint p = {xyz(gen), xyz(gen), xyz(gen), 1.0};
      const int id = static_cast<int>(pts.size()) + k;
      t->add(p.x, p.y, p.z, p.w, id, nullptr);
      fresh->add(p.x, p.y, p.z, p.w, id, nullptr);
    }
    CAlpha d(t.get()), e(fresh.get());
    ASSERT_EQ(d.simplices.size(), e.simplices.size()) << "trial " << trial;
    for (std::size_t k = 0; k < d.simplices.size(); ++k) {
      ASSERT_EQ(ids_of(d.simplices[k]), ids_of(e.simplices[k])) << "trial " << trial;
      const Values a = values(d.simplices[k]), b = values(e.simplices[k]);
      EXPECT_TRUE(a.sigma == b.sigma && a.mu0 == b.mu0 && a.mu1 == b.mu1 &&
                  a.sigma_inf == b.sigma_inf && a.mu0_inf == b.mu0_inf &&
                  a.mu1_inf == b.mu1_inf && a.on_conv == b.on_conv &&
                  d.simplices[k]->attached() == e.simplices[k]->attached())
          << "trial " << trial << " simplex " << k;
    }
  }
}

// A degenerate triangle or tetrahedron does not arise from the triangulation
// on purpose, so the cells around one are made by hand.
class DegenerateCells : public ::testing::Test {
 protected:
  CD3DW tri{1e19};
  CXYZW pt[5];
  CD3DEdge* triangle(CXYZW* a, CXYZW* b, CXYZW* c) {
    CD3DEdge* e[6];
    tri.new6(e[0], e[1], e[2], e[3], e[4], e[5], a, b, c);
    return e[0];
  }
  CD3DEdge* face(int a, int b, CXYZW* c) { return triangle(&pt[a], &pt[b], c); }
  // The record of e's triangle that runs o -> d.
  static CD3DEdge* rec(CD3DEdge* e, const CXYZW* o, const CXYZW* d) {
    for (CD3DEdge& r : e->triangle()->rec)
      if (r.origin() == o && r.destination() == d) return &r;
    return nullptr;
  }
  // The cell (a, b, c, d) that abc = (a, b, c) faces into, with three new
  // triangles; with `closed`, also the cell of the other orientation on
  // the same four triangles, so that every ring through them closes.
  void cell(CD3DEdge* abc, CXYZW* d, bool closed = false) {
    CXYZW *a = abc->origin(), *b = abc->destination(), *c = abc->apex();
    CD3DEdge* adb = triangle(a, d, b);
    CD3DEdge* acd = triangle(a, c, d);
    CD3DEdge* bdc = triangle(b, d, c);
    tri.new_cell(abc, adb, acd, bdc);
    if (closed) tri.new_cell(abc->sym(), rec(adb, b, d), rec(bdc, b, c), rec(acd, a, d));
  }
  void place(int i, double x, double y, double z, double w) {
    pt[i].set(x, y, z, w);
    pt[i].id = i;
  }
  // Runs geometry() and returns what it wrote to standard error and output.
  std::string messages(CSimplex& s) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    s.geometry();
    fflush(stdout);
    std::string err = testing::internal::GetCapturedStderr();
    return err + "|" + testing::internal::GetCapturedStdout();
  }
};

TEST_F(DegenerateCells, FlatTetrahedronIsReportedAndIgnoredByItsFaces) {
  // A plane off the origin, so that the faces' det(x,y,z) minors are not
  // all zero: only their signed sum as the orientation determinant
  // vanishes.
  place(0, 0, 0, 1, 0);
  place(1, 2, 0, 1, 0);
  place(2, 0, 2, 1, 0);
  place(3, 3, 1, 1, 0);  // in the plane of the first three
  place(4, 1, 1, -2, 0);
  CD3DEdge* abc = face(0, 1, &pt[2]);
  cell(abc, &pt[3]);
  C3Simplex flat(abc);
  EXPECT_EQ(messages(flat), "4 - degeneracy!\n|0,1,2,3\n");
  EXPECT_TRUE(flat.sigma_inf);

  // Between the flat cell and a regular one, a triangle takes its values
  // from the regular one alone; with the hull instead, from neither.
  C3Simplex other(abc);
  other.sigma = 1.25;
  abc->set_c3simplex(&flat);
  abc->sym()->set_c3simplex(&other);
  cell(abc->sym(), &pt[4]);
  C2Simplex tr(abc);
  tr.geometry();
  EXPECT_NEAR(tr.sigma, 2.0, 1e-12);  // circumcircle of radius sqrt(2)
  EXPECT_FALSE(tr.sigma_inf || tr.mu0_inf || tr.mu1_inf);
  EXPECT_EQ(tr.mu0, 1.25);
  EXPECT_EQ(tr.mu1, 1.25);
  cell(abc->sym(), &tri.bound[0]);
  C2Simplex hull(abc);
  hull.geometry();
  EXPECT_TRUE(hull.on_conv && hull.mu0_inf && hull.mu1_inf);
}

// Near the threshold the answer is the error-bounded test's, whichever way
// it is reached.
TEST_F(DegenerateCells, NearlyDegenerateSimplicesFollowTheErrorBoundedTest) {
  std::mt19937 g(5);
  std::uniform_real_distribution<double> U(-60, 60), S(-0.5, 1.5), Ec(-15, 0), Ed(-16, 0);
  int flat[2] = {0, 0}, thin[2] = {0, 0};
  for (int i = 0; i < 3000; ++i) {
    double a[3], b[3], c[3], d[3];
    const double s = S(g), t1 = S(g), t2 = S(g), hc = std::pow(10.0, Ec(g)),
                 hd = std::pow(10.0, Ed(g));
    for (int k = 0; k < 3; ++k) {
      a[k] = U(g);
      b[k] = U(g);
      c[k] = a[k] + s * (b[k] - a[k]) + hc * U(g) / 60;
      d[k] = a[k] + t1 * (b[k] - a[k]) + t2 * (c[k] - a[k]) + hd * U(g) / 60;
    }
    place(0, a[0], a[1], a[2], 0);
    place(1, b[0], b[1], b[2], 0);
    place(2, c[0], c[1], c[2], 0);
    place(3, d[0], d[1], d[2], 0);
    CD3DEdge* abc = face(0, 1, &pt[2]);
    cell(abc, &pt[3]);
    CD3DEdge* r = i % 3 == 0 ? abc : i % 3 == 1 ? abc->enext() : abc->enext()->enext();
    C3Simplex tet(r);
    const bool tet_flat = tet.degenerate();
    CD3DEdge* f[4] = {r, r->fnext(), r->enext()->fnext(), r->enext()->enext()->fnext()->sym()};
    for (CD3DEdge* x : f) x->check_minors();
    CInexact D = ((f[0]->minors(0) - f[1]->minors(0)) - f[2]->minors(0)) + f[3]->minors(0);
    EXPECT_EQ(tet_flat, !D.certain()) << i;
    ++flat[tet_flat];
    C2Simplex tr(i % 2 ? r : r->sym());
    const bool tr_thin = tr.degenerate();
    CInexact m1 = tr.edge_record->minors(1), m2 = tr.edge_record->minors(2),
             m3 = tr.edge_record->minors(3);
    EXPECT_EQ(tr_thin, !((m1 * m1 + m2 * m2) + m3 * m3).certain()) << i;
    ++thin[tr_thin];
  }
  EXPECT_GT(flat[0], 100);
  EXPECT_GT(flat[1], 100);
  EXPECT_GT(thin[0], 100);
  EXPECT_GT(thin[1], 100);
}

TEST_F(DegenerateCells, CollinearTriangleIsReportedWithInfiniteValues) {
  place(0, 0, 0, 0, 1);
  place(1, 1, 1, 1, 1);
  place(2, 3, 3, 3, 1);
  CD3DEdge* e = face(2, 0, &pt[1]);
  cell(e, &tri.bound[0], true);  // the edge's only other triangle is on the hull
  C2Simplex tr(e);
  EXPECT_EQ(messages(tr), "3 - degeneracy!\n|2,0,1\n");
  EXPECT_TRUE(tr.sigma_inf && tr.mu0_inf && tr.mu1_inf && !tr.attached());
  EXPECT_FALSE(tr.on_surface(1e300));
  // An edge of it keeps its own size and inherits an infinite mu1.
  e->set_c2simplex(&tr);
  C1Simplex edge(e);
  edge.geometry();
  EXPECT_DOUBLE_EQ(edge.sigma, 27.0 / 4 - 1);
  EXPECT_TRUE(edge.mu1_inf);
}

}  // namespace
