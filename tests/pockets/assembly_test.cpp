// Pocket assembly on hand-made tetrahedron graphs (only flags and lists are
// read), and against a plain transcription of the assembly rules on random
// graphs: the indexed merges must give the same pockets, orders and knots.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "pockets/assembly.h"
#include "pockets/pipeline.h"
#include "structure/bead.h"
#include "structure/file.h"
#include "support/hand_complex.h"

namespace {

std::vector<int> ids(const std::vector<tetra*>& v) {
  std::vector<int> out;
  for (const tetra* t : v) out.push_back(t->id);
  return out;
}

std::vector<int> ids(const std::vector<tria*>& v) {
  std::vector<int> out;
  for (const tria* t : v) out.push_back(t->id);
  return out;
}

// ---- the rules, transcribed literally with linear searches ----------------

struct RefRecord {
  int id;
  std::vector<tetra*> tets;
  std::vector<tria*> inner;
  double max_alpha = -10000.0;
};

struct RefKnot {
  int id;
  std::vector<tria*> triangles;
};

struct RefSub {
  int id;
  std::vector<tetra*> tets;
  double max_alpha;
  std::vector<RefKnot> knots, tops;
  std::vector<int> partners;
};

struct RefPocket {
  int id;
  std::vector<tetra*> tets;
  std::vector<tria*> inner;
  std::vector<RefSub> subs;
};

template <class List, class T>
bool in(const List& v, const T& x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

int last_holding(const std::vector<RefRecord>& list, tetra* t) {
  int last = -1;
  for (size_t i = 0; i < list.size(); ++i) {
    if (in(list[i].tets, t)) last = static_cast<int>(i);
  }
  return last;
}

std::vector<RefPocket> reference_assembly(std::vector<tetra>& tetras) {
  int c = 1;
  for (tetra& t : tetras) {
    if (!t.in_complex && !t.flows_to_outside) {
      t.component_id = c;
      t.visited = true;
      t.pockets_dfs_visit(c);
      ++c;
    }
  }
  std::vector<RefRecord> out, comps;
  int q = 0;
  for (tetra& t : tetras) {
    if (t.in_complex || !t.visited) continue;
    ++q;
    t.pocket_number_of = q;
    out.push_back({q, {&t}, {}});
    comps.push_back({q, {&t}, {}});
    for (size_t k = 0; k < t.neighbours.size(); ++k) {
      tetra* n = t.neighbours[k];
      tria* f = t.shared_trias[k];
      const bool flow = in(n->inflow, &t) || in(t.inflow, n);
      if (!n->visited || !(flow || !f->in_complex)) continue;
      const int pt = last_holding(out, &t);
      const int pn = last_holding(out, n);
      if (!flow && !f->in_complex) {
        for (RefRecord& p : out) {
          if (in(p.tets, &t)) p.inner.push_back(f);
        }
      }
      if (pn < 0) {
        n->pocket_number_of = out[pt].id;
        out[pt].tets.push_back(n);
      } else if (out[pn].id != out[pt].id) {
        for (tetra* x : out[pn].tets) {
          if (!in(out[pt].tets, x)) {
            x->pocket_number_of = out[pt].id;
            out[pt].tets.push_back(x);
          }
        }
        for (tria* u : out[pn].inner) {
          if (!in(out[pt].inner, u)) out[pt].inner.push_back(u);
        }
        out.erase(out.begin() + pn);
      }
      if (flow) {
        const int ct = last_holding(comps, &t);
        const int cn = last_holding(comps, n);
        if (cn < 0) {
          comps[ct].tets.push_back(n);
        } else if (comps[cn].id != comps[ct].id) {
          for (tetra* x : comps[cn].tets) {
            if (!in(comps[ct].tets, x)) comps[ct].tets.push_back(x);
          }
          comps.erase(comps.begin() + cn);
        }
      }
    }
  }
  for (RefRecord& k : comps) {
    double m = -10000.0;
    for (tetra* x : k.tets) {
      if (x->signed_size > m) {
        k.max_alpha = x->signed_size;
        m = x->signed_size;
      }
    }
  }
  std::vector<RefPocket> result;
  for (RefRecord& p : out) result.push_back({p.id, p.tets, p.inner, {}});
  for (RefRecord& k : comps) {
    for (RefPocket& p : result) {
      if (in(p.tets, k.tets[0])) p.subs.push_back({k.id, k.tets, k.max_alpha, {}, {}, {}});
    }
  }
  for (RefPocket& p : result) {
    if (p.subs.size() < 2) continue;
    for (tria* t : p.inner) {
      std::vector<int> l;
      for (size_t i = 0; i < p.subs.size(); ++i) {
        for (tetra* x : p.subs[i].tets) {
          if (in(x->shared_trias, t)) l.push_back(static_cast<int>(i));
        }
      }
      if (l.size() < 2) continue;
      const int a = l[0], b = l[1];
      auto knot = [&](RefSub& s, int id) {
        bool found = false;
        for (RefKnot& k : s.knots) {
          if (k.id == id) {
            k.triangles.push_back(t);
            found = true;
          }
        }
        if (!found) s.knots.push_back({id, {t}});
      };
      auto top = [&](RefSub& s, int id, int partner) {
        bool found = false;
        for (size_t j = 0; j < s.tops.size(); ++j) {
          if (s.tops[j].id != id) continue;
          found = true;
          if (t->signed_size >= s.tops[j].triangles[0]->signed_size) {
            s.tops[j].triangles[0] = t;
            s.partners[j] = partner;
          }
        }
        if (!found) {
          s.tops.push_back({id, {t}});
          s.partners.push_back(partner);
        }
      };
      if (a == b) {
        knot(p.subs[a], p.subs[a].id);
        continue;
      }
      knot(p.subs[a], p.subs[b].id);
      knot(p.subs[b], p.subs[a].id);
      top(p.subs[a], p.subs[b].id, b);
      top(p.subs[b], p.subs[a].id, a);
    }
  }
  return result;
}

// ---- random tetrahedron graphs ---------------------------------------------

struct RandomGraph {
  std::vector<tetra> tetras;
  std::vector<tria> trias;

  RandomGraph(unsigned seed, int n) : tetras(n) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<std::pair<int, int>> pairs;
    std::vector<int> degree(n, 0);
    const int tries = n * 3;
    for (int k = 0; k < tries; ++k) {
      // Mostly near neighbours in list order, some far ones, as in a
      // triangulation listed by creation.
      const int a = static_cast<int>(u(rng) * n);
      const int b =
          u(rng) < 0.7 ? (a + 1 + static_cast<int>(u(rng) * 6)) % n : static_cast<int>(u(rng) * n);
      if (a == b || degree[a] == 4 || degree[b] == 4) continue;
      bool dup = false;
      for (auto& p : pairs)
        dup = dup || (p.first == a && p.second == b) || (p.first == b && p.second == a);
      if (dup) continue;
      pairs.emplace_back(a, b);
      ++degree[a];
      ++degree[b];
    }
    trias.resize(pairs.size());
    const double p_face_in = u(rng) * 0.8;
    for (int i = 0; i < n; ++i) {
      tetras[i].id = i + 1;
      tetras[i].in_complex = u(rng) < 0.15;
      tetras[i].flows_to_outside = u(rng) < 0.08;
      tetras[i].signed_size = static_cast<int>(u(rng) * 4) * 0.5;  // ties on purpose
    }
    for (size_t k = 0; k < pairs.size(); ++k) {
      tria& f = trias[k];
      f.id = static_cast<int>(k) + 1;
      f.in_complex = u(rng) < p_face_in;
      f.signed_size = static_cast<int>(u(rng) * 3) * 0.25;
      tetra* a = &tetras[pairs[k].first];
      tetra* b = &tetras[pairs[k].second];
      f.cofaces = {a, b};
      a->neighbours.push_back(b);
      a->shared_trias.push_back(&f);
      b->neighbours.push_back(a);
      b->shared_trias.push_back(&f);
      const double r = u(rng);
      if (r < 0.3)
        b->inflow.push_back(a);
      else if (r < 0.5)
        a->inflow.push_back(b);
      else if (r < 0.55) {
        b->inflow.push_back(a);
        a->inflow.push_back(b);
      }
    }
  }
};

void expect_same(const std::vector<RefPocket>& ref, const std::vector<pocket>& got) {
  ASSERT_EQ(ref.size(), got.size());
  for (size_t i = 0; i < ref.size(); ++i) {
    const RefPocket& r = ref[i];
    const pocket& g = got[i];
    EXPECT_EQ(r.id, g.id);
    EXPECT_EQ(ids(r.tets), ids(g.tetrahedra)) << "pocket " << r.id;
    EXPECT_EQ(ids(r.inner), ids(g.inner_triangles)) << "pocket " << r.id;
    ASSERT_EQ(r.subs.size(), g.subpockets.size()) << "pocket " << r.id;
    for (size_t j = 0; j < r.subs.size(); ++j) {
      const RefSub& rs = r.subs[j];
      const subpocket& gs = *g.subpockets[j];
      EXPECT_EQ(rs.id, gs.id);
      EXPECT_EQ(ids(rs.tets), ids(gs.tetrahedra));
      EXPECT_EQ(rs.max_alpha, gs.max_alpha);
      EXPECT_EQ(rs.partners, gs.knot_partners);
      ASSERT_EQ(rs.knots.size(), gs.knots.size());
      for (size_t k = 0; k < rs.knots.size(); ++k) {
        EXPECT_EQ(rs.knots[k].id, gs.knots[k]->id);
        EXPECT_EQ(ids(rs.knots[k].triangles), ids(gs.knots[k]->triangles));
      }
      ASSERT_EQ(rs.tops.size(), gs.knot_tops.size());
      for (size_t k = 0; k < rs.tops.size(); ++k) {
        EXPECT_EQ(rs.tops[k].id, gs.knot_tops[k]->id);
        EXPECT_EQ(ids(rs.tops[k].triangles), ids(gs.knot_tops[k]->triangles));
      }
    }
  }
}

TEST(PocketAssembly, IndexedMergesMatchThePlainRulesOnRandomGraphs) {
  int merged_pockets = 0;
  for (unsigned seed = 1; seed <= 400; ++seed) {
    const int n = 20 + static_cast<int>(seed % 7) * 30;
    RandomGraph a(seed, n), b(seed, n);
    std::vector<RefPocket> ref = reference_assembly(a.tetras);
    std::vector<pocket> got;
    pocketsrepresentation(b.tetras, got, 1.4);
    expect_same(ref, got);
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(a.tetras[i].pocket_number_of, b.tetras[i].pocket_number_of)
          << "seed " << seed << " tetra " << i + 1;
      ASSERT_EQ(a.tetras[i].visited, b.tetras[i].visited);
      ASSERT_EQ(a.tetras[i].component_id, b.tetras[i].component_id);
    }
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "first difference at seed " << seed;
      return;
    }
    for (const pocket& p : got) merged_pockets += p.tetrahedra.size() > 20;
  }
  // The graphs must exercise large merges (both merge directions).
  EXPECT_GT(merged_pockets, 50);
}

