// Numerical reference values for unions of balls: sphere sampling on a
// Fibonacci lattice for areas, plain Monte Carlo with power-cell assignment
// for volumes.  Slow but independent of the closed forms under test.
#ifndef TESTS_MEASURE_UNION_SAMPLING_H
#define TESTS_MEASURE_UNION_SAMPLING_H

#include <cmath>
#include <random>
#include <vector>

#include "structure/bead.h"

namespace sampling {

struct Ball {
  double x, y, z, r;
};

inline std::vector<Bead> beads_of(const std::vector<Ball>& balls) {
  std::vector<Bead> beads;
  for (size_t k = 0; k < balls.size(); ++k) {
    Bead b;
    b.x = balls[k].x;
    b.y = balls[k].y;
    b.z = balls[k].z;
    b.radius = balls[k].r;
    b.serial = static_cast<int>(k) + 1;
    beads.push_back(b);
  }
  return beads;
}

// Area of each sphere (radius r + probe) outside every other ball, by n
// lattice points per sphere.
inline std::vector<double> exposed_areas(const std::vector<Ball>& balls, double probe, int n) {
  const double pi = 3.14159265358979323846;
  const double golden = pi * (3.0 - std::sqrt(5.0));
  std::vector<double> out(balls.size(), 0.0);
  for (size_t i = 0; i < balls.size(); ++i) {
    const double R = balls[i].r + probe;
    std::vector<size_t> near;
    for (size_t j = 0; j < balls.size(); ++j) {
      if (j == i) continue;
      double dx = balls[j].x - balls[i].x, dy = balls[j].y - balls[i].y,
             dz = balls[j].z - balls[i].z;
      double Rj = balls[j].r + probe;
      if (std::sqrt(dx * dx + dy * dy + dz * dz) < R + Rj) near.push_back(j);
    }
    long free = 0;
    for (int k = 0; k < n; ++k) {
      double z = 1 - (2.0 * k + 1) / n;
      double s = std::sqrt(1 - z * z);
      double phi = golden * k;
      double px = balls[i].x + R * s * std::cos(phi), py = balls[i].y + R * s * std::sin(phi),
             pz = balls[i].z + R * z;
      bool covered = false;
      for (size_t j : near) {
        double dx = px - balls[j].x, dy = py - balls[j].y, dz = pz - balls[j].z;
        double Rj = balls[j].r + probe;
        if (dx * dx + dy * dy + dz * dz < Rj * Rj) {
          covered = true;
          break;
        }
      }
      if (!covered) ++free;
    }
    out[i] = 4 * pi * R * R * free / n;
  }
  return out;
}

// Volume of each ball inside its own power cell (so the parts add up to the
// volume of the union), with n uniform points in the bounding box.
// sigma receives the standard error of each part.
inline std::vector<double> cell_volumes(const std::vector<Ball>& balls, double probe, long n,
                                        std::vector<double>* sigma, unsigned seed = 7) {
  double lo[3] = {1e30, 1e30, 1e30}, hi[3] = {-1e30, -1e30, -1e30};
  for (const Ball& b : balls) {
    double c[3] = {b.x, b.y, b.z}, R = b.r + probe;
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::fmin(lo[a], c[a] - R);
      hi[a] = std::fmax(hi[a], c[a] + R);
    }
  }
  const double box = (hi[0] - lo[0]) * (hi[1] - lo[1]) * (hi[2] - lo[2]);
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<long> hits(balls.size(), 0);
  for (long k = 0; k < n; ++k) {
    double p[3];
    for (int a = 0; a < 3; ++a) p[a] = lo[a] + (hi[a] - lo[a]) * u(gen);
    double best = 0;
    long owner = -1;
    for (size_t i = 0; i < balls.size(); ++i) {
      double dx = p[0] - balls[i].x, dy = p[1] - balls[i].y, dz = p[2] - balls[i].z;
      double R = balls[i].r + probe;
      double pw = dx * dx + dy * dy + dz * dz - R * R;
      if (pw <= 0 && (owner < 0 || pw < best)) {
        best = pw;
        owner = static_cast<long>(i);
      }
    }
    if (owner >= 0) ++hits[owner];
  }
  std::vector<double> out(balls.size());
  if (sigma) sigma->assign(balls.size(), 0.0);
  for (size_t i = 0; i < balls.size(); ++i) {
    double f = static_cast<double>(hits[i]) / n;
    out[i] = box * f;
    if (sigma) (*sigma)[i] = box * std::sqrt(f * (1 - f) / n);
  }
  return out;
}

// A random cluster of n balls with radii in [rmin, rmax] in a cube of the
// given edge.
inline std::vector<Ball> random_cluster(int n, double edge, double rmin, double rmax,
                                        unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<Ball> balls;
  for (int k = 0; k < n; ++k)
    balls.push_back(
        Ball{edge * u(gen), edge * u(gen), edge * u(gen), rmin + (rmax - rmin) * u(gen)});
  return balls;
}

}  // namespace sampling

#endif
