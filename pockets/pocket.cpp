#include "pockets/pocket.h"

#include <string>
#include <utility>

PocketRanking rank_pockets(const std::vector<pocket>& pockets) {
  const int n = static_cast<int>(pockets.size());
  std::vector<int> ids(n), keys(n);
  for (int i = 0; i < n; ++i) {
    ids[i] = i + 1;
    keys[i] = static_cast<int>(pockets[i].tetrahedra.size());
  }
  // Exchange sort: position i is compared with every later position and
  // swapped whenever the later key is strictly smaller.  The exact exchange
  // sequence decides the order of equal keys, so it must not be replaced by a
  // library sort.
  for (int i = 0; i + 1 < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      if (keys[j] < keys[i]) {
        std::swap(keys[i], keys[j]);
        std::swap(ids[i], ids[j]);
      }
    }
  }
  PocketRanking r;
  r.rank_of.assign(n, 0);
  r.order.assign(n, 0);
  for (int k = 0; k < n; ++k) {
    r.order[k] = ids[k] - 1;
    r.rank_of[ids[k] - 1] = k + 1;
  }
  return r;
}

PocketRanking number_pockets(std::vector<pocket>& pockets) {
  PocketRanking r = rank_pockets(pockets);
  for (size_t i = 0; i < pockets.size(); ++i) pockets[i].number = r.rank_of[i];
  return r;
}

std::string pocket_base_name(const std::string& name) {
  const std::string::size_type p = name.find(".pdb");
  return p == std::string::npos ? name : name.substr(0, p);
}
