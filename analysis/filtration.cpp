#include "analysis/filtration.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>

#include "geometry/ashape.h"
#include "geometry/d3dw.h"
#include "measure/complexbuild.h"

namespace {

filter* add_filter(FilterList& out, int dimension, double alpha, int rank) {
  out.owned.emplace_back(new filter());
  filter* f = out.owned.back().get();
  f->dimension = dimension;
  f->alpha = alpha;
  f->rank = rank;
  out.filters.push_back(f);
  return f;
}

void add_vertex_filters(std::vector<info>& atoms, FilterList& out) {
  for (size_t i = 0; i < atoms.size(); ++i) {
    filter* f = add_filter(out, 0, atoms[i].signed_size, static_cast<int>(i) + 1);
    f->info_ref = &atoms[i];
    atoms[i].position = static_cast<int>(i) + 1;
    atoms[i].filter_number = static_cast<int>(out.filters.size());
  }
}

void point_at(filter* f, tetra* r) { f->tetra_ref = r; }
void point_at(filter* f, tria* r) { f->tria_ref = r; }
void point_at(filter* f, edge* r) { f->edge_ref = r; }

template <class Record>
void add_record_filter(FilterList& out, int dimension, Record* r, int rank) {
  point_at(add_filter(out, dimension, r->signed_size, rank), r);
  r->position = rank;
  r->filter_number = static_cast<int>(out.filters.size());
}

// Equal-key rules of the insertion: a list element "at or after" the new
// filter (the low test) and "at or before" it (the high test).
bool low_test(const filter* l, const filter* f) {
  return l->alpha > f->alpha || (l->alpha == f->alpha && l->dimension >= f->dimension);
}
bool high_test(const filter* l, const filter* f) {
  return f->alpha > l->alpha || (f->alpha == l->alpha && l->dimension <= f->dimension);
}

// The place of a new element x in a list of n elements ordered by the low
// and high tests: low(i) says element i is at or after x, high(i) that it is
// at or before x.  Bisection between lo and hi: lo only ever moves onto
// elements strictly before x, hi onto elements not before it.  The low test
// runs first in every round, so an x equal in every key to the first
// element goes in front; otherwise it lands directly after the first equal
// element that hi reaches.  Files written from a filtration depend on this
// placement of ties, so it is kept as is rather than replaced by a library
// search.
template <class Low, class High>
size_t bisect_place(size_t n, Low low, High high) {
  if (n == 0) return 0;
  if (n == 1) return high(0) ? 1 : 0;
  size_t lo = 0, hi = n - 1;
  for (;;) {
    if (low(lo)) return lo;
    if (high(hi)) return hi + 1;
    const size_t w = hi - lo + 1;
    if (w == 2) break;
    const size_t mid = lo + w / 2;
    if (low(mid)) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  return hi;
}

// Inserts x into list at its bisect_place; low(l, x) and high(l, x) test
// list element l against x.
template <class T, class Low, class High>
void bisect_insert(T* x, std::vector<T*>& list, Low low, High high) {
  const size_t place = bisect_place(
      list.size(), [&](size_t i) { return low(list[i], x); },
      [&](size_t i) { return high(list[i], x); });
  list.insert(list.begin() + place, x);
}

// The place bisect_insert gives a new element in a list of n elements of
// which the first a come before it and the next b - a equal it: the same
// tests, asked of the places instead of the elements.
size_t insertion_place(size_t n, size_t a, size_t b) {
  return bisect_place(
      n, [a](size_t i) { return i >= a; }, [b](size_t i) { return i < b; });
}

// Counts per key class (prefix sums in a Fenwick tree).
class ClassCounts {
 public:
  explicit ClassCounts(size_t classes) : tree_(classes + 1, 0) {}
  void add(size_t c) {
    for (size_t i = c + 1; i < tree_.size(); i += i & (~i + 1)) ++tree_[i];
  }
  // Elements of the classes before c.
  size_t before(size_t c) const {
    size_t sum = 0;
    for (size_t i = c; i > 0; i -= i & (~i + 1)) sum += tree_[i];
    return sum;
  }

 private:
  std::vector<uint32_t> tree_;
};

}  // namespace

FilterList build_filter_list(std::vector<info>& atoms, const std::vector<CSimplex*>& simplices,
                             std::vector<tetra>& tetras, std::vector<tria>& trias,
                             std::vector<edge>& edges) {
  SimplexKeys tetra_keys, tria_keys, edge_keys;
  tetra_keys.reserve(tetras.size());
  tria_keys.reserve(trias.size());
  edge_keys.reserve(edges.size());
  for (size_t i = 0; i < tetras.size(); ++i) {
    const int v[4] = {tetras[i].v[0]->index, tetras[i].v[1]->index, tetras[i].v[2]->index,
                      tetras[i].v[3]->index};
    tetra_keys.insert(v, 4, static_cast<int>(i) + 1);
  }
  for (size_t i = 0; i < trias.size(); ++i) {
    const int v[3] = {trias[i].v[0]->index, trias[i].v[1]->index, trias[i].v[2]->index};
    tria_keys.insert(v, 3, static_cast<int>(i) + 1);
  }
  for (size_t i = 0; i < edges.size(); ++i) {
    const int v[2] = {edges[i].v[0]->index, edges[i].v[1]->index};
    edge_keys.insert(v, 2, static_cast<int>(i) + 1);
  }

  FilterList out;
  out.owned.reserve(atoms.size() + simplices.size());
  out.filters.reserve(atoms.size() + simplices.size());
  add_vertex_filters(atoms, out);
  int rank = 0;
  for (CSimplex* s : simplices) {
    ++rank;
    const int k = s->size();
    if (k < 2 || k > 4) continue;
    int v[4];
    for (int i = 0; i < k; ++i) v[i] = s->vertices[i]->id;
    // A simplex without a record (records built from another complex) is
    // left out rather than pointing its filter at nothing.
    if (k == 4) {
      const int id = tetra_keys.find(v, 4);
      if (id > 0) add_record_filter(out, 3, &tetras[id - 1], rank);
    } else if (k == 3) {
      const int id = tria_keys.find(v, 3);
      if (id > 0) add_record_filter(out, 2, &trias[id - 1], rank);
    } else {
      const int id = edge_keys.find(v, 2);
      if (id > 0) add_record_filter(out, 1, &edges[id - 1], rank);
    }
  }
  return out;
}

FilterList build_filter_list(std::vector<info>& atoms, std::vector<tetra>& tetras,
                             std::vector<tria>& trias, std::vector<edge>& edges) {
  // (place in the simplex list, dimension, record index)
  std::vector<std::tuple<int, int, size_t>> order;
  order.reserve(tetras.size() + trias.size() + edges.size());
  for (size_t i = 0; i < tetras.size(); ++i) order.emplace_back(tetras[i].position, 3, i);
  for (size_t i = 0; i < trias.size(); ++i) order.emplace_back(trias[i].position, 2, i);
  for (size_t i = 0; i < edges.size(); ++i) order.emplace_back(edges[i].position, 1, i);
  std::stable_sort(
      order.begin(), order.end(),
      [](const std::tuple<int, int, size_t>& a, const std::tuple<int, int, size_t>& b) {
        return std::get<0>(a) < std::get<0>(b);
      });

  FilterList out;
  out.owned.reserve(atoms.size() + order.size());
  out.filters.reserve(atoms.size() + order.size());
  add_vertex_filters(atoms, out);
  for (const auto& o : order) {
    const int rank = std::get<0>(o);
    const size_t i = std::get<2>(o);
    switch (std::get<1>(o)) {
      case 3:
        add_record_filter(out, 3, &tetras[i], rank);
        break;
      case 2:
        add_record_filter(out, 2, &trias[i], rank);
        break;
      default:
        add_record_filter(out, 1, &edges[i], rank);
        break;
    }
  }
  return out;
}

void filter_sort(filter* f, std::vector<filter*>& list) {
  bisect_insert(
      f, list, [](const filter* l, const filter* x) { return low_test(l, x); },
      [](const filter* l, const filter* x) { return high_test(l, x); });
}

void tria_sort(tria* t, std::vector<tria*>& list) {
  auto low = [](const tria* l, const tria* x) { return l->signed_size >= x->signed_size; };
  auto high = [](const tria* l, const tria* x) { return x->signed_size > l->signed_size; };
  bisect_insert(t, list, low, high);
}

std::vector<filter*> filter_sorted(const std::vector<filter*>& insertion_order) {
  const size_t m = insertion_order.size();
  std::vector<filter*> out;
  // A NaN key has no place in the order; only the insertions themselves
  // say where it lands.
  for (const filter* f : insertion_order) {
    if (std::isnan(f->alpha)) {
      out.reserve(m);
      for (filter* g : insertion_order) filter_sort(g, out);
      return out;
    }
  }
  // The list stays sorted by (alpha, dimension), so an insertion is fixed by
  // the number of elements before the new one's key class and in it; within
  // its class it goes to the place the bisection picks.  Each class owns a
  // segment of the output, filled as its members arrive.  Places and counts
  // fit 32 bits: a filtration holds far fewer simplices.
  auto before = [&insertion_order](uint32_t x, uint32_t y) {
    const filter* f = insertion_order[x];
    const filter* g = insertion_order[y];
    return f->alpha < g->alpha || (f->alpha == g->alpha && f->dimension < g->dimension);
  };
  std::vector<uint32_t> class_of(m);
  std::vector<size_t> start;  // of each class's segment
  {
    std::vector<uint32_t> by_key(m);
    for (size_t i = 0; i < m; ++i) by_key[i] = static_cast<uint32_t>(i);
    std::sort(by_key.begin(), by_key.end(), before);
    for (size_t k = 0; k < m; ++k) {
      if (k == 0 || before(by_key[k - 1], by_key[k])) start.push_back(k);
      class_of[by_key[k]] = static_cast<uint32_t>(start.size() - 1);
    }
  }
  const size_t classes = start.size();
  out.assign(m, nullptr);
  std::vector<uint32_t> filled(classes, 0);
  ClassCounts counts(classes);
  for (size_t i = 0; i < m; ++i) {
    const size_t c = class_of[i];
    const size_t a = counts.before(c);
    const size_t place = insertion_place(i, a, a + filled[c]) - a;
    filter** segment = out.data() + start[c];
    std::copy_backward(segment + place, segment + filled[c], segment + filled[c] + 1);
    segment[place] = insertion_order[i];
    ++filled[c];
    counts.add(c);
  }
  return out;
}
