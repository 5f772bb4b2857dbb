#include "measure/complexbuild.h"

#include <algorithm>
#include <cmath>
#include <memory>

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

int SimplexKeys::find_sorted(const int* s, int n) {
  Entry key{s[0], {-1, -1, -1}, 0};
  for (int k = 1; k < n; ++k) key.rest[k - 1] = s[k];
  return find_packed(key);
}

void SimplexKeys::fetch_bucket(int first) {
  if (!built_) build();
  if (first < 0 || static_cast<std::size_t>(first) + 1 >= start_.size()) return;
  const char* from = reinterpret_cast<const char*>(entries_.data() + start_[first]);
  const char* to = reinterpret_cast<const char*>(entries_.data() + start_[first + 1]);
  for (; from < to; from += 64) __builtin_prefetch(from);
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

tetra* ComplexRecords::find_tetra(int a, int b, int c, int d) {
  int v[4] = {a, b, c, d};
  int id = tetra_keys.find(v, 4);
  return id > 0 ? &tetras[id - 1] : nullptr;
}

tria* ComplexRecords::find_tria(int a, int b, int c) {
  int v[3] = {a, b, c};
  int id = tria_keys.find(v, 3);
  return id > 0 ? &trias[id - 1] : nullptr;
}

edge* ComplexRecords::find_edge(int a, int b) {
  int v[2] = {a, b};
  int id = edge_keys.find(v, 2);
  return id > 0 ? &edges[id - 1] : nullptr;
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

// The next record of a kind, made in place: its id, its key and its
// vertices.
template <class Record>
Record& add_record(std::vector<Record>& records, SimplexKeys& keys, const ListedSimplex& s,
                   std::vector<info>& atoms) {
  records.emplace_back();
  Record& r = records.back();
  r.id = static_cast<int>(records.size());
  keys.insert(s.v, s.size, r.id);
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
  rec.tetra_keys.reserve(n4);
  rec.tria_keys.reserve(n3);
  rec.edge_keys.reserve(n2);

  for (const ListedSimplex& s : list) {
    if (s.size == 4)
      add_record(rec.tetras, rec.tetra_keys, s, rec.atoms).setcenter4(probe);
    else if (s.size == 3)
      add_record(rec.trias, rec.tria_keys, s, rec.atoms).setcenter3(probe);
    else if (s.size == 2)
      add_record(rec.edges, rec.edge_keys, s, rec.atoms).setcenter2(probe);
  }
}

namespace {

// The vertex indices of a record and their positions in ascending order of
// index: every face and edge of the record is then a sorted key as it is.
template <class Record, int N>
void sorted_vertices(const Record& r, int* index, int* by_rank) {
  for (int k = 0; k < N; ++k) {
    index[k] = r.v[k]->index;
    by_rank[k] = k;
  }
  for (int i = 1; i < N; ++i)
    for (int j = i; j > 0 && index[by_rank[j]] < index[by_rank[j - 1]]; --j) {
      const int x = by_rank[j];
      by_rank[j] = by_rank[j - 1];
      by_rank[j - 1] = x;
    }
}

template <class Record>
Record* record_of(std::vector<Record>& records, int id) {
  return id > 0 ? &records[static_cast<std::size_t>(id - 1)] : nullptr;
}

}  // namespace

void link_tetra(tetra& t, ComplexRecords& rec) {
  int index[4], rank[4];
  sorted_vertices<tetra, 4>(t, index, rank);
  // Vertex position -> place in ascending order.
  int place[4];
  for (int k = 0; k < 4; ++k) place[rank[k]] = k;
  const int s[4] = {index[rank[0]], index[rank[1]], index[rank[2]], index[rank[3]]};
  // Face k leaves out vertex 3 - k.
  for (int k = 0; k < 4; ++k) {
    int key[3], n = 0;
    for (int m = 0; m < 4; ++m)
      if (m != place[3 - k]) key[n++] = s[m];
    t.faces[k] = record_of(rec.trias, rec.tria_keys.find_sorted(key, 3));
  }
  const int ends[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
  for (int k = 0; k < 6; ++k) {
    int x = place[ends[k][0]], y = place[ends[k][1]];
    const int key[2] = {s[x < y ? x : y], s[x < y ? y : x]};
    t.edges[k] = record_of(rec.edges, rec.edge_keys.find_sorted(key, 2));
  }
}

void link_tria(tria& f, ComplexRecords& rec) {
  int index[3], rank[3];
  sorted_vertices<tria, 3>(f, index, rank);
  int place[3];
  for (int k = 0; k < 3; ++k) place[rank[k]] = k;
  const int s[3] = {index[rank[0]], index[rank[1]], index[rank[2]]};
  const int ends[3][2] = {{0, 1}, {0, 2}, {1, 2}};
  for (int k = 0; k < 3; ++k) {
    int x = place[ends[k][0]], y = place[ends[k][1]];
    const int key[2] = {s[x < y ? x : y], s[x < y ? y : x]};
    f.e[k] = record_of(rec.edges, rec.edge_keys.find_sorted(key, 2));
  }
}

namespace {

// The walks below go through the records in order but look up keys of
// atoms anywhere: the atoms of a record some places ahead are fetched, then
// its buckets, so that each lookup finds them at hand.  (The bucket bounds
// are few enough to stay in the cache.)
const std::size_t kAtomsAhead = 16, kBucketsAhead = 5;

template <class Record, int N>
void fetch_atoms(const Record& r) {
  for (int k = 0; k < N; ++k) __builtin_prefetch(r.v[k]);
}

// The buckets of the keys of the record's faces and edges: those of its
// N - 1 smallest vertex indices.
template <class Record, int N>
void fetch_keys(const Record& r, ComplexRecords& rec) {
  int index[N], rank[N];
  sorted_vertices<Record, N>(r, index, rank);
  for (int k = 0; k + 1 < N; ++k) {
    const int first = index[rank[k]];
    if (N == 4 && k < 2) rec.tria_keys.fetch_bucket(first);
    rec.edge_keys.fetch_bucket(first);
  }
}

template <class Record, int N, class Link>
void link_all(std::vector<Record>& records, ComplexRecords& rec, Link link) {
  const std::size_t n = records.size();
  for (std::size_t k = 0; k < n; ++k) {
    if (k + kAtomsAhead < n) fetch_atoms<Record, N>(records[k + kAtomsAhead]);
    if (k + kBucketsAhead < n) fetch_keys<Record, N>(records[k + kBucketsAhead], rec);
    link(records[k], rec);
  }
}

}  // namespace

void link_records(ComplexRecords& rec) {
  link_all<tetra, 4>(rec.tetras, rec, link_tetra);
  link_all<tria, 3>(rec.trias, rec, link_tria);
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
  tria_tetras_.flush(rec.trias, rec.tetras);
  edge_tetras_.flush(rec.edges, rec.tetras);
}

void CofaceLists::flush_trias(ComplexRecords& rec) { edge_trias_.flush(rec.edges, rec.trias); }
