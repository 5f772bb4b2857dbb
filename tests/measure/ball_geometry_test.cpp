// Closed-form pieces of intersecting balls, checked against elementary
// geometry and against brute-force sampling.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "measure/ballcache.h"
#include "measure/complexbuild.h"
#include "structure/bead.h"
#include "structure/file.h"

namespace {

const double kPi = 3.14159265358979323846;

std::vector<info> atoms_of(const std::vector<std::vector<double>>& balls) {
  std::vector<info> atoms(balls.size());
  for (size_t k = 0; k < balls.size(); ++k) {
    atoms[k].index = static_cast<int>(k);
    atoms[k].x = balls[k][0];
    atoms[k].y = balls[k][1];
    atoms[k].z = balls[k][2];
    atoms[k].radius = balls[k][3];
  }
  return atoms;
}

double dist(const double* a, double x, double y, double z) {
  return std::sqrt((a[0] - x) * (a[0] - x) + (a[1] - y) * (a[1] - y) + (a[2] - z) * (a[2] - z));
}

TEST(BallGeometry, PowerCentresHaveEqualPower) {
  std::vector<info> a = atoms_of(
      {{0.1, 0.2, -0.3, 1.5}, {2.9, 0.4, 0.2, 1.9}, {1.2, 2.6, 0.1, 1.6}, {1.0, 1.1, 2.4, 1.7}});
  const double p = 1.4;
  auto pw = [&](const double* X, int k) {
    double R = a[k].radius + p;
    double d = dist(X, a[k].x, a[k].y, a[k].z);
    return d * d - R * R;
  };
  double m2[3], m3[3], m4[3];
  setcenter2(0, 1, m2, a, p);
  setcenter3(0, 1, 2, m3, a, p);
  setcenter4(0, 1, 2, 3, m4, a, p);
  EXPECT_NEAR(pw(m2, 0), pw(m2, 1), 1e-9);
  EXPECT_NEAR(pw(m3, 0), pw(m3, 1), 1e-9);
  EXPECT_NEAR(pw(m3, 0), pw(m3, 2), 1e-9);
  for (int k = 1; k < 4; ++k) EXPECT_NEAR(pw(m4, 0), pw(m4, k), 1e-9);
  // The three-ball centre lies in the plane of the centres.
  double n[3] = {(a[1].y - a[0].y) * (a[2].z - a[0].z) - (a[1].z - a[0].z) * (a[2].y - a[0].y),
                 (a[1].z - a[0].z) * (a[2].x - a[0].x) - (a[1].x - a[0].x) * (a[2].z - a[0].z),
                 (a[1].x - a[0].x) * (a[2].y - a[0].y) - (a[1].y - a[0].y) * (a[2].x - a[0].x)};
  EXPECT_NEAR(n[0] * (m3[0] - a[0].x) + n[1] * (m3[1] - a[0].y) + n[2] * (m3[2] - a[0].z), 0, 1e-9);

  // Equal balls: the midpoint, and a cap of height R - d/2.
  std::vector<info> e = atoms_of({{0, 0, 0, 1.7}, {2.5, 0, 0, 1.7}});
  setcenter2(0, 1, m2, e, 1.4);
  EXPECT_DOUBLE_EQ(m2[0], 1.25);
  EXPECT_NEAR(cap_height(0, 1, e, 1.4), 3.1 - 1.25, 1e-12);
}

TEST(BallGeometry, CapsFollowTheRadicalPlane) {
  const double p = 1.4;
  // Unequal balls: cap volume equals pi h^2 (3R - h) / 3.
  std::vector<info> a = atoms_of({{0, 0, 0, 1.5}, {3.2, 0, 0, 1.9}});
  const double Ri = 2.9, Rj = 3.3, d = 3.2;
  const double x = (d * d + Ri * Ri - Rj * Rj) / (2 * d);
  const double h = Ri - x;
  EXPECT_NEAR(cap_height(0, 1, a, p), h, 1e-12);
  EXPECT_NEAR(cap_area(0, 1, a, p), AV_TWO_PI * Ri * h, 1e-9);
  EXPECT_NEAR(cap_volume(0, 1, a, p), AV_PI * h * h * (3 * Ri - h) / 3, 1e-9);
  EXPECT_NEAR(disk_radius(0, 1, a, p), std::sqrt(Ri * Ri - x * x), 1e-9);

  // The radical plane behind c_i: the cap is more than half the ball.
  std::vector<info> b = atoms_of({{0, 0, 0, 0.5}, {1.0, 0, 0, 2.5}});
  double hb = cap_height(0, 1, b, p);
  EXPECT_GT(hb, 0.5 + p);
  EXPECT_GT(cap_volume(0, 1, b, p), 0.5 * 4.0 / 3 * kPi * std::pow(0.5 + p, 3));

  // Centres that share coordinates decide the side as any others do: the
  // small ball's radical plane lies behind its centre here, whatever the
  // common coordinates are.
  for (double c : {0.0, 0.1, 1.0, 13.467, -7.3, 1e-3}) {
    std::vector<info> s = atoms_of({{c, c, 0.3, 1.42}, {c, c + 1.23, 0.3, 1.88}});
    std::vector<info> t = atoms_of({{c, 0.3, c, 1.42}, {c, 0.3, c + 1.23, 1.88}});
    EXPECT_FALSE(alf_is_hidden0(0, 1, s, p)) << c;
    EXPECT_TRUE(alf_is_hidden0(1, 0, s, p)) << c;
    const double area = 2.82 * AV_FOUR_PI * 2.82 - 2.82 * AV_TWO_PI * cap_height(0, 1, s, p);
    EXPECT_NEAR(area, 40.65, 0.01) << c;
    EXPECT_NEAR(cap_height(0, 1, t, p), cap_height(0, 1, s, p), 1e-9) << c;
  }
}

TEST(BallGeometry, AnglesInTurns) {
  // Regular tetrahedron.
  double a[3] = {1, 1, 1}, b[3] = {1, -1, -1}, c[3] = {-1, 1, -1}, d[3] = {-1, -1, 1};
  const double dih = std::acos(1.0 / 3) / 6.2831853;
  EXPECT_NEAR(angle_dihedral(a, b, c, d), dih, 1e-12);
  EXPECT_NEAR(angle_dihedral(a, b, d, c), dih, 1e-12);
  std::vector<info> t =
      atoms_of({{1, 1, 1, 1.0}, {1, -1, -1, 1.0}, {-1, 1, -1, 1.0}, {-1, -1, 1, 1.0}});
  EXPECT_NEAR(sector_area(0, 1, 2, 3, t, 0.5), (3 * dih / 2 - 0.25) * AV_FOUR_PI * 1.5 * 1.5, 1e-9);
  EXPECT_NEAR(sector_volume(0, 1, 2, 3, t, 0), (3 * dih / 2 - 0.25) * AV_FOUR_PI_THIRD, 1e-9);

  // Straight angles: the vector angle folds below one half, the dihedral
  // does not.
  double o[3] = {0, 0, 0}, px[3] = {1, 0, 0}, mx[3] = {-1, 0, 0};
  EXPECT_LE(vector_angle(o, px, mx), 0.5);
  EXPECT_NEAR(vector_angle(o, px, mx), 0.5, 1e-7);
  double z[3] = {0, 0, 1}, py[3] = {0, 1, 0}, my[3] = {0, -1, 0};
  EXPECT_GT(angle_dihedral(o, z, py, my), 0.5);
  // Nearly parallel directions stay finite.
  double q[3] = {1, 1e-9, 0};
  EXPECT_TRUE(std::isfinite(vector_angle(o, px, q)));

  // nccw flips with the last two arguments, and the quantities that swap
  // them first do not depend on their order.
  std::vector<info> g =
      atoms_of({{0, 0, 0, 1.6}, {2.6, 0.2, 0.1, 1.8}, {1.1, 2.4, -0.2, 1.7}, {1.2, 0.9, 2.3, 1.5}});
  EXPECT_NE(nccw(0, 1, 2, 3, g), nccw(0, 1, 3, 2, g));
  EXPECT_NEAR(cap3_area(0, 1, 2, 3, g, 1.4), cap3_area(0, 1, 3, 2, g, 1.4), 1e-9);
  EXPECT_NEAR(segment2_area(0, 1, 2, 3, g, 1.4), segment2_area(0, 1, 3, 2, g, 1.4), 1e-9);
  EXPECT_NEAR(tetrahedra_volume(0, 1, 2, 3, g), tetrahedra_volume(1, 0, 2, 3, g), 1e-12);
  // A right triangle with legs 3 and 4.
  std::vector<info> r = atoms_of({{0, 0, 0, 1}, {3, 0, 0, 1}, {0, 4, 0, 1}});
  EXPECT_NEAR(triangle_area(0, 1, 2, r), 6, 1e-12);
  // Collinear centres: Heron's radicand may round below zero.
  std::vector<info> l = atoms_of({{0, 0, 0, 1}, {0.1, 0.1, 0.1, 1}, {0.3, 0.3, 0.3, 1}});
  EXPECT_EQ(triangle_area(0, 1, 2, l), triangle_area(0, 1, 2, l));
}

// The circle of two spheres cut by a third: the intersection points, the arc
// inside the third ball and the part of the disk on the third ball's side of
// its radical plane, against sampling.
TEST(BallGeometry, RadicalCircleCutByAThirdBall) {
  std::vector<info> a = atoms_of({{0, 0, 0, 1.6}, {2.7, 0.1, 0, 1.8}, {1.3, 2.2, 0.4, 1.5}});
  const double p = 1.4;
  double P[3], M[3];
  triangle_dual(0, 1, 2, P, a, p);
  triangle_dual(0, 2, 1, M, a, p);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(dist(P, a[k].x, a[k].y, a[k].z), a[k].radius + p, 1e-9);
    EXPECT_NEAR(dist(M, a[k].x, a[k].y, a[k].z), a[k].radius + p, 1e-9);
  }
  // On opposite sides of the plane of the centres (z about 0).
  EXPECT_LT(P[2] * M[2], 0);

