#include "alpha_reference.h"

#include <algorithm>
#include <cmath>

namespace alpharef {

bool ortho_sphere(const std::vector<WPoint>& pts, const std::vector<int>& ids, Sphere* out) {
  // Centred at p0: c = sum t_j u_j with 2 c.u_i = |u_i|^2 - w_i + w0.
  int k = static_cast<int>(ids.size()) - 1;
  const WPoint& p0 = pts[ids[0]];
  long double u[3][3], g[3][4], scale = 0;
  for (int i = 0; i < k; ++i) {
    const WPoint& p = pts[ids[i + 1]];
    long double d[3] = {(long double)p.x - p0.x, (long double)p.y - p0.y, (long double)p.z - p0.z};
    std::copy(d, d + 3, u[i]);
  }
  for (int i = 0; i < k; ++i) {
    for (int j = 0; j < k; ++j) g[i][j] = u[i][0] * u[j][0] + u[i][1] * u[j][1] + u[i][2] * u[j][2];
    g[i][k] = 0.5L * (g[i][i] - pts[ids[i + 1]].w + p0.w);
    scale = std::max(scale, g[i][i]);
  }
  for (int col = 0; col < k; ++col) {  // Gauss-Jordan with partial pivoting
    int piv = col;
    for (int r = col + 1; r < k; ++r)
      if (std::fabs(g[r][col]) > std::fabs(g[piv][col])) piv = r;
    if (std::fabs(g[piv][col]) <= 1e-12L * scale) return false;
    std::swap(g[col], g[piv]);
    for (int r = 0; r < k; ++r)
      if (r != col)
        for (int j = k; j >= col; --j) g[r][j] -= g[r][col] / g[col][col] * g[col][j];
  }
  long double c[3] = {0, 0, 0};
  for (int i = 0; i < k; ++i)
    for (int d = 0; d < 3; ++d) c[d] += g[i][k] / g[i][i] * u[i][d];
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

namespace {

// The faces of `ids` (all non-empty subsets), as sorted id lists.
std::vector<std::vector<int>> faces(const std::vector<int>& ids) {
  std::vector<std::vector<int>> out;
  for (unsigned mask = 1; mask < (1u << ids.size()); ++mask) {
    std::vector<int> f;
    for (size_t i = 0; i < ids.size(); ++i)
      if (mask & (1u << i)) f.push_back(ids[i]);
    out.push_back(f);
  }
  return out;
}

}  // namespace

Complex::Complex(const std::vector<WPoint>& pts) {
  int n = static_cast<int>(pts.size());
  // Tetrahedra: no other point penetrates their orthogonal sphere.
  std::vector<std::vector<int>> tetras;
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
          if (empty) tetras.push_back(ids);
        }
  std::map<std::vector<int>, std::vector<std::vector<int>>> cofaces;  // all, any dimension
  for (const auto& t : tetras)
    for (const auto& f : faces(t)) {
      simplices[f];
      if (f.size() < 4) cofaces[f].push_back(t);
    }

  for (auto& kv : simplices) {
    const std::vector<int>& ids = kv.first;
    Simplex& s = kv.second;
    Sphere sp;
    if (ids.size() == 1) {
      sp = Sphere{{pts[ids[0]].x, pts[ids[0]].y, pts[ids[0]].z}, -pts[ids[0]].w};
    } else {
      ortho_sphere(pts, ids, &sp);
    }
    s.sigma = sp.sigma;
    std::vector<int> opp;
    for (const auto& t : cofaces[ids])
      for (int q : t)
        if (!std::count(ids.begin(), ids.end(), q) && !std::count(opp.begin(), opp.end(), q))
          opp.push_back(q);
    s.opposite = opp;
    // A vertex is never attached: an edge's size is |c - p|^2 - w_p >= -w_p.
    for (int q : opp) {
      if (ids.size() == 1) break;
      long double m = power(sp, pts[q]) - sp.sigma;
      s.attached = s.attached || m <= 0;
      s.tie = std::min(s.tie, std::fabs(m));
    }
  }
  // Everything in a facet of the hull (a triangle with one tetrahedron).
  for (auto& kv : simplices)
    if (kv.first.size() == 3 && kv.second.opposite.size() < 2)
      for (const auto& f : faces(kv.first)) simplices[f].hull = true;
  // rho and mu0 from the top down; mu1 over the sizes of all cofaces.
  for (size_t dim = 4; dim >= 1; --dim)
    for (auto& kv : simplices) {
      if (kv.first.size() != dim) continue;
      Simplex& s = kv.second;
      for (int q : s.opposite) {
        std::vector<int> co = kv.first;
        co.push_back(q);
        std::sort(co.begin(), co.end());
        long double r = simplices[co].rho;
        if (s.mu0_inf || r < s.mu0) s.mu0 = r;
        s.mu0_inf = false;
      }
      s.rho = s.attached ? s.mu0 : s.sigma;
      s.mu1_inf = s.hull || s.opposite.empty();
      bool any = false;
      for (const auto& t : cofaces[kv.first])
        for (const auto& f : faces(t))
          if (f.size() > dim &&
              std::includes(f.begin(), f.end(), kv.first.begin(), kv.first.end())) {
            if (!any || simplices[f].sigma > s.mu1) s.mu1 = simplices[f].sigma;
            any = true;
          }
    }
}

bool Complex::on_surface(const std::vector<int>& ids, long double alpha) const {
  const Simplex& s = simplices.at(ids);
  if (ids.size() == 4 || (s.attached && s.mu0_inf)) return false;
  if ((s.attached ? s.mu0 : s.sigma) > alpha) return false;
  return s.mu1_inf || alpha <= s.mu1;
}

}  // namespace alpharef
