#include "pockets/pipeline.h"

#include <algorithm>
#include <cmath>
#include <array>
#include <iostream>

#include "geometry/ashape.h"
#include "geometry/d3dw.h"
#include "measure/volumeareashortnew.h"
#include "pockets/assembly.h"
#include "pockets/marks.h"
#include "pockets/mouths.h"
#include "pockets/reports.h"
#include "structure/bead.h"

namespace {

// Record ids by the sorted vertex indices of a simplex, bucketed by the
// smallest index: a look-up scans the few simplices that start at that atom,
// in contiguous memory.
template <int K>
class KeyIndex {
 public:
  explicit KeyIndex(int atoms) : start_(atoms + 1, 0) {}

  // Keys are added in id order (ids 1, 2, ...) before any look-up.
  void add(const int* v) {
    std::array<int, K> key;
    std::copy(v, v + K, key.begin());
    std::sort(key.begin(), key.end());
    keys_.push_back(key);
  }

  void finish() {
    for (const auto& k : keys_) ++start_[k[0] + 1];
    for (size_t i = 1; i < start_.size(); ++i) start_[i] += start_[i - 1];
    entries_.resize(keys_.size());
    std::vector<int> fill(start_.begin(), start_.end() - 1);
    for (size_t id = 0; id < keys_.size(); ++id) {
      Entry& e = entries_[fill[keys_[id][0]]++];
      std::copy(keys_[id].begin() + 1, keys_[id].end(), e.rest);
      e.id = static_cast<int>(id) + 1;
    }
    std::vector<std::array<int, K>>().swap(keys_);
  }

  // The id of the simplex with these vertices, 0 when there is none.
  int find(std::array<int, K> key) const {
    std::sort(key.begin(), key.end());
    for (int i = start_[key[0]]; i < start_[key[0] + 1]; ++i) {
      const Entry& e = entries_[i];
      if (std::equal(key.begin() + 1, key.end(), e.rest)) return e.id;
    }
    return 0;
  }

 private:
  struct Entry {
    int rest[K - 1];
    int id;
  };
  std::vector<int> start_;
  std::vector<std::array<int, K>> keys_;
  std::vector<Entry> entries_;
};

// Copies at most `width` characters and ends the text.
void copy_text(char* to, const char* from, size_t width) {
  size_t i = 0;
  for (; i < width && from[i] != '\0'; ++i) to[i] = from[i];
  to[i] = '\0';
}

// Face k of a tetrahedron is shared with its neighbour across it; both keep
// the pair in parallel lists, each neighbour once.
void link_neighbours(tetra* a, tetra* b, tria* face) {
  if (std::find(a->neighbours.begin(), a->neighbours.end(), b) != a->neighbours.end()) return;
  a->neighbours.push_back(b);
  a->shared_trias.push_back(face);
}

}  // namespace

double alpha_radius(double radius, double probe, double alpha) {
  const double expanded = radius + probe;
  const double square = alpha >= 0.0 ? expanded * expanded + alpha * alpha
                                     : expanded * expanded - alpha * alpha;
  return std::sqrt(std::max(0.0, square)) - probe;
}

