#include "measure/complexbuild.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>

#include "geometry/ashape.h"
#include "geometry/triangulate.h"
#include "structure/bead.h"

// ---- SimplexKeys -----------------------------------------------------------

SimplexKeys::Entry SimplexKeys::pack(const int* v, int n, int id) {
  int s[4] = {-1, -1, -1, -1};
  for (int k = 0; k < n; ++k) s[k] = v[k];
  // Exchange sort, ascending.
  for (int i = 0; i + 1 < n; ++i)
    for (int j = i + 1; j < n; ++j)
      if (s[j] < s[i]) {
        int t = s[i];
        s[i] = s[j];
        s[j] = t;
      }
  Entry e{s[0], {-1, -1, -1}, id};
  for (int k = 1; k < n; ++k) e.rest[k - 1] = s[k];
  return e;
}

void SimplexKeys::reserve(std::size_t n) { pending_.reserve(n); }

void SimplexKeys::insert(const int* v, int n, int id) {
  pending_.push_back(pack(v, n, id));
  built_ = false;
}

// Counting sort by smallest index; stable, so the first id given for a key
// is met first.  Keys grouped by an earlier build come before those inserted
// since.  Only the grouped copy is kept.
void SimplexKeys::build() {
  std::vector<Entry> all;
  if (entries_.empty()) {
    all.swap(pending_);
  } else {
    all.swap(entries_);
    all.insert(all.end(), pending_.begin(), pending_.end());
    std::vector<Entry>().swap(pending_);
  }
  int top = -1;
  for (const Entry& e : all) top = e.first > top ? e.first : top;
  start_.assign(static_cast<std::size_t>(top) + 2, 0);
  for (const Entry& e : all) ++start_[static_cast<std::size_t>(e.first) + 1];
  for (std::size_t k = 1; k < start_.size(); ++k) start_[k] += start_[k - 1];
  entries_.resize(all.size());
  std::vector<std::size_t> next(start_.begin(), start_.end() - 1);
  for (const Entry& e : all) entries_[next[static_cast<std::size_t>(e.first)]++] = e;
  built_ = true;
}

int SimplexKeys::find(const int* v, int n) {
  const Entry key = pack(v, n, 0);
  return find_packed(key);
}

int SimplexKeys::find_packed(const Entry& key) {
  if (!built_) build();
  if (key.first < 0 || static_cast<std::size_t>(key.first) + 1 >= start_.size()) return 0;
  for (std::size_t k = start_[key.first]; k < start_[key.first + 1]; ++k) {
    const Entry& e = entries_[k];
    if (e.rest[0] == key.rest[0] && e.rest[1] == key.rest[1] && e.rest[2] == key.rest[2])
      return e.id;
  }
  return 0;
}

// ---- ComplexRecords ----------------------------------------------------------

namespace {

template <class Record, int N>
int find_record(std::vector<Record>& records, SimplexKeys& keys, const int* v) {
  if (keys.size() != records.size()) {
    keys = SimplexKeys();
    keys.reserve(records.size());
    for (const Record& r : records) {
      int key[N];
      for (int k = 0; k < N; ++k) key[k] = r.v[k]->index;
      keys.insert(key, N, r.id);
    }
  }
  return keys.find(v, N);
}

template <class Record>
Record* record_of(std::vector<Record>& records, int id) {
  return id > 0 ? &records[static_cast<std::size_t>(id - 1)] : nullptr;
}

}  // namespace

tetra* ComplexRecords::find_tetra(int a, int b, int c, int d) {
  const int v[4] = {a, b, c, d};
  return record_of(tetras, find_record<tetra, 4>(tetras, tetra_keys_, v));
}

tria* ComplexRecords::find_tria(int a, int b, int c) {
  const int v[3] = {a, b, c};
  return record_of(trias, find_record<tria, 3>(trias, tria_keys_, v));
}

