// The probe-surface pieces of the molecular surface.
#include "measure/probesurface.h"

#include <cmath>

using namespace ballmath;

Annulus annulus(double L, double r, double probe) {
  const double R = r + probe;
  Annulus a;
  a.length = r * L / R;
  a.area = (L + a.length) * probe / 2;
  return a;
}

Fan fan(const Ball& a, const Ball& b, double probe) {
  const double r = disk_radius(a, b);
  const double f = std::acos(clamp1(r / a.R)) + std::acos(clamp1(r / b.R));
  Fan out;
  out.area = probe * probe * f / 2;
  if (probe > r) {
    const double g = 2 * std::acos(clamp1(r / probe));
    out.area -= probe * probe * (g - std::sin(g)) / 2;
  }
  out.length = probe * f;
  return out;
}

Patch patch(const Ball& a, const Ball& b, const Ball& c, double probe) {
  const V3 X = triangle_dual(a, b, c);
  return patch_of_area(patch_area_of(dihedral(X, a.c, c.c, b.c), dihedral(X, b.c, a.c, c.c),
                                     dihedral(X, c.c, b.c, a.c), probe),
                       probe);
}

Torus torus(const Ball& a, double ra, const Ball& b, double rb, double probe, int cusp) {
  return torus_of(ra, rb, probe, cap_height(a, b), norm(sub(a.c, b.c)), alf_is_hidden0(a, b),
                  alf_is_hidden0(b, a), cusp);
}

Torus torus_of(double ri, double rj, double probe, double h, double D, bool hid_ij, bool hid_ji,
               int cusp) {
  Torus out;
  if (probe < 1e-8) return out;
  const double Ri = ri + probe, Rj = rj + probe;
  const double rho = root((2 * Ri - h) * h);
  const double ai = root(Ri * Ri - rho * rho), aj = root(Rj * Rj - rho * rho);
  const double si = clamp1(rho / Ri), sj = clamp1(rho / Rj);
  const double ki = root(1 - si * si), kj = root(1 - sj * sj);
  const double thi = std::acos(si), thj = std::acos(sj);
  const double wi = probe * ki, wj = probe * kj;

  double area_i, area_j, vol_i, vol_j;
  // Only defined when the torus intersects itself (rho <= probe).
  double f0 = 0, c0 = 0, Q = 0, P = 0;
  if (rho > probe) {
    area_i = AV_TWO_PI * probe * (rho * thi - wi);
    area_j = AV_TWO_PI * probe * (rho * thj - wj);
    vol_i = AV_PI * probe * probe * (rho * thi - 2 * probe * ki / 3);
    vol_j = AV_PI * probe * probe * (rho * thj - 2 * probe * kj / 3);
  } else {
    const double u0 = clamp1(rho / probe);
    const double k0 = root(1 - u0 * u0);
    f0 = std::acos(u0);
    c0 = probe * k0;
    const double W = probe * probe * (k0 - k0 * k0 * k0 / 3);
    Q = AV_TWO_PI * probe * (c0 - rho * f0);
    P = AV_PI * probe * (rho * rho * k0 - probe * rho * f0 - probe * rho * k0 * u0 + W);
    area_i = AV_TWO_PI * probe * (rho * (thi - f0) - (wi - c0));
    area_j = AV_TWO_PI * probe * (rho * (thj - f0) - (wj - c0));
    const double ei = si * ri, ej = sj * rj;
    const double W2 = W - probe * rho * f0;
    vol_i = AV_PI * wi * (ei * ei + rho * rho + rho * ei) / 3 -
            AV_PI * probe *
                (rho * rho * ki - probe * rho * thi - probe * rho * ki * si +
                 probe * probe * (ki - ki * ki * ki / 3) - W2);
    vol_j = AV_PI * wj * (ej * ej + rho * rho + rho * ej) / 3 -
            AV_PI * probe *
                (rho * rho * kj - probe * rho * thj - probe * rho * kj * sj +
                 probe * probe * (kj - kj * kj * kj / 3) - W2);
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
    u = clamp1(g0 / probe);
    k = root(1 - u * u);
    b = std::asin(u);
    t = AV_TWO_PI * probe * (rho * b - g0);
    v = AV_PI * probe * probe * (rho * b - 2 * probe * u / 3);
    y = rho - probe * k;
    z = AV_PI * probe * u * (y * y + rho * rho + rho * y) / 3;
  };
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
    if (probe < rho) {
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
        const double y2 = probe * k - rho;
        vp = AV_PI * probe * u * (rho * y2 + rho * rho + y2 * y2) / 3;
        if (cusp == 0) {
          Qp = AV_TWO_PI * probe * (g0 - rho * b);
          vp -= AV_PI * probe *
                ((u - u * u * u / 3) * probe * probe + rho * rho * u - b * probe * rho -
                 probe * rho * u * k);
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

// In the directions of the cone at angle t from the axis (cos t >= e / R)
// the shell runs from r out to the plane at e / cos t, where the ray enters
// the atom's own cell.
double shell_before_plane(double r, double R, double e) {
  if (r < 0) r = 0;  // an atom of radius 0 has the whole cone in its shell
  if (e < r) return AV_PI * e * (R - r) * (R - r) * (R + 2 * r) / (3 * R);
  return AV_PI * (R * R - e * e) * e / 3 - 2 * AV_PI / 3 * r * r * r * (1 - e / R);
}

// While each centre lies in its own cell, the split at the plane of the atom
// spheres stays as it is.  When the centre of one atom lies beyond the
// radical plane, in its neighbour's cell, so does the whole region that the
// probe sweeps along the circle, and so does the part of the atom's own
// shell between its centre and the plane: the neighbour takes both, and the
// atom keeps only what lies in its cell.
void split_by_cells(Torus& t, double ri, double rj, double probe, double hi, double hj,
                    bool i_beyond, bool j_beyond) {
  const double Ri = ri + probe, Rj = rj + probe;
  if (i_beyond == j_beyond) return;
  const double swept = (t.volume_i + t.cone_i) + (t.volume_j + t.cone_j);
  if (j_beyond) {
    const double x = shell_before_plane(rj, Rj, hj - Rj);
    t.volume_i = swept + x;
    t.volume_j = -x;
  } else {
    const double x = shell_before_plane(ri, Ri, hi - Ri);
    t.volume_i = -x;
    t.volume_j = swept + x;
  }
  t.cone_i = t.cone_j = 0;
}
