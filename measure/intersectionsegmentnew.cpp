// Placement and classification of the complex records.
#include "measure/intersectionsegmentnew.h"

#include <cmath>
#include <limits>
#include <utility>

#include "measure/atomballs.h"
#include "structure/util.h"

namespace {

const double kInfinity = std::numeric_limits<double>::infinity();

// Power of the point X with respect to the expanded ball of a.
double power(const info* a, const double* X, double probe) {
  double dx = X[0] - a->x, dy = X[1] - a->y, dz = X[2] - a->z;
  double R = a->radius + probe;
  return dx * dx + dy * dy + dz * dz - R * R;
}

bool finite3(const double* c) {
  return std::isfinite(c[0]) && std::isfinite(c[1]) && std::isfinite(c[2]);
}

// Signed radius of a power distance.  A simplex whose centre or size is not
// a number (flat or collinear vertices) never enters the complex, and
// neither does one with a vertex that takes no part in the union.
double signed_radius(double w, const double* centre, info* const* v, int n) {
  if (!finite3(centre) || std::isnan(w)) return kInfinity;
  for (int k = 0; k < n; ++k)
    if (v[k]->absent) return kInfinity;
  return w > 0 ? std::sqrt(w) : -std::sqrt(-w);
}

void centre_of(const info* a, double* out) {
  out[0] = a->x;
  out[1] = a->y;
  out[2] = a->z;
}

template <class List>
bool holds(const List& list, const tetra* t) {
  for (const tetra* x : list)
    if (x == t) return true;
  return false;
}

// Whether the point x and the apex lie on opposite sides of the plane
// through the centres of the face's three atoms.
inline bool beyond_face(const info* const face[3], const info* apex, const double* x) {
  double p0[3], p1[3], p2[3], q[3];
  centre_of(face[0], p0);
  centre_of(face[1], p1);
  centre_of(face[2], p2);
  centre_of(apex, q);
  double u[3] = {p0[0] - p1[0], p0[1] - p1[1], p0[2] - p1[2]};
  double w[3] = {p0[0] - p2[0], p0[1] - p2[1], p0[2] - p2[2]};
  double n3[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
  double s1 = (q[0] - p0[0]) * n3[0] + (q[1] - p0[1]) * n3[1] + (q[2] - p0[2]) * n3[2];
  double s2 = (x[0] - p0[0]) * n3[0] + (x[1] - p0[1]) * n3[1] + (x[2] - p0[2]) * n3[2];
  return s1 * s2 < 0;
}

// Whether the power centre of a lies beyond the face that a shares with b,
// on b's side (the flow of a enters b).
inline bool flows_into(const tetra* a, const tetra* b) {
  const info* apex = nullptr;
  const info* face[3];
  int n = 0;
  // The records' vertices point into one atom array: the same atom is the
  // same pointer, so the atoms are told apart without reading their indices.
  const info* const b0 = b->v[0];
  const info* const b1 = b->v[1];
  const info* const b2 = b->v[2];
  const info* const b3 = b->v[3];
  for (int k = 0; k < 4; ++k) {
    const info* x = a->v[k];
    if (apex == nullptr && x != b0 && x != b1 && x != b2 && x != b3)
      apex = x;
    else if (n < 3)
      face[n++] = x;
  }
  if (apex == nullptr || n < 3) return false;
  return beyond_face(face, apex, a->center);
}

// The largest power of the centre with respect to the n expanded balls of
// v; a power that is not a number is kept.
double largest_power(info* const* v, int n, const double* centre, double probe) {
  double w = -1e6;
  for (int k = 0; k < n; ++k) {
    double pk = power(v[k], centre, probe);
    if (pk > w || std::isnan(pk)) w = pk;
  }
  return w;
}

// Whether a face (edge) with its centre is attached: the opposite vertex,
// a part of the union, has the smaller power there than the face's vertex.
bool attaches(const info* on_face, const info* opposite, const double* centre, double probe) {
  if (opposite->absent) return false;
  return power(on_face, centre, probe) - power(opposite, centre, probe) > 0;
}

// Depth-first walk over inflow lists with an explicit stack; visit(t) is
// called when the walk leaves t, enter(u) decides whether to descend into u.
template <class Enter, class Leave>
void walk_inflow(tetra* start, Enter enter, Leave leave) {
  std::vector<std::pair<tetra*, size_t>> stack;
  stack.emplace_back(start, 0);
  while (!stack.empty()) {
    tetra* t = stack.back().first;
    size_t k = stack.back().second;
    if (k < t->inflow.size()) {
      ++stack.back().second;
      tetra* u = t->inflow[k];
      if (enter(u)) stack.emplace_back(u, 0);
    } else {
      leave(t);
      stack.pop_back();
    }
  }
}

}  // namespace

// ---- solid angles ---------------------------------------------------------

namespace {

// Position of the atom with this index among the vertices of t, 4 if none.
int position_in(const tetra* t, int index) {
  int m = 0;
  while (m < 4 && t->v[m]->index != index) ++m;
  return m;
}

// 1/4 less half the dihedral angles at the three edges from vertex m: minus
// the solid angle of the tetrahedron at m, as a fraction of the sphere.
// The edges from m are kTetraEdgeOf[m][k] for the other vertices k in
// ascending order.
inline double vertex_part(const double* dihedrals, int m) {
  static constexpr int kEdgesFrom[4][3] = {{0, 1, 2}, {0, 3, 4}, {1, 3, 5}, {2, 4, 5}};
  const int* e = kEdgesFrom[m];
  return 0.25 - (dihedrals[e[0]] + dihedrals[e[1]] + dihedrals[e[2]]) / 2;
}

// Rounding below these cut-offs counts as fully covered.
double open_vertex(double x) { return x < 1e-10 ? 0 : x; }
double open_edge(double x) { return x < 1e-9 ? 0 : x; }

}  // namespace

double tetra_dihedral(const tetra& t, int k) {
  const int a = kTetraEdgeEnds[k][0], b = kTetraEdgeEnds[k][1];
  double ca[3], cb[3], o[2][3];
  centre_of(t.v[a], ca);
  centre_of(t.v[b], cb);
  int n = 0;
  for (int m = 0; m < 4; ++m)
    if (m != a && m != b) centre_of(t.v[m], o[n++]);
  return angle_dihedral(ca, cb, o[0], o[1]);
}

double info::solidanglevertex() const {
  double x = 1;
  for (const tetra* t : complex_tetras) {
    const int m = position_in(t, index);
    if (m == 4) continue;
    double d[6];
    for (int k = 0; k < 4; ++k)
      if (k != m) d[kTetraEdgeOf[m][k]] = tetra_dihedral(*t, kTetraEdgeOf[m][k]);
    x += vertex_part(d, m);
  }
  return open_vertex(x);
}

double edge::solidangleedge() const {
  double x = 1;
  for (const tetra* t : coface_tetras) {
    if (!t->in_complex) continue;
    const int a = position_in(t, v[0]->index), b = position_in(t, v[1]->index);
    if (a == 4 || b == 4 || a == b) continue;
    x -= tetra_dihedral(*t, kTetraEdgeOf[a][b]);
  }
  return open_edge(x);
}

OpenShares::OpenShares(std::size_t atoms, const std::vector<edge>& edges)
    : vertex_(atoms, 1.0), edge_(edges.size(), 1.0), base_(edges.data()) {}

void OpenShares::add(const tetra& t, const double* dihedrals) {
  for (int m = 0; m < 4; ++m)
    vertex_[static_cast<std::size_t>(t.v[m]->index)] += vertex_part(dihedrals, m);
  for (int k = 0; k < 6; ++k)
    if (t.edges[k] != nullptr) edge_[static_cast<std::size_t>(t.edges[k] - base_)] -= dihedrals[k];
}

double OpenShares::vertex_share(const info& a) const {
  return open_vertex(vertex_[static_cast<std::size_t>(a.index)]);
}

double OpenShares::edge_share(const edge& e) const {
  return open_edge(edge_[static_cast<std::size_t>(&e - base_)]);
}

// ---- edge ----------------------------------------------------------------

void edge::setcenter2(double probe) { power_centre2(*v[0], *v[1], probe, center); }

bool edge::judge2(double probe) {
  double w = power(v[0], center, probe);
  signed_size = max_val2(signed_radius(w, center, v, 2), signed_size);
  return w <= 0;
}

// ---- tria ----------------------------------------------------------------

void tria::setcenter3(double probe) { power_centre3(*v[0], *v[1], *v[2], probe, center); }

namespace {

// The pieces of judge3.  Edge k with the triangle's first vertex on it and
// the opposite one: (v0,v1)-v2, (v0,v2)-v1, (v1,v2)-v0.
inline bool edge_attaches(const tria& f, int k, double probe) {
  static const int kFirst[3] = {0, 0, 1}, kOpposite[3] = {2, 1, 0};
  return attaches(f.v[kFirst[k]], f.v[kOpposite[k]], f.e[k]->center, probe);
}

inline void take_size(tria& f, double w) {
  double s = signed_radius(w, f.center, f.v, 3);
  f.signed_size = max_val2(s, f.signed_size);
  f.own_size = s;
}

inline void attach_edge(tria& f, int k) {
  edge* ed = f.e[k];
  ed->attached = true;
  ed->signed_size = max_val2(min_val2(f.signed_size, f.own_size), ed->signed_size);
  f.attached_edges.push_back(ed);
}

}  // namespace

bool tria::judge3(double probe) {
  const double w = largest_power(v, 3, center, probe);
  take_size(*this, w);
  for (int k = 0; k < 3; ++k)
    if (edge_attaches(*this, k, probe)) attach_edge(*this, k);
  return w <= 0;
}

void tria::voidsrepresentation(VoidComponents& voids) {
  tetra* empty[2];
  int n = 0;
  for (tetra* t : cofaces)
    if (!t->in_complex && n < 2) empty[n++] = t;
  if (n == 1)
    voids.touch_outside(*empty[0]);
  else if (n == 2)
    voids.join(*empty[0], *empty[1]);
}

void tria::ancesterofoutside(double) {
  if (cofaces.size() != 1) return;
  tetra* t = cofaces[0];
  const info* apex = nullptr;
  for (int k = 0; k < 4 && apex == nullptr; ++k) {
    int id = t->v[k]->index;
    if (id != v[0]->index && id != v[1]->index && id != v[2]->index) apex = t->v[k];
  }
  if (apex == nullptr) return;
  if (beyond_face(v, apex, t->center)) t->flows_to_outside = true;
}

double tria::solidangletriangle() const {
  int n = 0;
  for (const tetra* t : cofaces)
    if (t->in_complex) ++n;
  if (n == 0) return 1.0;
  return n == 1 ? 0.5 : 0.0;
}

bool tria::acutejudge(double) const {
  auto square = [](const info* a, const info* b) {
    double dx = a->x - b->x, dy = a->y - b->y, dz = a->z - b->z;
    double l = std::sqrt(dx * dx + dy * dy + dz * dz);
    return l * l;
  };
  double a2 = square(v[1], v[2]), b2 = square(v[0], v[2]), c2 = square(v[0], v[1]);
  return a2 - b2 - c2 >= 0 && b2 - a2 - c2 >= 0 && c2 - a2 - b2 >= 0;
}

// ---- tetra ---------------------------------------------------------------

void tetra::setcenter4(double probe) { power_centre4(*v[0], *v[1], *v[2], *v[3], probe, center); }

namespace {

// The pieces of judge4, as those of judge3.  Face k with the tetrahedron's
// first vertex on it and the opposite one.
inline bool face_attaches(const tetra& t, int k, double probe) {
  static const int kFirst[4] = {0, 0, 0, 1}, kOpposite[4] = {3, 2, 1, 0};
  return attaches(t.v[kFirst[k]], t.v[kOpposite[k]], t.faces[k]->center, probe);
}

inline void take_size(tetra& t, double w) {
  t.signed_size = max_val2(signed_radius(w, t.center, t.v, 4), t.signed_size);
}

}  // namespace

bool tetra::judge4(double probe) {
  const double w = largest_power(v, 4, center, probe);
  take_size(*this, w);
  bool attach[4];
  for (int k = 0; k < 4; ++k) attach[k] = face_attaches(*this, k, probe);
  attach_faces(attach);
  return w <= 0;
}

void tetra::attach_faces(const bool attach[4]) {
  tria* found[4];
  int n = 0;
  for (int k = 0; k < 4; ++k) {
    tria* f = faces[k];
    if (attach[k]) {
      f->attached = true;
      f->signed_size = max_val2(signed_size, f->signed_size);
      attached_faces.push_back(f);
      found[n++] = f;
    }
  }

  auto has = [](const tria* f, int index) {
    return f->v[0]->index == index || f->v[1]->index == index || f->v[2]->index == index;
  };
  if (n == 2) {
    int common[2], m = 0;
    for (int k = 0; k < 3 && m < 2; ++k)
      if (has(found[1], found[0]->v[k]->index)) common[m++] = found[0]->v[k]->index;
    if (m == 2) {
      for (edge* ed : edges) {
        int a = ed->v[0]->index, b = ed->v[1]->index;
        if ((a == common[0] && b == common[1]) || (a == common[1] && b == common[0])) {
          ed->attached = true;
          ed->signed_size = max_val3(found[0]->signed_size, found[1]->signed_size, ed->signed_size);
          attached_edges.push_back(ed);
          break;
        }
      }
    }
  } else if (n == 3) {
    // Every two of the three faces share one of the three edges at their
    // common vertex, so each of those edges, like the one edge of two
    // attached faces, enters the complex only with this tetrahedron.  Raising
    // fewer would leave an edge in the complex whose attaching triangles are
    // out of it, and the measures would count a covered atom.
    int common = -1;
    for (int k = 0; k < 3 && common < 0; ++k) {
      int id = found[0]->v[k]->index;
      if (has(found[1], id) && has(found[2], id)) common = id;
    }
    if (common >= 0) {
      for (edge* ed : edges) {
        if (ed->v[0]->index == common || ed->v[1]->index == common) {
          ed->attached = true;
          ed->signed_size = max_val4(found[0]->signed_size, found[1]->signed_size,
                                     found[2]->signed_size, ed->signed_size);
          attached_edges.push_back(ed);
        }
      }
    }
  }
}

void tetra::dfs_visit() {
  flow_colour = 1;
  walk_inflow(
      this,
      [](tetra* u) {
        if (u->flow_colour != 0) return false;
        u->flows_to_outside = true;
        u->flow_colour = 1;
        return true;
      },
      [](tetra* t) { t->flow_colour = 2; });
}

void tetra::pockets_dfs_visit(int id) {
  if (pocket_colour != 0 || in_complex) return;
  pocket_colour = 1;
  walk_inflow(
      this,
      [id](tetra* u) {
        if (u->in_complex) return false;
        if (u->component_id != id) {
          u->component_id = id;
          u->visited = true;
          u->flows_to_outside = false;
        }
        if (u->pocket_colour != 0) return false;
        u->pocket_colour = 1;
        return true;
      },
      [id](tetra* t) {
        t->pocket_colour = 2;
        t->pocket_id = id;
      });
}

void tetra::depressions_dfs_visit(int id) {
  if (depression_colour != 0 || in_complex) return;
  depression_colour = 1;
  walk_inflow(
      this,
      [id](tetra* u) {
        if (u->in_complex) return false;
        if (u->depression_component != id) u->depression_component = id;
        if (u->depression_colour != 0) return false;
        u->depression_colour = 1;
        return true;
      },
      [id](tetra* t) {
        t->depression_colour = 2;
        t->depression_id = id;
      });
}

// ---- flow ----------------------------------------------------------------

void ancoutsidejudge(std::vector<tetra>& tetrahedra, double) {
  for (tetra& t : tetrahedra) {
    for (tetra* n : t.neighbours) {
      // A pair already met from its earlier tetrahedron has both flows
      // listed: looking again would add nothing.
      if (n < &t && holds(n->neighbours, &t)) continue;
      if (flows_into(n, &t) && !holds(t.inflow, n)) t.inflow.push_back(n);
      if (flows_into(&t, n) && !holds(n->inflow, &t)) n->inflow.push_back(&t);
    }
  }
  for (tetra& t : tetrahedra) {
    if (!t.flows_to_outside) continue;
    for (size_t k = 0; k < t.inflow.size(); ++k) {
      tetra* u = t.inflow[k];
      if (u->flow_colour != 0) continue;
      u->flows_to_outside = true;
      u->dfs_visit();
    }
  }
}

bool descendant(const tetra* a, const tetra* b, double) { return flows_into(a, b); }

// ---- void components ----------------------------------------------------

VoidComponents::VoidComponents(std::vector<tetra>& tetrahedra)
    : tetras_(tetrahedra), parent_(tetrahedra.size()), outside_(tetrahedra.size(), 0) {
  for (size_t k = 0; k < parent_.size(); ++k) parent_[k] = static_cast<int>(k);
}

int VoidComponents::find(int k) {
  while (parent_[k] != k) {
    parent_[k] = parent_[parent_[k]];
    k = parent_[k];
  }
  return k;
}

// The root of a component is its first tetrahedron in list order, which
// carries the smallest void number.
void VoidComponents::join(const tetra& a, const tetra& b) {
  int ra = find(a.id - 1), rb = find(b.id - 1);
  if (ra == rb) return;
  if (rb < ra) std::swap(ra, rb);
  parent_[rb] = ra;
  outside_[ra] = outside_[ra] | outside_[rb];
}

void VoidComponents::touch_outside(const tetra& t) { outside_[find(t.id - 1)] = 1; }

void VoidComponents::assign() {
  for (size_t k = 0; k < tetras_.size(); ++k) {
    tetra& t = tetras_[k];
    if (t.in_complex) continue;
    int r = find(static_cast<int>(k));
    t.void_id = outside_[r] ? 0 : tetras_[r].void_id;
  }
}
