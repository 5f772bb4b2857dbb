#include "pockets/assembly.h"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <utility>

namespace {

bool holds_pointer(const std::vector<tetra*>& list, const tetra* t) {
  return std::find(list.begin(), list.end(), t) != list.end();
}

void erase_value(std::vector<int>& v, int value) {
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == value) {
      v.erase(v.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}

bool has_value(const std::vector<int>& v, int value) {
  return std::find(v.begin(), v.end(), value) != v.end();
}

// A list of assembly records (the pockets, or the flow components) with
// indexes in place of membership scans.  Records are addressed by creation
// index; new records are only ever appended and removal keeps the order of
// the others, so list order is creation order among the live records, and
// "the last record holding X" is the largest live index holding X.
class AssemblyList {
 public:
  AssemblyList(std::vector<tetra>& tetras, bool pockets)
      : base_(tetras.data()), pockets_(pockets), holders_(tetras.size()) {}

  int create(int id, tetra* t) {
    const int k = static_cast<int>(recs_.size());
    recs_.emplace_back();
    recs_.back().id = id;
    alive_.push_back(1);
    append_tetra(k, t);
    return k;
  }

  // The last live record holding t, or -1.
  int last_holding(const tetra* t) const {
    int best = -1;
    for (int k : holders_[index(t)]) best = std::max(best, k);
    return best;
  }

  const std::vector<int>& holding(const tetra* t) const { return holders_[index(t)]; }

  bool holds(int k, const tetra* t) const { return has_value(holders_[index(t)], k); }

  void append_tetra(int k, tetra* t) {
    recs_[k].tetrahedra.push_back(t);
    holders_[index(t)].push_back(k);
    if (pockets_) t->pocket_number_of = recs_[k].id;
  }

  // Appends without checking: a face can stand twice in one list.
  void append_triangle(int k, tria* t) {
    recs_[k].inner_triangles.push_back(t);
    std::vector<int>& h = tri_holders_[t];
    if (!has_value(h, k)) h.push_back(k);
  }

  bool holds_triangle(int k, const tria* t) const {
    auto it = tri_holders_.find(t);
    return it != tri_holders_.end() && has_value(it->second, k);
  }

  // Moves into `into` every tetrahedron (and inner triangle) of `from` that it
  // lacks, in order, then removes `from`.
  void merge(int into, int from) {
    pocket& src = recs_[from];
    for (tetra* x : src.tetrahedra) {
      if (!holds(into, x)) append_tetra(into, x);
    }
    for (tria* u : src.inner_triangles) {
      if (!holds_triangle(into, u)) append_triangle(into, u);
    }
    for (tetra* x : src.tetrahedra) erase_value(holders_[index(x)], from);
    for (tria* u : src.inner_triangles) {
      auto it = tri_holders_.find(u);
      if (it != tri_holders_.end()) erase_value(it->second, from);
    }
    std::vector<tetra*>().swap(src.tetrahedra);
    std::vector<tria*>().swap(src.inner_triangles);
    alive_[from] = 0;
  }

  pocket& rec(int k) { return recs_[k]; }
  int count() const { return static_cast<int>(recs_.size()); }
  bool alive(int k) const { return alive_[k] != 0; }

 private:
  size_t index(const tetra* t) const { return static_cast<size_t>(t - base_); }

  tetra* base_;
  bool pockets_;  // the pocket list sets the assembly id; components do not
  std::vector<pocket> recs_;
  std::vector<char> alive_;
  std::vector<std::vector<int>> holders_;
  std::unordered_map<const tria*, std::vector<int>> tri_holders_;
};

// The one or more knot records of `s` whose id is `partner_id` get t; without
// any, a new record is made.
void add_knot(subpocket& s, int partner_id, tria* t) {
  bool found = false;
  for (const std::shared_ptr<mouth>& k : s.knots) {
    if (k->id == partner_id) {
      k->triangles.push_back(t);
      found = true;
    }
  }
  if (!found) {
    std::shared_ptr<mouth> k = std::make_shared<mouth>();
    k->id = partner_id;
    k->triangles.push_back(t);
    s.knots.push_back(k);
  }
}

// Keeps, per partner, the shared triangle of largest size; a later triangle
// of equal size replaces the earlier one.
void add_knot_top(subpocket& s, int partner_id, int partner_index, tria* t) {
  bool found = false;
  for (size_t j = 0; j < s.knot_tops.size(); ++j) {
    mouth& k = *s.knot_tops[j];
    if (k.id != partner_id) continue;
    found = true;
    if (k.triangles.empty()) {
      k.triangles.push_back(t);
      s.knot_partners[j] = partner_index;
    } else if (t->signed_size >= k.triangles[0]->signed_size) {
      k.triangles[0] = t;
      s.knot_partners[j] = partner_index;
    }
  }
  if (!found) {
    std::shared_ptr<mouth> k = std::make_shared<mouth>();
    k->id = partner_id;
    k->triangles.push_back(t);
    s.knot_tops.push_back(k);
    s.knot_partners.push_back(partner_index);
  }
}

void make_knots(pocket& p, std::vector<tetra>& tetras,
                std::vector<std::vector<int>>& subpockets_of) {
  const size_t count = p.subpockets.size();
  if (count < 2) return;
  tetra* base = tetras.data();
  // Which sub-pockets of this pocket hold each tetrahedron, ascending.
  for (size_t i = 0; i < count; ++i) {
    for (tetra* x : p.subpockets[i]->tetrahedra) subpockets_of[x - base].push_back(static_cast<int>(i));
  }
  std::vector<int> list;
  for (tria* t : p.inner_triangles) {
    // The sub-pocket indices of the tetrahedra that share t, in ascending
    // order; only the first two are used.
    list.clear();
    for (tetra* x : t->cofaces) {
      if (std::find(x->shared_trias.begin(), x->shared_trias.end(), t) == x->shared_trias.end()) continue;
      const std::vector<int>& s = subpockets_of[x - base];
      list.insert(list.end(), s.begin(), s.end());
    }
    if (list.size() < 2) continue;  // t does not join two sub-pocket members
    std::sort(list.begin(), list.end());
    const int a = list[0];
    const int b = list[1];
    subpocket& sa = *p.subpockets[a];
    subpocket& sb = *p.subpockets[b];
    if (a == b) {
      add_knot(sa, sa.id, t);
      continue;
    }
    add_knot(sa, sb.id, t);
    add_knot(sb, sa.id, t);
    add_knot_top(sa, sb.id, b, t);
    add_knot_top(sb, sa.id, a, t);
  }
  for (size_t i = 0; i < count; ++i) {
    for (tetra* x : p.subpockets[i]->tetrahedra) subpockets_of[x - base].clear();
  }
}

}  // namespace

void pocketsrepresentation(std::vector<tetra>& tetras, std::vector<pocket>& pockets,
                           double /*probe*/) {
  // Flood fill from every empty tetrahedron that does not flow outside; a
  // fill clears flows_to_outside on what it reaches, so a later tetrahedron
  // can start a fill (of no further effect) of its own.
  int c = 1;
  for (tetra& t : tetras) {
    if (t.in_complex || t.flows_to_outside) continue;
    t.component_id = c;
    t.visited = true;
    t.pockets_dfs_visit(c);
    ++c;
  }

  AssemblyList out(tetras, true);
  AssemblyList comps(tetras, false);
  int q = 0;
  for (tetra& t : tetras) {
    if (t.in_complex || !t.visited) continue;
    ++q;
    // Every such tetrahedron starts a record of its own at its turn, even
    // when an earlier pocket has already taken it in.
    out.create(q, &t);
    comps.create(q, &t);
    for (size_t k = 0; k < t.neighbours.size(); ++k) {
      tetra* n = t.neighbours[k];
      tria* face = k < t.shared_trias.size() ? t.shared_trias[k] : nullptr;
      if (n == nullptr || face == nullptr) continue;
      const bool flow = holds_pointer(n->inflow, &t) || holds_pointer(t.inflow, n);
      if (!n->visited || !(flow || !face->in_complex)) continue;

      const int pt = out.last_holding(&t);
      const int pn = out.last_holding(n);
      if (!flow && !face->in_complex) {
        // Copy: appending cannot change who holds t, but keep the loop plain.
        const std::vector<int> holding = out.holding(&t);
        for (int h : holding) out.append_triangle(h, face);
      }
      if (pn < 0) {
        out.append_tetra(pt, n);
      } else if (out.rec(pn).id != out.rec(pt).id) {
        out.merge(pt, pn);
      }

      if (flow) {
        const int ct = comps.last_holding(&t);
        const int cn = comps.last_holding(n);
        if (cn < 0) {
          comps.append_tetra(ct, n);
        } else if (comps.rec(cn).id != comps.rec(ct).id) {
          comps.merge(ct, cn);
        }
      }
    }
  }

  // Largest size among each component's tetrahedra.
  for (int k = 0; k < comps.count(); ++k) {
    if (!comps.alive(k)) continue;
    pocket& comp = comps.rec(k);
    double m = -10000.0;
    for (tetra* x : comp.tetrahedra) {
      if (x->signed_size > m) {
        comp.max_alpha = x->signed_size;
        m = x->signed_size;
      }
    }
  }

  // One sub-pocket per component, in every pocket that holds the component's
  // first tetrahedron, in component order.
  std::vector<int> holding;
  for (int k = 0; k < comps.count(); ++k) {
    if (!comps.alive(k)) continue;
    pocket& comp = comps.rec(k);
    holding = out.holding(comp.tetrahedra[0]);
    std::sort(holding.begin(), holding.end());
    for (int h : holding) {
      std::shared_ptr<subpocket> s = std::make_shared<subpocket>();
      s->tetrahedra = comp.tetrahedra;
      s->id = comp.id;
      s->max_alpha = comp.max_alpha;
      s->begin = 10.0;
      s->end = -10.0;
      out.rec(h).subpockets.push_back(s);
    }
  }

  std::vector<std::vector<int>> subpockets_of(tetras.size());
  for (int k = 0; k < out.count(); ++k) {
    if (out.alive(k)) make_knots(out.rec(k), tetras, subpockets_of);
  }

  for (int k = 0; k < out.count(); ++k) {
    if (out.alive(k)) pockets.push_back(std::move(out.rec(k)));
  }
}
