// Pocket area and volume against Monte Carlo estimates on one empty
// tetrahedron whose balls overlap pairwise and three at a time, on pockets
// whose term sums leave measures their geometry cannot have and on a pocket
// whose mouth the balls reach across, and the identities between the
// measures.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <utility>

#include "measure/atomballs.h"
#include "pockets/areavolume.h"
#include "pockets/assembly.h"
#include "pockets/pipeline.h"
#include "structure/bead.h"
#include "support/union_sampling.h"

namespace {

// Four balls of radius r at the corners of a regular tetrahedron of edge 6.
std::vector<Bead> regular_cell(double r) {
  const double s = 6.0 / std::sqrt(8.0);
  const double corners[4][3] = {{s, s, s}, {s, -s, -s}, {-s, s, -s}, {-s, -s, s}};
  std::vector<Bead> beads(4);
  for (int i = 0; i < 4; ++i) {
    beads[i].x = corners[i][0];
    beads[i].y = corners[i][1];
    beads[i].z = corners[i][2];
    beads[i].radius = r;
    beads[i].serial = i + 1;
  }
  return beads;
}

struct Point {
  double x, y, z;
};

Point corner(const info& a) { return {a.x, a.y, a.z}; }

bool inside_ball(const Point& p, const info& a, double R) {
  const double dx = p.x - a.x, dy = p.y - a.y, dz = p.z - a.z;
  return dx * dx + dy * dy + dz * dz < R * R;
}

double det3(const Point& a, const Point& b, const Point& c) {
  return a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) +
         a.z * (b.x * c.y - b.y * c.x);
}

