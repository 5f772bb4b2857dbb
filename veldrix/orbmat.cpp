// Singular value decomposition (Householder bidiagonalisation followed by
// implicit-shift QR sweeps) and its scalar helpers.
#include "veldrix/orbmat.h"

#include <cmath>
#include <limits>

namespace orbmat {

namespace {

// 10000 machine epsilons: the absolute tolerance of every zero test.
const double kTolerance = 10000.0 * std::numeric_limits<double>::epsilon();

bool negligible(double x) { return epsilon(x) > std::fabs(x); }

}  // namespace

double epsilon(const double& x) { return x > 1 ? x * kTolerance : kTolerance; }

double sign(double a, double b) { return b >= 0 ? std::fabs(a) : -std::fabs(a); }

double hypot(double a, double b) {
  const double fa = std::fabs(a), fb = std::fabs(b);
  if (fa > fb) {
    const double r = fb / fa;
    return fa * std::sqrt(1.0 + r * r);
  }
  if (epsilon(fb) > fb) return 0.0;
  const double r = fa / fb;
  return fb * std::sqrt(1.0 + r * r);
}

template <>
bool matrix<double>::svd(matrix<double>& V, std::valarray<double>& w) {
  const uint64 m = rowno(), n = colno();
  double* a = wdata();
  if (V.rowno() != n || V.colno() != n) V.resize(n, n, 0.0);
  double* v = V.wdata();
  if (w.size() != n) w.resize(n, 0.0);
  std::valarray<double> rv1(0.0, n);

  auto A = [a, n](uint64 i, uint64 j) -> double& { return a[i * n + j]; };
  auto Vm = [v, n](uint64 i, uint64 j) -> double& { return v[i * n + j]; };

  // 1. Householder reduction to bidiagonal form.
  double g = 0.0, s = 0.0, scale = 0.0;
  for (uint64 i = 0; i < n; ++i) {
    rv1[i] = scale * g;
    g = s = scale = 0.0;
    if (i < m) {
      for (uint64 k = i; k < m; ++k) scale += std::fabs(A(k, i));
      if (epsilon(scale) < scale) {
        for (uint64 k = i; k < m; ++k) {
          A(k, i) /= scale;
          s += A(k, i) * A(k, i);
        }
        double f = A(i, i);
        g = -sign(std::sqrt(s), f);
        const double h = f * g - s;
        A(i, i) = f - g;
        for (uint64 j = i + 1; j < n; ++j) {
          s = 0.0;
          for (uint64 k = i; k < m; ++k) s += A(k, i) * A(k, j);
          f = s / h;
          for (uint64 k = i; k < m; ++k) A(k, j) += f * A(k, i);
        }
        for (uint64 k = i; k < m; ++k) A(k, i) *= scale;
      }
    }
    w[i] = scale * g;
    g = s = scale = 0.0;
    if (i < m && i != n - 1) {
      for (uint64 k = i + 1; k < n; ++k) scale += std::fabs(A(i, k));
      if (epsilon(scale) < scale) {
        for (uint64 k = i + 1; k < n; ++k) {
          A(i, k) /= scale;
          s += A(i, k) * A(i, k);
        }
        const double f = A(i, i + 1);
        g = -sign(std::sqrt(s), f);
        const double h = f * g - s;
        A(i, i + 1) = f - g;
        for (uint64 k = i + 1; k < n; ++k) rv1[k] = A(i, k) / h;
        for (uint64 j = i + 1; j < m; ++j) {
          s = 0.0;
          for (uint64 k = i + 1; k < n; ++k) s += A(j, k) * A(i, k);
          for (uint64 k = i + 1; k < n; ++k) A(j, k) += s * rv1[k];
        }
        for (uint64 k = i + 1; k < n; ++k) A(i, k) *= scale;
      }
    }
  }

  // 2. Accumulation of the right-hand transformations.
  for (uint64 ii = n; ii-- > 0;) {
    const uint64 i = ii;
    if (i + 1 < n) {
      if (!negligible(g)) {
        // Double division avoids a possible underflow.
        for (uint64 j = i + 1; j < n; ++j) Vm(j, i) = (A(i, j) / A(i, i + 1)) / g;
        for (uint64 j = i + 1; j < n; ++j) {
          s = 0.0;
          for (uint64 k = i + 1; k < n; ++k) s += A(i, k) * Vm(k, j);
          for (uint64 k = i + 1; k < n; ++k) Vm(k, j) += s * Vm(k, i);
        }
      }
      for (uint64 j = i + 1; j < n; ++j) Vm(i, j) = Vm(j, i) = 0.0;
    }
    Vm(i, i) = 1.0;
    g = rv1[i];
  }

  // 3. Accumulation of the left-hand transformations.
  for (uint64 ii = orbmat::min(m, n); ii-- > 0;) {
    const uint64 i = ii;
    g = w[i];
    for (uint64 j = i + 1; j < n; ++j) A(i, j) = 0.0;
    if (!negligible(g)) {
      g = 1.0 / g;
      for (uint64 j = i + 1; j < n; ++j) {
        s = 0.0;
        for (uint64 k = i + 1; k < m; ++k) s += A(k, i) * A(k, j);
        const double f = (s / A(i, i)) * g;
        for (uint64 k = i; k < m; ++k) A(k, j) += f * A(k, i);
      }
      for (uint64 j = i; j < m; ++j) A(j, i) *= g;
    } else {
      for (uint64 j = i; j < m; ++j) A(j, i) = 0.0;
    }
    A(i, i) += 1.0;
  }

  // 4. Diagonalisation of the bidiagonal form.
  for (uint64 kk = n; kk-- > 0;) {
    const uint64 k = kk;
    for (int its = 1; its <= 30; ++its) {
      uint64 l = k;
      bool cancel = false;
      for (;; --l) {
        if (negligible(rv1[l])) break;
        if (l == 0 || negligible(w[l - 1])) {
          cancel = l != 0;
          break;
        }
      }
      if (cancel) {
        // rv1[l] is not negligible: chase it out with Givens rotations.
        double c = 0.0;
        s = 1.0;
        for (uint64 i = l; i <= k; ++i) {
          const double f = s * rv1[i];
          rv1[i] = c * rv1[i];
          if (negligible(f)) break;
          g = w[i];
          double h = hypot(f, g);
          w[i] = h;
          h = 1.0 / h;
          c = g * h;
          s = -f * h;
          for (uint64 r = 0; r < m; ++r) {
            const double y = A(r, l - 1), z = A(r, i);
            A(r, l - 1) = y * c + z * s;
            A(r, i) = z * c - y * s;
          }
        }
      }
      double z = w[k];
      if (l == k) {
        if (z < 0.0) {
          w[k] = -z;
          for (uint64 j = 0; j < n; ++j) Vm(j, k) = -Vm(j, k);
        }
        break;
      }
      if (its == 30) return false;

      // Shift from the bottom 2 x 2 minor.
      double x = w[l];
      double y = w[k - 1];
      g = rv1[k - 1];
      double h = rv1[k];
      double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
      g = hypot(f, 1.0);
      f = ((x - z) * (x + z) + h * ((y / (f + sign(g, f))) - h)) / x;

      // QR sweep.
      double c = 1.0;
      s = 1.0;
      for (uint64 j = l; j < k; ++j) {
        const uint64 i = j + 1;
        g = rv1[i];
        y = w[i];
        h = s * g;
        g = c * g;
        z = hypot(f, h);
        rv1[j] = z;
        c = f / z;
        s = h / z;
        f = x * c + g * s;
        g = g * c - x * s;
        h = y * s;
        y = y * c;
        for (uint64 r = 0; r < n; ++r) {
          const double vx = Vm(r, j), vz = Vm(r, i);
          Vm(r, j) = vx * c + vz * s;
          Vm(r, i) = vz * c - vx * s;
        }
        z = hypot(f, h);
        w[j] = z;
        if (!negligible(z)) {
          z = 1.0 / z;
          c = f * z;
          s = h * z;
        }
        f = c * g + s * y;
        x = c * y - s * g;
        for (uint64 r = 0; r < m; ++r) {
          const double ay = A(r, j), az = A(r, i);
          A(r, j) = ay * c + az * s;
          A(r, i) = az * c - ay * s;
        }
      }
      rv1[l] = 0.0;
      rv1[k] = f;
      w[k] = x;
    }
  }
  return true;
}

}  // namespace orbmat
