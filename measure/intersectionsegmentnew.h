// Records of the vertices, edges, triangles and tetrahedra of a weighted
// Delaunay triangulation (as listed by its alpha complex), with the routines
// that place and classify them: power centres, signed sizes, attachment,
// void components and the flow of power centres towards the outside.
//
// Both the area/volume report and the pocket pipeline build these records
// from the same triangulation.  Conventions shared by every record:
//  - ids are 1-based in creation order; record k lies at element k-1 of its
//    vector; an info record sits at the 0-based index of its atom;
//  - records point at each other by raw, non-owning pointers into the record
//    vectors; those vectors are filled completely before any pointer into
//    them is taken and are never grown afterwards;
//  - vertex order inside a record is the order of the alpha-complex simplex;
//    faces and edges are derived from it in the fixed orders noted below;
//  - signed_size is the signed radius of the smallest ball orthogonal to the
//    expanded vertex balls (negative when they share a point); it starts at
//    -10 and is only ever raised.  A simplex whose centre or size is not a
//    finite number (flat tetrahedron, collinear triangle) gets +infinity.
// Every field has a defined value from construction on.
#ifndef MEASURE_INTERSECTIONSEGMENTNEW_H
#define MEASURE_INTERSECTIONSEGMENTNEW_H

#include <cstddef>
#include <vector>

#include "measure/recordlist.h"

class edge;
class tria;
class tetra;
class VoidComponents;

