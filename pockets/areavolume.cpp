#include "pockets/areavolume.h"

#include "measure/volumeareashortnew.h"

namespace {

void centre_of(const info& a, double* out) {
  out[0] = a.x;
  out[1] = a.y;
  out[2] = a.z;
}

// Each term adds onto the measures of pocket s.

// The part of ball x inside the tetrahedron's solid angle at x.  A ball
// shrunk to nothing by a negative alpha has no part.
void vertex_term(int x, int y, int z, int w, const Atoms& atoms, double p, pocket& s) {
  if (!(atoms[x].radius + p > 0.0)) return;
  const double area = sector_area(x, y, z, w, atoms, p);
  const double volume = sector_volume(x, y, z, w, atoms, p);
  const Shell sh = shell(x, area, atoms, p);
  s.area_sa += area;
  s.volume_sa -= volume;
  s.area_ms += sh.area;
  s.volume_ms += sh.volume - volume;
}

// The two caps cut off by the radical plane of an overlapping pair, within
// the tetrahedron's wedge at the edge.
void edge_term(int a, int b, int c, int d, const Atoms& atoms, double p, int cusp, pocket& s) {
  double pa[3], pb[3], pc[3], pd[3];
  centre_of(atoms[a], pa);
  centre_of(atoms[b], pb);
  centre_of(atoms[c], pc);
  centre_of(atoms[d], pd);
  const double ra = atoms[a].radius + p;
  const double rb = atoms[b].radius + p;
  const double q = angle_dihedral(pa, pb, pc, pd);
  const double cap_v = q * (cap_volume(a, b, atoms, p) + cap_volume(b, a, atoms, p));
  const double cap_a = q * cap_height(a, b, atoms, p) * ra * 6.2831853;
  const double cap_b = q * cap_height(b, a, atoms, p) * rb * 6.2831853;
  const Shell sa = shell(a, cap_a, atoms, p);
  const Shell sb = shell(b, cap_b, atoms, p);
  const Torus t = torus(a, b, atoms, p, cusp);
  s.volume_sa += cap_v;
  s.area_sa -= cap_a + cap_b;
  s.volume_ms += cap_v + q * (t.volume_i + t.volume_j) - (sa.volume + sb.volume);
  s.area_ms += q * t.area_i + q * t.area_j - (sa.area + sb.area);
  s.length += wedge_length(a, b, c, d, atoms, p);
}

// The pieces of three overlapping balls in the face's wedge, half per side.
void triangle_term(int a, int b, int c, const Atoms& atoms, double p, int cusp, pocket& s) {
  const double area_a = cap2_area(a, b, c, atoms, p);
  const double area_b = cap2_area(b, a, c, atoms, p);
  const double area_c = cap2_area(c, a, b, atoms, p);
  const double cap_v = 0.5 * (cap2_volume(a, b, c, atoms, p) + cap2_volume(b, a, c, atoms, p) +
                              cap2_volume(c, a, b, atoms, p));
  const Shell sa = shell(a, 0.5 * area_a, atoms, p);
  const Shell sb = shell(b, 0.5 * area_b, atoms, p);
  const Shell sc = shell(c, 0.5 * area_c, atoms, p);
  const Torus tab = torus(a, b, atoms, p, cusp);
  const Torus tac = torus(a, c, atoms, p, cusp);
  const Torus tbc = torus(b, c, atoms, p, cusp);
  const Patch q = patch(a, b, c, atoms, p);
  const double gab = segment_angle(a, b, c, atoms, p);
  const double gac = segment_angle(a, c, b, atoms, p);
  const double gbc = segment_angle(b, c, a, atoms, p);
  s.volume_sa -= cap_v;
  s.area_sa += 0.5 * (area_a + area_b + area_c);
  s.volume_ms += q.volume - cap_v -
                 0.5 * (gab * (tab.volume_i + tab.volume_j) + gac * (tac.volume_i + tac.volume_j) +
                        gbc * (tbc.volume_i + tbc.volume_j)) +
                 sa.volume + sb.volume + sc.volume;
  s.area_ms += q.area + sa.area + sb.area + sc.area -
               0.5 * (gab * (tab.area_i + tab.area_j) + gac * (tac.area_i + tac.area_j) +
                      gbc * (tbc.area_i + tbc.area_j));
  s.length -= pawn_length(a, b, c, atoms, p);
  s.cnr += 1;
}

void tetrahedron_terms(const tetra& t, const Atoms& atoms, double p, pocket& s) {
  const int i0 = t.v[0]->index, i1 = t.v[1]->index, i2 = t.v[2]->index, i3 = t.v[3]->index;
  const double tv = tetrahedra_volume(i0, i1, i2, i3, atoms);
  s.volume_sa += tv;
  s.volume_ms += tv;
  vertex_term(i0, i1, i2, i3, atoms, p, s);
  vertex_term(i1, i0, i2, i3, atoms, p, s);
  vertex_term(i2, i0, i1, i3, atoms, p, s);
  vertex_term(i3, i0, i1, i2, atoms, p, s);
  // Edges in the order (01), (02), (03), (13), (12), (23), each with the
  // other two vertices; t.edges is stored (01), (02), (03), (12), (13), (23).
  if (t.edges[0]->in_complex) edge_term(i0, i1, i2, i3, atoms, p, 0, s);
  if (t.edges[1]->in_complex) edge_term(i0, i2, i1, i3, atoms, p, 0, s);
  if (t.edges[2]->in_complex) edge_term(i0, i3, i1, i2, atoms, p, 0, s);
  if (t.edges[4]->in_complex) edge_term(i1, i3, i0, i2, atoms, p, 0, s);
  if (t.edges[3]->in_complex) edge_term(i1, i2, i0, i3, atoms, p, 0, s);
  if (t.edges[5]->in_complex) edge_term(i2, i3, i0, i1, atoms, p, 0, s);
  if (t.faces[0]->in_complex) triangle_term(i0, i1, i2, atoms, p, 0, s);
  if (t.faces[1]->in_complex) triangle_term(i0, i1, i3, atoms, p, 0, s);
  if (t.faces[2]->in_complex) triangle_term(i0, i2, i3, atoms, p, 0, s);
  if (t.faces[3]->in_complex) triangle_term(i1, i2, i3, atoms, p, 0, s);
}

}  // namespace

void pocketsareavolume(std::vector<info>& atoms, std::vector<pocket>& pockets, int /*pymol*/,
                       double probe, double /*alpha*/) {
  number_pockets(pockets);
  for (pocket& p : pockets) {
    p.area_sa = p.area_ms = p.volume_sa = p.volume_ms = p.length = 0.0;
    p.cnr = 0;
    for (const tetra* t : p.tetrahedra) tetrahedron_terms(*t, atoms, probe, p);
  }
}

void do_pocket_vertex(int a, int b, int c, int d, int k, std::vector<info>& atoms,
                      std::vector<pocket>& pockets, double probe) {
  vertex_term(a, b, c, d, atoms, probe, pockets[k]);
}

void do_pocket_edge(int a, int b, int c, int d, int k, std::vector<info>& atoms,
                    std::vector<pocket>& pockets, double probe, int cusp) {
  edge_term(a, b, c, d, atoms, probe, cusp, pockets[k]);
}

void do_pocket_triangle(int a, int b, int c, int /*d*/, int k, std::vector<info>& atoms,
                        std::vector<pocket>& pockets, double probe, int cusp) {
  triangle_term(a, b, c, atoms, probe, cusp, pockets[k]);
}
