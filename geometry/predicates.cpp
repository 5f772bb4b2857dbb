// The kernel's predicates: the error-bounded filters and the exact cascades
// behind them.
#include "geometry/predicates.h"

#include <cmath>
#include <cstddef>
#include <utility>

void CXYZW::set(double px, double py, double pz, double pw) {
  x.Init(px);
  y.Init(py);
  z.Init(pz);
  w.Init(pw);
  CInexact zz = z * z, yy = y * y, xx = x * x;
  CInexact s = xx + yy;
  s = zz + s;
  lifted = s - w;
  exact_.reset();
}

void CXYZW::make_exact() const {
  std::unique_ptr<Exact> e(new Exact);
  e->x.Init(x.value);
  e->y.Init(y.value);
  e->z.Init(z.value);
  e->w.Init(w.value);
  e->lifted = ((e->x * e->x + e->y * e->y) + e->z * e->z) - e->w;
  exact_ = std::move(e);
}

void triangle_minors(const CXYZW& a, const CXYZW& b, const CXYZW& c, CInexact m[4]) {
  CInexact dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
  CInexact pxy = (a.x * b.y) - (b.x * a.y);
  CInexact pxz = (a.x * b.z) - (b.x * a.z);
  CInexact pyz = (a.y * b.z) - (b.y * a.z);
  m[3] = (c.y * dx) + (pxy - (c.x * dy));
  m[2] = (c.z * dx) + (pxz - (c.x * dz));
  m[1] = (c.z * dy) + (pyz - (c.y * dz));
  m[0] = (c.z * pxy) + ((c.x * pyz) - (c.y * pxz));
}

namespace {

// Coordinate k of a point exactly: x, y, z, lifted.
const CExact& coord(const CXYZW* p, int k) {
  switch (k) {
    case 0:
      return p->x_exact();
    case 1:
      return p->y_exact();
    case 2:
      return p->z_exact();
    default:
      return p->lifted_exact();
  }
}

CExact det(CExact* m, int n) {  // row-major n x n, n <= 4
  if (n == 1) return m[0];
  if (n == 2) return m[0] * m[3] - m[1] * m[2];
  CExact sum;
  CExact sub[9];
  for (int c = 0; c < n; ++c) {
    if (m[c].len == 0) continue;
    int k = 0;
    for (int i = 1; i < n; ++i)
      for (int j = 0; j < n; ++j)
        if (j != c) sub[k++] = m[i * n + j];
    CExact t = m[c] * det(sub, n - 1);
    if (c % 2)
      sum = sum - t;
    else
      sum = sum + t;
  }
  return sum;
}

// Determinant of the rows `rows` (indices into pts) with the given
// coordinate columns and a final column of ones: the determinant of the
// differences of each row with the last row.
int term_sign(CXYZW** pts, const char* rows, const char* cols) {
  int nr = 0;
  while (rows[nr]) ++nr;
  int n = nr - 1;
  CExact m[16];
  const CXYZW* last = pts[rows[n] - '0'];
  for (int i = 0; i < n; ++i) {
    const CXYZW* p = pts[rows[i] - '0'];
    for (int j = 0; j < n; ++j) {
      int k = cols[j] == 'x' ? 0 : cols[j] == 'y' ? 1 : cols[j] == 'z' ? 2 : 3;
      m[i * n + j] = coord(p, k) - coord(last, k);
    }
  }
  return det(m, n).sgn();
}

struct Term {
  const char* rows;
  const char* cols;
  int sign;
};

const Term kSign4[] = {
    {"0123", "xyz", +1}, {"123", "xy", +1}, {"123", "xz", -1}, {"123", "yz", +1}, {"023", "xy", -1},
    {"23", "x", +1},     {"23", "y", -1},   {"023", "xz", +1}, {"23", "z", +1},   {"023", "yz", -1},
    {"013", "xy", +1},   {"13", "x", -1},   {"13", "y", +1},   {"03", "x", +1},
};

const Term kSign5[] = {
    {"01234", "xyzh", +1}, {"1234", "xyz", -1}, {"1234", "xyh", +1}, {"1234", "xzh", -1},
    {"1234", "yzh", +1},   {"0234", "xyz", +1}, {"234", "xy", +1},   {"234", "xz", -1},
    {"234", "yz", +1},     {"0234", "xyh", -1}, {"234", "xh", +1},   {"234", "yh", -1},
    {"0234", "xzh", +1},   {"234", "zh", +1},   {"0234", "yzh", -1}, {"0134", "xyz", -1},
    {"134", "xy", -1},     {"134", "xz", +1},   {"134", "yz", -1},   {"034", "xy", +1},
    {"34", "x", -1},       {"34", "y", +1},     {"034", "xz", -1},   {"34", "z", -1},
    {"034", "yz", +1},     {"0134", "xyh", +1}, {"134", "xh", -1},   {"134", "yh", +1},
    {"034", "xh", +1},     {"34", "h", +1},     {"034", "yh", -1},   {"0134", "xzh", -1},
    {"134", "zh", -1},     {"034", "zh", +1},   {"0134", "yzh", +1}, {"0124", "xyz", +1},
    {"124", "xy", +1},     {"124", "xz", -1},   {"124", "yz", +1},   {"024", "xy", -1},
    {"24", "x", +1},       {"24", "y", -1},     {"024", "xz", +1},   {"24", "z", +1},
    {"024", "yz", -1},     {"014", "xy", +1},   {"14", "x", -1},     {"14", "y", +1},
    {"04", "x", +1},
};

template <std::size_t N>
int cascade(CXYZW** pts, const Term (&terms)[N]) {
  for (const Term& t : terms) {
    int s = term_sign(pts, t.rows, t.cols);
    if (s != 0) return (s * t.sign) > 0 ? 1 : 0;
  }
  return 1;
}

// Insertion sort by id; returns the parity flag (1 for an even permutation).
int sort_by_id(CXYZW** pts, int n) {
  int parity = 1;
  for (int i = 1; i < n; ++i) {
    for (int j = i; j > 0 && pts[j - 1]->id > pts[j]->id; --j) {
      CXYZW* t = pts[j];
      pts[j] = pts[j - 1];
      pts[j - 1] = t;
      parity ^= 1;
    }
  }
  return parity;
}

}  // namespace

