// A five-point test pocket for the veldrix end-to-end tests, and moved copies.
#ifndef TESTS_SUPPORT_VELDRIX_POCKET_H
#define TESTS_SUPPORT_VELDRIX_POCKET_H

#include <cstddef>
#include <string>
#include <vector>

namespace testpocket {

// Five non-coplanar points with atom and residue types, one per line.
extern const char* const kPocket;
extern const double kIdentity[3][3];
extern const double kNoShift[3];

// The first n points of kPocket moved as R x + shift.
std::string moved(std::size_t n, const double R[3][3], const double shift[3]);

// Every whitespace-separated token of text read as a number.
std::vector<double> numbers(const std::string& text);

}  // namespace testpocket

#endif
