// Signs and persistence pairs of pocket filtrations, checked against the
// plain matrix reduction of the boundary matrix over Z/2 (independent of the
// component tracking and of the youngest-face pairing under test).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "analysis/filtration.h"
#include "analysis/pairing.h"
#include "analysis/pocketfiltration.h"
#include "analysis/signs.h"
#include "analysis_fixtures.h"

namespace {

// ---- brute force -----------------------------------------------------------

struct Reduction {
  std::vector<int> sign;     // +1 positive (column reduces to zero), -1 negative
  std::vector<int> partner;  // index of the pair partner, -1 unpaired
  bool valid = true;         // every face comes before its coface
};

Reduction reduce_matrix(const std::vector<filter*>& W) {
  std::map<const void*, int> index;
  for (size_t i = 0; i < W.size(); ++i) {
    const filter* f = W[i];
    const void* r = f->dimension == 0   ? static_cast<const void*>(f->info_ref)
                    : f->dimension == 1 ? static_cast<const void*>(f->edge_ref)
                    : f->dimension == 2 ? static_cast<const void*>(f->tria_ref)
                                        : static_cast<const void*>(f->tetra_ref);
    index[r] = static_cast<int>(i);
  }
  Reduction out;
  const int n = static_cast<int>(W.size());
  out.sign.assign(n, 1);
  out.partner.assign(n, -1);
  std::vector<std::set<int>> reduced(n);
  std::map<int, int> owner;  // low -> column
  for (int j = 0; j < n; ++j) {
    const filter* f = W[j];
    std::vector<const void*> faces;
    if (f->dimension == 1) faces = {f->edge_ref->v[0], f->edge_ref->v[1]};
    if (f->dimension == 2) faces = {f->tria_ref->e[0], f->tria_ref->e[1], f->tria_ref->e[2]};
    if (f->dimension == 3) {
      for (const tria* t : f->tetra_ref->faces) faces.push_back(t);
    }
    std::set<int> col;
    for (const void* x : faces) {
      auto it = index.find(x);
      if (it == index.end() || it->second >= j) {
        out.valid = false;
        continue;
      }
      col.insert(it->second);
    }
    while (!col.empty() && owner.count(*col.rbegin()) != 0) {
      for (int x : reduced[owner[*col.rbegin()]]) {
        if (!col.erase(x)) col.insert(x);
      }
    }
    if (!col.empty()) {
      const int low = *col.rbegin();
      owner[low] = j;
      out.sign[j] = -1;
      out.partner[j] = low;
      out.partner[low] = j;
    }
    reduced[j] = col;
  }
  return out;
}

// The judges called in the two passes of sign detection, one by one.
void scanning_signs(std::vector<filter*>& W, std::vector<cycle0*>& c0, std::vector<cycle1*>& c1,
                    std::vector<cycle2*>& c2, std::vector<cycle3*>& c3) {
  int counter = 0;
  const int n = static_cast<int>(W.size());
  for (int i = 0; i < n; ++i) {
    ++counter;
    if (W[i]->dimension == 0) judge_cycle0(counter, i, W, c0);
    if (W[i]->dimension == 1) judge_cycle1(counter, i, W, c0, c1);
  }
  for (int i = n - 1; i >= 1; --i) {
    ++counter;
    judge_cycle2(counter, i, W, c0, c1, c2, c3);
  }
}

std::string describe(const std::vector<cycle0*>& c0, const std::vector<cycle1*>& c1,
                     const std::vector<cycle3*>& c3) {
  std::ostringstream s;
  for (const cycle0* c : c0) {
    s << "c0 " << c->id << ":";
    for (const info* a : c->atoms) s << " " << a->index;
    s << "\n";
  }
  for (const cycle1* c : c1) {
    s << "c1 " << c->id << ":";
    for (const edge* e : c->edges) s << " " << e->id;
    s << "\n";
  }
  for (const cycle3* c : c3) {
    s << "c3 " << c->id << (c->outside ? " out" : "") << ":";
    for (const tetra* t : c->tetrahedra) s << " " << t->id;
    s << "\n";
  }
  return s.str();
}

// Random filtration values that enter every face before its cofaces.
void monotone_values(PocketComplex& c, FilterList& list, std::mt19937& rng) {
  std::uniform_real_distribution<double> top(10.0, 20.0), step(0.01, 3.0);
  std::map<const void*, double> value;
  for (tetra& t : c.tetras) value[&t] = top(rng);
  for (tria& f : c.trias) {
    double m = 1e9;
    for (const tetra* t : f.cofaces) m = std::min(m, value[t]);
    value[&f] = (f.cofaces.empty() ? top(rng) : m) - step(rng);
  }
  for (edge& e : c.edges) {
    double m = 1e9;
    for (const tria* t : e.coface_trias) m = std::min(m, value[t]);
    value[&e] = m - step(rng);
  }
  for (info& a : c.atoms) {
    double m = 1e9;
    for (const edge* e : a.incident_edges) m = std::min(m, value[e]);
    value[&a] = m - step(rng);
  }
  for (filter* f : list.filters) {
    switch (f->dimension) {
      case 0:
        f->alpha = value[f->info_ref];
        break;
      case 1:
        f->alpha = value[f->edge_ref];
        break;
      case 2:
        f->alpha = value[f->tria_ref];
        break;
      default:
        f->alpha = value[f->tetra_ref];
        break;
    }
  }
}

// ---- hand-made filtrations --------------------------------------------------

// Vertices a, b, c, edges ab, bc, ca and the triangle abc, placed and with
// boundaries as the pocket filtration leaves them before judgement.
struct TriangleFiltration {
  HandComplex h{4, {{0, 1, 2, 3}}};
  std::vector<std::unique_ptr<filter>> owned;
  std::vector<filter*> W;
  edge *ab, *bc, *ca;
  tria* abc;

