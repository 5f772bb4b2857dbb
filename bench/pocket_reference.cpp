// Reference values for the pocket measures of a ".pocInfo" report, computed
// from their definitions alone, without the closed forms of the program:
//
//   Vol_sa   volume of the pocket's tetrahedra outside every expanded ball:
//            Monte Carlo over random lines through each tetrahedron (the
//            length of a line outside the balls is exact), with its sigma;
//   Area_sa  area of the expanded spheres inside the pocket's tetrahedra and
//            outside every other expanded ball: each sphere sliced into
//            circles of equal sphere area per height (Archimedes), the arcs
//            of each circle kept exactly;
//   Lenth    length of the circles where two expanded spheres meet, inside
//            the pocket's tetrahedra and outside every other expanded ball:
//            exact arcs.
//
// The expanded radius of an atom is that of the pocket run: the atom radius
// grown to the alpha level, plus the probe.  Atoms are found by their serial
// numbers, which must be unique in the file.
//
//   pocket_reference PDB POCINFO_COMPLEX POCINFO ALPHA PROBE [LINES [SLICE]]
//
// LINES: random lines per tetrahedron (default 20000); SLICE: height of a
// sphere slice (default 0.002).  One row per pocket, then a summary.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "structure/bead.h"
#include "structure/file.h"
#include "structure/para.h"

