#include "measure/complexbuild.h"

#include "geometry/ashape.h"
#include "geometry/d3dw.h"
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
// is met first.
void SimplexKeys::build() {
  int top = -1;
  for (const Entry& e : pending_) top = e.first > top ? e.first : top;
  start_.assign(static_cast<std::size_t>(top) + 2, 0);
  for (const Entry& e : pending_) ++start_[static_cast<std::size_t>(e.first) + 1];
  for (std::size_t k = 1; k < start_.size(); ++k) start_[k] += start_[k - 1];
  entries_.resize(pending_.size());
  std::vector<std::size_t> next(start_.begin(), start_.end() - 1);
  for (const Entry& e : pending_) entries_[next[static_cast<std::size_t>(e.first)]++] = e;
  built_ = true;
}

int SimplexKeys::find(const int* v, int n) {
  if (!built_) build();
  const Entry key = pack(v, n, 0);
  if (key.first < 0 || static_cast<std::size_t>(key.first) + 1 >= start_.size()) return 0;
  for (std::size_t k = start_[key.first]; k < start_[key.first + 1]; ++k) {
    const Entry& e = entries_[k];
    if (e.rest[0] == key.rest[0] && e.rest[1] == key.rest[1] && e.rest[2] == key.rest[2]) return e.id;
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

std::vector<ListedSimplex> expanded_simplex_list(std::vector<Bead>& beads, double probe) {
  const int n = static_cast<int>(beads.size());
  CD3DW* triangulation = new CD3DW(1e19);
  triangulation->reserve(beads.size());
  for (int i : seeded_insertion_order(n)) {
    const Bead& b = beads[i];
    const double r = b.radius + probe;
    triangulation->add(b.x, b.y, b.z, r * r, i, &beads[i]);
  }
  CAlpha* complex = new CAlpha(triangulation, CAlpha::kListOnly);
  std::vector<ListedSimplex> list = list_simplices(complex->simplices);
  delete complex;
  delete triangulation;
  return list;
}

void make_records(const std::vector<ListedSimplex>& list, ComplexRecords& rec, double probe) {
  std::size_t n4 = 0, n3 = 0, n2 = 0;
  for (const ListedSimplex& s : list) {
    if (s.size == 4) ++n4;
    else if (s.size == 3) ++n3;
    else if (s.size == 2) ++n2;
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

void link_tetra(tetra& t, ComplexRecords& rec) {
  int a = t.v[0]->index, b = t.v[1]->index, c = t.v[2]->index, d = t.v[3]->index;
  const int face[4][3] = {{a, b, c}, {a, b, d}, {a, c, d}, {b, c, d}};
  for (int k = 0; k < 4; ++k) t.faces[k] = rec.find_tria(face[k][0], face[k][1], face[k][2]);
  const int ends[6][2] = {{a, b}, {a, c}, {a, d}, {b, c}, {b, d}, {c, d}};
  for (int k = 0; k < 6; ++k) t.edges[k] = rec.find_edge(ends[k][0], ends[k][1]);
}

void link_tria(tria& f, ComplexRecords& rec) {
  int a = f.v[0]->index, b = f.v[1]->index, c = f.v[2]->index;
  const int ends[3][2] = {{a, b}, {a, c}, {b, c}};
  for (int k = 0; k < 3; ++k) f.e[k] = rec.find_edge(ends[k][0], ends[k][1]);
}

// ---- coface lists --------------------------------------------------------------

CofaceLists::CofaceLists()
    : tria_tetras_(&tria::cofaces), edge_tetras_(&edge::coface_tetras),
      edge_trias_(&edge::coface_trias) {}

void CofaceLists::note(const tetra& t) {
  for (const tria* f : t.faces)
    if (f != nullptr) tria_tetras_.note(f->id - 1, t.id - 1);
  for (const edge* e : t.edges)
    if (e != nullptr) edge_tetras_.note(e->id - 1, t.id - 1);
}

void CofaceLists::note(const tria& f) {
  for (const edge* e : f.e)
    if (e != nullptr) edge_trias_.note(e->id - 1, f.id - 1);
}

void CofaceLists::flush_tetras(ComplexRecords& rec) {
  tria_tetras_.flush(rec.trias, rec.tetras);
  edge_tetras_.flush(rec.edges, rec.tetras);
}

void CofaceLists::flush_trias(ComplexRecords& rec) { edge_trias_.flush(rec.edges, rec.trias); }