Point minus(const Point& a, const Point& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

bool inside_tetra(const Point& p, const Point v[4]) {
  const double total = det3(minus(v[1], v[0]), minus(v[2], v[0]), minus(v[3], v[0]));
  for (int k = 0; k < 4; ++k) {
    Point w[4] = {v[0], v[1], v[2], v[3]};
    w[k] = p;
    const double part = det3(minus(w[1], w[0]), minus(w[2], w[0]), minus(w[3], w[0]));
    if (part * total < 0) return false;
  }
  return true;
}

double tetra_volume(const Point* v) {
  return std::fabs(det3(minus(v[1], v[0]), minus(v[2], v[0]), minus(v[3], v[0]))) / 6;
}

// A point drawn uniformly from the tetrahedron v.
Point point_in(const Point* v, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  double b[3] = {u(rng), u(rng), u(rng)};
  std::sort(b, b + 3);
  const double w[4] = {b[0], b[1] - b[0], b[2] - b[1], 1 - b[2]};
  Point p{0, 0, 0};
  for (int k = 0; k < 4; ++k) {
    p.x += w[k] * v[k].x;
    p.y += w[k] * v[k].y;
    p.z += w[k] * v[k].z;
  }
  return p;
}

// Monte Carlo estimates, for a pocket among all the atoms, of the volume of
// its tetrahedra outside every expanded ball (with its standard deviation),
// the expanded spheres' surface inside its tetrahedra that no other ball
// covers, and the arcs of the circles where two expanded spheres meet inside
// its tetrahedra that no third ball covers.
struct Estimate {
  double volume, sigma, area, length;
};

Estimate monte_carlo(const pocket& s, const std::vector<info>& atoms, double probe, int samples) {
  std::mt19937_64 rng(11);
  std::vector<std::array<Point, 4>> tetras;
  for (const tetra* t : s.tetrahedra)
    tetras.push_back({corner(*t->v[0]), corner(*t->v[1]), corner(*t->v[2]), corner(*t->v[3])});
  auto radius = [&](size_t k) { return atoms[k].radius + probe; };
  auto covered = [&](const Point& p, size_t skip1, size_t skip2) {
    for (size_t k = 0; k < atoms.size(); ++k) {
      if (k != skip1 && k != skip2 && inside_ball(p, atoms[k], radius(k))) return true;
    }
    return false;
  };
  auto in_pocket = [&](const Point& p) {
    for (const auto& v : tetras)
      if (inside_tetra(p, v.data())) return true;
    return false;
  };
  Estimate e{0, 0, 0, 0};
  double variance = 0.0;
  for (const auto& v : tetras) {
    const double volume = tetra_volume(v.data());
    int empty = 0;
    for (int n = 0; n < samples; ++n)
      empty += !covered(point_in(v.data(), rng), atoms.size(), atoms.size());
    const double f = static_cast<double>(empty) / samples;
    e.volume += volume * f;
    variance += volume * volume * f * (1 - f) / samples;
  }
  e.sigma = std::sqrt(variance);
  for (size_t k = 0; k < atoms.size(); ++k) {
    const double R = radius(k);
    if (!(R > 0.0)) continue;
    const Point c = corner(atoms[k]);
    // Points spread evenly over the sphere (a Fibonacci lattice).
    const double golden = M_PI * (3.0 - std::sqrt(5.0));
    int hits = 0;
    for (int n = 0; n < samples; ++n) {
      const double z = 1 - (2.0 * n + 1) / samples, w = std::sqrt(1 - z * z);
      const Point p{c.x + R * w * std::cos(golden * n), c.y + R * w * std::sin(golden * n),
                    c.z + R * z};
      hits += in_pocket(p) && !covered(p, k, k);
    }
    e.area += 4 * M_PI * R * R * hits / samples;
  }
  for (size_t i = 0; i < atoms.size(); ++i) {
    for (size_t j = i + 1; j < atoms.size(); ++j) {
      const double Ri = radius(i), Rj = radius(j);
      const Point ci = corner(atoms[i]);
      const Point d = minus(corner(atoms[j]), ci);
      const double dist = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
      if (!(Ri + Rj > dist) || !(dist > std::fabs(Ri - Rj))) continue;
      const double t = (dist * dist + Ri * Ri - Rj * Rj) / (2 * dist);
      const double rho = std::sqrt(Ri * Ri - t * t);
      const Point axis{d.x / dist, d.y / dist, d.z / dist};
      const Point centre{ci.x + t * axis.x, ci.y + t * axis.y, ci.z + t * axis.z};
      // Two unit vectors normal to the axis.
      Point a = std::fabs(axis.x) < 0.9 ? Point{1, 0, 0} : Point{0, 1, 0};
      const double dot = a.x * axis.x + a.y * axis.y + a.z * axis.z;
      a = {a.x - dot * axis.x, a.y - dot * axis.y, a.z - dot * axis.z};
      const double an = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
      a = {a.x / an, a.y / an, a.z / an};
      const Point b{axis.y * a.z - axis.z * a.y, axis.z * a.x - axis.x * a.z,
                    axis.x * a.y - axis.y * a.x};
      int hits = 0;
      for (int n = 0; n < samples; ++n) {
        const double phi = 2 * M_PI * (n + 0.5) / samples;
        const Point p{centre.x + rho * (std::cos(phi) * a.x + std::sin(phi) * b.x),
                      centre.y + rho * (std::cos(phi) * a.y + std::sin(phi) * b.y),
                      centre.z + rho * (std::cos(phi) * a.z + std::sin(phi) * b.z)};
        hits += in_pocket(p) && !covered(p, i, j);
      }
      e.length += 2 * M_PI * rho * hits / samples;
    }
  }
  return e;
}

struct Cell {
  std::vector<Bead> beads;
  PocketComplex c;
  std::vector<pocket> pockets = std::vector<pocket>(1);

  Cell(double r, double probe) : beads(regular_cell(r)) {
    build_pocket_complex(beads, probe, 0.0, c);
    pockets[0].tetrahedra = {&c.tetras[0]};
  }
  int edges_in() const {
    int n = 0;
    for (const edge& e : c.edges) n += e.in_complex;
    return n;
  }
  int faces_in() const {
    int n = 0;
    for (const tria& t : c.trias) n += t.in_complex;
    return n;
  }
};

TEST(PocketAreaVolume, MatchesMonteCarloOnAnEmptyCell) {
  // Expanded balls of radius 3.2 overlap pairwise only; of radius 3.5
  // also three at a time; the cell itself stays empty.
  const double cases[2][2] = {{2.8, 0.4}, {3.1, 0.4}};
  const int expected_faces[2] = {0, 4};
  for (int k = 0; k < 2; ++k) {
    Cell cell(cases[k][0], cases[k][1]);
    ASSERT_EQ(cell.c.tetras.size(), 1u);
    ASSERT_FALSE(cell.c.tetras[0].in_complex);
    EXPECT_EQ(cell.edges_in(), 6);
    EXPECT_EQ(cell.faces_in(), expected_faces[k]);
    pocketsareavolume(cell.c.atoms, cell.pockets, 0, cases[k][1], 0.0);
    const pocket& p = cell.pockets[0];
    const Estimate e = monte_carlo(p, cell.c.atoms, cases[k][1], 400000);
    // About four standard deviations of the sampling; the arcs are sampled
    // evenly, so their estimate is much closer.
    EXPECT_NEAR(p.volume_sa, e.volume, 0.02 * e.volume + 0.002) << "case " << k;
    EXPECT_NEAR(p.area_sa, e.area, 0.02 * e.area + 0.01) << "case " << k;
    EXPECT_NEAR(p.length, e.length, 0.001 * e.length + 0.001) << "case " << k;
    EXPECT_EQ(p.cnr, expected_faces[k]);
  }
}

// The pockets of atoms given as x, y, z, radius, measured at alpha as the
// pipeline measures them (radii grown to the alpha level).
struct Measured {
  std::vector<Bead> beads;
  PocketComplex c;

  Measured(const std::vector<std::array<double, 4>>& atoms, double probe, double alpha = 0.0)
      : beads(atoms.size()) {
    for (size_t i = 0; i < atoms.size(); ++i) {
      beads[i].x = atoms[i][0];
      beads[i].y = atoms[i][1];
      beads[i].z = atoms[i][2];
      beads[i].radius = atoms[i][3];
      beads[i].serial = static_cast<int>(i) + 1;
    }
    build_pocket_complex(beads, probe, alpha, c);
    pocketsrepresentation(c.tetras, c.pockets, probe);
    if (alpha != 0.0)
      for (info& a : c.atoms) a.radius = alpha_radius(a.radius, probe, alpha);
    pocketsareavolume(c.atoms, c.pockets, 0, probe, alpha);
  }
};

// Monte Carlo estimate of the volume of a pocket's tetrahedra outside every
// expanded ball, with its standard deviation.
std::pair<double, double> empty_volume_mc(const pocket& s, const std::vector<info>& atoms,
                                          double probe, int samples_per_tetrahedron) {
  std::mt19937_64 rng(5);
  double mean = 0.0, variance = 0.0;
  for (const tetra* t : s.tetrahedra) {
    Point v[4];
    for (int k = 0; k < 4; ++k) v[k] = corner(*t->v[k]);
    const double volume = tetra_volume(v);
    int empty = 0;
    for (int n = 0; n < samples_per_tetrahedron; ++n) {
      const Point p = point_in(v, rng);
      bool covered = false;
      for (const info& a : atoms) covered = covered || inside_ball(p, a, a.radius + probe);
      empty += !covered;
    }
    const double f = static_cast<double>(empty) / samples_per_tetrahedron;
    mean += volume * f;
    variance += volume * volume * f * (1 - f) / samples_per_tetrahedron;
  }
  return {mean, std::sqrt(variance)};
}

TEST(PocketAreaVolume, NegativeTermSumsGiveWayToTheExactMeasure) {
  // An enclosed pocket of four tetrahedra between seven atoms whose term
  // sums give the volume -0.148 (sampling: +0.228).
  const Measured seven({{-21.274, -3.279, -67.046, 1.42},
                        {-24.181, -2.305, -69.009, 1.88},
                        {-24.806, -0.926, -69.102, 1.88},
                        {-21.208, -1.626, -69.752, 1.64},
                        {-20.081, -0.712, -69.951, 1.88},
                        {-19.132, -0.739, -68.748, 1.88},
                        {-19.929, 0.875, -64.143, 1.64}},
                       1.4);
  ASSERT_EQ(seven.c.pockets.size(), 1u);
  const pocket& p = seven.c.pockets[0];
  ASSERT_EQ(p.tetrahedra.size(), 4u);
  const auto mc = empty_volume_mc(p, seven.c.atoms, 1.4, 200000);
  EXPECT_NEAR(p.volume_sa, mc.first, 4 * mc.second);
  // The molecular surface leaves at least the room the expanded spheres
  // leave.
  EXPECT_GE(p.volume_ms, p.volume_sa);
  EXPECT_GT(p.area_sa, 0.0);

  // A closed cell of four atoms with a pinhole: the area sums round to
  // -8e-9; the spheres' area inside it is a few 1e-7.
  const Measured four({{-19.219, 6.579, -57.704, 1.42},
                       {-18.578, 4.110, -57.893, 1.46},
                       {-16.740, 7.069, -61.994, 1.64},
                       {-19.820, 6.639, -63.265, 1.88}},
                      1.4);
  ASSERT_EQ(four.c.pockets.size(), 1u);
  EXPECT_GE(four.c.pockets[0].area_sa, 0.0);
  EXPECT_LT(four.c.pockets[0].area_sa, 1e-5);
  EXPECT_GE(four.c.pockets[0].volume_sa, 0.0);
}

TEST(PocketAreaVolume, MeasuresKeepWithinWhatTheirGeometryAllows) {
  // Six atoms of ubiquitin (CD of Pro 19, N of Ser 20, N, CB, CG and OD2 of
  // Asp 21): a pocket of two tetrahedra whose term sums give the arcs
  // -0.09 and the area 2.53 (sampling: 0.90 and 0.23; half the arcs are
  // those of the Ser 20 nitrogen's ball, which crosses the pocket).
  const Measured six({{25.714, 20.108, 6.073, 1.88},
                      {27.361, 17.959, 8.559, 1.64},
                      {29.599, 18.599, 9.828, 1.64},
                      {31.155, 20.515, 10.048, 1.88},
                      {31.923, 20.436, 8.755, 1.61},
                      {31.838, 21.402, 7.968, 1.40}},
                     1.4);
  ASSERT_EQ(six.c.pockets.size(), 1u);
  const pocket& p = six.c.pockets[0];
  ASSERT_EQ(p.tetrahedra.size(), 2u);
  const Estimate mc = monte_carlo(p, six.c.atoms, 1.4, 200000);
  double room = 0.0;
  for (const tetra* t : p.tetrahedra) {
    const Point v[4] = {corner(*t->v[0]), corner(*t->v[1]), corner(*t->v[2]), corner(*t->v[3])};
    room += tetra_volume(v);
  }
  EXPECT_GE(p.length, 0.0);
  EXPECT_NEAR(p.length, mc.length, 0.01 * mc.length + 0.01);
  EXPECT_NEAR(p.area_sa, mc.area, 0.01 * mc.area + 0.01);
  EXPECT_NEAR(p.volume_sa, mc.volume, 4 * mc.sigma + 0.002);
  EXPECT_GE(p.volume_sa, 0.0);
  EXPECT_LE(p.volume_sa, room);

  // Five balls that cover one of their tetrahedra, outside the complex,
  // whole: its terms give the volume 2.06, the area 11.92 and the arcs
  // -12.03.
  const std::vector<std::array<double, 4>> five = {{2.390, -0.356, 1.867, 1.62},
                                                   {1.485, -0.026, -0.592, 1.99},
                                                   {1.608, 1.448, -1.729, 1.21},
                                                   {-1.655, 2.710, 0.812, 1.17},
                                                   {2.079, 1.627, -0.378, 1.99}};
  std::vector<Bead> beads(5);
  for (int i = 0; i < 5; ++i) {
    beads[i].x = five[i][0];
    beads[i].y = five[i][1];
    beads[i].z = five[i][2];
    beads[i].radius = five[i][3];
    beads[i].serial = i + 1;
  }
  PocketComplex c;
  build_pocket_complex(beads, 1.4, 0.0, c);
  std::vector<pocket> covered(1);
  for (tetra& t : c.tetras) {
    int mask = 0;
    for (const info* a : t.v) mask |= 1 << a->index;
    if (mask == 0x17) covered[0].tetrahedra = {&t};
  }
  ASSERT_EQ(covered[0].tetrahedra.size(), 1u);
  ASSERT_FALSE(covered[0].tetrahedra[0]->in_complex);
  const Estimate none = monte_carlo(covered[0], c.atoms, 1.4, 100000);
  ASSERT_EQ(none.volume, 0.0);
  ASSERT_EQ(none.area, 0.0);
  ASSERT_EQ(none.length, 0.0);
  pocketsareavolume(c.atoms, covered, 0, 1.4, 0.0);
  EXPECT_NEAR(covered[0].volume_sa, 0.0, 1e-9);
  EXPECT_NEAR(covered[0].area_sa, 0.0, 1e-9);
  EXPECT_NEAR(covered[0].length, 0.0, 1e-9);
}

TEST(PocketAreaVolume, PocketsOpenAcrossTheirMouthAreMeasuredExactly) {
  // Eight atoms of ubiquitin (residues 14 to 16) at alpha -1: a thin pocket
  // of six tetrahedra whose mouth the balls reach across.  The term sums
  // stay positive but give the volume 0.030, the area 2.19 and the arcs
  // 1.14 (sampling: 0.151, 0.85, 2.93).
  const Measured eight({{31.409, 32.680, 6.446, 1.61},
                        {30.091, 34.393, 5.078, 1.88},
                        {31.440, 34.513, 4.487, 1.46},
                        {30.884, 31.485, 6.666, 1.64},
                        {31.677, 30.275, 6.639, 1.88},
                        {31.022, 29.288, 5.665, 1.61},
                        {29.809, 29.395, 5.545, 1.42},
                        {31.363, 28.410, 1.962, 1.88}},
                       1.4, -1.0);
  ASSERT_EQ(eight.c.pockets.size(), 1u);
  const pocket& p = eight.c.pockets[0];
  ASSERT_EQ(p.tetrahedra.size(), 6u);
  const Estimate mc = monte_carlo(p, eight.c.atoms, 1.4, 200000);
  EXPECT_NEAR(p.volume_sa, mc.volume, 4 * mc.sigma + 0.002);
  EXPECT_NEAR(p.area_sa, mc.area, 0.01 * mc.area + 0.01);
  EXPECT_NEAR(p.length, mc.length, 0.01 * mc.length + 0.01);
  EXPECT_GE(p.volume_ms, p.volume_sa);
}

// A pocket whose probe positions overlap: the closed forms counted the
// overlapping tori and probe patches several times.  Four carbons of 1ubq
// about one empty tetrahedron (volume 5.74) gave an empty molecular volume
// of 14.96 and an area of 33.43; against the surface sampled by its
// definition inside the tetrahedron.  Then the pockets of dense clusters
// with such voids keep to their bounds.
TEST(PocketAreaVolume, OverlappingProbesKeepToTheTetrahedra) {
  const double p = 1.4;
  const std::vector<std::array<double, 4>> carbons = {{32.260, 37.969, 15.171, 1.88},
                                                      {33.109, 36.381, 11.435, 1.88},
                                                      {37.156, 35.985, 11.688, 1.88},
                                                      {36.958, 35.746, 16.680, 1.88}};
  const Measured four(carbons, p);
  ASSERT_EQ(four.c.pockets.size(), 1u);
  const pocket& q = four.c.pockets[0];
  ASSERT_EQ(q.tetrahedra.size(), 1u);
  Point v[4];
  for (int k = 0; k < 4; ++k) v[k] = corner(*q.tetrahedra[0]->v[k]);
  std::vector<sampling::Ball> balls;
  for (const auto& c : carbons) balls.push_back({c[0], c[1], c[2], c[3]});
  const sampling::AccessibleDistance dist(balls, p);
  double lo[3] = {1e9, 1e9, 1e9}, hi[3] = {-1e9, -1e9, -1e9};
  for (const Point& x : v) {
    const double c[3] = {x.x, x.y, x.z};
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], c[k]);
      hi[k] = std::max(hi[k], c[k]);
    }
  }
  const sampling::SurfaceSample in =
      sampling::sample_surface(dist, 4, lo, hi, 0.03, 0.015, [&](const double* x, const double*) {
        return inside_tetra({x[0], x[1], x[2]}, v);
      });
  // Outside the molecular surface inside the tetrahedron: all but its
  // interior (A itself holds a few 1e-4).
  EXPECT_NEAR(q.volume_ms, tetra_volume(v) - in.total_inside, 0.03);
  EXPECT_NEAR(q.area_ms, in.total_area, 0.03 * in.total_area);

  int pockets = 0;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    const std::vector<sampling::Ball> cluster = sampling::void_cluster(4 + seed % 9, seed);
    std::vector<std::array<double, 4>> atoms;
    for (const sampling::Ball& b : cluster) atoms.push_back({b.x, b.y, b.z, b.r});
    const Measured m(atoms, p);
    for (const pocket& s : m.c.pockets) {
      double whole = 0;
      for (const tetra* t : s.tetrahedra) {
        Point w[4];
        for (int k = 0; k < 4; ++k) w[k] = corner(*t->v[k]);
        whole += tetra_volume(w);
      }
      EXPECT_GE(s.volume_ms, s.volume_sa) << seed;
      EXPECT_LE(s.volume_ms, whole + 1e-9) << seed;
      EXPECT_GE(s.area_ms, 0.0) << seed;
      ++pockets;
    }
  }
  EXPECT_GT(pockets, 40);
}

