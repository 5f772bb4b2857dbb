// Mouth triangles, their grouping into openings, the selection by size and
// the sub-pocket types, on hand-made records (only flags, lists and sizes
// decide them; the measures are not looked at here).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "measure/atomballs.h"
#include "pockets/mouths.h"

namespace {

// Records made by hand: triangles with chosen edges, tetrahedra with chosen
// faces.  Every triangle is a convex-hull face of the tetrahedron that lists
// it unless cofaces are set otherwise.
struct Graph {
  std::vector<info> atoms = std::vector<info>(8);
  std::vector<edge> edges = std::vector<edge>(200);
  std::vector<tria> trias = std::vector<tria>(60);
  std::vector<tetra> tetras = std::vector<tetra>(6);
  int next_edge = 0;
  int next_tria = 0;

  Graph() {
    const double xyz[8][3] = {{0, 0, 0}, {3, 0, 0}, {0, 3, 0}, {0, 0, 3},
                              {3, 3, 0}, {3, 0, 3}, {0, 3, 3}, {3, 3, 3}};
    for (int i = 0; i < 8; ++i) {
      atoms[i].index = i;
      atoms[i].x = xyz[i][0];
      atoms[i].y = xyz[i][1];
      atoms[i].z = xyz[i][2];
      atoms[i].radius = 1.5;
    }
    for (size_t k = 0; k < edges.size(); ++k) edges[k].id = static_cast<int>(k) + 1;
    for (size_t k = 0; k < trias.size(); ++k) trias[k].id = static_cast<int>(k) + 1;
    for (size_t k = 0; k < tetras.size(); ++k) {
      tetras[k].id = static_cast<int>(k) + 1;
      for (int v = 0; v < 4; ++v) tetras[k].v[v] = &atoms[v];
    }
  }

  edge* new_edge(bool in_complex = false) {
    EXPECT_LT(next_edge, static_cast<int>(edges.size()));
    edge* e = &edges[next_edge++];
    e->v[0] = &atoms[0];
    e->v[1] = &atoms[1];
    e->in_complex = in_complex;
    return e;
  }

  // A triangle on vertices (0, 1, 2) with the given edges (fresh ones where
  // null), hull face of `owner`.
  tria* new_tria(int owner, double size, edge* a = nullptr, edge* b = nullptr, edge* c = nullptr) {
    EXPECT_LT(next_tria, static_cast<int>(trias.size()));
    tria* t = &trias[next_tria++];
    t->v[0] = &atoms[0];
    t->v[1] = &atoms[1];
    t->v[2] = &atoms[2];
    t->e[0] = a ? a : new_edge();
    t->e[1] = b ? b : new_edge();
    t->e[2] = c ? c : new_edge();
    t->signed_size = size;
    t->cofaces = {&tetras[owner]};
    return t;
  }

  // A face in the complex, never a mouth.
  tria* closed(int owner) {
    tria* t = new_tria(owner, -1.0);
    t->in_complex = true;
    return t;
  }

  void faces(int t, tria* a, tria* b, tria* c, tria* d) {
    tetras[t].faces[0] = a;
    tetras[t].faces[1] = b;
    tetras[t].faces[2] = c;
    tetras[t].faces[3] = d;
  }
};

std::shared_ptr<subpocket> sub_of(std::vector<tetra*> t) {
  auto s = std::make_shared<subpocket>();
  s->tetrahedra = std::move(t);
  return s;
}

// The one-pocket case: pocket {tetra 0} with one sub-pocket.
struct OnePocket : ::testing::Test {
  Graph g;
  std::vector<pocket> pockets = std::vector<pocket>(1);
  std::vector<mouth> mouths = std::vector<mouth>(1);

