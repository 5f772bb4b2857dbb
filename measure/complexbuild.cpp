#include "measure/complexbuild.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

#include "geometry/ashape.h"
#include "geometry/triangulate.h"
#include "measure/atomballs.h"
#include "structure/bead.h"
#include "structure/util.h"

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
    // The vertices past a simplex's size are null, and only those: they
    // give its size.  Every slot is read, so the loop has no exit to take.
    CXYZW* const* v = simplices[k]->vertices;
    ListedSimplex& l = list[k];
    int n = 0;
#pragma GCC unroll 4
    for (int m = 0; m < 4; ++m) {
      const CXYZW* p = v[m];
      l.v[m] = p != nullptr ? p->id : -1;
      n += p != nullptr;
    }
    l.size = n;
  }
  return list;
}

namespace {

// The next record of a kind, made in place: its id and its N vertices
// (written out: the compiler keeps short loops as loops).
template <int N, class Record>
Record& add_record(std::vector<Record>& records, const ListedSimplex& s, info* atoms) {
  records.emplace_back();
  Record& r = records.back();
  r.id = static_cast<int>(records.size());
  r.v[0] = atoms + s.v[0];
  r.v[1] = atoms + s.v[1];
  if constexpr (N > 2) r.v[2] = atoms + s.v[2];
  if constexpr (N > 3) r.v[3] = atoms + s.v[3];
  return r;
}

}  // namespace

SimplexList expanded_simplex_list(std::vector<Bead>& beads, double probe) {
  std::unique_ptr<CD3DW> triangulation = triangulate(beads, [probe](const Bead& b) {
    const double r = b.radius + probe;
    return r * r;
  });
  CAlpha* complex = new CAlpha(triangulation.get(), CAlpha::kListOnly);
  SimplexList out;
  out.simplices = list_simplices(complex->simplices);
  for (std::size_t k = 0; k < out.simplices.size(); ++k)
    if (out.simplices[k].size == 4)
      out.flat.push_back(static_cast<C3Simplex*>(complex->simplices[k])->sigma_inf);
  delete complex;
  return out;
}

double alpha_radius(double radius, double probe, double alpha) {
  const double expanded = radius + probe;
  const double square =
      alpha >= 0.0 ? expanded * expanded + alpha * alpha : expanded * expanded - alpha * alpha;
  return std::sqrt(std::max(0.0, square)) - probe;
}

namespace {

// First pass over the simplex list: for every tetrahedron, triangle and edge
// makes a record with the defaults and its id, points its vertices at the
// atom records (simplex order) and sets its power centre: given in centres
// for the tetrahedra and triangles (3 per record, tetrahedra first), or
// computed when null.  The atom records must be complete; the record vectors
// are sized once, so pointers into them stay valid afterwards.
void make_records(const std::vector<ListedSimplex>& list, ComplexRecords& rec, double probe,
                  const double* centres) {
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

  const double* tetra_at = centres;
  const double* tria_at = centres != nullptr ? tetra_at + 3 * n4 : nullptr;
  info* const atoms = rec.atoms.data();
  auto take = [](double* to, const double*& from) {
    for (int k = 0; k < 3; ++k) to[k] = *from++;
  };
  for (const ListedSimplex& s : list) {
    if (s.size == 4) {
      tetra& t = add_record<4>(rec.tetras, s, atoms);
      if (centres != nullptr)
        take(t.center, tetra_at);
      else
        t.setcenter4(probe);
    } else if (s.size == 3) {
      tria& f = add_record<3>(rec.trias, s, atoms);
      if (centres != nullptr)
        take(f.center, tria_at);
      else
        f.setcenter3(probe);
    } else if (s.size == 2) {
      add_record<2>(rec.edges, s, atoms).setcenter2(probe);
    }
  }
}

// The vertex indices of the records of one kind, N vertices each, one
// record after the other in record order: from the simplex list the records
// were made from when there is one, which holds them in a fraction of the
// records' memory, else from the records.
template <class Record, int N>
class IndicesOf {
 public:
  IndicesOf(const std::vector<Record>& records, const std::vector<ListedSimplex>* list)
      : records_(records), list_(list) {}
  void next(int* index) {
    if (list_ != nullptr) {
      while ((*list_)[at_].size != N) ++at_;
      for (int k = 0; k < N; ++k) index[k] = (*list_)[at_].v[k];
    } else {
      for (int k = 0; k < N; ++k) index[k] = records_[at_].v[k]->index;
    }
    ++at_;
  }

