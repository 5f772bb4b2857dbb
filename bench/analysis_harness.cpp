// Runs the auxiliary pocket analyses on one structure and writes what they
// produce, so that two builds can be compared byte for byte and timed.
//
//   analysis_harness STAGES OUT PDB ALPHA PROBE [DEPRESSION_RULE]
//
// STAGES is a comma list of filtration, lifetree and depressions (or none).
// The records are built as the pocket pipeline builds them (pocket report
// files go to OUT/pockets), then each stage runs its routines and writes
// their files and strings under OUT.  DEPRESSION_RULE picks the tetrahedra
// that carry the depression flag: "outside" (default: empty tetrahedra that
// flow to the outside), "empty" (every tetrahedron outside the complex) or
// "pockets" (the pocket tetrahedra).  Times and the peak resident size after
// each step go to standard error.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/depression.h"
#include "analysis/filtration.h"
#include "analysis/filtrationreport.h"
#include "analysis/lifetree.h"
#include "analysis/pocketfiltration.h"
#include "pockets/pipeline.h"
#include "structure/bead.h"
#include "structure/file.h"
#include "structure/para.h"

namespace {

using Clock = std::chrono::steady_clock;

long peak_kb() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, 6, "VmHWM:") == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

void report(const std::string& step, double seconds) {
  std::fprintf(stderr, "%-28s %10.3f s   peak %8ld MB\n", step.c_str(), seconds, peak_kb() / 1024);
}
void report(const std::string& step, Clock::time_point since) {
  report(step, std::chrono::duration<double>(Clock::now() - since).count());
}

std::string g17(double x) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", x);
  return buf;
}

int record_id(const filter* f) {
  switch (f->dimension) {
    case 0:
      return f->info_ref->index;
    case 1:
      return f->edge_ref->id;
    case 2:
      return f->tria_ref->id;
    default:
      return f->tetra_ref->id;
  }
}

void filtration_stage(PocketComplex& c, FilterList& list) {
  std::vector<pocket>& pockets = c.pockets;
  auto t0 = Clock::now();
  pocket_filter_build_up(c.tetras, pockets, list.filters);
  report("pocket_filter_build_up", t0);

  std::ofstream dump("filtration.txt");
  for (size_t k = 0; k < pockets.size(); ++k) {
    const pocket& P = pockets[k];
    dump << "pocket " << k << " number " << P.number << " stamp " << P.stamp << " filters "
         << P.filters.size() << "\n";
    for (const filter* f : P.filters) {
      dump << f->position << " " << f->dimension << " " << record_id(f) << " " << f->rank << " "
           << f->sign << " " << f->partner << " " << f->paired << f->enclosed << " " << f->b0 << " "
           << f->b1 << " " << f->b2 << " " << g17(f->alpha) << "\n";
    }
    for (const auto& s : P.subpockets) {
      dump << "sub " << s->id << " " << g17(s->begin) << " " << g17(s->end) << " alphas";
      for (double a : s->alphas) dump << " " << g17(a);
      dump << " filters";
      for (const filter* f : s->filters) dump << " " << f->position;
      dump << "\n";
    }
    dump << "boundary";
    for (const tria* t : P.boundary_triangles) dump << " " << t->id;
    dump << "\n";
  }
  dump.close();

  t0 = Clock::now();
  for (size_t k = 0; k < pockets.size(); ++k) {
    persistence(pockets[k].filters, "fil." + std::to_string(k), 0.0);
  }
  report("persistence files", t0);
}

void dump_tree(std::ostream& o, const tree* t, int depth) {
  std::vector<std::pair<const tree*, int>> pending{{t, depth}};
  while (!pending.empty()) {
    const tree* n = pending.back().first;
    const int d = pending.back().second;
    pending.pop_back();
    o << d << " " << n->id << " " << g17(n->time) << " b" << n->branches.size() << " c"
      << n->children.size() << " s";
    for (const subpocket* s : n->subpockets) o << " " << s->id;
    o << "\n";
    for (size_t i = n->children.size(); i-- > 0;) pending.push_back({n->children[i], d + 1});
  }
}

void lifetree_stage(PocketComplex& c) {
  std::vector<pocket>& pockets = c.pockets;
  size_t largest = 0;
  for (const pocket& P : pockets) largest = std::max(largest, P.subpockets.size());
  std::fprintf(stderr, "largest pocket: %zu sub-pockets\n", largest);

  auto t0 = Clock::now();
  pocket_life_tree(pockets);
  report("pocket_life_tree", t0);

  std::ofstream dump("lifetree.txt");
  double string_seconds = 0.0;
  for (size_t k = 0; k < pockets.size(); ++k) {
    pocket& P = pockets[k];
    if (P.trees.empty()) continue;
    dump << "pocket " << k << " number " << P.number << " subpockets " << P.subpockets.size()
         << "\n";
    for (const auto& s : P.subpockets) {
      dump << "path " << s->id << ":";
      for (int d : s->path) dump << d;
      for (double t : s->split_times) dump << " " << g17(t);
      dump << "\n";
    }
    for (const tree* t : P.trees) dump_tree(dump, t, 0);

    std::vector<std::string> rows(P.subpockets.size()), commands(P.subpockets.size());
    std::string text;
    const auto s0 = Clock::now();
    poc_tree_string(&P, rows, text, commands);
    string_seconds += std::chrono::duration<double>(Clock::now() - s0).count();
    dump << "rows\n";
    for (const std::string& r : rows) dump << r << "\n";
    dump << "tree\n" << text << "\ncommands\n";
    for (const std::string& r : commands) dump << r << "\n";
  }
  dump.close();
  report("poc_tree_string (sum)", string_seconds);
}

