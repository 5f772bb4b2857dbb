#include "support/hand_complex.h"

#include <algorithm>
#include <map>

namespace {

std::vector<int> sorted(std::vector<int> v) {
  std::sort(v.begin(), v.end());
  return v;
}

}  // namespace

HandComplex::HandComplex(int atom_count, const std::vector<std::array<int, 4>>& cells) {
  atoms.resize(atom_count);
  for (int i = 0; i < atom_count; ++i) {
    atoms[i].index = i;
    atoms[i].serial = 100 + i;
    atoms[i].position = i + 1;
    atoms[i].chain_id = 'A';
    atoms[i].x = i;
    atoms[i].y = 2 * i;
    atoms[i].z = 3 * i;
  }
  std::map<std::vector<int>, size_t> tria_ids, edge_ids;
  std::vector<std::array<int, 3>> tria_list;
  std::vector<std::array<int, 2>> edge_list;
  const int faces[4][3] = {{0, 1, 2}, {0, 1, 3}, {0, 2, 3}, {1, 2, 3}};
  const int sides[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
  for (const auto& c : cells) {
    for (const auto& f : faces) {
      const std::array<int, 3> v = {c[f[0]], c[f[1]], c[f[2]]};
      if (tria_ids.emplace(sorted({v[0], v[1], v[2]}), tria_list.size()).second)
        tria_list.push_back(v);
    }
    for (const auto& s : sides) {
      const std::array<int, 2> v = {c[s[0]], c[s[1]]};
      if (edge_ids.emplace(sorted({v[0], v[1]}), edge_list.size()).second) edge_list.push_back(v);
    }
  }
  tetras.resize(cells.size());
  trias.resize(tria_list.size());
  edges.resize(edge_list.size());
  for (size_t i = 0; i < edges.size(); ++i) {
    edges[i].id = static_cast<int>(i) + 1;
    for (int k = 0; k < 2; ++k) edges[i].v[k] = &atoms[edge_list[i][k]];
    for (int k = 0; k < 2; ++k) edges[i].v[k]->incident_edges.push_back(&edges[i]);
  }
  for (size_t i = 0; i < trias.size(); ++i) {
    tria& t = trias[i];
    t.id = static_cast<int>(i) + 1;
    const auto& v = tria_list[i];
    for (int k = 0; k < 3; ++k) t.v[k] = &atoms[v[k]];
    t.e[0] = edge_of(v[0], v[1]);
    t.e[1] = edge_of(v[0], v[2]);
    t.e[2] = edge_of(v[1], v[2]);
    for (edge* e : t.e) e->coface_trias.push_back(&t);
  }
  for (size_t i = 0; i < tetras.size(); ++i) {
    tetra& t = tetras[i];
    t.id = static_cast<int>(i) + 1;
    const auto& c = cells[i];
    for (int k = 0; k < 4; ++k) {
      t.v[k] = &atoms[c[k]];
      t.v[k]->all_tetras.push_back(&t);
    }
    for (int f = 0; f < 4; ++f) {
      t.faces[f] = face(c[faces[f][0]], c[faces[f][1]], c[faces[f][2]]);
      t.faces[f]->cofaces.push_back(&t);
    }
    for (int s = 0; s < 6; ++s) {
      t.edges[s] = edge_of(c[sides[s][0]], c[sides[s][1]]);
      t.edges[s]->coface_tetras.push_back(&t);
    }
  }
  for (tria& f : trias) {
    if (f.cofaces.size() != 2) continue;
    tetra* a = f.cofaces[0];
    tetra* b = f.cofaces[1];
    a->neighbours.push_back(b);
    a->shared_trias.push_back(&f);
    b->neighbours.push_back(a);
    b->shared_trias.push_back(&f);
  }
}

tria* HandComplex::face(int a, int b, int c) {
  const std::vector<int> k = sorted({a, b, c});
  for (tria& t : trias) {
    if (sorted({t.v[0]->index, t.v[1]->index, t.v[2]->index}) == k) return &t;
  }
  return nullptr;
}

edge* HandComplex::edge_of(int a, int b) {
  const std::vector<int> k = sorted({a, b});
  for (edge& e : edges) {
    if (sorted({e.v[0]->index, e.v[1]->index}) == k) return &e;
  }
  return nullptr;
}

void HandComplex::flow(int t, int u) { tetras[u].inflow.push_back(&tetras[t]); }

void HandComplex::empty(int t) {
  tetras[t].in_complex = false;
  tetras[t].flows_to_outside = false;
}
