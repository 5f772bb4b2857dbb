// Times the Delaunay edge collection on PDB files and reports how often the
// predicates had to fall back to exact arithmetic.
//   bench_kernel file.pdb [file.pdb ...]
//   bench_kernel --raw file.pdb   every ATOM/HETATM centre of the first model
//                                 as a ball of radius 1.8, read by tokens
//                                 (so non-standard columns and atoms without
//                                 a radius count too)
//   bench_kernel --balls file.pdb    the balls alvex triangulates for -fd,
//                                    "id x y z radius" per line in its
//                                    insertion order (for the reference
//                                    triangulation of bench/run.sh)
//   bench_kernel --radii file.pdb    the same atoms as PDB ATOM lines with
//                                    the radius in the occupancy column
#include <sys/resource.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/d3dw.h"
#include "geometry/edges.h"
#include "geometry/triangulate.h"
#include "structure/bead.h"
#include "structure/file.h"
#include "structure/para.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

long peak_mb() {
  struct rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}

void report(const char* name, const CD3DW& t) {
  const CD3DW::Stats& s = t.stats;
  double calls = double(s.positive_calls - s.positive_cached) + double(s.insphere_calls);
  double exact = double(s.positive_exact) + double(s.insphere_exact);
  std::printf(
      "%s: predicate evaluations %.0f, exact %.0f (%.2e); flips 2-3 %llu 3-2 %llu; left out %llu\n",
      name, calls, exact, calls > 0 ? exact / calls : 0.0, (unsigned long long)s.flips23,
      (unsigned long long)s.flips32, (unsigned long long)s.left_out);
}

int raw(const char* path) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path);
    return 1;
  }
  std::vector<double> xyz;
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, 6, "ENDMDL") == 0) break;
    if (line.compare(0, 4, "ATOM") != 0 && line.compare(0, 6, "HETATM") != 0) continue;
    std::istringstream s(line);
    std::vector<std::string> tok;
    for (std::string w; s >> w;) tok.push_back(w);
    // x y z occupancy b-factor [element]
    std::size_t end = tok.size();
    if (end > 0 && std::isalpha((unsigned char)tok.back()[0])) --end;
    if (end < 5) continue;
    for (std::size_t k = end - 5; k < end - 2; ++k) xyz.push_back(std::atof(tok[k].c_str()));
  }
  int n = int(xyz.size() / 3);
  std::vector<int> order = seeded_insertion_order(n);
  auto t0 = std::chrono::steady_clock::now();
  CD3DW* t = new CD3DW(1e19);
  t->reserve(std::size_t(n));
  for (int k = 0; k < n; ++k) {
    const double* p = &xyz[3 * std::size_t(order[k])];
    t->add(p[0], p[1], p[2], 1.8 * 1.8, order[k], nullptr);
  }
  double build = seconds_since(t0);
  std::vector<CD3DEdge*> listed;
  t->list_edges(&listed);
  double total = seconds_since(t0);
  std::printf("%s (raw): balls %d, listed %zu, build %.3f s, with listing %.3f s, peak %ld MB\n",
              path, n, listed.size(), build, total, peak_mb());
  report(path, *t);
  delete t;
  return 0;
}

// The atoms of a structure after alvex's own reading and radius tables.
void dump(const char* path, bool as_pdb) {
  std::vector<Bead> beads;
  read_pdb(path, beads);
  if (as_pdb) {
    int serial = 0;
    for (const Bead& b : beads)
      std::printf("ATOM  %5d %-4s %3s %c%4d    %8.3f%8.3f%8.3f%6.2f  0.00\n", ++serial % 100000,
                  b.atom_name, b.res_name, b.chain_id == '*' ? ' ' : b.chain_id, b.res_num % 10000,
                  b.x, b.y, b.z, b.radius);
    std::printf("END\n");
    return;
  }
  for (int i : seeded_insertion_order(int(beads.size()))) {
    const Bead& b = beads[std::size_t(i)];
    std::printf("%d %.17g %.17g %.17g %.17g\n", i, b.x, b.y, b.z, b.radius);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--raw") return raw(argv[2]);
  construct_map_of_radius();
  construct_abb_of_all_residues();
  if (argc == 3 && (std::string(argv[1]) == "--balls" || std::string(argv[1]) == "--radii")) {
    dump(argv[2], std::string(argv[1]) == "--radii");
    return 0;
  }
  for (int i = 1; i < argc; ++i) {
    std::vector<Bead> beads;
    read_pdb(argv[i], beads);
    int n = (int)beads.size();

    auto t0 = std::chrono::steady_clock::now();
    std::vector<Pair> edges;
    collect_del_edges(beads, edges);
    double collect = seconds_since(t0);

    // The same insertion once more, to read the counters.
    std::unique_ptr<CD3DW> t =
        triangulate(beads, [](const Bead& b) { return b.radius * b.radius; });
    std::printf("%s: atoms %d, Delaunay edges %zu, collect_del_edges %.3f s\n", argv[i], n,
                edges.size(), collect);
    report(argv[i], *t);
  }
  return 0;
}