void depressions_stage(PocketComplex& c, const std::string& rule, double probe, double alpha) {
  for (tetra& t : c.tetras) {
    if (rule == "empty") {
      t.depression_mark = !t.in_complex;
    } else if (rule == "pockets") {
      t.depression_mark = !t.in_complex && t.pocket_number > 0;
    } else {
      t.depression_mark = !t.in_complex && t.flows_to_outside;
    }
  }
  std::vector<depression> deps;
  auto t0 = Clock::now();
  depressionsrepresentation(c.tetras, deps, 0.0);
  report("depressionsrepresentation", t0);
  size_t largest = 0;
  for (const depression& d : deps) largest = std::max(largest, d.tetrahedra.size());
  std::fprintf(stderr, "%zu depressions, largest %zu tetrahedra\n", deps.size(), largest);

  std::ofstream dump("depressions.txt");
  for (const depression& d : deps) {
    dump << "dep " << d.id << ":";
    for (const tetra* t : d.tetrahedra) dump << " " << t->id;
    dump << "\n";
  }
  dump << "ids";
  for (const tetra& t : c.tetras) dump << " " << t.depression_id;
  dump << "\n";
  dump.close();

  t0 = Clock::now();
  depressionsmeasure(c.tetras, c.atoms, deps, "dep", 0, probe, alpha);
  report("depressionsmeasure", t0);
}

// The pocket steps with their progress lines sent to log.  Older trees (the
// --rev builds) print them on std::cout instead of taking a stream.
template <class Complex>
auto pocket_steps(Complex& c, const std::string& name, double probe, double alpha,
                  std::ostream& log, int)
    -> decltype(run_pocket_steps(c, name, 0, probe, alpha, log)) {
  return run_pocket_steps(c, name, 0, probe, alpha, log);
}
template <class Complex>
int pocket_steps(Complex& c, const std::string& name, double probe, double alpha, std::ostream& log,
                 long) {
  std::streambuf* old = std::cout.rdbuf(log.rdbuf());
  int n = run_pocket_steps(c, name, 0, probe, alpha);
  std::cout.rdbuf(old);
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::cerr << "usage: analysis_harness STAGES OUT PDB ALPHA PROBE [outside|empty|pockets]\n";
    return 2;
  }
  const std::string stages = std::string(",") + argv[1] + ",";
  const std::string out = argv[2];
  const std::string pdb = argv[3];
  const double alpha = std::atof(argv[4]);
  const double probe = std::atof(argv[5]);
  const std::string rule = argc > 6 ? argv[6] : "outside";
  auto wants = [&](const char* s) {
    return stages.find(std::string(",") + s + ",") != std::string::npos;
  };

  construct_map_of_radius();
  construct_abb_of_all_residues();
  std::vector<Bead> beads;
  read_pdb(pdb, beads);

  auto t0 = Clock::now();
  PocketComplex c;
  build_pocket_complex(beads, probe, alpha, c);
  FilterList list;
  if (wants("filtration")) list = build_filter_list(c.atoms, c.tetras, c.trias, c.edges);
  const std::string pocket_dir = out + "/pockets";
  if (std::system(("mkdir -p '" + pocket_dir + "'").c_str()) != 0) return 1;
  {
    // The pocket files land in the working directory.
    char here[4096];
    if (getcwd(here, sizeof here) == nullptr) return 1;
    if (chdir(pocket_dir.c_str()) != 0) return 1;
    std::ostringstream quiet;
    const std::string name = pdb.substr(pdb.find_last_of('/') + 1);
    pocket_steps(c, name, probe, alpha, quiet, 0);
    if (chdir(here) != 0) return 1;
  }
  report("records and pockets", t0);
  std::fprintf(stderr, "%zu atoms, %zu tetrahedra, %zu pockets\n", c.atoms.size(), c.tetras.size(),
               c.pockets.size());

  // Every file below is named relative to OUT, so no file holds the folder.
  if (chdir(out.c_str()) != 0) return 1;
  if (wants("filtration")) filtration_stage(c, list);
  if (wants("lifetree")) lifetree_stage(c);
  if (wants("depressions")) depressions_stage(c, rule, probe, alpha);
  return 0;
}
