// Building the complex records from an alpha complex: the lookup of a
// record by its vertex indices, the record vectors, the first pass that
// makes every record, and the links between faces, edges and cofaces.
// Shared by the area/volume report and the pocket pipeline.
#ifndef MEASURE_COMPLEXBUILD_H
#define MEASURE_COMPLEXBUILD_H

#include <cstddef>
#include <vector>

#include "measure/intersectionsegmentnew.h"

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
  std::size_t size() const { return pending_.size(); }

 private:
  struct Entry {
    int first;    // smallest index
    int rest[3];  // the others, ascending; -1 when unused
    int id;
  };
  static Entry pack(const int* v, int n, int id);
  void build();
  std::vector<Entry> pending_;     // in insertion order
  std::vector<Entry> entries_;     // grouped by smallest index
  std::vector<std::size_t> start_;  // bucket k is entries_[start_[k], start_[k+1])
  bool built_ = true;
};

// The records of one triangulation.  atoms[i] belongs to atom i; the other
// vectors hold one record per simplex of the alpha complex's list, in list
// order, record id k at element k-1.
struct ComplexRecords {
  std::vector<info> atoms;
  std::vector<tetra> tetras;
  std::vector<tria> trias;
  std::vector<edge> edges;
  SimplexKeys tetra_keys, tria_keys, edge_keys;

  // Record of the simplex with these vertex indices, null when absent.
  tetra* find_tetra(int a, int b, int c, int d);
  tria* find_tria(int a, int b, int c);
  edge* find_edge(int a, int b);
};

// First pass over the simplex list: for every tetrahedron, triangle and edge
// makes a record with the defaults, its id and key, points its vertices at
// the atom records (simplex order) and sets its power centre.  The atom
// records must be complete; the record vectors are sized once, so pointers
// into them stay valid afterwards.
void make_records(const std::vector<CSimplex*>& simplices, ComplexRecords& rec, double probe);

// Sets the faces (v0v1v2, v0v1v3, v0v2v3, v1v2v3) and edges (v0v1, v0v2,
// v0v3, v1v2, v1v3, v2v3) of a tetrahedron and appends it to their coface
// lists.
void link_tetra(tetra& t, ComplexRecords& rec);
// Sets the edges (v0v1, v0v2, v1v2) of a triangle and appends it to their
// coface lists.
void link_tria(tria& f, ComplexRecords& rec);

#endif