 private:
  const std::vector<Record>& records_;
  const std::vector<ListedSimplex>* list_;
  std::size_t at_ = 0;
};

// The place of each vertex of a record among its vertex indices in
// ascending order (equal indices keep their vertex order).
template <int N>
[[gnu::always_inline]] inline void places_of(const int* index, int* place) {
  for (int k = 0; k < N; ++k) place[k] = 0;
  for (int j = 0; j < N; ++j)
    for (int k = j + 1; k < N; ++k) {
      const int before = index[j] <= index[k];
      place[k] += before;
      place[j] += 1 - before;
    }
}

// Vertex places fixed at compile time, for the orders the alpha list gives
// its simplices: with them the sorting and the edge and face bookkeeping of
// a record fold to constants.
template <int... P>
struct FixedPlaces {
  constexpr int operator[](int k) const {
    constexpr int place[] = {P...};
    return place[k];
  }
};

// Records of one kind listed by an owner (for triangles: the edge of their
// two smaller atoms), in ascending order of one more vertex: the records that
// share an owner are then met in one forward pass over its list.  Ids are
// 1-based places in the records.
class Lists {
 public:
  // keys[k] = (owner, vertex) of record k + 1; an owner below 0 lists it
  // nowhere.  Each record carries codes[k] along.
  [[gnu::always_inline]] Lists(std::size_t owners, const std::vector<std::pair<int, int>>& keys,
                               const std::vector<unsigned char>& codes)
      : start_(owners + 1, 0), vertex_(keys.size()), id_(keys.size()), code_(keys.size()) {
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
        code_[at] = code_[at - 1];
      }
      vertex_[at] = vertex;
      id_[at] = id;
      code_[at] = codes[k];
    }
  }

  // A forward pass over the list of one owner, for vertices asked in
  // ascending order; ids, 0 for none.
  class Scan {
   public:
    Scan(const Lists& l, int owner)
        : vertex_(l.vertex_.data()),
          id_(l.id_.data()),
          code_(l.code_.data()),
          at_(l.start_[owner]),
          end_(l.start_[owner + 1]) {}
    // With the record's code in *code.
    int find(int vertex, unsigned char* code) {
      while (at_ < end_ && vertex_[at_] < vertex) ++at_;
      if (at_ == end_ || vertex_[at_] != vertex) return 0;
      *code = code_[at_];
      return id_[at_];
    }

   private:
    const int* vertex_;
    const int* id_;
    const unsigned char* code_;
    int at_, end_;
  };

 private:
  std::vector<int> start_, vertex_, id_;
  std::vector<unsigned char> code_;
};

// The edges of the records by their two atoms, in an open-addressing table
// at most half full, each with whether its v[0] is the smaller atom.
class EdgeTable {
 public:
  [[gnu::always_inline]] EdgeTable(const std::vector<edge>& edges,
                                   const std::vector<ListedSimplex>* list) {
    std::size_t size = 16;
    while (size < 2 * edges.size()) size *= 2;
    while ((std::size_t(1) << (64 - shift_)) < size) --shift_;
    mask_ = size - 1;
    keys_.assign(size, kEmpty);
    ids_.assign(size, 0);
    IndicesOf<edge, 2> ends(edges, list);
    for (std::size_t k = 0; k < edges.size(); ++k) {
      int v[2];
      ends.next(v);
      const int a = v[0], b = v[1];
      const std::uint64_t key = key_of(a, b);
      std::size_t at = slot(key);
      while (keys_[at] != kEmpty && keys_[at] != key) at = (at + 1) & mask_;
      if (keys_[at] == kEmpty) {
        keys_[at] = key;
        ids_[at] = 2 * (static_cast<int>(k) + 1) + (a < b);
      }
    }
  }
  // Of edge (a, b), in either order: 2 id + 1 when its v[0] is the smaller
  // atom, 2 id else; 0 when absent.
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

// The edges of the ascending vertices s[0..N-1], by ascending pair: in the
// edge order of their places in s (kTetraEdgeOf, kTriaEdgeOf), as the
// table gives them.
template <int N>
[[gnu::always_inline]] inline void edges_of(const int* s, const EdgeTable& edges, int* by_pair) {
#pragma GCC unroll 3
  for (int first = 0; first + 1 < N; ++first)
#pragma GCC unroll 3
    for (int m = first + 1; m < N; ++m) *by_pair++ = edges.find(s[first], s[m]);
}

// The edges of a record with vertex places `place` (places_of) from those
// of its ascending vertices, and the bits of its order that tell which of
// them run from their first end.  With ids, their ids too.
template <int N, int M, class Places>
[[gnu::always_inline]] inline std::uint32_t link_edges(const Places& place, const int* by_pair,
                                                       const int (&ends)[M][2],
                                                       const int (&edge_of)[N][N],
                                                       std::vector<edge>& edges, edge** out,
                                                       int* ids) {
  std::uint32_t order = 0;
#pragma GCC unroll 6
  for (int k = 0; k < M; ++k) {
    const int x = place[ends[k][0]], y = place[ends[k][1]];
    const unsigned found = static_cast<unsigned>(by_pair[edge_of[x][y]]);
    out[k] = record_of(edges, static_cast<int>(found >> 1));
    if (ids != nullptr) ids[k] = static_cast<int>(found >> 1);
    // v[0] of the edge is its smaller atom, or not; so is the first end.
    order |= ((found & 1u) ^ (x > y)) << k;
  }
  return order;
}

}  // namespace

