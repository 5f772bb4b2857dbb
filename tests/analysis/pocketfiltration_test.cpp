// Pocket filtrations: enclosed clusters, sub-pocket boundaries, and the
// state a real structure's pockets leave behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "analysis/filtration.h"
#include "analysis/pocketfiltration.h"
#include "analysis/signs.h"
#include "analysis_fixtures.h"

namespace {

// A complex tetrahedron (0 1 2 3) with an empty tetrahedron on each face.
struct Star {
  HandComplex h{8, {{0, 1, 2, 3}, {0, 1, 2, 4}, {0, 1, 3, 5}, {0, 2, 3, 6}, {1, 2, 3, 7}}};
  FilterList list;
  std::vector<pocket> pockets;

  // The outer tetrahedra in `outer` make pocket 1; the others belong to none.
  explicit Star(std::vector<int> outer) {
    h.tetras[0].in_complex = true;
    double size = 1.0;
    for (tetra& t : h.tetras) t.signed_size = size += 1.0;
    for (tria& f : h.trias) f.signed_size = 0.5;
    for (edge& e : h.edges) e.signed_size = 0.0;
    for (info& a : h.atoms) a.signed_size = -1.0;
    for (size_t i = 0; i < h.tetras.size(); ++i) h.tetras[i].position = static_cast<int>(i) + 1;
    for (size_t i = 0; i < h.trias.size(); ++i) h.trias[i].position = 100 + static_cast<int>(i);
    for (size_t i = 0; i < h.edges.size(); ++i) h.edges[i].position = 200 + static_cast<int>(i);
    list = build_filter_list(h.atoms, h.tetras, h.trias, h.edges);
    pockets.resize(1);
    pockets[0].number = 1;
    for (int k : outer) {
      pockets[0].tetrahedra.push_back(&h.tetras[k]);
      h.tetras[k].pocket_number = 1;
    }
  }

  const filter* filter_of(const tetra& t) const { return list.filters[t.filter_number - 1]; }
};

bool holds(const std::vector<filter*>& W, const filter* f) {
  return std::find(W.begin(), W.end(), f) != W.end();
}

TEST(Clusters, EnclosedTetrahedronEntersTheFiltrationUnlessOpen) {
  Star s({1, 2, 3, 4});
  pocket_filter_build_up(s.h.tetras, s.pockets, s.list.filters);
  // 8 vertices, 18 edges, 16 triangles, 5 tetrahedra.
  EXPECT_EQ(s.pockets[0].filters.size(), 8u + 18u + 16u + 5u);
  EXPECT_TRUE(holds(s.pockets[0].filters, s.filter_of(s.h.tetras[0])));
  EXPECT_EQ(s.pockets[0].stamp, 100);
  for (const filter* f : s.pockets[0].filters) EXPECT_FALSE(f->enclosed);
  for (const tetra& t : s.h.tetras)
    EXPECT_TRUE(!t.clustered && t.stamp == -1 && t.boundary.empty());
  for (const info& a : s.h.atoms) EXPECT_TRUE(!a.marks[MARK_CURRENT_POCKET] && a.stamp == -1);

  // The fourth outer tetrahedron belongs to no pocket: the face the core
  // shares with it is an opening, and the core stays out.
  Star open({1, 2, 3});
  pocket_filter_build_up(open.h.tetras, open.pockets, open.list.filters);
  EXPECT_FALSE(holds(open.pockets[0].filters, open.filter_of(open.h.tetras[0])));
  EXPECT_FALSE(open.h.tetras[0].clustered);
  for (int k : {1, 2, 3}) {
    for (info* v : open.h.tetras[k].v) v->marks[MARK_CURRENT_POCKET] = true;
  }
  std::vector<tetra_cluster> clusters = find_tetra_clusters(open.h.tetras, 1);
  ASSERT_EQ(clusters.size(), 1u);
  EXPECT_FALSE(clusters[0].enclosed);
  ASSERT_EQ(clusters[0].mouths.size(), 1u);
  EXPECT_EQ(clusters[0].mouths[0]->triangles, (std::vector<tria*>{open.h.face(1, 2, 3)}));
  release_clusters(clusters);
}

TEST(Clusters, LaterTetrahedronJoinsEarlierClusters) {
  // A and B share only an edge; X shares a face with each.
  HandComplex h(6, {{0, 1, 2, 3}, {2, 3, 4, 5}, {1, 2, 3, 4}});
  for (tetra& t : h.tetras) t.in_complex = true;
  for (info& a : h.atoms) a.marks[MARK_CURRENT_POCKET] = true;
  std::vector<tetra_cluster> clusters = find_tetra_clusters(h.tetras, 1);
  ASSERT_EQ(clusters.size(), 1u);
  EXPECT_EQ(clusters[0].tetrahedra,
            (std::vector<tetra*>{&h.tetras[0], &h.tetras[1], &h.tetras[2]}));
  // Every face on the hull is an opening; they all hang together by edges.
  EXPECT_EQ(clusters[0].mouths.size(), 1u);
  EXPECT_EQ(clusters[0].mouths[0]->triangles.size(), 8u);
  for (const tetra& t : h.tetras) EXPECT_TRUE(t.clustered);
  release_clusters(clusters);

  // Without X the two stay apart; a buried mark alone also qualifies.
  HandComplex apart(6, {{0, 1, 2, 3}, {2, 3, 4, 5}});
  for (tetra& t : apart.tetras) t.in_complex = true;
  apart.tetras[1].buried = true;
  for (int i = 0; i < 4; ++i) apart.atoms[i].marks[MARK_CURRENT_POCKET] = true;
  clusters = find_tetra_clusters(apart.tetras, 1);
  ASSERT_EQ(clusters.size(), 2u);
  EXPECT_EQ(clusters[1].tetrahedra, (std::vector<tetra*>{&apart.tetras[1]}));
  release_clusters(clusters);
}

// Two sub-pockets of two tetrahedra each: {0, 1} and {2, 3}, knots at the
// faces between 1 and 2 (the top) and between 0 and 3.
struct TwoSubpockets {
  HandComplex h{7, {{0, 1, 2, 3}, {1, 2, 3, 4}, {2, 3, 4, 5}, {3, 4, 5, 6}}};
  pocket p;
  std::vector<filter> filters;
  std::vector<filter*> W;

