// Building the complex records from an alpha complex: the lookup of a
// record by its vertex indices, the record vectors, the first pass that
// makes every record, and the links between faces, edges and cofaces.
// Shared by the area/volume report and the pocket pipeline.
#ifndef MEASURE_COMPLEXBUILD_H
#define MEASURE_COMPLEXBUILD_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "measure/intersectionsegmentnew.h"
#include "measure/recordlist.h"

class Bead;
class CSimplex;

// Map from the vertex indices of a simplex (2 to 4 non-negative ints, in any
// order; the key is the sorted list) to its 1-based record id.  The keys are
// kept in buckets by their smallest index, so a lookup allocates nothing and
// the simplices of neighbouring atoms sit close together in memory.
class SimplexKeys {
 public:
  void reserve(std::size_t n);
  // Keeps the first id given for a key.
  void insert(const int* v, int n, int id);
  // The id of the key, 0 when absent.
  int find(const int* v, int n);
  std::size_t size() const { return entries_.size() + pending_.size(); }

 private:
  struct Entry {
    int first;    // smallest index
    int rest[3];  // the others, ascending; -1 when unused
    int id;
  };
  static Entry pack(const int* v, int n, int id);
  int find_packed(const Entry& key);
  void build();
  std::vector<Entry> pending_;      // inserted since the last build, in order
  std::vector<Entry> entries_;      // grouped by smallest index
  std::vector<std::size_t> start_;  // bucket k is entries_[start_[k], start_[k+1])
  bool built_ = true;
};

// The records of one triangulation.  atoms[i] belongs to atom i; the other
// vectors hold one record per simplex of the alpha complex's list, in list
// order, record id k at element k-1.
struct ComplexRecords {
  // Room for the records' incidence lists, taken by the builders; declared
  // before the records, so released after them.
  ListPool<tetra*> tetra_lists;
  ListPool<tria*> tria_lists;
  ListPool<edge*> edge_lists;

  std::vector<info> atoms;
  std::vector<tetra> tetras;
  std::vector<tria> trias;
  std::vector<edge> edges;

  // How the faces and edges of each record sit in it, set with the links,
  // so that a walk over the records need not read its faces and edges to
  // learn it (face_vertex_place, edge_runs_forward).  Per tetrahedron: bit
  // k (k < 6) is set when edges[k]->v[0] is v[kTetraEdgeEnds[k][0]], and
  // bits 6 + 6 f + 2 m hold the position among v of faces[f]->v[m].  Per
  // triangle: bit k (k < 3) is set when e[k]->v[0] is v[kTriaEdgeEnds[k][0]].
  std::vector<std::uint32_t> tetra_order;
  std::vector<std::uint8_t> tria_order;

  // Record of the simplex with these vertex indices, null when absent.  The
  // keys are gathered from the records on the first lookup of each kind.
  tetra* find_tetra(int a, int b, int c, int d);
  tria* find_tria(int a, int b, int c);
  edge* find_edge(int a, int b);

 private:
  SimplexKeys tetra_keys_, tria_keys_, edge_keys_;
};

inline int face_vertex_place(std::uint32_t order, int f, int m) {
  return static_cast<int>((order >> (6 + 6 * f + 2 * m)) & 3u);
}
inline bool edge_runs_forward(std::uint32_t order, int k) { return (order >> k) & 1u; }

// One simplex of an alpha complex's list: its number of vertices (1 to 4)
// and their atom indices, in the simplex's own order.
struct ListedSimplex {
  int size;
  int v[4];
};

// The simplex list of an alpha complex, in its order.  Copied out, it lets
// the triangulation and the complex go before the records are made.
std::vector<ListedSimplex> list_simplices(const std::vector<CSimplex*>& simplices);