void build_pocket_complex(std::vector<Bead>& beads, double probe, double alpha, PocketComplex& c) {
  const int n = static_cast<int>(beads.size());
  CD3DW* triangulation = new CD3DW(1e19);
  for (int i : seeded_insertion_order(n)) {
    const Bead& b = beads[i];
    const double r = b.radius + probe;
    triangulation->add(b.x, b.y, b.z, r * r, i, &beads[i]);
  }
  CAlpha* complex = new CAlpha(triangulation);
  const std::vector<CSimplex*>& simplices = complex->simplices;

  c.atoms.assign(n, info());
  for (int i = 0; i < n; ++i) {
    const Bead& b = beads[i];
    info& a = c.atoms[i];
    a.index = i;
    a.serial = b.serial;
    a.residue_number = b.res_num;
    a.x = b.x;
    a.y = b.y;
    a.z = b.z;
    a.radius = b.radius;
    a.bfactor = b.b_factor;
    a.signed_size = -(b.radius + probe);
    copy_text(a.atom_name, b.atom_name, 4);
    copy_text(a.residue_name, b.res_name, 3);
    a.chain_id = b.chain_id;
    a.position = i + 1;
    a.stamp = -1;
  }

  size_t count[5] = {0, 0, 0, 0, 0};
  for (CSimplex* s : simplices) ++count[s->size()];
  c.tetras.clear();
  c.trias.clear();
  c.edges.clear();
  c.tetras.reserve(count[4]);
  c.trias.reserve(count[3]);
  c.edges.reserve(count[2]);
  KeyIndex<3> tria_ids(n);
  KeyIndex<2> edge_ids(n);

  // First pass: every record, with its vertices and centre.  No pointer to a
  // record is taken before all of them exist.
  for (CSimplex* s : simplices) {
    const int k = s->size();
    int key[4];
    for (int i = 0; i < k; ++i) key[i] = s->vertices[i]->id;
    if (k == 4) {
      c.tetras.emplace_back();
      tetra& t = c.tetras.back();
      t.id = static_cast<int>(c.tetras.size());
      for (int i = 0; i < 4; ++i) t.v[i] = &c.atoms[key[i]];
      t.setcenter4(probe);
    } else if (k == 3) {
      c.trias.emplace_back();
      tria& t = c.trias.back();
      t.id = static_cast<int>(c.trias.size());
      for (int i = 0; i < 3; ++i) t.v[i] = &c.atoms[key[i]];
      tria_ids.add(key);
      t.setcenter3(probe);
    } else if (k == 2) {
      c.edges.emplace_back();
      edge& e = c.edges.back();
      e.id = static_cast<int>(c.edges.size());
      for (int i = 0; i < 2; ++i) e.v[i] = &c.atoms[key[i]];
      edge_ids.add(key);
      e.setcenter2(probe);
    }
  }

  tria_ids.finish();
  edge_ids.finish();

  // Second pass: incidence and classification, in the same order, so every
  // tetrahedron is judged before any triangle and every triangle before the
  // edges.
  size_t next_tetra = 0, next_tria = 0, next_edge = 0;
  int void_counter = 0;
  int position = 0;
  for (CSimplex* s : simplices) {
    ++position;
    const int k = s->size();
    if (k == 4) {
      tetra& t = c.tetras[next_tetra++];
      const int a = t.v[0]->index, b = t.v[1]->index, cc = t.v[2]->index, d = t.v[3]->index;
      const int faces[4][3] = {{a, b, cc}, {a, b, d}, {a, cc, d}, {b, cc, d}};
      for (int f = 0; f < 4; ++f) {
        tria* face = &c.trias[tria_ids.find({faces[f][0], faces[f][1], faces[f][2]}) - 1];
        t.faces[f] = face;
        face->cofaces.push_back(&t);
      }
      const int edges[6][2] = {{a, b}, {a, cc}, {a, d}, {b, cc}, {b, d}, {cc, d}};
      for (int e = 0; e < 6; ++e) {
        edge* ed = &c.edges[edge_ids.find({edges[e][0], edges[e][1]}) - 1];
        t.edges[e] = ed;
        ed->coface_tetras.push_back(&t);
      }
      t.judge4(probe);
      for (info* v : t.v) v->all_tetras.push_back(&t);
      if (t.signed_size <= alpha) {
        t.in_complex = true;
        for (info* v : t.v) v->complex_tetras.push_back(&t);
      } else {
        t.void_id = ++void_counter;
      }
      t.position = position;
    } else if (k == 3) {
      tria& f = c.trias[next_tria++];
      const int a = f.v[0]->index, b = f.v[1]->index, cc = f.v[2]->index;
      const int edges[3][2] = {{a, b}, {a, cc}, {b, cc}};
      for (int e = 0; e < 3; ++e) {
        edge* ed = &c.edges[edge_ids.find({edges[e][0], edges[e][1]}) - 1];
        f.e[e] = ed;
        ed->coface_trias.push_back(&f);
      }
      if (f.cofaces.size() == 2) {
        link_neighbours(f.cofaces[0], f.cofaces[1], &f);
        link_neighbours(f.cofaces[1], f.cofaces[0], &f);
      } else if (f.cofaces.size() == 1) {
        // A convex-hull face: its tetrahedron, its atoms and every
        // tetrahedron at those atoms lie on the hull.
        f.cofaces[0]->hull = true;
        for (info* v : f.v) v->marks[MARK_HULL] = true;
        for (info* v : f.v) {
          for (tetra* t : v->all_tetras) t->hull = true;
        }
      }
      f.judge3(probe);
      if (f.signed_size <= alpha) f.in_complex = true;
      f.ancesterofoutside(probe);
      f.position = position;
    } else if (k == 2) {
      edge& e = c.edges[next_edge++];
      e.v[0]->incident_edges.push_back(&e);
      e.v[1]->incident_edges.push_back(&e);
      e.judge2(probe);
      if (e.signed_size <= alpha) e.in_complex = true;
      e.position = position;
    }
  }

  // Only the records are read from here on.
  delete complex;
  delete triangulation;

  ancoutsidejudge(c.tetras, probe);
}

int run_pocket_steps(PocketComplex& c, const std::string& name, int pymol, double probe,
                     double alpha) {
  std::vector<pocket> pockets;
  pocketsrepresentation(c.tetras, pockets, probe);
  std::cout << "pockets detection done!" << std::endl;
  if (pockets.empty()) {
    std::cout << "No pocket detected!!" << std::endl;
    return 0;
  }
  // The mouth and report steps measure the balls grown to the alpha level.
  for (info& a : c.atoms) a.radius = alpha_radius(a.radius, probe, alpha);
  std::vector<mouth> mouths(pockets.size());
  pocketspocindex(c.atoms, pockets);
  mouthsrepresentation(pockets, mouths, c.atoms, probe);
  pocketsmeasure(c.tetras, c.atoms, pockets, mouths, name, pymol, probe, alpha);
  return static_cast<int>(pockets.size());
}

void extract_pocket_short(std::vector<Bead>& beads, std::string name, int pymol, double probe,
                          double alpha) {
  PocketComplex c;
  build_pocket_complex(beads, probe, alpha, c);
  std::cout << "pocket segments judging done!" << std::endl;
  run_pocket_steps(c, name, pymol, probe, alpha);
}
