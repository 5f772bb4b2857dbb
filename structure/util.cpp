#include "structure/util.h"

#include <algorithm>
#include <climits>
#include <ctime>

namespace {

// The stem of one path component: the dot-separated pieces without the
// last one (empty pieces dropped), with a leading '.' kept.
std::string strip_component(const std::string& comp) {
  std::vector<std::string> pieces;
  str_split(comp, pieces, ".");
  if (pieces.empty()) return comp;  // nothing but dots
  std::string result = pieces[0];
  for (size_t i = 1; i + 1 < pieces.size(); ++i) result += "." + pieces[i];
  if (comp[0] == '.') result = "." + result;
  return result;
}

}  // namespace

std::string rm_file_ext(std::string name) {
  size_t slash = name.rfind('/');
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  if (start >= name.size()) return name;  // a directory: no file name to strip
  return name.substr(0, start) + strip_component(name.substr(start));
}

void str_split(std::string s, std::vector<std::string>& out, std::string delims) {
  size_t begin = 0;
  while (begin <= s.size()) {
    size_t p = s.find_first_of(delims, begin);
    if (p == std::string::npos) {
      if (begin < s.size()) out.push_back(s.substr(begin));
      return;
    }
    if (p > begin) out.push_back(s.substr(begin, p - begin));
    begin = p + 1;
  }
}

void Tokenize(const std::string& s, std::vector<std::string>& out, const std::string& delims) {
  std::string::size_type start = s.find_first_not_of(delims, 0);
  std::string::size_type end = s.find_first_of(delims, start);
  while (start != std::string::npos || end != std::string::npos) {
    out.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
    start = s.find_first_not_of(delims, end);
    end = s.find_first_of(delims, start);
  }
}

std::string upper_path_and_cur_dir(std::string& path) {
  while (!path.empty() && path[path.size() - 1] == '/') path.erase(path.size() - 1);
  bool absolute = !path.empty() && path[0] == '/';
  std::vector<std::string> comps;
  str_split(path, comps, "/");
  if (comps.empty()) {  // empty or only '/': the parent is the path itself
    path = absolute ? "/" : "./";
    return std::string();
  }
  std::string parent;
  if (comps.size() == 1) {
    parent = absolute ? "/./" : "./";
  } else {
    if (absolute) parent = "/";
    for (size_t i = 0; i + 1 < comps.size(); ++i) parent += comps[i] + "/";
  }
  path = parent;
  return comps.back();
}

void sortindex(std::vector<int>& v) { std::sort(v.begin(), v.end()); }

bool common_id_judge(std::vector<int>& a, std::vector<int>& b) {
  for (int x : a)
    if (std::find(b.begin(), b.end(), x) != b.end()) return true;
  return false;
}

void common_id(std::vector<int>& a, std::vector<int>& b, std::vector<int>& out) {
  for (int x : a)
    if (std::find(b.begin(), b.end(), x) != b.end() &&
        std::find(out.begin(), out.end(), x) == out.end())
      out.push_back(x);
}

namespace {

// The first value that is not smaller (want_max) or not larger than every
// other value.  With a NaN among the values the first NaN, or an earlier
// value that passes, is returned.
double first_extreme(const double* v, int n, bool want_max) {
  for (int i = 0; i < n; ++i) {
    bool ok = true;
    for (int j = 0; j < n && ok; ++j)
      if (j != i && (want_max ? v[i] < v[j] : v[i] > v[j])) ok = false;
    if (ok) return v[i];
  }
  return v[n - 1];
}

}  // namespace

double max_val4(double a, double b, double c, double d) {
  const double v[] = {a, b, c, d};
  return first_extreme(v, 4, true);
}

double max_val5(double a, double b, double c, double d, double e) {
  const double v[] = {a, b, c, d, e};
  return first_extreme(v, 5, true);
}

double min_val3(double a, double b, double c) {
  const double v[] = {a, b, c};
  return first_extreme(v, 3, false);
}

double min_val4(double a, double b, double c, double d) {
  const double v[] = {a, b, c, d};
  return first_extreme(v, 4, false);
}

double min_val5(double a, double b, double c, double d, double e) {
  const double v[] = {a, b, c, d, e};
  return first_extreme(v, 5, false);
}

int powerint(int a, int n) {
  if (n == 0 || n == INT_MIN) return 1;
  if (n < 0) {
    if (a == 1) return 1;
    if (a == -1) return (n % 2 == 0) ? 1 : -1;
    return 0;  // |a| >= 2 truncates to 0; a = 0 has no quotient, 0 is returned
  }
  // Square and multiply in unsigned arithmetic: the same bits as n wrapping
  // int multiplications, without their undefined overflow.
  unsigned result = 1, base = static_cast<unsigned>(a);
  unsigned e = static_cast<unsigned>(n);
  while (e) {
    if (e & 1u) result *= base;
    base *= base;
    e >>= 1;
  }
  return static_cast<int>(result);
}

void Pause(int seconds) {
  time_t start = time(nullptr);
  while (difftime(time(nullptr), start) < seconds) {
  }
}
