// Per-atom area and volume of the union of probe-expanded balls (letter q).
//
// The measure is an inclusion-exclusion over the alpha complex: every vertex
// adds its whole ball, every edge of the complex removes the two caps cut by
// its radical plane, every triangle adds back the pieces in its wedge, every
// tetrahedron removes the pieces in its solid angle.  The molecular surface
// replaces each piece of the expanded sphere by its image on the atom sphere
// and adds the re-entrant torus and probe-patch pieces.  The terms are added
// while the simplex list is walked, in its order.
#include "measure/areavolume.h"

#include <string>
#include <vector>

#include "measure/ballcache.h"
#include "measure/complexbuild.h"
#include "measure/contribreport.h"
#include "structure/bead.h"

namespace {

double R_of(const info& a, double p) { return a.radius + p; }

// The piece of the atom sphere under an area A of the expanded sphere, and
// the volume between the two.  An expanded ball that a negative alpha makes
// smaller than the probe leaves an atom of radius 0: no contact area, and
// the whole cone down to the centre lies between.  (The plain mapping would
// put a sphere of negative radius on the other side of the centre: a
// contact area above the expanded one and a negative volume.)
Shell atom_shell(int v, double A, const Atoms& atoms, double p) {
  if (atoms[v].radius >= 0) return shell(v, A, atoms, p);
  Shell s;
  s.volume = A * R_of(atoms[v], p) / 3;
  return s;
}

// The torus of an edge is needed by the edge and again by every triangle and
// tetrahedron of the complex around it: keep it per edge and direction.
class TorusCache {
 public:
  TorusCache(std::size_t edges, int cusp) : values_(2 * edges), have_(2 * edges, 0), cusp_(cusp) {}
  const Torus& get(const edge* e, int i, BallCache& g) {
    const std::size_t k = 2 * static_cast<std::size_t>(e->id - 1) + (e->v[0]->index == i ? 0 : 1);
    if (!have_[k]) {
      const int j = e->v[0]->index == i ? e->v[1]->index : e->v[0]->index;
      values_[k] = g.torus(i, j, cusp_);
      have_[k] = 1;
    }
    return values_[k];
  }