// The simplex list of the alpha complex of the beads' balls grown by the
// probe (weights (r + probe)^2, the beads inserted in the seeded order), and
// for each tetrahedron in list order whether the complex reported it
// degenerate (its centres coplanar within rounding).  It depends on the
// beads' centres and radii and the probe alone, so the pocket and area
// steps of one structure share it.
struct SimplexList {
  std::vector<ListedSimplex> simplices;
  std::vector<char> flat;
  // With keep_links, the first build_complex on the list leaves the links
  // of its records here (per tetrahedron the ids of its faces and edges and
  // its tetra_order, per triangle the ids of its edges and its tria_order;
  // id 0 for none) and the next takes them instead of finding them again.
  bool keep_links = false;
  struct Links {
    std::unique_ptr<int[]> ids;  // written whole, so never set to zero first
    std::size_t size = 0;
    bool empty() const { return size == 0; }
  } links;
  // With keep_links, the first build also leaves what depends on the balls
  // alone: the balls it was made with, the power centres of the tetrahedra
  // and triangles (an edge's cost less to compute again than the room to
  // keep them) and what the judges made of every record.  A second build on
  // the same balls, bit for bit, with no atom absent in either, takes them:
  // the values its own operations would give.
  struct Judged {
    std::vector<double> balls;  // x, y, z and r + probe of each atom
    // Arrays sized by the records' counts, written whole before they are
    // read (so never set to zero first).  3 centre coordinates per
    // tetrahedron, then per triangle; the final signed_size of each
    // tetrahedron, then of each edge; the own_size of each triangle (its
    // final size follows from that and its tetrahedra); per tetrahedron bit
    // k for faces[k] and bit 4 + k for edges[k] that it attached, then per
    // triangle bit k for its edge e[k].
    std::unique_ptr<double[]> centres, sizes, own;
    std::unique_ptr<std::uint16_t[]> attach;
  } judged;
};
SimplexList expanded_simplex_list(std::vector<Bead>& beads, double probe);

// The atom radius that puts the complex at alpha at signed size 0: the
// expanded radius r + p grows to sqrt((r + p)^2 + alpha^2) (alpha >= 0) or
// shrinks to sqrt((r + p)^2 - alpha^2) (alpha < 0), never below 0, so that
// every power distance shifts by the same amount.  Below 0 when the expanded
// ball ends up smaller than the probe; -probe when it shrinks to nothing.
double alpha_radius(double radius, double probe, double alpha);

// What build_complex classifies against and what it gathers besides the
// records, their links, the cofaces of the triangles and the list positions.
enum class ComplexUse {
  // The area walk: the atoms' radii grown to the alpha level (alpha_radius),
  // a simplex in the complex at signed size <= 0.  Empty tetrahedra joined
  // across empty faces into void components (void_id 0 for those that reach
  // the outside, else the smallest number among them); atoms that take no
  // part in the union marked absent.
  kMeasures,
  // The pocket steps and the analyses: plain radii (grown later, when the
  // pockets are measured), a simplex in the complex at signed size <= alpha;
  // void numbers in list order; every atom's tetrahedra, complex tetrahedra
  // and edges, the cofaces of the edges, face neighbours, hull marks and
  // the flow to the outside.
  kPockets,
};

// Builds and classifies the records of the alpha complex of `list` (the
// beads' expanded simplex list): one atom record per bead (same index), one
// record per tetrahedron, triangle and edge in list order, linked to their
// faces, edges and cofaces; every simplex judged in list order (tetrahedra,
// then triangles, then edges), a judge attaching faces and edges of the
// kinds after it.  A flat tetrahedron gets no centre (NaN) and never enters
// the complex; of its faces, those on the side its centre runs off to when a
// vertex is lifted are attached to it.  The records must not be copied or
// moved element-wise afterwards (they point at each other).
void build_complex(const std::vector<Bead>& beads, SimplexList& list, double probe, double alpha,
                   ComplexUse use, ComplexRecords& rec);

// Sets the faces (v0v1v2, v0v1v3, v0v2v3, v1v2v3) and edges (v0v1, v0v2,
// v0v3, v1v2, v1v3, v2v3) of every tetrahedron and the edges (v0v1, v0v2,
// v1v2) of every triangle, found by their vertices among the records (null
// when absent), and the orders of ComplexRecords.
void link_records(ComplexRecords& rec);

// The pool of ComplexRecords for lists of this kind of record.
inline ListPool<tetra*>& pool_of(ComplexRecords& rec, tetra*) { return rec.tetra_lists; }
inline ListPool<tria*>& pool_of(ComplexRecords& rec, tria*) { return rec.tria_lists; }
inline ListPool<edge*>& pool_of(ComplexRecords& rec, edge*) { return rec.edge_lists; }