TEST(PocketAreaVolume, WithoutProbeBothSurfacesAgree) {
  Cell cell(3.6, 0.0);
  ASSERT_EQ(cell.c.tetras.size(), 1u);
  pocketsareavolume(cell.c.atoms, cell.pockets, 0, 0.0, 0.0);
  const pocket& p = cell.pockets[0];
  EXPECT_GT(p.cnr, 0);
  EXPECT_NEAR(p.area_ms, p.area_sa, 1e-9);
  EXPECT_NEAR(p.volume_ms, p.volume_sa, 1e-9);
}

TEST(PocketAreaVolume, MeasuresStartFromZeroAndIgnoreSwitchAndAlpha) {
  Cell cell(3.2, 0.4);
  pocketsareavolume(cell.c.atoms, cell.pockets, 0, 0.4, 0.0);
  const pocket first = cell.pockets[0];
  cell.pockets[0].area_sa = 1e6;
  cell.pockets[0].cnr = 99;
  pocketsareavolume(cell.c.atoms, cell.pockets, 1, 0.4, 2.5);
  const pocket& again = cell.pockets[0];
  EXPECT_EQ(again.area_sa, first.area_sa);
  EXPECT_EQ(again.area_ms, first.area_ms);
  EXPECT_EQ(again.volume_sa, first.volume_sa);
  EXPECT_EQ(again.volume_ms, first.volume_ms);
  EXPECT_EQ(again.length, first.length);
  EXPECT_EQ(again.cnr, first.cnr);
}