// The fixed orders of faces and edges: tetra::edges[k] joins the vertices
// kTetraEdgeEnds[k] of its tetrahedron and tria::e[k] the vertices
// kTriaEdgeEnds[k] of its triangle; kTetraEdgeOf[x][y] and kTriaEdgeOf[x][y]
// give k back (-1 for x == y).  tetra::faces[k] leaves out vertex 3 - k.
constexpr int kTetraEdgeEnds[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
constexpr int kTriaEdgeEnds[3][2] = {{0, 1}, {0, 2}, {1, 2}};
constexpr int kTetraEdgeOf[4][4] = {{-1, 0, 1, 2}, {0, -1, 3, 4}, {1, 3, -1, 5}, {2, 4, 5, -1}};
constexpr int kTriaEdgeOf[3][3] = {{-1, 0, 1}, {0, -1, 2}, {1, 2, -1}};

// Pocket membership of an atom or a triangle: a pocket number and the
// indices of that pocket's sub-pockets that hold the simplex.
struct sub_id {
  int pocket = 0;
  std::vector<int> subpockets;
};

// The entries of info::marks in use, set by the pocket routines and the
// auxiliary pocket analyses; entries 4, 5 and 7 are set by no routine and
// stay false.
enum info_mark {
  MARK_POCKET = 0,          // vertex of a pocket tetrahedron
  MARK_MOUTH = 1,           // vertex of a mouth triangle
  MARK_DEPRESSION = 2,      // vertex of a depression
  MARK_HULL = 3,            // vertex of a convex-hull triangle
  MARK_CURRENT_POCKET = 6,  // atom of the pocket whose filtration is built
};

// The entry of tria::flags that the mouth routine sets; the other four are
// set by no routine and stay false.
enum tria_flag {
  TRIA_FLAG_MOUTH = 1,  // mouth triangle
};

// One atom (vertex).
class info {
 public:
  int index = 0;           // 0-based atom index
  int serial = 0;          // atom serial number (pocket path)
  int residue_number = 0;  // (pocket path)
  double x = 0.0, y = 0.0, z = 0.0;
  double radius = 0.0;  // atom radius r; the expanded radius is r + probe
  double spare = 0.0;
  double bfactor = 0.0;
  double signed_size = 0.0;  // -(r + probe) on the pocket path
  char atom_name[5] = {0, 0, 0, 0, 0};
  char residue_name[4] = {0, 0, 0, 0};
  char chain_id = 0;
  bool marks[8] = {false, false, false, false, false, false, false, false};
  int filtration_ints[4] = {0, 0, 0, 0};
  int position = 0;  // 1-based place in the pocket filtration
  int stamp = -1;
  int filter_number = 0;                 // 1-based place of its filter in the filter list
  bool functional_residue = false;       // atom of a listed functional residue
  std::vector<int> pocket_numbers;       // pockets holding the atom
  std::vector<int> spec_pocket_numbers;  // as the reduced marking fills them
  std::vector<tetra*> tetra_list;
  std::vector<int> mouth_ids;           // mouths the atom lines
  std::vector<int> depression_numbers;  // depressions holding the atom

  // Per-atom area and volume accumulators of the q report.
  double volume_sa = 0.0, area_sa = 0.0, volume_ms = 0.0, area_ms = 0.0;
  double envelope_sa = 0.0, envelope_ms = 0.0;
  double void_area_sa = 0.0, void_area_ms = 0.0;

  std::vector<sub_id> sub_ids;           // per pocket, the sub-pockets holding the atom
  RecordList<edge*, 0> complex_edges;    // edges of the complex at this atom
  RecordList<tria*, 0> complex_trias;    // triangles of the complex at this atom
  RecordList<tetra*, 0> complex_tetras;  // tetrahedra of the complex at this atom
  std::vector<tetra*> tetra_list_2;
  RecordList<tetra*, 0> all_tetras;     // every tetrahedron at this atom
  std::vector<info*> chain;             // reduced boundary of the filtration
  RecordList<edge*, 0> incident_edges;  // every edge at this atom (pocket path)

  // The expanded ball lies inside the union of the other balls (it misses its
  // own power cell), or a negative alpha shrank it to nothing: the atom takes
  // no part in the union and gets no area or volume.
  bool absent = false;

  // Fraction of the expanded sphere not covered by tetrahedra of the
  // complex (1 without any, 0 when surrounded); reads complex_tetras.
  double solidanglevertex() const;
};

// One edge (1-simplex).
class edge {
 public:
  int id = 0;
  double center[3] = {0.0, 0.0, 0.0};  // power centre of the two balls
  double signed_size = -10.0;
  bool in_complex = false;
  bool attached = false;  // attached to a triangle or tetrahedron
  bool spare_flag = false;
  int filtration_ints[3] = {0, 0, 0};
  bool spare_flag_2 = false;
  std::vector<int> pocket_numbers;
  int filtration_int = 0;
  int position = 0;  // 1-based place in the simplex list / filtration
  int partner = 0;
  int stamp = -1;
  int filter_number = 0;  // 1-based place of its filter in the filter list
  info* v[2] = {nullptr, nullptr};
  RecordList<tetra*, 0> coface_tetras;
  RecordList<tria*, 0> coface_trias;
  std::vector<info*> boundary;
  std::vector<edge*> chain;

  void setcenter2(double probe);
  // Raises signed_size to the edge's own size; true when its power distance
  // is <= 0.
  bool judge2(double probe);
  // Fraction of the edge's radical circle not covered by tetrahedra of the
  // complex (1 minus their dihedral angles at the edge).
  double solidangleedge() const;
};

// One triangle (2-simplex).  Edges: (v0,v1), (v0,v2), (v1,v2).
class tria {
 public:
  int id = 0;
  double center[3] = {0.0, 0.0, 0.0};  // power centre, in the triangle's plane
  double signed_size = -10.0;
  double own_size = -10.0;  // the triangle's own size before any raising
  bool in_complex = false;
  bool attached = false;  // attached to a tetrahedron
  bool flags[5] = {false, false, false, false, false};
  int filtration_ints[3] = {0, 0, 0};
  bool spare_flag = false;
  bool drawn = false;
  std::vector<int> pocket_numbers;
  int filtration_int = 0;
  int position = 0;
  int partner = 0;
  int stamp = -1;
  int filter_number = 0;  // 1-based place of its filter in the filter list
  info* v[3] = {nullptr, nullptr, nullptr};
  edge* e[3] = {nullptr, nullptr, nullptr};
  RecordList<tetra*, 2> cofaces;  // one (hull) or two tetrahedra
  RecordList<edge*, 1> attached_edges;
  std::vector<edge*> boundary;
  std::vector<tria*> chain;
  std::vector<tria*> tria_list;
  std::vector<edge*> edge_list;
  std::vector<sub_id> sub_ids;

  void setcenter3(double probe);
  // Raises signed_size and sets own_size; attaches each edge whose opposite
  // vertex has the smaller power at the edge's centre and raises it to the
  // triangle's own size.  True when the own power distance is <= 0.
  bool judge3(double probe);
  // Records that the empty coface tetrahedra of this triangle (which is
  // outside the complex) belong to one void, or that the void reaches the
  // outside for a convex-hull triangle.
  void voidsrepresentation(VoidComponents& voids);
  // For a convex-hull triangle: marks its tetrahedron flows_to_outside when
  // the tetrahedron's power centre lies beyond the triangle's plane.
  void ancesterofoutside(double unused);
  // 1 when no coface tetrahedron is in the complex, 0.5 for one, 0 for two.
  double solidangletriangle() const;
  // True only when all three sides have length 0.
  bool acutejudge(double unused) const;
};

// One tetrahedron (3-simplex).
// Faces: (v0,v1,v2), (v0,v1,v3), (v0,v2,v3), (v1,v2,v3).
// Edges: (v0,v1), (v0,v2), (v0,v3), (v1,v2), (v1,v3), (v2,v3).
class tetra {
 public:
  int id = 0;
  double center[3] = {0.0, 0.0, 0.0};  // power centre of the four balls
  double signed_size = -10.0;
  bool in_complex = false;
  bool buried = false;  // buried mark of the pocket routines
  bool spare_flag_2 = false;
  bool visited = false;  // reached by a pocket flood
  bool depression_mark = false;
  bool hull = false;  // has, or shares an atom with, a convex-hull face
  bool flows_to_outside = false;
  bool clustered = false;
  bool spare_flag_3 = false;
  int flow_colour = 0;    // outside-flow walk: 0 new, 1 open, 2 done
  int pocket_colour = 0;  // pocket flood, same meaning
  int pocket_id = 0;      // id given when the pocket flood leaves it
  int pocket_number = 0;  // number of the pocket that holds it
  int depression_colour = 0;
  int depression_id = 0;
  int subpocket_index = 0;  // index of the sub-pocket that holds it
  int void_id = -1;         // -1 unset / in complex, 0 reaches the outside
  int filtration_ints[3] = {0, 0, 0};
  int component_id = 0;      // flood-fill component
  int pocket_number_of = 0;  // assembly pocket id after merging
  int depression_component = 0;
  int filtration_ints_2[3] = {0, 0, 0};
  int position = 0;
  int partner = 0;
  int stamp = -1;
  int filter_number = 0;  // 1-based place of its filter in the filter list
  info* v[4] = {nullptr, nullptr, nullptr, nullptr};
  tria* faces[4] = {nullptr, nullptr, nullptr, nullptr};
  edge* edges[6] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  RecordList<tetra*, 0> neighbours;   // face neighbours
  RecordList<tria*, 0> shared_trias;  // face shared with each neighbour
  std::vector<tria*> boundary;
  std::vector<tria*> tria_list;
  std::vector<edge*> edge_list;
  RecordList<tetra*, 2> inflow;  // neighbours whose flow enters this one
  RecordList<tria*, 2> attached_faces;
  RecordList<edge*, 1> attached_edges;

  void setcenter4(double probe);
  // Raises signed_size; attaches the faces whose opposite vertex has the
  // smaller power at the face's centre (raising them to this size), and the
  // edges that two attached faces share (one for two faces, three for
  // three), raised to the faces' size.  True when the own power distance is
  // <= 0.
  bool judge4(double probe);
  // The second half of judge4 with the faces given: attaches faces[k] for
  // each attach[k], raising it to this size, and the edges they share.
  void attach_faces(const bool attach[4]);
  // Marks flows_to_outside on every tetrahedron whose flow reaches this one
  // (through the inflow lists), depth first, without recursion.
  void dfs_visit();
  // Pocket flood over the inflow lists of empty tetrahedra.
  void pockets_dfs_visit(int id);
  // Depression flood, the same walk with the depression fields.
  void depressions_dfs_visit(int id);
};

// Union of empty tetrahedra into void components, built while the triangles
// outside the complex are walked, then written to tetra::void_id: 0 for a
// component that reaches the outside through a convex-hull triangle, else
// the smallest void number of the component.  Only connectivity matters, so
// the result does not depend on the order of the triangles.
class VoidComponents {
 public:
  explicit VoidComponents(std::vector<tetra>& tetrahedra);
  void join(const tetra& a, const tetra& b);
  void touch_outside(const tetra& t);
  // Writes void_id of every tetrahedron outside the complex.
  void assign();

 private:
  int find(int k);
  std::vector<tetra>& tetras_;
  std::vector<int> parent_;
  std::vector<char> outside_;
};

// Dihedral angle, in turns, of tetrahedron t at its edge k (edge order).  It
// is the same to the last bit whichever end or other vertex comes first.
double tetra_dihedral(const tetra& t, int k);

// The shares of the vertices and edges not covered by tetrahedra of the
// complex, gathered while the tetrahedra of the complex are met in list
// order: once all are met, equal to the last bit to info::solidanglevertex
// and edge::solidangleedge, at one dihedral angle per edge of a tetrahedron.
class OpenShares {
 public:
  OpenShares(std::size_t atoms, const std::vector<edge>& edges);
  // t is in the complex; dihedrals[k] = tetra_dihedral(t, k).
  void add(const tetra& t, const double* dihedrals);
  double vertex_share(const info& a) const;
  double edge_share(const edge& e) const;

 private:
  std::vector<double> vertex_, edge_;
  const edge* base_;  // edges are found by the places of their records
};

// Fills the inflow lists from the face neighbours, then marks
// flows_to_outside on every tetrahedron whose flow reaches one already
// marked (by tria::ancesterofoutside).
void ancoutsidejudge(std::vector<tetra>& tetrahedra, double unused);
// Whether the flow of a enters b (a's power centre lies beyond the shared
// face, on b's side).
bool descendant(const tetra* a, const tetra* b, double unused);

#endif