 private:
  std::vector<Torus> values_;
  std::vector<char> have_;
  int cusp_;
};

// ---- terms of one simplex ------------------------------------------------

void tetra_terms(const tetra& T, Atoms& atoms, double p, int type, BallCache& g, TorusCache& tori,
                 OpenShares& shares) {
  const int i = T.v[0]->index, j = T.v[1]->index, k = T.v[2]->index, l = T.v[3]->index;
  info &I = atoms[i], &J = atoms[j], &K = atoms[k], &L = atoms[l];
  const int vertices[4] = {i, j, k, l};
  g.reset(vertices, 4);

  // The dihedral angles at the six edges, in edge order: they close part of
  // the vertices and edges, and the circle arcs below use them again.
  const double dihedrals[6] = {g.wedge(i, j, k, l), g.wedge(i, k, j, l), g.wedge(i, l, j, k),
                               g.wedge(j, k, i, l), g.wedge(j, l, i, k), g.wedge(k, l, i, j)};
  shares.add(T, dihedrals);

  const double Ai = g.cap3_area(i, j, k, l), Aj = g.cap3_area(j, i, k, l),
               Ak = g.cap3_area(k, i, j, l), Al = g.cap3_area(l, i, j, k);
  const Shell Si = atom_shell(i, Ai, atoms, p), Sj = atom_shell(j, Aj, atoms, p),
              Sk = atom_shell(k, Ak, atoms, p), Sl = atom_shell(l, Al, atoms, p);

  const double gij = g.segment2_angle(i, j, k, l), gik = g.segment2_angle(i, k, j, l),
               gil = g.segment2_angle(i, l, j, k), gjk = g.segment2_angle(j, k, i, l),
               gjl = g.segment2_angle(j, l, i, k), gkl = g.segment2_angle(k, l, i, j);
  const Torus &Tij = tori.get(T.edges[0], i, g), &Tik = tori.get(T.edges[1], i, g),
              &Til = tori.get(T.edges[2], i, g), &Tjk = tori.get(T.edges[3], j, g),
              &Tjl = tori.get(T.edges[4], j, g), &Tkl = tori.get(T.edges[5], k, g);
  const Patch Pijk = g.patch(i, j, k), Pijl = g.patch(i, j, l), Pikl = g.patch(i, k, l),
              Pjkl = g.patch(j, k, l);

  if (type == 4) {
    const double Vi = g.cap3_volume(i, j, k, l), Vj = g.cap3_volume(j, i, k, l),
                 Vk = g.cap3_volume(k, i, j, l), Vl = g.cap3_volume(l, i, j, k);
    I.volume_sa -= Vi;
    J.volume_sa -= Vj;
    K.volume_sa -= Vk;
    L.volume_sa -= Vl;
    I.volume_ms -= gij * Tij.volume_i + gik * Tik.volume_i + gil * Til.volume_i + Vi +
                   gij * Tij.cone_i + gik * Tik.cone_i + gil * Til.cone_i;
    J.volume_ms -= gij * Tij.volume_j + gjk * Tjk.volume_i + gjl * Tjl.volume_i + Vj +
                   gij * Tij.cone_j + gjk * Tjk.cone_i + gjl * Tjl.cone_i;
    K.volume_ms -= gik * Tik.volume_j + gjk * Tjk.volume_j + gkl * Tkl.volume_i + Vk +
                   gik * Tik.cone_j + gjk * Tjk.cone_j + gkl * Tkl.cone_i;
    L.volume_ms -= gil * Til.volume_j + gjl * Tjl.volume_j + gkl * Tkl.volume_j + Vl +
                   gil * Til.cone_j + gjl * Tjl.cone_j + gkl * Tkl.cone_j;
    I.volume_ms += Pijk.volume_i + Pijl.volume_i + Pikl.volume_i + Si.volume;
    J.volume_ms += Pijk.volume_j + Pijl.volume_j + Pjkl.volume_i + Sj.volume;
    K.volume_ms += Pijk.volume_k + Pikl.volume_j + Pjkl.volume_j + Sk.volume;
    L.volume_ms += Pijl.volume_k + Pikl.volume_k + Pjkl.volume_k + Sl.volume;
  }

  I.area_sa -= Ai;
  J.area_sa -= Aj;
  K.area_sa -= Ak;
  L.area_sa -= Al;
  I.area_ms -= Pijk.area_i + Pijl.area_i + Pikl.area_i + Si.area;
  J.area_ms -= Pijk.area_j + Pijl.area_j + Pjkl.area_i + Sj.area;
  K.area_ms -= Pijk.area_k + Pikl.area_j + Pjkl.area_j + Sk.area;
  L.area_ms -= Pijl.area_k + Pikl.area_k + Pjkl.area_k + Sl.area;
  I.area_ms += gij * Tij.area_i + gik * Tik.area_i + gil * Til.area_i;
  J.area_ms += gij * Tij.area_j + gjk * Tjk.area_i + gjl * Tjl.area_i;
  K.area_ms += gik * Tik.area_j + gjk * Tjk.area_j + gkl * Tkl.area_i;
  L.area_ms += gil * Til.area_j + gjl * Tjl.area_j + gkl * Tkl.area_j;
}

void tria_terms(const tria& F, Atoms& atoms, double p, int type, BallCache& g, TorusCache& tori) {
  const int i = F.v[0]->index, j = F.v[1]->index, k = F.v[2]->index;
  info &I = atoms[i], &J = atoms[j], &K = atoms[k];
  const double y = F.solidangletriangle();
  const int vertices[3] = {i, j, k};
  g.reset(vertices, 3);

  const double Ai = g.cap2_area(i, j, k), Aj = g.cap2_area(j, i, k), Ak = g.cap2_area(k, i, j);
  const Shell Si = atom_shell(i, Ai, atoms, p), Sj = atom_shell(j, Aj, atoms, p),
              Sk = atom_shell(k, Ak, atoms, p);
  const Torus &Tij = tori.get(F.e[0], i, g), &Tik = tori.get(F.e[1], i, g),
              &Tjk = tori.get(F.e[2], j, g);
  const double sij = g.segment_angle(i, j, k), sik = g.segment_angle(i, k, j),
               sjk = g.segment_angle(j, k, i);
  const Patch P = g.patch(i, j, k);

  if (type == 4) {
    const double Vi = g.cap2_volume(i, j, k), Vj = g.cap2_volume(j, i, k),
                 Vk = g.cap2_volume(k, i, j);
    I.volume_sa += Vi;
    J.volume_sa += Vj;
    K.volume_sa += Vk;
    I.volume_ms +=
        sij * Tij.volume_i + sik * Tik.volume_i + Vi + sij * Tij.cone_i + sik * Tik.cone_i;
    J.volume_ms +=
        sij * Tij.volume_j + sjk * Tjk.volume_i + Vj + sij * Tij.cone_j + sjk * Tjk.cone_i;
    K.volume_ms +=
        sik * Tik.volume_j + sjk * Tjk.volume_j + Vk + sik * Tik.cone_j + sjk * Tjk.cone_j;
    I.volume_ms -= 2 * P.volume_i + Si.volume;
    J.volume_ms -= 2 * P.volume_j + Sj.volume;
    K.volume_ms -= 2 * P.volume_k + Sk.volume;
  }

  I.area_sa += Ai;
  J.area_sa += Aj;
  K.area_sa += Ak;
  I.area_ms += 2 * P.area_i + Si.area - (sij * Tij.area_i + sik * Tik.area_i);
  J.area_ms += 2 * P.area_j + Sj.area - (sij * Tij.area_j + sjk * Tjk.area_i);
  K.area_ms += 2 * P.area_k + Sk.area - (sik * Tik.area_j + sjk * Tjk.area_j);

  if (y > 0) {
    I.envelope_sa += y * Ai;
    J.envelope_sa += y * Aj;
    K.envelope_sa += y * Ak;
    I.envelope_ms += y * Si.area + 2 * y * P.area_i - (y * sij * Tij.area_i + y * sik * Tik.area_i);
    J.envelope_ms += y * Sj.area + 2 * y * P.area_j - (y * sij * Tij.area_j + y * sjk * Tjk.area_i);
    K.envelope_ms += y * Sk.area + 2 * y * P.area_k - (y * sik * Tik.area_j + y * sjk * Tjk.area_j);
  }
}

void edge_terms(const edge& E, Atoms& atoms, double p, int type, BallCache& g, TorusCache& tori,
                const OpenShares& shares) {
  const int i = E.v[0]->index, j = E.v[1]->index;
  info &I = atoms[i], &J = atoms[j];
  const double x = shares.edge_share(E);
  const int vertices[2] = {i, j};
  g.reset(vertices, 2);
  const double Ai = g.height(i, j) * R_of(I, p) * AV_TWO_PI;
  const double Aj = g.height(j, i) * R_of(J, p) * AV_TWO_PI;
  const Shell Si = atom_shell(i, Ai, atoms, p), Sj = atom_shell(j, Aj, atoms, p);
  const Torus& T = tori.get(&E, i, g);

  if (type == 4) {
    const double Vi = g.cap_volume(i, j), Vj = g.cap_volume(j, i);
    I.volume_sa -= Vi;
    J.volume_sa -= Vj;
    I.volume_ms -= Vi + T.volume_i + T.cone_i - Si.volume;
    J.volume_ms -= Vj + T.volume_j + T.cone_j - Sj.volume;
  }
  I.area_sa -= Ai;
  J.area_sa -= Aj;
  I.area_ms += T.area_i - Si.area;
  J.area_ms += T.area_j - Sj.area;
  if (x > 0) {
    I.envelope_sa -= x * Ai;
    J.envelope_sa -= x * Aj;
    I.envelope_ms += x * (T.area_i - Si.area);
    J.envelope_ms += x * (T.area_j - Sj.area);
  }
}

void vertex_terms(info& v, Atoms& atoms, double p, const OpenShares& shares) {
  const double x = shares.vertex_share(v);
  const double R = R_of(v, p);
  const double A = R * AV_FOUR_PI * R;
  const double V = R * AV_FOUR_PI_THIRD * R * R;
  const Shell S = atom_shell(v.index, A, atoms, p);
  v.area_sa += A;
  v.area_ms += S.area;
  v.volume_sa += V;
  // An atom of radius 0 has the whole ball between its two spheres: nothing
  // (not a rounding remainder of V) is left inside.
  v.volume_ms += v.radius < 0 ? 0.0 : V - S.volume;
  if (x > 0) {
    v.envelope_sa += x * A;
    v.envelope_ms += x * S.area;
  }
}

// Whether the centre of a lies outside its own power cell because of b:
// b's power at c_a is below a's own, -R_a^2.
bool covered_by(const info& a, const info& b, double p) {
  double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  double Ra = R_of(a, p), Rb = R_of(b, p);
  return dx * dx + dy * dy + dz * dz - Rb * Rb < -(Ra * Ra);
}

void clear_measures(info& a) {
  a.volume_sa = a.area_sa = a.volume_ms = a.area_ms = 0;
  a.envelope_sa = a.envelope_ms = a.void_area_sa = a.void_area_ms = 0;
}

}  // namespace

