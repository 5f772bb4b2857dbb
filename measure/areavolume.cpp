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

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "measure/atomballs.h"
#include "measure/complexbuild.h"
#include "measure/contribreport.h"
#include "measure/trimmedsurface.h"
#include "measure/walkstores.h"
#include "structure/bead.h"

namespace {

// The expanded radius of an atom.
double R_of(const info& a, double probe) { return a.radius + probe; }

// The piece of the atom sphere under an area A of the expanded sphere, and
// the volume between the two.  An expanded ball that a negative alpha makes
// smaller than the probe leaves an atom of radius 0: no contact area, and
// the whole cone down to the centre lies between.  (The plain mapping would
// put a sphere of negative radius on the other side of the centre: a
// contact area above the expanded one and a negative volume.)
Shell atom_shell(int v, double A, const Atoms& atoms, double probe) {
  if (atoms[v].radius >= 0) return shell(v, A, atoms, probe);
  Shell s;
  s.volume = A * R_of(atoms[v], probe) / 3;
  return s;
}

// ---- terms of one simplex ------------------------------------------------

// `order` is the tetrahedron's tetra_order.
void tetra_terms(const tetra& T, std::uint32_t order, Atoms& atoms, double probe, int type,
                 TetraBalls& g, EdgePieces& pieces, TriaStore& faces, FaceMemo& memo,
                 OpenShares& shares) {
  info &I = *T.v[0], &J = *T.v[1], &K = *T.v[2], &L = *T.v[3];
  const int i = I.index, j = J.index, k = K.index, l = L.index;
  g.load(T.v);
  EdgeAt at[6];
  edges_at(T.edges, kTetraEdgeEnds, order, at);
  lend_heights(at, pieces, g);
  // Positions of each face's vertices, which are the tetrahedron's.
  int face_at[4][3];
  for (int f = 0; f < 4; ++f) {
    if (T.faces[f] == nullptr) continue;
    for (int m = 0; m < 3; ++m) face_at[f][m] = face_vertex_place(order, f, m);
    memo.lend(*T.faces[f], f, face_at[f], g);
  }
  g.complete();

  // The dihedral angles at the six edges, in edge order: they close part of
  // the vertices and edges, and the circle arcs below use them again.
  const double dihedrals[6] = {g.wedge(0, 1), g.wedge(0, 2), g.wedge(0, 3),
                               g.wedge(1, 2), g.wedge(1, 3), g.wedge(2, 3)};
  shares.add(T, dihedrals);

  double A[4], V[4] = {0, 0, 0, 0};
  g.caps(A, type == 4 ? V : nullptr);
  const double Ai = A[0], Aj = A[1], Ak = A[2], Al = A[3];
  const double Vi = V[0], Vj = V[1], Vk = V[2], Vl = V[3];
  const Shell Si = atom_shell(i, Ai, atoms, probe), Sj = atom_shell(j, Aj, atoms, probe),
              Sk = atom_shell(k, Ak, atoms, probe), Sl = atom_shell(l, Al, atoms, probe);

  const double gij = g.segment2_angle(0, 1, 2, 3), gik = g.segment2_angle(0, 2, 1, 3),
               gil = g.segment2_angle(0, 3, 1, 2), gjk = g.segment2_angle(1, 2, 0, 3),
               gjl = g.segment2_angle(1, 3, 0, 2), gkl = g.segment2_angle(2, 3, 0, 1);
  const Torus Tij = torus_from(at[0], 0, pieces, g), Tik = torus_from(at[1], 0, pieces, g),
              Til = torus_from(at[2], 0, pieces, g), Tjk = torus_from(at[3], 1, pieces, g),
              Tjl = torus_from(at[4], 1, pieces, g), Tkl = torus_from(at[5], 2, pieces, g);
  const Patch Pijk = g.patch(0, 1, 2), Pijl = g.patch(0, 1, 3), Pikl = g.patch(0, 2, 3),
              Pjkl = g.patch(1, 2, 3);

  if (type == 4) {
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

  // The triangles of the complex around it take their pieces from here,
  // and the next tetrahedron around each face what its balls alone give.
  for (int f = 0; f < 4; ++f) {
    if (T.faces[f] == nullptr) continue;
    faces.fill(*T.faces[f], face_at[f], g);
    memo.take(*T.faces[f], face_at[f], g);
  }
  take_heights(at, pieces, g);
}

// `order` is the triangle's tria_order, `cofaces` the number of its
// tetrahedra in the complex.
void tria_terms(const tria& F, std::uint32_t order, int cofaces, Atoms& atoms, double probe,
                int type, SimplexBalls& g, EdgePieces& pieces, const TriaStore& faces) {
  info &I = *F.v[0], &J = *F.v[1], &K = *F.v[2];
  const int i = I.index, j = J.index, k = K.index;
  // tria::solidangletriangle
  const double y = cofaces == 0 ? 1.0 : cofaces == 1 ? 0.5 : 0.0;
  EdgeAt at[3];
  edges_at(F.e, kTriaEdgeEnds, order, at);

  // The pieces come from a tetrahedron around it when one is in the
  // complex; the balls are loaded only for what is still missing.
  const TriaPieces* kept = faces.get(F);
  TriaPieces made;
  bool loaded = false;
  auto load = [&]() {
    if (loaded) return;
    g.load(F.v, 3);
    lend_heights(at, pieces, g);
    loaded = true;
  };
  if (kept == nullptr) {
    load();
    tria_pieces(g, 0, 1, 2, faces.volumes(), made);
    kept = &made;
  }
  const int from[3] = {0, 0, 1};
  Torus tori[3];
  for (int m = 0; m < 3; ++m) {
    const int dir = at[m].a == from[m] ? 0 : 1;
    if (pieces.has_torus(*at[m].e, dir)) {
      tori[m] = pieces.torus(*at[m].e, dir);
    } else {
      load();
      tori[m] = pieces.torus(*at[m].e, dir, at[m].a, at[m].b, g);
    }
  }
  if (loaded) take_heights(at, pieces, g);

  const double Ai = kept->area[0], Aj = kept->area[1], Ak = kept->area[2];
  const Shell Si = atom_shell(i, Ai, atoms, probe), Sj = atom_shell(j, Aj, atoms, probe),
              Sk = atom_shell(k, Ak, atoms, probe);
  const Torus &Tij = tori[0], &Tik = tori[1], &Tjk = tori[2];
  const double sij = kept->segment[0], sik = kept->segment[1], sjk = kept->segment[2];
  const Patch P = patch_of_area(kept->patch, probe);

  if (type == 4) {
    const double Vi = kept->volume[0], Vj = kept->volume[1], Vk = kept->volume[2];
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

void edge_terms(const edge& E, Atoms& atoms, double probe, int type, SimplexBalls& g,
                EdgePieces& pieces, const OpenShares& shares) {
  info &I = *E.v[0], &J = *E.v[1];
  const int i = I.index, j = J.index;
  const double x = shares.edge_share(E);
  double hi, hj;
  Torus T;
  if (pieces.height(E, 0, &hi) && pieces.height(E, 1, &hj) && pieces.has_torus(E, 0)) {
    T = pieces.torus(E, 0);
  } else {
    g.load(E.v, 2);
    pieces.lend(E, 0, 1, g);
    T = pieces.torus(E, 0, 0, 1, g);
    hi = g.height(0, 1);
    hj = g.height(1, 0);
    pieces.take(E, 0, 1, g);
  }
  const double Ai = hi * R_of(I, probe) * AV_TWO_PI;
  const double Aj = hj * R_of(J, probe) * AV_TWO_PI;
  const Shell Si = atom_shell(i, Ai, atoms, probe), Sj = atom_shell(j, Aj, atoms, probe);

  if (type == 4) {
    const double Vi = cap_volume_of(R_of(I, probe), hi);
    const double Vj = cap_volume_of(R_of(J, probe), hj);
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

void vertex_terms(info& v, Atoms& atoms, double probe, const OpenShares& shares) {
  const double x = shares.vertex_share(v);
  const double R = R_of(v, probe);
  const double A = R * AV_FOUR_PI * R;
  const double V = R * AV_FOUR_PI_THIRD * R * R;
  const Shell S = atom_shell(v.index, A, atoms, probe);
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

// A run of `count` simplices of one size (2 to 4) in the simplex list, or a
// vertex (size 1, count holding its atom).
struct Step {
  int size;
  int count;
};

std::vector<Step> steps_of(const std::vector<ListedSimplex>& list) {
  std::vector<Step> steps;
  for (const ListedSimplex& s : list) {
    if (s.size == 1)
      steps.push_back(Step{1, s.v[0]});
    else if (s.size >= 2 && s.size <= 4 && !steps.empty() && steps.back().size == s.size)
      ++steps.back().count;
    else if (s.size >= 2 && s.size <= 4)
      steps.push_back(Step{s.size, 1});
  }
  return steps;
}

template <int N>
void fetch_atoms(info* const (&v)[N]) {
  for (const info* a : v) {
    __builtin_prefetch(&a->x);
    __builtin_prefetch(&a->volume_sa);
    __builtin_prefetch(&a->envelope_ms);
  }
}

// The incidence lists that the measures do not read, in list order: the
// tetrahedra and triangles around each edge, and the tetrahedra, triangles
// and edges of the complex at each atom.
void complete_lists(ComplexRecords& rec) {
  {
    BulkLists<edge, tetra, 0> edge_tetras(&edge::coface_tetras);
    BulkLists<info, tetra, 0> atom_tetras(&info::complex_tetras);
    edge_tetras.reserve(6 * rec.tetras.size());
    atom_tetras.reserve(4 * rec.tetras.size());
    for (const tetra& T : rec.tetras) {
      for (const edge* e : T.edges)
        if (e != nullptr) edge_tetras.note(static_cast<int>(e - rec.edges.data()), T.id - 1);
      if (T.in_complex)
        for (const info* v : T.v) atom_tetras.note(v->index, T.id - 1);
    }
    edge_tetras.flush(rec.edges, rec.tetras, rec);
    atom_tetras.flush(rec.atoms, rec.tetras, rec);
  }
  {
    BulkLists<edge, tria, 0> edge_trias(&edge::coface_trias);
    BulkLists<info, tria, 0> atom_trias(&info::complex_trias);
    edge_trias.reserve(3 * rec.trias.size());
    atom_trias.reserve(3 * rec.trias.size());
    for (const tria& F : rec.trias) {
      for (const edge* e : F.e)
        if (e != nullptr) edge_trias.note(static_cast<int>(e - rec.edges.data()), F.id - 1);
      if (F.in_complex)
        for (const info* v : F.v) atom_trias.note(v->index, F.id - 1);
    }
    edge_trias.flush(rec.edges, rec.trias, rec);
    atom_trias.flush(rec.atoms, rec.trias, rec);
  }
  BulkLists<info, edge, 0> atom_edges(&info::complex_edges);
  atom_edges.reserve(2 * rec.edges.size());
  for (const edge& E : rec.edges)
    if (E.in_complex)
      for (const info* v : E.v) atom_edges.note(v->index, E.id - 1);
  atom_edges.flush(rec.atoms, rec.edges, rec);
}

// The tori and probe patches of an enclosed void whose probe positions
// overlap (with each other or with the pieces near the void) count the
// overlap twice; those voids, and the cut pieces near them, are measured
// from the surface's definition instead, and so are the open surface's
// probe patches that another probe position's ball reaches into (thin walls,
// crevices).  The exact measures go to the atoms
// by power cells, the closed forms they replace by their own shares;
// keep_total_within_cells then bounds every atom, these included.
void mend_void_surfaces(const std::vector<tetra>& tetras, Atoms& atoms, double probe,
                        int report_type, int cusp) {
  std::map<int, std::vector<const tetra*>> by_id;
  for (const tetra& t : tetras)
    if (t.void_id > 0) by_id[t.void_id].push_back(&t);
  std::vector<std::vector<const tetra*>> voids;
  for (auto& kv : by_id) voids.push_back(std::move(kv.second));
  std::vector<const tetra*> all;
  all.reserve(tetras.size());
  for (const tetra& t : tetras) all.push_back(&t);
  // Both mends look up the same circles: their arcs are made once.
  const SurfaceNeighbourhood near(all, atoms, probe);
  SurfaceMend mend;
  if (!voids.empty()) mend = mend_surface(near, voids, cusp, true);
  // The open surface's reached patches after, leaving what the voids' mend measured.
  const std::vector<SurfaceChange> walls = mend_open_patches(near, mend, cusp);
  mend.changes.insert(mend.changes.end(), walls.begin(), walls.end());
  for (const SurfaceChange& c : mend.changes) {
    info& a = atoms[static_cast<std::size_t>(c.atom)];
    a.area_ms += c.void_area + c.outer_area;
    a.void_area_ms += c.void_area;
    a.envelope_ms += c.outer_area;
    if (report_type == 4) a.volume_ms -= c.volume;
  }
}

// The closed forms, summed over pieces that overlap (probe positions that
// meet, spindle tori), can hand an atom more excluded volume than its cell
// holds, or less than none.  What an atom's molecular volume can be is fixed
// by its power cell: never below 0, never above its SA volume; areas never
// below 0.  Below 0 means beyond the sums' own roundings, which leave buried
// atoms a few 1e-8 under 0 (printed "-0.0000", as the SA columns are).
// Where many balls overlap, the closed forms split the excluded volume
// between atoms only approximately by their power cells: an atom can be
// handed more than its SA volume, or less than nothing, while the total is
// right.  Such an atom is brought to its bound, and what it gives up goes
// to (or comes from) the atoms nearest it in the complex, ring after ring
// until they have room, in proportion to their room, so that the total
// stays.  Atoms within their bounds, with no such neighbour, are untouched.
void keep_total_within_cells(Atoms& atoms, const std::vector<edge>& edges) {
  const double slack = 1e-5;
  auto outside = [&](const info& a) {
    return !a.absent && (a.volume_ms > a.volume_sa + slack || a.volume_ms < -slack);
  };
  if (std::none_of(atoms.begin(), atoms.end(), outside)) return;
  std::vector<std::vector<int>> next(atoms.size());
  for (const edge& e : edges)
    if (e.in_complex && e.v[0] != nullptr && e.v[1] != nullptr) {
      next[static_cast<std::size_t>(e.v[0]->index)].push_back(e.v[1]->index);
      next[static_cast<std::size_t>(e.v[1]->index)].push_back(e.v[0]->index);
    }
  std::vector<char> seen(atoms.size(), 0);
  std::vector<int> gathered, ring, grown;
  for (info& a : atoms) {
    if (!outside(a)) continue;
    const bool over = a.volume_ms > a.volume_sa;
    const double amount = over ? a.volume_ms - a.volume_sa : -a.volume_ms;
    a.volume_ms = over ? a.volume_sa : 0.0;
    // What atom b can take (over) or give (under) within its bounds.
    auto room = [&](const info& b) {
      if (b.absent) return 0.0;
      return std::max(0.0, over ? b.volume_sa - b.volume_ms : b.volume_ms);
    };
    gathered.clear();
    ring.assign(1, a.index);
    seen[static_cast<std::size_t>(a.index)] = 1;
    double total = 0;
    while (!ring.empty() && total < amount) {
      grown.clear();
      for (int x : ring)
        for (int y : next[static_cast<std::size_t>(x)]) {
          if (seen[static_cast<std::size_t>(y)]) continue;
          seen[static_cast<std::size_t>(y)] = 1;
          grown.push_back(y);
          gathered.push_back(y);
          total += room(atoms[static_cast<std::size_t>(y)]);
        }
      ring.swap(grown);
    }
    seen[static_cast<std::size_t>(a.index)] = 0;
    for (int y : gathered) seen[static_cast<std::size_t>(y)] = 0;
    if (!(total > 0)) continue;
    const double share = std::min(1.0, amount / total);
    for (int y : gathered) {
      info& b = atoms[static_cast<std::size_t>(y)];
      const double move = share * room(b);
      b.volume_ms += over ? move : -move;
    }
  }
}

void keep_within_cell(info& a, int report_type) {
  const double slack = 1e-5;
  if (report_type == 4) {
    if (a.volume_ms > a.volume_sa) a.volume_ms = a.volume_sa;
    if (a.volume_ms < -slack) a.volume_ms = 0;
  }
  if (a.area_ms < -slack) a.area_ms = 0;
}

void clear_measures(info& a) {
  a.volume_sa = a.area_sa = a.volume_ms = a.area_ms = 0;
  a.envelope_sa = a.envelope_ms = a.void_area_sa = a.void_area_ms = 0;
}

}  // namespace

ComplexRecords measure_area_volume(std::vector<Bead>& beads, double probe, double alpha,
                                   int report_type, int cusp, bool lists) {
  return measure_area_volume(beads, expanded_simplex_list(beads, probe), probe, alpha, report_type,
                             cusp, lists);
}

ComplexRecords measure_area_volume(std::vector<Bead>& beads, SimplexList list, double probe,
                                   double alpha, int report_type, int cusp, bool lists) {
  ComplexRecords rec;
  build_complex(beads, list, probe, alpha, ComplexUse::kMeasures, rec);
  // The walk below needs of the list only its order: runs of tetrahedra,
  // triangles and edges, and the places of the vertices among them.
  const std::vector<Step> order = steps_of(list.simplices);
  list = SimplexList();

  // The measure terms of the simplices of the complex, in list order (all
  // tetrahedra, all triangles, then each edge with the vertices it
  // introduces), so that every sum is added up in that order.  The
  // triangles read their cofaces; the other lists are written after the
  // measures, which do not read them.
  Atoms& atoms = rec.atoms;
  {
    SimplexBalls geometry(probe);
    TetraBalls tetra_geometry(probe, report_type == 4);
    EdgePieces pieces(rec.edges, probe, cusp);
    TriaStore faces(rec.trias, report_type == 4);
    const std::vector<unsigned char> cofaces = complex_cofaces(rec.tetras, rec.trias);
    FaceMemo memo(rec.trias, rec.tetras, cofaces);
    // info::solidanglevertex and edge::solidangleedge, gathered on the way.
    OpenShares shares(atoms.size(), rec.edges);
    std::size_t k4 = 0, k3 = 0, k2 = 0;
    for (const Step& s : order) {
      if (s.size == 1) {
        info& v = atoms[static_cast<std::size_t>(s.count)];
        if (!v.absent) vertex_terms(v, atoms, probe, shares);
        continue;
      }
      for (int m = 0; m < s.count; ++m) {
        if (s.size == 4) {
          const std::size_t n = k4++;
          const tetra& T = rec.tetras[n];
          // The atoms of a tetrahedron a little ahead are fetched meanwhile:
          // their centres and the sums the terms add to.
          if (k4 + 1 < rec.tetras.size()) fetch_atoms(rec.tetras[k4 + 1].v);
          if (T.in_complex)
            tetra_terms(T, rec.tetra_order[n], atoms, probe, report_type, tetra_geometry, pieces,
                        faces, memo, shares);
        } else if (s.size == 3) {
          const std::size_t n = k3++;
          const tria& F = rec.trias[n];
          if (k3 + 1 < rec.trias.size()) fetch_atoms(rec.trias[k3 + 1].v);
          if (F.in_complex)
            tria_terms(F, rec.tria_order[n], cofaces[n], atoms, probe, report_type, geometry,
                       pieces, faces);
        } else {
          const edge& E = rec.edges[k2++];
          if (E.in_complex) edge_terms(E, atoms, probe, report_type, geometry, pieces, shares);
        }
      }
    }
  }
  if (lists) complete_lists(rec);

  voidsmeasure(rec.tetras, atoms, probe, report_type, cusp);
  mend_void_surfaces(rec.tetras, atoms, probe, report_type, cusp);
  if (report_type == 4) keep_total_within_cells(atoms, rec.edges);
  for (info& a : atoms) {
    keep_within_cell(a, report_type);
    if (a.absent) clear_measures(a);
  }
  return rec;
}

void extract_area_volume_short(std::vector<Bead>& beads, std::string name, double probe,
                               double alpha, int report_type, int cusp) {
  extract_area_volume_short(beads, expanded_simplex_list(beads, probe), name, probe, alpha,
                            report_type, cusp);
}

void extract_area_volume_short(std::vector<Bead>& beads, SimplexList list, std::string name,
                               double probe, double alpha, int report_type, int cusp) {
  // The report reads the atoms' sums alone.
  ComplexRecords rec =
      measure_area_volume(beads, std::move(list), probe, alpha, report_type, cusp, false);
  area_volume_measure(rec.atoms, beads, name, probe, report_type, cusp);
}

void voidsmeasure(std::vector<tetra>& tetrahedra, std::vector<info>& atoms, double probe,
                  int /*report_type*/, int cusp) {
  BallCache g(atoms, probe);
  for (const tetra& T : tetrahedra) {
    if (T.void_id <= 0) continue;
    const int v[4] = {T.v[0]->index, T.v[1]->index, T.v[2]->index, T.v[3]->index};
    g.reset(v, 4);

    // Vertex parts: the sphere inside the solid angle at each vertex.
    const int others[4][3] = {
        {v[1], v[2], v[3]}, {v[0], v[2], v[3]}, {v[0], v[1], v[3]}, {v[0], v[1], v[2]}};
    for (int m = 0; m < 4; ++m) {
      info& a = atoms[v[m]];
      const double F = sector_area(v[m], others[m][0], others[m][1], others[m][2], atoms, probe);
      const Shell H = atom_shell(v[m], F, atoms, probe);
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
      const double w = g.wedge(a, b, c, d);
      const double Ea = w * g.height(a, b) * R_of(atoms[a], probe) * AV_TWO_PI;
      const double Eb = w * g.height(b, a) * R_of(atoms[b], probe) * AV_TWO_PI;
      const Shell Ga = atom_shell(a, Ea, atoms, probe), Gb = atom_shell(b, Eb, atoms, probe);
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
      const Shell Ka = atom_shell(a, Ba, atoms, probe), Kb = atom_shell(b, Bb, atoms, probe),
                  Kc = atom_shell(c, Bc, atoms, probe);
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
