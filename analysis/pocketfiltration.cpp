#include "analysis/pocketfiltration.h"

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "analysis/pairing.h"
#include "analysis/signs.h"

namespace {

const int FACE_COUNT = 4;

bool current(const info* a) { return a->marks[MARK_CURRENT_POCKET]; }

// Finds the clusters of one pocket at a time.  The reverse neighbour index
// (which tetrahedra list a given id among their neighbours), the tetrahedra
// at each atom and the buried ones are found once and serve every pocket,
// so a pocket's candidates come from its own atoms instead of a pass over
// the whole structure.
class ClusterFinder {
 public:
  explicit ClusterFinder(std::vector<tetra>& tetrahedra) {
    std::unordered_map<const info*, size_t> slot;
    std::vector<size_t> count;
    size_t links = 0;
    for (const tetra& x : tetrahedra) links += x.neighbours.size();
    listed_by_.reserve(links);
    for (tetra& x : tetrahedra) {
      for (const tetra* n : x.neighbours) listed_by_.emplace_back(n->id, &x);
      if (x.in_complex && x.buried) buried_.push_back(&x);
      for (info* v : x.v) {
        auto it = slot.emplace(v, atoms_.size()).first;
        if (it->second == atoms_.size()) {
          atoms_.push_back(v);
          count.push_back(0);
        }
        ++count[it->second];
      }
    }
    // The tetrahedra at atom k are at_atom_[first_[k] .. first_[k + 1]).
    first_.assign(atoms_.size() + 1, 0);
    for (size_t k = 0; k < atoms_.size(); ++k) first_[k + 1] = first_[k] + count[k];
    at_atom_.resize(first_.back());
    for (tetra& x : tetrahedra) {
      for (info* v : x.v) at_atom_[first_[slot[v] + 1] - count[slot[v]]--] = &x;
    }
    std::stable_sort(listed_by_.begin(), listed_by_.end(),
                     [](const std::pair<int, tetra*>& a, const std::pair<int, tetra*>& b) {
                       return a.first < b.first;
                     });
  }

  std::vector<tetra_cluster> find(int pocket_number) {
    std::vector<tetra_cluster> clusters;
    std::vector<int> keys;  // stable key of each cluster, parallel to clusters
    std::unordered_map<const tetra*, int> key_of;
    int next_key = 0;

    for (tetra* tp : candidates()) {
      tetra& t = *tp;
      t.clustered = true;

      // Clusters holding a tetrahedron that has t among its neighbours.
      std::unordered_set<int> touched;
      auto range = std::equal_range(
          listed_by_.begin(), listed_by_.end(), std::pair<int, tetra*>(t.id, nullptr),
          [](const std::pair<int, tetra*>& a, const std::pair<int, tetra*>& b) {
            return a.first < b.first;
          });
      for (auto it = range.first; it != range.second; ++it) {
        auto k = key_of.find(it->second);
        if (k != key_of.end()) touched.insert(k->second);
      }
      std::vector<int> index;  // list positions, ascending
      if (!touched.empty()) {
        for (size_t c = 0; c < clusters.size(); ++c) {
          if (touched.count(keys[c]) != 0) index.push_back(static_cast<int>(c));
        }
      }

      if (index.empty()) {
        clusters.emplace_back();
        clusters.back().tetrahedra.push_back(&t);
        keys.push_back(next_key);
        key_of[&t] = next_key++;
        continue;
      }
      tetra_cluster& first = clusters[index[0]];
      const int key = keys[index[0]];
      for (size_t k = 1; k < index.size(); ++k) {
        for (tetra* x : clusters[index[k]].tetrahedra) {
          first.tetrahedra.push_back(x);
          key_of[x] = key;
        }
      }
      for (size_t k = index.size() - 1; k >= 1; --k) {
        clusters.erase(clusters.begin() + index[k]);
        keys.erase(keys.begin() + index[k]);
      }
      // `first` stays valid: only later clusters were removed.
      first.tetrahedra.push_back(&t);
      key_of[&t] = key;
    }

    for (tetra_cluster& c : clusters) find_openings(c, pocket_number);
    return clusters;
  }

