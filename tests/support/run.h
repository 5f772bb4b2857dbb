// Helpers for end-to-end tests: fresh temporary directories, running a
// program in one and capturing what it prints, and file access.
#ifndef TESTS_SUPPORT_RUN_H
#define TESTS_SUPPORT_RUN_H

#include <string>
#include <vector>

namespace testrun {

// A fresh empty directory under the system temporary directory, removed
// with everything in it when the object goes out of scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string file(const std::string& name) const;

 private:
  std::string path_;
};

struct RunResult {
  int status;       // exit status; 128 + signal number when killed by a signal
  std::string out;  // everything written to standard output
  std::string err;  // everything written to standard error
};

// Runs binary with the given arguments (argv[1]...) in the working
// directory workdir, standard input empty, and waits for it.
RunResult run_program(const std::string& binary, const std::vector<std::string>& args,
                      const std::string& workdir);
// run_program with the built alvex, veldrix or veldrix-old program.
RunResult run_alvex(const std::vector<std::string>& args, const std::string& workdir);
RunResult run_veldrix(const std::vector<std::string>& args, const std::string& workdir);
RunResult run_veldrix_old(const std::vector<std::string>& args, const std::string& workdir);

// The whole content of a file; an empty string when it cannot be read.
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);
void write_file(const std::string& path, const std::string& content);
void copy_file(const std::string& from, const std::string& to);
// Names of the entries of a directory, sorted.
std::vector<std::string> list_dir(const std::string& dir);
// Splits a text into lines (without their '\n'); a final line without '\n'
// counts too.
std::vector<std::string> split_lines(const std::string& text);

}  // namespace testrun

#endif