  // Sample the radical circle of (0, 1) and its disk.
  double m[3];
  setcenter2(0, 1, m, a, p);
  const double rho = disk_radius(0, 1, a, p);
  double ax[3] = {a[1].x - a[0].x, a[1].y - a[0].y, a[1].z - a[0].z};
  double n = std::sqrt(ax[0] * ax[0] + ax[1] * ax[1] + ax[2] * ax[2]);
  for (double& v : ax) v /= n;
  double u[3] = {-ax[1], ax[0], 0};
  double un = std::sqrt(u[0] * u[0] + u[1] * u[1]);
  for (double& v : u) v /= un;
  double w[3] = {ax[1] * u[2] - ax[2] * u[1], ax[2] * u[0] - ax[0] * u[2],
                 ax[0] * u[1] - ax[1] * u[0]};
  // On ball k's side of the radical plane of (i, k) (on the circle: inside
  // ball k).
  auto inside2 = [&](double s, double t) {
    double x[3];
    for (int k = 0; k < 3; ++k) x[k] = m[k] + s * u[k] + t * w[k];
    double di = dist(x, a[0].x, a[0].y, a[0].z), dk = dist(x, a[2].x, a[2].y, a[2].z);
    double Ri = a[0].radius + p, Rk = a[2].radius + p;
    return dk * dk - Rk * Rk < di * di - Ri * Ri;
  };
  const int N = 200000;
  int arc = 0;
  for (int k = 0; k < N; ++k) {
    double phi = 2 * kPi * (k + 0.5) / N;
    if (inside2(rho * std::cos(phi), rho * std::sin(phi))) ++arc;
  }
  EXPECT_NEAR(segment_angle(0, 1, 2, a, p), static_cast<double>(arc) / N, 1e-4);
  EXPECT_NEAR(segment_length(0, 1, 2, a, p), AV_TWO_PI * rho * arc / N, 1e-3);
  const int G = 1500;
  long disk = 0;
  for (int s = 0; s < G; ++s)
    for (int t = 0; t < G; ++t) {
      double x = -rho + 2 * rho * (s + 0.5) / G, y = -rho + 2 * rho * (t + 0.5) / G;
      if (x * x + y * y < rho * rho && inside2(x, y)) ++disk;
    }
  const double cell = (2 * rho / G) * (2 * rho / G);
  EXPECT_NEAR(segment_area(0, 1, 2, a, p), disk * cell, 2e-3);
}

