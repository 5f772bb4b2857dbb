// alvex: command line and per-structure pipeline.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "geometry/edges.h"
#include "geometry/surface.h"
#include "measure/areavolume.h"
#include "pockets/pipeline.h"
#include "structure/bead.h"
#include "structure/file.h"
#include "structure/output.h"
#include "structure/para.h"
#include "structure/util.h"

// Chain groups of the command line (sixth argument).
std::string g_interface_define;

namespace {

const char* const kUsage[] = {
    "USAGE: command -arguments path filename 5(optional) 1.4(probe radius)",
    "   -f: reading a single file",
    "   -l: reading a file list, all files must be in the same directory as list",
    "   -r: reduced model. Only CA and side-chain center are used for computation",
    "   -s: reduced model. Only SC is used for computation",
    "   -b: reduced model. Only backbone atoms (CA, C, O, N) are used for computation",
    "   -k: reduced model. Only CA is used for computation",
    "   -d: print delaunay edges",
    "   -a: print alpha edges, alpha = 5...",
    "   -c: print contacts, alpha = 5...",
    "   -i: print interfacial contacts, alpha = 5, every pairs with different chain id.",
    "   -t: print surface atom and surface atom contacts",
    "   -u: print protein sequence and mark interface residues",
    "   -q: print individual area and volume contribution: 2 additional switch options "
    "required:",
    "              switch1: 0 for voids",
    "                       1 for space filling",
    "                       2 for envelope",
    "                       3 for outside fringe",
    "                       4 for checking (default)",
    "              switch2: 5 for no cusp correction (default)",
    "                       6 for cusp correction",
    "   -p: print surface pockets information: 1 additional switch option required: ",
    "              switch:  7 for pockets visualized in PyMOL",
    "                       8 for pockets not visualized in PyMOL (default)",
    "    path: full path of the file, such as /data/structures/set1",
    "    5: default cutoff to define alpha contacts. Optional and adjustable.",
    "    0: default alpha value for calculation. Optional and adjustable. ",
    "    A or A|B or AB   ",
    " NOTE: 'f' and 'l' are exclusive to each other;",
    "       One or more of 'd', 'a', 'c' and 'i' can be provide together.",
};

void print_usage() {
  std::string text;
  for (const char* line : kUsage) {
    text += line;
    text += '\n';
  }
  std::cerr << text << std::flush;
}

// Largest alpha the pocket and area measures accept.
const double kLargestAlpha = 1e8;

bool has(const std::string& options, char c) { return options.find(c) != std::string::npos; }

bool is_blank(const std::string& line) {
  for (char c : line)
    if (!std::isspace(static_cast<unsigned char>(c))) return false;
  return true;
}

// Everything one structure's letters share.
struct Run {
  std::vector<Bead> beads;
  std::vector<Pair> edges;
  std::string base;
  std::string name;
  std::string options;
  int cutoff;
  double alpha;
  double probe;
  // Letters x, t and u label the same beads, whose centres and radii no
  // step changes: the first labelling's flags stay on the beads and its
  // size lines are kept for the others, unless it wrote messages of its own.
  bool labelled = false;
  std::string surface_sizes;
  // The simplex list of the beads' balls grown by the probe: the letters p
  // and q triangulate the same balls, so the first of them makes it and the
  // last takes it.
  std::optional<SimplexList> expanded;
  SimplexList& expanded_list() {
    if (!expanded) {
      expanded = expanded_simplex_list(beads, probe);
      // The records of both have the same links.
      expanded->keep_links = has(options, 'p') && has(options, 'q');
    }
    return *expanded;
  }
  SimplexList take_expanded_list() {
    SimplexList list = std::move(expanded_list());
    expanded.reset();
    return list;
  }
};

// Surface flags on the beads, size lines on standard output.
void label_surface(Run& s) {
  if (!s.labelled) {
    std::ostringstream sizes;
    s.labelled = label_surface_atoms(s.beads, s.probe, sizes);
    s.surface_sizes = sizes.str();
  }
  std::cout << s.surface_sizes;
}

// Report type and cusp switch of letter q: the first digit of 0..6 found
// decides both.
void q_switches(const std::string& options, int& report_type, int& cusp) {
  static const struct {
    char digit;
    int type;
    int cusp;
  } kCascade[] = {{'0', 0, 0}, {'1', 1, 0}, {'2', 2, 0}, {'3', 3, 0},
                  {'4', 4, 0}, {'5', 4, 0}, {'6', 4, 1}};
  report_type = 4;
  cusp = 0;
  for (const auto& c : kCascade)
    if (has(options, c.digit)) {
      report_type = c.type;
      cusp = c.cusp;
      return;
    }
}

void step_d(Run& s) { print_pair_keys(s.base + ".del.edges", s.edges); }

void step_a(Run& s) {
  std::vector<Pair> out;
  collect_alpha_edges(s.edges, out, s.cutoff, std::cout);
  print_pair_keys(s.base + ".alpha.edges", out);
}

void step_c(Run& s) {
  std::vector<Pair> out;
  collect_contacts(s.edges, out, s.cutoff, std::cout);
  print_contacts(s.base + ".contacts", out, std::cout);
}

void step_x(Run& s) {
  std::vector<Pair> out;
  label_surface(s);
  collect_contacts(s.edges, out, s.cutoff, std::cout);
  print_atoms_contacts(s.base + ".atoms.contacts", s.beads, out, static_cast<double>(s.cutoff),
                       std::cout);
}

void step_i(Run& s) {
  std::vector<Pair> out;
  collect_interface_contacts(s.edges, out, s.cutoff, std::cout);
  print_contacts(s.base + ".interface.contacts", out, std::cout);
}

void step_t(Run& s) {
  std::vector<Pair> out;
  label_surface(s);
  collect_surface_contacts(s.edges, out, s.cutoff, std::cout);
  print_surface_atom_and_contacts(s.base + ".surface.atoms.contacts", s.beads, out, std::cout);
}

void step_u(Run& s) {
  std::vector<Pair> out;
  label_surface(s);
  collect_interface_contacts(s.edges, out, s.cutoff, std::cout);
  print_interface_residues(s.base + ".surface", s.beads, out, g_interface_define, isInterfacePair);
}

void step_p(Run& s) {
  int pymol = has(s.options, '7') ? 1 : 0;
  extract_pocket_short(s.beads, s.expanded_list(), s.name, pymol, s.probe, s.alpha, std::cout);
}

// Stems of the area reports written in this run.
std::set<std::string> g_contrib_stems;

// The area report lies in the working directory, named after the first four
// characters of the structure's file name (its PDB code), without the
// directory and not past the extension.  A stem that an earlier structure of
// the run took (chain files of one entry, say) gives way to the file name
// without its extension, and that to the same with a number.
void step_q(Run& s) {
  int report_type, cusp;
  q_switches(s.options, report_type, cusp);
  const std::string suffix = "." + std::to_string(report_type) + ".contrib";
  const std::string file = s.name.substr(s.name.rfind('/') + 1);  // npos + 1 is 0
  const std::string whole = file.substr(0, file.find('.', 1));
  std::string stem = whole.substr(0, 4);
  if (g_contrib_stems.count(stem) != 0) {
    const std::string taken = stem;
    stem = whole;
    for (int k = 2; g_contrib_stems.count(stem) != 0; ++k) stem = whole + "-" + std::to_string(k);
    std::fflush(stdout);
    std::cerr << taken << suffix << " holds an earlier structure of this run: " << s.name
              << " goes to " << stem << suffix << std::endl;
  }
  g_contrib_stems.insert(stem);
  extract_area_volume_short(s.beads, s.take_expanded_list(), stem, s.probe, s.alpha, report_type,
                            cusp);
}

// The letters run in this order whatever their order on the command line:
// later steps see the levels, counts and flags that earlier ones left.
// Pockets and areas triangulate the expanded balls and read no Delaunay
// edge.
const struct {
  char letter;
  void (*run)(Run&);
  bool reads_edges;
} kSteps[] = {{'d', step_d, true}, {'a', step_a, true},  {'c', step_c, true},
              {'x', step_x, true}, {'i', step_i, true},  {'t', step_t, true},
              {'u', step_u, true}, {'p', step_p, false}, {'q', step_q, false}};

// Whether any letter given reads the Delaunay edges.
bool reads_edges(const std::string& options) {
  for (const auto& step : kSteps)
    if (step.reads_edges && has(options, step.letter)) return true;
  return false;
}

}  // namespace