 private:
  static bool opening(const tria* f, int pocket_number) {
    if (f->cofaces.size() == 1) return f->cofaces[0]->clustered;
    if (f->cofaces.size() != 2) return false;
    const tetra* n0 = f->cofaces[0];
    const tetra* n1 = f->cofaces[1];
    return (!n0->clustered && n1->clustered && n0->pocket_number != pocket_number) ||
           (n0->clustered && !n1->clustered && n1->pocket_number != pocket_number);
  }

  // Opening triangles joined through shared edges form one opening; a
  // triangle touching several openings merges them into the earliest.
  static void find_openings(tetra_cluster& c, int pocket_number) {
    std::vector<int> keys;
    std::unordered_map<int, int> key_of_edge;  // edge id -> opening key
    int next_key = 0;
    for (tetra* x : c.tetrahedra) {
      for (int k = 0; k < FACE_COUNT; ++k) {
        tria* f = x->faces[k];
        if (!opening(f, pocket_number)) continue;
        std::unordered_set<int> touched;
        for (const edge* e : f->e) {
          auto it = key_of_edge.find(e->id);
          if (it != key_of_edge.end()) touched.insert(it->second);
        }
        std::vector<int> index;
        for (size_t m = 0; m < c.mouths.size() && !touched.empty(); ++m) {
          if (touched.count(keys[m]) != 0) index.push_back(static_cast<int>(m));
        }
        int key;
        if (index.empty()) {
          c.mouths.push_back(new mouth());
          keys.push_back(next_key);
          key = next_key++;
          c.mouths.back()->triangles.push_back(f);
        } else {
          mouth* first = c.mouths[index[0]];
          key = keys[index[0]];
          for (size_t m = 1; m < index.size(); ++m) {
            for (tria* g : c.mouths[index[m]]->triangles) {
              first->triangles.push_back(g);
              for (const edge* e : g->e) key_of_edge[e->id] = key;
            }
          }
          for (size_t m = index.size() - 1; m >= 1; --m) {
            delete c.mouths[index[m]];
            c.mouths.erase(c.mouths.begin() + index[m]);
            keys.erase(keys.begin() + index[m]);
          }
          first->triangles.push_back(f);
        }
        for (const edge* e : f->e) key_of_edge[e->id] = key;
      }
    }
    c.enclosed = c.mouths.empty();
  }

  // The tetrahedra of the complex whose four atoms are in the current
  // pocket or that are buried, in vector order.
  std::vector<tetra*> candidates() const {
    std::vector<tetra*> out(buried_);
    for (size_t i = 0; i < atoms_.size(); ++i) {
      if (!current(atoms_[i])) continue;
      for (size_t k = first_[i]; k < first_[i + 1]; ++k) {
        tetra* t = at_atom_[k];
        if (t->in_complex && current(t->v[0]) && current(t->v[1]) && current(t->v[2]) &&
            current(t->v[3])) {
          out.push_back(t);
        }
      }
    }
    std::sort(out.begin(), out.end(), std::less<tetra*>());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
  }

  std::vector<std::pair<int, tetra*>> listed_by_;  // (neighbour id, tetrahedron listing it)
  std::vector<tetra*> buried_;                     // of the complex
  std::vector<info*> atoms_;                       // the tetrahedra's atoms
  std::vector<size_t> first_;                      // their runs in at_atom_
  std::vector<tetra*> at_atom_;                    // tetrahedra at each of them
};

// The filter of a record in the structure's filter list, null when its
// filter number names no filter of this record (ref: the filter's pointer to
// records of this kind).
template <class Record>
filter* filter_of(Record* r, Record* filter::*ref, const std::vector<filter*>& filters) {
  const int n = r->filter_number;
  if (n < 1 || n > static_cast<int>(filters.size())) return nullptr;
  return filters[n - 1]->*ref == r ? filters[n - 1] : nullptr;
}

// One pocket's working filtration with its membership index.
class Filtration {
 public:
  Filtration(const std::vector<filter*>& filters, int stamp) : filters_(filters), stamp_(stamp) {}

