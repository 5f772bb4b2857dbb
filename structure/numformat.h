// Number text for the hot report writers: the characters an output stream
// in its default state writes, without the stream's locale machinery.
#ifndef STRUCTURE_NUMFORMAT_H
#define STRUCTURE_NUMFORMAT_H

#include <cstddef>

// Room that every call below needs at out: it may write scratch bytes past
// the end of the text it returns, up to this many from out.
const size_t kNumberTextMax = 32;

// Writes v as `stream << v` does with default flags and precision 6 (printf
// "%g": six significant digits, "-0", "1e+06", "inf", "-nan").  Returns the
// end of the text; nothing is terminated.
char* put_general(char* out, double v);

// Writes v in decimal, as `stream << v` does.
char* put_integer(char* out, long long v);

// Copies a NUL-terminated text without its terminator.
char* put_text(char* out, const char* text);

#endif
