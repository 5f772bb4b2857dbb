// Per-atom area and volume of unions of balls against closed forms and
// numerical estimates.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "measure/areavolume.h"
#include "measure/contribreport.h"
#include "measure/probesurface.h"
#include "structure/bead.h"
#include "structure/file.h"
#include "structure/output.h"
#include "support/run.h"
#include "support/union_sampling.h"

namespace {

using sampling::Ball;
using sampling::beads_of;

const double kPi = 3.14159265358979323846;

std::vector<info> run(const std::vector<Ball>& balls, double probe, double alpha = 0, int type = 4,
                      int cusp = 0) {
  std::vector<Bead> beads = beads_of(balls);
  ComplexRecords rec = measure_area_volume(beads, probe, alpha, type, cusp);
  return rec.atoms;
}

double sphere_area(double R) { return R * AV_FOUR_PI * R; }
double ball_volume(double R) { return R * AV_FOUR_PI_THIRD * R * R; }

// Cap of a sphere of radius R cut off by a plane at distance x from its
// centre (towards the cap).
double cap_area_of(double R, double x) { return 2 * kPi * R * (R - x); }
double cap_volume_of(double R, double x) {
  double h = R - x;
  return kPi * h * h * (3 * R - h) / 3;
}

void expect_all_zero(const info& a) {
  EXPECT_EQ(a.area_sa, 0);
  EXPECT_EQ(a.area_ms, 0);
  EXPECT_EQ(a.volume_sa, 0);
  EXPECT_EQ(a.volume_ms, 0);
  EXPECT_EQ(a.envelope_sa, 0);
  EXPECT_EQ(a.envelope_ms, 0);
  EXPECT_EQ(a.void_area_sa, 0);
  EXPECT_EQ(a.void_area_ms, 0);
}

TEST(AreaVolume, IsolatedBalls) {
  const double r = 1.7, p = 1.4, R = r + p;
  // Two atoms far apart: each is a whole ball.
  std::vector<info> a = run({{0, 0, 0, r}, {20, 0, 0, r}}, p);
  for (const info& x : a) {
    EXPECT_DOUBLE_EQ(x.area_sa, sphere_area(R));
    EXPECT_DOUBLE_EQ(x.volume_sa, ball_volume(R));
    EXPECT_NEAR(x.area_ms, r * AV_FOUR_PI * r, 1e-9);
    EXPECT_NEAR(x.volume_ms, AV_FOUR_PI_THIRD * r * r * r, 1e-9);
    EXPECT_DOUBLE_EQ(x.envelope_sa, x.area_sa);
    EXPECT_DOUBLE_EQ(x.envelope_ms, x.area_ms);
    EXPECT_EQ(x.void_area_sa, 0);
  }
  // One atom alone has no edge, so the complex lists no vertex for it:
  // nothing is measured.
  expect_all_zero(run({{1, 2, 3, r}}, p)[0]);
}

TEST(AreaVolume, TwoOverlappingBalls) {
  const double p = 1.4, d = 3.3;
  std::vector<info> a = run({{0, 0, 0, 1.6}, {0, d, 0, 1.9}}, p);
  const double R1 = 3.0, R2 = 3.3;
  const double x1 = (d * d + R1 * R1 - R2 * R2) / (2 * d), x2 = d - x1;
  EXPECT_NEAR(a[0].area_sa, 4 * kPi * R1 * R1 - cap_area_of(R1, x1), 1e-5);
  EXPECT_NEAR(a[1].area_sa, 4 * kPi * R2 * R2 - cap_area_of(R2, x2), 1e-5);
  EXPECT_NEAR(a[0].volume_sa, 4 * kPi / 3 * R1 * R1 * R1 - cap_volume_of(R1, x1), 1e-5);
  EXPECT_NEAR(a[1].volume_sa, 4 * kPi / 3 * R2 * R2 * R2 - cap_volume_of(R2, x2), 1e-5);
  // No tetrahedron covers the edge: the whole surface is envelope.
  EXPECT_NEAR(a[0].envelope_sa, a[0].area_sa, 1e-9);

  // The radical plane behind the smaller centre (the case that once picked
  // the wrong side when the centres share a coordinate).
  std::vector<info> b = run({{13.467, 0.3, 2.1, 1.42}, {13.467, 1.53, 2.1, 1.88}}, p);
  EXPECT_NEAR(b[0].area_sa, 40.65, 0.01);
  const double Ra = 2.82, Rb = 3.28, e = 1.23;
  const double xa = (e * e + Ra * Ra - Rb * Rb) / (2 * e);
  EXPECT_NEAR(b[0].area_sa + b[1].area_sa,
              4 * kPi * (Ra * Ra + Rb * Rb) - cap_area_of(Ra, xa) - cap_area_of(Rb, e - xa), 1e-5);
}

// Random clusters: every atom's SA area against sphere sampling, every
// atom's SA volume against the volume of its ball inside its power cell.
TEST(AreaVolume, RandomClustersMatchSampling) {
  struct Case {
    int n;
    double edge, probe;
    unsigned seed;
  };
  for (const Case& c :
       {Case{20, 8, 1.4, 1}, Case{25, 9, 1.4, 2}, Case{40, 10, 0.0, 5}, Case{12, 5, 0.6, 9}}) {
    std::vector<Ball> balls = sampling::random_cluster(c.n, c.edge, 1.4, 2.0, c.seed);
    std::vector<info> a = run(balls, c.probe);
    std::vector<double> area = sampling::exposed_areas(balls, c.probe, 200000);
    std::vector<double> sigma;
    std::vector<double> vol = sampling::cell_volumes(balls, c.probe, 3000000, &sigma);
    double total = 0, total_ref = 0;
    for (int i = 0; i < c.n; ++i) {
      EXPECT_NEAR(a[i].area_sa, area[i], 0.05 + 1e-3 * area[i])
          << "seed " << c.seed << " atom " << i;
      EXPECT_NEAR(a[i].volume_sa, vol[i], 5 * sigma[i] + 1e-3)
          << "seed " << c.seed << " atom " << i;
      total += a[i].area_sa;
      total_ref += area[i];
    }
    EXPECT_NEAR(total, total_ref, 1e-3 * total_ref);
  }
}

TEST(AreaVolume, MolecularSurfaceIdentities) {
  std::vector<Ball> balls = sampling::random_cluster(25, 8, 1.4, 2.0, 4);
  // Without a probe the molecular surface is the union itself.
  std::vector<info> a = run(balls, 0.0);
  for (const info& x : a) {
    EXPECT_NEAR(x.area_ms, x.area_sa, 1e-9);
    EXPECT_NEAR(x.volume_ms, x.volume_sa, 1e-9);
  }
  // The envelope is the area less the walls of enclosed voids, atom by atom.
  std::vector<info> b = run(balls, 1.4);
  for (const info& x : b) {
    EXPECT_NEAR(x.envelope_sa, x.area_sa - x.void_area_sa, 1e-6);
    EXPECT_NEAR(x.envelope_ms, x.area_ms - x.void_area_ms, 1e-6);
  }
  // Report types 0 to 3 leave the volumes of the simplices out.
  std::vector<info> c = run(balls, 1.4, 0, 1);
  for (size_t i = 0; i < c.size(); ++i) {
    EXPECT_DOUBLE_EQ(c[i].area_sa, b[i].area_sa);
    EXPECT_DOUBLE_EQ(c[i].envelope_ms, b[i].envelope_ms);
  }
}

// Volume of the solid of revolution inside the molecular surface of two
// atoms (radii r1 at the origin and r2 at distance d on the axis) whose
// probe passes through their probe circle, between the abscissae lo and hi:
// the atom spheres out to their contacts with the probe, the probe arc
// between them.
double two_atom_ses_volume(double r1, double r2, double d, double p, double lo, double hi) {
  const double R1 = r1 + p, R2 = r2 + p;
  const double x1 = (d * d + R1 * R1 - R2 * R2) / (2 * d);  // probe circle plane
  const double rho = std::sqrt(R1 * R1 - x1 * x1);
  const double t1 = x1 * r1 / R1, t2 = d - (d - x1) * r2 / R2;  // contact abscissae
  auto profile = [&](double x) {
    if (x <= t1) return std::sqrt(std::fmax(0.0, r1 * r1 - x * x));
    if (x >= t2) return std::sqrt(std::fmax(0.0, r2 * r2 - (x - d) * (x - d)));
    return rho - std::sqrt(std::fmax(0.0, p * p - (x - x1) * (x - x1)));
  };
  const int steps = 400000;
  const double h = (hi - lo) / steps;
  double volume = 0;
  for (int k = 0; k < steps; ++k) {
    double f = profile(lo + (k + 0.5) * h);
    volume += kPi * f * f * h;
  }
  return volume;
}

// Two touching atoms and a probe that fits through their probe circle: the
// molecular surface is two spherical caps and a re-entrant torus, and its
// volume is a solid of revolution.
TEST(AreaVolume, TwoTouchingAtomsMolecularSurface) {
  const double r1 = 1.7, r2 = 1.5, p = 1.4, d = r1 + r2;
  std::vector<info> a = run({{0, 0, 0, r1}, {d, 0, 0, r2}}, p);
  const double R1 = r1 + p, R2 = r2 + p;
  const double x1 = (d * d + R1 * R1 - R2 * R2) / (2 * d);  // probe circle plane
  const double rho = std::sqrt(R1 * R1 - x1 * x1);
  ASSERT_GT(rho, p);
  // Contact angles on the two atoms.
  const double c1 = x1 / R1, c2 = (d - x1) / R2;
  const double caps = 2 * kPi * r1 * r1 * (1 + c1) + 2 * kPi * r2 * r2 * (1 + c2);
  // The probe arc between its two contacts, revolved about the axis.
  const double phi1 = std::atan2(x1, rho), phi2 = std::atan2(d - x1, rho);
  const double torus = 2 * kPi * p * (rho * (phi1 + phi2) - p * (std::sin(phi1) + std::sin(phi2)));
  EXPECT_NEAR(a[0].area_ms + a[1].area_ms, caps + torus, 1e-4);

  EXPECT_NEAR(a[0].volume_ms + a[1].volume_ms, two_atom_ses_volume(r1, r2, d, p, -r1, d + r2),
              1e-3);
  // The cusp switch changes nothing while the probe passes the circle.
  std::vector<info> b = run({{0, 0, 0, r1}, {d, 0, 0, r2}}, p, 0, 4, 1);
  EXPECT_DOUBLE_EQ(a[0].area_ms, b[0].area_ms);
  EXPECT_DOUBLE_EQ(a[1].volume_ms, b[1].volume_ms);
}

// A serine's OG next to its CB: the OG centre lies beyond the radical plane,
// in the CB's power cell.  Each atom owns the molecular volume inside its
// cell, as it owns the volume of the union: the OG the part of its atom ball
// beyond the plane, the CB all the rest.
TEST(AreaVolume, MolecularVolumeOfAnAtomCentredInItsNeighboursCell) {
  const double r1 = 1.88, r2 = 1.46, p = 1.4;
  const double c[3] = {39.826 - 38.944, 31.237 - 30.405, 48.980 - 48.246};
  std::vector<info> a = run({{38.944, 30.405, 48.246, r1}, {39.826, 31.237, 48.980, r2}}, p);
  const double d = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
  const double R1 = r1 + p, R2 = r2 + p;
  const double x1 = (d * d + R1 * R1 - R2 * R2) / (2 * d);
  ASSERT_GT(x1, d);
  const double cap = r2 - (x1 - d);  // of the OG atom ball beyond the plane
  EXPECT_NEAR(a[1].volume_ms, kPi * cap * cap * (3 * r2 - cap) / 3, 1e-5);
  EXPECT_NEAR(a[0].volume_ms, two_atom_ses_volume(r1, r2, d, p, -r1, x1), 1e-3);
  for (const info& x : a) {
    EXPECT_GE(x.volume_ms, 0);
    EXPECT_LE(x.volume_ms, x.volume_sa);
  }
}

// An atom whose expanded ball lies inside the union of its neighbours (its
// centre outside its own power cell, no edge in the complex) owns nothing,
// and its neighbours keep the whole union.
TEST(AreaVolume, BuriedAtomOwnsNothing) {
  const double p = 1.4;
  std::vector<info> a =
      run({{0, 0, 0, 1.4}, {-0.34, 0.17, -0.43, 1.88}, {0.23, -0.39, -0.26, 1.88}}, p);
  expect_all_zero(a[0]);
  // The other two measure the union of their own two balls.
  const double dx = 0.57, dy = -0.56, dz = 0.17;
  const double d = std::sqrt(dx * dx + dy * dy + dz * dz), R = 3.28;
  EXPECT_NEAR(a[1].area_sa + a[2].area_sa, 2 * (4 * kPi * R * R - cap_area_of(R, d / 2)), 1e-5);
  EXPECT_NEAR(a[1].volume_sa + a[2].volume_sa,
              2 * (4 * kPi / 3 * R * R * R - cap_volume_of(R, d / 2)), 1e-5);

  // A water between two sulphurs and a carbon: the edges to it are attached
  // through triangles that the one tetrahedron attaches, so they leave the
  // complex with it and the water owns nothing.
  std::vector<Ball> water = {{0.888, 4.870, 5.850, 1.77},
                             {4.816, 2.124, 5.285, 1.77},
                             {1.119, 4.561, 5.905, 1.4},
                             {1.253, 0.450, 5.890, 1.88}};
  std::vector<info> w = run(water, p);
  expect_all_zero(w[2]);
  std::vector<double> sigma;
  std::vector<double> cells = sampling::cell_volumes(water, p, 1000000, &sigma);
  double total = 0, total_ref = 0, var = 0;
  for (int i = 0; i < 4; ++i) {
    total += w[i].volume_sa;
    total_ref += cells[i];
    var += sigma[i] * sigma[i];
  }
  EXPECT_NEAR(total, total_ref, 4 * std::sqrt(var));

  // Dense clusters of small balls among big ones, many of them covered.
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    std::vector<Ball> balls = sampling::random_cluster(20, 6, 0.5, 1.0, seed);
    for (const Ball& b : sampling::random_cluster(20, 6, 1.6, 2.2, seed + 10)) balls.push_back(b);
    std::vector<info> c = run(balls, p);
    cells = sampling::cell_volumes(balls, p, 1000000, &sigma);
    total = total_ref = var = 0;
    for (size_t i = 0; i < balls.size(); ++i) {
      EXPECT_GT(c[i].area_sa, -1e-5) << "seed " << seed << " atom " << i;
      EXPECT_GT(c[i].volume_sa, -1e-5) << "seed " << seed << " atom " << i;
      total += c[i].volume_sa;
      total_ref += cells[i];
      var += sigma[i] * sigma[i];
    }
    EXPECT_NEAR(total, total_ref, 4 * std::sqrt(var)) << "seed " << seed;
  }
}

