// Numerical reference values for unions of balls: sphere sampling on a
// Fibonacci lattice for areas, plain Monte Carlo with power-cell assignment
// for volumes, and the molecular surface sampled by its definition (the
// distance to the space a probe centre can reach).  Slow but independent of
// the closed forms and the quadratures under test.
#ifndef TESTS_MEASURE_UNION_SAMPLING_H
#define TESTS_MEASURE_UNION_SAMPLING_H

#include <algorithm>
#include <cmath>
#include <functional>
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

// Balls about an empty point: four near the corners of a tetrahedron, just
// clear of the origin when expanded by a probe of 1.4, so that the probe
// positions of the void between them lie within a few tenths of each
// other, and n - 4 more balls of mixed radii around.
inline std::vector<Ball> void_cluster(int n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const double corners[4][3] = {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
  std::vector<Ball> balls;
  for (int k = 0; k < n; ++k) {
    double d[3];
    if (k < 4) {
      for (int a = 0; a < 3; ++a) d[a] = corners[k][a] + 0.17 * (u(gen) - 0.5);
    } else {
      const double z = 2 * u(gen) - 1, phi = 6.283185307179586 * u(gen), s = std::sqrt(1 - z * z);
      d[0] = s * std::cos(phi);
      d[1] = s * std::sin(phi);
      d[2] = z;
    }
    const double l = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    const double r = 1.3 + 0.7 * u(gen);
    const double D = k < 4 ? r + 1.42 + 0.3 * u(gen) : r + 2.2 + 2.0 * u(gen);
    balls.push_back({D * d[0] / l, D * d[1] / l, D * d[2] / l, r});
  }
  return balls;
}

// The probe-accessible region A of a set of balls is everything outside the
// expanded balls (radius r + probe).  The distance from a point of the union
// to A is reached at a point of A's boundary that is either the radial
// projection of x onto one sphere, the nearest point of the circle where
// two spheres meet, or a point where three spheres meet, counted only when
// it lies outside every other ball.  Every candidate is tried.
class AccessibleDistance {
 public:
  AccessibleDistance(const std::vector<Ball>& balls, double probe) : p_(probe) {
    for (const Ball& b : balls) {
      if (!(b.r + probe > 0)) continue;
      c_.push_back({b.x, b.y, b.z});
      R_.push_back(b.r + probe);
    }
    const int n = static_cast<int>(R_.size());
    for (int j = 0; j < n; ++j)
      for (int k = j + 1; k < n; ++k) {
        Circle o;
        double d[3], dd = 0;
        for (int a = 0; a < 3; ++a) {
          d[a] = c_[k][a] - c_[j][a];
          dd += d[a] * d[a];
        }
        const double D = std::sqrt(dd);
        if (!(D < R_[j] + R_[k]) || !(D > std::fabs(R_[j] - R_[k]))) continue;
        const double x = (dd + R_[j] * R_[j] - R_[k] * R_[k]) / (2 * D);
        o.rho = std::sqrt(std::max(0.0, R_[j] * R_[j] - x * x));
        for (int a = 0; a < 3; ++a) {
          o.axis[a] = d[a] / D;
          o.m[a] = c_[j][a] + x * o.axis[a];
        }
        o.j = j;
        o.k = k;
        circles_.push_back(o);
      }
    // Points where three spheres meet, outside the others.
    for (const Circle& o : circles_)
      for (int l = o.k + 1; l < n; ++l) {
        // Sphere l cuts the circle's plane in a circle; intersect in-plane.
        double u[3], v[3];
        basis(o.axis, u, v);
        double q[3], hq = 0;
        for (int a = 0; a < 3; ++a) q[a] = c_[l][a] - o.m[a];
        for (int a = 0; a < 3; ++a) hq += q[a] * o.axis[a];
        const double s2 = R_[l] * R_[l] - hq * hq;
        if (s2 <= 0) continue;
        const double qx = q[0] * u[0] + q[1] * u[1] + q[2] * u[2];
        const double qy = q[0] * v[0] + q[1] * v[1] + q[2] * v[2];
        const double e = std::sqrt(qx * qx + qy * qy);
        if (e == 0) continue;
        // |w - q| = sqrt(s2), |w| = rho in the plane.
        const double t = (o.rho * o.rho + e * e - s2) / (2 * e);
        const double hh = o.rho * o.rho - t * t;
        if (hh < 0) continue;
        const double h = std::sqrt(hh);
        for (int side = -1; side <= 1; side += 2) {
          const double wx = (t * qx - side * h * qy) / e, wy = (t * qy + side * h * qx) / e;
          std::vector<double> y(3);
          for (int a = 0; a < 3; ++a) y[a] = o.m[a] + wx * u[a] + wy * v[a];
          if (outside_all(y.data(), o.j, o.k, l)) vertices_.push_back(y);
        }
      }
  }

  // Distance from x to A; the nearest point goes to `nearest` (x itself
  // when x lies in A).
  double operator()(const double* x, double* nearest) const {
    if (outside_all(x, -1, -1, -1)) {
      std::copy(x, x + 3, nearest);
      return 0;
    }
    // Vertices first (they need no test), then circles, then spheres, so
    // that most candidates are dismissed by their distance alone.
    double best = 1e300;
    for (const std::vector<double>& y : vertices_) {
      double dd = 0;
      for (int a = 0; a < 3; ++a) dd += (x[a] - y[a]) * (x[a] - y[a]);
      const double dist = std::sqrt(dd);
      if (dist < best) take(y.data(), dist, best, nearest);
    }
    for (const Circle& o : circles_) {
      double w[3], h = 0;
      for (int a = 0; a < 3; ++a) w[a] = x[a] - o.m[a];
      for (int a = 0; a < 3; ++a) h += w[a] * o.axis[a];
      if (std::fabs(h) >= best) continue;
      double q[3], ql = 0;
      for (int a = 0; a < 3; ++a) {
        q[a] = w[a] - h * o.axis[a];
        ql += q[a] * q[a];
      }
      ql = std::sqrt(ql);
      if (ql == 0) continue;
      const double dist = std::sqrt(h * h + (ql - o.rho) * (ql - o.rho));
      if (dist >= best) continue;
      double y[3];
      for (int a = 0; a < 3; ++a) y[a] = o.m[a] + o.rho * q[a] / ql;
      if (outside_all(y, o.j, o.k, -1)) take(y, dist, best, nearest);
    }
    const int n = static_cast<int>(R_.size());
    for (int j = 0; j < n; ++j) {
      double d[3], L = 0;
      for (int a = 0; a < 3; ++a) {
        d[a] = x[a] - c_[j][a];
        L += d[a] * d[a];
      }
      L = std::sqrt(L);
      if (L == 0) continue;
      const double dist = std::fabs(R_[j] - L);
      if (dist >= best) continue;
      double y[3];
      for (int a = 0; a < 3; ++a) y[a] = c_[j][a] + R_[j] * d[a] / L;
      if (outside_all(y, j, -1, -1)) take(y, dist, best, nearest);
    }
    return best;
  }

  // The ball (in the order given, balls of no size left out) whose power
  // cell holds x.
  int owner(const double* x) const {
    int best = -1;
    double low = 0;
    for (size_t i = 0; i < R_.size(); ++i) {
      double pw = -R_[i] * R_[i];
      for (int a = 0; a < 3; ++a) pw += (x[a] - c_[i][a]) * (x[a] - c_[i][a]);
      if (best < 0 || pw < low) {
        best = static_cast<int>(i);
        low = pw;
      }
    }
    return best;
  }
  bool in_union(const double* x) const { return !outside_all(x, -1, -1, -1); }
  // Whether the ball of radius s about x misses every ball.
  bool misses_union(const double* x, double s) const {
    for (size_t l = 0; l < R_.size(); ++l) {
      double dd = 0;
      for (int a = 0; a < 3; ++a) dd += (x[a] - c_[l][a]) * (x[a] - c_[l][a]);
      if (dd < (R_[l] + s) * (R_[l] + s)) return false;
    }
    return true;
  }
  double probe() const { return p_; }

 private:
  struct Circle {
    int j, k;
    double m[3], axis[3], rho;
  };
  static void basis(const double* a, double* u, double* v) {
    const double t[3] = {std::fabs(a[0]) < 0.6 ? 1.0 : 0.0, std::fabs(a[0]) < 0.6 ? 0.0 : 1.0, 0};
    const double ta = t[0] * a[0] + t[1] * a[1];
    double n = 0;
    for (int i = 0; i < 3; ++i) {
      u[i] = t[i] - ta * a[i];
      n += u[i] * u[i];
    }
    for (int i = 0; i < 3; ++i) u[i] /= std::sqrt(n);
    v[0] = a[1] * u[2] - a[2] * u[1];
    v[1] = a[2] * u[0] - a[0] * u[2];
    v[2] = a[0] * u[1] - a[1] * u[0];
  }
  bool outside_all(const double* y, int s1, int s2, int s3) const {
    for (size_t l = 0; l < R_.size(); ++l) {
      const int li = static_cast<int>(l);
      if (li == s1 || li == s2 || li == s3) continue;
      double dd = 0;
      for (int a = 0; a < 3; ++a) dd += (y[a] - c_[l][a]) * (y[a] - c_[l][a]);
      if (dd < R_[l] * R_[l] * (1 - 1e-12)) return false;
    }
    return true;
  }
  static void take(const double* y, double dist, double& best, double* nearest) {
    best = dist;
    std::copy(y, y + 3, nearest);
  }
  double p_;
  std::vector<std::vector<double>> c_;
  std::vector<double> R_;
  std::vector<Circle> circles_;
  std::vector<std::vector<double>> vertices_;
};

// Molecular-surface measures sampled over a box, per owner ball (power
// cell of the point): the volume inside the molecular surface (points of
// the union farther than the probe from A), the volume between it and A
// (points of the union within the probe of A) and the area of the surface
// (the points at the probe's distance from A, by the volume of the band
// within `band` of that distance divided by its width).  Only points that
// `keep` accepts count; it sees the point and its nearest point of A.  The
// box is cut into cells of edge h with one random point each.  Blocks of
// 16^3 cells that the distance (which changes no faster than the point
// moves) shows to lie wholly inside the surface are not measured point by
// point: their points get the nearest point of the block's centre.
struct SurfaceSample {
  std::vector<double> inside, excluded, area;
  double total_inside = 0, total_excluded = 0, total_area = 0;
};

inline SurfaceSample sample_surface(const AccessibleDistance& dist, int owners, const double* lo,
                                    const double* hi, double h, double band,
                                    const std::function<bool(const double*, const double*)>& keep,
                                    unsigned seed = 3) {
  SurfaceSample out;
  out.inside.assign(static_cast<size_t>(owners), 0.0);
  out.excluded = out.area = out.inside;
  const double p = dist.probe();
  const double coarse = 16 * h;
  int n[3], m = 16;
  for (int a = 0; a < 3; ++a) n[a] = static_cast<int>(std::ceil((hi[a] - lo[a]) / coarse));
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const double cell = h * h * h;
  const double half = coarse * std::sqrt(3.0) / 2;
  for (int i = 0; i < n[0]; ++i)
    for (int j = 0; j < n[1]; ++j)
      for (int k = 0; k < n[2]; ++k) {
        const double base[3] = {lo[0] + i * coarse, lo[1] + j * coarse, lo[2] + k * coarse};
        const double centre[3] = {base[0] + coarse / 2, base[1] + coarse / 2, base[2] + coarse / 2};
        if (dist.misses_union(centre, half)) continue;
        double near[3];
        const double d = dist(centre, near);
        for (int a = 0; a < m; ++a)
          for (int b = 0; b < m; ++b)
            for (int c = 0; c < m; ++c) {
              const double x[3] = {base[0] + (a + u(gen)) * h, base[1] + (b + u(gen)) * h,
                                   base[2] + (c + u(gen)) * h};
              if (d - half > p + band) {
                // Deep inside the surface: only the owner and the filter.
                if (!keep(x, near)) continue;
                const int o = dist.owner(x);
                out.inside[o] += cell;
                out.total_inside += cell;
                continue;
              }
              double y[3];
              const double dx = dist(x, y);
              if (dx == 0 || !keep(x, y)) continue;
              const int o = dist.owner(x);
              if (dx > p) {
                out.inside[o] += cell;
                out.total_inside += cell;
              } else {
                out.excluded[o] += cell;
                out.total_excluded += cell;
              }
              if (std::fabs(dx - p) < band) {
                out.area[o] += cell / (2 * band);
                out.total_area += cell / (2 * band);
              }
            }
      }
  return out;
}

}  // namespace sampling

#endif