namespace {

const double kPi = 3.14159265358979323846;
const double kTurn = 2 * kPi;

struct Ball {
  double c[3];
  double R;
};

// n.x <= e
struct Half {
  double n[3];
  double e;
};

struct Tet {
  int v[4];
  Half h[4];
  double lo[3], hi[3];
  double centre[3], reach, volume;
};

double dot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

double dist(const double* a, const double* b) {
  const double d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
  return std::sqrt(dot(d, d));
}

// Balls by cell of a uniform grid, for the balls near a point.
class Grid {
 public:
  explicit Grid(const std::vector<Ball>& balls) : balls_(balls) {
    for (const Ball& b : balls) big_ = std::max(big_, b.R);
    cell_ = std::max(1.0, 2 * big_);
    for (int a = 0; a < 3; ++a) lo_[a] = HUGE_VAL;
    for (const Ball& b : balls)
      for (int a = 0; a < 3; ++a) lo_[a] = std::min(lo_[a], b.c[a]);
    for (size_t i = 0; i < balls.size(); ++i)
      cells_[key(balls[i].c)].push_back(static_cast<int>(i));
  }
  // Balls whose sphere may come within r of c.
  std::vector<int> near(const double* c, double r) const {
    std::vector<int> out;
    long k0[3], k1[3];
    for (int a = 0; a < 3; ++a) {
      k0[a] = static_cast<long>(std::floor((c[a] - r - big_ - lo_[a]) / cell_));
      k1[a] = static_cast<long>(std::floor((c[a] + r + big_ - lo_[a]) / cell_));
    }
    for (long x = k0[0]; x <= k1[0]; ++x)
      for (long y = k0[1]; y <= k1[1]; ++y)
        for (long z = k0[2]; z <= k1[2]; ++z) {
          auto it = cells_.find(pack(x, y, z));
          if (it == cells_.end()) continue;
          for (int i : it->second)
            if (balls_[i].R > 0 && dist(c, balls_[i].c) < r + balls_[i].R) out.push_back(i);
        }
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  static long long pack(long x, long y, long z) {
    return ((x + 100000LL) * 200000LL + (y + 100000LL)) * 200000LL + (z + 100000LL);
  }
  long long key(const double* c) const {
    long k[3];
    for (int a = 0; a < 3; ++a) k[a] = static_cast<long>(std::floor((c[a] - lo_[a]) / cell_));
    return pack(k[0], k[1], k[2]);
  }
  const std::vector<Ball>& balls_;
  double big_ = 0, cell_ = 1, lo_[3];
  std::map<long long, std::vector<int>> cells_;
};

Tet make_tet(const std::vector<Ball>& balls, const int v[4]) {
  Tet t;
  const double* p[4];
  for (int k = 0; k < 4; ++k) {
    t.v[k] = v[k];
    p[k] = balls[v[k]].c;
  }
  for (int a = 0; a < 3; ++a) {
    t.lo[a] = std::min(std::min(p[0][a], p[1][a]), std::min(p[2][a], p[3][a]));
    t.hi[a] = std::max(std::max(p[0][a], p[1][a]), std::max(p[2][a], p[3][a]));
    t.centre[a] = (p[0][a] + p[1][a] + p[2][a] + p[3][a]) / 4;
  }
  t.reach = 0;
  for (int k = 0; k < 4; ++k) t.reach = std::max(t.reach, dist(p[k], t.centre));
  for (int k = 0; k < 4; ++k) {
    const double* a = p[(k + 1) % 4];
    const double* b = p[(k + 2) % 4];
    const double* c = p[(k + 3) % 4];
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
    const double len = std::sqrt(dot(n, n));
    for (double& x : n) x /= len;
    double e = dot(n, a);
    if (dot(n, p[k]) > e) {
      for (double& x : n) x = -x;
      e = -e;
    }
    t.h[k] = Half{{n[0], n[1], n[2]}, e};
  }
  const double* a = p[0];
  const double u[3] = {p[1][0] - a[0], p[1][1] - a[1], p[1][2] - a[2]};
  const double w[3] = {p[2][0] - a[0], p[2][1] - a[1], p[2][2] - a[2]};
  const double z[3] = {p[3][0] - a[0], p[3][1] - a[1], p[3][2] - a[2]};
  const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                       u[0] * w[1] - u[1] * w[0]};
  t.volume = std::fabs(dot(n, z)) / 6;
  return t;
}

// ---- sets of angles on a circle, as sorted disjoint intervals in [0, 2 pi)

typedef std::vector<std::pair<double, double>> Arcs;

Arcs full() { return Arcs{{0.0, kTurn}}; }

double measure(const Arcs& s) {
  double m = 0;
  for (const auto& a : s) m += a.second - a.first;
  return m;
}

// {theta : A cos(theta) + B sin(theta) <= D}
Arcs arcs_of(double A, double B, double D) {
  const double r = std::sqrt(A * A + B * B);
  if (D >= r) return full();
  if (D <= -r) return Arcs{};
  const double phi = std::atan2(B, A);
  const double half = std::acos(D / r);
  // Outside (phi - half, phi + half), i.e. [phi + half, phi + 2 pi - half].
  double a = std::fmod(phi + half, kTurn);
  if (a < 0) a += kTurn;
  const double b = a + kTurn - 2 * half;
  if (b <= kTurn) return Arcs{{a, b}};
  return Arcs{{0.0, b - kTurn}, {a, kTurn}};
}

Arcs intersect(const Arcs& x, const Arcs& y) {
  Arcs out;
  size_t i = 0, j = 0;
  while (i < x.size() && j < y.size()) {
    const double lo = std::max(x[i].first, y[j].first);
    const double hi = std::min(x[i].second, y[j].second);
    if (lo < hi) out.emplace_back(lo, hi);
    if (x[i].second < y[j].second)
      ++i;
    else
      ++j;
  }
  return out;
}

Arcs unite(const Arcs& x, const Arcs& y) {
  Arcs all(x);
  all.insert(all.end(), y.begin(), y.end());
  std::sort(all.begin(), all.end());
  Arcs out;
  for (const auto& a : all) {
    if (!out.empty() && a.first <= out.back().second)
      out.back().second = std::max(out.back().second, a.second);
    else
      out.push_back(a);
  }
  return out;
}

// A circle: centre, radius, two orthonormal axes of its plane.
struct Circle {
  double c[3], u[3], v[3], s;
};

Arcs in_half(const Circle& k, const Half& h) {
  return arcs_of(k.s * dot(h.n, k.u), k.s * dot(h.n, k.v), h.e - dot(h.n, k.c));
}

// Points of the circle outside ball b (|x - c_b| >= R_b).
Arcs outside_ball(const Circle& k, const Ball& b) {
  const double d[3] = {k.c[0] - b.c[0], k.c[1] - b.c[1], k.c[2] - b.c[2]};
  // |d|^2 + s^2 + 2 s d.(u cos + v sin) >= R^2
  return arcs_of(-2 * k.s * dot(d, k.u), -2 * k.s * dot(d, k.v), dot(d, d) + k.s * k.s - b.R * b.R);
}

// The circle's angles inside some tetrahedron and outside every listed ball.
double free_angle(const Circle& k, const std::vector<const Tet*>& tets,
                  const std::vector<const Ball*>& others) {
  Arcs in;
  for (const Tet* t : tets) {
    Arcs a = full();
    for (int f = 0; f < 4 && !a.empty(); ++f) a = intersect(a, in_half(k, t->h[f]));
    if (!a.empty()) in = unite(in, a);
  }
  for (const Ball* b : others) {
    if (in.empty()) break;
    in = intersect(in, outside_ball(k, *b));
  }
  return measure(in);
}

// ---- one pocket

struct Measures {
  double volume = 0, sigma2 = 0, area = 0, length = 0, tetra_volume = 0;
};

Measures reference(const std::vector<Ball>& balls, const Grid& grid, const std::vector<Tet>& tets,
                   long lines, double slice, std::mt19937_64& rng) {
  Measures m;
  std::uniform_real_distribution<double> u(0.0, 1.0);
  // Balls that reach a tetrahedron's bounding sphere.
  std::vector<std::vector<int>> near(tets.size());
  std::vector<int> reaching;
  std::vector<char> seen(balls.size(), 0);
  for (size_t t = 0; t < tets.size(); ++t) {
    for (int i : grid.near(tets[t].centre, tets[t].reach)) {
      near[t].push_back(i);
      if (!seen[i]) {
        seen[i] = 1;
        reaching.push_back(i);
      }
    }
  }
  // Volume: random vertical lines.
  for (size_t t = 0; t < tets.size(); ++t) {
    const Tet& T = tets[t];
    m.tetra_volume += T.volume;
    const double wx = T.hi[0] - T.lo[0], wy = T.hi[1] - T.lo[1];
    double sum = 0, sum2 = 0;
    std::vector<std::pair<double, double>> cover;
    for (long n = 0; n < lines; ++n) {
      const double x = T.lo[0] + wx * u(rng), y = T.lo[1] + wy * u(rng);
      double lo = -HUGE_VAL, hi = HUGE_VAL;
      for (const Half& h : T.h) {
        const double rest = h.e - h.n[0] * x - h.n[1] * y;
        if (h.n[2] > 0)
          hi = std::min(hi, rest / h.n[2]);
        else if (h.n[2] < 0)
          lo = std::max(lo, rest / h.n[2]);
        else if (rest < 0)
          hi = lo;
      }
      double free = 0;
      if (lo < hi) {
        cover.clear();
        for (int i : near[t]) {
          const Ball& b = balls[i];
          const double dx = x - b.c[0], dy = y - b.c[1];
          const double q = b.R * b.R - dx * dx - dy * dy;
          if (q <= 0) continue;
          const double r = std::sqrt(q);
          const double a = std::max(lo, b.c[2] - r), z = std::min(hi, b.c[2] + r);
          if (a < z) cover.emplace_back(a, z);
        }
        std::sort(cover.begin(), cover.end());
        free = hi - lo;
        double end = lo;
        for (const auto& c : cover) {
          const double a = std::max(c.first, end);
          if (c.second > a) {
            free -= c.second - a;
            end = c.second;
          }
        }
      }
      sum += free;
      sum2 += free * free;
    }
    const double mean = sum / lines;
    const double var = std::max(0.0, sum2 / lines - mean * mean);
    m.volume += wx * wy * mean;
    m.sigma2 += wx * wy * wx * wy * var / lines;
  }
  // The tetrahedra each sphere or circle can meet, and the other balls.
  auto tets_near = [&](const double* c, double r) {
    std::vector<const Tet*> out;
    for (const Tet& T : tets)
      if (dist(c, T.centre) < r + T.reach) out.push_back(&T);
    return out;
  };
  auto balls_near = [&](const double* c, double r, int skip1, int skip2) {
    std::vector<const Ball*> out;
    for (int k : grid.near(c, r))
      if (k != skip1 && k != skip2) out.push_back(&balls[k]);
    return out;
  };
  // Area: each reaching sphere in slices of equal height.
  for (int i : reaching) {
    const Ball& b = balls[i];
    std::vector<const Tet*> ts;
    for (const Tet* T : tets_near(b.c, b.R))
      if (dist(b.c, T->centre) + T->reach > b.R) ts.push_back(T);
    if (ts.empty()) continue;
    const std::vector<const Ball*> others = balls_near(b.c, b.R, i, -1);
    double zlo = HUGE_VAL, zhi = -HUGE_VAL;
    for (const Tet* T : ts) {
      zlo = std::min(zlo, T->lo[2]);
      zhi = std::max(zhi, T->hi[2]);
    }
    zlo = std::max(zlo, b.c[2] - b.R);
    zhi = std::min(zhi, b.c[2] + b.R);
    if (!(zlo < zhi)) continue;
    const long n = std::max(1L, static_cast<long>(std::ceil((zhi - zlo) / slice)));
    const double dz = (zhi - zlo) / n;
    double total = 0;
    for (long k = 0; k < n; ++k) {
      const double z = zlo + (k + 0.5) * dz;
      Circle c{{b.c[0], b.c[1], z}, {1, 0, 0}, {0, 1, 0}, 0};
      c.s = std::sqrt(std::max(0.0, b.R * b.R - (z - b.c[2]) * (z - b.c[2])));
      total += free_angle(c, ts, others);
    }
    m.area += b.R * dz * total;
  }
  // Length: the circle of every meeting pair of reaching spheres.
  for (size_t x = 0; x < reaching.size(); ++x) {
    for (size_t y = x + 1; y < reaching.size(); ++y) {
      const int i = reaching[x], j = reaching[y];
      const Ball& a = balls[i];
      const Ball& b = balls[j];
      const double d = dist(a.c, b.c);
      if (!(d < a.R + b.R) || !(d > std::fabs(a.R - b.R))) continue;
      const double along = (d * d + a.R * a.R - b.R * b.R) / (2 * d);
      Circle c;
      double w[3];
      for (int k = 0; k < 3; ++k) {
        w[k] = (b.c[k] - a.c[k]) / d;
        c.c[k] = a.c[k] + along * w[k];
      }
      c.s = std::sqrt(std::max(0.0, a.R * a.R - along * along));
      // Axes of the circle's plane.
      int m0 = 0;
      for (int k = 1; k < 3; ++k)
        if (std::fabs(w[k]) < std::fabs(w[m0])) m0 = k;
      double e[3] = {0, 0, 0};
      e[m0] = 1;
      c.u[0] = w[1] * e[2] - w[2] * e[1];
      c.u[1] = w[2] * e[0] - w[0] * e[2];
      c.u[2] = w[0] * e[1] - w[1] * e[0];
      const double lu = std::sqrt(dot(c.u, c.u));
      for (double& q : c.u) q /= lu;
      c.v[0] = w[1] * c.u[2] - w[2] * c.u[1];
      c.v[1] = w[2] * c.u[0] - w[0] * c.u[2];
      c.v[2] = w[0] * c.u[1] - w[1] * c.u[0];
      const std::vector<const Tet*> ts = tets_near(c.c, c.s);
      if (ts.empty()) continue;
      m.length += c.s * free_angle(c, ts, balls_near(c.c, c.s, i, j));
    }
  }
  return m;
}

struct Reported {
  double area_sa, area_ms, volume_sa, volume_ms, length;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::cerr
        << "usage: pocket_reference PDB POCINFO_COMPLEX POCINFO ALPHA PROBE [LINES [SLICE]]\n";
    return 2;
  }
  const double alpha = std::atof(argv[4]);
  const double probe = std::atof(argv[5]);
  const long lines = argc > 6 ? std::atol(argv[6]) : 20000;
  const double slice = argc > 7 ? std::atof(argv[7]) : 0.002;