TEST(PocketAreaVolume, TermRoutinesAddTheSameTerms) {
  Cell cell(3.2, 0.4);
  std::vector<info>& atoms = cell.c.atoms;
  pocketsareavolume(atoms, cell.pockets, 0, 0.4, 0.0);
  const pocket whole = cell.pockets[0];

  const tetra& t = cell.c.tetras[0];
  const int i0 = t.v[0]->index, i1 = t.v[1]->index, i2 = t.v[2]->index, i3 = t.v[3]->index;
  std::vector<pocket> parts(1);
  const double tv = tetrahedra_volume(i0, i1, i2, i3, atoms);
  parts[0].volume_sa = tv;
  parts[0].volume_ms = tv;
  do_pocket_vertex(i0, i1, i2, i3, 0, atoms, parts, 0.4);
  do_pocket_vertex(i1, i0, i2, i3, 0, atoms, parts, 0.4);
  do_pocket_vertex(i2, i0, i1, i3, 0, atoms, parts, 0.4);
  do_pocket_vertex(i3, i0, i1, i2, 0, atoms, parts, 0.4);
  do_pocket_edge(i0, i1, i2, i3, 0, atoms, parts, 0.4, 0);
  do_pocket_edge(i0, i2, i1, i3, 0, atoms, parts, 0.4, 0);
  do_pocket_edge(i0, i3, i1, i2, 0, atoms, parts, 0.4, 0);
  do_pocket_edge(i1, i3, i0, i2, 0, atoms, parts, 0.4, 0);
  do_pocket_edge(i1, i2, i0, i3, 0, atoms, parts, 0.4, 0);
  do_pocket_edge(i2, i3, i0, i1, 0, atoms, parts, 0.4, 0);
  const int faces[4][3] = {{i0, i1, i2}, {i0, i1, i3}, {i0, i2, i3}, {i1, i2, i3}};
  for (int f = 0; f < 4; ++f) {
    if (t.faces[f]->in_complex) {
      do_pocket_triangle(faces[f][0], faces[f][1], faces[f][2], -1, 0, atoms, parts, 0.4, 0);
    }
  }
  EXPECT_EQ(parts[0].area_sa, whole.area_sa);
  EXPECT_EQ(parts[0].area_ms, whole.area_ms);
  EXPECT_EQ(parts[0].volume_sa, whole.volume_sa);
  EXPECT_EQ(parts[0].volume_ms, whole.volume_ms);
  EXPECT_EQ(parts[0].length, whole.length);
  EXPECT_EQ(parts[0].cnr, whole.cnr);
}

