// Reference for the bench: the regular triangulation of the balls that
// alvex triangulates for -fd, built by a general library (a bench tool only;
// nothing of alvex links against it), with the weights r^2.
//
//   ref_triangulation BALLS [same|spatial] [EDGES]
//
// BALLS holds one ball per line, "id x y z r", in alvex's insertion order
// (bench_kernel --balls writes it). `same` (the default) inserts the balls
// one by one in that order, as alvex does; `spatial` hands the library the
// whole range, which it sorts along a space-filling curve first. The
// finite edges between balls are listed as "i j" (i < j), sorted, to EDGES
// or to nowhere; their count goes to standard error.
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Regular_triangulation_3.h>
#include <CGAL/Regular_triangulation_vertex_base_3.h>
#include <CGAL/Triangulation_data_structure_3.h>
#include <CGAL/Triangulation_vertex_base_with_info_3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

typedef CGAL::Exact_predicates_inexact_constructions_kernel K;
typedef CGAL::Regular_triangulation_vertex_base_3<K> Vb0;
typedef CGAL::Triangulation_vertex_base_with_info_3<int, K, Vb0> Vb;
typedef CGAL::Regular_triangulation_cell_base_3<K> Cb;
typedef CGAL::Triangulation_data_structure_3<Vb, Cb> Tds;
typedef CGAL::Regular_triangulation_3<K, Tds> Rt;
typedef K::Weighted_point_3 Wp;
typedef K::Point_3 P3;

namespace {

// Kept out of line so that a profile can tell the insertion apart.
__attribute__((noinline)) void build(Rt& rt, const std::vector<std::pair<Wp, int>>& balls,
                                     bool spatial) {
  if (spatial) {
    rt.insert(balls.begin(), balls.end());
    return;
  }
  for (const auto& b : balls) rt.insert(b.first)->info() = b.second;
}

__attribute__((noinline)) std::vector<std::pair<int, int>> list_edges(const Rt& rt) {
  std::vector<std::pair<int, int>> out;
  out.reserve(rt.number_of_finite_edges());
  for (auto e = rt.finite_edges_begin(); e != rt.finite_edges_end(); ++e) {
    int a = e->first->vertex(e->second)->info(), b = e->first->vertex(e->third)->info();
    out.emplace_back(std::min(a, b), std::max(a, b));
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: ref_triangulation BALLS [same|spatial] [EDGES]\n");
    return 2;
  }
  bool spatial = argc > 2 && std::strcmp(argv[2], "spatial") == 0;
  if (argc > 2 && !spatial && std::strcmp(argv[2], "same") != 0) {
    std::fprintf(stderr, "unknown order %s\n", argv[2]);
    return 2;
  }
  std::FILE* in = std::fopen(argv[1], "r");
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  std::vector<std::pair<Wp, int>> balls;
  int id;
  double x, y, z, r;
  while (std::fscanf(in, "%d %lf %lf %lf %lf", &id, &x, &y, &z, &r) == 5)
    balls.emplace_back(Wp(P3(x, y, z), r * r), id);
  std::fclose(in);

  Rt rt;
  build(rt, balls, spatial);
  std::vector<std::pair<int, int>> edges = list_edges(rt);
  std::fprintf(stderr, "balls %zu, vertices %zu, finite edges %zu\n", balls.size(),
               rt.number_of_vertices(), edges.size());
  if (argc > 3) {
    std::FILE* out = std::fopen(argv[3], "w");
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", argv[3]);
      return 1;
    }
    for (const auto& e : edges) std::fprintf(out, "%d %d\n", e.first, e.second);
    std::fclose(out);
  }
  return 0;
}
