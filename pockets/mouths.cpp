#include "pockets/mouths.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "measure/clippeddiscs.h"
#include "measure/atomballs.h"

namespace {

bool has_value(const std::vector<int>& v, int value) {
  return std::find(v.begin(), v.end(), value) != v.end();
}

// Length of an arc of the expanded sphere carried over to the atom sphere;
// a ball shrunk to nothing carries nothing.
double on_atom_sphere(double length, double r, double p) {
  const double expanded = r + p;
  return expanded > 0.0 ? length * r / expanded : 0.0;
}

// Appends to `to` the opening ids of `from` that it lacks, in from's order.
void receive_openings(subpocket& to, const subpocket& from) {
  for (int o : from.opening_ids) {
    if (!has_value(to.opening_ids, o)) to.opening_ids.push_back(o);
  }
}

// Openings grow by merging whole groups; a union-find over the positions of
// the pocket's mouth triangles keeps the lookups cheap and a linked list per
// group keeps each group's triangle order.
class Openings {
 public:
  explicit Openings(const std::vector<tria*>& triangles)
      : tris_(triangles),
        parent_(triangles.size()),
        next_(triangles.size(), -1),
        tail_(triangles.size()),
        size_(triangles.size(), 1) {}

  // Groups the triangle at position pos with the earlier ones.
  void add(int pos) {
    parent_[pos] = pos;
    tail_[pos] = pos;
    tria* t = tris_[pos];
    // Groups holding a triangle that shares an edge outside the complex
    // with t, in ascending key order, each once.
    std::vector<int> keys;
    for (edge* e : t->e) {
      if (e == nullptr || e->in_complex) continue;
      auto it = by_edge_.find(e->id);
      if (it == by_edge_.end()) continue;
      for (int u : it->second) {
        const int key = key_of_[find(u)];
        if (!has_value(keys, key)) keys.push_back(key);
      }
    }
    std::sort(keys.begin(), keys.end());
    // A merge always makes a new group under a new key, t first, then the
    // merged groups in key order.
    ++counter_;
    for (int key : keys) {
      const int root = groups_[key];
      next_[tail_[pos]] = root;
      tail_[pos] = tail_[root];
      size_[pos] += size_[root];
      parent_[root] = pos;
      groups_.erase(key);
    }
    key_of_[pos] = counter_;
    groups_[counter_] = pos;
    for (edge* e : t->e) {
      if (e != nullptr && !e->in_complex) by_edge_[e->id].push_back(pos);
    }
  }

  // Groups in ascending key order: (size, triangles).
  std::vector<std::pair<int, std::vector<tria*>>> groups() const {
    std::vector<std::pair<int, std::vector<tria*>>> out;
    for (const auto& g : groups_) {
      std::vector<tria*> list;
      for (int k = g.second; k >= 0; k = next_[k]) list.push_back(tris_[k]);
      out.emplace_back(size_[g.second], std::move(list));
    }
    return out;
  }

 private:
  int find(int k) {
    while (parent_[k] != k) {
      parent_[k] = parent_[parent_[k]];
      k = parent_[k];
    }
    return k;
  }

