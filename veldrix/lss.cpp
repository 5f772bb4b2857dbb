#include "veldrix/lss.h"

#include <cmath>
#include <vector>

using orbmat::matrix;
using orbmat::uint64;

namespace {

double det3(const matrix<double>& m) {
  return m(0, 0) * (m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1)) -
         m(0, 1) * (m(1, 0) * m(2, 2) - m(1, 2) * m(2, 0)) +
         m(0, 2) * (m(1, 0) * m(2, 1) - m(1, 1) * m(2, 0));
}

}  // namespace

void centerAtZero(matrix<double>& X) {
  const uint64 n = X.rowno(), c = X.colno();
  if (n == 0) return;
  double* x = X.wdata();
  double sum[3] = {0.0, 0.0, 0.0};
  for (uint64 k = 0; k < n; ++k)
    for (int j = 0; j < 3; ++j) sum[j] += x[k * c + j];
  for (uint64 k = 0; k < n; ++k)
    for (int j = 0; j < 3; ++j) x[k * c + j] -= sum[j] / static_cast<double>(n);
}

std::valarray<double> mean(matrix<double> X) {
  const uint64 n = X.rowno(), c = X.colno();
  const double* x = X.cdata();
  std::valarray<double> m(0.0, 3);
  for (uint64 k = 0; k < n; ++k)
    for (int j = 0; j < 3; ++j) m[j] += x[k * c + j];
  for (int j = 0; j < 3; ++j) m[j] /= static_cast<double>(n);
  return m;
}

matrix<double> var(matrix<double> X, matrix<double> Y) {
  const uint64 n = X.rowno(), cx = X.colno(), cy = Y.colno();
  const std::valarray<double> mx = mean(X), my = mean(Y);
  const double* x = X.cdata();
  const double* y = Y.cdata();
  matrix<double> v(3, 3);
  double* o = v.wdata();
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double s = 0.0;
      for (uint64 k = 0; k < n; ++k) s += (x[k * cx + i] - mx[i]) * (y[k * cy + j] - my[j]);
      o[i * 3 + j] = s / static_cast<double>(n);
    }
  return v;
}

double rmsd(matrix<double> P, matrix<double> Q, std::valarray<double> s) {
  const matrix<double> vq = var(Q, Q), vp = var(P, P);
  const double tq = vq(0, 0) + vq(1, 1) + vq(2, 2);
  const double tp = vp(0, 0) + vp(1, 1) + vp(2, 2);
  return std::sqrt(std::fabs(tq - 2.0 * (s[0] + s[1] + s[2]) + tp));
}

double Superimpose(matrix<double>& A, matrix<double>& B, matrix<double>& R, matrix<int> pairs) {
  const uint64 nr = pairs.rowno(), nc = pairs.colno();
  const int* pr = pairs.cdata();
  const double* a = A.cdata();
  const double* b = B.cdata();
  const uint64 ca = A.colno(), cb = B.colno();

  // Paired rows in row-major order of the pair matrix, which is mostly
  // zeros: runs of eight entries are passed over at once when all are 0.
  std::vector<double> ap, bp;
  for (uint64 i = 0; i < nr; ++i) {
    const int* row = pr + i * nc;
    uint64 j = 0;
    while (j < nc) {
      const uint64 end = j + 8 <= nc ? j + 8 : nc;
      if (end == j + 8 && (row[j] | row[j + 1] | row[j + 2] | row[j + 3] | row[j + 4] | row[j + 5] |
                           row[j + 6] | row[j + 7]) == 0) {
        j = end;
        continue;
      }
      for (; j < end; ++j)
        if (row[j] != 0) {
          ap.insert(ap.end(), a + i * ca, a + i * ca + 3);
          bp.insert(bp.end(), b + j * cb, b + j * cb + 3);
        }
    }
  }
  const uint64 p = ap.size() / 3;
  matrix<double> Ap(p, 3, std::valarray<double>(ap.data(), ap.size()));
  matrix<double> Bp(p, 3, std::valarray<double>(bp.data(), bp.size()));

  // Paired centroids; with no pair they are 0/0 and everything turns NaN.
  double cA[3] = {0.0, 0.0, 0.0}, cB[3] = {0.0, 0.0, 0.0};
  double* apd = Ap.wdata();
  double* bpd = Bp.wdata();
  for (uint64 k = 0; k < p; ++k)
    for (int j = 0; j < 3; ++j) {
      cA[j] += apd[k * 3 + j];
      cB[j] += bpd[k * 3 + j];
    }
  for (int j = 0; j < 3; ++j) {
    cA[j] /= static_cast<double>(p);
    cB[j] /= static_cast<double>(p);
  }
  for (uint64 k = 0; k < p; ++k)
    for (int j = 0; j < 3; ++j) {
      apd[k * 3 + j] -= cA[j];
      bpd[k * 3 + j] -= cB[j];
    }

  // Kabsch: H = U diag(w) V^T, R = V U^T.
  matrix<double> H = var(Bp, Ap);
  matrix<double> V(3, 3);
  std::valarray<double> w(3);
  H.svd(V, w);
  R = V * ~H;
  // A pocket and its mirror image are different molecules: when the best
  // orthogonal fit is a reflection, the best rotation turns the singular
  // direction of the smallest singular value the other way, and that value
  // counts negatively in the RMSD.
  if (det3(R) < 0) {
    int k = 0;
    for (int i = 1; i < 3; ++i)
      if (w[i] < w[k]) k = i;
    double* v = V.wdata();
    for (int i = 0; i < 3; ++i) v[i * 3 + k] = -v[i * 3 + k];
    w[k] = -w[k];
    R = V * ~H;
  }
  const double result = rmsd(Ap, Bp, w);

  const uint64 nb = B.rowno();
  double* bd = B.wdata();
  for (uint64 k = 0; k < nb; ++k)
    for (int j = 0; j < 3; ++j) bd[k * cb + j] -= cB[j];
  B = ~(R * ~B);

  const uint64 na = A.rowno();
  double* ad = A.wdata();
  for (uint64 k = 0; k < na; ++k)
    for (int j = 0; j < 3; ++j) ad[k * ca + j] -= cA[j];
  return result;
}
