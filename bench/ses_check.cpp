// Molecular-surface measures of enclosed voids and of pockets against the
// surface sampled by its definition (tests/support/union_sampling.h: the
// distance to the space a probe centre can reach, tried over every
// candidate point of its boundary).  Run by bench/ses_check.sh.
//
//   ses_check voids STRUCTURE.pdb ALPHA PROBE REDUCED OLD.contrib NEW.contrib
//   ses_check pockets STRUCTURE.pdb ALPHA PROBE REDUCED OLD.pocInfo NEW.pocInfo COMPLEX
//
// REDUCED is the reduced model's letter (r, k, b or s; probe 2.8 then), or
// -.  voids: per enclosed void, the molecular area of its walls and the
// volume between them and the void (points whose nearest reachable point
// lies in the void's tetrahedra), as the closed forms give it, as the
// mended measure gives it, and sampled; how many voids fire; then the
// totals' bounds (bare union <= molecular volume <= expanded union) and the
// atoms outside [0, their expanded volume] or with a negative area, in both
// files.  pockets: per pocket (those outside their bounds in OLD first),
// Area_ms and Vol_ms of both files against the sampled surface inside its
// tetrahedra (COMPLEX: the .pocInfo.complex file), the pockets outside
// their bounds in both, and those that changed though within them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "measure/areavolume.h"
#include "measure/ballcache.h"
#include "measure/complexbuild.h"
#include "measure/trimmedsurface.h"
#include "structure/bead.h"
#include "structure/file.h"
#include "support/union_sampling.h"

namespace {

struct Row {
  double area_sa, area_ms, volume_sa, volume_ms;
};

std::vector<Row> read_contrib(const std::string& path) {
  std::vector<Row> rows;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, 4, "ATOM") != 0) continue;
    std::vector<double> v;
    std::stringstream ss(line.substr(line.find('\t')));
    double x;
    while (ss >> x) v.push_back(x);
    if (v.size() >= 4)
      rows.push_back({v[v.size() - 4], v[v.size() - 3], v[v.size() - 2], v.back()});
  }
  return rows;
}

struct Tet {
  double v[4][3];
};

bool inside(const Tet& t, const double* x) {
  auto det = [](const double* a, const double* b, const double* c, const double* d) {
    double u[3], w[3], z[3];
    for (int i = 0; i < 3; ++i) {
      u[i] = b[i] - a[i];
      w[i] = c[i] - a[i];
      z[i] = d[i] - a[i];
    }
    return u[0] * (w[1] * z[2] - w[2] * z[1]) - u[1] * (w[0] * z[2] - w[2] * z[0]) +
           u[2] * (w[0] * z[1] - w[1] * z[0]);
  };
  const double whole = det(t.v[0], t.v[1], t.v[2], t.v[3]);
  for (int k = 0; k < 4; ++k) {
    const double* p[4] = {t.v[0], t.v[1], t.v[2], t.v[3]};
    p[k] = x;
    if (det(p[0], p[1], p[2], p[3]) * whole < -1e-12 * std::fabs(whole)) return false;
  }
  return true;
}

double tet_volume(const Tet& t) {
  double u[3], w[3], z[3];
  for (int i = 0; i < 3; ++i) {
    u[i] = t.v[1][i] - t.v[0][i];
    w[i] = t.v[2][i] - t.v[0][i];
    z[i] = t.v[3][i] - t.v[0][i];
  }
  return std::fabs(u[0] * (w[1] * z[2] - w[2] * z[1]) - u[1] * (w[0] * z[2] - w[2] * z[0]) +
                   u[2] * (w[0] * z[1] - w[1] * z[0])) /
         6;
}

