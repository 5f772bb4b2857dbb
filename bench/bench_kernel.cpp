// Times the Delaunay edge collection on PDB files and reports how often the
// predicates had to fall back to exact arithmetic.
//   bench_kernel file.pdb [file.pdb ...]
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "geometry/d3dw.h"
#include "geometry/edges.h"
#include "structure/bead.h"
#include "structure/file.h"
#include "structure/para.h"

int main(int argc, char** argv) {
    construct_map_of_radius();
    construct_abb_of_all_residues();
    for (int i = 1; i < argc; ++i) {
        std::vector<Bead> beads;
        read_pdb(argv[i], beads);
        int n = (int)beads.size();

        auto t0 = std::chrono::steady_clock::now();
        std::vector<Pair> edges;
        collect_del_edges(beads, edges);
        auto t1 = std::chrono::steady_clock::now();

        // The same insertion once more, to read the counters.
        std::vector<int> order = seeded_insertion_order(n);
        CD3DW t(1e19);
        t.reserve(beads.size());
        for (int k = 0; k < n; ++k) {
            Bead& b = beads[order[k]];
            t.add(b.x, b.y, b.z, b.radius * b.radius, order[k], &b);
        }
        double calls = double(t.stats[4] - t.stats[5]) + double(t.stats[8]);
        double exact = double(t.stats[7]) + double(t.stats[9]);
        std::printf("%s: atoms %d edges %zu collect %.3f s | records %zu cells %zu | "
                    "predicate evaluations %.0f exact %.0f (%.2e) | flips 2-3 %llu 3-2 %llu left out %llu\n",
                    argv[i], n, edges.size(), std::chrono::duration<double>(t1 - t0).count(), t.edges.size(),
                    t.cells.size(), calls, exact, calls > 0 ? exact / calls : 0.0,
                    (unsigned long long)t.stats[0], (unsigned long long)t.stats[1],
                    (unsigned long long)t.stats[2]);
    }
    return 0;
}