  TriangleFiltration() {
    ab = h.edge_of(0, 1);
    bc = h.edge_of(1, 2);
    ca = h.edge_of(0, 2);
    abc = h.face(0, 1, 2);
    for (int i = 0; i < 3; ++i) add(0)->info_ref = &h.atoms[i];
    add(1)->edge_ref = ab;
    add(1)->edge_ref = bc;
    add(1)->edge_ref = ca;
    add(2)->tria_ref = abc;
    for (int i = 0; i < 3; ++i) h.atoms[i].position = i + 1;
    ab->position = 4;
    bc->position = 5;
    ca->position = 6;
    abc->position = 7;
    for (edge* e : {ab, bc, ca}) e->boundary = {e->v[0], e->v[1]};
    abc->boundary = {abc->e[0], abc->e[1], abc->e[2]};
    abc->cofaces.clear();  // a triangle standing alone
  }

  filter* add(int dimension) {
    owned.emplace_back(new filter());
    filter* f = owned.back().get();
    f->dimension = dimension;
    f->position = static_cast<int>(W.size()) + 1;
    W.push_back(f);
    return f;
  }
};

TEST(Pairing, TriangleLoopPairsChainsAndBettiNumbers) {
  TriangleFiltration t;
  std::vector<cycle0*> c0;
  std::vector<cycle1*> c1;
  std::vector<cycle2*> c2;
  std::vector<cycle3*> c3;
  sign_detect(t.W, c0, c1, c2, c3);
  std::vector<int> signs;
  for (const filter* f : t.W) signs.push_back(f->sign);
  EXPECT_EQ(signs, (std::vector<int>{1, 1, 1, -1, -1, 1, -1}));
  ASSERT_EQ(c0.size(), 1u);
  EXPECT_EQ(c0[0]->atoms.size(), 3u);
  ASSERT_EQ(c1.size(), 1u);
  EXPECT_EQ(c1[0]->edges.size(), 3u);
  release_components(c0, c1, c2, c3);
  std::vector<list*> p0, p1, p2;
  pair_simplices(t.W, p0, p1, p2);

  ASSERT_EQ(p0.size(), 2u);
  ASSERT_EQ(p1.size(), 1u);
  EXPECT_TRUE(p2.empty());
  const list* pairs[3] = {p0[0], p0[1], p1[0]};
  const int birth[3] = {1, 2, 5}, death[3] = {3, 4, 6};
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(pairs[k]->id, k + 1);
    EXPECT_EQ(pairs[k]->birth, t.W[birth[k]]);
    EXPECT_EQ(pairs[k]->death, t.W[death[k]]);
  }

  EXPECT_EQ(t.h.atoms[1].chain, (std::vector<info*>{&t.h.atoms[0], &t.h.atoms[1]}));
  EXPECT_EQ(t.h.atoms[2].chain, (std::vector<info*>{&t.h.atoms[1], &t.h.atoms[2]}));
  EXPECT_EQ(t.ca->chain.size(), 3u);
  EXPECT_TRUE(t.h.atoms[0].chain.empty());
  EXPECT_TRUE(t.W[1]->paired && t.W[5]->paired && !t.W[0]->paired);
  EXPECT_EQ(t.W[1]->partner, 4);
  EXPECT_EQ(t.abc->partner, 6);

