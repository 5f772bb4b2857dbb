// Number formatting without streams, for the writers of large files.
#ifndef STRUCTURE_NUMFORMAT_H
#define STRUCTURE_NUMFORMAT_H

#include <cstddef>

// Room enough for any result of format_double.
constexpr std::size_t kDoubleChars = 32;

// Writes v exactly as an output stream in its default state writes a double
// (general format, six significant digits: "1.5", "0.0001", "1.23457e+06",
// "inf", "-nan") into out, which has room for kDoubleChars characters, and
// returns the end of what it wrote. No terminating zero is written.
char* format_double(char* out, double v);

#endif