TEST(PocketAssembly, IndexedMergesMatchThePlainRulesOnARealStructure) {
  // Real flow graphs: large pockets grown by many merges, many sub-pockets.
  std::vector<Bead> beads;
  read_pdb(std::string(DATA_DIR) + "/1a0q.pdb", beads);
  for (double alpha : {0.0, -1.0}) {
    PocketComplex a, b;
    build_pocket_complex(beads, 1.4, alpha, a);
    build_pocket_complex(beads, 1.4, alpha, b);
    std::vector<RefPocket> ref = reference_assembly(a.tetras);
    std::vector<pocket> got;
    pocketsrepresentation(b.tetras, got, 1.4);
    ASSERT_GT(got.size(), 20u);
    expect_same(ref, got);
    for (size_t i = 0; i < a.tetras.size(); ++i) {
      ASSERT_EQ(a.tetras[i].pocket_number_of, b.tetras[i].pocket_number_of) << "tetra " << i + 1;
    }
  }
}

// ---- the cases of the rules, on hand-made records ---------------------------

// Two tetrahedra sharing the face (1, 2, 3).
HandComplex two_cells() { return HandComplex(5, {{0, 1, 2, 3}, {1, 2, 3, 4}}); }

TEST(PocketAssembly, FaceOutsideTheComplexWithoutFlowJoinsTwoSubpockets) {
  HandComplex c = two_cells();
  tria* shared = c.face(1, 2, 3);
  std::vector<pocket> pockets;
  pocketsrepresentation(c.tetras, pockets, 1.4);
  ASSERT_EQ(pockets.size(), 1u);
  const pocket& p = pockets[0];
  EXPECT_EQ(p.id, 2);
  EXPECT_EQ(ids(p.tetrahedra), (std::vector<int>{2, 1}));  // the later one first
  EXPECT_EQ(ids(p.inner_triangles), (std::vector<int>{shared->id}));
  ASSERT_EQ(p.subpockets.size(), 2u);
  const subpocket& s0 = *p.subpockets[0];
  const subpocket& s1 = *p.subpockets[1];
  EXPECT_EQ(ids(s0.tetrahedra), (std::vector<int>{1}));
  EXPECT_EQ(ids(s1.tetrahedra), (std::vector<int>{2}));
  EXPECT_EQ(s0.begin, 10.0);
  EXPECT_EQ(s0.end, -10.0);
  ASSERT_EQ(s0.knots.size(), 1u);
  ASSERT_EQ(s1.knots.size(), 1u);
  EXPECT_EQ(s0.knots[0]->id, s1.id);
  EXPECT_EQ(s1.knots[0]->id, s0.id);
  ASSERT_EQ(s0.knot_tops.size(), 1u);
  EXPECT_EQ(s0.knot_tops[0]->triangles, std::vector<tria*>{shared});
  EXPECT_EQ(s0.knot_partners, std::vector<int>{1});
  EXPECT_EQ(s1.knot_partners, std::vector<int>{0});
  EXPECT_EQ(c.tetras[0].pocket_number_of, 2);
  EXPECT_EQ(c.tetras[1].pocket_number_of, 2);
}

