// Filtered orientation and power-sphere predicates with symbolic
// perturbation: the CInexact filter decides almost every call, the exact
// fallback sorts the points by id and walks a fixed cascade of
// sub-determinants so that no call ever reports a tie.
#include <cmath>

#include "geometry/d3dw.h"

void CXYZW::set(double px, double py, double pz, double pw) {
  x.Init(px);
  y.Init(py);
  z.Init(pz);
  w.Init(pw);
  CInexact zz = z * z, yy = y * y, xx = x * x;
  CInexact s = xx + yy;
  s = zz + s;
  lifted = s - w;
  x_exact.Init(px);
  y_exact.Init(py);
  z_exact.Init(pz);
  w_exact.Init(pw);
  lifted_exact = ((x_exact * x_exact + y_exact * y_exact) + z_exact * z_exact) - w_exact;
}

void CD3DEdge::check_minors() {
  CD3DTriangle* t = triangle();
  if (t->have_minors) return;
  const CXYZW& a = *origin;
  const CXYZW& b = *destination;
  const CXYZW& c = *apex;
  CInexact dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
  CInexact pxy = (a.x * b.y) - (b.x * a.y);
  CInexact pxz = (a.x * b.z) - (b.x * a.z);
  CInexact pyz = (a.y * b.z) - (b.y * a.z);
  CInexact m[4];
  m[3] = (c.y * dx) + (pxy - (c.x * dy));
  m[2] = (c.z * dx) + (pxz - (c.x * dz));
  m[1] = (c.z * dy) + (pyz - (c.y * dz));
  m[0] = (c.z * pxy) + ((c.x * pyz) - (c.y * pxz));
  // Stored for the orientation of slots 0-2; negation is exact.
  for (int k = 0; k < 4; ++k) t->minor[k] = slot < 3 ? m[k] : -m[k];
  t->have_minors = true;
}

namespace {

// Coordinate k of a point exactly: x, y, z, lifted.
const CExact& coord(const CXYZW* p, int k) {
  switch (k) {
    case 0:
      return p->x_exact;
    case 1:
      return p->y_exact;
    case 2:
      return p->z_exact;
    default:
      return p->lifted_exact;
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

// -minus the orientation determinant of F's triangle with q, from F's minors.
inline CInexact orient_o(const CD3DEdge* f, const CXYZW* q) {
  CInexact m0 = f->minors(0), m1 = f->minors(1), m2 = f->minors(2), m3 = f->minors(3);
  return ((m3 * q->z) + ((m1 * q->x) - (m2 * q->y))) - m0;
}

}  // namespace

int CD3DW::sign4(CXYZW** pts) { return cascade(pts, kSign4); }
int CD3DW::sign5(CXYZW** pts) { return cascade(pts, kSign5); }

namespace {

// Side of p against the orientation of the first record of triangle t,
// whose minors are computed: the filter, else the exact cascade.
bool side_of_first(const CD3DTriangle* t, CXYZW* p, bool* exact) {
  const CInexact* m = t->minor;
  CInexact D = ((m[0] - (p->x * m[1])) + (p->y * m[2])) - (p->z * m[3]);
  if (D.err < std::fabs(D.value)) return D.value > 0;
  *exact = true;
  const CD3DEdge* f = &t->rec[0];
  CXYZW* pts[4] = {f->origin, f->destination, f->apex, p};
  int parity = sort_by_id(pts, 4);
  return parity == CD3DW::sign4(pts);
}

}  // namespace

bool CD3DW::positive(CD3DEdge* e, CXYZW* p) {
  ++stats[4];
  CD3DTriangle* t = e->triangle();
  if (t->cache_point == p) {
    ++stats[5];
    return (e->slot < 3) == t->cache_positive;
  }
  if (t->have_minors)
    ++stats[6];
  else
    e->check_minors();
  // For the orientation of slots 0-2; the other orientation is -D exactly.
  bool exact = false;
  bool r0 = side_of_first(t, p, &exact);
  if (exact) ++stats[7];
  t->cache_point = p;
  t->cache_positive = r0;
  return (e->slot < 3) == r0;
}

// Inside the bounding tetrahedron; neither counts nor caches.
bool CD3DW::inside_bound(CXYZW* p) {
  for (CD3DEdge* f : bound_face_) {
    f->check_minors();
    bool exact = false;
    if ((f->slot < 3) != side_of_first(f->triangle(), p, &exact)) return false;
  }
  return true;
}

bool CD3DW::insphere(CD3DEdge* e, CXYZW* p) {
  ++stats[8];
  CXYZW* a = e->origin;
  CXYZW* b = e->destination;
  CXYZW* c = e->apex;
  CD3DEdge* abd = e->fnext;
  CXYZW* d = abd->apex;
  CD3DEdge* bcd = e->enext->fnext;
  CD3DEdge* acd = e->enext->enext->fnext->sym;
  e->check_minors();
  abd->check_minors();
  bcd->check_minors();
  acd->check_minors();
  CInexact V = (p->lifted * orient_o(e, d)) +
               (((c->lifted * orient_o(abd, p)) +
                 ((a->lifted * orient_o(bcd, p)) - (b->lifted * orient_o(acd, p)))) -
                (d->lifted * orient_o(e, p)));
  if (V.err < std::fabs(V.value)) return V.value > 0;
  ++stats[9];
  CXYZW* pts[5] = {a, b, c, d, p};
  int parity = sort_by_id(pts, 5);
  return parity == sign5(pts);
}
