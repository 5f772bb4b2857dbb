#include "alpha_reference.h"

#include <algorithm>
#include <cmath>

namespace alpharef {

bool ortho_sphere(const std::vector<WPoint>& pts, const std::vector<int>& ids, Sphere* out) {
  // In coordinates centred at p0: c = sum t_j u_j with 2 c.u_i = |u_i|^2 - w_i + w0.
  int k = static_cast<int>(ids.size()) - 1;
  const WPoint& p0 = pts[ids[0]];
  long double u[3][3];
  long double g[3][4];
  for (int i = 0; i < k; ++i) {
    const WPoint& p = pts[ids[i + 1]];
    u[i][0] = (long double)p.x - p0.x;
    u[i][1] = (long double)p.y - p0.y;
    u[i][2] = (long double)p.z - p0.z;
  }
  long double scale = 0;
  for (int i = 0; i < k; ++i) {
    for (int j = 0; j < k; ++j) g[i][j] = u[i][0] * u[j][0] + u[i][1] * u[j][1] + u[i][2] * u[j][2];
    g[i][k] = 0.5L * (g[i][i] - pts[ids[i + 1]].w + p0.w);
    scale = std::max(scale, g[i][i]);
  }
  // Gaussian elimination with partial pivoting on the Gram system.
  for (int col = 0; col < k; ++col) {
    int piv = col;
    for (int r = col + 1; r < k; ++r)
      if (std::fabs(g[r][col]) > std::fabs(g[piv][col])) piv = r;
    if (std::fabs(g[piv][col]) <= 1e-12L * scale) return false;
    for (int j = 0; j <= k; ++j) std::swap(g[col][j], g[piv][j]);
    for (int r = 0; r < k; ++r) {
      if (r == col) continue;
      long double f = g[r][col] / g[col][col];
      for (int j = col; j <= k; ++j) g[r][j] -= f * g[col][j];
    }
  }
  long double c[3] = {0, 0, 0};
  for (int i = 0; i < k; ++i) {
    long double t = g[i][k] / g[i][i];
    for (int d = 0; d < 3; ++d) c[d] += t * u[i][d];
  }
  out->sigma = c[0] * c[0] + c[1] * c[1] + c[2] * c[2] - p0.w;
  out->c[0] = c[0] + p0.x;
  out->c[1] = c[1] + p0.y;
  out->c[2] = c[2] + p0.z;
  return true;
}

long double power(const Sphere& s, const WPoint& q) {
  long double dx = s.c[0] - q.x, dy = s.c[1] - q.y, dz = s.c[2] - q.z;
  return dx * dx + dy * dy + dz * dz - q.w;
}

Complex::Complex(const std::vector<WPoint>& pts) : pts_(pts) {
  int n = static_cast<int>(pts.size());
  std::map<std::vector<int>, Sphere> spheres;
  // Tetrahedra: empty orthogonal spheres.
  for (int a = 0; a < n; ++a)
    for (int b = a + 1; b < n; ++b)
      for (int c = b + 1; c < n; ++c)
        for (int d = c + 1; d < n; ++d) {
          std::vector<int> ids = {a, b, c, d};
          Sphere s;
          if (!ortho_sphere(pts, ids, &s)) continue;
          bool empty = true;
          for (int q = 0; q < n && empty; ++q)
            if (q != a && q != b && q != c && q != d && power(s, pts[q]) <= s.sigma) empty = false;
          if (empty) spheres[ids] = s;
        }
  std::vector<std::vector<int>> tetras;
  for (auto& kv : spheres) tetras.push_back(kv.first);

  // Faces of every dimension, each with the extra vertex of its cofaces.
  std::map<std::vector<int>, std::vector<std::vector<int>>> all_cofaces;
  for (const auto& t : tetras) {
    simplices[t];
    for (int mask = 1; mask < 15; ++mask) {
      std::vector<int> f;
      for (int i = 0; i < 4; ++i)
        if (mask & (1 << i)) f.push_back(t[i]);
      all_cofaces[f].push_back(t);
    }
  }
  for (auto& kv : all_cofaces) simplices[kv.first];
  for (auto& kv : simplices) {
    const std::vector<int>& ids = kv.first;
    Simplex& s = kv.second;
    Sphere sp;
    if (ids.size() == 1) {
      s.sigma = -pts[ids[0]].w;
      sp.c[0] = pts[ids[0]].x;
      sp.c[1] = pts[ids[0]].y;
      sp.c[2] = pts[ids[0]].z;
    } else {
      if (ids.size() == 4)
        sp = spheres[ids];
      else
        ortho_sphere(pts, ids, &sp);
      s.sigma = sp.sigma;
    }
    sp.sigma = s.sigma;
    // Immediate cofaces: one more vertex.
    if (ids.size() < 4) {
      for (int q = 0; q < n; ++q) {
        if (std::find(ids.begin(), ids.end(), q) != ids.end()) continue;
        std::vector<int> co = ids;
        co.push_back(q);
        std::sort(co.begin(), co.end());
        if (all_cofaces.count(co) || spheres.count(co)) s.opposite.push_back(q);
      }
    }
    if (ids.size() >= 2) {
      for (int q : s.opposite) {
        long double m = power(sp, pts[q]) - sp.sigma;
        if (m <= 0) s.attached = true;
        s.tie = std::min(s.tie, std::fabs(m));
      }
    }
  }
  // Hull facets have one tetrahedron; everything in a hull facet is on the hull.
  for (auto& kv : simplices)
    if (kv.first.size() == 3 && kv.second.opposite.size() < 2)
      for (int mask = 1; mask < 8; ++mask) {
        std::vector<int> f;
        for (int i = 0; i < 3; ++i)
          if (mask & (1 << i)) f.push_back(kv.first[i]);
        simplices[f].hull = true;
      }
  // Vertex attachment: an incident edge smaller than -w.
  for (auto& kv : simplices)
    if (kv.first.size() == 1)
      for (int q : kv.second.opposite) {
        std::vector<int> e = {std::min(kv.first[0], q), std::max(kv.first[0], q)};
        if (simplices[e].sigma < kv.second.sigma) kv.second.attached = true;
      }
  // rho and mu0 from the top down, mu1 over all cofaces.
  for (int dim = 4; dim >= 1; --dim)
    for (auto& kv : simplices) {
      if ((int)kv.first.size() != dim) continue;
      Simplex& s = kv.second;
      for (int q : s.opposite) {
        std::vector<int> co = kv.first;
        co.push_back(q);
        std::sort(co.begin(), co.end());
        const Simplex& c = simplices[co];
        if (s.mu0_inf || c.rho < s.mu0) s.mu0 = c.rho;
        s.mu0_inf = false;
      }
      s.rho = s.attached ? s.mu0 : s.sigma;
      s.mu1_inf = s.hull || s.opposite.empty();
      bool any = false;
      for (const auto& t : all_cofaces[kv.first]) {
        for (int mask = 1; mask < 16; ++mask) {
          std::vector<int> f;
          for (int i = 0; i < 4; ++i)
            if (mask & (1 << i)) f.push_back(t[i]);
          if (f.size() <= kv.first.size() ||
              !std::includes(f.begin(), f.end(), kv.first.begin(), kv.first.end()))
            continue;
          long double v = simplices[f].sigma;
          if (!any || v > s.mu1) s.mu1 = v;
          any = true;
        }
      }
    }
}

bool Complex::on_surface(const std::vector<int>& ids, long double alpha) const {
  const Simplex& s = simplices.at(ids);
  if (ids.size() == 4) return false;
  long double lower = s.attached ? s.mu0 : s.sigma;
  if (s.attached && s.mu0_inf) return false;
  if (lower > alpha) return false;
  return s.mu1_inf || alpha <= s.mu1;
}

}  // namespace alpharef
