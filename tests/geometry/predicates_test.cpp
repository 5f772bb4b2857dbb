#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <vector>

#include "geometry/d3dw.h"

namespace {

// Points and hand-made records and cells for testing the predicates outside
// a triangulation. The CD3DW only serves as owner of the records and counters.
struct Bench {
  CD3DW t{1e19};
  std::vector<std::unique_ptr<CXYZW>> pts;

  CXYZW* point(double x, double y, double z, double w, int id) {
    pts.emplace_back(new CXYZW);
    pts.back()->set(x, y, z, w);
    pts.back()->id = id;
    return pts.back().get();
  }
  static CD3DEdge* rec(CD3DEdge* any, CXYZW* o, CXYZW* d) {
    for (CD3DEdge& r : any->triangle()->rec)
      if (r.origin() == o && r.destination() == d) return &r;
    return nullptr;
  }
  CD3DEdge* triangle(CXYZW* a, CXYZW* b, CXYZW* c) {
    CD3DEdge *e0, *e1, *e2, *e3, *e4, *e5;
    t.new6(e0, e1, e2, e3, e4, e5, a, b, c);
    return e0;
  }
  // The record (a, b, c) as a face of the cell with fourth vertex d.
  CD3DEdge* tetra(CXYZW* a, CXYZW* b, CXYZW* c, CXYZW* d) {
    CD3DEdge* e = triangle(a, b, c);
    CD3DEdge* abd = triangle(a, b, d);
    CD3DEdge* bcd = triangle(b, c, d);
    CD3DEdge* cad = triangle(c, a, d);
    t.new_cell(e, rec(abd, a, d), rec(cad, a, c), rec(bcd, b, d));
    return e;
  }
};

int exact_orient(CXYZW* a, CXYZW* b, CXYZW* c, CXYZW* p) {
  // det of rows (a - p), (b - p), (c - p) equals Δ(a b c p; x y z)
  CExact m[3][3];
  CXYZW* r[3] = {a, b, c};
  for (int i = 0; i < 3; ++i) {
    m[i][0] = r[i]->x_exact() - p->x_exact();
    m[i][1] = r[i]->y_exact() - p->y_exact();
    m[i][2] = r[i]->z_exact() - p->z_exact();
  }
  CExact D = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
             m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
             m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  return D.sgn();
}

int exact_power(CXYZW* a, CXYZW* b, CXYZW* c, CXYZW* d, CXYZW* p) {
  // Δ(a b c d p; x y z h) as the 4x4 determinant of differences with p
  CXYZW* r[4] = {a, b, c, d};
  CExact m[4][4];
  for (int i = 0; i < 4; ++i) {
    m[i][0] = r[i]->x_exact() - p->x_exact();
    m[i][1] = r[i]->y_exact() - p->y_exact();
    m[i][2] = r[i]->z_exact() - p->z_exact();
    m[i][3] = r[i]->lifted_exact() - p->lifted_exact();
  }
  auto det3 = [&](int skip_col, int r0, int r1, int r2) {
    int c[3], k = 0;
    for (int j = 0; j < 4; ++j)
      if (j != skip_col) c[k++] = j;
    return m[r0][c[0]] * (m[r1][c[1]] * m[r2][c[2]] - m[r1][c[2]] * m[r2][c[1]]) -
           m[r0][c[1]] * (m[r1][c[0]] * m[r2][c[2]] - m[r1][c[2]] * m[r2][c[0]]) +
           m[r0][c[2]] * (m[r1][c[0]] * m[r2][c[1]] - m[r1][c[1]] * m[r2][c[0]]);
  };
  CExact D;
  for (int j = 0; j < 4; ++j) {
    CExact term = m[0][j] * det3(j, 1, 2, 3);
    D = (j % 2) ? D - term : D + term;
  }
  return D.sgn();
}

}  // namespace

TEST(Predicates, OrientationExamples) {
  Bench b;
  CXYZW* p0 = b.point(0, 0, 0, 0, 0);
  CXYZW* p1 = b.point(1, 0, 0, 0, 1);
  CXYZW* p2 = b.point(0, 1, 0, 0, 2);
  CD3DEdge* e = b.triangle(p0, p1, p2);
  std::uint64_t exact_before = b.t.stats.positive_exact;
  EXPECT_TRUE(b.t.positive(e, b.point(0.1, 0.1, -1, 0, 3)));
  EXPECT_FALSE(b.t.positive(e, b.point(0.1, 0.1, 1, 0, 4)));
  EXPECT_EQ(b.t.stats.positive_exact, exact_before);  // the filter decided

  // coplanar: decided by the perturbation, consistently with the orientation
  CXYZW* p3 = b.point(1, 1, 0, 0, 3);
  EXPECT_FALSE(b.t.positive(e, p3));
  CD3DEdge* f = b.triangle(p1, p0, p2);
  EXPECT_TRUE(b.t.positive(f, p3));
  EXPECT_GT(b.t.stats.positive_exact, exact_before);

  // four points at one position
  CXYZW* q[4];
  for (int i = 0; i < 4; ++i) q[i] = b.point(2, 3, 4, i, 10 + i);
  EXPECT_TRUE(b.t.positive(b.triangle(q[0], q[1], q[2]), q[3]));
}

