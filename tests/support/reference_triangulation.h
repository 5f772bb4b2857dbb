#ifndef TESTS_SUPPORT_REFERENCE_TRIANGULATION_H
#define TESTS_SUPPORT_REFERENCE_TRIANGULATION_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "geometry/d3dw.h"

// A plain regular triangulation to measure CD3DW against: one heap object
// per record and per cell, each record with its own links, minors and
// cache, point location by descent through the replaced cells, and nothing
// freed or reused before destruction. Slow and memory-hungry by design; it
// shares only the kernel (the point type and the predicates) with CD3DW.
struct RefCell;

struct RefRecord {
  RefRecord(CXYZW* o, CXYZW* d, CXYZW* a) : origin(o), destination(d), apex(a) {}
  CXYZW *origin, *destination, *apex;
  RefCell* cell = nullptr;
  RefRecord *sym = nullptr, *enext = nullptr, *fnext = nullptr;
  unsigned char flags = 0;
  CXYZW* cached_point = nullptr;
  bool cached_positive = false;
  CInexact minors[4];
  bool minors_valid = false;
};

struct RefCell {
  CXYZW* vertex[4];
  RefRecord* face[4];
  RefCell* child[4] = {nullptr, nullptr, nullptr, nullptr};
};

class RefTriangulation {
 public:
  std::vector<RefRecord*> edges;
  std::vector<CXYZW*> points;
  std::vector<RefCell*> cells;
  std::vector<RefRecord*> flip_stack;
  CXYZW bound[4];
  std::uint64_t stats[10] = {};
  double M;

  explicit RefTriangulation(double M);
  ~RefTriangulation();
  RefTriangulation(const RefTriangulation&) = delete;
  RefTriangulation& operator=(const RefTriangulation&) = delete;

  void add(double x, double y, double z, double w, int id, void* data);
  // (origin id, destination id) of every listed record, in list order.
  std::vector<std::pair<int, int>> list_edges() const;

  bool positive(RefRecord* e, CXYZW* p);
  bool insphere(RefRecord* e, CXYZW* p);

 private:
  RefRecord* new6(CXYZW* P, CXYZW* Q, CXYZW* R);
  RefCell* new_cell(CXYZW* v0, CXYZW* v1, CXYZW* v2, CXYZW* v3, RefRecord* f0, RefRecord* f1,
                    RefRecord* f2, RefRecord* f3);
  void link(RefCell* c);
  void push(RefRecord* e);
  void split(RefCell* leaf, CXYZW* p);
  void flip23(RefRecord* e);
  void flip32(RefRecord* x);
  void flip41(RefRecord* r);
};

// Everything of a finished CD3DW that later stages can observe, compared with
// the reference built from the same calls: the live records in list order
// (vertices, ring successor, the minors cached on them, bit for bit, and
// whether they are), the listed edges and the flip and left-out counters.
// Empty when equal, else the first difference.
std::string compare_with_reference(CD3DW& t, const RefTriangulation& ref);

#endif