namespace {

// link_records, with the vertex indices from the list the records were made
// from (null: from the records).  With Keep, the links are also written to
// `kept` as ids, in the layout of SimplexList::links.  Its helpers above are
// forced inline: with two forms of it the compiler would call them instead.
template <bool Keep>
void link_records(ComplexRecords& rec, const std::vector<ListedSimplex>* list,
                  SimplexList::Links* kept) {
  const EdgeTable edges(rec.edges, list);
  int* tetra_ids = nullptr;
  int* tria_ids = nullptr;
  if (Keep) {
    kept->size = 11 * rec.tetras.size() + 4 * rec.trias.size();
    kept->ids.reset(new int[kept->size]);
    tetra_ids = kept->ids.get();
    tria_ids = tetra_ids + 11 * rec.tetras.size();
  }
  IndicesOf<tria, 3> tria_indices(rec.trias, list);
  IndicesOf<tetra, 4> tetra_indices(rec.tetras, list);

  // The edges of each triangle; then the triangles by the edge of their two
  // smaller atoms, each with the places of its vertices among its atoms in
  // ascending order (two bits each).
  std::vector<std::pair<int, int>> keys(rec.trias.size());
  std::vector<unsigned char> places(rec.trias.size());
  rec.tria_order.assign(rec.trias.size(), 0);
  std::size_t k = 0;
  auto link_tria = [&](const int* index, const auto& place) __attribute__((always_inline)) {
    tria& f = rec.trias[k];
    int s[3], by_pair[3];
#pragma GCC unroll 3
    for (int m = 0; m < 3; ++m) s[place[m]] = index[m];
    edges_of<3>(s, edges, by_pair);
    int* ids = Keep ? tria_ids + 4 * k : nullptr;
    rec.tria_order[k] = static_cast<std::uint8_t>(
        link_edges(place, by_pair, kTriaEdgeEnds, kTriaEdgeOf, rec.edges, f.e, ids));
    if (Keep) ids[3] = rec.tria_order[k];
    keys[k] = std::make_pair((by_pair[0] >> 1) - 1, s[2]);
    places[k] = static_cast<unsigned char>(place[0] | place[1] << 2 | place[2] << 4);
  };
  for (; k < rec.trias.size(); ++k) {
    int index[3];
    tria_indices.next(index);
    // The alpha list runs through a triangle's atoms in rising cyclic order
    // from the smallest or from the largest; with distinct atoms either
    // order has these places, as places_of would find them.
    if (index[0] < index[1] && index[1] < index[2]) {
      link_tria(index, FixedPlaces<0, 1, 2>());
    } else if (index[1] < index[2] && index[2] < index[0]) {
      link_tria(index, FixedPlaces<2, 0, 1>());
    } else {
      int place[3];
      places_of<3>(index, place);
      link_tria(index, place);
    }
  }
  const Lists trias(rec.edges.size(), keys, places);
  std::vector<std::pair<int, int>>().swap(keys);
  std::vector<unsigned char>().swap(places);

  rec.tetra_order.assign(rec.tetras.size(), 0);
  std::size_t n = 0;
  auto link_tetra = [&](const int* index, const auto& place) __attribute__((always_inline)) {
    tetra& t = rec.tetras[n];
    int s[4], by_pair[6];
#pragma GCC unroll 4
    for (int m = 0; m < 4; ++m) s[place[m]] = index[m];
    edges_of<4>(s, edges, by_pair);
    int* ids = Keep ? tetra_ids + 11 * n : nullptr;
    std::uint32_t order = link_edges(place, by_pair, kTetraEdgeEnds, kTetraEdgeOf, rec.edges,
                                     t.edges, Keep ? ids + 4 : nullptr);
    // The faces without s[3] and s[2] share edge (s[0], s[1]); those without
    // s[1] and s[0] hold edges (s[0], s[2]) and (s[1], s[2]).
    int without[4] = {0, 0, 0, 0};
    unsigned char face_places[4] = {0, 0, 0, 0};
    if (by_pair[0] > 1) {
      Lists::Scan scan(trias, (by_pair[0] >> 1) - 1);
      without[3] = scan.find(s[2], &face_places[3]);
      without[2] = scan.find(s[3], &face_places[2]);
    }
    if (by_pair[1] > 1)
      without[1] = Lists::Scan(trias, (by_pair[1] >> 1) - 1).find(s[3], &face_places[1]);
    if (by_pair[3] > 1)
      without[0] = Lists::Scan(trias, (by_pair[3] >> 1) - 1).find(s[3], &face_places[0]);
    // Face k leaves out vertex 3 - k, the one of place r: the vertex of place
    // q among the face's atoms has place q or q + 1 among the tetrahedron's.
    unsigned at_place[4];
#pragma GCC unroll 4
    for (int q = 0; q < 4; ++q) at_place[place[q]] = static_cast<unsigned>(q);
#pragma GCC unroll 4
    for (int f = 0; f < 4; ++f) {
      const int r = place[3 - f];
      t.faces[f] = record_of(rec.trias, without[r]);
      if (Keep) ids[f] = without[r];
      if (t.faces[f] == nullptr) continue;
      const unsigned at_face_place[3] = {at_place[r == 0 ? 1 : 0], at_place[r <= 1 ? 2 : 1],
                                         at_place[r <= 2 ? 3 : 2]};
      const unsigned c = face_places[r];
      order |= (at_face_place[c & 3] | at_face_place[(c >> 2) & 3] << 2 |
                at_face_place[(c >> 4) & 3] << 4)
               << (6 + 6 * f);
    }
    rec.tetra_order[n] = order;
    if (Keep) ids[10] = static_cast<int>(order);
  };
  for (; n < rec.tetras.size(); ++n) {
    int index[4];
    tetra_indices.next(index);
    // The alpha list gives a tetrahedron's face atoms in rising order, then
    // the fourth, the smallest or the largest of the four; with distinct
    // atoms these are the places places_of would find.
    if (index[0] < index[1] && index[1] < index[2] && index[2] < index[3]) {
      link_tetra(index, FixedPlaces<0, 1, 2, 3>());
    } else if (index[3] < index[0] && index[0] < index[1] && index[1] < index[2]) {
      link_tetra(index, FixedPlaces<1, 2, 3, 0>());
    } else {
      int place[4];
      places_of<4>(index, place);
      link_tetra(index, place);
    }
  }
}

}  // namespace