// Lists of records (member `list` of each owner) appended in bulk: the
// members are noted for their owners as the walk meets them and written
// when the walk is done, in the order they were noted.  Every list is then
// sized once, and those that outgrow themselves share one block of the
// records' pool.
template <class Owner, class Member, unsigned N>
class BulkLists {
 public:
  explicit BulkLists(RecordList<Member*, N> Owner::*list) : list_(list) {}
  // Room for this many notes, made at once.
  void reserve(std::size_t notes) {
    if (notes > pairs_.size()) pairs_.resize(notes);
  }
  // By the 0-based places of owner and member in their vectors.
  void note(int owner, int member) {
    if (used_ < pairs_.size())
      pairs_[used_] = std::pair<int, int>(owner, member);
    else
      pairs_.emplace_back(owner, member);
    ++used_;
  }
  void flush(std::vector<Owner>& owners, std::vector<Member>& members, ComplexRecords& rec);

 private:
  RecordList<Member*, N> Owner::*list_;
  std::vector<std::pair<int, int>> pairs_;  // the first used_ are notes
  std::size_t used_ = 0;
};

// The coface lists of the records: a tetrahedron met by the walk is noted
// in the lists of its faces (at once: they hold their two cofaces in
// themselves) and edges, a triangle in those of its edges.  No coface list
// of an edge is read before the walk has left the cofaces' kind.
class CofaceLists {
 public:
  explicit CofaceLists(const ComplexRecords& rec);
  // Room for the notes of every record, made at once.
  void reserve();
  void note(tetra& t);       // after link_records
  void note(const tria& f);  // after link_records
  // edge::coface_tetras; then edge::coface_trias.
  void flush_tetras(ComplexRecords& rec);
  void flush_trias(ComplexRecords& rec);

 private:
  const ComplexRecords& rec_;
  BulkLists<edge, tetra, 0> edge_tetras_;
  BulkLists<edge, tria, 0> edge_trias_;
};

// Inline: the builder notes every simplex.
inline void CofaceLists::note(tetra& t) {
  const int me = static_cast<int>(&t - rec_.tetras.data());
  for (tria* f : t.faces)
    if (f != nullptr) f->cofaces.push_back(&t);
  for (const edge* e : t.edges)
    if (e != nullptr) edge_tetras_.note(static_cast<int>(e - rec_.edges.data()), me);
}

inline void CofaceLists::note(const tria& f) {
  const int me = static_cast<int>(&f - rec_.trias.data());
  for (const edge* e : f.e)
    if (e != nullptr) edge_trias_.note(static_cast<int>(e - rec_.edges.data()), me);
}

template <class Owner, class Member, unsigned N>
void BulkLists<Owner, Member, N>::flush(std::vector<Owner>& owners, std::vector<Member>& members,
                                        ComplexRecords& rec) {
  pairs_.resize(used_);
  used_ = 0;
  if (pairs_.empty()) return;
  std::vector<int> count(owners.size(), 0);
  for (const auto& p : pairs_) ++count[static_cast<std::size_t>(p.first)];
  std::size_t room = 0;
  for (std::size_t o = 0; o < owners.size(); ++o) {
    const RecordList<Member*, N>& l = owners[o].*list_;
    if (count[o] > 0 && l.size() + count[o] > l.capacity()) room += l.size() + count[o];
  }
  ListPool<Member*>& pool = pool_of(rec, static_cast<Member*>(nullptr));
  pool.prepare(room);
  // Each list at its final length at once; the notes then go straight to
  // their places, in the order they were made.
  std::vector<Member**> at(owners.size(), nullptr);
  for (std::size_t o = 0; o < owners.size(); ++o) {
    if (count[o] == 0) continue;
    RecordList<Member*, N>& l = owners[o].*list_;
    const std::size_t had = l.size();
    l.reserve(had + count[o], pool);
    l.resize(had + count[o]);
    at[o] = l.data() + had;
  }
  for (const auto& p : pairs_)
    *at[static_cast<std::size_t>(p.first)]++ = &members[static_cast<std::size_t>(p.second)];
  std::vector<std::pair<int, int>>().swap(pairs_);
}

#endif