  construct_map_of_radius();
  construct_abb_of_all_residues();
  std::vector<Bead> beads;
  read_pdb(argv[1], beads);
  std::vector<Ball> balls(beads.size());
  std::map<int, int> by_serial;
  for (size_t i = 0; i < beads.size(); ++i) {
    const double r = beads[i].radius;
    const double grown = alpha >= 0.0
                             ? std::sqrt((r + probe) * (r + probe) + alpha * alpha) - probe
                             : std::sqrt((r + probe) * (r + probe) - alpha * alpha) - probe;
    balls[i] = Ball{{beads[i].x, beads[i].y, beads[i].z}, grown + probe};
    by_serial[beads[i].serial] = static_cast<int>(i);
  }

  std::map<int, std::vector<Tet>> pockets;
  {
    std::ifstream in(argv[2]);
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream s(line);
      int rank, serial[4];
      double size;
      if (!(s >> rank >> serial[0] >> serial[1] >> serial[2] >> serial[3] >> size)) continue;
      int v[4];
      for (int k = 0; k < 4; ++k) v[k] = by_serial.at(serial[k]);
      pockets[rank].push_back(make_tet(balls, v));
    }
  }
  std::map<int, Reported> reported;
  {
    std::ifstream in(argv[3]);
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream s(line);
      std::string tag, name;
      int rank, openings, cnr;
      Reported r;
      if (!(s >> tag >> name >> rank >> openings >> r.area_sa >> r.area_ms >> r.volume_sa >>
            r.volume_ms >> r.length >> cnr))
        continue;
      reported[rank] = r;
    }
  }

  const Grid grid(balls);
  std::mt19937_64 rng(12345);
  int bad_volume = 0, bad_area = 0, bad_length = 0, impossible = 0;
  double worst_volume = 0, worst_area = 0, worst_length = 0;
  int worst_volume_at = 0, worst_area_at = 0, worst_length_at = 0;
  std::printf("%5s %5s %10s %10s %8s %10s %10s %9s %9s  %s\n", "poc", "ntet", "Vol_sa", "ref",
              "sigma", "Area_sa", "ref", "Lenth", "ref", "flags");
  for (const auto& p : pockets) {
    const Measures m = reference(balls, grid, p.second, lines, slice, rng);
    const Reported& r = reported.at(p.first);
    const double sigma = std::sqrt(m.sigma2);
    const double dv = r.volume_sa - m.volume, da = r.area_sa - m.area, dl = r.length - m.length;
    std::string flags;
    if (std::fabs(dv) > 3 * sigma + 0.01) {
      ++bad_volume;
      flags += " V";
    }
    if (std::fabs(da) > 0.02 * m.area + 0.05) {
      ++bad_area;
      flags += " A";
    }
    if (std::fabs(dl) > 0.02 * m.length + 0.05) {
      ++bad_length;
      flags += " L";
    }
    if (r.volume_sa < 0 || r.volume_sa > m.tetra_volume + 0.0005 || r.area_sa < 0 || r.length < 0) {
      ++impossible;
      flags += " impossible";
    }
    if (std::fabs(dv) > std::fabs(worst_volume)) worst_volume = dv, worst_volume_at = p.first;
    if (std::fabs(da) > std::fabs(worst_area)) worst_area = da, worst_area_at = p.first;
    if (std::fabs(dl) > std::fabs(worst_length)) worst_length = dl, worst_length_at = p.first;
    std::printf("%5d %5zu %10.3f %10.3f %8.4f %10.3f %10.3f %9.2f %9.2f %s\n", p.first,
                p.second.size(), r.volume_sa, m.volume, sigma, r.area_sa, m.area, r.length,
                m.length, flags.c_str());
  }
  std::printf(
      "pockets %zu  outside tolerance: Vol_sa %d Area_sa %d Lenth %d  impossible %d\n"
      "worst: Vol_sa %+.3f (pocket %d)  Area_sa %+.3f (pocket %d)  Lenth %+.2f (pocket %d)\n",
      pockets.size(), bad_volume, bad_area, bad_length, impossible, worst_volume, worst_volume_at,
      worst_area, worst_area_at, worst_length, worst_length_at);
  return 0;
}
