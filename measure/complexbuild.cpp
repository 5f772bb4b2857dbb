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
// order of each of its vertices.
template <class Record, int N>
void sorted_vertices(const Record& r, int* sorted, int* place) {
  int index[N], rank[N];
  for (int k = 0; k < N; ++k) {
    index[k] = r.v[k]->index;
    rank[k] = k;
  }
  for (int i = 1; i < N; ++i)
    for (int j = i; j > 0 && index[rank[j]] < index[rank[j - 1]]; --j) {
      const int x = rank[j];
      rank[j] = rank[j - 1];
      rank[j - 1] = x;
    }
  for (int k = 0; k < N; ++k) {
    sorted[k] = index[rank[k]];
    place[rank[k]] = k;
  }
}

// The edges and triangles of the records by their vertex indices: for each
// atom, those whose smallest vertex it is, in ascending order of the others.
// The faces and edges of one record that share their smallest vertex are
// then met in one forward pass over its list.
class FaceIndex {
 public:
  // The two other vertices of a triangle, first in the high half.
  typedef std::uint64_t Pair;

  explicit FaceIndex(const ComplexRecords& rec)
      : edge_start_(rec.atoms.size() + 1, 0), tria_start_(rec.atoms.size() + 1, 0) {
    std::vector<std::pair<int, int>> edge_keys(rec.edges.size());  // first, other
    for (std::size_t k = 0; k < rec.edges.size(); ++k) {
      const int a = rec.edges[k].v[0]->index, b = rec.edges[k].v[1]->index;
      edge_keys[k] = a < b ? std::make_pair(a, b) : std::make_pair(b, a);
    }
    fill(edge_keys, edge_start_, edge_others_, edge_ids_);
    std::vector<std::pair<int, Pair>> tria_keys(rec.trias.size());
    for (std::size_t k = 0; k < rec.trias.size(); ++k) {
      int s[3], place[3];
      sorted_vertices<tria, 3>(rec.trias[k], s, place);
      tria_keys[k] = std::make_pair(s[0], pair(s[1], s[2]));
    }
    fill(tria_keys, tria_start_, tria_others_, tria_ids_);
  }

  // Edges (s[0], s[m]) for m = 1..n-1, s ascending; ids into out, 0 when
  // absent.
  void edges_from(const int* s, int n, int* out) const {
    Scan<int> scan(edge_others_, edge_ids_, edge_start_, s[0]);
    for (int m = 1; m < n; ++m) out[m - 1] = scan.find(s[m]);
  }
  // Triangles (s[0], b, c) for the pairs (b, c) given ascending.
  void trias_from(int first, const Pair* others, int n, int* out) const {
    Scan<Pair> scan(tria_others_, tria_ids_, tria_start_, first);
    for (int m = 0; m < n; ++m) out[m] = scan.find(others[m]);
  }
  static Pair pair(int b, int c) {
    return (static_cast<Pair>(static_cast<std::uint32_t>(b)) << 32) | static_cast<std::uint32_t>(c);
  }

 private:
  // Counting sort by first vertex; each list then sorted by the others,
  // keeping the order of equal keys.  Ids are 1-based places.
  template <class Key>
  static void fill(const std::vector<std::pair<int, Key>>& keys, std::vector<int>& start,
                   std::vector<Key>& others, std::vector<int>& ids) {
    for (const auto& k : keys) ++start[static_cast<std::size_t>(k.first) + 1];
    for (std::size_t a = 1; a < start.size(); ++a) start[a] += start[a - 1];
    others.resize(keys.size());
    ids.resize(keys.size());
    std::vector<int> next(start.begin(), start.end() - 1);
    for (std::size_t k = 0; k < keys.size(); ++k) {
      int at = next[static_cast<std::size_t>(keys[k].first)]++;
      const Key key = keys[k].second;
      const int id = static_cast<int>(k) + 1;
      const int begin = start[static_cast<std::size_t>(keys[k].first)];
      for (; at > begin && key < others[at - 1]; --at) {
        others[at] = others[at - 1];
        ids[at] = ids[at - 1];
      }
      others[at] = key;
      ids[at] = id;
    }
  }

  // A forward pass over the list of one atom, for keys asked in ascending
  // order.
  template <class Key>
  struct Scan {
    Scan(const std::vector<Key>& others, const std::vector<int>& ids, const std::vector<int>& start,
         int first)
        : key(others.data()), id(ids.data()), at(start[first]), end(start[first + 1]) {}
    int find(Key k) {
      while (at < end && key[at] < k) ++at;
      return at < end && key[at] == k ? id[at] : 0;
    }
    const Key* key;
    const int* id;
    int at, end;
  };