void link_records(ComplexRecords& rec) { link_records<false>(rec, nullptr, nullptr); }

// ---- coface lists --------------------------------------------------------------

CofaceLists::CofaceLists(const ComplexRecords& rec)
    : rec_(rec), edge_tetras_(&edge::coface_tetras), edge_trias_(&edge::coface_trias) {}

void CofaceLists::reserve() {
  edge_tetras_.reserve(6 * rec_.tetras.size());
  edge_trias_.reserve(3 * rec_.trias.size());
}

// Places are taken from the addresses: the records themselves are not read.
void CofaceLists::flush_tetras(ComplexRecords& rec) {
  edge_tetras_.flush(rec.edges, rec.tetras, rec);
}

void CofaceLists::flush_trias(ComplexRecords& rec) { edge_trias_.flush(rec.edges, rec.trias, rec); }

// ---- the builder ----------------------------------------------------------------

namespace {

// Copies at most `width` characters and ends the text.
void copy_text(char* to, const char* from, std::size_t width) {
  std::size_t i = 0;
  for (; i < width && from[i] != '\0'; ++i) to[i] = from[i];
  to[i] = '\0';
}

// Face k of a tetrahedron is shared with its neighbour k; each keeps the
// pairs in parallel lists, each neighbour once, in the order of the shared
// faces.  Collected like BulkLists, written per tetrahedron.
class NeighbourLinks {
 public:
  void reserve(std::size_t n) { links_.reserve(n); }
  void note(int owner, int neighbour, int face) { links_.push_back({owner, neighbour, face}); }