void delEdge_of_structure(std::string file, std::string name, std::string options, int cutoff,
                          double alpha, double probe) {
  time_t start = time(nullptr);
  Run s;
  s.name = name;
  s.options = options;
  s.cutoff = cutoff;
  s.alpha = alpha;
  s.probe = probe;
  s.base = rm_file_ext(file);
  if (!read_pdb_or_report(file, s.beads)) return;
  // Not a PDB text (mmCIF, a compressed file) or no protein atom in it.
  if (s.beads.empty()) {
    report_failure("no atoms read from " + file);
    return;
  }

  bool reduced = true;
  if (has(options, 'r')) {
    s.base += ".CA_SC";
    reduced_model_CA_SC(s.beads);
  } else if (has(options, 'k')) {
    s.base += ".CA";
    reduced_model_CA(s.beads);
  } else if (has(options, 'b')) {
    s.base += ".BB";
    reduced_model_BB(s.beads);
  } else if (has(options, 's')) {
    s.base += ".SC";
    reduced_model_SC(s.beads);
    print_pdb(s.base + ".pdb", s.beads);
  } else {
    reduced = false;
  }
  if (reduced) s.probe = 2.8;

  // Without a letter that reads them, the edges only tell a structure that
  // has none; most structures settle that without a triangulation.
  if (reads_edges(options) || !surely_has_delaunay_edge(s.beads)) {
    collect_del_edges(s.beads, s.edges);
    if (s.edges.empty()) {
      std::fflush(stdout);
      std::cerr << s.base << " has no delaunay edges\n";
      return;
    }
  }

  for (const auto& step : kSteps)
    if (has(options, step.letter)) step.run(s);

  time_t end = time(nullptr);
  std::fflush(stdout);
  std::cerr << difftime(end, start) << " seconds for " << s.base << std::endl;
}