  void add_faces_edges_vertices(tetra* t, bool enclosed, bool mark_current) {
    for (tria* f : t->faces) {
      filter* x = filter_of(f, &filter::tria_ref, filters_);
      if (!enter(x)) continue;
      if (enclosed) x->enclosed = true;
      f->stamp = stamp_;
      f->boundary.insert(f->boundary.end(), f->e, f->e + 3);
      entered_.push_back(x);
    }
    for (edge* e : t->edges) {
      filter* x = filter_of(e, &filter::edge_ref, filters_);
      if (!enter(x)) continue;
      e->stamp = stamp_;
      e->boundary.push_back(e->v[0]);
      e->boundary.push_back(e->v[1]);
      entered_.push_back(x);
    }
    for (info* v : t->v) {
      filter* x = filter_of(v, &filter::info_ref, filters_);
      if (!enter(x)) continue;
      v->stamp = stamp_;
      if (mark_current) v->marks[MARK_CURRENT_POCKET] = true;
      entered_.push_back(x);
    }
  }

  // The tetrahedron itself enters without a membership test.
  void add_tetra(tetra* t, bool enclosed) {
    filter* x = filter_of(t, &filter::tetra_ref, filters_);
    if (x == nullptr) return;
    t->boundary.insert(t->boundary.end(), t->faces, t->faces + FACE_COUNT);
    t->stamp = stamp_;
    x->sign = 1;
    x->paired = false;
    if (enclosed) x->enclosed = true;
    members_.insert(x);
    entered_.push_back(x);
  }

  // The filtration: the filters in the order filter_sort leaves them when
  // they are inserted one by one as they entered.  Ends the additions: the
  // working lists are released first.
  std::vector<filter*> take_sorted() {
    std::unordered_set<const filter*>().swap(members_);
    std::vector<filter*> entered;
    entered.swap(entered_);
    return filter_sorted(entered);
  }

 private:
  bool enter(filter* x) {
    if (x == nullptr || !members_.insert(x).second) return false;
    x->sign = 1;
    x->paired = false;
    return true;
  }

  const std::vector<filter*>& filters_;
  const int stamp_;
  std::unordered_set<const filter*> members_;
  std::vector<filter*> entered_;
};

void set_positions(std::vector<filter*>& W) {
  for (size_t i = 0; i < W.size(); ++i) {
    filter* f = W[i];
    const int p = static_cast<int>(i) + 1;
    f->position = p;
    switch (f->dimension) {
      case 0:
        f->info_ref->position = p;
        break;
      case 1:
        f->edge_ref->position = p;
        break;
      case 2:
        f->tria_ref->position = p;
        break;
      case 3:
        f->tetra_ref->position = p;
        break;
      default:
        break;
    }
  }
}

void reset(std::vector<filter*>& W) {
  for (filter* f : W) {
    switch (f->dimension) {
      case 0:
        f->info_ref->stamp = -1;
        f->info_ref->marks[MARK_CURRENT_POCKET] = false;
        f->info_ref->chain.clear();
        break;
      case 1:
        f->edge_ref->stamp = -1;
        f->edge_ref->chain.clear();
        f->edge_ref->boundary.clear();
        break;
      case 2:
        f->enclosed = false;
        f->tria_ref->stamp = -1;
        f->tria_ref->chain.clear();
        f->tria_ref->boundary.clear();
        break;
      case 3:
        f->tetra_ref->clustered = false;
        f->tetra_ref->stamp = -1;
        f->enclosed = false;
        f->tetra_ref->boundary.clear();
        break;
      default:
        break;
    }
  }
}

// The filter at a record's position in W when it is that record's own.
template <class Record>
filter* in_filtration(Record* r, const std::vector<filter*>& W);

template <>
filter* in_filtration(tria* r, const std::vector<filter*>& W) {
  const int p = r->position;
  if (p < 1 || p > static_cast<int>(W.size()) || W[p - 1]->tria_ref != r) return nullptr;
  return W[p - 1];
}
template <>
filter* in_filtration(tetra* r, const std::vector<filter*>& W) {
  const int p = r->position;
  if (p < 1 || p > static_cast<int>(W.size()) || W[p - 1]->tetra_ref != r) return nullptr;
  return W[p - 1];
}

}  // namespace

