// The filter list of a structure and the two ordered insertions.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <tuple>

#include "analysis/filtration.h"
#include "analysis_fixtures.h"
#include "geometry/ashape.h"
#include "geometry/d3dw.h"

namespace {

struct Pool {
  std::vector<std::unique_ptr<filter>> owned;
  filter* make(double alpha, int dimension) {
    owned.emplace_back(new filter());
    owned.back()->alpha = alpha;
    owned.back()->dimension = dimension;
    return owned.back().get();
  }
};

size_t place(const std::vector<filter*>& list, const filter* f) {
  return std::find(list.begin(), list.end(), f) - list.begin();
}

TEST(FilterSort, SmallListsAndTies) {
  Pool p;
  std::vector<filter*> list;
  filter* a = p.make(1.0, 1);
  filter_sort(a, list);
  ASSERT_EQ(list.size(), 1u);

  // One element: equal keys go second, a lower dimension first.
  filter* same = p.make(1.0, 1);
  std::vector<filter*> one = {a};
  filter_sort(same, one);
  EXPECT_EQ(one, (std::vector<filter*>{a, same}));
  filter* lower = p.make(1.0, 0);
  one = {a};
  filter_sort(lower, one);
  EXPECT_EQ(one, (std::vector<filter*>{lower, a}));

  // Equal alpha: vertices, edges, triangles, tetrahedra.
  std::vector<filter*> dims;
  for (int d : {3, 1, 2, 0, 2, 3, 0}) filter_sort(p.make(0.5, d), dims);
  for (size_t i = 1; i < dims.size(); ++i) EXPECT_LE(dims[i - 1]->dimension, dims[i]->dimension);

  // Equal to the first of several elements: in front.
  filter* x0 = p.make(2.0, 2);
  filter* x1 = p.make(3.0, 2);
  filter* x2 = p.make(4.0, 2);
  std::vector<filter*> three = {x0, x1, x2};
  filter* front = p.make(2.0, 2);
  filter_sort(front, three);
  EXPECT_EQ(place(three, front), 0u);
  // Equal to the last only: behind it.
  three = {x0, x1, x2};
  filter* back = p.make(4.0, 2);
  filter_sort(back, three);
  EXPECT_EQ(place(three, back), 3u);
  // [a, x, b] with x equal: directly after x.
  three = {x0, x1, x2};
  filter* middle = p.make(3.0, 2);
  filter_sort(middle, three);
  EXPECT_EQ(place(three, middle), 2u);
}

TEST(FilterSort, RandomInsertionsStayInFiltrationOrder) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> value(0, 6), dim(0, 3);
  for (int round = 0; round < 200; ++round) {
    Pool p;
    std::vector<filter*> list, entered;
    const int n = 1 + round % 40;
    for (int i = 0; i < n; ++i) {
      entered.push_back(p.make(0.25 * value(rng), dim(rng)));
      filter_sort(entered.back(), list);
      for (size_t k = 1; k < list.size(); ++k) {
        const filter* u = list[k - 1];
        const filter* v = list[k];
        ASSERT_TRUE(u->alpha < v->alpha || (u->alpha == v->alpha && u->dimension <= v->dimension));
      }
    }
    ASSERT_EQ(list.size(), static_cast<size_t>(n));
    // The batch build places every tie where the insertions do.
    EXPECT_EQ(filter_sorted(entered), list) << "round " << round;
  }
}

TEST(TriaSort, GoesBeforeEveryTriangleOfEqualSize) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> value(0, 5);
  std::vector<tria> store(300);
  for (int round = 0; round < 30; ++round) {
    std::vector<tria*> list;
    for (int i = 0; i < 10; ++i) {
      tria* t = &store[round * 10 + i];
      t->signed_size = value(rng);
      const size_t expected =
          std::lower_bound(list.begin(), list.end(), t->signed_size,
                           [](const tria* x, double s) { return x->signed_size < s; }) -
          list.begin();
      tria_sort(t, list);
      ASSERT_EQ(std::find(list.begin(), list.end(), t) - list.begin(), static_cast<long>(expected));
    }
  }
}

// The list made from the records alone equals the one made from the alpha
// complex's simplex list, and both describe every simplex once.
TEST(FilterList, RecordsAndSimplexListGiveTheSameList) {
  std::vector<Bead> beads = random_beads(40, 3, 14.0);
  const double probe = 1.4;
  PocketComplex c;
  build_pocket_complex(beads, probe, 0.0, c);

  CD3DW* triangulation = new CD3DW(1e19);
  for (int i : seeded_insertion_order(static_cast<int>(beads.size()))) {
    const double r = beads[i].radius + probe;
    triangulation->add(beads[i].x, beads[i].y, beads[i].z, r * r, i, &beads[i]);
  }
  CAlpha* complex = new CAlpha(triangulation);
  FilterList from_records = build_filter_list(c.atoms, c.tetras, c.trias, c.edges);
  FilterList from_complex =
      build_filter_list(c.atoms, complex->simplices, c.tetras, c.trias, c.edges);
  const size_t listed = complex->simplices.size();
  delete complex;
  delete triangulation;

  const size_t n = c.atoms.size() + c.tetras.size() + c.trias.size() + c.edges.size();
  EXPECT_EQ(listed, n);  // every atom is a vertex of the list
  auto summary = [](const FilterList& l) {
    std::vector<std::tuple<int, int, double, const void*, const void*, const void*, const void*>>
        out;
    for (const filter* f : l.filters) {
      out.emplace_back(f->dimension, f->rank, f->alpha, f->info_ref, f->edge_ref, f->tria_ref,
                       f->tetra_ref);
    }
    return out;
  };
  ASSERT_EQ(from_records.filters.size(), n);
  EXPECT_EQ(summary(from_records), summary(from_complex));

  for (size_t i = 0; i < n; ++i) {
    const filter* f = from_records.filters[i];
    const int number = static_cast<int>(i) + 1;
    EXPECT_TRUE(f->sign == 1 && !f->paired && !f->enclosed && f->position == 0);
    if (i < c.atoms.size()) {
      EXPECT_TRUE(f->dimension == 0 && f->info_ref == &c.atoms[i] && f->rank == number);
      EXPECT_DOUBLE_EQ(f->alpha, -(beads[i].radius + probe));
      EXPECT_EQ(c.atoms[i].filter_number, number);
      continue;
    }
    if (i > c.atoms.size()) {
      EXPECT_GT(f->rank, from_records.filters[i - 1]->rank);
    }
    const int listed_number = f->dimension == 3   ? f->tetra_ref->filter_number
                              : f->dimension == 2 ? f->tria_ref->filter_number
                                                  : f->edge_ref->filter_number;
    const double size = f->dimension == 3   ? f->tetra_ref->signed_size
                        : f->dimension == 2 ? f->tria_ref->signed_size
                                            : f->edge_ref->signed_size;
    EXPECT_EQ(listed_number, number);
    EXPECT_EQ(f->alpha, size);
  }
}

}  // namespace