TEST(AreaVolume, RedundantDuplicateAndAbsentAtomsAreZero) {
  const double p = 1.4;
  std::vector<Ball> base = {
      {0, 0, 0, 1.7}, {3.0, 0.2, 0, 1.6}, {1.4, 2.5, 0.3, 1.8}, {1.2, 1.0, 2.6, 1.5}};
  std::vector<info> ref = run(base, p);
  std::vector<Ball> more = base;
  more.push_back({3.0, 0.2, 0, 1.6});    // duplicate of atom 1
  more.push_back({0.1, 0.1, 0.0, 0.5});  // deep inside atom 0: not a vertex
  std::vector<info> a = run(more, p);
  expect_all_zero(a[5]);
  // One of the two copies carries the atom, the other nothing.
  const int kept = a[1].area_sa != 0 ? 1 : 4;
  expect_all_zero(a[kept == 1 ? 4 : 1]);
  for (int i = 0; i < 4; ++i) {
    const info& x = a[i == 1 ? kept : i];
    EXPECT_NEAR(x.area_sa, ref[i].area_sa, 1e-9);
    EXPECT_NEAR(x.volume_ms, ref[i].volume_ms, 1e-9);
  }

  // A negative alpha larger than r + p removes the ball.
  std::vector<info> b = run({{0, 0, 0, 1.5}, {1.0, 0, 0, 2.4}, {9, 0, 0, 2.4}}, 0.0, -2.0);
  expect_all_zero(b[0]);
  const double R = std::sqrt(2.4 * 2.4 - 4.0);
  EXPECT_NEAR(b[1].area_sa, 4 * kPi * R * R, 1e-5);
  EXPECT_NEAR(b[2].volume_sa, 4 * kPi / 3 * R * R * R, 1e-5);
  EXPECT_NEAR(b[1].radius, R, 1e-12);

  // A negative alpha equal to r + p leaves a ball of radius 0: no part of
  // the union either, and no NaN in the report.
  std::vector<info> c = run({{0, 0, 0, 1.5}, {2.5, 0, 0, 2.5}, {9, 0, 0, 2.5}}, 0.5, -2.0);
  expect_all_zero(c[0]);
  const double Rc = std::sqrt(9.0 - 4.0);
  EXPECT_NEAR(c[2].area_sa, 4 * kPi * Rc * Rc, 1e-5);
  for (const info& x : c) EXPECT_TRUE(std::isfinite(x.area_ms) && std::isfinite(x.volume_ms));
}

