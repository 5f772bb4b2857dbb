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

// Appends, owner by owner, the members that were noted for it, in the order
// they were noted.  Collecting first and writing each owner's list once, in
// owner order, spares the scattered growth of many small lists.
class Incidence {
 public:
  void note(int owner, int member) { pairs_.emplace_back(owner, member); }

  template <class Owner, class Member>
  void flush(std::vector<Owner>& owners, std::vector<Member>& members,
             std::vector<Member*> Owner::*list) {
    if (pairs_.empty()) return;
    std::vector<int> start(owners.size() + 1, 0);
    for (const auto& p : pairs_) ++start[p.first + 1];
    for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
    std::vector<int> sorted(pairs_.size());
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (const auto& p : pairs_) sorted[fill[p.first]++] = p.second;
    for (size_t o = 0; o < owners.size(); ++o) {
      if (start[o] == start[o + 1]) continue;
      std::vector<Member*>& l = owners[o].*list;
      l.reserve(l.size() + (start[o + 1] - start[o]));
      for (int k = start[o]; k < start[o + 1]; ++k) l.push_back(&members[sorted[k]]);
    }
    std::vector<std::pair<int, int>>().swap(pairs_);
  }

 private:
  std::vector<std::pair<int, int>> pairs_;
};

// Face k of a tetrahedron is shared with its neighbour k; each keeps the
// pairs in parallel lists, each neighbour once, in the order of the shared
// faces.  Collected like Incidence, written per tetrahedron.
class NeighbourLinks {
 public:
  void note(int owner, int neighbour, int face) { links_.push_back({owner, neighbour, face}); }

  void flush(std::vector<tetra>& tetras, std::vector<tria>& trias) {
    std::vector<int> start(tetras.size() + 1, 0);
    for (const Link& l : links_) ++start[l.owner + 1];
    for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
    std::vector<Link> sorted(links_.size());
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (const Link& l : links_) sorted[fill[l.owner]++] = l;
    for (size_t t = 0; t < tetras.size(); ++t) {
      tetra& a = tetras[t];
      a.neighbours.reserve(a.neighbours.size() + (start[t + 1] - start[t]));
      a.shared_trias.reserve(a.shared_trias.size() + (start[t + 1] - start[t]));
      for (int k = start[t]; k < start[t + 1]; ++k) {
        tetra* b = &tetras[sorted[k].neighbour];
        if (std::find(a.neighbours.begin(), a.neighbours.end(), b) != a.neighbours.end()) continue;
        a.neighbours.push_back(b);
        a.shared_trias.push_back(&trias[sorted[k].face]);
      }
    }
    std::vector<Link>().swap(links_);
  }

 private:
  struct Link {
    int owner, neighbour, face;
  };
  std::vector<Link> links_;
};

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
  CAlpha* complex = new CAlpha(triangulation, CAlpha::kListOnly);
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
  // The coface lists of faces and edges are written in bulk: no step of
  // the walk reads them before the walk has moved on to the next kind.
  // So are the atoms' tetrahedron lists and the neighbour lists.
  Incidence tria_cofaces, edge_cofaces, edge_coface_trias, atom_tetras, atom_complex_tetras;
  NeighbourLinks neighbours;
  auto flush_tetra_incidence = [&]() {
    tria_cofaces.flush(c.trias, c.tetras, &tria::cofaces);
    edge_cofaces.flush(c.edges, c.tetras, &edge::coface_tetras);
    atom_tetras.flush(c.atoms, c.tetras, &info::all_tetras);
    atom_complex_tetras.flush(c.atoms, c.tetras, &info::complex_tetras);
  };
  size_t next_tetra = 0, next_tria = 0, next_edge = 0;
  int void_counter = 0;
  int position = 0;
  for (CSimplex* s : simplices) {
    ++position;
    const int k = s->size();
    if (k == 4) {
      const int me = static_cast<int>(next_tetra);
      tetra& t = c.tetras[next_tetra++];
      const int a = t.v[0]->index, b = t.v[1]->index, cc = t.v[2]->index, d = t.v[3]->index;
      const int faces[4][3] = {{a, b, cc}, {a, b, d}, {a, cc, d}, {b, cc, d}};
      for (int f = 0; f < 4; ++f) {
        const int id = tria_ids.find({faces[f][0], faces[f][1], faces[f][2]});
        t.faces[f] = &c.trias[id - 1];
        tria_cofaces.note(id - 1, me);
      }
      const int edges[6][2] = {{a, b}, {a, cc}, {a, d}, {b, cc}, {b, d}, {cc, d}};
      for (int e = 0; e < 6; ++e) {
        const int id = edge_ids.find({edges[e][0], edges[e][1]});
        t.edges[e] = &c.edges[id - 1];
        edge_cofaces.note(id - 1, me);
      }
      t.judge4(probe);
      for (info* v : t.v) atom_tetras.note(v->index, me);
      if (t.signed_size <= alpha) {
        t.in_complex = true;
        for (info* v : t.v) atom_complex_tetras.note(v->index, me);
      } else {
        t.void_id = ++void_counter;
      }
      t.position = position;
    } else if (k == 3) {
      flush_tetra_incidence();
      const int me = static_cast<int>(next_tria);
      tria& f = c.trias[next_tria++];
      const int a = f.v[0]->index, b = f.v[1]->index, cc = f.v[2]->index;
      const int edges[3][2] = {{a, b}, {a, cc}, {b, cc}};
      for (int e = 0; e < 3; ++e) {
        const int id = edge_ids.find({edges[e][0], edges[e][1]});
        f.e[e] = &c.edges[id - 1];
        edge_coface_trias.note(id - 1, me);
      }
      if (f.cofaces.size() == 2) {
        const int a0 = static_cast<int>(f.cofaces[0] - c.tetras.data());
        const int a1 = static_cast<int>(f.cofaces[1] - c.tetras.data());
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
  flush_tetra_incidence();
  edge_coface_trias.flush(c.edges, c.trias, &edge::coface_trias);
  neighbours.flush(c.tetras, c.trias);

  // Only the records are read from here on.
  delete complex;
  delete triangulation;

  ancoutsidejudge(c.tetras, probe);
}

int run_pocket_steps(PocketComplex& c, const std::string& name, int pymol, double probe,
                     double alpha) {
  std::vector<pocket>& pockets = c.pockets;
  pockets.clear();
  c.mouths.clear();
  pocketsrepresentation(c.tetras, pockets, probe);
  std::cout << "pockets detection done!" << std::endl;
  if (pockets.empty()) {
    std::cout << "No pocket detected!!" << std::endl;
    return 0;
  }
  // The mouth and report steps measure the balls grown to the alpha level.
  for (info& a : c.atoms) a.radius = alpha_radius(a.radius, probe, alpha);
  c.mouths.assign(pockets.size(), mouth());
  pocketspocindex(c.atoms, pockets);
  mouthsrepresentation(pockets, c.mouths, c.atoms, probe);
  pocketsmeasure(c.tetras, c.atoms, pockets, c.mouths, name, pymol, probe, alpha);
  return static_cast<int>(pockets.size());
}

void extract_pocket_short(std::vector<Bead>& beads, std::string name, int pymol, double probe,
                          double alpha) {
  PocketComplex c;
  build_pocket_complex(beads, probe, alpha, c);
  std::cout << "pocket segments judging done!" << std::endl;
  run_pocket_steps(c, name, pymol, probe, alpha);
}
