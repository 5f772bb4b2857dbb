// Number text for the hot report writers: the characters an output stream
// in its default state, or printf with the formats named below, writes,
// without their locale machinery.
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

// The printf conversions of the fixed-width report rows.  Each writes what
// snprintf would for the format in its comment and returns the end of the
// text; out needs room for the text or kNumberTextMax bytes, whichever is
// more.  A width smaller than the text is no limit, as in printf.

// "%*d": right-aligned in width columns.
char* put_integer(char* out, long long v, int width);
// "%-*d": left-aligned, blanks after it.
char* put_integer_left(char* out, long long v, int width);
// "%*s" and "%-*s".
char* put_text(char* out, const char* text, int width);
char* put_text_left(char* out, const char* text, int width);

// Room that put_fixed needs for any double at a precision of at most 17:
// the 309 integer digits of the largest one, sign, point and fraction.
const size_t kFixedTextMax = 336;

// "%*.*f": v rounded as printf rounds (the exact binary value, ties to
// even) to `precision` (0 to 17) decimals, right-aligned in width columns;
// "-0.000" keeps its sign, "inf" and "-nan" are written as printf does.
// out needs room for max(width, kFixedTextMax) bytes.
char* put_fixed(char* out, double v, int width, int precision);

#endif