// The sampled measures of a region given by tetrahedra: with `nearest`,
// the points whose nearest reachable point lies in them (a void's walls),
// else the points inside them.
sampling::SurfaceSample sample_region(const std::vector<Bead>& beads,
                                      const std::vector<double>& radius, double p,
                                      const std::vector<Tet>& tets, bool nearest, double h) {
  double lo[3] = {1e30, 1e30, 1e30}, hi[3] = {-1e30, -1e30, -1e30};
  for (const Tet& t : tets)
    for (const auto& c : t.v)
      for (int k = 0; k < 3; ++k) {
        lo[k] = std::min(lo[k], c[k]);
        hi[k] = std::max(hi[k], c[k]);
      }
  if (nearest)
    for (int k = 0; k < 3; ++k) {
      lo[k] -= p;
      hi[k] += p;
    }
  // The balls that reach the box, with a margin for the competitors.
  std::vector<sampling::Ball> balls;
  for (std::size_t i = 0; i < beads.size(); ++i) {
    const double R = radius[i] + p;
    const double c[3] = {beads[i].x, beads[i].y, beads[i].z};
    bool near = true;
    for (int k = 0; k < 3; ++k) near = near && c[k] > lo[k] - R - 2 * p && c[k] < hi[k] + R + 2 * p;
    if (near) balls.push_back({c[0], c[1], c[2], radius[i]});
  }
  const sampling::AccessibleDistance dist(balls, p);
  return sampling::sample_surface(dist, static_cast<int>(balls.size()), lo, hi, h, h / 2,
                                  [&](const double* x, const double* y) {
                                    const double* at = nearest ? y : x;
                                    for (const Tet& t : tets)
                                      if (inside(t, at)) return true;
                                    return false;
                                  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 8) {
    std::fprintf(stderr, "usage: see the head of bench/ses_check.cpp\n");
    return 2;
  }
  const std::string mode = argv[1];
  std::vector<Bead> beads;
  read_pdb(argv[2], beads);
  const double alpha = std::atof(argv[3]);
  double p = std::atof(argv[4]);
  // The reduced models, as the letters r, k, b and s choose them.
  const std::string model = argv[5];
  if (model == "r") reduced_model_CA_SC(beads);
  if (model == "k") reduced_model_CA(beads);
  if (model == "b") reduced_model_BB(beads);
  if (model == "s") reduced_model_SC(beads);
  if (model != "-") p = 2.8;
  std::vector<double> radius(beads.size());
  for (std::size_t i = 0; i < beads.size(); ++i)
    radius[i] = alpha_radius(beads[i].radius, p, alpha);
  const double h = std::getenv("SES_STEP") ? std::atof(std::getenv("SES_STEP")) : 0.05;
  // At most this many voids or pockets are sampled, the first in order.
  const int most = std::getenv("SES_MAX") ? std::atoi(std::getenv("SES_MAX")) : 1000000;

  if (mode == "voids") {
    const std::vector<Row> before = read_contrib(argv[6]), after = read_contrib(argv[7]);
    // The void components, as the area walk classifies them.
    ComplexRecords rec = measure_area_volume(beads, p, alpha, 1, 0, false);
    std::map<int, std::vector<Tet>> voids;
    for (const tetra& t : rec.tetras) {
      if (t.void_id <= 0) continue;
      Tet x;
      for (int k = 0; k < 4; ++k) {
        x.v[k][0] = t.v[k]->x;
        x.v[k][1] = t.v[k]->y;
        x.v[k][2] = t.v[k]->z;
      }
      voids[t.void_id].push_back(x);
    }
    // The closed forms' part of each void (walls' area, volume between
    // them and the void), term by term as the area walk adds it.
    Atoms& atoms = rec.atoms;
    BallCache g(atoms, p);
    std::map<int, double> closed_area, closed_volume;
    for (const tetra& T : rec.tetras) {
      if (T.void_id <= 0) continue;
      const int v[4] = {T.v[0]->index, T.v[1]->index, T.v[2]->index, T.v[3]->index};
      g.reset(v, 4);
      double& A = closed_area[T.void_id];
      double& V = closed_volume[T.void_id];
      const int others[4][3] = {
          {v[1], v[2], v[3]}, {v[0], v[2], v[3]}, {v[0], v[1], v[3]}, {v[0], v[1], v[2]}};
      for (int m = 0; m < 4; ++m) {
        const Shell H = shell(
            v[m], sector_area(v[m], others[m][0], others[m][1], others[m][2], atoms, p), atoms, p);
        A += H.area;
        V += H.volume;
      }
      const int pairs[6][5] = {{0, 1, 2, 3, 0}, {0, 2, 1, 3, 1}, {0, 3, 1, 2, 2},
                               {1, 3, 0, 2, 4}, {1, 2, 0, 3, 3}, {2, 3, 0, 1, 5}};
      for (const auto& q : pairs) {
        if (!T.edges[q[4]]->in_complex) continue;
        const int a = v[q[0]], b = v[q[1]];
        const double w = g.wedge(a, b, v[q[2]], v[q[3]]);
        const Shell Ga = shell(a, w * g.height(a, b) * (atoms[a].radius + p) * AV_TWO_PI, atoms, p);
        const Shell Gb = shell(b, w * g.height(b, a) * (atoms[b].radius + p) * AV_TWO_PI, atoms, p);
        const Torus t = g.torus(a, b, 0);
        A += w * (t.area_i + t.area_j) - Ga.area - Gb.area;
        V += w * (t.volume_i + t.cone_i + t.volume_j + t.cone_j) - Ga.volume - Gb.volume;
      }
      const int faces[4][3] = {
          {v[0], v[1], v[2]}, {v[0], v[1], v[3]}, {v[0], v[2], v[3]}, {v[1], v[2], v[3]}};
      for (int f = 0; f < 4; ++f) {
        if (!T.faces[f]->in_complex) continue;
        const int a = faces[f][0], b = faces[f][1], c = faces[f][2];
        const Shell Ka = shell(a, g.cap2_area(a, b, c) / 2, atoms, p),
                    Kb = shell(b, g.cap2_area(b, a, c) / 2, atoms, p),
                    Kc = shell(c, g.cap2_area(c, a, b) / 2, atoms, p);
        const Torus tab = g.torus(a, b, 0), tac = g.torus(a, c, 0), tbc = g.torus(b, c, 0);
        const double sab = g.segment_angle(a, b, c), sac = g.segment_angle(a, c, b),
                     sbc = g.segment_angle(b, c, a);
        const Patch P = g.patch(a, b, c);
        A += Ka.area + Kb.area + Kc.area + P.area -
             (sab * (tab.area_i + tab.area_j) + sac * (tac.area_i + tac.area_j) +
              sbc * (tbc.area_i + tbc.area_j)) /
                 2;
        V += Ka.volume + Kb.volume + Kc.volume + P.volume -
             (sab * (tab.volume_i + tab.cone_i + tab.volume_j + tab.cone_j) +
              sac * (tac.volume_i + tac.cone_i + tac.volume_j + tac.cone_j) +
              sbc * (tbc.volume_i + tbc.cone_i + tbc.volume_j + tbc.cone_j)) /
                 2;
      }
    }
    // The mended parts, void by void (own pieces only).
    std::vector<const tetra*> all;
    for (const tetra& t : rec.tetras) all.push_back(&t);
    std::vector<std::vector<const tetra*>> regions;
    std::vector<int> ids;
    for (const auto& kv : voids) {
      ids.push_back(kv.first);
      regions.emplace_back();
      for (const tetra& t : rec.tetras)
        if (t.void_id == kv.first) regions.back().push_back(&t);
    }
    const SurfaceMend mend = mend_surface(all, regions, atoms, p, 0, false);
    // As the area walk runs it: also the pieces near the voids.
    const SurfaceMend full = mend_surface(all, regions, atoms, p, 0, true);
    double worst[2][2] = {{0, 0}, {0, 0}};
    int sampled = 0, fired = 0;
    const std::size_t limit = std::getenv("SES_TETS") ? std::atoi(std::getenv("SES_TETS")) : 40;
    for (std::size_t k = 0; k < ids.size(); ++k) {
      const int id = ids[k];
      fired += full.fired[k];
      if (voids[id].size() > limit || sampled >= most) continue;
      const sampling::SurfaceSample s = sample_region(beads, radius, p, voids[id], true, h);
      ++sampled;
      const double a0 = closed_area[id], v0 = closed_volume[id];
      const double a1 = a0 + mend.area[k], v1 = v0 + mend.volume[k];
      std::printf(
          "void %d tets %zu own pieces cut %d  area before %.3f after %.3f sampled %.3f  volume "
          "before %.3f after %.3f sampled %.3f\n",
          id, voids[id].size(), mend.fired[k], a0, a1, s.total_area, v0, v1, s.total_excluded);
      worst[0][0] = std::max(worst[0][0], std::fabs(a0 - s.total_area));
      worst[0][1] = std::max(worst[0][1], std::fabs(v0 - s.total_excluded));
      worst[1][0] = std::max(worst[1][0], std::fabs(a1 - s.total_area));
      worst[1][1] = std::max(worst[1][1], std::fabs(v1 - s.total_excluded));
    }
    std::printf(
        "voids %zu fired %d sampled %d (up to %zu tetrahedra): worst error area before %.3f after "
        "%.3f, volume before %.3f after %.3f\n",
        voids.size(), fired, sampled, limit, worst[0][0], worst[1][0], worst[0][1], worst[1][1]);
    // Totals and atoms.
    std::vector<Bead> bare = beads;
    for (std::size_t i = 0; i < bare.size(); ++i) bare[i].radius = std::max(0.0, radius[i]);
    ComplexRecords b0 = measure_area_volume(bare, 0.0, 0.0, 4, 0, false);
    double union_bare = 0;
    for (const info& a : b0.atoms) union_bare += a.volume_sa;
    for (const auto* rows : {&before, &after}) {
      double sa = 0, ms = 0, area = 0;
      int bad = 0;
      for (const Row& r : *rows) {
        sa += r.volume_sa;
        ms += r.volume_ms;
        area += r.area_ms;
        bad += r.volume_ms < -1e-4 || r.volume_ms > r.volume_sa + 1e-4 || r.area_ms < -1e-4;
      }
      std::printf(
          "%s: bare union %.2f  MS volume %.2f  SA volume %.2f  MS area %.2f  %s  atoms out of "
          "bounds %d\n",
          rows == &before ? "before" : "after", union_bare, ms, sa, area,
          union_bare <= ms && ms <= sa ? "bounds hold" : "BOUNDS BROKEN", bad);
    }
    return 0;
  }

  // Pockets: the tetrahedra of each from the complex file (serials).
  std::map<int, std::size_t> by_serial;
  for (std::size_t i = 0; i < beads.size(); ++i) by_serial[beads[i].serial] = i;
  std::map<int, std::vector<Tet>> pockets;
  {
    std::ifstream in(argv[8]);
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::stringstream ss(line);
      int number, s[4];
      if (!(ss >> number >> s[0] >> s[1] >> s[2] >> s[3])) continue;
      Tet t;
      for (int k = 0; k < 4; ++k) {
        const Bead& b = beads[by_serial[s[k]]];
        t.v[k][0] = b.x;
        t.v[k][1] = b.y;
        t.v[k][2] = b.z;
      }
      pockets[number].push_back(t);
    }
  }
  auto read_info = [](const char* path) {
    std::map<int, std::vector<double>> out;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
      std::stringstream ss(line);
      std::string poc, name;
      int number, mouths;
      double asa, ams, vsa, vms;
      if (ss >> poc >> name >> number >> mouths >> asa >> ams >> vsa >> vms)
        out[number] = {asa, ams, vsa, vms};
    }
    return out;
  };
  const auto before = read_info(argv[6]), after = read_info(argv[7]);
  const std::size_t limit = std::getenv("SES_TETS") ? std::atoi(std::getenv("SES_TETS")) : 40;
  int bad_before = 0, bad_after = 0, sampled = 0, moved_in_bounds = 0;
  double worst_before[2] = {0, 0}, worst_after[2] = {0, 0};
  // Those out of bounds before (the mended ones) are sampled first.
  std::vector<int> order[2];
  for (const auto& kv : pockets) {
    double whole = 0;
    for (const Tet& t : kv.second) whole += tet_volume(t);
    const auto& b = before.at(kv.first);
    const auto& a = after.at(kv.first);
    // Printed with two decimals (three for Vol_sa).
    auto broken = [&](const std::vector<double>& m) {
      return m[3] > whole + 0.006 || m[3] < m[2] - 0.006 || m[1] < -0.006;
    };
    bad_before += broken(b);
    bad_after += broken(a);
    moved_in_bounds += !broken(b) && a != b;
    order[broken(b) ? 0 : 1].push_back(kv.first);
  }
  for (const std::vector<int>& list : order)
    for (int number : list) {
      const auto& tets = pockets.at(number);
      double whole = 0;
      for (const Tet& t : tets) whole += tet_volume(t);
      const auto& b = before.at(number);
      const auto& a = after.at(number);
      if (tets.size() > limit || sampled >= most) continue;
      const sampling::SurfaceSample s = sample_region(beads, radius, p, tets, false, h);
      ++sampled;
      const double volume = whole - s.total_inside;
      std::printf(
          "pocket %d tets %zu  Vol_ms before %.2f after %.2f sampled %.2f  Area_ms before %.2f "
          "after %.2f sampled %.2f\n",
          number, tets.size(), b[3], a[3], volume, b[1], a[1], s.total_area);
      worst_before[0] = std::max(worst_before[0], std::fabs(b[3] - volume));
      worst_before[1] = std::max(worst_before[1], std::fabs(b[1] - s.total_area));
      worst_after[0] = std::max(worst_after[0], std::fabs(a[3] - volume));
      worst_after[1] = std::max(worst_after[1], std::fabs(a[1] - s.total_area));
    }
  std::printf(
      "pockets %zu out of bounds before %d after %d, changed within bounds %d; sampled %d (up to "
      "%zu tetrahedra): worst error Vol_ms before %.2f after %.2f, Area_ms before %.2f after "
      "%.2f\n",
      pockets.size(), bad_before, bad_after, moved_in_bounds, sampled, limit, worst_before[0],
      worst_after[0], worst_before[1], worst_after[1]);
  return 0;
}
