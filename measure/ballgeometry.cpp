// Closed-form geometry of intersecting balls, the probe-surface pieces and
// the per-simplex cache of both: every composite piece is written once, over
// a provider of the primitive pieces.  Square roots and arc functions whose
// argument can leave its domain only by rounding (near tangency) are
// clamped, so a touching configuration yields its limit value instead of
// NaN.
#include "measure/ballgeometry.h"

#include <cmath>
#include <utility>

#include "measure/ballcache.h"
#include "measure/probesurface.h"

namespace {

struct V3 {
  double x, y, z;
};

V3 at(const Atoms& atoms, int i) { return V3{atoms[i].x, atoms[i].y, atoms[i].z}; }
V3 at(const double* a) { return V3{a[0], a[1], a[2]}; }
V3 sub(const V3& a, const V3& b) { return V3{a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 cross(const V3& a, const V3& b) {
  return V3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double norm(const V3& a) { return std::sqrt(dot(a, a)); }
V3 unit(const V3& a) {
  double n = norm(a);
  return V3{a.x / n, a.y / n, a.z / n};
}
void put(const V3& a, double* out) {
  out[0] = a.x;
  out[1] = a.y;
  out[2] = a.z;
}

double radius(const Atoms& atoms, int i, double p) { return atoms[i].radius + p; }

double root(double x) { return std::sqrt(x > 0.0 ? x : 0.0); }
double clamp1(double c) { return c < -1.0 ? -1.0 : (c > 1.0 ? 1.0 : c); }

double det3(const V3& a, const V3& b, const V3& c) { return dot(a, cross(b, c)); }

// Solves the rows a, b, c . x = (ra, rb, rc) by Cramer's rule.
V3 cramer(const V3& a, const V3& b, const V3& c, double ra, double rb, double rc) {
  double d = det3(a, b, c);
  V3 cx{a.x, b.x, c.x}, cy{a.y, b.y, c.y}, cz{a.z, b.z, c.z}, r{ra, rb, rc};
  // Column replacement, written on the transposed system.
  double dx = det3(r, cy, cz);
  double dy = det3(cx, r, cz);
  double dz = det3(cx, cy, r);
  return V3{dx / d, dy / d, dz / d};
}

}  // namespace

// ---- centres and predicates -------------------------------------------

void power_centre2(const info& a, const info& b, double p, double* out) {
  V3 ca{a.x, a.y, a.z}, cb{b.x, b.y, b.z};
  double Ra = a.radius + p, Rb = b.radius + p;
  V3 d = sub(ca, cb);
  double t = 0.5 - (Ra * Ra - Rb * Rb) / (2 * dot(d, d));
  out[0] = t * ca.x + (1 - t) * cb.x;
  out[1] = t * ca.y + (1 - t) * cb.y;
  out[2] = t * ca.z + (1 - t) * cb.z;
}

// Solved relative to c_a: with X = c_a + Y and e_k = c_k - c_a, equal power
// gives 2 Y.e_k = |e_k|^2 - R_k^2 + R_a^2, and Y lies in the plane.
void power_centre3(const info& a, const info& b, const info& c, double p, double* out) {
  V3 ca{a.x, a.y, a.z};
  V3 eb = sub(V3{b.x, b.y, b.z}, ca), ec = sub(V3{c.x, c.y, c.z}, ca);
  double Ra = a.radius + p, Rb = b.radius + p, Rc = c.radius + p;
  V3 n = cross(eb, ec);
  V3 y = cramer(eb, ec, n, (dot(eb, eb) - Rb * Rb + Ra * Ra) / 2,
                (dot(ec, ec) - Rc * Rc + Ra * Ra) / 2, 0.0);
  out[0] = ca.x + y.x;
  out[1] = ca.y + y.y;
  out[2] = ca.z + y.z;
}

void power_centre4(const info& a, const info& b, const info& c, const info& d, double p,
                   double* out) {
  V3 ca{a.x, a.y, a.z};
  V3 eb = sub(V3{b.x, b.y, b.z}, ca), ec = sub(V3{c.x, c.y, c.z}, ca),
     ed = sub(V3{d.x, d.y, d.z}, ca);
  double Ra = a.radius + p, Rb = b.radius + p, Rc = c.radius + p, Rd = d.radius + p;
  V3 y = cramer(eb, ec, ed, (dot(eb, eb) - Rb * Rb + Ra * Ra) / 2,
                (dot(ec, ec) - Rc * Rc + Ra * Ra) / 2, (dot(ed, ed) - Rd * Rd + Ra * Ra) / 2);
  out[0] = ca.x + y.x;
  out[1] = ca.y + y.y;
  out[2] = ca.z + y.z;
}

void setcenter2(int i, int j, double* out, const Atoms& atoms, double p) {
  power_centre2(atoms[i], atoms[j], p, out);
}

void setcenter3(int i, int j, int k, double* out, const Atoms& atoms, double p) {
  power_centre3(atoms[i], atoms[j], atoms[k], p, out);
}

void setcenter4(int i, int j, int k, int l, double* out, const Atoms& atoms, double p) {
  power_centre4(atoms[i], atoms[j], atoms[k], atoms[l], p, out);
}

// The power centre is c_i + (1 - t)(c_j - c_i); it lies on c_j's side when
// 1 - t > 0, that is when d^2 + R_i^2 - R_j^2 > 0.  Tested directly, so
// centres that share a coordinate need no special care.
bool alf_is_hidden0(int i, int j, const Atoms& atoms, double p) {
  V3 d = sub(at(atoms, j), at(atoms, i));
  double Ri = radius(atoms, i, p), Rj = radius(atoms, j, p);
  return dot(d, d) + Ri * Ri - Rj * Rj > 0;
}

namespace {
// Determinant of the rows (x, y, z, 1) of the four centres.
double orientation(int i, int j, int k, int l, const Atoms& atoms) {
  V3 ci = at(atoms, i);
  V3 a = sub(at(atoms, j), ci), b = sub(at(atoms, k), ci), c = sub(at(atoms, l), ci);
  return -det3(a, b, c);
}
}  // namespace

bool nccw(int i, int j, int k, int l, const Atoms& atoms) {
  return orientation(i, j, k, l, atoms) < 0;
}

double tetrahedra_volume(int i, int j, int k, int l, const Atoms& atoms) {
  return std::fabs(orientation(i, j, k, l, atoms)) / 6;
}

double triangle_area(int i, int j, int k, const Atoms& atoms) {
  double a = norm(sub(at(atoms, j), at(atoms, k)));
  double b = norm(sub(at(atoms, i), at(atoms, k)));
  double c = norm(sub(at(atoms, i), at(atoms, j)));
  double s = (a + b + c) / 2;
  return root(s * (s - a) * (s - b) * (s - c));
}

// ---- angles ---------------------------------------------------------------

double angle_dihedral(const double* a, const double* b, const double* q, const double* s) {
  V3 A = at(a), B = at(b), Q = at(q), S = at(s);
  V3 nq = cross(sub(Q, A), sub(Q, B));
  V3 ns = cross(sub(S, A), sub(S, B));
  double c = dot(nq, ns) / (norm(nq) * norm(ns));
  return std::acos(clamp1(c)) / AV_TURN;
}

double vector_angle(const double* a, const double* b, const double* q) {
  V3 A = at(a);
  V3 u = unit(sub(at(b), A)), v = unit(sub(at(q), A));
  double f = std::acos(clamp1(dot(u, v))) / AV_TURN;
  if (f > 0.5) f = 1 - f;
  return f;
}

// ---- composite pieces ------------------------------------------------------
//
// Every composite piece is written once, over a provider G of the primitive
// pieces (power centres, sphere intersection points, cap heights and the
// composites themselves).  The plain functions use a provider that computes
// everything afresh; BallCache remembers what it computed for the atoms of
// one simplex.  Both give the same numbers, bit for bit.

namespace {

template <class G>
void dual_impl(G& g, int i, int j, int k, double* out) {
  const Atoms& atoms = g.atoms();
  double m3[3];
  g.centre3(i, j, k, m3);
  V3 ci = at(atoms, i);
  V3 n = cross(sub(at(atoms, j), ci), sub(at(atoms, k), ci));
  V3 v = sub(at(m3), ci);
  double w = dot(v, n);
  double nn = dot(n, n);
  double Ri = radius(atoms, i, g.probe());
  double t = (root(w * w - dot(v, v) * nn + Ri * Ri * nn) - w) / nn;
  out[0] = m3[0] + t * n.x;
  out[1] = m3[1] + t * n.y;
  out[2] = m3[2] + t * n.z;
}

template <class G>
double height_impl(G& g, int i, int j) {
  const Atoms& atoms = g.atoms();
  double m[3];
  g.centre2(i, j, m);
  double d = norm(sub(at(m), at(atoms, i)));
  double R = radius(atoms, i, g.probe());
  return alf_is_hidden0(i, j, atoms, g.probe()) ? R - d : R + d;
}

// Radius of the radical circle of (i, j) measured on ball i.
template <class G>
double rho(G& g, int i, int j) {
  double R = radius(g.atoms(), i, g.probe());
  double h = g.height(i, j);
  return root((2 * R - h) * h);
}

template <class G>
double cap_volume_impl(G& g, int i, int j) {
  double R = radius(g.atoms(), i, g.probe());
  double h = g.height(i, j);
  double r = root((2 * R - h) * h);
  return (R / 3) * (AV_TWO_PI * R * h) - (1.0 / 3) * (R - h) * AV_PI * r * r;
}

void centre_of(const Atoms& atoms, int i, double* out) { put(at(atoms, i), out); }

// Dihedral angle along (c_i, c_j) between the half-plane towards c_k and
// the one towards the point q.
double dih_to(const Atoms& atoms, int i, int j, int k, const double* q) {
  double a[3], b[3], c[3];
  centre_of(atoms, i, a);
  centre_of(atoms, j, b);
  centre_of(atoms, k, c);
  return angle_dihedral(a, b, c, q);
}

double wedge_angle(const Atoms& atoms, int i, int j, int k, int l) {
  double d[3];
  centre_of(atoms, l, d);
  return dih_to(atoms, i, j, k, d);
}

// Whether the power centre m3 of (i, j, k) lies on c_k's side of the power
// centre m2 of (i, j).
bool hidden1_at(const double* m2, const double* m3, const V3& ck) {
  return dot(sub(at(m3), at(m2)), sub(ck, at(m2))) > 0;
}

template <class G>
bool hidden1_impl(G& g, int i, int j, int k) {
  double m2[3], m3[3];
  g.centre2(i, j, m2);
  g.centre3(i, j, k, m3);
  return hidden1_at(m2, m3, at(g.atoms(), k));
}

template <class G>
double segment_angle_impl(G& g, int i, int j, int k) {
  double plus[3], minus[3];
  g.dual(i, j, k, plus);
  g.dual(i, k, j, minus);
  return dih_to(g.atoms(), i, j, k, plus) + dih_to(g.atoms(), i, j, k, minus);
}

template <class G>
double segment_height_impl(G& g, int i, int j, int k) {
  double m2[3], m3[3];
  g.centre2(i, j, m2);
  g.centre3(i, j, k, m3);
  double r = rho(g, i, j);
  double d = norm(sub(at(m3), at(m2)));
  return hidden1_at(m2, m3, at(g.atoms(), k)) ? r - d : r + d;
}

template <class G>
double segment_area_impl(G& g, int i, int j, int k) {
  double plus[3], minus[3];
  g.dual(i, j, k, plus);
  g.dual(i, k, j, minus);
  double r = rho(g, i, j);
  double chord = norm(sub(at(plus), at(minus)));
  return g.segment_angle(i, j, k) * AV_PI * r * r - chord * (r - g.segment_height(i, j, k)) / 2;
}

template <class G>
double segment2_angle_impl(G& g, int i, int j, int k, int l) {
  double q1[3], q2[3];
  g.dual(i, k, j, q1);
  g.dual(i, j, l, q2);
  const Atoms& atoms = g.atoms();
  return dih_to(atoms, i, j, k, q1) + dih_to(atoms, i, j, l, q2) - g.wedge(i, j, k, l);
}

template <class G>
double segment2_area_impl(G& g, int i, int j, int k, int l) {
  if (nccw(i, j, k, l, g.atoms())) std::swap(k, l);
  double q1[3], q2[3], m4[3];
  g.dual(i, k, j, q1);
  g.dual(i, j, l, q2);
  g.centre4(i, j, k, l, m4);
  double r = rho(g, i, j);
  double sk = g.segment_height(i, j, k);
  double sl = g.segment_height(i, j, l);
  return g.segment2_angle(i, j, k, l) * AV_PI * r * r - (r - sk) * norm(sub(at(q1), at(m4))) / 2 -
         (r - sl) * norm(sub(at(q2), at(m4))) / 2;
}

template <class G>
double cap2_area_impl(G& g, int i, int j, int k) {
  const Atoms& atoms = g.atoms();
  double plus[3], minus[3], ci[3], cj[3], ck[3];
  g.dual(i, j, k, plus);
  g.dual(i, k, j, minus);
  centre_of(atoms, i, ci);
  centre_of(atoms, j, cj);
  centre_of(atoms, k, ck);
  double a = angle_dihedral(ci, plus, cj, ck);
  double b = angle_dihedral(ci, minus, ck, cj);
  double R = radius(atoms, i, g.probe());
  double hij = g.height(i, j), hik = g.height(i, k);
  return AV_TWO_PI * R * R * (1 - a - b) - AV_TWO_PI * R * (R - hij) * g.segment_angle(i, j, k) -
         AV_TWO_PI * R * (R - hik) * g.segment_angle(i, k, j);
}

template <class G>
double cap2_volume_impl(G& g, int i, int j, int k) {
  double R = radius(g.atoms(), i, g.probe());
  double hij = g.height(i, j), hik = g.height(i, k);
  return (R / 3) * g.cap2_area(i, j, k) - ((R - hij) / 3) * segment_area_impl(g, i, j, k) -
         ((R - hik) / 3) * segment_area_impl(g, i, k, j);
}

template <class G>
double cap3_area_impl(G& g, int i, int j, int k, int l) {
  const Atoms& atoms = g.atoms();
  if (nccw(i, j, k, l, atoms)) std::swap(k, l);
  double q1[3], q2[3], q3[3], ci[3], cj[3], ck[3], cl[3];
  g.dual(i, k, j, q1);
  g.dual(i, l, k, q2);
  g.dual(i, j, l, q3);
  centre_of(atoms, i, ci);
  centre_of(atoms, j, cj);
  centre_of(atoms, k, ck);
  centre_of(atoms, l, cl);
  double a = angle_dihedral(ci, q1, ck, cj);
  double b = angle_dihedral(ci, q2, cl, ck);
  double c = angle_dihedral(ci, q3, cj, cl);
  double R = radius(atoms, i, g.probe());
  double hij = g.height(i, j), hik = g.height(i, k), hil = g.height(i, l);
  return AV_TWO_PI * R * R * (1 - a - b - c) -
         AV_TWO_PI * R *
             (g.segment2_angle(i, j, k, l) * (R - hij) + g.segment2_angle(i, k, l, j) * (R - hik) +
              g.segment2_angle(i, l, j, k) * (R - hil));
}

template <class G>
double cap3_volume_impl(G& g, int i, int j, int k, int l) {
  double R = radius(g.atoms(), i, g.probe());
  double hij = g.height(i, j), hik = g.height(i, k), hil = g.height(i, l);
  return (R / 3) * g.cap3_area(i, j, k, l) - ((R - hij) / 3) * segment2_area_impl(g, i, j, k, l) -
         ((R - hik) / 3) * segment2_area_impl(g, i, k, j, l) -
         ((R - hil) / 3) * segment2_area_impl(g, i, l, j, k);
}

template <class G>
Patch patch_impl(G& g, int i, int j, int k) {
  const Atoms& atoms = g.atoms();
  const double p = g.probe();
  double X[3], ci[3], cj[3], ck[3];
  g.dual(i, j, k, X);
  centre_of(atoms, i, ci);
  centre_of(atoms, j, cj);
  centre_of(atoms, k, ck);
  double di = angle_dihedral(X, ci, ck, cj);
  double dj = angle_dihedral(X, cj, ci, ck);
  double dk = angle_dihedral(X, ck, cj, ci);
  Patch out;
  out.area = AV_FOUR_PI * p * p * ((di + dj + dk) / 2 - 0.25);
  out.area_i = out.area_j = out.area_k = out.area / 3;
  out.volume = p * out.area / 3;
  out.volume_i = out.volume_j = out.volume_k = out.volume / 3;
  return out;
}

template <class G>
Torus torus_impl(G& g, int i, int j, int cusp) {
  const Atoms& atoms = g.atoms();
  const double p = g.probe();
  Torus out;
  if (p < 1e-8) return out;
  const double ri = atoms[i].radius, rj = atoms[j].radius;
  const double Ri = ri + p, Rj = rj + p;
  const double h = g.height(i, j);
  const double rho = root((2 * Ri - h) * h);
  const double ai = root(Ri * Ri - rho * rho), aj = root(Rj * Rj - rho * rho);
  const double D = norm(sub(at(atoms, i), at(atoms, j)));
  const double si = clamp1(rho / Ri), sj = clamp1(rho / Rj);
  const double ki = root(1 - si * si), kj = root(1 - sj * sj);
  const double thi = std::acos(si), thj = std::acos(sj);
  const double wi = p * ki, wj = p * kj;

  double area_i, area_j, vol_i, vol_j;
  // Only defined when the torus intersects itself (rho <= p).
  double f0 = 0, c0 = 0, Q = 0, P = 0;
  if (rho > p) {
    area_i = AV_TWO_PI * p * (rho * thi - wi);
    area_j = AV_TWO_PI * p * (rho * thj - wj);
    vol_i = AV_PI * p * p * (rho * thi - 2 * p * ki / 3);
    vol_j = AV_PI * p * p * (rho * thj - 2 * p * kj / 3);
  } else {
    const double u0 = clamp1(rho / p);
    const double k0 = root(1 - u0 * u0);
    f0 = std::acos(u0);
    c0 = p * k0;
    const double W = p * p * (k0 - k0 * k0 * k0 / 3);
    Q = AV_TWO_PI * p * (c0 - rho * f0);
    P = AV_PI * p * (rho * rho * k0 - p * rho * f0 - p * rho * k0 * u0 + W);
    area_i = AV_TWO_PI * p * (rho * (thi - f0) - (wi - c0));
    area_j = AV_TWO_PI * p * (rho * (thj - f0) - (wj - c0));
    const double ei = si * ri, ej = sj * rj;
    const double W2 = W - p * rho * f0;
    vol_i = AV_PI * wi * (ei * ei + rho * rho + rho * ei) / 3 -
            AV_PI * p *
                (rho * rho * ki - p * rho * thi - p * rho * ki * si +
                 p * p * (ki - ki * ki * ki / 3) - W2);
    vol_j = AV_PI * wj * (ej * ej + rho * rho + rho * ej) / 3 -
            AV_PI * p *
                (rho * rho * kj - p * rho * thj - p * rho * kj * sj +
                 p * p * (kj - kj * kj * kj / 3) - W2);
    if (cusp == 0) {
      area_i += Q;
      area_j += Q;
      vol_i -= P;
      vol_j -= P;
    }
  }

  // Split the torus at the radical plane of the atom spheres.
  const double qi = (D * D + ri * ri - rj * rj) / (2 * D);
  const double qj = (D * D + rj * rj - ri * ri) / (2 * D);
  double g0 = 0, u = 0, k = 0, b = 0, t = 0, v = 0, y = 0, z = 0;
  auto pieces = [&](double gv) {
    g0 = gv;
    u = clamp1(g0 / p);
    k = root(1 - u * u);
    b = std::asin(u);
    t = AV_TWO_PI * p * (rho * b - g0);
    v = AV_PI * p * p * (rho * b - 2 * p * u / 3);
    y = rho - p * k;
    z = AV_PI * p * u * (y * y + rho * rho + rho * y) / 3;
  };
  const bool hid_ij = alf_is_hidden0(i, j, atoms, p);
  const bool hid_ji = alf_is_hidden0(j, i, atoms, p);
  if (!hid_ji && hid_ij) {
    pieces(ai - qi);
    out.area_i = area_i - t;
    out.area_j = t - area_j;
    out.volume_i = vol_i - v;
    out.volume_j = v - vol_j;
    out.cone_i = -z;
    out.cone_j = z;
  } else if (!hid_ij && hid_ji) {
    pieces(aj - qj);
    out.area_i = t - area_i;
    out.area_j = area_j - t;
    out.volume_i = v - vol_i;
    out.volume_j = vol_j - v;
    out.cone_i = z;
    out.cone_j = -z;
  } else {
    pieces(std::fabs(ai - qi));
    const double sg = ai < qi ? -1.0 : 1.0;
    if (p < rho) {
      t *= sg;
      v *= sg;
      z *= sg;
      out.area_i = area_i - t;
      out.area_j = area_j + t;
      out.volume_i = vol_i - v;
      out.volume_j = vol_j + v;
      out.cone_i = z;
      out.cone_j = -z;
    } else {
      double vp, Qp;
      if (std::fabs(b) <= std::fabs(f0)) {
        const double y2 = p * k - rho;
        vp = AV_PI * p * u * (rho * y2 + rho * rho + y2 * y2) / 3;
        if (cusp == 0) {
          Qp = AV_TWO_PI * p * (g0 - rho * b);
          vp -= AV_PI * p *
                ((u - u * u * u / 3) * p * p + rho * rho * u - b * p * rho - p * rho * u * k);
        } else {
          Qp = 0;
        }
      } else {
        vp = AV_PI * rho * rho * c0 / 3;
        if (cusp == 0) {
          vp -= P;
          Qp = Q;
        } else {
          Qp = 0;
        }
      }
      vp *= sg;
      Qp *= sg;
      out.area_i = area_i - Qp;
      out.area_j = area_j + Qp;
      out.volume_i = vol_i - vp;
      out.volume_j = vol_j + vp;
      out.cone_i = 0;
      out.cone_j = 0;
    }
  }
  return out;
}

// The provider that remembers nothing.
class Direct {
 public:
  Direct(const Atoms& atoms, double p) : atoms_(atoms), p_(p) {}
  const Atoms& atoms() const { return atoms_; }
  double probe() const { return p_; }
  void centre2(int i, int j, double* out) { power_centre2(atoms_[i], atoms_[j], p_, out); }
  void centre3(int i, int j, int k, double* out) {
    power_centre3(atoms_[i], atoms_[j], atoms_[k], p_, out);
  }
  void centre4(int i, int j, int k, int l, double* out) {
    power_centre4(atoms_[i], atoms_[j], atoms_[k], atoms_[l], p_, out);
  }
  void dual(int i, int j, int k, double* out) { dual_impl(*this, i, j, k, out); }
  double height(int i, int j) { return height_impl(*this, i, j); }
  double segment_angle(int i, int j, int k) { return segment_angle_impl(*this, i, j, k); }
  double segment_height(int i, int j, int k) { return segment_height_impl(*this, i, j, k); }
  double segment2_angle(int i, int j, int k, int l) {
    return segment2_angle_impl(*this, i, j, k, l);
  }
  double wedge(int i, int j, int k, int l) { return wedge_angle(atoms_, i, j, k, l); }
  double cap2_area(int i, int j, int k) { return cap2_area_impl(*this, i, j, k); }
  double cap3_area(int i, int j, int k, int l) { return cap3_area_impl(*this, i, j, k, l); }
  // The composites no provider keeps.
  bool hidden1(int i, int j, int k) { return hidden1_impl(*this, i, j, k); }
  double disk(int i, int j) { return rho(*this, i, j); }
  double cap_volume(int i, int j) { return cap_volume_impl(*this, i, j); }
  double segment_area(int i, int j, int k) { return segment_area_impl(*this, i, j, k); }
  double segment2_area(int i, int j, int k, int l) { return segment2_area_impl(*this, i, j, k, l); }
  double cap2_volume(int i, int j, int k) { return cap2_volume_impl(*this, i, j, k); }
  double cap3_volume(int i, int j, int k, int l) { return cap3_volume_impl(*this, i, j, k, l); }
  Patch patch(int i, int j, int k) { return patch_impl(*this, i, j, k); }
  Torus torus(int i, int j, int cusp) { return torus_impl(*this, i, j, cusp); }

 private:
  const Atoms& atoms_;
  double p_;
};

}  // namespace

// ---- the plain functions -----------------------------------------------------

void triangle_dual(int i, int j, int k, double* out, const Atoms& atoms, double p) {
  Direct(atoms, p).dual(i, j, k, out);
}

bool alf_is_hidden1(int i, int j, int k, const Atoms& atoms, double p) {
  return Direct(atoms, p).hidden1(i, j, k);
}

double cap_height(int i, int j, const Atoms& atoms, double p) {
  return Direct(atoms, p).height(i, j);
}

double cap_area(int i, int j, const Atoms& atoms, double p) {
  double R = radius(atoms, i, p);
  return AV_TWO_PI * R * cap_height(i, j, atoms, p);
}

double cap_volume(int i, int j, const Atoms& atoms, double p) {
  return Direct(atoms, p).cap_volume(i, j);
}

double disk_radius(int i, int j, const Atoms& atoms, double p) {
  return Direct(atoms, p).disk(i, j);
}

double disk_length(int i, int j, const Atoms& atoms, double p) {
  return AV_TWO_PI * disk_radius(i, j, atoms, p);
}

double lens_seg_length(int i, int j, const Atoms& atoms, double p) {
  double R = radius(atoms, i, p);
  return 2 * std::fabs(std::asin(clamp1(disk_radius(i, j, atoms, p) / R))) * R;
}

double lens_seg_area(int i, int j, const Atoms& atoms, double p) {
  double R = radius(atoms, i, p);
  double g = 2 * std::fabs(std::asin(clamp1(disk_radius(i, j, atoms, p) / R)));
  return (g - std::sin(g)) * R * R / 2;
}

double pie_area(int i, int j, int k, const Atoms& atoms, double p) {
  V3 ci = at(atoms, i);
  V3 u = unit(sub(at(atoms, j), ci)), v = unit(sub(at(atoms, k), ci));
  double R = radius(atoms, i, p);
  return std::acos(clamp1(dot(u, v))) * R * R / 2;
}

double pie_length(int i, int j, int k, const Atoms& atoms, double p) {
  double a[3], b[3], c[3];
  centre_of(atoms, i, a);
  centre_of(atoms, j, b);
  centre_of(atoms, k, c);
  return vector_angle(a, b, c) * AV_TWO_PI * radius(atoms, i, p);
}

double wedge_area(int i, int j, int k, int l, const Atoms& atoms, double p) {
  double R = radius(atoms, i, p);
  return wedge_angle(atoms, i, j, k, l) * AV_TWO_PI * R * cap_height(i, j, atoms, p);
}

double wedge_volume(int i, int j, int k, int l, const Atoms& atoms, double p) {
  return wedge_angle(atoms, i, j, k, l) * cap_volume(i, j, atoms, p);
}

double wedge_length(int i, int j, int k, int l, const Atoms& atoms, double p) {
  return wedge_angle(atoms, i, j, k, l) * AV_TWO_PI * disk_radius(i, j, atoms, p);
}

double segment_angle(int i, int j, int k, const Atoms& atoms, double p) {
  return Direct(atoms, p).segment_angle(i, j, k);
}

double segment_height(int i, int j, int k, const Atoms& atoms, double p) {
  return Direct(atoms, p).segment_height(i, j, k);
}

double segment_area(int i, int j, int k, const Atoms& atoms, double p) {
  return Direct(atoms, p).segment_area(i, j, k);
}

double segment_length(int i, int j, int k, const Atoms& atoms, double p) {
  return AV_TWO_PI * disk_radius(i, j, atoms, p) * segment_angle(i, j, k, atoms, p);
}

double segment2_angle(int i, int j, int k, int l, const Atoms& atoms, double p) {
  return Direct(atoms, p).segment2_angle(i, j, k, l);
}

double segment2_length(int i, int j, int k, int l, const Atoms& atoms, double p) {
  return AV_TWO_PI * disk_radius(i, j, atoms, p) * segment2_angle(i, j, k, l, atoms, p);
}

double segment2_area(int i, int j, int k, int l, const Atoms& atoms, double p) {
  return Direct(atoms, p).segment2_area(i, j, k, l);
}

double cap2_area(int i, int j, int k, const Atoms& atoms, double p) {
  return Direct(atoms, p).cap2_area(i, j, k);
}

double cap2_volume(int i, int j, int k, const Atoms& atoms, double p) {
  return Direct(atoms, p).cap2_volume(i, j, k);
}

double pawn_area(int i, int j, int k, const Atoms& atoms, double p) {
  return cap2_area(i, j, k, atoms, p) / 2;
}

double pawn_volume(int i, int j, int k, const Atoms& atoms, double p) {
  return cap2_volume(i, j, k, atoms, p) / 2;
}

double pawn_length(int i, int j, int k, const Atoms& atoms, double p) {
  return (AV_TWO_PI * disk_radius(i, j, atoms, p) * segment_angle(i, j, k, atoms, p) +
          AV_TWO_PI * disk_radius(i, k, atoms, p) * segment_angle(i, k, j, atoms, p) +
          AV_TWO_PI * disk_radius(j, k, atoms, p) * segment_angle(j, k, i, atoms, p)) /
         2;
}

double cap3_area(int i, int j, int k, int l, const Atoms& atoms, double p) {
  return Direct(atoms, p).cap3_area(i, j, k, l);
}

double cap3_volume(int i, int j, int k, int l, const Atoms& atoms, double p) {
  return Direct(atoms, p).cap3_volume(i, j, k, l);
}

namespace {
// Solid angle of the tetrahedron (v, a, b, c) at v, as a fraction of the
// whole sphere.
double solid_fraction(int v, int a, int b, int c, const Atoms& atoms) {
  double cv[3], ca[3], cb[3], cc[3];
  centre_of(atoms, v, cv);
  centre_of(atoms, a, ca);
  centre_of(atoms, b, cb);
  centre_of(atoms, c, cc);
  return (angle_dihedral(cv, ca, cc, cb) + angle_dihedral(cv, cb, ca, cc) +
          angle_dihedral(cv, cc, cb, ca)) /
             2 -
         0.25;
}
}  // namespace

double sector_area(int v, int a, int b, int c, const Atoms& atoms, double p) {
  double R = radius(atoms, v, p);
  return solid_fraction(v, a, b, c, atoms) * AV_FOUR_PI * R * R;
}

double sector_volume(int v, int a, int b, int c, const Atoms& atoms, double p) {
  double R = radius(atoms, v, p);
  return solid_fraction(v, a, b, c, atoms) * AV_FOUR_PI_THIRD * R * R * R;
}

// ---- number-only closed forms ----------------------------------------------

double radical_vdw(double a, double b, double c, double* s, double* q, double* ang) {
  *s = a / b;
  *q = std::sqrt(1 - (*s) * (*s));
  *ang = std::asin(*s);
  return c / *q;
}

double vol_round_pyramid(double a, double b) { return AV_PI * a * a * b / 3; }

double vol_cone_frustum(double a, double b, double c) {
  return AV_PI * c * (a * a + a * b + b * b) / 3;
}

double vol_torus_fract(double a, double b, double c, double d) {
  return AV_PI * c * c * (b * d - 2 * c * a / 3);
}

double vol_spindle(double a, double b, double c, double d, double e) {
  return AV_PI * e * ((b - b * b * b / 3) * e * e + d * d * b - a * e * d - e * d * b * c);
}

double vol_round_cone(double a, double b, double c, double d, double e, double f, double g) {
  return AV_PI * g *
         (f * f * d - b * g * f - g * f * d * e + g * g * (d - d * d * d / 3) -
          g * g * (c - c * c * c / 3) + g * f * a);
}

// ---- probe-surface pieces -----------------------------------------------------

Shell shell(int v, double A, const Atoms& atoms, double p) {
  double r = atoms[v].radius;
  double R = r + p;
  Shell s;
  s.area = A * r * r / (R * R);
  s.volume = (A * R - r * s.area) / 3;
  return s;
}

Annulus annulus(int v, double L, const Atoms& atoms, double p) {
  double r = atoms[v].radius;
  double R = r + p;
  Annulus a;
  a.length = r * L / R;
  a.area = (L + a.length) * p / 2;
  return a;
}

Fan fan(int i, int j, const Atoms& atoms, double p) {
  double Ri = radius(atoms, i, p), Rj = radius(atoms, j, p);
  double r = disk_radius(i, j, atoms, p);
  double f = std::acos(clamp1(r / Ri)) + std::acos(clamp1(r / Rj));
  Fan out;
  out.area = p * p * f / 2;
  if (p > r) {
    double g = 2 * std::acos(clamp1(r / p));
    out.area -= p * p * (g - std::sin(g)) / 2;
  }
  out.length = p * f;
  return out;
}

Patch patch(int i, int j, int k, const Atoms& atoms, double p) {
  return Direct(atoms, p).patch(i, j, k);
}

Torus torus(int i, int j, const Atoms& atoms, double p, int cusp) {
  return Direct(atoms, p).torus(i, j, cusp);
}

// ---- BallCache ------------------------------------------------------------------

BallCache::BallCache(const Atoms& atoms, double p)
    : atoms_(atoms), p_(p), local_(atoms.size(), -1) {
  const int none[1] = {-1};
  reset(none, 0);
}

void BallCache::reset(const int* vertices, int n) {
  for (int k = 0; k < n_; ++k) local_[vertex_[k]] = -1;
  n_ = n < 4 ? n : 4;
  for (int k = 0; k < n_; ++k) {
    vertex_[k] = vertices[k];
    local_[vertices[k]] = static_cast<signed char>(k);
  }
  if (++generation_ == 0) {
    // The stamps wrapped around: forget everything explicitly.
    clear_all();
    generation_ = 1;
  }
}

void BallCache::clear_all() {
  for (Slot& e : centre2_) e.stamp = 0;
  for (Slot& e : centre3_) e.stamp = 0;
  for (Slot& e : centre4_) e.stamp = 0;
  for (Slot& e : dual_) e.stamp = 0;
  for (Slot& e : height_) e.stamp = 0;
  for (Slot& e : segment_) e.stamp = 0;
  for (Slot& e : segment_height_) e.stamp = 0;
  for (Slot& e : segment2_) e.stamp = 0;
  for (Slot& e : cap2_) e.stamp = 0;
  for (Slot& e : cap3_) e.stamp = 0;
  for (Slot& e : wedge_) e.stamp = 0;
}

int BallCache::local(int i) const { return local_[i]; }

// Slot of the table for the local positions of the given atoms, or null when
// one of them is not a vertex of the current simplex.
BallCache::Slot* BallCache::slot(Slot* table, const int* key, int n) {
  int index = 0;
  for (int m = 0; m < n; ++m) {
    int k = local(key[m]);
    if (k < 0) return nullptr;
    index = index * 4 + k;
  }
  return &table[index];
}

// The point kept for these atoms, or the one compute() writes to out, kept
// when the atoms are all vertices of the current simplex.
template <class Compute>
void BallCache::recall(Slot* table, std::initializer_list<int> key, double* out, Compute compute) {
  Slot* e = slot(table, key.begin(), static_cast<int>(key.size()));
  if (e != nullptr && e->stamp == generation_) {
    for (int m = 0; m < 3; ++m) out[m] = e->value[m];
    return;
  }
  compute();
  if (e != nullptr) {
    for (int m = 0; m < 3; ++m) e->value[m] = out[m];
    e->stamp = generation_;
  }
}

// The same for a number.
template <class Compute>
double BallCache::recall(Slot* table, std::initializer_list<int> key, Compute compute) {
  Slot* e = slot(table, key.begin(), static_cast<int>(key.size()));
  if (e != nullptr && e->stamp == generation_) return e->value[0];
  const double value = compute();
  if (e != nullptr) {
    e->value[0] = value;
    e->stamp = generation_;
  }
  return value;
}

void BallCache::centre2(int i, int j, double* out) {
  recall(centre2_, {i, j}, out, [&] { power_centre2(atoms_[i], atoms_[j], p_, out); });
}

void BallCache::centre3(int i, int j, int k, double* out) {
  recall(centre3_, {i, j, k}, out,
         [&] { power_centre3(atoms_[i], atoms_[j], atoms_[k], p_, out); });
}

void BallCache::centre4(int i, int j, int k, int l, double* out) {
  recall(centre4_, {i, j, k, l}, out,
         [&] { power_centre4(atoms_[i], atoms_[j], atoms_[k], atoms_[l], p_, out); });
}

void BallCache::dual(int i, int j, int k, double* out) {
  recall(dual_, {i, j, k}, out, [&] { dual_impl(*this, i, j, k, out); });
}

double BallCache::height(int i, int j) {
  return recall(height_, {i, j}, [&] { return height_impl(*this, i, j); });
}

double BallCache::segment_angle(int i, int j, int k) {
  return recall(segment_, {i, j, k}, [&] { return segment_angle_impl(*this, i, j, k); });
}

double BallCache::segment_height(int i, int j, int k) {
  return recall(segment_height_, {i, j, k}, [&] { return segment_height_impl(*this, i, j, k); });
}

double BallCache::segment2_angle(int i, int j, int k, int l) {
  return recall(segment2_, {i, j, k, l}, [&] { return segment2_angle_impl(*this, i, j, k, l); });
}

double BallCache::cap2_area(int i, int j, int k) {
  return recall(cap2_, {i, j, k}, [&] { return cap2_area_impl(*this, i, j, k); });
}

double BallCache::cap3_area(int i, int j, int k, int l) {
  return recall(cap3_, {i, j, k, l}, [&] { return cap3_area_impl(*this, i, j, k, l); });
}

// The angle does not depend on the order of the ends nor of the other two
// vertices (to the last bit), so one slot serves each edge.
double BallCache::wedge(int i, int j, int k, int l) {
  const int a = local(i), b = local(j), c = local(k), d = local(l);
  if (a < 0 || b < 0 || c < 0 || d < 0 || ((1 << a) | (1 << b) | (1 << c) | (1 << d)) != 15)
    return wedge_angle(atoms_, i, j, k, l);
  Slot& e = wedge_[a < b ? 4 * a + b : 4 * b + a];
  if (e.stamp != generation_) {
    e.value[0] = wedge_angle(atoms_, i, j, k, l);
    e.stamp = generation_;
  }
  return e.value[0];
}

double BallCache::cap_volume(int i, int j) { return cap_volume_impl(*this, i, j); }
double BallCache::cap2_volume(int i, int j, int k) { return cap2_volume_impl(*this, i, j, k); }
double BallCache::cap3_volume(int i, int j, int k, int l) {
  return cap3_volume_impl(*this, i, j, k, l);
}
Patch BallCache::patch(int i, int j, int k) { return patch_impl(*this, i, j, k); }
Torus BallCache::torus(int i, int j, int cusp) { return torus_impl(*this, i, j, cusp); }