TEST(AreaVolume, AlphaGrowsOrShrinksTheBalls) {
  std::vector<Ball> balls = {{0, 0, 0, 1.6}, {30, 0, 0, 1.6}};
  std::vector<info> g = run(balls, 1.4, 1.5), s = run(balls, 1.4, -1.5), z = run(balls, 1.4, 0);
  EXPECT_NEAR(z[0].radius, 1.6, 1e-12);
  EXPECT_NEAR(g[0].radius + 1.4, std::sqrt(9 + 2.25), 1e-12);
  EXPECT_NEAR(s[0].radius + 1.4, std::sqrt(9 - 2.25), 1e-12);
  EXPECT_NEAR(g[0].area_sa, sphere_area(std::sqrt(11.25)), 1e-9);

  // Shrunk below the probe, an isolated oxygen keeps its small expanded ball
  // but has no atom sphere left: no molecular surface, no molecular volume.
  std::vector<info> o = run({{0, 0, 0, 1.4}, {20, 0, 0, 1.4}}, 1.4, -2.79);
  for (const info& x : o) {
    EXPECT_NEAR(x.area_sa, sphere_area(std::sqrt(2.8 * 2.8 - 2.79 * 2.79)), 1e-9);
    EXPECT_EQ(x.area_ms, 0);
    EXPECT_EQ(x.volume_ms, 0);
  }

  // A protein from alpha 0 down to the lowest alpha: the union's measures
  // stay positive and each atom's molecular volume within its SA volume,
  // also where shrunk balls leave probe positions overlapping.
  std::vector<Bead> beads;
  read_pdb(std::string(DATA_DIR) + "/1a1p.pdb", beads);
  for (int step = 0; step <= 9; ++step) {
    const double alpha = -2.79 * step / 9;
    ComplexRecords rec = measure_area_volume(beads, 1.4, alpha, 4, 0);
    double sa = 0, ms = 0;
    for (const info& x : rec.atoms) {
      EXPECT_GT(x.area_sa, -1e-5) << alpha;
      EXPECT_GT(x.volume_sa, -1e-5) << alpha;
      EXPECT_GT(x.area_ms, -1e-5) << alpha;
      EXPECT_GT(x.volume_ms, -1e-5) << alpha;
      EXPECT_LE(x.volume_ms, x.volume_sa) << alpha;
      sa += x.volume_sa;
      ms += x.volume_ms;
    }
    EXPECT_GE(ms, 0) << alpha;
    EXPECT_LE(ms, sa) << alpha;
  }
}