TEST(PocketAreaVolume, BallShrunkToNothingAddsNothing) {
  // A negative alpha beyond r + p leaves an expanded radius of 0; its vertex
  // term must not turn the sums into NaN.
  Cell cell(3.2, 0.4);
  for (info& a : cell.c.atoms) a.radius = alpha_radius(a.radius, 0.4, -2.0);
  cell.c.atoms[0].radius = alpha_radius(0.5, 0.4, -2.0);
  EXPECT_EQ(cell.c.atoms[0].radius + 0.4, 0.0);
  for (edge& e : cell.c.edges) e.in_complex = false;
  for (tria& f : cell.c.trias) f.in_complex = false;
  pocketsareavolume(cell.c.atoms, cell.pockets, 0, 0.4, -2.0);
  const pocket& p = cell.pockets[0];
  EXPECT_TRUE(std::isfinite(p.area_sa));
  EXPECT_TRUE(std::isfinite(p.area_ms));
  EXPECT_TRUE(std::isfinite(p.volume_sa));
  EXPECT_TRUE(std::isfinite(p.volume_ms));
}

TEST(PocketAreaVolume, AlphaRadiusKeepsThePowerOrderAndNeverGoesNegative) {
  EXPECT_NEAR(alpha_radius(1.8, 1.4, 0.0), 1.8, 1e-12);
  EXPECT_NEAR(alpha_radius(1.8, 1.4, 1.5), std::sqrt(3.2 * 3.2 + 2.25) - 1.4, 1e-12);
  EXPECT_NEAR(alpha_radius(1.8, 1.4, -1.5), std::sqrt(3.2 * 3.2 - 2.25) - 1.4, 1e-12);
  EXPECT_EQ(alpha_radius(0.5, 0.0, -2.0), 0.0);
  EXPECT_FALSE(std::isnan(alpha_radius(0.5, 0.0, -2.0)));
}

}  // namespace
