#include "pockets/marks.h"

#include <algorithm>
#include <map>

#include "structure/util.h"

namespace {

// A plain loop: the lists hold a pocket or two, too short for std::find's
// unrolled search to pay.
bool has_value(const std::vector<int>& v, int value) {
  for (int x : v)
    if (x == value) return true;
  return false;
}

// Lists the pocket number once, with a fresh sub_id beside it.
template <class Simplex>
void list_pocket(Simplex* s, int number) {
  if (has_value(s->pocket_numbers, number)) return;
  s->pocket_numbers.push_back(number);
  sub_id id;
  id.pocket = number;
  s->sub_ids.push_back(id);
}

template <class Simplex>
void list_subpocket(Simplex* s, int number, int index) {
  for (sub_id& id : s->sub_ids) {
    if (id.pocket == number && !has_value(id.subpockets, index)) id.subpockets.push_back(index);
  }
}

info* other_end(const edge* e, const info& a) {
  return e->v[0]->index != a.index ? e->v[0] : e->v[1];
}

}  // namespace

void pocketspocindex(std::vector<info>& /*atoms*/, std::vector<pocket>& pockets) {
  number_pockets(pockets);
  for (pocket& p : pockets) {
    const int n = p.number;
    for (tetra* t : p.tetrahedra) {
      t->pocket_number = n;
      for (info* v : t->v) v->marks[MARK_POCKET] = true;
      for (edge* e : t->edges) {
        if (!has_value(e->pocket_numbers, n)) e->pocket_numbers.push_back(n);
      }
      for (tria* f : t->faces) list_pocket(f, n);
      for (info* v : t->v) list_pocket(v, n);
    }
    for (size_t k = 0; k < p.subpockets.size(); ++k) {
      subpocket& s = *p.subpockets[k];
      const int index = static_cast<int>(k);
      s.index = index;
      s.number = n;
      for (tetra* t : s.tetrahedra) {
        t->subpocket_index = index;
        for (info* v : t->v) list_subpocket(v, n, index);
        for (tria* f : t->faces) list_subpocket(f, n, index);
      }
    }
  }
}

void pocketspocindexspec(std::vector<info>& /*atoms*/, std::vector<pocket>& pockets) {
  number_pockets(pockets);
  for (pocket& p : pockets) {
    for (tetra* t : p.tetrahedra) {
      for (info* v : t->v) {
        v->marks[MARK_POCKET] = true;
        if (!has_value(v->spec_pocket_numbers, p.number))
          v->spec_pocket_numbers.push_back(p.number);
      }
    }
  }
}

void pockets_burried_atoms(std::vector<info>& atoms, std::vector<pocket>& pockets) {
  std::map<int, int> position_of;
  for (size_t i = 0; i < pockets.size(); ++i) position_of[pockets[i].number] = static_cast<int>(i);
  // A number the map lacks reads position 0.
  auto pocket_of = [&](int number) -> pocket& {
    auto it = position_of.find(number);
    return pockets[it == position_of.end() ? 0 : it->second];
  };

  for (info& a : atoms) {
    if (a.marks[MARK_POCKET] || a.complex_tetras.size() != a.all_tetras.size()) continue;
    const auto& edges = a.incident_edges;
    const size_t m = edges.size();
    if (m == 0 || pockets.empty()) continue;
    if (m == 1) {
      info* b = other_end(edges[0], a);
      if (!b->marks[MARK_POCKET]) continue;
      for (int n : b->pocket_numbers) pocket_of(n).buried_atoms.push_back(&a);
      continue;
    }
    std::vector<int> candidates;
    bool verdict = false;
    info* b = other_end(edges[0], a);
    if (b->marks[MARK_POCKET] && !b->incident_edges.empty()) {
      candidates = b->incident_edges[0]->pocket_numbers;
      verdict = true;
    }
    for (size_t u = 1; u + 1 < m; ++u) {
      info* c = other_end(edges[u], a);
      info* d = other_end(edges[u + 1], a);
      if (!c->marks[MARK_POCKET] || !d->marks[MARK_POCKET]) {
        verdict = false;
      } else if (verdict) {
        if (!common_id_judge(candidates, d->pocket_numbers)) {
          verdict = false;
        } else {
          std::vector<int> common;
          common_id(candidates, d->pocket_numbers, common);
          candidates.swap(common);
        }
      }
    }
    if (!verdict) continue;
    for (int n : candidates) pocket_of(n).buried_atoms.push_back(&a);
    for (tetra* t : a.complex_tetras) t->buried = true;
  }
}