TEST(PocketAssembly, FaceInTheComplexJoinsOnlyThroughFlow) {
  {
    HandComplex c = two_cells();
    c.face(1, 2, 3)->in_complex = true;
    c.flow(0, 1);
    std::vector<pocket> pockets;
    pocketsrepresentation(c.tetras, pockets, 1.4);
    ASSERT_EQ(pockets.size(), 1u);
    EXPECT_EQ(pockets[0].subpockets.size(), 1u);
    EXPECT_TRUE(pockets[0].inner_triangles.empty());
    EXPECT_TRUE(pockets[0].subpockets[0]->knots.empty());
  }
  {
    HandComplex c = two_cells();
    c.face(1, 2, 3)->in_complex = true;
    std::vector<pocket> pockets;
    pocketsrepresentation(c.tetras, pockets, 1.4);
    ASSERT_EQ(pockets.size(), 2u);
    EXPECT_EQ(ids(pockets[0].tetrahedra), std::vector<int>{1});
    EXPECT_EQ(ids(pockets[1].tetrahedra), std::vector<int>{2});
  }
}

TEST(PocketAssembly, OutsideFlowingTetrahedronReachedByAFillJoins) {
  HandComplex c = two_cells();
  c.face(1, 2, 3)->in_complex = true;
  c.tetras[1].flows_to_outside = true;
  c.flow(1, 0);  // tetra 2 flows into tetra 1, whose fill reaches it
  std::vector<pocket> pockets;
  pocketsrepresentation(c.tetras, pockets, 1.4);
  EXPECT_TRUE(c.tetras[1].visited);
  EXPECT_FALSE(c.tetras[1].flows_to_outside);
  ASSERT_EQ(pockets.size(), 1u);
  EXPECT_EQ(pockets[0].tetrahedra.size(), 2u);
}