ComplexRecords measure_area_volume(std::vector<Bead>& beads, double probe, double alpha,
                                   int report_type, int cusp) {
  const int n = static_cast<int>(beads.size());
  const std::vector<ListedSimplex> list = expanded_simplex_list(beads, probe);

  // Grown radii: the complex at alpha becomes the simplices of size <= 0.
  // A ball that shrinks to nothing takes no part.
  ComplexRecords rec;
  rec.atoms.assign(static_cast<std::size_t>(n), info());
  for (int i = 0; i < n; ++i) {
    info& a = rec.atoms[i];
    a.index = i;
    a.x = beads[i].x;
    a.y = beads[i].y;
    a.z = beads[i].z;
    a.radius = alpha_radius(beads[i].radius, probe, alpha);
    if (!(a.radius + probe > 0)) a.absent = true;
  }

  make_records(list, rec, probe);

  // Second pass: incidence and classification, tetrahedra first, then
  // triangles, then edges (the order of the list); none of it reads a
  // measure.  A coface list is written once its cofaces' kind is done.
  Atoms& atoms = rec.atoms;
  CofaceLists cofaces(rec);
  BulkLists<info, tetra> atom_tetras(&info::complex_tetras);
  BulkLists<info, tria> atom_trias(&info::complex_trias);
  BulkLists<info, edge> atom_edges(&info::complex_edges);
  VoidComponents voids(rec.tetras);
  std::vector<char> covered(static_cast<std::size_t>(n), 0);
  int void_counter = 0;
  link_records(rec);
  for (tetra& T : rec.tetras) {
    cofaces.note(T);
    T.judge4(probe);
    if (T.signed_size <= 0.0) {
      T.in_complex = true;
      for (int k = 0; k < 4; ++k) atom_tetras.note(T.v[k]->index, T.id - 1);
    } else {
      T.void_id = ++void_counter;
    }
  }
  cofaces.flush_tetras(rec);  // read by the triangles
  for (tria& F : rec.trias) {
    cofaces.note(F);
    F.judge3(probe);
    if (F.signed_size <= 0.0) {
      F.in_complex = true;
      for (int k = 0; k < 3; ++k) atom_trias.note(F.v[k]->index, F.id - 1);
    } else {
      F.voidsrepresentation(voids);
    }
  }
  for (edge& E : rec.edges) {
    E.judge2(probe);
    if (covered_by(*E.v[0], *E.v[1], probe)) covered[E.v[0]->index] = 1;
    if (covered_by(*E.v[1], *E.v[0], probe)) covered[E.v[1]->index] = 1;
    if (E.signed_size <= 0.0) {
      E.in_complex = true;
      for (int k = 0; k < 2; ++k) atom_edges.note(E.v[k]->index, E.id - 1);
    }
  }
  cofaces.flush_trias(rec);
  atom_tetras.flush(atoms, rec.tetras);
  atom_trias.flush(atoms, rec.trias);
  atom_edges.flush(atoms, rec.edges);

  // Third pass: the measure terms of the simplices of the complex, in list
  // order (all tetrahedra, all triangles, then each edge with the vertices
  // it introduces), so that every sum is added up in that order.
  BallCache geometry(atoms, probe);
  TorusCache tori(rec.edges.size(), cusp);
  // info::solidanglevertex and edge::solidangleedge, gathered on the way.
  OpenShares shares(atoms.size(), rec.edges.size());
  std::size_t k4 = 0, k3 = 0, k2 = 0;
  for (std::size_t at = 0; at < list.size(); ++at) {
    const ListedSimplex& s = list[at];
    // The atoms of a simplex a little ahead are fetched meanwhile: their
    // centres and the sums the terms add to.
    if (at + 2 < list.size()) {
      const ListedSimplex& next = list[at + 2];
      for (int k = 0; k < next.size; ++k) {
        const info& a = atoms[static_cast<std::size_t>(next.v[k])];
        __builtin_prefetch(&a.x);
        __builtin_prefetch(&a.volume_sa);
        __builtin_prefetch(&a.envelope_ms);
      }
    }
    if (s.size == 4) {
      const tetra& T = rec.tetras[k4++];
      if (T.in_complex) tetra_terms(T, atoms, probe, report_type, geometry, tori, shares);
    } else if (s.size == 3) {
      const tria& F = rec.trias[k3++];
      if (F.in_complex) tria_terms(F, atoms, probe, report_type, geometry, tori);
    } else if (s.size == 2) {
      const edge& E = rec.edges[k2++];
      if (E.in_complex) edge_terms(E, atoms, probe, report_type, geometry, tori, shares);
    } else if (s.size == 1) {
      info& v = atoms[s.v[0]];
      if (!v.absent) vertex_terms(v, atoms, probe, shares);
    }
  }

  voids.assign();
  // An atom whose centre lies outside its power cell and that has no edge in
  // the complex does not meet its cell at all: its ball lies inside the union
  // of the others and it owns no part of the surface or the volume.
  for (int i = 0; i < n; ++i)
    if (covered[i] && atoms[i].complex_edges.empty()) atoms[i].absent = true;

  voidsmeasure(rec.tetras, atoms, probe, report_type, cusp);
  for (info& a : atoms)
    if (a.absent) clear_measures(a);
  return rec;
}

