#include "veldrix/io.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <system_error>
#include <vector>
#include <filesystem>

namespace {

// Opens path for reading; a directory counts as unreadable.
bool open_input(const std::string& path, std::ifstream& in) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  in.open(path);
  return in.is_open();
}

// Every whitespace-separated token of the file, in order, with the line
// (counted from 1) on which it stands.  Returns false when the file cannot
// be opened or reading fails.
bool read_tokens(const std::string& path, std::vector<std::string>& tokens,
                 std::vector<int>* lines = nullptr) {
  std::ifstream in;
  if (!open_input(path, in)) return false;
  std::ostringstream whole;
  whole << in.rdbuf();
  if (in.bad()) return false;
  const std::string text = whole.str();
  // The blanks of the classic locale, which separate tokens for >> too.
  auto blank = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  };
  int line = 1;
  for (std::size_t i = 0; i < text.size();) {
    if (blank(text[i])) {
      line += text[i] == '\n';
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && !blank(text[j])) ++j;
    tokens.push_back(text.substr(i, j - i));
    if (lines) lines->push_back(line);
    i = j;
  }
  return true;
}

void fail(const std::string& message) {
  std::cerr << message << std::endl;
  std::exit(1);
}

double to_number(const std::string& tok) { return std::strtod(tok.c_str(), nullptr); }

// Ends the run when a number read from path is unusable: not finite, or, as
// a coordinate, so large that its square (and so any distance) overflows,
// or, as a frequency, negative.
void check_number(const std::string& path, int line, const std::string& what,
                  const std::string& token, double v) {
  std::string fault;
  if (!std::isfinite(v))
    fault = "is not a finite number";
  else if (what == "coordinate" && !std::isfinite(v * v))
    fault = "is too large (its square overflows)";
  else if (what == "frequency" && v < 0)
    fault = "is negative";
  if (!fault.empty())
    fail(path + " line " + std::to_string(line) + ": " + what + " " + token + " " + fault);
}

// Token k (counted from 1) of every atom, k in 1..5.
std::valarray<std::string> type_tokens(const std::vector<std::string>& tokens, std::size_t k) {
  std::valarray<std::string> out(tokens.size() / 5 + (tokens.size() % 5 >= k ? 1 : 0));
  std::size_t n = 0;
  for (std::size_t t = k - 1; t < tokens.size(); t += 5) out[n++] = tokens[t];
  return out;
}

// Wraps s in single quotes for the shell.
std::string shell_quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'')
      q += "'\\''";
    else
      q += c;
  }
  return q + "'";
}

}  // namespace

std::valarray<double> LoadCoordinates(std::string path) {
  std::vector<std::string> tokens;
  std::vector<int> lines;
  if (!read_tokens(path, tokens, &lines)) fail("Could not open " + path);
  std::vector<double> v;
  v.reserve(tokens.size() * 3 / 5 + 3);
  for (std::size_t t = 0; t < tokens.size(); ++t)
    if (t % 5 < 3) {
      v.push_back(to_number(tokens[t]));
      check_number(path, lines[t], "coordinate", tokens[t], v.back());
    }
  return std::valarray<double>(v.data(), v.size());
}

std::valarray<std::string> LoadAtomTypes(std::string path) {
  std::vector<std::string> tokens;
  if (!read_tokens(path, tokens)) fail("Couldn't open " + path + " in LoadAtomTypes(string file)");
  return type_tokens(tokens, 4);
}

std::valarray<std::string> LoadResTypes(std::string path) {
  std::vector<std::string> tokens;
  if (!read_tokens(path, tokens)) fail("Couldn't open " + path + " in LoadResTypes(string file)");
  return type_tokens(tokens, 5);
}

std::valarray<double> LoadOFreq(std::string path, int n) {
  if (path == "null") return std::valarray<double>(1.0, n > 0 ? static_cast<std::size_t>(n) : 0);
  std::vector<std::string> tokens;
  std::vector<int> lines;
  if (!read_tokens(path, tokens, &lines)) fail("Could not open " + path);
  std::valarray<double> v(tokens.size());
  for (std::size_t t = 0; t < tokens.size(); ++t) {
    v[t] = to_number(tokens[t]);
    check_number(path, lines[t], "frequency", tokens[t], v[t]);
  }
  return v;
}

void initializeS(int mode, orbmat::matrix<int>& pairs, orbmat::matrix<double>,
                 orbmat::matrix<double>, std::string nameA, std::string nameB) {
  if (mode == 0) {
    const orbmat::uint64 n = orbmat::min(pairs.rowno(), pairs.colno());
    for (orbmat::uint64 i = 0; i < n; ++i) pairs(i, i) = 1;
    return;
  }

  const std::string out = "seedmat.out";
  const std::string cmd =
      "./seedmat " + shell_quote(nameA) + " " + shell_quote(nameB) + " > " + out;
  const int status = std::system(cmd.c_str());
  std::vector<std::string> tokens;
  const bool readable = read_tokens(out, tokens);
  std::remove(out.c_str());
  if (status != 0) {
    std::cerr << "VELDRIX: seedmat failed, pairs left as they were" << std::endl;
    return;
  }
  if (!readable) {
    std::cerr << "Could not open " << out << std::endl;
    return;
  }
  const double rows = static_cast<double>(pairs.rowno());
  const double cols = static_cast<double>(pairs.colno());
  for (std::size_t t = 0; t + 1 < tokens.size(); t += 2) {
    const double r = std::trunc(to_number(tokens[t]));
    const double c = std::trunc(to_number(tokens[t + 1]));
    if (r >= 0 && r < rows && c >= 0 && c < cols)
      pairs(static_cast<orbmat::uint64>(r), static_cast<orbmat::uint64>(c)) = 1;
  }
}