TEST(Predicates, PositiveCacheIsSharedByTheSixRecords) {
  Bench b;
  CXYZW* p0 = b.point(0, 0, 0, 0, 0);
  CXYZW* p1 = b.point(1, 0, 0, 0, 1);
  CXYZW* p2 = b.point(0, 1, 0, 0, 2);
  CXYZW* p = b.point(0.2, 0.3, -2, 0, 3);
  CD3DEdge* e = b.triangle(p0, p1, p2);
  bool r = b.t.positive(e, p);
  std::uint64_t hits = b.t.stats.positive_cached;
  EXPECT_EQ(b.t.positive(e, p), r);
  EXPECT_EQ(b.t.positive(e->enext(), p), r);
  EXPECT_EQ(b.t.positive(e->sym(), p), !r);
  EXPECT_EQ(b.t.positive(e->sym()->enext()->enext(), p), !r);
  EXPECT_EQ(b.t.stats.positive_cached, hits + 4);
  EXPECT_EQ(e->cached_point(), p->serial);
  EXPECT_EQ(e->sym()->cached_positive(), !r);
  // the minors are the triangle's, negated in the other orientation
  e->sym()->check_minors();
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(e->minors(k).value, -e->sym()->minors(k).value);
    EXPECT_EQ(e->enext()->minors(k).value, e->minors(k).value);
  }
  EXPECT_EQ(e->minors(3).value, 1.0);  // det of (x, y, 1) of (0,0) (1,0) (0,1)
}

TEST(Predicates, InsphereExamples) {
  Bench b;
  CXYZW* p0 = b.point(1, 0, 0, 0, 0);
  CXYZW* p1 = b.point(0, 1, 0, 0, 1);
  CXYZW* p2 = b.point(-1, 0, 0, 0, 2);
  CXYZW* p3 = b.point(0, 0, 1, 0, 3);
  CD3DEdge* e = b.tetra(p1, p0, p2, p3);
  ASSERT_TRUE(b.t.positive(e, p3));
  EXPECT_TRUE(b.t.insphere(e, b.point(0, -1, 0, 0, 4)));  // cospherical: perturbation
  EXPECT_GT(b.t.stats.insphere_exact, 0u);
  EXPECT_FALSE(b.t.insphere(b.tetra(p0, p1, p2, p3), b.point(0, -1, 0, 0, 4)));
  EXPECT_TRUE(b.t.insphere(e, b.point(0, 0, 0, 0, 4)));
  EXPECT_FALSE(b.t.insphere(e, b.point(0, 0, -5, 0, 4)));
  // weight: a heavy point outside the sphere is still in conflict
  EXPECT_TRUE(b.t.insphere(e, b.point(0, 0, -2, 10, 4)));
}