// Exactly coplanar atoms give flat tetrahedra without a power centre; no
// value may turn into NaN.
TEST(AreaVolume, CoplanarAtomsStayFinite) {
  std::vector<Ball> balls;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) balls.push_back({2.0 * i, 2.0 * j, 0.0, 1.5});
  std::vector<info> a = run(balls, 1.4);
  for (const info& x : a) {
    EXPECT_TRUE(std::isfinite(x.area_sa) && std::isfinite(x.area_ms));
    EXPECT_TRUE(std::isfinite(x.volume_sa) && std::isfinite(x.volume_ms));
    EXPECT_TRUE(std::isfinite(x.envelope_ms) && std::isfinite(x.void_area_ms));
  }

  // Centres in planes that the complex reports as flat tetrahedra.  First as
  // three decimals put them in a structure shrunk a thousandfold: among
  // balls that cover each other nearly whole, two flat tetrahedra, one on the
  // hull.  Then on grids, with the big probe of the reduced models: flat
  // tetrahedra side by side, with faces on the hull and three centres on a
  // line.  Each atom still owns its sphere outside the others and its ball
  // in its power cell.
  const std::vector<Ball> shrunk = {
      {0.020, 0.011, 0.055, 1.88}, {0.017, 0.014, 0.055, 1.88}, {0.017, 0.014, 0.056, 1.61},
      {0.018, 0.013, 0.057, 1.64}, {0.018, 0.013, 0.058, 1.88}, {0.019, 0.015, 0.058, 1.42},
      {0.019, 0.012, 0.058, 1.88}, {0.021, 0.013, 0.058, 1.88}, {0.020, 0.014, 0.055, 1.42}};
  const std::vector<Ball> grid = {
      {2.7, 1.8, 0, 1.88},    {2.7, 2.7, 0, 1.42},  {0.9, 2.7, 0, 1.88},
      {0, 1.8, 0, 1.88},      {1.8, 0.9, 0, 1.88},  {0.9, 0, 0, 1.88},
      {0.9, 2.7, -0.9, 1.64}, {0, 1.8, -0.9, 1.61}, {0, 3.6, 1.8, 1.88}};
  const std::vector<Ball> line = {
      {2.2, 1.1, 0, 1.88},    {3.3, 3.3, 0, 1.88},   {0, 1.1, 0, 1.88},
      {0, 3.3, 0, 1.88},      {1.1, 1.1, 0, 1.88},   {4.4, 4.4, -1.1, 1.88},
      {3.3, 3.3, -2.2, 1.64}, {0, -1.1, -1.1, 1.64}, {0, 3.3, 1.1, 1.88}};
  for (const auto& [flat, probe] :
       {std::make_pair(shrunk, 1.4), std::make_pair(grid, 2.8), std::make_pair(line, 2.8)}) {
    std::vector<info> b = run(flat, probe);
    const std::vector<double> area = sampling::exposed_areas(flat, probe, 200000);
    std::vector<double> sigma;
    const std::vector<double> cell = sampling::cell_volumes(flat, probe, 2000000, &sigma);
    for (size_t i = 0; i < flat.size(); ++i) {
      EXPECT_NEAR(b[i].area_sa, area[i], 0.02 + 2e-4 * area[i]) << probe << " " << i;
      EXPECT_NEAR(b[i].volume_sa, cell[i], 5 * sigma[i] + 1e-3) << probe << " " << i;
    }
  }
}

