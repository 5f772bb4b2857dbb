#include "structure/output.h"

#include <iostream>

namespace {

int g_failures = 0;

bool fail(const std::string& message) {
  ++g_failures;
  std::cerr << message << std::endl;
  return false;
}

}  // namespace

bool open_output(std::ofstream& out, const std::string& path, const char* message) {
  out.open(path.c_str());
  if (!out) return fail(message + path);
  return true;
}

std::FILE* open_output(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) fail("error opening file to write " + path);
  return file;
}

bool close_output(std::ofstream& out, const std::string& path) {
  if (!out.is_open()) return true;
  out.close();
  if (out.fail()) return fail("error writing file " + path);
  return true;
}

bool close_output(std::FILE* file, const std::string& path) {
  if (file == nullptr) return true;
  bool bad = std::ferror(file) != 0;
  if (std::fclose(file) != 0) bad = true;
  if (bad) return fail("error writing file " + path);
  return true;
}

bool flush_standard_output() {
  std::cout.flush();
  bool bad = std::cout.fail();
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) bad = true;
  if (bad) return fail("error writing standard output");
  return true;
}

void report_failure(const std::string& message) { fail(message); }

int output_failures() { return g_failures; }

int pdb_serial(int serial) { return serial > 99999 ? serial % 100000 : serial; }

int pdb_residue_number(int number) { return number > 9999 ? number % 10000 : number; }