// On random, near-degenerate and far-apart input the filtered answers agree with
// exact determinants wherever those are non-zero, every exact zero is
// broken consistently (exchanging two points inverts the answer), and the
// answer does not depend on where the points sit in the record.
TEST(Predicates, AgreeWithExactDeterminantsAndPermutations) {
  std::mt19937 g(11);
  std::uniform_int_distribution<int> small(0, 3);
  std::uniform_real_distribution<double> U(-5, 5);
  int decided_exactly = 0, dynamic_only = 0;
  for (int trial = 0; trial < 4500; ++trial) {
    Bench b;
    CXYZW* v[5];
    int mode = trial % 6;
    for (int i = 0; i < 5; ++i) {
      double x, y, z, w;
      if (mode == 0) {  // general position
        x = U(g), y = U(g), z = U(g), w = U(g) + 5;
      } else if (mode == 1) {  // lattice: many exact zeros
        x = small(g), y = small(g), z = small(g), w = small(g) % 2;
      } else if (mode == 2) {  // near a plane and a sphere: the filter gives up
        double t = U(g), s = U(g);
        x = t, y = s, z = 1e-15 * small(g);
        w = x * x + y * y + z * z - 1e-14 * small(g);
      } else if (mode == 4) {  // on a tilted plane but for rounding
        x = U(g), y = U(g), z = 0.3 - 0.7 * x - 1.3 * y, w = U(g) + 5;
      } else if (mode == 5) {  // one row far away: the largest differences overstate
        const double far = i == 3 ? 1e9 : 1;
        x = far * U(g), y = far * U(g), z = far * U(g), w = U(g) + 5;
      } else if (i == 4) {  // as far as a bounding vertex: differences round
        x = 1e19 * (small(g) - 1.5), y = -1e19, z = 1e19 * U(g), w = 0;
      } else {  // a flat lattice cell with a tilted corner
        x = small(g), y = small(g), z = i == 3 ? 1e-9 * small(g) : 0, w = small(g) % 2;
      }
      v[i] = b.point(x, y, z, w, 100 - 7 * i);  // ids not in point order
    }
    int o = exact_orient(v[0], v[1], v[2], v[3]);
    CD3DEdge* e = b.triangle(v[0], v[1], v[2]);
    bool pos = b.t.positive(e, v[3]);
    if (o != 0) {
      ASSERT_EQ(pos, o > 0) << trial;
    }
    ASSERT_EQ(b.t.positive(b.triangle(v[1], v[2], v[0]), v[3]), pos);
    ASSERT_EQ(b.t.positive(b.triangle(v[1], v[0], v[2]), v[3]), !pos);
    ASSERT_EQ(b.t.positive(b.triangle(v[0], v[2], v[1]), v[3]), !pos);

    int s = exact_power(v[0], v[1], v[2], v[3], v[4]);
    bool in = b.t.insphere(b.tetra(v[0], v[1], v[2], v[3]), v[4]);
    if (s != 0) {
      ASSERT_EQ(in, s > 0) << trial;
    }
    ASSERT_EQ(b.t.insphere(b.tetra(v[1], v[2], v[0], v[3]), v[4]), in);
    ASSERT_EQ(b.t.insphere(b.tetra(v[1], v[0], v[2], v[3]), v[4]), !in);
    ASSERT_EQ(b.t.insphere(b.tetra(v[0], v[1], v[3], v[2]), v[4]), !in);
    // exchanging the fourth vertex with the tested point
    ASSERT_EQ(b.t.insphere(b.tetra(v[0], v[1], v[2], v[4]), v[3]), !in);
    // a sign the floating-point filters give is the exact one
    DifferenceFrame f;
    const int fs = f.set_power(*v[0], *v[1], *v[2], *v[3], *v[4]);
    ASSERT_TRUE(fs == 0 || fs == s) << trial;
    const int ds = power_sign_dynamic(*v[0], *v[1], *v[2], *v[3], *v[4]);
    ASSERT_TRUE(ds == 0 || ds == s) << trial;
    dynamic_only += fs == 0 && ds != 0;
    // with the bounds of the five points' extent first: exact, and deciding
    // whatever the bounds of the test alone decide
    double lo[4], hi[4];
    for (int k = 0; k < 4; ++k) {
      auto coord = [k](const CXYZW* q) {
        return k == 0 ? q->x.value : k == 1 ? q->y.value : k == 2 ? q->z.value : q->w.value;
      };
      lo[k] = hi[k] = coord(v[0]);
      for (CXYZW* q : v) lo[k] = std::min(lo[k], coord(q)), hi[k] = std::max(hi[k], coord(q));
    }
    DifferenceBounds set;
    set.set(lo, hi);
    DifferenceFrame g;
    const int gs = g.set_power(*v[0], *v[1], *v[2], *v[3], *v[4], set);
    ASSERT_TRUE(gs == 0 || gs == s) << trial;
    ASSERT_TRUE(fs == 0 || gs == fs) << trial;
    for (auto r : {std::array<int, 3>{1, 0, 3}, {2, 1, 3}, {0, 2, 3}, {0, 1, 2}}) {
      const int e = exact_orient(v[r[0]], v[r[1]], v[r[2]], v[4]);
      const int os = f.orient_sign(r[0], r[1], r[2]);
      ASSERT_TRUE(os == 0 || os == e) << trial;
      const int gos = g.orient_sign(r[0], r[1], r[2]);
      ASSERT_TRUE(gos == 0 || gos == e) << trial;
      ASSERT_TRUE(os == 0 || gos == os) << trial;
      const int ss = orient_sign_static(*v[r[0]], *v[r[1]], *v[r[2]], *v[4]);
      const int is = orient_sign_in(*v[r[0]], *v[r[1]], *v[r[2]], *v[4], set);
      ASSERT_TRUE(is == 0 || is == e) << trial;
      ASSERT_TRUE(ss == 0 || is == ss) << trial;
      const int od = orient_sign_dynamic(*v[r[0]], *v[r[1]], *v[r[2]], *v[4]);
      ASSERT_TRUE(od == 0 || od == e) << trial;
      dynamic_only += os == 0 && od != 0;
    }
    decided_exactly += int(b.t.stats.insphere_exact > 0);
  }
  EXPECT_GT(decided_exactly, 500);
  EXPECT_GT(dynamic_only, 100);  // tests the static filters leave to the dynamic ones
}
