#include "analysis/pairing.h"

#include <algorithm>
#include <climits>

namespace {

info* ref_of(const filter* f, const info*) { return f->info_ref; }
edge* ref_of(const filter* f, const edge*) { return f->edge_ref; }
tria* ref_of(const filter* f, const tria*) { return f->tria_ref; }

// The filter of a face named by its position, null when that place of the
// list does not hold the face's own filter (a face outside the filtration
// keeps the position of an earlier one).
template <class Face>
filter* filter_at(const Face* x, const std::vector<filter*>& filters) {
  const int p = x->position;
  if (p < 1 || p > static_cast<int>(filters.size())) return nullptr;
  filter* g = filters[p - 1];
  return ref_of(g, x) == x ? g : nullptr;
}

// Reduces the boundary of the negative simplex s (filter f) until its
// youngest positive face is unpaired, then pairs the two.  False when no
// positive face is left.
template <class Simplex, class Face>
bool reduce(Simplex* s, filter* f, std::vector<filter*>& filters) {
  int previous = INT_MAX;
  for (;;) {
    int y = 0;
    for (const Face* x : s->boundary) {
      const filter* g = filter_at(x, filters);
      if (g != nullptr && g->sign > 0 && x->position > y) y = x->position;
    }
    // Every round cancels the youngest positive face, so it must move to an
    // older one; a boundary holding a face twice would otherwise loop.
    if (y == 0 || y >= previous) return false;
    previous = y;
    filter* g = filters[y - 1];
    Face* t = ref_of(g, static_cast<const Face*>(nullptr));
    if (!g->paired) {
      s->partner = y;
      t->chain.insert(t->chain.end(), s->boundary.begin(), s->boundary.end());
      g->paired = true;
      g->partner = f->position;
      f->partner = g->position;
      return true;
    }
    for (Face* x : t->chain) {
      auto it = std::find(s->boundary.begin(), s->boundary.end(), x);
      if (it != s->boundary.end()) {
        s->boundary.erase(it);
      } else {
        s->boundary.push_back(x);
      }
    }
  }
}

// Pairs the simplex at place i; returns the filter of its partner, null
// when it stays unpaired or is a vertex.
filter* pair_at(int i, std::vector<filter*>& filters) {
  filter* f = filters[i];
  switch (f->dimension) {
    case 1:
      if (reduce<edge, info>(f->edge_ref, f, filters)) return filters[f->edge_ref->partner - 1];
      break;
    case 2:
      if (reduce<tria, edge>(f->tria_ref, f, filters)) return filters[f->tria_ref->partner - 1];
      break;
    case 3:
      if (reduce<tetra, tria>(f->tetra_ref, f, filters)) return filters[f->tetra_ref->partner - 1];
      break;
    default:
      break;
  }
  return nullptr;
}

}  // namespace

void youngest_index(int i, std::vector<filter*>& filters) { pair_at(i, filters); }

void pair_simplices(std::vector<filter*>& filters, std::vector<list*>& pairs0,
                    std::vector<list*>& pairs1, std::vector<list*>& pairs2) {
  int b0 = 0, b1 = 0, b2 = 0, p = 0;
  for (size_t i = 0; i < filters.size(); ++i) {
    filter* f = filters[i];
    std::vector<list*>* pairs = nullptr;
    switch (f->dimension) {
      case 0:
        ++b0;
        break;
      case 1:
        if (f->sign > 0) {
          ++b1;
        } else {
          --b0;
          pairs = &pairs0;
        }
        break;
      case 2:
        if (f->sign > 0) {
          ++b2;
        } else {
          --b1;
          pairs = &pairs1;
        }
        break;
      case 3:
        --b2;
        pairs = &pairs2;
        break;
      default:
        continue;
    }
    f->b0 = b0;
    f->b1 = b1;
    f->b2 = b2;
    if (pairs == nullptr) continue;
    // Every negative simplex takes a pair number, paired or not.
    ++p;
    filter* birth = pair_at(static_cast<int>(i), filters);
    if (birth == nullptr) continue;
    list* pair = new list();
    pair->id = p;
    pair->birth = birth;
    pair->death = f;
    pairs->push_back(pair);
  }
}

void release_pairs(std::vector<list*>& pairs0, std::vector<list*>& pairs1,
                   std::vector<list*>& pairs2) {
  for (std::vector<list*>* l : {&pairs0, &pairs1, &pairs2}) {
    for (list* p : *l) delete p;
    l->clear();
  }
}