TEST(PocketAssembly, SingleSubpocketGetsNoKnots) {
  // A ring of three cells (0|1, 1|2, 2|0) joined by flow 1 -> 2 -> 0; the
  // face 0|1 carries no flow and is an inner triangle of the one sub-pocket.
  HandComplex c(5, {{0, 1, 2, 3}, {1, 2, 3, 4}, {0, 1, 2, 4}});
  c.flow(1, 2);
  c.flow(2, 0);
  std::vector<pocket> pockets;
  pocketsrepresentation(c.tetras, pockets, 1.4);
  ASSERT_EQ(pockets.size(), 1u);
  const pocket& p = pockets[0];
  ASSERT_EQ(p.subpockets.size(), 1u);
  EXPECT_FALSE(p.inner_triangles.empty());
  EXPECT_TRUE(p.subpockets[0]->knots.empty());
  EXPECT_TRUE(p.subpockets[0]->knot_tops.empty());
}

TEST(PocketAssembly, SelfKnotWhenBothSidesShareASubpocket) {
  // Cells 0, 1, 2 around the edge (1, 2) form a ring 0|1, 1|2, 2|0.  Flow
  // 1 -> 2 -> 0 joins all three; the face 0|1 has no flow.  A fourth cell 3
  // behind a face of cell 2 without flow is a second sub-pocket.
  HandComplex c(7, {{0, 1, 2, 3}, {1, 2, 3, 4}, {0, 1, 2, 4}, {0, 1, 4, 5}});
  tria* f01 = c.face(1, 2, 3);
  c.flow(1, 2);
  c.flow(2, 0);
  std::vector<pocket> pockets;
  pocketsrepresentation(c.tetras, pockets, 1.4);
  ASSERT_EQ(pockets.size(), 1u);
  const pocket& p = pockets[0];
  ASSERT_EQ(p.subpockets.size(), 2u);
  const subpocket& big =
      p.subpockets[0]->tetrahedra.size() == 3 ? *p.subpockets[0] : *p.subpockets[1];
  bool self = false;
  for (const auto& k : big.knots) {
    if (k->id == big.id) {
      self = true;
      EXPECT_EQ(k->triangles[0], f01);
    }
  }
  EXPECT_TRUE(self);
  for (const auto& k : big.knot_tops) EXPECT_NE(k->id, big.id);
}

TEST(PocketAssembly, EqualSizesLetTheLaterTriangleWin) {
  // Two faces without flow between the same two sub-pockets: cells 0 and 2
  // flow-joined, cell 1 touches both.
  HandComplex c(6, {{0, 1, 2, 3}, {1, 2, 3, 4}, {1, 2, 4, 0}});
  c.flow(0, 2);
  for (tria& t : c.trias) t.signed_size = 1.0;
  std::vector<pocket> pockets;
  pocketsrepresentation(c.tetras, pockets, 1.4);
  ASSERT_EQ(pockets.size(), 1u);
  const pocket& p = pockets[0];
  ASSERT_EQ(p.subpockets.size(), 2u);
  ASSERT_GE(p.inner_triangles.size(), 2u);
  const subpocket& s = *p.subpockets[0];
  ASSERT_EQ(s.knot_tops.size(), 1u);
  // The last inner triangle between the two is the one kept.
  tria* last = nullptr;
  for (tria* t : p.inner_triangles) last = t;
  EXPECT_EQ(s.knot_tops[0]->triangles[0], last);
}

}  // namespace