void extract_area_volume_short(std::vector<Bead>& beads, std::string name, double probe,
                               double alpha, int report_type, int cusp) {
  ComplexRecords rec = measure_area_volume(beads, probe, alpha, report_type, cusp);
  area_volume_measure(rec.atoms, beads, name, probe, report_type, cusp);
}

void voidsmeasure(std::vector<tetra>& tetrahedra, std::vector<info>& atoms, double probe,
                  int /*report_type*/, int cusp) {
  const double p = probe;
  BallCache g(atoms, p);
  for (const tetra& T : tetrahedra) {
    if (T.void_id <= 0) continue;
    const int v[4] = {T.v[0]->index, T.v[1]->index, T.v[2]->index, T.v[3]->index};
    g.reset(v, 4);

    // Vertex parts: the sphere inside the solid angle at each vertex.
    const int others[4][3] = {
        {v[1], v[2], v[3]}, {v[0], v[2], v[3]}, {v[0], v[1], v[3]}, {v[0], v[1], v[2]}};
    for (int m = 0; m < 4; ++m) {
      info& a = atoms[v[m]];
      const double F = sector_area(v[m], others[m][0], others[m][1], others[m][2], atoms, p);
      const Shell H = atom_shell(v[m], F, atoms, p);
      a.void_area_sa += F;
      a.void_area_ms += H.area;
      a.envelope_sa -= F;
      a.envelope_ms -= H.area;
    }

    // Edge parts, for the edges of the complex: (a, b) with c, d the other
    // two vertices, and the index of that edge among the tetrahedron's edges.
    const int pairs[6][5] = {{0, 1, 2, 3, 0}, {0, 2, 1, 3, 1}, {0, 3, 1, 2, 2},
                             {1, 3, 0, 2, 4}, {1, 2, 0, 3, 3}, {2, 3, 0, 1, 5}};
    for (const auto& q : pairs) {
      const edge* e = T.edges[q[4]];
      if (e == nullptr || !e->in_complex) continue;
      const int a = v[q[0]], b = v[q[1]], c = v[q[2]], d = v[q[3]];
      double ca[3] = {atoms[a].x, atoms[a].y, atoms[a].z};
      double cb[3] = {atoms[b].x, atoms[b].y, atoms[b].z};
      double cc[3] = {atoms[c].x, atoms[c].y, atoms[c].z};
      double cd[3] = {atoms[d].x, atoms[d].y, atoms[d].z};
      const double w = angle_dihedral(ca, cb, cc, cd);
      const double Ea = w * g.height(a, b) * R_of(atoms[a], p) * AV_TWO_PI;
      const double Eb = w * g.height(b, a) * R_of(atoms[b], p) * AV_TWO_PI;
      const Shell Ga = atom_shell(a, Ea, atoms, p), Gb = atom_shell(b, Eb, atoms, p);
      const Torus Tab = g.torus(a, b, cusp);
      atoms[a].void_area_sa -= Ea;
      atoms[b].void_area_sa -= Eb;
      atoms[a].void_area_ms += w * Tab.area_i - Ga.area;
      atoms[b].void_area_ms += w * Tab.area_j - Gb.area;
      atoms[a].envelope_sa += Ea;
      atoms[b].envelope_sa += Eb;
      atoms[a].envelope_ms += Ga.area - w * Tab.area_i;
      atoms[b].envelope_ms += Gb.area - w * Tab.area_j;
    }

    // Face parts, for the faces of the complex: one probe patch and half of
    // each cap and torus piece, since the void lies on one side of the face.
    const int faces[4][3] = {
        {v[0], v[1], v[2]}, {v[0], v[1], v[3]}, {v[0], v[2], v[3]}, {v[1], v[2], v[3]}};
    for (int f = 0; f < 4; ++f) {
      const tria* face = T.faces[f];
      if (face == nullptr || !face->in_complex) continue;
      const int a = faces[f][0], b = faces[f][1], c = faces[f][2];
      const double Ba = g.cap2_area(a, b, c) / 2, Bb = g.cap2_area(b, a, c) / 2,
                   Bc = g.cap2_area(c, a, b) / 2;
      const Shell Ka = atom_shell(a, Ba, atoms, p), Kb = atom_shell(b, Bb, atoms, p),
                  Kc = atom_shell(c, Bc, atoms, p);
      const Torus Tab = g.torus(a, b, cusp), Tac = g.torus(a, c, cusp), Tbc = g.torus(b, c, cusp);
      const Patch P = g.patch(a, b, c);
      const double sab = g.segment_angle(a, b, c), sac = g.segment_angle(a, c, b),
                   sbc = g.segment_angle(b, c, a);
      const double ta = sab * Tab.area_i / 2 + sac * Tac.area_i / 2;
      const double tb = sab * Tab.area_j / 2 + sbc * Tbc.area_i / 2;
      const double tc = sbc * Tbc.area_j / 2 + sac * Tac.area_j / 2;
      atoms[a].void_area_sa += Ba;
      atoms[b].void_area_sa += Bb;
      atoms[c].void_area_sa += Bc;
      atoms[a].void_area_ms += Ka.area - ta + P.area_i;
      atoms[b].void_area_ms += Kb.area - tb + P.area_j;
      atoms[c].void_area_ms += Kc.area - tc + P.area_k;
      atoms[a].envelope_sa -= Ba;
      atoms[b].envelope_sa -= Bb;
      atoms[c].envelope_sa -= Bc;
      atoms[a].envelope_ms += ta - Ka.area - P.area_i;
      atoms[b].envelope_ms += tb - Kb.area - P.area_j;
      atoms[c].envelope_ms += tc - Kc.area - P.area_k;
    }
  }
}
