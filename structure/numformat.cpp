#include "structure/numformat.h"

#include <charconv>

// The general format of std::to_chars with a precision is defined as that of
// printf's %.6g in the C locale, which is what a default stream produces.
char* format_double(char* out, double v) {
  return std::to_chars(out, out + kDoubleChars, v, std::chars_format::general, 6).ptr;
}