  const int b0[7] = {1, 2, 3, 2, 1, 1, 1}, b1[7] = {0, 0, 0, 0, 0, 1, 0};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(t.W[i]->b0, b0[i]);
    EXPECT_EQ(t.W[i]->b1, b1[i]);
    EXPECT_EQ(t.W[i]->b2, 0);
  }
  release_pairs(p0, p1, p2);
}

TEST(Pairing, EmptyListAndUnpairableSimplices) {
  std::vector<filter*> none;
  std::vector<list*> p0, p1, p2;
  pair_simplices(none, p0, p1, p2);
  EXPECT_TRUE(p0.empty() && p1.empty() && p2.empty());
  // A negative edge whose vertices are not in the list (their positions name
  // other places) stays unpaired instead of reading a stale place.
  TriangleFiltration t;
  t.W[3]->sign = -1;
  t.W[3]->position = 1;
  t.h.atoms[0].position = 99;
  std::vector<filter*> W = {t.W[3]};
  pair_simplices(W, p0, p1, p2);
  EXPECT_TRUE(p0.empty());
  EXPECT_EQ(W[0]->b0, -1);

  // An unpairable negative edge still uses up its pair number.
  TriangleFiltration u;
  const int signs[7] = {1, 1, 1, -1, -1, 1, -1};
  for (int i = 0; i < 7; ++i) u.W[i]->sign = signs[i];
  u.ab->boundary.clear();
  pair_simplices(u.W, p0, p1, p2);
  ASSERT_EQ(p0.size(), 1u);
  ASSERT_EQ(p1.size(), 1u);
  EXPECT_EQ(p0[0]->id, 2);
  EXPECT_EQ(p0[0]->birth, u.W[2]);
  EXPECT_EQ(p1[0]->id, 3);
  EXPECT_EQ(p1[0]->birth, u.W[5]);
  release_pairs(p0, p1, p2);
}

TEST(Signs, BettiOneCheckReportsEveryFailingPlace) {
  TriangleFiltration t;
  std::vector<cycle0*> c0;
  std::vector<cycle1*> c1;
  std::vector<cycle2*> c2;
  std::vector<cycle3*> c3;
  // Without the closing edge the triangle kills a loop that never formed.
  std::vector<filter*> open = {t.W[0], t.W[1], t.W[2], t.W[3], t.W[4], t.W[6], t.W[6]};
  testing::internal::CaptureStdout();
  EXPECT_TRUE(sign_detect_first(t.W, c0, c1, c2, c3));
  release_components(c0, c1, c2, c3);
  EXPECT_FALSE(sign_detect_first(open, c0, c1, c2, c3));
  release_components(c0, c1, c2, c3);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "false: betti 1: 0 1\nfalse: betti 1: 0 2\n");
}

// ---- whole pocket filtrations ----------------------------------------------