  TwoSubpockets() {
    filters.resize(h.tetras.size() + h.trias.size());
    for (size_t i = 0; i < h.tetras.size(); ++i) {
      tetra& t = h.tetras[i];
      filters[i].dimension = 3;
      filters[i].tetra_ref = &t;
      filters[i].alpha = 1.0 + static_cast<double>(i);
      t.signed_size = filters[i].alpha;
    }
    for (size_t i = 0; i < h.trias.size(); ++i) {
      filter& f = filters[h.tetras.size() + i];
      f.dimension = 2;
      f.tria_ref = &h.trias[i];
      f.alpha = 0.1 * static_cast<double>(i);
      h.trias[i].signed_size = f.alpha;
    }
    for (filter& f : filters) W.push_back(&f);
    for (size_t i = 0; i < W.size(); ++i) {
      W[i]->position = static_cast<int>(i) + 1;
      if (W[i]->dimension == 3) W[i]->tetra_ref->position = static_cast<int>(i) + 1;
      if (W[i]->dimension == 2) W[i]->tria_ref->position = static_cast<int>(i) + 1;
    }
    // Each tetrahedron is paired with its first face.
    for (size_t i = 0; i < h.tetras.size(); ++i) {
      filter* first_face = W[h.tetras[i].faces[0]->position - 1];
      filters[i].partner = first_face->position;
      first_face->partner = filters[i].position;
    }
    auto a = std::make_shared<subpocket>();
    auto b = std::make_shared<subpocket>();
    a->id = 1;
    b->id = 2;
    a->tetrahedra = {&h.tetras[0], &h.tetras[1]};
    b->tetrahedra = {&h.tetras[2], &h.tetras[3]};
    knot(*a, 2, h.face(2, 3, 4));
    knot(*b, 1, h.face(2, 3, 4));
    p.subpockets = {a, b};
  }