int sign4(CXYZW** pts) { return cascade(pts, kSign4); }
int sign5(CXYZW** pts) { return cascade(pts, kSign5); }

void DifferenceBounds::set(const double lo[4], const double hi[4]) {
  using namespace kernel_detail;
  const double ex = hi[0] - lo[0], ey = hi[1] - lo[1], ez = hi[2] - lo[2], ew = hi[3] - lo[3];
  power = orient = kInf;
  if (!(in_range(ex) && in_range(ey) && in_range(ez) && ew <= kHighW)) return;
  orient = (49.0 * kU) * ((ex * ey) * ez);
  power = (457.0 * kU) * (((ex * ey) * ez) * (((ex * ex + ey * ey) + ez * ez) + ew));
}

int orient_sign_dynamic(const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& p) {
  using namespace kernel_detail;
  const double px = p.x.value, py = p.y.value, pz = p.z.value;
  const double ax = a.x.value - px, ay = a.y.value - py, az = a.z.value - pz;
  const double bx = b.x.value - px, by = b.y.value - py, bz = b.z.value - pz;
  const double cx = c.x.value - px, cy = c.y.value - py, cz = c.z.value - pz;
  const double m = max3(max3(std::fabs(ax), std::fabs(bx), std::fabs(cx)),
                        max3(std::fabs(ay), std::fabs(by), std::fabs(cy)),
                        max3(std::fabs(az), std::fabs(bz), std::fabs(cz)));
  if (!(m <= kHigh)) return 0;
  const double det =
      (ax * (by * cz - bz * cy) - bx * (ay * cz - az * cy)) + cx * (ay * bz - az * by);
  const double sum =
      (std::fabs(ax) * (std::fabs(by * cz) + std::fabs(bz * cy)) +
       std::fabs(bx) * (std::fabs(ay * cz) + std::fabs(az * cy))) +
      std::fabs(cx) * (std::fabs(ay * bz) + std::fabs(az * by));
  if (!(sum >= 0x1p-700)) return 0;
  const double bound = (9.0 * kU) * sum;
  if (det > bound) return 1;
  if (det < -bound) return -1;
  return 0;
}

