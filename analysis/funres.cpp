#include "analysis/funres.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>

#include "pockets/pocket.h"

void funresi_read(std::string name, std::vector<info>& atoms, std::map<int, int>& residue_start) {
  const std::string path = pocket_base_name(name) + ".funres";
  std::ifstream in(path.c_str());
  if (!in) return;
  const int n = static_cast<int>(atoms.size());
  // Where each residue run starts, ascending: a run ends where the next one
  // begins.  With residues numbered 1, 2, ... in atom order this is the
  // first atom of residue r + 1.
  std::vector<int> starts;
  for (const auto& entry : residue_start) starts.push_back(entry.second);
  std::sort(starts.begin(), starts.end());

  std::string line;
  while (std::getline(in, line)) {
    const char* text = line.c_str();
    char* end = nullptr;
    errno = 0;
    const long r = std::strtol(text, &end, 10);
    if (end == text || errno == ERANGE || r < INT_MIN || r > INT_MAX) continue;
    const auto it = residue_start.find(static_cast<int>(r));
    if (it == residue_start.end()) continue;
    const int first = std::max(0, it->second);
    const auto next = std::upper_bound(starts.begin(), starts.end(), it->second);
    const int last = next == starts.end() ? n : std::min(n, *next);
    for (int i = first; i < last; ++i) atoms[i].functional_residue = true;
  }
}