int main(int argc, char** argv) {
  int nargs = argc - 1;
  // Letters without a path and a file name cannot name a structure.
  if (nargs < 3) {
    print_usage();
    return 0;
  }
  std::string options = argv[1];
  std::string path = std::string(argv[2]) + "/";
  std::string file_name = argv[3];

  int cutoff = 5;
  double alpha = 0.0;
  double probe = 1.4;
  g_interface_define.clear();
  // A NaN or an infinity would flow into every measure, and a lower
  // infinity is no number the floors below could stand for.
  if (nargs >= 4) {
    cutoff = static_cast<int>(std::strtol(argv[4], nullptr, 10));
    alpha = std::strtod(argv[4], nullptr);
    if (!std::isfinite(alpha)) {
      std::cerr << "alpha is not a finite number: " << argv[4] << std::endl;
      return 1;
    }
    if (alpha < -2.79) {
      std::printf(
          "The alpha value you input has been adjusted to -2.79 by system automatically!\n");
      std::fflush(stdout);
      alpha = -2.79;
    }
    if (nargs >= 5) {
      probe = std::strtod(argv[5], nullptr);
      if (!std::isfinite(probe)) {
        std::cerr << "probe radius is not a finite number: " << argv[5] << std::endl;
        return 1;
      }
      if (probe < 0) probe = 0;
    }
    if (nargs == 6) g_interface_define = argv[6];
  }
  // Pockets and areas grow every ball by alpha squared; beyond this bound it
  // rounds the atoms' own squared radii away and, further up, overflows.
  if ((has(options, 'p') || has(options, 'q')) && alpha > kLargestAlpha) {
    std::cerr << "alpha too large for the letters p and q (at most " << kLargestAlpha
              << "): " << argv[4] << std::endl;
    return 1;
  }

  if (!has(options, 'f') && !has(options, 'l')) {
    std::cerr << "nothing to read: the letters " << options
              << " hold neither f (one structure) nor l (a list of structures)" << std::endl;
    return 1;
  }

  construct_map_of_radius();
  construct_abb_of_all_residues();

  if (has(options, 'f')) {
    delEdge_of_structure(path + file_name, file_name, options, cutoff, alpha, probe);
  } else if (has(options, 'l')) {
    std::ifstream list((path + file_name).c_str());
    if (!list) {
      std::cerr << "error opening file " << file_name << std::endl;
      return 1;
    }
    std::string line;
    while (std::getline(list, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();  // written on another system
      if (is_blank(line)) continue;  // it would name the directory itself
      delEdge_of_structure(path + line, line, options, cutoff, alpha, probe);
    }
    // A directory opens like a file but cannot be read.
    if (list.bad()) {
      std::cerr << "failed to open " << path + file_name << std::endl;
      return 1;
    }
  }
  // A structure that could not be read, or a file or standard output that
  // could not be written, fails the run, after everything else was written.
  flush_standard_output();
  return output_failures() > 0 ? 1 : 0;
}