// A closed shell of atoms around an empty cavity: the inner wall is an
// enclosed void, the outer surface is the envelope.
TEST(AreaVolume, EnclosedCavity) {
  const int n = 80;
  const double shell = 6.0, r = 1.6, p = 0.8;
  const double golden = kPi * (3.0 - std::sqrt(5.0));
  std::vector<Ball> balls;
  for (int k = 0; k < n; ++k) {
    double z = 1 - (2.0 * k + 1) / n, s = std::sqrt(1 - z * z), phi = golden * k;
    balls.push_back({shell * s * std::cos(phi), shell * s * std::sin(phi), shell * z, r});
  }
  std::vector<info> a = run(balls, p);
  double voids = 0, envelope = 0, area = 0;
  for (const info& x : a) {
    voids += x.void_area_sa;
    envelope += x.envelope_sa;
    area += x.area_sa;
  }
  // Reference: exposed sphere points inside / outside the shell radius.
  const double R = r + p;
  const int N = 40000;
  double inner = 0, outer = 0;
  for (int i = 0; i < n; ++i) {
    long in = 0, out = 0;
    for (int k = 0; k < N; ++k) {
      double z = 1 - (2.0 * k + 1) / N, s = std::sqrt(1 - z * z), phi = golden * k;
      double q[3] = {balls[i].x + R * s * std::cos(phi), balls[i].y + R * s * std::sin(phi),
                     balls[i].z + R * z};
      bool covered = false;
      for (int j = 0; j < n && !covered; ++j) {
        if (j == i) continue;
        double dx = q[0] - balls[j].x, dy = q[1] - balls[j].y, dz = q[2] - balls[j].z;
        covered = dx * dx + dy * dy + dz * dz < R * R;
      }
      if (covered) continue;
      (q[0] * q[0] + q[1] * q[1] + q[2] * q[2] < shell * shell ? in : out)++;
    }
    inner += 4 * kPi * R * R * in / N;
    outer += 4 * kPi * R * R * out / N;
  }
  ASSERT_GT(inner, 10);
  EXPECT_NEAR(voids, inner, 2e-3 * inner + 0.5);
  EXPECT_NEAR(envelope, outer, 2e-3 * outer + 0.5);
  EXPECT_NEAR(area, inner + outer, 2e-3 * (inner + outer));
  for (const info& x : a) EXPECT_NEAR(x.envelope_ms, x.area_ms - x.void_area_ms, 1e-6);
}