edge* ComplexRecords::find_edge(int a, int b) {
  const int v[2] = {a, b};
  return record_of(edges, find_record<edge, 2>(edges, edge_keys_, v));
}

// ---- passes -------------------------------------------------------------------

std::vector<ListedSimplex> list_simplices(const std::vector<CSimplex*>& simplices) {
  std::vector<ListedSimplex> list(simplices.size());
  for (std::size_t k = 0; k < simplices.size(); ++k) {
    CSimplex* s = simplices[k];
    ListedSimplex& l = list[k];
    l.size = s->size();
    for (int m = 0; m < 4; ++m) l.v[m] = m < l.size ? s->vertices[m]->id : -1;
  }
  return list;
}

namespace {

// The next record of a kind, made in place: its id and its vertices.
template <class Record>
Record& add_record(std::vector<Record>& records, const ListedSimplex& s, std::vector<info>& atoms) {
  records.emplace_back();
  Record& r = records.back();
  r.id = static_cast<int>(records.size());
  for (int k = 0; k < s.size; ++k) r.v[k] = &atoms[s.v[k]];
  return r;
}

}  // namespace

std::vector<ListedSimplex> expanded_simplex_list(std::vector<Bead>& beads, double probe,
                                                 std::vector<char>* flat) {
  std::unique_ptr<CD3DW> triangulation = triangulate(beads, [probe](const Bead& b) {
    const double r = b.radius + probe;
    return r * r;
  });
  CAlpha* complex = new CAlpha(triangulation.get(), CAlpha::kListOnly);
  std::vector<ListedSimplex> list = list_simplices(complex->simplices);
  if (flat) {
    flat->clear();
    for (CSimplex* s : complex->simplices)
      if (s->size() == 4) flat->push_back(static_cast<C3Simplex*>(s)->sigma_inf);
  }
  delete complex;
  return list;
}

double alpha_radius(double radius, double probe, double alpha) {
  const double expanded = radius + probe;
  const double square =
      alpha >= 0.0 ? expanded * expanded + alpha * alpha : expanded * expanded - alpha * alpha;
  return std::sqrt(std::max(0.0, square)) - probe;
}

void make_records(const std::vector<ListedSimplex>& list, ComplexRecords& rec, double probe) {
  std::size_t n4 = 0, n3 = 0, n2 = 0;
  for (const ListedSimplex& s : list) {
    if (s.size == 4)
      ++n4;
    else if (s.size == 3)
      ++n3;
    else if (s.size == 2)
      ++n2;
  }
  // Room for every record at once: no record moves after this point.  Each
  // record is made in place when its simplex is met, so the memory is
  // written in one sweep.
  rec.tetras.clear();
  rec.trias.clear();
  rec.edges.clear();
  rec.tetras.reserve(n4);
  rec.trias.reserve(n3);
  rec.edges.reserve(n2);

  for (const ListedSimplex& s : list) {
    if (s.size == 4)
      add_record(rec.tetras, s, rec.atoms).setcenter4(probe);
    else if (s.size == 3)
      add_record(rec.trias, s, rec.atoms).setcenter3(probe);
    else if (s.size == 2)
      add_record(rec.edges, s, rec.atoms).setcenter2(probe);
  }
}