  void run() {
    pockets[0].tetrahedra = {&g.tetras[0]};
    pockets[0].subpockets = {sub_of({&g.tetras[0]})};
    // The sub-pocket marks of the faces, as the numbering leaves them.
    for (tria& t : g.trias) {
      sub_id s;
      s.pocket = 1;
      s.subpockets = {0};
      t.sub_ids = {s};
    }
    mouthsrepresentation(pockets, mouths, g.atoms, 1.4);
  }
  const mouth& m() const { return mouths[0]; }
  int type() const { return pockets[0].subpockets[0]->type; }
};

TEST_F(OnePocket, BorderFacesAllInTheComplexMakeNoMouth) {
  g.faces(0, g.closed(0), g.closed(0), g.closed(0), g.closed(0));
  run();
  EXPECT_EQ(m().triangle_count, 0);
  EXPECT_EQ(m().opening_count, 0);
  EXPECT_TRUE(m().openings.empty());
  EXPECT_EQ(m().area_sa, 0.0);
  EXPECT_EQ(type(), -1);
  for (const info& a : g.atoms) EXPECT_FALSE(a.marks[MARK_MOUTH]);
}

TEST_F(OnePocket, ASingleOpeningIsKeptWhateverItsSize) {
  tria* t = g.new_tria(0, 0.5);
  g.faces(0, g.closed(0), t, g.closed(0), g.closed(0));
  run();
  EXPECT_EQ(m().triangle_count, 1);
  EXPECT_EQ(m().opening_count, 1);
  ASSERT_EQ(m().openings.size(), 1u);
  EXPECT_EQ(m().openings[0], std::vector<tria*>{t});
  EXPECT_EQ(m().opening_sizes, std::vector<double>{0.5});
  EXPECT_TRUE(t->flags[TRIA_FLAG_MOUTH]);
  EXPECT_TRUE(g.atoms[1].marks[MARK_MOUTH]);
  EXPECT_EQ(g.atoms[1].mouth_ids, std::vector<int>{1});
  EXPECT_EQ(type(), 1);
  EXPECT_EQ(pockets[0].subpockets[0]->opening_ids, std::vector<int>{0});
}

TEST_F(OnePocket, SeveralOpeningsCountFromSize1_83) {
  tria* a = g.new_tria(0, 1.83);
  tria* b = g.new_tria(0, 1.82);
  g.faces(0, a, b, g.closed(0), g.closed(0));
  run();
  EXPECT_EQ(m().triangle_count, 2);
  EXPECT_EQ(m().opening_count, 2);
  ASSERT_EQ(m().openings.size(), 1u);
  EXPECT_EQ(m().openings[0], std::vector<tria*>{a});
  EXPECT_EQ(type(), 1);
}

TEST_F(OnePocket, SeveralSmallOpeningsAreAllDropped) {
  tria* a = g.new_tria(0, 1.0);
  tria* b = g.new_tria(0, 1.5);
  g.faces(0, a, b, g.closed(0), g.closed(0));
  run();
  EXPECT_EQ(m().opening_count, 2);
  EXPECT_TRUE(m().openings.empty());
  EXPECT_TRUE(m().opening_sizes.empty());
  EXPECT_EQ(type(), 3);
}

TEST_F(OnePocket, ATriangleBetweenTwoOpeningsMergesThemUnderANewKey) {
  edge* ab = g.new_edge();
  edge* bc = g.new_edge();
  tria* a = g.new_tria(0, 2.0, ab);
  tria* c = g.new_tria(0, 2.0, bc);
  tria* b = g.new_tria(0, 2.0, ab, bc);
  g.faces(0, a, c, b, g.closed(0));
  run();
  EXPECT_EQ(m().opening_count, 1);
  ASSERT_EQ(m().openings.size(), 1u);
  EXPECT_EQ(m().openings[0], (std::vector<tria*>{b, a, c}));
}

TEST_F(OnePocket, AnEdgeInTheComplexSeparatesOpenings) {
  edge* shared = g.new_edge(true);
  tria* a = g.new_tria(0, 2.0, shared);
  tria* b = g.new_tria(0, 2.0, shared);
  g.faces(0, a, b, g.closed(0), g.closed(0));
  run();
  EXPECT_EQ(m().opening_count, 2);
  EXPECT_EQ(m().openings.size(), 2u);
}

TEST_F(OnePocket, OpeningsComeLargestFirst) {
  // Groups of 2, 1 and 3 triangles, made in that key order.
  Graph& x = g;
  edge* e1 = x.new_edge();
  edge* e3 = x.new_edge();
  edge* e4 = x.new_edge();
  tria* a1 = x.new_tria(0, 2.0, e1);
  tria* a2 = x.new_tria(0, 2.0, e1);
  tria* b1 = x.new_tria(0, 2.0);
  tria* c1 = x.new_tria(0, 2.0, e3);
  tria* c2 = x.new_tria(1, 2.0, e3, e4);
  tria* c3 = x.new_tria(1, 2.0, e4);
  x.faces(0, a1, a2, b1, c1);
  x.faces(1, c2, c3, x.closed(1), x.closed(1));
  pockets[0].tetrahedra = {&x.tetras[0], &x.tetras[1]};
  pockets[0].subpockets = {sub_of({&x.tetras[0], &x.tetras[1]})};
  mouthsrepresentation(pockets, mouths, x.atoms, 1.4);
  ASSERT_EQ(m().openings.size(), 3u);
  EXPECT_EQ(m().openings[0], (std::vector<tria*>{c3, c2, c1}));
  EXPECT_EQ(m().openings[1], (std::vector<tria*>{a2, a1}));
  EXPECT_EQ(m().openings[2], (std::vector<tria*>{b1}));
}

TEST(PocketMouths, OnlyFacesOnThePocketBorderAreMouths) {
  Graph g;
  tria* inner = g.new_tria(0, 2.0);  // between two tetrahedra of the pocket
  inner->cofaces = {&g.tetras[0], &g.tetras[1]};
  tria* border = g.new_tria(0, 2.0);  // against a tetrahedron outside it
  border->cofaces = {&g.tetras[2], &g.tetras[0]};
  tria* hull = g.new_tria(1, 2.0);
  tria* hull_closed = g.closed(1);
  g.faces(0, inner, border, g.closed(0), g.closed(0));
  g.faces(1, inner, hull, hull_closed, g.closed(1));
  std::vector<pocket> pockets(1);
  pockets[0].tetrahedra = {&g.tetras[0], &g.tetras[1]};
  std::vector<mouth> mouths(1);
  mouthsrepresentation(pockets, mouths, g.atoms, 1.4);
  EXPECT_EQ(mouths[0].triangles, (std::vector<tria*>{border, hull}));
  EXPECT_EQ(mouths[0].triangle_count, 2);
}

TEST(PocketMouths, ShortMouthListIsExtended) {
  Graph g;
  g.faces(0, g.new_tria(0, 2.0), g.closed(0), g.closed(0), g.closed(0));
  g.faces(1, g.new_tria(1, 2.0), g.new_tria(1, 2.0), g.closed(1), g.closed(1));
  std::vector<pocket> pockets(2);
  pockets[0].tetrahedra = {&g.tetras[0], &g.tetras[1]};
  pockets[1].tetrahedra = {&g.tetras[2]};
  g.faces(2, g.closed(2), g.closed(2), g.closed(2), g.closed(2));
  std::vector<mouth> mouths;
  mouthsrepresentation(pockets, mouths, g.atoms, 1.4);
  ASSERT_EQ(mouths.size(), 2u);
  // The record at place k belongs to the pocket numbered k + 1.
  EXPECT_EQ(mouths[1].triangle_count, 3);
  EXPECT_EQ(mouths[0].triangle_count, 0);
}

TEST(PocketMouths, TypesSpreadFromMouthToNeckToBodies) {
  // Sub-pockets S0 .. S3 in a chain of knots; only S0 meets the opening.
  Graph g;
  tria* opening = g.new_tria(0, 2.0);
  g.faces(0, opening, g.closed(0), g.closed(0), g.closed(0));
  for (int t = 1; t < 4; ++t) g.faces(t, g.closed(t), g.closed(t), g.closed(t), g.closed(t));
  std::vector<pocket> pockets(1);
  pocket& p = pockets[0];
  for (int t = 0; t < 4; ++t) {
    p.tetrahedra.push_back(&g.tetras[t]);
    p.subpockets.push_back(sub_of({&g.tetras[t]}));
    g.tetras[t].pocket_number = 1;
    g.tetras[t].subpocket_index = t;
  }
  sub_id s;
  s.pocket = 1;
  s.subpockets = {0};
  opening->sub_ids = {s};
  // Knot k(i, i+1) between tetrahedra i and i+1.
  for (int i = 0; i < 3; ++i) {
    tria* k = g.new_tria(i, 0.0);
    k->cofaces = {&g.tetras[i], &g.tetras[i + 1]};
    for (int side = 0; side < 2; ++side) {
      auto top = std::make_shared<mouth>();
      top->triangles = {k};
      subpocket& sp = *p.subpockets[i + side];
      sp.knot_tops.push_back(top);
      sp.knot_partners.push_back(i + 1 - side);
    }
  }
  std::vector<mouth> mouths(1);
  mouthsrepresentation(pockets, mouths, g.atoms, 1.4);
  EXPECT_EQ(p.subpockets[0]->type, 1);
  EXPECT_EQ(p.subpockets[1]->type, 2);
  EXPECT_EQ(p.subpockets[2]->type, 3);
  EXPECT_EQ(p.subpockets[3]->type, 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(p.subpockets[i]->opening_ids, std::vector<int>{0});
}

TEST(PocketMouths, KnotTopWithoutTwoCofacesIsSkipped) {
  Graph g;
  tria* opening = g.new_tria(0, 2.0);
  g.faces(0, opening, g.closed(0), g.closed(0), g.closed(0));
  g.faces(1, g.closed(1), g.closed(1), g.closed(1), g.closed(1));
  std::vector<pocket> pockets(1);
  pocket& p = pockets[0];
  p.tetrahedra = {&g.tetras[0], &g.tetras[1]};
  p.subpockets = {sub_of({&g.tetras[0]}), sub_of({&g.tetras[1]})};
  sub_id s;
  s.pocket = 1;
  s.subpockets = {0};
  opening->sub_ids = {s};
  auto top = std::make_shared<mouth>();
  top->triangles = {g.new_tria(1, 0.0)};
  top->triangles[0]->cofaces.clear();
  p.subpockets[1]->knot_tops = {top};
  p.subpockets[1]->knot_partners = {0};
  std::vector<mouth> mouths(1);
  mouthsrepresentation(pockets, mouths, g.atoms, 1.4);
  EXPECT_EQ(p.subpockets[1]->type, 3);
}

// The area of a triangle outside the great discs of its three balls (radii
// R) and the length of the disc rims inside it that no other disc covers,
// by sampling.
struct Sampled {
  double area, length;
};

Sampled sample_triangle(const double xyz[3][3], const double R[3]) {
  auto covered = [&](double x, double y, int skip) {
    for (int i = 0; i < 3; ++i) {
      if (i != skip && std::hypot(x - xyz[i][0], y - xyz[i][1]) < R[i]) return true;
    }
    return false;
  };
  auto in_triangle = [&](double x, double y) {
    auto side = [&](int a, int b) {
      return (xyz[b][0] - xyz[a][0]) * (y - xyz[a][1]) - (xyz[b][1] - xyz[a][1]) * (x - xyz[a][0]);
    };
    const double s0 = side(0, 1), s1 = side(1, 2), s2 = side(2, 0);
    return (s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0);
  };
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const int n = 400000;
  int open = 0;
  for (int k = 0; k < n; ++k) {
    double a = u(rng), b = u(rng);
    if (a + b > 1) {
      a = 1 - a;
      b = 1 - b;
    }
    const double x = xyz[0][0] + a * (xyz[1][0] - xyz[0][0]) + b * (xyz[2][0] - xyz[0][0]);
    const double y = xyz[0][1] + a * (xyz[1][1] - xyz[0][1]) + b * (xyz[2][1] - xyz[0][1]);
    open += !covered(x, y, -1);
  }
  const double triangle = std::fabs((xyz[1][0] - xyz[0][0]) * (xyz[2][1] - xyz[0][1]) -
                                    (xyz[2][0] - xyz[0][0]) * (xyz[1][1] - xyz[0][1])) /
                          2;
  Sampled out{triangle * open / n, 0.0};
  for (int i = 0; i < 3; ++i) {
    int hits = 0;
    for (int k = 0; k < n; ++k) {
      const double phi = 2 * M_PI * (k + 0.5) / n;
      const double x = xyz[i][0] + R[i] * std::cos(phi), y = xyz[i][1] + R[i] * std::sin(phi);
      hits += in_triangle(x, y) && !covered(x, y, i);
    }
    out.length += 2 * M_PI * R[i] * hits / n;
  }
  return out;
}

// The measures of one mouth triangle: the plane triangle less the great
// disks of its three balls (area), and the disk rims inside it that no other
// disk covers (length), against sampling.
TEST(PocketMouths, TriangleMeasuresMatchSampling) {
  std::vector<info> atoms(3);
  const double xyz[3][3] = {{0, 0, 0}, {6, 0, 0}, {3, 5.5, 0}};
  const double probe = 0.4;
  const double radius[3] = {2.8, 3.0, 2.6};
  for (int i = 0; i < 3; ++i) {
    atoms[i].index = i;
    atoms[i].x = xyz[i][0];
    atoms[i].y = xyz[i][1];
    atoms[i].z = xyz[i][2];
    atoms[i].radius = radius[i];
  }
  auto R = [&](int i) { return radius[i] + probe; };
  auto dist = [&](int i, int j) {
    return std::hypot(xyz[i][0] - xyz[j][0], xyz[i][1] - xyz[j][1]);
  };
  std::vector<mouth> mouths(1);
  mouths[0].area_sa = mouths[0].area_ms = triangle_area(0, 1, 2, atoms);
  do_mouth_vertex(0, 1, 2, 0, atoms, mouths, probe);
  do_mouth_vertex(1, 0, 2, 0, atoms, mouths, probe);
  do_mouth_vertex(2, 0, 1, 0, atoms, mouths, probe);
  const int pairs[3][3] = {{0, 1, 2}, {0, 2, 1}, {1, 2, 0}};
  int overlapping = 0;
  for (const auto& e : pairs) {
    if (dist(e[0], e[1]) < R(e[0]) + R(e[1])) {
      do_mouth_edge(e[0], e[1], e[2], 0, atoms, mouths, probe);
      ++overlapping;
    }
  }
  ASSERT_EQ(overlapping, 2);

  const double expanded[3] = {R(0), R(1), R(2)};
  const Sampled s = sample_triangle(xyz, expanded);
  EXPECT_NEAR(mouths[0].area_sa, s.area, 0.02 * s.area + 0.01);
  EXPECT_NEAR(mouths[0].length_sa, s.length, 1e-3 * s.length);

  // Without a probe the molecular surface measures are the same.
  std::vector<mouth> plain(1);
  for (info& a : atoms) a.radius += probe;
  plain[0].area_sa = plain[0].area_ms = triangle_area(0, 1, 2, atoms);
  do_mouth_vertex(0, 1, 2, 0, atoms, plain, 0.0);
  do_mouth_vertex(1, 0, 2, 0, atoms, plain, 0.0);
  do_mouth_vertex(2, 0, 1, 0, atoms, plain, 0.0);
  for (const auto& e : pairs) {
    if (dist(e[0], e[1]) < R(e[0]) + R(e[1])) do_mouth_edge(e[0], e[1], e[2], 0, atoms, plain, 0.0);
  }
  EXPECT_NEAR(plain[0].area_ms, plain[0].area_sa, 1e-9);
  EXPECT_NEAR(plain[0].length_ms, plain[0].length_sa, 1e-9);
  EXPECT_NEAR(plain[0].area_sa, mouths[0].area_sa, 1e-9);
}

// Where the corner and side terms do not hold (a disc reaching past the
// opposite side of a thin triangle; two discs overlapping across a side
// outside the complex), the mouth is measured from the clipped discs.
TEST(PocketMouths, ThinAndAttachedTrianglesMatchSampling) {
  struct Case {
    double xyz[3][3];
    double radius;
    bool in_complex;  // all three sides
  };
  const Case cases[2] = {{{{0, 0, 0}, {9, 0, 0}, {4.5, 2, 0}}, 1.0, true},
                         {{{0, 0, 0}, {6, 0, 0}, {2.5, 5.5, 0}}, 1.8, false}};
  for (const Case& c : cases) {
    for (double probe : {1.4, 0.0}) {
      Graph g;
      for (int i = 0; i < 3; ++i) {
        g.atoms[i].x = c.xyz[i][0];
        g.atoms[i].y = c.xyz[i][1];
        g.atoms[i].z = c.xyz[i][2];
        g.atoms[i].radius = probe > 0.0 ? c.radius : c.radius + 1.4;
      }
      tria* t = g.new_tria(0, 2.0, g.new_edge(c.in_complex), g.new_edge(c.in_complex),
                           g.new_edge(c.in_complex));
      g.faces(0, t, g.closed(0), g.closed(0), g.closed(0));
      std::vector<pocket> pockets(1);
      pockets[0].tetrahedra = {&g.tetras[0]};
      std::vector<mouth> mouths(1);
      mouthsrepresentation(pockets, mouths, g.atoms, probe);
      const double R[3] = {c.radius + 1.4, c.radius + 1.4, c.radius + 1.4};
      const Sampled s = sample_triangle(c.xyz, R);
      EXPECT_GT(s.area, 0.5);
      EXPECT_NEAR(mouths[0].area_sa, s.area, 0.02 * s.area + 0.01);
      EXPECT_NEAR(mouths[0].length_sa, s.length, 1e-3 * s.length);
      if (probe == 0.0) {
        EXPECT_NEAR(mouths[0].area_ms, mouths[0].area_sa, 1e-9);
        EXPECT_NEAR(mouths[0].length_ms, mouths[0].length_sa, 1e-9);
      }
    }
  }
}

}  // namespace
