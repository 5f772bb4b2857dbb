#include "geometry/bfs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>

#include "geometry/edges.h"
#include "lib/hash.h"
#include "structure/bead.h"
#include "structure/file.h"
#include "structure/util.h"

void bfs(std::vector<int>& frontier, std::vector<int>& next,
         std::vector<std::vector<int>>& adjacency, bool* visited) {
  for (int a : frontier)
    for (int b : adjacency[a])
      if (!visited[b]) {
        next.push_back(b);
        visited[b] = true;
      }
}

void patch_around_atom(int atom, std::vector<std::vector<int>>& layers,
                       std::vector<std::vector<int>>& adjacency, int k, unsigned long n) {
  std::unique_ptr<bool[]> visited(new bool[n]());
  layers[0].push_back(atom);
  visited[atom] = true;
  for (int j = 1; j <= k; ++j) bfs(layers[j - 1], layers[j], adjacency, visited.get());
}

namespace {

bool has(const std::string& letters, char c) { return letters.find(c) != std::string::npos; }

// Reads the structure and its alpha-edge graph, opens the k layer files and
// hands every (centre, layer j, layer atoms, file j) to `write`, centres in
// index order and layers in increasing j.
void for_each_layer(const std::string& path, const std::string& letters, int k, const char* suffix,
                    bool reserve, std::ostream& log,
                    const std::function<void(std::vector<Bead>&, int, int, const std::vector<int>&,
                                             std::ofstream&)>& write) {
  time_t start = time(nullptr);
  std::string base = rm_file_ext(path);
  std::vector<Bead> beads;
  read_pdb(path, beads);
  if (has(letters, 'r')) {
    base += ".CA_SC";
    reduced_model_CA_SC(beads);
  } else if (has(letters, 'k')) {
    base += ".CA";
    reduced_model_CA(beads);
  } else if (has(letters, 'b')) {
    base += ".BB";
    reduced_model_BB(beads);
  } else if (has(letters, 's')) {
    base += ".SC";
    reduced_model_SC(beads);
  }

  size_t n = beads.size();
  StringHash<int> index;
  index.initialize(static_cast<unsigned>(2 * n));
  for (size_t i = 0; i < n; ++i) index.insert(beads[i].atom_key, static_cast<int>(i));
  std::vector<std::vector<int>> adjacency(n);
  read_alpha_edges(base + ".alpha.edges", adjacency, beads, index, near_sequence_filter, log);

  int layers_wanted = k > 0 ? k : 0;
  std::vector<std::ofstream> files(layers_wanted);
  for (int i = 1; i <= layers_wanted; ++i) {
    std::string name = base + "." + toString(i) + suffix;
    files[i - 1].open(name.c_str(), std::ios::out | std::ios::trunc);
    if (!files[i - 1].is_open()) {
      std::fflush(stdout);
      std::cout << name << " not successfully opened, exit program." << std::endl;
      std::exit(1);
    }
  }

  // The visited flags are cleared after each centre from its own layers,
  // which keeps the whole pass linear in the sizes of the layers.
  std::unique_ptr<bool[]> visited(new bool[n > 0 ? n : 1]());
  std::vector<std::vector<int>> layers(layers_wanted + 1);
  for (size_t c = 0; c < n; ++c) {
    for (auto& l : layers) l.clear();
    layers[0].push_back(static_cast<int>(c));
    visited[c] = true;
    for (int j = 1; j <= layers_wanted; ++j) {
      if (reserve) layers[j].reserve(50);
      bfs(layers[j - 1], layers[j], adjacency, visited.get());
      write(beads, static_cast<int>(c), j, layers[j], files[j - 1]);
    }
    for (auto& l : layers)
      for (int a : l) visited[a] = false;
  }

  for (auto& f : files) f.close();
  time_t end = time(nullptr);
  std::cerr << base << " takes " << difftime(end, start) << " seconds to finish" << std::endl;
}

}  // namespace

void neighbors_at_layer(std::string path, std::string letters, int k, std::ostream& log) {
  bool interface_only = has(letters, 'i');
  for_each_layer(path, letters, k, ".neighbors", true, log,
                 [interface_only](std::vector<Bead>& beads, int c, int,
                                  const std::vector<int>& layer, std::ofstream& out) {
                   const Bead& centre = beads[c];
                   std::string line = centre.atom_key;
                   if (line.size() < 16) line.append(16 - line.size(), ' ');
                   line += "| ";
                   for (int m : layer) {
                     if (interface_only && beads[m].chain_id == centre.chain_id) continue;
                     line += ' ';
                     line += beads[m].atom_key;
                   }
                   line += '\n';
                   out << line;
                 });
}

void pairs_of_layer(std::string path, std::string letters, int k, std::ostream& log) {
  bool interface_only = has(letters, 'i');
  for_each_layer(path, letters, k, ".edges", false, log,
                 [interface_only, &log](std::vector<Bead>& beads, int c, int j,
                                        const std::vector<int>& layer, std::ofstream& out) {
                   Bead& centre = beads[c];
                   for (int m : layer) {
                     if (m < c) continue;
                     Bead& other = beads[m];
                     bool same_chain = centre.chain_id == other.chain_id;
                     if (same_chain && near_sequence_filter(centre, other)) continue;
                     if (j <= 2 && alpha_level_of(centre, other, log) >= 6) continue;
                     if (interface_only && same_chain) continue;
                     Pair p;
                     p.set_pair(&centre, &other, ALPHA_LEVEL_UNSET);
                     p.print_pair(out, log);
                   }
                 });
}