// Every tetrahedron of a random triangulation forms one pocket, so the space
// beyond the pocket is the outside of the hull alone; then interior
// tetrahedra are taken out as pockets of their own, which the big pocket
// encloses: each face-connected group of them is a void of it.  Either way
// the judged signs must be the homological ones.
TEST(PocketFiltration, SignsPairsAndBettiNumbersAgreeWithMatrixReduction) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    for (int holes = 0; holes <= 1; ++holes) {
      std::vector<Bead> beads = random_beads(25 + 5 * seed, seed, 12.0);
      PocketComplex c;
      build_pocket_complex(beads, 1.4, 0.0, c);
      FilterList list = build_filter_list(c.atoms, c.tetras, c.trias, c.edges);
      std::mt19937 rng(seed);
      monotone_values(c, list, rng);
      for (tetra& t : c.tetras) t.in_complex = false;

      // The enclosing pocket goes last, so its filters keep its values.
      std::vector<tetra*> hole_list;
      for (size_t i = 0; holes != 0 && i < c.tetras.size(); i += 3) {
        tetra& t = c.tetras[i];
        if (std::all_of(t.faces, t.faces + 4, [](const tria* f) { return f->cofaces.size() == 2; }))
          hole_list.push_back(&t);
      }
      std::vector<pocket> pockets(hole_list.size() + 1);
      for (size_t k = 0; k < hole_list.size(); ++k) {
        pockets[k].number = static_cast<int>(k) + 2;
        pockets[k].tetrahedra.push_back(hole_list[k]);
        hole_list[k]->pocket_number = pockets[k].number;
      }
      pocket& big = pockets.back();
      big.number = 1;
      for (tetra& t : c.tetras) {
        if (t.pocket_number != 0) continue;
        big.tetrahedra.push_back(&t);
        t.pocket_number = 1;
      }
      // Voids: the holes joined across shared faces.
      std::map<const tetra*, const tetra*> group;
      std::function<const tetra*(const tetra*)> top = [&](const tetra* t) {
        return group[t] == t ? t : group[t] = top(group[t]);
      };
      for (const tetra* t : hole_list) group[t] = t;
      for (const tetra* t : hole_list) {
        for (const tetra* n : t->neighbours) {
          if (group.count(n) != 0) group[top(n)] = top(t);
        }
      }
      int voids = 0;
      for (const tetra* t : hole_list) voids += top(t) == t ? 1 : 0;
      if (holes != 0) {
        ASSERT_GT(voids, 0) << "seed " << seed;
      }

      pocket_filter_build_up(c.tetras, pockets, list.filters);
      std::vector<filter*>& W = big.filters;
      ASSERT_EQ(W.size() == list.filters.size(), hole_list.empty());

      const Reduction r = reduce_matrix(W);
      ASSERT_TRUE(r.valid);
      int betti[3] = {0, 0, 0};
      for (size_t j = 0; j < W.size(); ++j) {
        const filter* f = W[j];
        EXPECT_EQ(f->position, static_cast<int>(j) + 1);
        ASSERT_EQ(f->sign, r.sign[j])
            << "seed " << seed << " holes " << holes << " place " << j << " dim " << f->dimension;
        if (r.sign[j] > 0) {
          if (f->dimension < 3) ++betti[f->dimension];
          EXPECT_EQ(f->paired, r.partner[j] >= 0);
          if (r.partner[j] >= 0) {
            EXPECT_EQ(f->partner, r.partner[j] + 1);
          }
        } else {
          --betti[f->dimension - 1];
          EXPECT_EQ(f->partner, r.partner[j] + 1);
        }
        EXPECT_EQ(f->b0, betti[0]);
        EXPECT_EQ(f->b1, betti[1]);
        EXPECT_EQ(f->b2, betti[2]);
      }
      // A triangulated ball: one component, no tunnel, a void per group of
      // holes.
      EXPECT_EQ(W.back()->b0, 1);
      EXPECT_EQ(W.back()->b1, 0);
      EXPECT_EQ(W.back()->b2, voids);
    }
  }
}

// The indexed component lookups of sign_detect end exactly where the judges
// called one by one end: same signs, same components in the same order.
TEST(PocketFiltration, IndexedSignsMatchTheScanningJudges) {
  std::vector<Bead> beads = random_beads(45, 21, 13.0);
  PocketComplex c;
  build_pocket_complex(beads, 1.4, 0.0, c);
  FilterList list = build_filter_list(c.atoms, c.tetras, c.trias, c.edges);
  std::mt19937 rng(4);
  monotone_values(c, list, rng);
  for (tetra& t : c.tetras) t.in_complex = false;
  // Half of the tetrahedra make the pocket; the others lie beyond it.
  std::vector<pocket> pockets(1);
  pockets[0].number = 1;
  for (size_t i = 0; i < c.tetras.size(); i += 2) pockets[0].tetrahedra.push_back(&c.tetras[i]);
  pocket_filter_build_up(c.tetras, pockets, list.filters);
  std::vector<filter*> W = pockets[0].filters;
  for (filter* f : W) {
    if (f->dimension == 3) f->tetra_ref->stamp = 100;
  }

  std::vector<cycle0*> a0, b0;
  std::vector<cycle1*> a1, b1;
  std::vector<cycle2*> a2, b2;
  std::vector<cycle3*> a3, b3;
  sign_detect(W, a0, a1, a2, a3);
  std::vector<int> indexed;
  for (const filter* f : W) indexed.push_back(f->sign);
  for (filter* f : W) f->sign = 0;
  scanning_signs(W, b0, b1, b2, b3);
  std::vector<int> scanned;
  for (const filter* f : W) scanned.push_back(f->sign);
  EXPECT_EQ(indexed, scanned);
  EXPECT_EQ(describe(a0, a1, a3), describe(b0, b1, b3));
  EXPECT_GT(a3.size(), 1u);
  release_components(a0, a1, a2, a3);
  release_components(b0, b1, b2, b3);
}

}  // namespace
