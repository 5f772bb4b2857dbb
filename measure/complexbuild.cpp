#include "measure/complexbuild.h"

#include "geometry/ashape.h"

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

void make_records(const std::vector<CSimplex*>& simplices, ComplexRecords& rec, double probe) {
  std::size_t n4 = 0, n3 = 0, n2 = 0;
  for (CSimplex* s : simplices) {
    int n = s->size();
    if (n == 4) ++n4;
    else if (n == 3) ++n3;
    else if (n == 2) ++n2;
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

  // Simplices of each kind per atom: they bound the atom's lists of
  // simplices of the complex, which are so allocated once.
  std::vector<int> at(3 * rec.atoms.size(), 0);
  for (CSimplex* s : simplices) {
    int n = s->size();
    if (n < 2 || n > 4) continue;
    int v[4];
    for (int k = 0; k < n; ++k) {
      v[k] = s->vertices[k]->id;
      ++at[3 * static_cast<std::size_t>(v[k]) + static_cast<std::size_t>(4 - n)];
    }
    if (n == 4) {
      rec.tetras.emplace_back();
      tetra& t = rec.tetras.back();
      t.id = static_cast<int>(rec.tetras.size());
      rec.tetra_keys.insert(v, 4, t.id);
      for (int k = 0; k < 4; ++k) t.v[k] = &rec.atoms[v[k]];
      t.setcenter4(probe);
    } else if (n == 3) {
      rec.trias.emplace_back();
      tria& f = rec.trias.back();
      f.id = static_cast<int>(rec.trias.size());
      rec.tria_keys.insert(v, 3, f.id);
      for (int k = 0; k < 3; ++k) f.v[k] = &rec.atoms[v[k]];
      f.cofaces.reserve(2);
      f.setcenter3(probe);
    } else {
      rec.edges.emplace_back();
      edge& e = rec.edges.back();
      e.id = static_cast<int>(rec.edges.size());
      rec.edge_keys.insert(v, 2, e.id);
      for (int k = 0; k < 2; ++k) e.v[k] = &rec.atoms[v[k]];
      // Most edges have four to eight cofaces of each kind.
      e.coface_tetras.reserve(8);
      e.coface_trias.reserve(8);
      e.setcenter2(probe);
    }
  }
  for (std::size_t i = 0; i < rec.atoms.size(); ++i) {
    rec.atoms[i].complex_tetras.reserve(static_cast<std::size_t>(at[3 * i]));
    rec.atoms[i].complex_trias.reserve(static_cast<std::size_t>(at[3 * i + 1]));
    rec.atoms[i].complex_edges.reserve(static_cast<std::size_t>(at[3 * i + 2]));
  }
}

// The faces and edges are all found before any of them is written, so the
// ten records are fetched together rather than one after the other.
void link_tetra(tetra& t, ComplexRecords& rec) {
  int a = t.v[0]->index, b = t.v[1]->index, c = t.v[2]->index, d = t.v[3]->index;
  const int face[4][3] = {{a, b, c}, {a, b, d}, {a, c, d}, {b, c, d}};
  for (int k = 0; k < 4; ++k) {
    t.faces[k] = rec.find_tria(face[k][0], face[k][1], face[k][2]);
    if (t.faces[k] != nullptr) __builtin_prefetch(&t.faces[k]->cofaces);
  }
  const int ends[6][2] = {{a, b}, {a, c}, {a, d}, {b, c}, {b, d}, {c, d}};
  for (int k = 0; k < 6; ++k) {
    t.edges[k] = rec.find_edge(ends[k][0], ends[k][1]);
    if (t.edges[k] != nullptr) __builtin_prefetch(&t.edges[k]->coface_tetras);
  }
  for (tria* f : t.faces)
    if (f != nullptr) f->cofaces.push_back(&t);
  for (edge* e : t.edges)
    if (e != nullptr) e->coface_tetras.push_back(&t);
}

void link_tria(tria& f, ComplexRecords& rec) {
  int a = f.v[0]->index, b = f.v[1]->index, c = f.v[2]->index;
  const int ends[3][2] = {{a, b}, {a, c}, {b, c}};
  for (int k = 0; k < 3; ++k) {
    f.e[k] = rec.find_edge(ends[k][0], ends[k][1]);
    if (f.e[k] != nullptr) __builtin_prefetch(&f.e[k]->coface_trias);
  }
  for (edge* e : f.e)
    if (e != nullptr) e->coface_trias.push_back(&f);
}
