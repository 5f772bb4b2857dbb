// Alpha complex of a finished weighted Delaunay triangulation.
//
// CAlpha makes one object per tetrahedron, triangle, edge and vertex of the
// triangulation whose vertices are all real points (never a bounding vertex)
// and annotates each with the values that decide for which alpha it belongs
// to the complex (sigma, mu0, mu1, attachment) and whether it lies on the
// convex hull of the points (on_conv).
//
// Interface for the consumers of the simplex list
// ------------------------------------------------
// * CAlpha::simplices holds every simplex, in this order:
//     1. all tetrahedra (size() == 4),
//     2. all triangles (size() == 3),
//     3. the edges (size() == 2), each edge followed at once by the vertex
//        simplices (size() == 1) that it introduced: the first edge that
//        has a point as an end makes that point's vertex simplex, origin
//        end first.
//   The order within each group is fixed by the creation order of the
//   triangulation's edge records; it is part of every downstream output.
// * Read a simplex through its CSimplex*: call size() once, then read the
//   vertex pointers s->vertices[0 .. size()-1] directly; each vertex's `id`
//   is the caller's point id (the bead index) and is never negative here.
//   Entries of `vertices` at and beyond size() are null.
// * Vertex order:  tetrahedron - the three face vertices in increasing id
//   order, then the fourth vertex (smallest or largest id of the four);
//   triangle - the ids in increasing cyclic order starting at the smallest
//   or at the largest id; edge - smaller id, larger id.
// * CSimplex has a virtual destructor; CAlpha owns its simplices and destroys
//   them with itself. A CAlpha must not outlive its triangulation, and one triangulation
//   serves one CAlpha at a time (the simplex back-pointers in the
//   triangulation are rewritten by every construction).
#ifndef GEOMETRY_ASHAPE_H
#define GEOMETRY_ASHAPE_H

#include <vector>

#include "geometry/d3dw.h"

class CSimplex {
 public:
  CSimplex();

  // Virtual operations, in this slot order.
  virtual void geometry() = 0;
  virtual CXYZW* operator[](int i) = 0;   // vertex i, null out of range
  virtual int size() = 0;                 // number of vertices
  virtual bool attached();                // returns is_attached
  virtual bool on_surface(double alpha);  // false unless a kind overrides it
  virtual ~CSimplex();

  bool is_attached;
  // The simplex's vertices, readable through the base pointer; entries at
  // and beyond size() are null.
  CXYZW* vertices[4];

 protected:
  // Shared rule of vertex, edge and triangle: in the complex at alpha
  // (lower bound mu0 when attached, sigma otherwise) and not every coface is.
  bool surface_rule(double alpha, double sigma, bool sigma_inf, double mu0, bool mu0_inf,
                    double mu1, bool mu1_inf) const;

 private:
  CSimplex(const CSimplex&) = delete;
  CSimplex& operator=(const CSimplex&) = delete;
};

// Vertex simplex; its values are set by CAlpha from the incident edges.
class C0Simplex : public CSimplex {
 public:
  explicit C0Simplex(CXYZW* p);
  void geometry() override;  // nothing to compute
  CXYZW* operator[](int i) override;
  int size() override;
  bool on_surface(double alpha) override;

  double sigma;  // -w of the point
  double mu0;
  double mu1;
  bool sigma_inf, mu0_inf, mu1_inf;
};

class C1Simplex : public CSimplex {
 public:
  explicit C1Simplex(CD3DEdge* e);
  void geometry() override;
  CXYZW* operator[](int i) override;
  int size() override;
  bool on_surface(double alpha) override;
  void dump();

  double sigma = 0.0;
  double mu0 = 0.0;
  double mu1 = 0.0;
  bool sigma_inf = false, mu0_inf = false, mu1_inf = false;
  CD3DEdge* edge_record;
  bool on_conv = false;
};

class C2Simplex : public CSimplex {
 public:
  explicit C2Simplex(CD3DEdge* e);
  void geometry() override;
  CXYZW* operator[](int i) override;
  int size() override;
  bool on_surface(double alpha) override;
  void dump();

  // A degenerate triangle (its normal is not resolved by the error-bounded
  // test) is reported and keeps sigma, mu0 and mu1 infinite.
  // Whether the triangle is degenerate; report_degenerate() also reports
  // it, as geometry() does.
  bool degenerate();
  bool report_degenerate();
  double sigma = 0.0;
  double mu0 = 0.0;
  double mu1 = 0.0;
  bool sigma_inf = false, mu0_inf = false, mu1_inf = false;
  CD3DEdge* edge_record;
  bool on_conv = false;
};

class C3Simplex : public CSimplex {
 public:
  explicit C3Simplex(CD3DEdge* e);
  void geometry() override;
  CXYZW* operator[](int i) override;
  int size() override;
  void dump();

  // sigma_inf is set only for a degenerate tetrahedron (reported, infinite
  // size); such a tetrahedron contributes nothing to its faces' mu0/mu1.
  // Whether the tetrahedron is degenerate (flat within the error bound);
  // report_degenerate() also reports it, as geometry() does.
  bool degenerate();
  bool report_degenerate();
  double sigma = 0.0;
  double mu0 = 0.0;  // unused
  double mu1 = 0.0;  // unused
  bool sigma_inf = false, mu0_inf = false, mu1_inf = false;
  CD3DEdge* edge_record;
  bool on_conv = false;  // always false
};

class CAlpha {
 public:
  // kListOnly makes the same simplices in the same order, with the same
  // reports of degenerate triangles and tetrahedra, for consumers that read
  // nothing but the list: the values (sigma, mu0, mu1, attachment, on_conv)
  // keep their initial ones, but for sigma_inf, which marks a degenerate
  // tetrahedron as in the full complex. Of the back-pointers it sets only
  // the points' vertex_simplex.
  enum Content { kFull, kListOnly };
  // Builds the complex of a triangulation that receives no more points.
  explicit CAlpha(CD3DW* triangulation, Content content = kFull);
  ~CAlpha();

  std::vector<CSimplex*> simplices;

 private:
  CAlpha(const CAlpha&) = delete;
  CAlpha& operator=(const CAlpha&) = delete;
  // Each makes the simplex of its kind from record r when r is the one that
  // names it, and appends it to out (an edge also the vertices it
  // introduces).
  void make_tetra(CD3DEdge* r, std::vector<CSimplex*>& out);
  void make_tria(CD3DEdge* r, std::vector<CSimplex*>& out);
  void make_edge(CD3DEdge* r, std::vector<CSimplex*>& out);
  void build_list(const std::vector<CD3DTriangle*>& triangles, std::size_t points);
  void list_tetra(CD3DEdge* r, int low, int high);
  void list_tria(CD3DEdge* r, std::vector<CSimplex*>& out);

  template <class T>
  class Store;
  Store<C3Simplex>* tetras_;
  Store<C2Simplex>* trias_;
  Store<C1Simplex>* edges_;
  Store<C0Simplex>* vertices_;
  Content content_;
  std::vector<CSimplex*> degenerate_;  // triangles still to report
};

#endif
