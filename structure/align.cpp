#include "structure/align.h"

void traceback(std::vector<std::vector<std::vector<From>>>& from, size_t i, size_t j,
               std::vector<std::vector<int>>& path, bool single) {
  if (i == 0 && j == 0) return;
  if (i >= from.size() || j >= from[i].size()) return;
  const std::vector<From>& moves = from[i][j];
  for (size_t k = 0; k < moves.size(); ++k) {
    if (k > 0 && !path.empty()) path.pop_back();
    switch (moves[k]) {
      case 0:
        if (i == 0 || j == 0) break;
        path.push_back({static_cast<int>(i - 1), static_cast<int>(j - 1)});
        traceback(from, i - 1, j - 1, path, single);
        break;
      case 1:
        if (j == 0) break;
        path.push_back({-1, static_cast<int>(j - 1)});
        traceback(from, i, j - 1, path, single);
        break;
      case 2:
        if (i == 0) break;
        path.push_back({static_cast<int>(i - 1), -1});
        traceback(from, i - 1, j, path, single);
        break;
      default:
        break;
    }
    if (single) break;
  }
}
