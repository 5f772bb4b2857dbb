// Classification of the complex records: sizes, attachment, void
// components, flow walks, and the key lookup of records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "measure/areavolume.h"
#include "measure/atomballs.h"
#include "measure/complexbuild.h"
#include "measure/intersectionsegmentnew.h"
#include "structure/bead.h"
#include "structure/file.h"

namespace {

info atom(int index, double x, double y, double z, double r) {
  info a;
  a.index = index;
  a.x = x;
  a.y = y;
  a.z = z;
  a.radius = r;
  return a;
}

TEST(Records, KeysIgnoreVertexOrder) {
  SimplexKeys keys;
  int t1[3] = {7, 2, 5}, t2[3] = {5, 7, 2}, t3[3] = {2, 5, 8};
  keys.insert(t1, 3, 1);
  EXPECT_EQ(keys.find(t2, 3), 1);
  EXPECT_EQ(keys.find(t3, 3), 0);
  keys.insert(t2, 3, 9);  // the first id stays
  EXPECT_EQ(keys.find(t1, 3), 1);

  // Many keys of all sizes, against an ordered map.
  std::mt19937 gen(3);
  std::uniform_int_distribution<int> v(0, 400000);
  SimplexKeys big;
  std::map<std::vector<int>, int> ref;
  for (int k = 1; k <= 20000; ++k) {
    int n = 2 + k % 3;
    int key[4];
    for (int m = 0; m < n; ++m) key[m] = v(gen);
    std::vector<int> s(key, key + n);
    std::sort(s.begin(), s.end());
    if (std::adjacent_find(s.begin(), s.end()) != s.end() || ref.count(s)) continue;
    ref[s] = k;
    big.insert(key, n, k);
  }
  for (const auto& kv : ref) {
    std::vector<int> r(kv.first.rbegin(), kv.first.rend());
    EXPECT_EQ(big.find(r.data(), static_cast<int>(r.size())), kv.second);
  }
  int missing[2] = {400001, 400002};
  EXPECT_EQ(big.find(missing, 2), 0);
}

// A list held in itself, in its own heap block or in a pool's room keeps its
// entries in order as it grows, and a copy owns its entries: it outlives
// the pool that the original's entries live in.
TEST(Records, ListsOwnTheirCopies) {
  tetra t[6];
  tetra copy;
  {
    ListPool<tetra*> pool;
    tetra lent;
    lent.neighbours.reserve(3, pool);
    for (int k = 0; k < 3; ++k) lent.neighbours.push_back(&t[k]);
    lent.inflow = {&t[0], &t[1]};
    lent.inflow.push_back(&t[2]);  // out of the list into the heap
    lent.inflow.push_back(&t[3]);
    copy = lent;
    lent.neighbours.push_back(&t[4]);  // out of the pool into the heap
    EXPECT_EQ(lent.neighbours.size(), 4u);
    EXPECT_EQ(lent.neighbours[3], &t[4]);
    EXPECT_EQ(lent.neighbours[0], &t[0]);
  }
  ASSERT_EQ(copy.neighbours.size(), 3u);
  ASSERT_EQ(copy.inflow.size(), 4u);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(copy.neighbours[k], &t[k]);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(copy.inflow[k], &t[k]);
  tetra moved(std::move(copy));
  EXPECT_EQ(moved.inflow.back(), &t[3]);
  moved.inflow.resize(1);
  EXPECT_EQ(moved.inflow, decltype(moved.inflow)({&t[0]}));
}

// The area walk writes its lists in bulk; they must read as if each simplex
// had been appended when the walk met it: by ascending id, faces and edges
// found by their vertices.
TEST(Records, ListsOfTheAreaWalkFollowItsOrder) {
  std::vector<Bead> beads;
  read_pdb(std::string(DATA_DIR) + "/1ubq.pdb", beads);
  ComplexRecords rec = measure_area_volume(beads, 1.4, 0, 1, 0);
  ASSERT_GT(rec.tetras.size(), 1000u);
  auto ids = [](const auto& list) {
    std::vector<int> out;
    for (const auto* x : list) out.push_back(x->id);
    return out;
  };
  const size_t na = rec.atoms.size();
  std::vector<std::vector<int>> tria_tetras(rec.trias.size()), edge_tetras(rec.edges.size()),
      edge_trias(rec.edges.size()), atom_tetras(na), atom_trias(na), atom_edges(na);
  for (const tetra& t : rec.tetras) {
    const int a = t.v[0]->index, b = t.v[1]->index, c = t.v[2]->index, d = t.v[3]->index;
    EXPECT_EQ(t.faces[0], rec.find_tria(c, a, b));
    EXPECT_EQ(t.faces[3], rec.find_tria(d, c, b));
    EXPECT_EQ(t.edges[2], rec.find_edge(d, a));
    for (const tria* f : t.faces) tria_tetras[f->id - 1].push_back(t.id);
    for (const edge* e : t.edges) edge_tetras[e->id - 1].push_back(t.id);
    if (t.in_complex)
      for (const info* v : t.v) atom_tetras[v->index].push_back(t.id);
  }
  for (const tria& f : rec.trias) {
    EXPECT_EQ(ids(f.cofaces), tria_tetras[f.id - 1]);
    EXPECT_EQ(f.e[2], rec.find_edge(f.v[2]->index, f.v[1]->index));
    for (const edge* e : f.e) edge_trias[e->id - 1].push_back(f.id);
    if (f.in_complex)
      for (const info* v : f.v) atom_trias[v->index].push_back(f.id);
  }
  for (const edge& e : rec.edges) {
    EXPECT_EQ(ids(e.coface_tetras), edge_tetras[e.id - 1]);
    EXPECT_EQ(ids(e.coface_trias), edge_trias[e.id - 1]);
    if (e.in_complex)
      for (const info* v : e.v) atom_edges[v->index].push_back(e.id);
  }
  for (const info& a : rec.atoms) {
    EXPECT_EQ(ids(a.complex_tetras), atom_tetras[a.index]);
    EXPECT_EQ(ids(a.complex_trias), atom_trias[a.index]);
    EXPECT_EQ(ids(a.complex_edges), atom_edges[a.index]);
  }

  // A second build on the same list takes the links that the first kept.
  SimplexList list = expanded_simplex_list(beads, 1.4);
  list.keep_links = true;
  ComplexRecords first, second;
  build_complex(beads, list, 1.4, 0.0, ComplexUse::kMeasures, first);
  ASSERT_FALSE(list.links.empty());
  build_complex(beads, list, 1.4, 0.0, ComplexUse::kPockets, second);
  for (const tetra& t : second.tetras) {
    const int a = t.v[0]->index, b = t.v[1]->index, c = t.v[2]->index, d = t.v[3]->index;
    EXPECT_EQ(t.faces[0], second.find_tria(a, b, c));
    EXPECT_EQ(t.faces[1], second.find_tria(a, b, d));
    EXPECT_EQ(t.faces[2], second.find_tria(a, c, d));
    EXPECT_EQ(t.faces[3], second.find_tria(b, c, d));
    for (int k = 0; k < 6; ++k)
      EXPECT_EQ(t.edges[k], second.find_edge(t.v[kTetraEdgeEnds[k][0]]->index,
                                             t.v[kTetraEdgeEnds[k][1]]->index));
  }
  for (const tria& f : second.trias)
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(f.e[k],
                second.find_edge(f.v[kTriaEdgeEnds[k][0]]->index, f.v[kTriaEdgeEnds[k][1]]->index));

  // On the same balls the second also took the first's centres and judges
  // (and let them go); they are what its own would have been, bit for bit.
  // Grown balls (alpha 1) differ: nothing is taken.
  EXPECT_TRUE(list.judged.balls.empty());
  auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
  for (double alpha : {0.0, 1.0}) {
    SimplexList fresh_list = expanded_simplex_list(beads, 1.4);
    ComplexRecords fresh;
    build_complex(beads, fresh_list, 1.4, 0.0, ComplexUse::kPockets, fresh);
    SimplexList shared = expanded_simplex_list(beads, 1.4);
    shared.keep_links = true;
    ComplexRecords q, p;
    build_complex(beads, shared, 1.4, alpha, ComplexUse::kMeasures, q);
    ASSERT_EQ(shared.judged.balls.size(), 4 * beads.size());
    build_complex(beads, shared, 1.4, 0.0, ComplexUse::kPockets, p);
    auto check = [&](const auto& a, const auto& b) {
      for (int k = 0; k < 3; ++k) EXPECT_TRUE(same(a.center[k], b.center[k]));
      EXPECT_TRUE(same(a.signed_size, b.signed_size));
      EXPECT_EQ(a.in_complex, b.in_complex);
    };
    for (std::size_t n = 0; n < fresh.tetras.size(); ++n) {
      check(p.tetras[n], fresh.tetras[n]);
      EXPECT_EQ(ids(p.tetras[n].attached_faces), ids(fresh.tetras[n].attached_faces));
      EXPECT_EQ(ids(p.tetras[n].attached_edges), ids(fresh.tetras[n].attached_edges));
    }
    for (std::size_t n = 0; n < fresh.trias.size(); ++n) {
      check(p.trias[n], fresh.trias[n]);
      EXPECT_TRUE(same(p.trias[n].own_size, fresh.trias[n].own_size));
      EXPECT_EQ(p.trias[n].attached, fresh.trias[n].attached);
      EXPECT_EQ(ids(p.trias[n].attached_edges), ids(fresh.trias[n].attached_edges));
    }
    for (std::size_t n = 0; n < fresh.edges.size(); ++n) {
      check(p.edges[n], fresh.edges[n]);
      EXPECT_EQ(p.edges[n].attached, fresh.edges[n].attached);
    }
  }

  // Both builds tell how the faces and edges sit in their records, as the
  // records themselves do.
  for (const ComplexRecords* rec : {&first, &second}) {
    ASSERT_EQ(rec->tetra_order.size(), rec->tetras.size());
    ASSERT_EQ(rec->tria_order.size(), rec->trias.size());
    for (std::size_t n = 0; n < rec->tetras.size(); ++n) {
      const tetra& t = rec->tetras[n];
      const std::uint32_t order = rec->tetra_order[n];
      for (int f = 0; f < 4; ++f)
        for (int m = 0; m < 3; ++m)
          EXPECT_EQ(t.v[face_vertex_place(order, f, m)], t.faces[f]->v[m]);
      for (int k = 0; k < 6; ++k)
        EXPECT_EQ(t.edges[k]->v[0], t.v[kTetraEdgeEnds[k][edge_runs_forward(order, k) ? 0 : 1]]);
    }
    for (std::size_t n = 0; n < rec->trias.size(); ++n) {
      const tria& f = rec->trias[n];
      for (int k = 0; k < 3; ++k)
        EXPECT_EQ(f.e[k]->v[0],
                  f.v[kTriaEdgeEnds[k][edge_runs_forward(rec->tria_order[n], k) ? 0 : 1]]);
    }
  }
}

// An obtuse triangle: the vertex opposite the long edge lies inside that
// edge's smallest orthogonal sphere, so the edge is attached and raised to
// the triangle's own size.
TEST(Classification, TriangleAttachesItsLongEdge) {
  std::vector<info> atoms = {atom(0, 0, 0, 0, 1.0), atom(1, 4, 0, 0, 1.0), atom(2, 2, 0.5, 0, 1.0)};
  const double p = 0.5;
  edge e01, e02, e12;
  e01.v[0] = &atoms[0];
  e01.v[1] = &atoms[1];
  e02.v[0] = &atoms[0];
  e02.v[1] = &atoms[2];
  e12.v[0] = &atoms[1];
  e12.v[1] = &atoms[2];
  for (edge* e : {&e01, &e02, &e12}) e->setcenter2(p);
  tria f;
  f.v[0] = &atoms[0];
  f.v[1] = &atoms[1];
  f.v[2] = &atoms[2];
  f.e[0] = &e01;
  f.e[1] = &e02;
  f.e[2] = &e12;
  f.setcenter3(p);
  f.judge3(p);
  ASSERT_EQ(f.attached_edges.size(), 1u);
  EXPECT_EQ(f.attached_edges[0], &e01);
  EXPECT_TRUE(e01.attached);
  EXPECT_FALSE(e02.attached || e12.attached);
  EXPECT_DOUBLE_EQ(e01.signed_size, f.own_size);
  // The circumcircle of the three points has radius 4.25 (power 4.25^2 - 1.5^2).
  EXPECT_NEAR(f.own_size, std::sqrt(4.25 * 4.25 - 1.5 * 1.5), 1e-9);
  // The edge's own size is smaller and cannot lower what was raised.
  e01.judge2(p);
  EXPECT_DOUBLE_EQ(e01.signed_size, f.own_size);
  EXPECT_NEAR(f.solidangletriangle(), 1.0, 0);
}

// Power of X with respect to the expanded ball of a.
double power_at(const info& a, const double* X, double p) {
  double dx = X[0] - a.x, dy = X[1] - a.y, dz = X[2] - a.z, R = a.radius + p;
  return dx * dx + dy * dy + dz * dz - R * R;
}

// The attachment test compares the powers of the simplex's own first vertex
// on the edge (face) and of the opposite vertex at the edge's (face's)
// centre.  When the opposite ball passes through that centre's orthosphere
// the two vertices of the edge give different answers by rounding, so the
// vertex order of the edge record (here reversed) must not be used.
TEST(Classification, AttachmentReadsTheSimplexVertexOrder) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> u(-2, 2), r(1.2, 2.0);
  const double p = 1.4;
  int differ = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    std::vector<info> a;
    for (int k = 0; k < 3; ++k) a.push_back(atom(k, u(gen), u(gen), u(gen), r(gen)));
    edge e01, e02, e12;
    e01.v[0] = &a[0], e01.v[1] = &a[1];
    e02.v[0] = &a[0], e02.v[1] = &a[2];
    e12.v[0] = &a[2], e12.v[1] = &a[1];  // reversed against the triangle
    for (edge* e : {&e01, &e02, &e12}) e->setcenter2(p);
    // Put atom 0 on the orthosphere of edge (1, 2).
    double dx = e12.center[0] - a[0].x, dy = e12.center[1] - a[0].y, dz = e12.center[2] - a[0].z;
    double R2 = dx * dx + dy * dy + dz * dz - power_at(a[1], e12.center, p);
    if (R2 <= p * p) continue;
    a[0].radius = std::sqrt(R2) - p;
    for (edge* e : {&e01, &e02}) e->setcenter2(p);
    tria f;
    for (int k = 0; k < 3; ++k) f.v[k] = &a[k];
    f.e[0] = &e01, f.e[1] = &e02, f.e[2] = &e12;
    f.setcenter3(p);
    f.judge3(p);
    const bool by_first = power_at(a[1], e12.center, p) - power_at(a[0], e12.center, p) > 0;
    const bool by_record = power_at(a[2], e12.center, p) - power_at(a[0], e12.center, p) > 0;
    if (by_first != by_record) ++differ;
    EXPECT_EQ(e12.attached, by_first) << trial;
  }
  EXPECT_GT(differ, 20);
}