namespace {

// The vertex indices of a record in ascending order, and the place in that
// order of each of its vertices (equal indices keep their vertex order).
template <class Record, int N>
void sorted_vertices(const Record& r, int* sorted, int* place) {
  int index[N];
  for (int k = 0; k < N; ++k) {
    index[k] = r.v[k]->index;
    place[k] = 0;
  }
  for (int j = 0; j < N; ++j)
    for (int k = j + 1; k < N; ++k) {
      const int before = index[j] <= index[k];
      place[k] += before;
      place[j] += 1 - before;
    }
  for (int k = 0; k < N; ++k) sorted[place[k]] = index[k];
}

// Records of one kind listed by an owner (for triangles: the edge of their
// two smaller atoms), in ascending order of one more vertex: the records that
// share an owner are then met in one forward pass over its list.  Ids are
// 1-based places in the records.
class Lists {
 public:
  // keys[k] = (owner, vertex) of record k + 1; an owner below 0 lists it
  // nowhere.
  Lists(std::size_t owners, const std::vector<std::pair<int, int>>& keys)
      : start_(owners + 1, 0), vertex_(keys.size()), id_(keys.size()) {
    for (const auto& k : keys)
      if (k.first >= 0) ++start_[static_cast<std::size_t>(k.first) + 1];
    for (std::size_t a = 1; a < start_.size(); ++a) start_[a] += start_[a - 1];
    std::vector<int> next(start_.begin(), start_.end() - 1);
    for (std::size_t k = 0; k < keys.size(); ++k) {
      if (keys[k].first < 0) continue;
      const std::size_t owner = static_cast<std::size_t>(keys[k].first);
      const int begin = start_[owner], vertex = keys[k].second, id = static_cast<int>(k) + 1;
      int at = next[owner]++;
      for (; at > begin && vertex < vertex_[at - 1]; --at) {
        vertex_[at] = vertex_[at - 1];
        id_[at] = id_[at - 1];
      }
      vertex_[at] = vertex;
      id_[at] = id;
    }
  }

  // A forward pass over the list of one owner, for vertices asked in
  // ascending order; ids, 0 for none.
  class Scan {
   public:
    Scan(const Lists& l, int owner)
        : vertex_(l.vertex_.data()),
          id_(l.id_.data()),
          at_(l.start_[owner]),
          end_(l.start_[owner + 1]) {}
    int find(int vertex) {
      while (at_ < end_ && vertex_[at_] < vertex) ++at_;
      return at_ < end_ && vertex_[at_] == vertex ? id_[at_] : 0;
    }

   private:
    const int* vertex_;
    const int* id_;
    int at_, end_;
  };

 private:
  std::vector<int> start_, vertex_, id_;
};

// The edges of the records by their two atoms, in an open-addressing table
// at most half full.
class EdgeTable {
 public:
  explicit EdgeTable(const std::vector<edge>& edges) {
    std::size_t size = 16;
    while (size < 2 * edges.size()) size *= 2;
    while ((std::size_t(1) << (64 - shift_)) < size) --shift_;
    mask_ = size - 1;
    keys_.assign(size, kEmpty);
    ids_.assign(size, 0);
    for (std::size_t k = 0; k < edges.size(); ++k) {
      const std::uint64_t key = key_of(edges[k].v[0]->index, edges[k].v[1]->index);
      std::size_t at = slot(key);
      while (keys_[at] != kEmpty && keys_[at] != key) at = (at + 1) & mask_;
      if (keys_[at] == kEmpty) {
        keys_[at] = key;
        ids_[at] = static_cast<int>(k) + 1;
      }
    }
  }
  // The id of edge (a, b), in either order; 0 when absent.
  int find(int a, int b) const {
    const std::uint64_t key = key_of(a, b);
    for (std::size_t at = slot(key);; at = (at + 1) & mask_) {
      if (keys_[at] == key) return ids_[at];
      if (keys_[at] == kEmpty) return 0;
    }
  }

 private:
  // Indices are not negative, so no key has the top bit set.
  static constexpr std::uint64_t kEmpty = ~std::uint64_t(0);
  static std::uint64_t key_of(int a, int b) {
    if (b < a) std::swap(a, b);
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32) |
           static_cast<std::uint32_t>(b);
  }
  std::size_t slot(std::uint64_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_) & mask_;
  }
  int shift_ = 64;
  std::size_t mask_ = 0;
  std::vector<std::uint64_t> keys_;
  std::vector<int> ids_;
};