  std::vector<int> edge_start_, tria_start_;
  std::vector<int> edge_others_;
  std::vector<Pair> tria_others_;
  std::vector<int> edge_ids_, tria_ids_;
};

// Place of the edge between the vertices at places x < y of an ascending
// list of four: (0,1), (0,2), (0,3), (1,2), (1,3), (2,3).
const int kPairOf[4][4] = {{-1, 0, 1, 2}, {0, -1, 3, 4}, {1, 3, -1, 5}, {2, 4, 5, -1}};
const int kTetraEnds[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
const int kTriaEnds[3][2] = {{0, 1}, {0, 2}, {1, 2}};

void link_tetra(tetra& t, std::vector<tria>& trias, std::vector<edge>& edges,
                const FaceIndex& index) {
  int s[4], place[4];
  sorted_vertices<tetra, 4>(t, s, place);
  // The faces without s[3], s[2], s[1] (first s[0]), then without s[0].
  int without[4];
  const FaceIndex::Pair from_first[3] = {FaceIndex::pair(s[1], s[2]), FaceIndex::pair(s[1], s[3]),
                                         FaceIndex::pair(s[2], s[3])};
  index.trias_from(s[0], from_first, 3, without + 1);
  const FaceIndex::Pair from_second = FaceIndex::pair(s[2], s[3]);
  index.trias_from(s[1], &from_second, 1, without);
  // without[1..3] hold the faces without s[3], s[2], s[1] in that order.
  const int face_without[4] = {without[0], without[3], without[2], without[1]};
  // Face k leaves out vertex 3 - k.
  for (int k = 0; k < 4; ++k) t.faces[k] = record_of(trias, face_without[place[3 - k]]);
  // Edges by ascending pair: (0,1), (0,2), (0,3) | (1,2), (1,3) | (2,3).
  int by_pair[6];
  index.edges_from(s, 4, by_pair);
  index.edges_from(s + 1, 3, by_pair + 3);
  index.edges_from(s + 2, 2, by_pair + 5);
  for (int k = 0; k < 6; ++k) {
    const int x = place[kTetraEnds[k][0]], y = place[kTetraEnds[k][1]];
    t.edges[k] = record_of(edges, by_pair[x < y ? kPairOf[x][y] : kPairOf[y][x]]);
  }
}

void link_tria(tria& f, std::vector<edge>& edges, const FaceIndex& index) {
  int s[3], place[3];
  sorted_vertices<tria, 3>(f, s, place);
  // (0,1), (0,2) | (1,2).
  int by_pair[3];
  index.edges_from(s, 3, by_pair);
  index.edges_from(s + 1, 2, by_pair + 2);
  for (int k = 0; k < 3; ++k) {
    const int x = place[kTriaEnds[k][0]], y = place[kTriaEnds[k][1]];
    f.e[k] = record_of(edges, by_pair[x < y ? x + y - 1 : y + x - 1]);
  }
}

}  // namespace

void link_records(ComplexRecords& rec) {
  const FaceIndex index(rec);
  for (tetra& t : rec.tetras) link_tetra(t, rec.trias, rec.edges, index);
  for (tria& f : rec.trias) link_tria(f, rec.edges, index);
}

// ---- coface lists --------------------------------------------------------------

CofaceLists::CofaceLists(const ComplexRecords& rec)
    : rec_(rec),
      tria_tetras_(&tria::cofaces),
      edge_tetras_(&edge::coface_tetras),
      edge_trias_(&edge::coface_trias) {
  tria_tetras_.reserve(4 * rec.tetras.size());
  edge_tetras_.reserve(6 * rec.tetras.size());
  edge_trias_.reserve(3 * rec.trias.size());
}

// Places are taken from the addresses: the records themselves are not read.
void CofaceLists::note(const tetra& t) {
  const int me = static_cast<int>(&t - rec_.tetras.data());
  for (const tria* f : t.faces)
    if (f != nullptr) tria_tetras_.note(static_cast<int>(f - rec_.trias.data()), me);
  for (const edge* e : t.edges)
    if (e != nullptr) edge_tetras_.note(static_cast<int>(e - rec_.edges.data()), me);
}

void CofaceLists::note(const tria& f) {
  const int me = static_cast<int>(&f - rec_.trias.data());
  for (const edge* e : f.e)
    if (e != nullptr) edge_trias_.note(static_cast<int>(e - rec_.edges.data()), me);
}

void CofaceLists::flush_tetras(ComplexRecords& rec) {
  tria_tetras_.flush(rec.trias, rec.tetras, rec);
  edge_tetras_.flush(rec.edges, rec.tetras, rec);
}

void CofaceLists::flush_trias(ComplexRecords& rec) { edge_trias_.flush(rec.edges, rec.trias, rec); }