double total(const std::vector<info>& atoms, double info::*field) {
  double sum = 0;
  for (const info& a : atoms) sum += a.*field;
  return sum;
}

// The molecular surface of the balls sampled by its definition, over the
// box lo..hi grown to hold every expanded ball.
sampling::SurfaceSample sampled_surface(const std::vector<Ball>& balls, double p,
                                        std::array<double, 3> lo, std::array<double, 3> hi) {
  sampling::AccessibleDistance dist(balls, p);
  for (const Ball& b : balls) {
    const double c[3] = {b.x, b.y, b.z};
    for (std::size_t k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], c[k] - b.r - p - 0.1);
      hi[k] = std::max(hi[k], c[k] + b.r + p + 0.1);
    }
  }
  return sampling::sample_surface(dist, static_cast<int>(balls.size()), lo.data(), hi.data(), 0.04,
                                  0.02, [](const double*, const double*) { return true; });
}

// Where the probe positions of a void overlap, the closed-form tori and
// probe patches count the overlap several times.  Four carbons of 1ubq
// about an empty tetrahedron: the closed forms gave a molecular volume of
// 101.1, below the 111.3 of the bare balls, and an area of 245.4; against
// the surface sampled by its definition, total and atom by atom (power
// cells).  Then dense clusters with such voids: every total between the
// union of the bare balls and that of the expanded ones, every atom's share
// within its own (in the last, the power cells give a small atom more of
// the excluded volume than the closed forms did).
TEST(AreaVolume, OverlappingVoidProbesMeasuredFromTheSurface) {
  const double p = 1.4;
  const std::vector<Ball> carbons = {{32.260, 37.969, 15.171, 1.88},
                                     {33.109, 36.381, 11.435, 1.88},
                                     {37.156, 35.985, 11.688, 1.88},
                                     {36.958, 35.746, 16.680, 1.88}};
  std::vector<info> a = run(carbons, p);
  const sampling::SurfaceSample ses = sampled_surface(carbons, p, {30, 33, 8}, {40, 41, 20});
  EXPECT_NEAR(total(a, &info::volume_ms), ses.total_inside, 0.05);
  EXPECT_NEAR(total(a, &info::area_ms), ses.total_area, 0.005 * ses.total_area);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(a[i].volume_ms, ses.inside[i], 0.05) << i;

  for (unsigned seed : {1u, 9u, 28u, 36u, 45u, 1409u}) {
    const std::vector<Ball> balls = sampling::void_cluster(4 + seed % 9, seed);
    std::vector<Bead> beads = beads_of(balls);
    ComplexRecords rec = measure_area_volume(beads, p, 0, 4, 0);
    ASSERT_TRUE(std::any_of(rec.tetras.begin(), rec.tetras.end(), [](const tetra& t) {
      return t.void_id > 0;
    })) << seed;
    const double bare = total(run(balls, 0.0), &info::volume_sa);
    const double ms = total(rec.atoms, &info::volume_ms);
    EXPECT_GT(ms, bare) << seed;
    EXPECT_LT(ms, total(rec.atoms, &info::volume_sa)) << seed;
    for (const info& x : rec.atoms) {
      EXPECT_GT(x.volume_ms, -1e-6) << seed << " atom " << x.index;
      EXPECT_LT(x.volume_ms, x.volume_sa + 1e-6) << seed << " atom " << x.index;
      EXPECT_GT(x.area_ms, -1e-6) << seed << " atom " << x.index;
    }
  }
}