// Records of a lone tetrahedron, built like the builders do.
struct Tetrahedron {
  std::vector<info> atoms;
  ComplexRecords rec;
  explicit Tetrahedron(const std::vector<info>& a, double p) {
    rec.atoms = a;
    rec.tetras.assign(1, tetra());
    rec.trias.assign(4, tria());
    rec.edges.assign(6, edge());
    tetra& t = rec.tetras[0];
    t.id = 1;
    for (int k = 0; k < 4; ++k) t.v[k] = &rec.atoms[k];
    const int faces[4][3] = {{0, 1, 2}, {0, 1, 3}, {0, 2, 3}, {1, 2, 3}};
    for (int k = 0; k < 4; ++k) {
      tria& f = rec.trias[k];
      f.id = k + 1;
      for (int m = 0; m < 3; ++m) f.v[m] = &rec.atoms[faces[k][m]];
      f.setcenter3(p);
    }
    const int ends[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
    for (int k = 0; k < 6; ++k) {
      edge& e = rec.edges[k];
      e.id = k + 1;
      e.v[0] = &rec.atoms[ends[k][0]];
      e.v[1] = &rec.atoms[ends[k][1]];
      e.setcenter2(p);
    }
    t.setcenter4(p);
    link_records(rec);
  }
};

TEST(Classification, TetrahedronAttachment) {
  const double p = 0.0;
  // A flat-ish tetrahedron whose apex sits just above the centroid of the
  // base: the base face is attached, the others are not.
  Tetrahedron flat(
      {atom(0, 0, 0, 0, 1), atom(1, 6, 0, 0, 1), atom(2, 3, 5, 0, 1), atom(3, 3, 1.7, 0.3, 1)}, p);
  tetra& t = flat.rec.tetras[0];
  t.judge4(p);
  ASSERT_EQ(t.attached_faces.size(), 1u);
  EXPECT_EQ(t.attached_faces[0], &flat.rec.trias[0]);
  EXPECT_GE(flat.rec.trias[0].signed_size, t.signed_size);
  EXPECT_TRUE(t.attached_edges.empty());

  // Random tetrahedra: an attached face has its opposite vertex inside its
  // orthosphere and takes the tetrahedron's size; with two attached faces
  // the shared edge is raised too, with three the three edges at the
  // shared vertex.
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(-3, 3), r(0.5, 2.0);
  int seen[5] = {0, 0, 0, 0, 0};
  for (int trial = 0; trial < 4000; ++trial) {
    std::vector<info> a;
    for (int k = 0; k < 4; ++k) a.push_back(atom(k, u(gen), u(gen), u(gen) * 0.3, r(gen)));
    Tetrahedron q(a, 0.3);
    tetra& T = q.rec.tetras[0];
    T.judge4(0.3);
    const int n = static_cast<int>(T.attached_faces.size());
    ++seen[n];
    for (tria* f : T.attached_faces)
      EXPECT_DOUBLE_EQ(f->signed_size, std::max(T.signed_size, -10.0));
    if (n == 2) {
      ASSERT_EQ(T.attached_edges.size(), 1u);
      edge* e = T.attached_edges[0];
      int shared = 0;
      for (int m = 0; m < 2; ++m)
        for (tria* f : T.attached_faces)
          for (info* v : f->v)
            if (v == e->v[m]) ++shared;
      EXPECT_EQ(shared, 4);
    } else if (n == 3) {
      // Each two faces share an edge at their common vertex: all three
      // edges there take the tetrahedron's size.
      ASSERT_EQ(T.attached_edges.size(), 3u);
      for (edge* e : T.attached_edges) {
        int faces = 0;
        for (tria* f : T.attached_faces) {
          int on = 0;
          for (info* v : f->v) on += v == e->v[0] || v == e->v[1];
          faces += on == 2;
        }
        EXPECT_EQ(faces, 2);
        EXPECT_DOUBLE_EQ(e->signed_size, std::max(T.signed_size, -10.0));
      }
    } else {
      EXPECT_TRUE(T.attached_edges.empty());
    }
  }
  EXPECT_GT(seen[1], 0);
  EXPECT_GT(seen[2], 0);
  EXPECT_GT(seen[3], 0);
}

// Coplanar and collinear centres have no power centre: such a simplex is
// outside the complex instead of carrying a NaN size.
TEST(Classification, DegenerateSimplicesStayOutside) {
  Tetrahedron flat(
      {atom(0, 0, 0, 0, 1.5), atom(1, 2, 0, 0, 1.5), atom(2, 0, 2, 0, 1.5), atom(3, 2, 2, 0, 1.5)},
      1.4);
  tetra& t = flat.rec.tetras[0];
  t.judge4(1.4);
  EXPECT_TRUE(std::isinf(t.signed_size) && t.signed_size > 0);
  EXPECT_FALSE(t.signed_size <= 0.0);

  std::vector<info> line = {atom(0, 0, 0, 0, 1.5), atom(1, 1, 1, 1, 1.5), atom(2, 2, 2, 2, 1.5)};
  tria f;
  for (int k = 0; k < 3; ++k) f.v[k] = &line[k];
  edge e[3];
  const int ends[3][2] = {{0, 1}, {0, 2}, {1, 2}};
  for (int k = 0; k < 3; ++k) {
    e[k].v[0] = &line[ends[k][0]];
    e[k].v[1] = &line[ends[k][1]];
    e[k].setcenter2(1.4);
    f.e[k] = &e[k];
  }
  f.setcenter3(1.4);
  f.judge3(1.4);
  EXPECT_FALSE(f.signed_size <= 0.0);
  EXPECT_FALSE(std::isnan(f.signed_size));

  // A vertex that takes no part in the union keeps every simplex it is in
  // out of the complex.
  std::vector<info> pair = {atom(0, 0, 0, 0, 1.5), atom(1, 1, 0, 0, 1.5)};
  pair[1].absent = true;
  edge g;
  g.v[0] = &pair[0];
  g.v[1] = &pair[1];
  g.setcenter2(1.4);
  g.judge2(1.4);
  EXPECT_FALSE(g.signed_size <= 0.0);

  // Centres on grids, which the complex reports as flat tetrahedra side by
  // side, some with faces on the hull: the area walk and the pocket steps
  // attach the same faces to each (the side a lifted vertex would attach).
  const std::vector<std::vector<double>> grids[2] = {{{2.7, 1.8, 0, 1.88},
                                                      {2.7, 2.7, 0, 1.42},
                                                      {0.9, 2.7, 0, 1.88},
                                                      {0, 1.8, 0, 1.88},
                                                      {1.8, 0.9, 0, 1.88},
                                                      {0.9, 0, 0, 1.88},
                                                      {0.9, 2.7, -0.9, 1.64},
                                                      {0, 1.8, -0.9, 1.61},
                                                      {0, 3.6, 1.8, 1.88}},
                                                     {{2.2, 1.1, 0, 1.88},
                                                      {3.3, 3.3, 0, 1.88},
                                                      {0, 1.1, 0, 1.88},
                                                      {0, 3.3, 0, 1.88},
                                                      {1.1, 1.1, 0, 1.88},
                                                      {4.4, 4.4, -1.1, 1.88},
                                                      {3.3, 3.3, -2.2, 1.64},
                                                      {0, -1.1, -1.1, 1.64},
                                                      {0, 3.3, 1.1, 1.88}}};
  int flat_faces = 0;
  for (const auto& grid : grids) {
    std::vector<Bead> beads(grid.size());
    for (size_t k = 0; k < grid.size(); ++k) {
      beads[k].x = grid[k][0];
      beads[k].y = grid[k][1];
      beads[k].z = grid[k][2];
      beads[k].radius = grid[k][3];
    }
    SimplexList list = expanded_simplex_list(beads, 2.8);
    ComplexRecords area, pockets;
    build_complex(beads, list, 2.8, 0.0, ComplexUse::kMeasures, area);
    build_complex(beads, list, 2.8, 0.0, ComplexUse::kPockets, pockets);
    ASSERT_EQ(area.tetras.size(), pockets.tetras.size());
    for (size_t k = 0; k < area.tetras.size(); ++k) {
      if (!list.flat[k]) continue;
      for (int f = 0; f < 4; ++f) {
        EXPECT_EQ(area.tetras[k].faces[f]->attached, pockets.tetras[k].faces[f]->attached) << k;
        ++flat_faces;
      }
    }
  }
  EXPECT_GT(flat_faces, 8);
}

// Empty tetrahedra joined through triangles outside the complex form one
// void; a component that reaches a convex-hull triangle is outside (0)
// whatever the order of the triangles, otherwise it takes its smallest
// number.
TEST(Voids, ComponentsReachingTheHullAreOutside) {
  std::vector<tetra> tets(5);
  for (int k = 0; k < 5; ++k) {
    tets[k].id = k + 1;
    tets[k].void_id = k + 1;
  }
  tets[4].in_complex = true;
  tets[4].void_id = -1;
  // Triangles: 1|2, 2|3 shared, a hull triangle on 3, 4 alone, 4|5 with 5
  // in the complex.
  auto tri = [&](std::vector<int> cof) {
    tria f;
    for (int c : cof) f.cofaces.push_back(&tets[c]);
    return f;
  };
  std::vector<tria> order1 = {tri({0, 1}), tri({1, 2}), tri({2})};
  std::vector<tria> order2 = {tri({2}), tri({1, 2}), tri({0, 1})};
  for (auto* order : {&order1, &order2}) {
    for (int k = 0; k < 4; ++k) tets[k].void_id = k + 1;
    VoidComponents voids(tets);
    for (tria& f : *order) f.voidsrepresentation(voids);
    tria lone = tri({3, 4});
    lone.voidsrepresentation(voids);  // only tetrahedron 4 is empty: outside
    voids.assign();
    EXPECT_EQ(tets[0].void_id, 0);
    EXPECT_EQ(tets[1].void_id, 0);
    EXPECT_EQ(tets[2].void_id, 0);
    EXPECT_EQ(tets[3].void_id, 0);
    EXPECT_EQ(tets[4].void_id, -1);
  }
  // Without the hull triangle the three form a void numbered 1, and an
  // isolated empty tetrahedron keeps its own number.
  for (int k = 0; k < 4; ++k) tets[k].void_id = k + 1;
  VoidComponents voids(tets);
  tria a = tri({1, 2}), b = tri({0, 1});
  a.voidsrepresentation(voids);
  b.voidsrepresentation(voids);
  voids.assign();
  EXPECT_EQ(tets[0].void_id, 1);
  EXPECT_EQ(tets[1].void_id, 1);
  EXPECT_EQ(tets[2].void_id, 1);
  EXPECT_EQ(tets[3].void_id, 4);
}

// The flow walks run on an explicit stack: a long chain of
// tetrahedra is walked without exhausting the call stack.
TEST(Flow, LongChainsDoNotRecurse) {
  const int n = 300000;
  std::vector<tetra> tets(n);
  for (int k = 0; k < n; ++k) {
    tets[k].id = k + 1;
    if (k + 1 < n) tets[k].inflow.push_back(&tets[k + 1]);
  }
  tets[n / 2].in_complex = true;
  tets[0].dfs_visit();
  EXPECT_TRUE(tets[n - 1].flows_to_outside);
  EXPECT_EQ(tets[n - 1].flow_colour, 2);
  EXPECT_EQ(tets[0].flow_colour, 2);

  tets[0].pockets_dfs_visit(7);
  EXPECT_EQ(tets[1].component_id, 7);
  EXPECT_TRUE(tets[1].visited);
  EXPECT_FALSE(tets[1].flows_to_outside);
  EXPECT_EQ(tets[n / 2 - 1].pocket_id, 7);
  EXPECT_EQ(tets[n / 2].pocket_colour, 0);  // in the complex: stops the flood
  EXPECT_EQ(tets[n / 2 + 1].pocket_colour, 0);

  tets[0].depressions_dfs_visit(3);
  EXPECT_EQ(tets[n / 2 - 1].depression_id, 3);
  EXPECT_EQ(tets[n / 2 - 1].depression_component, 3);
}

// Two tetrahedra across one face: the flow runs from the one whose power
// centre lies beyond the shared face; both sides are examined, each
// neighbour is listed once.
TEST(Flow, InflowFromThePowerCentres) {
  std::vector<info> a = {atom(0, 0, 0, 0, 1), atom(1, 4, 0, 0, 1), atom(2, 2, 3, 0, 1),
                         atom(3, 2, 1, 0.4, 1), atom(4, 2, 1, -3, 1)};
  std::vector<tetra> tets(2);
  int vs[2][4] = {{0, 1, 2, 3}, {0, 1, 2, 4}};
  for (int k = 0; k < 2; ++k) {
    tets[k].id = k + 1;
    for (int m = 0; m < 4; ++m) tets[k].v[m] = &a[vs[k][m]];
    tets[k].setcenter4(0);
  }
  tets[0].neighbours.push_back(&tets[1]);
  tets[1].neighbours.push_back(&tets[0]);
  // The flat first tetrahedron has its centre below the base plane, on the
  // second one's side.
  ASSERT_LT(tets[0].center[2], 0);
  EXPECT_TRUE(descendant(&tets[0], &tets[1], 0));
  EXPECT_FALSE(descendant(&tets[1], &tets[0], 0));
  tets[0].flows_to_outside = false;
  tets[1].flows_to_outside = true;
  ancoutsidejudge(tets, 0);
  EXPECT_EQ(tets[1].inflow.size(), 1u);
  EXPECT_TRUE(tets[0].inflow.empty());
  EXPECT_TRUE(tets[0].flows_to_outside);
}

TEST(Flow, HullTriangleFlowsOut) {
  std::vector<info> a = {atom(0, 0, 0, 0, 1), atom(1, 4, 0, 0, 1), atom(2, 2, 3, 0, 1),
                         atom(3, 2, 1, 0.4, 1)};
  tetra t;
  for (int m = 0; m < 4; ++m) t.v[m] = &a[m];
  t.setcenter4(0);
  tria f;
  for (int m = 0; m < 3; ++m) f.v[m] = &a[m];
  f.cofaces.push_back(&t);
  f.ancesterofoutside(0);
  EXPECT_TRUE(t.flows_to_outside);
  EXPECT_FALSE(f.acutejudge(0));
}

}  // namespace