// The edges of the ascending vertices s[0..n-1], by ascending pair: in the
// edge order of their places in s (kTetraEdgeOf, kTriaEdgeOf).
void edges_of(const int* s, int n, const EdgeTable& edges, int* by_pair) {
  for (int first = 0; first + 1 < n; ++first)
    for (int m = first + 1; m < n; ++m) *by_pair++ = edges.find(s[first], s[m]);
}

}  // namespace

void link_records(ComplexRecords& rec) {
  const EdgeTable edges(rec.edges);

  // The edges of each triangle; then the triangles by the edge of their two
  // smaller atoms.
  std::vector<std::pair<int, int>> keys(rec.trias.size());
  for (std::size_t k = 0; k < rec.trias.size(); ++k) {
    tria& f = rec.trias[k];
    int s[3], place[3], by_pair[3];
    sorted_vertices<tria, 3>(f, s, place);
    edges_of(s, 3, edges, by_pair);
    for (int m = 0; m < 3; ++m)
      f.e[m] = record_of(
          rec.edges, by_pair[kTriaEdgeOf[place[kTriaEdgeEnds[m][0]]][place[kTriaEdgeEnds[m][1]]]]);
    keys[k] = std::make_pair(by_pair[0] - 1, s[2]);
  }
  const Lists trias(rec.edges.size(), keys);
  std::vector<std::pair<int, int>>().swap(keys);

  for (tetra& t : rec.tetras) {
    int s[4], place[4], by_pair[6];
    sorted_vertices<tetra, 4>(t, s, place);
    edges_of(s, 4, edges, by_pair);
    for (int k = 0; k < 6; ++k)
      t.edges[k] = record_of(
          rec.edges,
          by_pair[kTetraEdgeOf[place[kTetraEdgeEnds[k][0]]][place[kTetraEdgeEnds[k][1]]]]);
    // The faces without s[3] and s[2] share edge (s[0], s[1]); those without
    // s[1] and s[0] hold edges (s[0], s[2]) and (s[1], s[2]).
    int without[4] = {0, 0, 0, 0};
    if (by_pair[0] > 0) {
      Lists::Scan scan(trias, by_pair[0] - 1);
      without[3] = scan.find(s[2]);
      without[2] = scan.find(s[3]);
    }
    if (by_pair[1] > 0) without[1] = Lists::Scan(trias, by_pair[1] - 1).find(s[3]);
    if (by_pair[3] > 0) without[0] = Lists::Scan(trias, by_pair[3] - 1).find(s[3]);
    // Face k leaves out vertex 3 - k.
    for (int k = 0; k < 4; ++k) t.faces[k] = record_of(rec.trias, without[place[3 - k]]);
  }
}

// ---- coface lists --------------------------------------------------------------

CofaceLists::CofaceLists(const ComplexRecords& rec)
    : rec_(rec), edge_tetras_(&edge::coface_tetras), edge_trias_(&edge::coface_trias) {
  edge_tetras_.reserve(6 * rec.tetras.size());
  edge_trias_.reserve(3 * rec.trias.size());
}

// Places are taken from the addresses: the records themselves are not read.
void CofaceLists::note(tetra& t) {
  const int me = static_cast<int>(&t - rec_.tetras.data());
  for (tria* f : t.faces)
    if (f != nullptr) f->cofaces.push_back(&t);
  for (const edge* e : t.edges)
    if (e != nullptr) edge_tetras_.note(static_cast<int>(e - rec_.edges.data()), me);
}

void CofaceLists::note(const tria& f) {
  const int me = static_cast<int>(&f - rec_.trias.data());
  for (const edge* e : f.e)
    if (e != nullptr) edge_trias_.note(static_cast<int>(e - rec_.edges.data()), me);
}

void CofaceLists::flush_tetras(ComplexRecords& rec) {
  edge_tetras_.flush(rec.edges, rec.tetras, rec);
}

void CofaceLists::flush_trias(ComplexRecords& rec) { edge_trias_.flush(rec.edges, rec.trias, rec); }