  static void knot(subpocket& s, int partner, tria* t) {
    auto k = std::make_shared<mouth>();
    k->id = partner;
    k->triangles = {t};
    s.knot_tops.push_back(k);
  }
};

TEST(SubpocketBoundary, FiltersBeginEndAndBoundaryTriangles) {
  TwoSubpockets t;
  sub_pocket_boundary(t.p, t.W);
  const subpocket& a = *t.p.subpockets[0];
  const subpocket& b = *t.p.subpockets[1];
  // Seven distinct faces per pair of tetrahedra; the face 2 3 4 (shared by
  // tetrahedra 1 and 2) in both lists.
  EXPECT_EQ(a.filters.size(), 7u);
  EXPECT_EQ(b.filters.size(), 7u);
  const filter* shared = t.W[t.h.face(2, 3, 4)->position - 1];
  EXPECT_TRUE(holds(a.filters, shared) && holds(b.filters, shared));
  for (const filter* f : a.filters) EXPECT_EQ(f->dimension, 2);
  // begin: the smallest alpha of the faces paired with its tetrahedra.
  EXPECT_DOUBLE_EQ(a.begin, std::min(t.W[t.h.tetras[0].faces[0]->position - 1]->alpha,
                                     t.W[t.h.tetras[1].faces[0]->position - 1]->alpha));
  EXPECT_DOUBLE_EQ(a.end, 2.0);
  EXPECT_DOUBLE_EQ(b.end, 4.0);
  EXPECT_EQ(t.p.boundary_triangles, (std::vector<tria*>{t.h.face(2, 3, 4)}));
  EXPECT_EQ(a.alphas, (std::vector<double>{t.h.face(2, 3, 4)->signed_size}));
  EXPECT_EQ(b.alphas, a.alphas);

  // A second call adds only the knot values again.
  sub_pocket_boundary(t.p, t.W);
  EXPECT_EQ(a.filters.size(), 7u);
  EXPECT_EQ(t.p.boundary_triangles.size(), 1u);
  EXPECT_EQ(a.alphas.size(), 2u);

  // Tetrahedron 0 unpaired, tetrahedron 1 at a place that is not its own:
  // both are passed over.
  TwoSubpockets u;
  u.filters[0].partner = 0;
  u.h.tetras[1].position = u.h.tetras[2].position;
  sub_pocket_boundary(u.p, u.W);
  EXPECT_DOUBLE_EQ(u.p.subpockets[0]->begin, 10.0);
  EXPECT_DOUBLE_EQ(u.p.subpockets[0]->end, 1.0);
}

// A real structure: every pocket gets a sorted filtration and its
// sub-pockets their boundaries; nothing stays stamped or flagged.
TEST(PocketFiltration, RealStructureLeavesConsistentState) {
  PipelineRecords r(bundled_beads("1ubq.pdb"));
  ASSERT_GT(r.pockets.size(), 3u);
  FilterList list = build_filter_list(r.c.atoms, r.c.tetras, r.c.trias, r.c.edges);
  pocket_filter_build_up(r.c.tetras, r.pockets, list.filters);

  size_t with_boundary = 0;
  for (size_t k = 0; k < r.pockets.size(); ++k) {
    const pocket& p = r.pockets[k];
    EXPECT_EQ(p.stamp, 100 * static_cast<int>(k + 1));
    const std::vector<filter*>& W = p.filters;
    std::set<const tetra*> own;
    for (const filter* f : W) {
      if (f->dimension == 3) own.insert(f->tetra_ref);
    }
    for (const tetra* t : p.tetrahedra) EXPECT_TRUE(own.count(t));
    for (size_t i = 1; i < W.size(); ++i) {
      EXPECT_TRUE(W[i - 1]->alpha < W[i]->alpha ||
                  (W[i - 1]->alpha == W[i]->alpha && W[i - 1]->dimension <= W[i]->dimension));
    }
    EXPECT_EQ(std::set<const filter*>(W.begin(), W.end()).size(), W.size());

    std::set<const tria*> tops;
    for (const auto& s : p.subpockets) {
      std::set<const tria*> faces;
      double end = -10.0;
      for (const tetra* t : s->tetrahedra) {
        faces.insert(t->faces, t->faces + 4);
        end = std::max(end, t->signed_size);
      }
      std::set<const tria*> listed;
      for (const filter* f : s->filters) {
        ASSERT_EQ(f->dimension, 2);
        listed.insert(f->tria_ref);
      }
      EXPECT_EQ(listed, faces);
      EXPECT_EQ(s->filters.size(), faces.size());
      EXPECT_DOUBLE_EQ(s->end, end);
      EXPECT_LE(s->begin, 10.0);
      EXPECT_EQ(s->alphas.size(), s->knot_tops.size());
      for (const auto& k : s->knot_tops) tops.insert(k->triangles[0]);
    }
    EXPECT_EQ(std::set<const tria*>(p.boundary_triangles.begin(), p.boundary_triangles.end()),
              tops);
    EXPECT_EQ(p.boundary_triangles.size(), tops.size());
    for (size_t i = 1; i < p.boundary_triangles.size(); ++i) {
      EXPECT_LE(p.boundary_triangles[i - 1]->signed_size, p.boundary_triangles[i]->signed_size);
    }
    if (!tops.empty()) ++with_boundary;
  }
  EXPECT_GT(with_boundary, 0u);

  for (const tetra& t : r.c.tetras) {
    EXPECT_EQ(t.stamp, -1);
    EXPECT_FALSE(t.clustered);
    EXPECT_TRUE(t.boundary.empty());
  }
  for (const tria& f : r.c.trias) {
    EXPECT_EQ(f.stamp, -1);
    EXPECT_TRUE(f.boundary.empty() && f.chain.empty());
  }
  for (const info& a : r.c.atoms) {
    EXPECT_FALSE(a.marks[MARK_CURRENT_POCKET]);
    EXPECT_TRUE(a.chain.empty());
  }
  for (const filter* f : list.filters) EXPECT_FALSE(f->enclosed);
}

}  // namespace
