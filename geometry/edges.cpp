#include "geometry/edges.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "geometry/triangulate.h"

void collect_del_edges(std::vector<Bead>& beads, std::vector<Pair>& edges) {
  // The ends of every edge, smaller first; the triangulation goes before
  // the pairs are made.
  std::vector<std::pair<int, int>> ends;
  {
    std::unique_ptr<CD3DW> t =
        triangulate(beads, [](const Bead& b) { return b.radius * b.radius; });
    std::vector<CD3DEdge*> listed;
    t->list_edges_once(&listed);
    ends.reserve(listed.size());
    for (CD3DEdge* e : listed) ends.emplace_back(e->origin()->id, e->destination()->id);
  }
  edges.reserve(edges.size() + ends.size());
  for (const auto& e : ends) edges.push_back(Pair(&beads[e.first], &beads[e.second], ALPHA_LEVEL_UNSET));
}

// Seen from x = c + L u, far along an axis u (L = 1e16), every bead's power
// is L^2 - 2 L u.c_s + k_s with |k_s| <= 3.1e14, and the bounding vertices
// (1e19 away) are out of reach. If one bead were the nearest in power both
// at +L u and at -L u, then 2 L |u.(c_s - c_p)| <= k_s - k_p for every s,
// that is every centre within 0.016 of it along u. A spread of 0.1 along u
// so makes two beads own parts of space: two vertices, and an edge.
bool surely_has_delaunay_edge(const std::vector<Bead>& beads) {
  if (beads.size() < 2) return false;
  const double kCoordinate = 1e7, kRadius = 1e3, kSpread = 0.1;
  double lo[3], hi[3];
  for (std::size_t i = 0; i < beads.size(); ++i) {
    const Bead& b = beads[i];
    const double c[3] = {b.x, b.y, b.z};
    if (!(std::fabs(b.radius) <= kRadius)) return false;
    for (int a = 0; a < 3; ++a) {
      if (!(std::fabs(c[a]) <= kCoordinate)) return false;
      if (i == 0 || c[a] < lo[a]) lo[a] = c[a];
      if (i == 0 || c[a] > hi[a]) hi[a] = c[a];
    }
  }
  for (int a = 0; a < 3; ++a)
    if (hi[a] - lo[a] >= kSpread) return true;
  return false;
}

namespace {

bool is_name(const Bead& b, const char* s) { return std::strcmp(b.atom_name, s) == 0; }

bool is_backbone(const Bead& b) {
  return is_name(b, "N") || is_name(b, "C") || is_name(b, "O") || is_name(b, "CA");
}

void derive_level(Pair& p, std::ostream& log) {
  if (p.alpha_level == ALPHA_LEVEL_UNSET) p.alpha_level = alpha_level_of(*p.first, *p.second, log);
}

// Counting is on for a whole call exactly when the first pair's two beads
// have no contacts yet.
bool counting_on(const std::vector<Pair>& edges) {
  if (edges.empty()) return false;
  return edges[0].first->n_contacts + edges[0].second->n_contacts == 0;
}

void count(Pair& p) {
  p.first->n_contacts += 1;
  p.second->n_contacts += 1;
}

}  // namespace

bool near_sequence_filter(const Bead& first, const Bead& second) {
  if (first.chain_id != second.chain_id) return false;
  int u = first.real_res_number, v = second.real_res_number;
  int diff = u - v;
  if (diff < -1 || diff > 1) return false;
  if (is_name(first, "SC") || is_name(second, "SC")) return true;
  if (u == v) return true;
  if (is_backbone(first) && is_backbone(second)) return true;
  if (v == u + 1 && is_name(first, "CB") && is_name(second, "N")) return true;
  if (u == v + 1 && is_name(first, "N") && is_name(second, "CB")) return true;
  return false;
}

void collect_alpha_edges(std::vector<Pair>& edges, std::vector<Pair>& out, int cutoff,
                         std::ostream& log) {
  for (Pair& p : edges) {
    derive_level(p, log);
    if (p.alpha_level <= cutoff) out.push_back(p);
  }
}

void collect_contacts(std::vector<Pair>& edges, std::vector<Pair>& out, int cutoff,
                      std::ostream& log) {
  bool counting = counting_on(edges);
  for (Pair& p : edges) {
    derive_level(p, log);
    p.edge_size = edge_size_of(*p.first, *p.second);
    if (p.alpha_level > cutoff) continue;
    if (near_sequence_filter(*p.first, *p.second)) continue;
    if (counting) count(p);
    out.push_back(p);
  }
}

void collect_contacts(std::vector<Pair>& edges, std::vector<Pair>& out, double max_size) {
  bool counting = counting_on(edges);
  for (Pair& p : edges) {
    p.edge_size = edge_size_of(*p.first, *p.second);
    if (!(p.edge_size - max_size <= 1e-7)) continue;
    if (near_sequence_filter(*p.first, *p.second)) continue;
    if (counting) count(p);
    out.push_back(p);
  }
}

void collect_surface_contacts(std::vector<Pair>& edges, std::vector<Pair>& out, int cutoff,
                              std::ostream& log) {
  bool counting = counting_on(edges);
  for (Pair& p : edges) {
    derive_level(p, log);
    if (p.alpha_level > cutoff) continue;
    if (counting) count(p);
    if (p.first->on_surf && p.second->on_surf) out.push_back(p);
  }
}

void collect_interface_contacts(std::vector<Pair>& edges, std::vector<Pair>& out, int cutoff,
                                std::ostream& log) {
  bool counting = counting_on(edges);
  bool by_group = !edges.empty() && edges[0].first->group_id != 0;
  for (Pair& p : edges) {
    derive_level(p, log);
    if (p.alpha_level > cutoff) continue;
    if (near_sequence_filter(*p.first, *p.second)) continue;
    if (counting) count(p);
    char g1 = by_group ? p.first->group_id : p.first->chain_id;
    char g2 = by_group ? p.second->group_id : p.second->chain_id;
    if (g1 != g2) out.push_back(p);
  }
}
