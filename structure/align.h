// Traceback of a pairwise alignment computed by dynamic programming.
#ifndef STRUCTURE_ALIGN_H
#define STRUCTURE_ALIGN_H

#include <cstddef>
#include <vector>

// One move into a cell: 0 diagonal from (i-1, j-1), 1 from (i, j-1)
// (second-sequence position against a gap), 2 from (i-1, j) (first-sequence
// position against a gap).
typedef int From;

// Walks from cell (i, j) back to (0, 0), appending one {i or -1, j or -1}
// pair per step to path.  With single, only the first stored move of each
// cell is followed; otherwise every stored move is followed depth first, and
// before each move after the first the last pair of path is removed.
// Moves outside 0..2 and moves that would leave the table are passed over.
void traceback(std::vector<std::vector<std::vector<From>>>& from, size_t i, size_t j,
               std::vector<std::vector<int>>& path, bool single);

#endif