  void flush(ComplexRecords& rec) {
    std::vector<tetra>& tetras = rec.tetras;
    std::vector<int> start(tetras.size() + 1, 0);
    for (const Link& l : links_) ++start[static_cast<std::size_t>(l.owner) + 1];
    for (std::size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
    std::vector<Link> sorted(links_.size());
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (const Link& l : links_) sorted[static_cast<std::size_t>(fill[l.owner]++)] = l;
    std::vector<Link>().swap(links_);
    rec.tetra_lists.prepare(sorted.size());
    rec.tria_lists.prepare(sorted.size());
    for (std::size_t t = 0; t < tetras.size(); ++t) {
      tetra& a = tetras[t];
      const std::size_t n = static_cast<std::size_t>(start[t + 1] - start[t]);
      a.neighbours.reserve(a.neighbours.size() + n, rec.tetra_lists);
      a.shared_trias.reserve(a.shared_trias.size() + n, rec.tria_lists);
      for (int k = start[t]; k < start[t + 1]; ++k) {
        tetra* b = &tetras[static_cast<std::size_t>(sorted[k].neighbour)];
        if (std::find(a.neighbours.begin(), a.neighbours.end(), b) != a.neighbours.end()) continue;
        a.neighbours.push_back(b);
        a.shared_trias.push_back(&rec.trias[static_cast<std::size_t>(sorted[k].face)]);
      }
    }
  }

 private:
  struct Link {
    int owner, neighbour, face;
  };
  std::vector<Link> links_;
};

// The faces of a flat tetrahedron (its four centres in one plane, as the
// complex reports them) that a slightly lifted vertex would attach to it.
// Lifted, the tetrahedron is a sliver whose power centre runs off along the
// plane's normal to one side, and the faces on that side (those along one
// diagonal, or the one big face against the three around an inner point)
// are attached to it; the faces on the other side keep their own sizes.
// That is the empty side when a face lies on the hull, else the side whose
// faces the plane's own test attaches (the opposite vertex inside the face's
// power circle).  Where the four circles coincide neither side is preferred,
// and either gives the same measures: the radical planes then share one line
// and the terms of the two sides cancel as those of the tetrahedron would.
// `cofaces` counts the tetrahedra at each triangle.
void flat_sides(const tetra& T, const std::vector<int>& cofaces, double probe, bool attach[4]) {
  using ballmath::V3;
  V3 c[4];
  for (int k = 0; k < 4; ++k) c[k] = centre_of(*T.v[k]);
  // The plane's normal: the longest of the faces' normals.
  V3 n{0, 0, 0};
  double longest = -1;
  for (int k = 0; k < 4; ++k) {
    const int a = k == 0 ? 1 : 0, b = k <= 1 ? 2 : 1, d = k <= 2 ? 3 : 2;
    const V3 m = ballmath::cross(ballmath::sub(c[b], c[a]), ballmath::sub(c[d], c[a]));
    const double l = ballmath::dot(m, m);
    if (l > longest) {
      longest = l;
      n = m;
    }
  }
  // The affine dependence of the four centres, sum lambda_k c_k = 0: the
  // faces opposite vertices of one sign of lambda lie on one side.  Three
  // centres on a line (lambda 0 for the fourth) make a face of no area,
  // which lies on the side of the face opposite the middle one of the
  // three, the one whose sign the other two do not share.
  double lambda[4], largest = 0;
  for (int k = 0; k < 4; ++k) {
    const int a = k == 0 ? 1 : 0, b = k <= 1 ? 2 : 1, d = k <= 2 ? 3 : 2;
    const double area =
        ballmath::dot(ballmath::cross(ballmath::sub(c[b], c[a]), ballmath::sub(c[d], c[a])), n);
    lambda[k] = k % 2 == 0 ? area : -area;
    largest = std::max(largest, std::fabs(lambda[k]));
  }
  int positive = 0, negative = 0;
  for (double l : lambda) {
    if (std::fabs(l) <= 1e-9 * largest) continue;
    ++(l > 0 ? positive : negative);
  }
  bool side[4];  // of the face opposite vertex k, face 3 - k
  for (int k = 0; k < 4; ++k)
    side[k] = std::fabs(lambda[k]) <= 1e-9 * largest ? positive < negative : lambda[k] > 0;
  // Face f with the tetrahedron's first vertex on it and the opposite one,
  // as in tetra::judge4.
  const int first[4] = {0, 0, 0, 1}, opposite[4] = {3, 2, 1, 0};
  bool hull[2] = {false, false};
  double score[2] = {std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::infinity()};
  for (int f = 0; f < 4; ++f) {
    const tria& F = *T.faces[f];
    const bool s = side[opposite[f]];
    if (cofaces[static_cast<std::size_t>(F.id - 1)] < 2) hull[s] = true;
    auto power = [&](int k) {
      const info& a = *T.v[k];
      const double dx = F.center[0] - a.x, dy = F.center[1] - a.y, dz = F.center[2] - a.z;
      const double R = a.radius + probe;
      return dx * dx + dy * dy + dz * dz - R * R;
    };
    const double margin = power(first[f]) - power(opposite[f]);
    if (margin < score[s]) score[s] = margin;
  }
  const bool chosen = hull[0] != hull[1] ? hull[1] : score[1] >= score[0];
  for (int f = 0; f < 4; ++f) attach[f] = side[opposite[f]] == chosen;
}

// Whether the centre of a lies outside its own power cell because of b:
// b's power at c_a is below a's own, -R_a^2.
bool covered_by(const info& a, const info& b, double probe) {
  double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  double Ra = a.radius + probe, Rb = b.radius + probe;
  return dx * dx + dy * dy + dz * dz - Rb * Rb < -(Ra * Ra);
}

void make_atoms(const std::vector<Bead>& beads, double probe, double alpha, ComplexUse use,
                std::vector<info>& atoms) {
  atoms.clear();
  atoms.resize(beads.size());
  for (std::size_t i = 0; i < beads.size(); ++i) {
    const Bead& b = beads[i];
    info& a = atoms[i];
    a.index = static_cast<int>(i);
    a.serial = b.serial;
    a.residue_number = b.res_num;
    a.x = b.x;
    a.y = b.y;
    a.z = b.z;
    a.bfactor = b.b_factor;
    a.signed_size = -(b.radius + probe);
    copy_text(a.atom_name, b.atom_name, 4);
    copy_text(a.residue_name, b.res_name, 3);
    a.chain_id = b.chain_id;
    a.position = static_cast<int>(i) + 1;
    a.stamp = -1;
    if (use == ComplexUse::kPockets) {
      a.radius = b.radius;
    } else {
      // A ball that shrinks to nothing takes no part.
      a.radius = alpha_radius(b.radius, probe, alpha);
      if (!(a.radius + probe > 0)) a.absent = true;
    }
  }
}

// The links that link_records<true> kept, as pointers into these records.
void take_links(const SimplexList::Links& links, ComplexRecords& rec) {
  const int* id = links.ids.get();
  const std::size_t n4 = rec.tetras.size(), n3 = rec.trias.size();
  rec.tetra_order.resize(n4);
  rec.tria_order.resize(n3);
  // Plain pointers: the stores below would otherwise make the compiler read
  // the vectors' bounds again for every link.
  tetra* const tetras = rec.tetras.data();
  tria* const trias = rec.trias.data();
  edge* const edges = rec.edges.data();
  std::uint32_t* const tetra_order = rec.tetra_order.data();
  std::uint8_t* const tria_order = rec.tria_order.data();
  auto tria_of = [trias](int k) { return k > 0 ? trias + (k - 1) : nullptr; };
  auto edge_of = [edges](int k) { return k > 0 ? edges + (k - 1) : nullptr; };
  // Written out: the compiler keeps short loops as loops.
  for (std::size_t n = 0; n < n4; ++n, id += 11) {
    tetra& t = tetras[n];
    t.faces[0] = tria_of(id[0]);
    t.faces[1] = tria_of(id[1]);
    t.faces[2] = tria_of(id[2]);
    t.faces[3] = tria_of(id[3]);
    t.edges[0] = edge_of(id[4]);
    t.edges[1] = edge_of(id[5]);
    t.edges[2] = edge_of(id[6]);
    t.edges[3] = edge_of(id[7]);
    t.edges[4] = edge_of(id[8]);
    t.edges[5] = edge_of(id[9]);
    tetra_order[n] = static_cast<std::uint32_t>(id[10]);
  }
  for (std::size_t n = 0; n < n3; ++n, id += 4) {
    tria& f = trias[n];
    f.e[0] = edge_of(id[0]);
    f.e[1] = edge_of(id[1]);
    f.e[2] = edge_of(id[2]);
    tria_order[n] = static_cast<std::uint8_t>(id[3]);
  }
}

// The balls of the atoms as the centres and the judges see them.
std::vector<double> balls_of(const std::vector<info>& atoms, double probe) {
  std::vector<double> balls;
  balls.reserve(4 * atoms.size());
  for (const info& a : atoms) {
    balls.push_back(a.x);
    balls.push_back(a.y);
    balls.push_back(a.z);
    balls.push_back(a.radius + probe);
  }
  return balls;
}

// Bit for bit: -0 is not 0, and a NaN is itself.
bool same_balls(const std::vector<info>& atoms, double probe, const std::vector<double>& balls) {
  if (balls.size() != 4 * atoms.size()) return false;
  if (balls.empty()) return true;
  const std::vector<double> now = balls_of(atoms, probe);
  return std::memcmp(now.data(), balls.data(), now.size() * sizeof(double)) == 0;
}

bool any_absent(const std::vector<info>& atoms) {
  for (const info& a : atoms)
    if (a.absent) return true;
  return false;
}

// What the judges made of the records, once every simplex is judged.  The
// attached faces and edges of a record are listed in the order of its faces
// and edges, so bits in that order give the lists back.
void keep_judged(const ComplexRecords& rec, SimplexList::Judged& judged) {
  const std::size_t n4 = rec.tetras.size(), n3 = rec.trias.size(), n2 = rec.edges.size();
  judged.sizes.reset(new double[n4 + n2]);
  judged.own.reset(new double[n3]);
  judged.attach.reset(new std::uint16_t[n4 + n3]);
  double* size = judged.sizes.get();
  double* own = judged.own.get();
  std::uint16_t* bits = judged.attach.get();
  // The bits of the members of `list` among those of `all`, whose order
  // they keep.
  auto bits_of = [](const auto& list, const auto* all, int n, int shift) {
    unsigned b = 0;
    const std::size_t size = list.size();
    if (size == 0) return b;
    const auto* member = list.begin();
    std::size_t j = 0;
    for (int k = 0; k < n && j < size; ++k)
      if (all[k] == member[j]) {
        b |= 1u << (shift + k);
        ++j;
      }
    return b;
  };
  for (std::size_t n = 0; n < n4; ++n) {
    const tetra& t = rec.tetras[n];
    size[n] = t.signed_size;
    bits[n] = static_cast<std::uint16_t>(bits_of(t.attached_faces, t.faces, 4, 0) |
                                         bits_of(t.attached_edges, t.edges, 6, 4));
  }
  for (std::size_t n = 0; n < n3; ++n) {
    const tria& f = rec.trias[n];
    own[n] = f.own_size;
    bits[n4 + n] = static_cast<std::uint16_t>(bits_of(f.attached_edges, f.e, 3, 0));
  }
  for (std::size_t n = 0; n < n2; ++n) size[n4 + n] = rec.edges[n].signed_size;
}

// The judges' work on a record, as keep_judged left it.  The sizes of
// tetrahedra and edges are final: no judge raises them on the way.  A
// triangle's is raised by the tetrahedra that attach it, then by its own,
// in the same steps as the judges take.
void take_judged(tetra& t, double size, unsigned bits) {
  t.signed_size = size;
  // The set bits alone, lowest first.
  for (unsigned b = bits & 15u; b != 0; b &= b - 1) {
    tria* f = t.faces[__builtin_ctz(b)];
    f->attached = true;
    f->signed_size = max_val2(size, f->signed_size);
    t.attached_faces.push_back(f);
  }
  for (unsigned b = bits >> 4; b != 0; b &= b - 1) {
    edge* e = t.edges[__builtin_ctz(b)];
    e->attached = true;
    t.attached_edges.push_back(e);
  }
}

void take_judged(tria& f, double own, unsigned bits) {
  f.signed_size = max_val2(own, f.signed_size);
  f.own_size = own;
  for (unsigned b = bits; b != 0; b &= b - 1) {
    edge* e = f.e[__builtin_ctz(b)];
    e->attached = true;
    f.attached_edges.push_back(e);
  }
}

}  // namespace

void build_complex(const std::vector<Bead>& beads, SimplexList& list, double probe, double alpha,
                   ComplexUse use, ComplexRecords& rec) {
  const bool pockets = use == ComplexUse::kPockets;
  // With grown radii the complex at alpha is the simplices of size <= 0.
  const double threshold = pockets ? alpha : 0.0;
  make_atoms(beads, probe, alpha, use, rec.atoms);
  // The centres and what the judges make of the records are functions of
  // the balls: on the same balls (bit for bit) and with no atom absent,
  // which the judges read, a second build takes what the first kept.
  SimplexList::Judged& judged = list.judged;
  const bool absent = any_absent(rec.atoms);
  const bool take = !absent && same_balls(rec.atoms, probe, judged.balls);
  const bool keep = !take && !absent && list.keep_links && list.links.empty();
  SimplexList::Judged taken;
  if (take) taken = std::move(judged);
  judged = SimplexList::Judged();
  make_records(list.simplices, rec, probe, take ? taken.centres.get() : nullptr);
  const std::size_t n4 = rec.tetras.size(), n3 = rec.trias.size(), n2 = rec.edges.size();
  if (keep) {
    judged.balls = balls_of(rec.atoms, probe);
    judged.centres.reset(new double[3 * (n4 + n3)]);
    double* at = judged.centres.get();
    auto put = [&at](const double* c) {
      for (int k = 0; k < 3; ++k) *at++ = c[k];
    };
    for (const tetra& t : rec.tetras) put(t.center);
    for (const tria& f : rec.trias) put(f.center);
  }
  // What the judges made of the records, taken.
  const double* taken_size = taken.sizes.get();
  const double* taken_own = taken.own.get();
  const std::uint16_t* taken_attach = taken.attach.get();
  // The edges come after every tetrahedron and triangle in the list, so
  // their kept sizes are those their judges see.
  if (take)
    for (std::size_t k = 0; k < n2; ++k) rec.edges[k].signed_size = taken_size[n4 + k];
  // A flat tetrahedron has no power centre: what the arithmetic gives is
  // rounding noise.  It never enters the complex and takes no part in the
  // flow.
  bool any_flat = false;
  for (std::size_t k = 0; k < rec.tetras.size(); ++k) {
    if (!list.flat[k]) continue;
    for (double& x : rec.tetras[k].center) x = std::numeric_limits<double>::quiet_NaN();
    any_flat = true;
  }
  if (!list.links.empty()) {
    take_links(list.links, rec);
  } else {
    if (list.keep_links)
      link_records<true>(rec, &list.simplices, &list.links);
    else
      link_records<false>(rec, &list.simplices, nullptr);
  }

  // The coface lists of faces and edges are written in bulk: no step of the
  // walk reads them before the walk has moved on to the next kind.  So are
  // the atoms' tetrahedron lists and the neighbour lists.  The area walk
  // needs the cofaces of the triangles alone.
  CofaceLists cofaces(rec);
  BulkLists<info, tetra, 0> atom_tetras(&info::all_tetras),
      atom_complex_tetras(&info::complex_tetras);
  NeighbourLinks neighbours;
  if (pockets) {
    cofaces.reserve();
    neighbours.reserve(2 * rec.trias.size());
    atom_tetras.reserve(4 * rec.tetras.size());
    atom_complex_tetras.reserve(4 * rec.tetras.size());
    // Every atom's edge list at its final size from the start.
    std::vector<int> degree(rec.atoms.size(), 0);
    for (const edge& e : rec.edges) {
      ++degree[static_cast<std::size_t>(e.v[0]->index)];
      ++degree[static_cast<std::size_t>(e.v[1]->index)];
    }
    rec.edge_lists.prepare(2 * rec.edges.size());
    for (std::size_t i = 0; i < rec.atoms.size(); ++i)
      rec.atoms[i].incident_edges.reserve(static_cast<std::size_t>(degree[i]), rec.edge_lists);
  }
  auto flush_tetra_incidence = [&]() {
    cofaces.flush_tetras(rec);
    atom_tetras.flush(rec.atoms, rec.tetras, rec);
    atom_complex_tetras.flush(rec.atoms, rec.tetras, rec);
  };
  // The tetrahedra at each triangle, for the faces of flat ones.
  std::vector<int> tetras_at;
  if (any_flat && !take) {
    tetras_at.assign(rec.trias.size(), 0);
    for (const tetra& T : rec.tetras)
      for (const tria* f : T.faces)
        if (f != nullptr) ++tetras_at[static_cast<std::size_t>(f->id - 1)];
  }
  // Void components are the area walk's alone.
  std::optional<VoidComponents> voids;
  if (!pockets) voids.emplace(rec.tetras);
  std::vector<char> covered(pockets ? 0 : rec.atoms.size(), 0);

  std::size_t next_tetra = 0, next_tria = 0, next_edge = 0;
  int void_counter = 0, position = 0;
  for (const ListedSimplex& s : list.simplices) {
    ++position;
    if (s.size == 4) {
      tetra& t = rec.tetras[next_tetra++];
      const int me = t.id - 1;
      if (pockets) {
        cofaces.note(t);
      } else {
        for (tria* f : t.faces)
          if (f != nullptr) f->cofaces.push_back(&t);
      }
      if (take) {
        take_judged(t, taken_size[me], taken_attach[me]);
      } else if (list.flat[static_cast<std::size_t>(me)] && t.faces[0] && t.faces[1] &&
                 t.faces[2] && t.faces[3]) {
        // Judged as the limit of a slightly lifted one.
        t.signed_size = std::numeric_limits<double>::infinity();
        bool attach[4];
        flat_sides(t, tetras_at, probe, attach);
        t.attach_faces(attach);
      } else {
        t.judge4(probe);
      }
      if (pockets)
        for (info* v : t.v) atom_tetras.note(v->index, me);
      if (t.signed_size <= threshold) {
        t.in_complex = true;
        if (pockets)
          for (info* v : t.v) atom_complex_tetras.note(v->index, me);
      } else {
        t.void_id = ++void_counter;
      }
      t.position = position;
    } else if (s.size == 3) {
      tria& f = rec.trias[next_tria++];
      if (pockets) {
        if (next_tria == 1) flush_tetra_incidence();
        const int me = f.id - 1;
        cofaces.note(f);
        if (f.cofaces.size() == 2) {
          const int a0 = f.cofaces[0]->id - 1;
          const int a1 = f.cofaces[1]->id - 1;
          neighbours.note(a0, a1, me);
          neighbours.note(a1, a0, me);
        } else if (f.cofaces.size() == 1) {
          // A convex-hull face: its tetrahedron, its atoms and every
          // tetrahedron at those atoms lie on the hull.
          f.cofaces[0]->hull = true;
          for (info* v : f.v) v->marks[MARK_HULL] = true;
          for (info* v : f.v) {
            for (tetra* t : v->all_tetras) t->hull = true;
          }
        }
      }
      if (take) {
        const std::size_t me = static_cast<std::size_t>(f.id - 1);
        take_judged(f, taken_own[me], taken_attach[n4 + me]);
      } else {
        f.judge3(probe);
      }
      if (f.signed_size <= threshold)
        f.in_complex = true;
      else if (!pockets)
        f.voidsrepresentation(*voids);
      if (pockets) f.ancesterofoutside(probe);
      f.position = position;
    } else if (s.size == 2) {
      edge& e = rec.edges[next_edge++];
      if (pockets) {
        e.v[0]->incident_edges.push_back(&e);
        e.v[1]->incident_edges.push_back(&e);
      }
      if (!take) e.judge2(probe);
      if (!pockets) {
        if (covered_by(*e.v[0], *e.v[1], probe))
          covered[static_cast<std::size_t>(e.v[0]->index)] = 1;
        if (covered_by(*e.v[1], *e.v[0], probe))
          covered[static_cast<std::size_t>(e.v[1]->index)] = 1;
      }
      if (e.signed_size <= threshold) e.in_complex = true;
      e.position = position;
    }
  }

  if (keep) keep_judged(rec, judged);
  if (pockets) {
    flush_tetra_incidence();
    cofaces.flush_trias(rec);
    neighbours.flush(rec);
    ancoutsidejudge(rec.tetras, probe);
    return;
  }
  voids->assign();
  // An atom whose centre lies outside its power cell and that has no edge in
  // the complex does not meet its cell at all: its ball lies inside the union
  // of the others and it owns no part of the surface or the volume.
  std::vector<char> has_edge(rec.atoms.size(), 0);
  for (const edge& e : rec.edges)
    if (e.in_complex)
      has_edge[static_cast<std::size_t>(e.v[0]->index)] =
          has_edge[static_cast<std::size_t>(e.v[1]->index)] = 1;
  for (std::size_t i = 0; i < rec.atoms.size(); ++i)
    if (covered[i] && !has_edge[i]) rec.atoms[i].absent = true;
}