int power_sign_dynamic(const CXYZW& a, const CXYZW& b, const CXYZW& c, const CXYZW& d,
                       const CXYZW& p) {
  using namespace kernel_detail;
  const CXYZW* v[4] = {&a, &b, &c, &d};
  double X[4], Y[4], Z[4], L[4], Lsum[4];
  double m = 0, mw = 0;
  for (int i = 0; i < 4; ++i) {
    X[i] = v[i]->x.value - p.x.value;
    Y[i] = v[i]->y.value - p.y.value;
    Z[i] = v[i]->z.value - p.z.value;
    const double W = v[i]->w.value - p.w.value;
    m = max2(m, max3(std::fabs(X[i]), std::fabs(Y[i]), std::fabs(Z[i])));
    mw = max2(mw, std::fabs(W));
    const double sq = (X[i] * X[i] + Y[i] * Y[i]) + Z[i] * Z[i];
    L[i] = sq - W;
    Lsum[i] = sq + std::fabs(W);
  }
  if (!(m <= kHigh && mw <= kHighW)) return 0;
  // The 2x2 minors of (X, Y) over rows i, j times those of (Z, L) over the
  // other two rows, with their signs in the expansion.
  static const int kRows[6][5] = {{0, 1, 2, 3, 1},  {0, 2, 1, 3, -1}, {0, 3, 1, 2, 1},
                                  {1, 2, 0, 3, 1},  {1, 3, 0, 2, -1}, {2, 3, 0, 1, 1}};
  double det = 0, sum = 0;
  for (const int* r : kRows) {
    const int i = r[0], j = r[1], k = r[2], l = r[3];
    const double xy = X[i] * Y[j] - X[j] * Y[i];
    const double zl = Z[k] * L[l] - Z[l] * L[k];
    det += r[4] * (xy * zl);
    sum += (std::fabs(X[i] * Y[j]) + std::fabs(X[j] * Y[i])) *
           (std::fabs(Z[k]) * Lsum[l] + std::fabs(Z[l]) * Lsum[k]);
  }
  if (!(sum >= 0x1p-700)) return 0;
  const double bound = (20.0 * kU) * sum;
  if (det > bound) return 1;
  if (det < -bound) return -1;
  return 0;
}

bool orient_positive(const CInexact m[4], CXYZW* a, CXYZW* b, CXYZW* c, CXYZW* p, bool* exact) {
  CInexact D = ((m[0] - (p->x * m[1])) + (p->y * m[2])) - (p->z * m[3]);
  if (D.err < std::fabs(D.value)) return D.value > 0;
  *exact = true;
  CXYZW* pts[4] = {a, b, c, p};
  int parity = sort_by_id(pts, 4);
  return parity == sign4(pts);
}

bool power_positive(CXYZW* a, CXYZW* b, CXYZW* c, CXYZW* d, CXYZW* p, const CInexact m_abc[4],
                    const CInexact m_abd[4], const CInexact m_bcd[4], const CInexact m_acd[4],
                    bool* exact) {
  // The expansion along the lifted column.
  CInexact V = (p->lifted * orient_o(m_abc, *d)) +
               (((c->lifted * orient_o(m_abd, *p)) +
                 ((a->lifted * orient_o(m_bcd, *p)) - (b->lifted * orient_o(m_acd, *p)))) -
                (d->lifted * orient_o(m_abc, *p)));
  if (V.err < std::fabs(V.value)) return V.value > 0;
  *exact = true;
  CXYZW* pts[5] = {a, b, c, d, p};
  int parity = sort_by_id(pts, 5);
  return parity == sign5(pts);
}
