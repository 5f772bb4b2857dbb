// Small stateless helpers: path splitting, integer lists, min/max of a few
// doubles, integer power, busy wait and two conversion templates.
#ifndef STRUCTURE_UTIL_H
#define STRUCTURE_UTIL_H

#include <sstream>
#include <string>
#include <vector>

// The name without its extension.  Only the last path component is looked
// at, so the result always stays in the directory of the input:
// /data/run.2/1abc.pdb -> /data/run.2/1abc, 1abc.pdb.gz -> 1abc.pdb.
std::string rm_file_ext(std::string name);

// Appends the non-empty pieces of s between delimiter characters.
void str_split(std::string s, std::vector<std::string>& out, std::string delims);
void Tokenize(const std::string& s, std::vector<std::string>& out, const std::string& delims);

// Returns the last component of path and replaces path by its parent
// directory (with a trailing '/'; "./" or "/./" for a single component).
std::string upper_path_and_cur_dir(std::string& path);

void sortindex(std::vector<int>& v);
bool common_id_judge(std::vector<int>& a, std::vector<int>& b);
void common_id(std::vector<int>& a, std::vector<int>& b, std::vector<int>& out);

// Inline: the complex judges call these for every simplex.
inline double max_val2(double a, double b) { return b <= a ? a : b; }  // a when b <= a, else b
inline double min_val2(double a, double b) { return b <= a ? b : a; }  // b when b <= a, else a
inline double max_val3(double a, double b, double c) { return max_val2(max_val2(a, b), c); }
double max_val4(double a, double b, double c, double d);
double max_val5(double a, double b, double c, double d, double e);
double min_val3(double a, double b, double c);
double min_val4(double a, double b, double c, double d);
double min_val5(double a, double b, double c, double d, double e);

// a^n in wrapping int arithmetic; for n < 0 the truncating quotient 1/a^|n|.
int powerint(int a, int n);

// Busy-waits until at least the given number of whole seconds have passed.
void Pause(int seconds);

template <class T>
std::string toString(const T& value) {
  std::ostringstream s;
  s << value;
  return s.str();
}

template <class T, class U>
std::vector<U> array2vector(T* array, int n) {
  std::vector<U> v;
  if (n <= 0) return v;
  v.reserve(n);
  for (int i = 0; i < n; ++i) v.push_back(U(array[i]));
  return v;
}

#endif