bool same_bits(double a, double b) {
  std::uint64_t x, y;
  std::memcpy(&x, &a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  return x == y;
}

// The caches of the pieces of one simplex return what the plain forms on
// the simplex's balls return, to the last bit, whatever the order in which
// the pieces are asked for: on random tetrahedra and on every tetrahedron
// of the complex of a real structure.  The dihedral angle at an edge is the
// same whichever end or other vertex comes first.
TEST(BallGeometry, CachedPiecesEqualThePlainForms) {
  const double p = 1.4;
  std::vector<std::vector<info>> sets;
  std::mt19937 gen(17);
  std::uniform_real_distribution<double> u(-1.6, 1.6), r(1.3, 2.0);
  for (int trial = 0; trial < 30; ++trial)
    sets.push_back(atoms_of({{u(gen), u(gen), u(gen), r(gen)},
                             {u(gen), u(gen), u(gen), r(gen)},
                             {u(gen), u(gen), u(gen), r(gen)},
                             {u(gen), u(gen), u(gen), r(gen)},
                             {u(gen) + 6, u(gen), u(gen), r(gen)}}));
  // Flat ones, on a tilted plane up to rounding, whose orientation the
  // rounding decides either way.
  for (int trial = 0; trial < 60; ++trial) {
    double c[4][3];
    for (auto& x : c) {
      x[0] = u(gen);
      x[1] = u(gen);
      x[2] = 0.37 * x[0] + 0.21 * x[1] + 1.25;
    }
    sets.push_back(atoms_of({{c[0][0], c[0][1], c[0][2], r(gen)},
                             {c[1][0], c[1][1], c[1][2], r(gen)},
                             {c[2][0], c[2][1], c[2][2], r(gen)},
                             {c[3][0], c[3][1], c[3][2], r(gen)},
                             {u(gen) + 6, u(gen), u(gen), r(gen)}}));
  }
  std::vector<Bead> beads;
  read_pdb(std::string(DATA_DIR) + "/1ubq.pdb", beads);
  ComplexRecords rec;
  SimplexList list = expanded_simplex_list(beads, p);
  build_complex(beads, list, p, 0.0, ComplexUse::kMeasures, rec);
  for (size_t t = 0; t < rec.tetras.size(); t += 7) {
    const tetra& T = rec.tetras[t];
    if (!T.in_complex) continue;
    std::vector<info> a;
    for (const info* v : T.v) a.push_back(*v);
    a.push_back(rec.atoms[(T.v[0]->index + 50) % rec.atoms.size()]);
    for (int k = 0; k < 5; ++k) a[k].index = k;
    sets.push_back(a);
  }
  ASSERT_GT(sets.size(), 200u);
  const int perm[6][3] = {{1, 2, 3}, {1, 3, 2}, {2, 1, 3}, {2, 3, 1}, {3, 1, 2}, {3, 2, 1}};
  int compared = 0;
  for (const std::vector<info>& a : sets) {
    Ball b[5];
    for (int k = 0; k < 5; ++k) b[k] = ball_of(a[k], p);
    BallCache g(a, p);
    const int v[4] = {0, 1, 2, 3};
    g.reset(v, 4);
    // The whole tetrahedron at once, with and without the volumes; the atoms
    // at positions 0 to 3 are a[at[0..3]].
    auto check = [&](TetraBalls& t, const int* at, bool volumes) {
      const Ball* B[4] = {&b[at[0]], &b[at[1]], &b[at[2]], &b[at[3]]};
      for (int i = 0; i < 4; ++i) {
        int o[3], n = 0;
        for (int k = 0; k < 4; ++k)
          if (k != i) o[n++] = k;
        double area, volume = 0;
        t.cap3(i, o[0], o[1], o[2], &area, volumes ? &volume : nullptr);
        EXPECT_TRUE(same_bits(area, cap3_area(*B[i], *B[o[0]], *B[o[1]], *B[o[2]])));
        if (volumes) {
          EXPECT_TRUE(same_bits(volume, cap3_volume(*B[i], *B[o[0]], *B[o[1]], *B[o[2]])));
        }
        for (const auto& q : perm) {
          const int j = o[q[0] - 1], k = o[q[1] - 1], l = o[q[2] - 1];
          EXPECT_TRUE(
              same_bits(t.segment2_angle(i, j, k, l), segment2_angle(*B[i], *B[j], *B[k], *B[l])));
          EXPECT_TRUE(same_bits(t.cap2_area(i, j, k), cap2_area(*B[i], *B[j], *B[k])));
          if (volumes) {
            EXPECT_TRUE(same_bits(t.cap2_volume(i, j, k), cap2_volume(*B[i], *B[j], *B[k])));
          }
          EXPECT_TRUE(same_bits(t.segment_angle(i, j, k), segment_angle(*B[i], *B[j], *B[k])));
          EXPECT_TRUE(same_bits(t.patch(i, j, k).area, patch(*B[i], *B[j], *B[k], p).area));
          EXPECT_TRUE(
              same_bits(t.wedge(i, j), ballmath::dihedral(B[i]->c, B[j]->c, B[k]->c, B[l]->c)));
          const Torus s = t.torus(i, j, 0),
                      u = torus(*B[i], a[at[i]].radius, *B[j], a[at[j]].radius, p, 0);
          EXPECT_TRUE(same_bits(s.area_j, u.area_j) && same_bits(s.volume_i, u.volume_i));
        }
      }
    };
    for (bool volumes : {true, false}) {
      TetraBalls t(p, volumes);
      const int at[4] = {0, 1, 2, 3};
      const info* four[4] = {&a[0], &a[1], &a[2], &a[3]};
      t.load(four);
      t.complete();
      check(t, at, volumes);
      // The face of a[0], a[1], a[2] handed to the tetrahedron on its other
      // side, where those atoms sit at other positions.
      const int face_in_t[3] = {0, 1, 2}, face_in_u[3] = {3, 0, 2};
      TetraBalls::Face face;
      t.patch(0, 1, 2);
      t.keep_face(face_in_t, &face);
      TetraBalls u(p, volumes);
      const int other[4] = {1, 4, 2, 0};
      const info* across[4] = {&a[1], &a[4], &a[2], &a[0]};
      u.load(across);
      u.lend_face(2, face_in_u, face);
      u.complete();
      check(u, other, volumes);
    }
    // Twice over, so the second round reads what the first one kept.
    for (int round = 0; round < 2; ++round)
      for (int i = 0; i < 4; ++i)
        for (const auto& q : perm) {
          int o[3], n = 0;
          for (int k = 0; k < 4; ++k)
            if (k != i) o[n++] = k;
          const int j = o[q[0] - 1], k = o[q[1] - 1], l = o[q[2] - 1];
          EXPECT_TRUE(same_bits(g.cap3_area(i, j, k, l), cap3_area(b[i], b[j], b[k], b[l])));
          EXPECT_TRUE(same_bits(g.cap3_volume(i, j, k, l), cap3_volume(b[i], b[j], b[k], b[l])));
          EXPECT_TRUE(
              same_bits(g.segment2_angle(i, j, k, l), segment2_angle(b[i], b[j], b[k], b[l])));
          EXPECT_TRUE(same_bits(g.cap2_area(i, j, k), cap2_area(b[i], b[j], b[k])));
          EXPECT_TRUE(same_bits(g.cap2_volume(i, j, k), cap2_volume(b[i], b[j], b[k])));
          EXPECT_TRUE(same_bits(g.segment_angle(i, j, k), segment_angle(b[i], b[j], b[k])));
          EXPECT_TRUE(same_bits(g.segment_height(i, j, k), segment_height(b[i], b[j], b[k])));
          EXPECT_TRUE(same_bits(g.height(i, j), cap_height(b[i], b[j])));
          EXPECT_TRUE(same_bits(g.cap_volume(i, j), cap_volume(b[i], b[j])));
          const Patch x = g.patch(i, j, k), y = patch(b[i], b[j], b[k], p);
          EXPECT_TRUE(same_bits(x.area, y.area) && same_bits(x.volume_k, y.volume_k));
          for (int cusp = 0; cusp < 2; ++cusp) {
            const Torus s = g.torus(i, j, cusp);
            const Torus t = torus(b[i], a[i].radius, b[j], a[j].radius, p, cusp);
            EXPECT_TRUE(same_bits(s.area_i, t.area_i) && same_bits(s.volume_j, t.volume_j) &&
                        same_bits(s.cone_i, t.cone_i));
          }
          double d1[3];
          g.dual(i, j, k, d1);
          const ballmath::V3 d2 = triangle_dual(b[i], b[j], b[k]);
          EXPECT_TRUE(same_bits(d1[0], d2.x) && same_bits(d1[1], d2.y) && same_bits(d1[2], d2.z));
          const double w = g.wedge(i, j, k, l);
          EXPECT_TRUE(same_bits(w, g.wedge(j, i, l, k)));
          EXPECT_TRUE(same_bits(w, ballmath::dihedral(b[j].c, b[i].c, b[l].c, b[k].c)));
          // An atom outside the simplex is computed, not remembered.
          EXPECT_TRUE(same_bits(g.cap2_area(i, j, 4), cap2_area(b[i], b[j], b[4])));
          ++compared;
        }
  }
  EXPECT_EQ(compared, static_cast<int>(sets.size()) * 2 * 24);
}

TEST(ProbePieces, ShellAndTorusLimits) {
  std::vector<info> a = atoms_of({{0, 0, 0, 1.7}, {3.4, 0, 0, 1.7}});
  // The shell maps the whole expanded sphere onto the whole atom sphere.
  const double R = 3.1, r = 1.7;
  Shell s = shell(0, R * AV_FOUR_PI * R, a, 1.4);
  EXPECT_NEAR(s.area, r * AV_FOUR_PI * r, 1e-9);
  EXPECT_NEAR(s.volume, AV_FOUR_PI / 3 * (R * R * R - r * r * r), 1e-9);
  Shell zero = shell(0, 5.0, a, 0.0);
  EXPECT_DOUBLE_EQ(zero.area, 5.0);
  EXPECT_DOUBLE_EQ(zero.volume, 0.0);

  Torus t0 = torus(0, 1, a, 1e-9, 0);
  EXPECT_EQ(t0.area_i, 0);
  EXPECT_EQ(t0.volume_j, 0);
  EXPECT_EQ(t0.cone_i, 0);

  // Touching equal atoms: the probe circle has radius rho > p, the torus is
  // split evenly and the cusp switch changes nothing.
  Torus t = torus(0, 1, a, 1.4, 0), tc = torus(0, 1, a, 1.4, 1);
  EXPECT_NEAR(t.area_i, t.area_j, 1e-9);
  EXPECT_DOUBLE_EQ(t.area_i, tc.area_i);
  EXPECT_DOUBLE_EQ(t.volume_j, tc.volume_j);
  // Pappus: the re-entrant strip of the probe between the two contact
  // points, revolved about the axis.
  const double rho = std::sqrt(R * R - 1.7 * 1.7);
  const double half = std::atan2(1.7, rho);  // half the arc angle at the probe centre
  const double exact = 2 * 2 * kPi * 1.4 * (rho * half - 1.4 * std::sin(half));
  EXPECT_NEAR(t.area_i + t.area_j, exact, 1e-5);

  // A probe larger than the circle: the torus intersects itself and only
  // then does the cusp switch matter.
  std::vector<info> c = atoms_of({{0, 0, 0, 1.0}, {7.0, 0, 0, 1.0}});
  Torus u = torus(0, 1, c, 3.0, 0), uc = torus(0, 1, c, 3.0, 1);
  EXPECT_GT(disk_radius(0, 1, c, 3.0), 0);
  EXPECT_LT(disk_radius(0, 1, c, 3.0), 3.0);
  EXPECT_NE(u.area_i, uc.area_i);
  EXPECT_TRUE(std::isfinite(u.area_i) && std::isfinite(u.volume_i));

  Fan f = fan(0, 1, a, 1.4);
  EXPECT_NEAR(f.length, 1.4 * 2 * std::acos(rho / R), 1e-9);
  EXPECT_TRUE(std::isfinite(fan(0, 1, c, 3.0).area));
}

TEST(ProbePieces, PatchIsTheProbeSphereTriangle) {
  // Three equal touching atoms in a plane; the probe rests on top.
  const double r = 1.5, p = 1.4;
  std::vector<info> a = atoms_of({{0, 0, 0, r}, {3, 0, 0, r}, {1.5, 1.5 * std::sqrt(3.0), 0, r}});
  Patch q = patch(0, 1, 2, a, p);
  // Area of the spherical triangle on the probe cut by the planes through
  // the probe centre and pairs of atom centres, by sampling.
  double X[3];
  triangle_dual(0, 1, 2, X, a, p);
  auto side = [&](int i, int j, int k, const double* v) {
    double e1[3] = {a[i].x - X[0], a[i].y - X[1], a[i].z - X[2]};
    double e2[3] = {a[j].x - X[0], a[j].y - X[1], a[j].z - X[2]};
    double e3[3] = {a[k].x - X[0], a[k].y - X[1], a[k].z - X[2]};
    double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                   e1[0] * e2[1] - e1[1] * e2[0]};
    double s1 = n[0] * v[0] + n[1] * v[1] + n[2] * v[2];
    double s2 = n[0] * e3[0] + n[1] * e3[1] + n[2] * e3[2];
    return s1 * s2 >= 0;
  };
  const int N = 400000;
  const double golden = kPi * (3.0 - std::sqrt(5.0));
  int in = 0;
  for (int k = 0; k < N; ++k) {
    double z = 1 - (2.0 * k + 1) / N, s = std::sqrt(1 - z * z), phi = golden * k;
    double v[3] = {s * std::cos(phi), s * std::sin(phi), z};
    if (side(0, 1, 2, v) && side(1, 2, 0, v) && side(2, 0, 1, v)) ++in;
  }
  EXPECT_NEAR(q.area, 4 * kPi * p * p * in / N, 2e-3);
  EXPECT_NEAR(q.area_i * 3, q.area, 1e-12);
  EXPECT_NEAR(q.volume, p * q.area / 3, 1e-12);
}

}  // namespace