// Four balls nearly one inside another: the closed forms hand the small one
// (SA volume 0.13) a molecular volume of 1.03, its neighbours 0.9 too
// little, with a total that is right (62.16 sampled).  Bringing that atom to
// its bound used to drop the 0.9 and take the total below the 61.56 of the
// bare balls; what it gives up now goes to its neighbours.
TEST(AreaVolume, AtomsBroughtWithinTheirBoundsKeepTheTotal) {
  const std::vector<Ball> balls = {{3.336, 1.556, 3.577, 1.88},
                                   {3.078, 1.857, 2.323, 1.88},
                                   {2.784, 1.019, 3.176, 1.42},
                                   {1.548, 0.666, 1.930, 1.88}};
  const std::vector<info> a = run(balls, 1.4);
  EXPECT_GT(total(a, &info::volume_ms), total(run(balls, 0.0), &info::volume_sa));
  const sampling::SurfaceSample ses = sampled_surface(balls, 1.4, {HUGE_VAL, HUGE_VAL, HUGE_VAL},
                                                      {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL});
  EXPECT_NEAR(total(a, &info::volume_ms), ses.total_inside, 0.05);
  for (const info& x : a) {
    EXPECT_GE(x.volume_ms, 0) << x.index;
    EXPECT_LE(x.volume_ms, x.volume_sa) << x.index;
  }
}

// Open probe positions overlap as well.  A thin wall of three atoms (atoms
// 0, 2 and 3) with its two probe positions 0.58 apart, beside a second one:
// the closed forms counted the lens of the wall's probe patches twice and
// gave a molecular volume of 93.29, below the 99.17 of the bare balls.  A
// wall of four atoms (two of them 0.8 apart), whose probe positions of
// different triangles face each other: 68.86, below the bare 70.52.  Against
// the surface sampled by its definition: cut tori stay closed forms (their
// overlap in the four-atom wall is what the looser bounds allow) and split
// otherwise between their atoms than the sampled power cells do.
TEST(AreaVolume, OpenProbePatchesThatMeetMeasuredFromTheSurface) {
  const double p = 1.4;
  const std::vector<std::vector<Ball>> clusters = {{{7.954, 2.043, 3.916, 1.46},
                                                    {0.968, 3.319, 0.032, 1.88},
                                                    {1.235, 2.451, 5.134, 1.42},
                                                    {4.818, 0.599, 7.917, 1.64},
                                                    {5.666, 5.556, 6.126, 1.88}},
                                                   {{5.779, 1.978, 3.834, 1.64},
                                                    {5.748, 2.618, 3.309, 1.61},
                                                    {0.117, 1.726, 5.310, 1.88},
                                                    {4.095, 4.392, 1.913, 1.64}}};
  const double volume_tolerance[] = {0.05, 0.3}, area_share[] = {0.005, 0.025},
               atom_tolerance[] = {0.25, 0.6};
  for (std::size_t c = 0; c < clusters.size(); ++c) {
    const std::vector<Ball>& cluster = clusters[c];
    std::vector<info> a = run(cluster, p);
    const double bare = total(run(cluster, 0.0), &info::volume_sa);
    EXPECT_GT(total(a, &info::volume_ms), bare) << c;
    const sampling::SurfaceSample ses = sampled_surface(
        cluster, p, {HUGE_VAL, HUGE_VAL, HUGE_VAL}, {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL});
    EXPECT_NEAR(total(a, &info::volume_ms), ses.total_inside, volume_tolerance[c]);
    EXPECT_NEAR(total(a, &info::area_ms), ses.total_area, area_share[c] * ses.total_area);
    for (std::size_t i = 0; i < cluster.size(); ++i)
      EXPECT_NEAR(a[i].volume_ms, ses.inside[i], atom_tolerance[c]) << c << " atom " << i;
  }
}

// The open shares of vertices and edges gathered during the walk equal the
// record methods evaluated afterwards, to the last bit.
TEST(AreaVolume, GatheredOpenSharesEqualTheRecordMethods) {
  std::vector<Bead> beads;
  read_pdb(std::string(DATA_DIR) + "/1ubq.pdb", beads);
  for (double probe : {1.4, 0.0}) {
    ComplexRecords rec = measure_area_volume(beads, probe, 0, 1, 0);
    OpenShares shares(rec.atoms.size(), rec.edges);
    for (const tetra& t : rec.tetras) {
      if (!t.in_complex) continue;
      double d[6];
      for (int k = 0; k < 6; ++k) d[k] = tetra_dihedral(t, k);
      shares.add(t, d);
    }
    int partly = 0;
    for (const info& a : rec.atoms) {
      const double x = a.solidanglevertex();
      EXPECT_EQ(shares.vertex_share(a), x) << a.index;
      if (x < 1) ++partly;
    }
    for (const edge& e : rec.edges) {
      if (!e.in_complex) continue;
      EXPECT_EQ(shares.edge_share(e), e.solidangleedge()) << e.id;
    }
    EXPECT_GT(partly, 100);
  }
}

