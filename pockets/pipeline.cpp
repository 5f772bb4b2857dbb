#include "pockets/pipeline.h"

#include <algorithm>
#include <limits>

#include "measure/complexbuild.h"
#include "pockets/assembly.h"
#include "pockets/marks.h"
#include "pockets/mouths.h"
#include "pockets/reports.h"
#include "structure/bead.h"

namespace {

// Copies at most `width` characters and ends the text.
void copy_text(char* to, const char* from, size_t width) {
  size_t i = 0;
  for (; i < width && from[i] != '\0'; ++i) to[i] = from[i];
  to[i] = '\0';
}

// Face k of a tetrahedron is shared with its neighbour k; each keeps the
// pairs in parallel lists, each neighbour once, in the order of the shared
// faces.  Collected like BulkLists, written per tetrahedron.
class NeighbourLinks {
 public:
  void reserve(size_t n) { links_.reserve(n); }
  void note(int owner, int neighbour, int face) { links_.push_back({owner, neighbour, face}); }

  void flush(ComplexRecords& rec) {
    std::vector<tetra>& tetras = rec.tetras;
    std::vector<int> start(tetras.size() + 1, 0);
    for (const Link& l : links_) ++start[l.owner + 1];
    for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
    std::vector<Link> sorted(links_.size());
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (const Link& l : links_) sorted[fill[l.owner]++] = l;
    std::vector<Link>().swap(links_);
    rec.tetra_lists.prepare(sorted.size());
    rec.tria_lists.prepare(sorted.size());
    for (size_t t = 0; t < tetras.size(); ++t) {
      tetra& a = tetras[t];
      const size_t n = start[t + 1] - start[t];
      a.neighbours.reserve(a.neighbours.size() + n, rec.tetra_lists);
      a.shared_trias.reserve(a.shared_trias.size() + n, rec.tria_lists);
      for (int k = start[t]; k < start[t + 1]; ++k) {
        tetra* b = &tetras[sorted[k].neighbour];
        if (std::find(a.neighbours.begin(), a.neighbours.end(), b) != a.neighbours.end()) continue;
        a.neighbours.push_back(b);
        a.shared_trias.push_back(&rec.trias[sorted[k].face]);
      }
    }
  }

 private:
  struct Link {
    int owner, neighbour, face;
  };
  std::vector<Link> links_;
};

}  // namespace

void build_pocket_complex(std::vector<Bead>& beads, double probe, double alpha, PocketComplex& c) {
  const int n = static_cast<int>(beads.size());
  std::vector<char> flat;
  const std::vector<ListedSimplex> list = expanded_simplex_list(beads, probe, &flat);

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
  make_records(list, c, probe);
  // A flat tetrahedron has no centre: what the arithmetic gives is rounding
  // noise.  Without one it takes no part in the flow, never enters the
  // complex and stays out of every pocket.
  for (size_t k = 0; k < c.tetras.size(); ++k) {
    if (flat[k]) {
      for (double& x : c.tetras[k].center) x = std::numeric_limits<double>::quiet_NaN();
    }
  }

  // Second pass: incidence and classification, in the same order, so every
  // tetrahedron is judged before any triangle and every triangle before the
  // edges.
  // The coface lists of faces and edges are written in bulk: no step of
  // the walk reads them before the walk has moved on to the next kind.
  // So are the atoms' tetrahedron lists and the neighbour lists.
  CofaceLists cofaces(c);
  BulkLists<info, tetra, 0> atom_tetras(&info::all_tetras),
      atom_complex_tetras(&info::complex_tetras);
  NeighbourLinks neighbours;
  neighbours.reserve(2 * c.trias.size());
  // Every atom's edge list at its final size from the start.
  {
    std::vector<int> degree(c.atoms.size(), 0);
    for (const edge& e : c.edges) {
      ++degree[e.v[0]->index];
      ++degree[e.v[1]->index];
    }
    c.edge_lists.prepare(2 * c.edges.size());
    for (size_t i = 0; i < c.atoms.size(); ++i)
      c.atoms[i].incident_edges.reserve(degree[i], c.edge_lists);
  }
  auto flush_tetra_incidence = [&]() {
    cofaces.flush_tetras(c);
    atom_tetras.flush(c.atoms, c.tetras, c);
    atom_complex_tetras.flush(c.atoms, c.tetras, c);
  };
  size_t next_tetra = 0, next_tria = 0, next_edge = 0;
  int void_counter = 0;
  int position = 0;
  link_records(c);
  for (const ListedSimplex& s : list) {
    ++position;
    if (s.size == 4) {
      tetra& t = c.tetras[next_tetra++];
      const int me = t.id - 1;
      cofaces.note(t);
      t.judge4(probe);
      for (info* v : t.v) atom_tetras.note(v->index, me);
      if (t.signed_size <= alpha) {
        t.in_complex = true;
        for (info* v : t.v) atom_complex_tetras.note(v->index, me);
      } else {
        t.void_id = ++void_counter;
      }
      t.position = position;
    } else if (s.size == 3) {
      if (next_tria == 0) flush_tetra_incidence();
      tria& f = c.trias[next_tria++];
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
      f.judge3(probe);
      if (f.signed_size <= alpha) f.in_complex = true;
      f.ancesterofoutside(probe);
      f.position = position;
    } else if (s.size == 2) {
      edge& e = c.edges[next_edge++];
      e.v[0]->incident_edges.push_back(&e);
      e.v[1]->incident_edges.push_back(&e);
      e.judge2(probe);
      if (e.signed_size <= alpha) e.in_complex = true;
      e.position = position;
    }
  }
  flush_tetra_incidence();
  cofaces.flush_trias(c);
  neighbours.flush(c);

  ancoutsidejudge(c.tetras, probe);
}

int run_pocket_steps(PocketComplex& c, const std::string& name, int pymol, double probe,
                     double alpha, std::ostream& log) {
  std::vector<pocket>& pockets = c.pockets;
  pockets.clear();
  c.mouths.clear();
  pocketsrepresentation(c.tetras, pockets, probe);
  log << "pockets detection done!" << std::endl;
  if (pockets.empty()) {
    log << "No pocket detected!!" << std::endl;
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
                          double alpha, std::ostream& log) {
  PocketComplex c;
  build_pocket_complex(beads, probe, alpha, c);
  log << "pocket segments judging done!" << std::endl;
  run_pocket_steps(c, name, pymol, probe, alpha, log);
}