  const std::vector<tria*>& tris_;
  std::vector<int> parent_, next_, tail_, size_;
  std::unordered_map<int, int> key_of_;                // root position -> key
  std::map<int, int> groups_;                          // key -> root position
  std::unordered_map<int, std::vector<int>> by_edge_;  // edge id -> positions
  int counter_ = 0;
};

// Whether the vertex and edge terms add up to the triangle's measures.  They
// take each disc's sector at its centre and half the lens of two discs whose
// edge is in the complex as if they lay inside the triangle, and leave out
// the overlap of discs whose edge is not in the complex and the part common
// to all three.  All of that holds when every disc stays clear of the
// opposite side, the discs of an edge outside the complex do not overlap
// and the three discs have no common point.  c and r: the discs of f's
// vertices.
bool terms_hold(const tria* f, const double c[3][3], const double r[3]) {
  // Edge order of the record: (01), (02), (12); opposite vertices 2, 1, 0.
  const int ends[3][3] = {{0, 1, 2}, {0, 2, 1}, {1, 2, 0}};
  bool all_meet = true;
  for (int k = 0; k < 3; ++k) {
    const double* a = c[ends[k][0]];
    const double* b = c[ends[k][1]];
    const double ab[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double length2 = ab[0] * ab[0] + ab[1] * ab[1] + ab[2] * ab[2];
    const double ra = r[ends[k][0]], rb = r[ends[k][1]];
    const bool meet = ra > 0.0 && rb > 0.0 && length2 < (ra + rb) * (ra + rb);
    if (meet && !f->e[k]->in_complex) return false;
    all_meet = all_meet && meet;
    // The disc of the opposite vertex against this side.
    const double* x = c[ends[k][2]];
    const double rx = r[ends[k][2]];
    if (!(rx > 0.0)) continue;
    const double ax[3] = {x[0] - a[0], x[1] - a[1], x[2] - a[2]};
    double s = length2 > 0.0 ? (ax[0] * ab[0] + ax[1] * ab[1] + ax[2] * ab[2]) / length2 : 0.0;
    s = std::max(0.0, std::min(1.0, s));
    const double d[3] = {ax[0] - s * ab[0], ax[1] - s * ab[1], ax[2] - s * ab[2]};
    if (!(d[0] * d[0] + d[1] * d[1] + d[2] * d[2] >= rx * rx)) return false;
  }
  return !all_meet || !balls_meet(c, r, 3);
}

// The terms of one mouth triangle added to mouths[m].
void add_terms(const tria* f, int m, std::vector<info>& atoms, std::vector<mouth>& mouths,
               double probe) {
  const int i = f->v[0]->index, j = f->v[1]->index, k = f->v[2]->index;
  const double area = triangle_area(i, j, k, atoms);
  mouths[m].area_sa += area;
  mouths[m].area_ms += area;
  do_mouth_vertex(i, j, k, m, atoms, mouths, probe);
  do_mouth_vertex(j, i, k, m, atoms, mouths, probe);
  do_mouth_vertex(k, i, j, m, atoms, mouths, probe);
  if (f->e[0]->in_complex) do_mouth_edge(i, j, k, m, atoms, mouths, probe);
  if (f->e[1]->in_complex) do_mouth_edge(i, k, j, m, atoms, mouths, probe);
  if (f->e[2]->in_complex) do_mouth_edge(j, k, i, m, atoms, mouths, probe);
}

// Where the terms do not hold, the pieces they stand for are taken from the
// clipped discs themselves: the area left uncovered; per disc, its rim left
// uncovered, with the strip the probe sweeps beside it down to the atom
// sphere; per side, the probe's fan where the two rims cross, if uncovered.
void measure_triangle(const tria* f, int m, std::vector<info>& atoms, std::vector<mouth>& mouths,
                      double probe) {
  int v[3];
  double c[3][3], r[3];
  for (int k = 0; k < 3; ++k) {
    v[k] = f->v[k]->index;
    c[k][0] = f->v[k]->x;
    c[k][1] = f->v[k]->y;
    c[k][2] = f->v[k]->z;
    r[k] = atoms[v[k]].radius + probe;
  }
  if (terms_hold(f, c, r)) {
    add_terms(f, m, atoms, mouths, probe);
    return;
  }
  const ClippedTriangle exact = clipped_triangle(c, r);
  mouth& mo = mouths[m];
  double area_ms = exact.empty, length_ms = 0.0;
  mo.area_sa += exact.empty;
  for (int k = 0; k < 3; ++k) {
    const double rim_ms = on_atom_sphere(exact.rim[k], atoms[v[k]].radius, probe);
    mo.length_sa += exact.rim[k];
    length_ms += rim_ms;
    area_ms += probe * (exact.rim[k] + rim_ms) * 0.5;
  }
  const int ends[3][2] = {{0, 1}, {0, 2}, {1, 2}};
  for (int k = 0; k < 3; ++k) {
    if (!exact.corner[k]) continue;
    const Fan fa = fan(v[ends[k][0]], v[ends[k][1]], atoms, probe);
    area_ms += fa.area;
    length_ms += fa.length;
  }
  mo.area_ms += area_ms;
  mo.length_ms += length_ms;
}

// The two sub-pockets (by index in p's list) on either side of a knot-top
// triangle; false when they cannot be told.
bool knot_sides(const pocket& p, const tria* t, int& a, int& b) {
  if (t->cofaces.size() < 2) return false;
  const tetra* c0 = t->cofaces[0];
  const tetra* c1 = t->cofaces[1];
  if (c0->pocket_number != c1->pocket_number) return false;
  a = c0->subpocket_index;
  b = c1->subpocket_index;
  const int n = static_cast<int>(p.subpockets.size());
  return a >= 0 && a < n && b >= 0 && b < n;
}

// Calls visit(sa, sb) with the two sub-pockets on either side of each
// triangle of s's largest knots that tells them.
template <class Visit>
void for_each_knot_side_pair(pocket& p, const subpocket& s, Visit visit) {
  for (const auto& top : s.knot_tops) {
    for (const tria* t : top->triangles) {
      int a, b;
      if (!knot_sides(p, t, a, b)) continue;
      visit(*p.subpockets[a], *p.subpockets[b]);
    }
  }
}

void type_subpockets(pocket& p, const mouth& summary) {
  std::vector<std::shared_ptr<subpocket>>& subs = p.subpockets;
  if (summary.opening_count == 0) {
    for (auto& s : subs) s->type = -1;
    return;
  }
  for (auto& s : subs) s->type = 3;
  const int count = static_cast<int>(subs.size());

  // Mouth: reached by a retained opening.
  for (size_t o = 0; o < summary.openings.size(); ++o) {
    for (const tria* t : summary.openings[o]) {
      for (const sub_id& e : t->sub_ids) {
        if (e.pocket != p.number) continue;
        for (int s : e.subpockets) {
          if (s < 0 || s >= count) continue;
          subs[s]->type = 1;
          if (!has_value(subs[s]->opening_ids, static_cast<int>(o))) {
            subs[s]->opening_ids.push_back(static_cast<int>(o));
          }
        }
      }
    }
  }
  // Neck: next to a mouth across its largest knot.
  for (auto& s : subs) {
    if (s->type == 1) continue;
    for_each_knot_side_pair(p, *s, [](subpocket& sa, subpocket& sb) {
      if (sa.type == 1) {
        sb.type = 2;
        receive_openings(sb, sa);
      } else if (sb.type == 1) {
        sa.type = 2;
        receive_openings(sa, sb);
      }
    });
  }
  // Body next to a neck: learns the neck's openings, stays a body.
  for (auto& s : subs) {
    if (s->type != 2) continue;
    for_each_knot_side_pair(p, *s, [](subpocket& sa, subpocket& sb) {
      if (sa.type == 2 && sb.type == 3) {
        receive_openings(sb, sa);
      } else if (sb.type == 2 && sa.type == 3) {
        receive_openings(sa, sb);
      }
    });
  }
  // Body behind a body.
  for (auto& s : subs) {
    if (s->type != 3 || s->opening_ids.empty()) continue;
    for (int w : s->knot_partners) {
      if (w < 0 || w >= count) continue;
      subpocket& sw = *subs[w];
      if (sw.type == 3 && sw.opening_ids.empty()) {
        sw.type = 4;
        sw.opening_ids.insert(sw.opening_ids.end(), s->opening_ids.begin(), s->opening_ids.end());
      }
    }
  }
}

}  // namespace

void do_mouth_vertex(int a, int b, int c, int m, std::vector<info>& atoms,
                     std::vector<mouth>& mouths, double probe) {
  const double area = pie_area(a, b, c, atoms, probe);
  const double length = pie_length(a, b, c, atoms, probe);
  const double length_ms = on_atom_sphere(length, atoms[a].radius, probe);
  mouth& mo = mouths[m];
  mo.area_sa -= area;
  mo.length_sa += length;
  mo.length_ms += length_ms;
  mo.area_ms += probe * (length + length_ms) * 0.5 - area;
}

void do_mouth_edge(int a, int b, int /*c*/, int m, std::vector<info>& atoms,
                   std::vector<mouth>& mouths, double probe) {
  const double lens =
      0.5 * lens_seg_area(a, b, atoms, probe) + 0.5 * lens_seg_area(b, a, atoms, probe);
  double arc[2], arc_ms[2];
  const int ends[2][2] = {{a, b}, {b, a}};
  for (int s = 0; s < 2; ++s) {
    const int x = ends[s][0];
    const double big_r = atoms[x].radius + probe;
    const double h = cap_height(x, ends[s][1], atoms, probe);
    const double rho = std::sqrt(std::max(0.0, (2 * big_r - h) * h));
    const double ratio = big_r > 0.0 ? std::min(1.0, rho / big_r) : 0.0;
    arc[s] = std::fabs(std::asin(ratio)) * 2 * big_r * 0.5;
    arc_ms[s] = on_atom_sphere(arc[s], atoms[x].radius, probe);
  }
  const Fan f = fan(a, b, atoms, probe);
  mouth& mo = mouths[m];
  mo.area_sa += lens;
  mo.area_ms +=
      lens + f.area - (0.5 * probe * (arc[0] + arc_ms[0]) + 0.5 * probe * (arc[1] + arc_ms[1]));
  mo.length_sa -= arc[0] + arc[1];
  mo.length_ms += f.length - (arc_ms[0] + arc_ms[1]);
}

void mouthsrepresentation(std::vector<pocket>& pockets, std::vector<mouth>& mouths,
                          std::vector<info>& atoms, double probe) {
  number_pockets(pockets);
  if (mouths.size() < pockets.size()) mouths.resize(pockets.size());

  std::unordered_set<const tetra*> members;
  std::unordered_set<const tria*> listed;
  for (pocket& p : pockets) {
    const int m = p.number - 1;
    mouth& summary = mouths[m];
    members.clear();
    members.insert(p.tetrahedra.begin(), p.tetrahedra.end());
    listed.clear();
    std::vector<tria*> found;
    for (tetra* t : p.tetrahedra) {
      for (tria* f : t->faces) {
        bool candidate = f->cofaces.size() < 2;
        if (f->cofaces.size() == 2) {
          const bool first = members.count(f->cofaces[0]) != 0;
          const bool second = members.count(f->cofaces[1]) != 0;
          candidate = first != second;
        }
        if (!candidate || f->in_complex || listed.count(f) != 0) continue;
        listed.insert(f);
        found.push_back(f);
        measure_triangle(f, m, atoms, mouths, probe);
      }
    }

    if (found.empty()) {
      summary.triangle_count = 0;
      summary.opening_count = 0;
    } else {
      summary.triangle_count = static_cast<int>(found.size());
      summary.triangles = found;
      Openings openings(found);
      for (size_t pos = 0; pos < found.size(); ++pos) {
        tria* t = found[pos];
        for (info* v : t->v) v->marks[MARK_MOUTH] = true;
        t->flags[TRIA_FLAG_MOUTH] = true;
        for (info* v : t->v) {
          if (!has_value(v->mouth_ids, p.number)) v->mouth_ids.push_back(p.number);
        }
        openings.add(static_cast<int>(pos));
      }

      std::vector<std::pair<int, std::vector<tria*>>> groups = openings.groups();
      summary.opening_count = static_cast<int>(groups.size());
      // Largest first, by an exchange sort (the order of equal sizes follows
      // from the exchanges).
      for (size_t i = 0; i + 1 < groups.size(); ++i) {
        for (size_t j = i + 1; j < groups.size(); ++j) {
          if (groups[i].first < groups[j].first) std::swap(groups[i], groups[j]);
        }
      }
      for (auto& g : groups) {
        double peak = -10000.0;
        for (const tria* t : g.second) {
          if (t->signed_size > peak) peak = t->signed_size;
        }
        if (groups.size() == 1 || peak >= MOUTH_SIZE_THRESHOLD) {
          summary.openings.push_back(g.second);
          summary.opening_sizes.push_back(peak);
        }
      }
    }
    type_subpockets(p, summary);
  }
}