TEST(AreaVolume, RealStructureIsReproducibleAndConsistent) {
  std::vector<Bead> beads;
  read_pdb(std::string(DATA_DIR) + "/1ubq.pdb", beads);
  ASSERT_GT(beads.size(), 500u);
  ComplexRecords one = measure_area_volume(beads, 1.4, 0, 4, 0);
  // Again, without the incidence lists the measures do not read.
  ComplexRecords two = measure_area_volume(beads, 1.4, 0, 4, 0, false);
  double total = 0;
  for (size_t i = 0; i < beads.size(); ++i) {
    const info& a = one.atoms[i];
    const info& b = two.atoms[i];
    EXPECT_EQ(a.area_sa, b.area_sa);
    EXPECT_EQ(a.area_ms, b.area_ms);
    EXPECT_EQ(a.volume_sa, b.volume_sa);
    EXPECT_EQ(a.volume_ms, b.volume_ms);
    EXPECT_EQ(a.envelope_sa, b.envelope_sa);
    EXPECT_EQ(a.envelope_ms, b.envelope_ms);
    EXPECT_EQ(a.void_area_sa, b.void_area_sa);
    EXPECT_EQ(a.void_area_ms, b.void_area_ms);
    EXPECT_TRUE(std::isfinite(a.area_ms) && std::isfinite(a.volume_ms));
    EXPECT_GT(a.area_sa, -1e-5);
    EXPECT_LE(a.area_sa, sphere_area(beads[i].radius + 1.4) + 1e-6);
    EXPECT_NEAR(a.envelope_sa, a.area_sa - a.void_area_sa, 1e-5);
    total += a.area_sa;
  }
  // The numerical estimate of the same union.
  std::vector<Ball> balls;
  for (const Bead& b : beads) balls.push_back({b.x, b.y, b.z, b.radius});
  std::vector<double> ref = sampling::exposed_areas(balls, 1.4, 20000);
  double total_ref = 0;
  for (double v : ref) total_ref += v;
  EXPECT_NEAR(total, total_ref, 2e-3 * total_ref);
}

// The rows carry the digits printf gives the formats of the report, for
// values a run can reach: ties, zeros of either sign, NaN, infinities and
// numbers too long for a short field.
TEST(AreaVolume, ReportRowsAsPrintfWritesThem) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double values[][4] = {{0.03125, -0.03125, 0.0, -0.0},
                              {nan, -nan, inf, -inf},
                              {1e300, -123456.78915, 2.5e-5, 99999.99995}};
  std::vector<info> atoms(3);
  std::vector<Bead> beads(3);
  const char* names[3][2] = {{"CA", "GLY"}, {"OD1X", "A"}, {"N", ""}};
  const char chains[3] = {'A', '\0', '*'};
  for (int n = 0; n < 3; ++n) {
    atoms[n].area_sa = values[n][0];
    atoms[n].area_ms = values[n][1];
    atoms[n].volume_sa = values[n][2];
    atoms[n].volume_ms = values[n][3];
    std::strcpy(beads[n].atom_name, names[n][0]);
    std::strcpy(beads[n].res_name, names[n][1]);
    beads[n].chain_id = chains[n];
    beads[n].serial = n == 2 ? 123456 : n + 1;
    beads[n].res_num = n == 1 ? -7 : 10 * n;
  }
  testrun::TempDir dir;
  const std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  area_volume_measure(atoms, beads, "rows", 1.4, 4, 0);
  std::filesystem::current_path(here);
  std::string expected;
  for (int n = 0; n < 3; ++n) {
    const Bead& b = beads[n];
    const double* v = values[n];
    char row[1024];
    const int k = std::snprintf(row, sizeof row, "%-6s%5d  %-4s%3s %c%4d %8d   \t", "ATOM",
                                pdb_serial(b.serial), b.atom_name, b.res_name, b.chain_id,
                                pdb_residue_number(b.res_num), n + 1);
    expected.append(row, static_cast<size_t>(k));
    std::snprintf(row, sizeof row, "%6.4f\t%6.4f  \t%6.4f\t%6.4f\n", v[0], v[1], v[2], v[3]);
    expected += row;
  }
  const std::string text = testrun::read_file(dir.file("rows.4.contrib"));
  ASSERT_GE(text.size(), expected.size());
  EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
}

}  // namespace