std::vector<tetra_cluster> find_tetra_clusters(std::vector<tetra>& tetrahedra, int pocket_number) {
  return ClusterFinder(tetrahedra).find(pocket_number);
}

void release_clusters(std::vector<tetra_cluster>& clusters) {
  for (tetra_cluster& c : clusters) {
    for (mouth* m : c.mouths) delete m;
    c.mouths.clear();
  }
  clusters.clear();
}

void sub_pocket_boundary(pocket& P, std::vector<filter*>& W) {
  std::unordered_set<const tria*> on_boundary(P.boundary_triangles.begin(),
                                              P.boundary_triangles.end());
  for (const std::shared_ptr<subpocket>& sp : P.subpockets) {
    subpocket& S = *sp;
    std::unordered_set<const filter*> held(S.filters.begin(), S.filters.end());
    for (tetra* t : S.tetrahedra) {
      for (tria* f : t->faces) {
        filter* x = in_filtration(f, W);
        if (x != nullptr && held.insert(x).second) S.filters.push_back(x);
      }
      const filter* g = in_filtration(t, W);
      if (g == nullptr) continue;
      // The triangle paired with the tetrahedron names it back; a partner
      // left from another filtration does not.
      const int q = g->partner;
      if (q >= 1 && q <= static_cast<int>(W.size()) && W[q - 1]->dimension == 2 &&
          W[q - 1]->partner == g->position) {
        const double b = W[q - 1]->alpha;
        if (b < S.begin) S.begin = b;
      }
      if (g->alpha > S.end) S.end = g->alpha;
    }
    for (const std::shared_ptr<mouth>& k : S.knot_tops) {
      if (k->triangles.empty()) continue;
      tria* t = k->triangles[0];
      if (on_boundary.insert(t).second) tria_sort(t, P.boundary_triangles);
      S.alphas.push_back(t->signed_size);
    }
  }
}

void pocket_filter_build_up(std::vector<tetra>& tetrahedra, std::vector<pocket>& pockets,
                            std::vector<filter*> filters) {
  ClusterFinder finder(tetrahedra);
  const HullRoutes routes(tetrahedra);
  for (size_t k = 0; k < pockets.size(); ++k) {
    pocket& P = pockets[k];
    const int stamp = 100 * (static_cast<int>(k) + 1);
    P.stamp = stamp;

    Filtration fil(filters, stamp);
    for (tetra* t : P.tetrahedra) {
      fil.add_faces_edges_vertices(t, false, true);
      fil.add_tetra(t, false);
    }

    std::vector<tetra_cluster> clusters = finder.find(P.number);
    for (const tetra_cluster& c : clusters) {
      if (!c.enclosed) continue;
      for (tetra* x : c.tetrahedra) {
        fil.add_faces_edges_vertices(x, true, false);
        fil.add_tetra(x, true);
      }
    }

    std::vector<filter*> W = fil.take_sorted();
    set_positions(W);
    std::vector<cycle0*> c0;
    std::vector<cycle1*> c1;
    std::vector<cycle2*> c2;
    std::vector<cycle3*> c3;
    std::vector<list*> pairs0, pairs1, pairs2;
    sign_detect(W, c0, c1, c2, c3, routes);
    pair_simplices(W, pairs0, pairs1, pairs2);
    sub_pocket_boundary(P, W);
    P.filters = W;

    reset(W);
    // Clusters that were not enclosed never entered the filtration; their
    // flags are cleared too, so that they cannot hide openings from the
    // next pocket.
    for (const tetra_cluster& c : clusters) {
      for (tetra* x : c.tetrahedra) x->clustered = false;
    }
    release_clusters(clusters);
    release_components(c0, c1, c2, c3);
    release_pairs(pairs0, pairs1, pairs2);
  }
}
