// Helpers for tests of the pocket aligner.
#ifndef TESTS_SUPPORT_VELDRIX_RUN_H
#define TESTS_SUPPORT_VELDRIX_RUN_H

#include <string>
#include <vector>

namespace vtest {

// A fresh temporary directory, removed with its contents on destruction.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct RunResult {
    int status;          // exit status, -1 when the program did not exit normally
    std::string output;  // standard output and standard error together
};

// Runs the veldrix binary with the given arguments in directory dir.
RunResult run_veldrix(const std::string& dir, const std::vector<std::string>& args);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& text);
bool file_exists(const std::string& path);
std::vector<std::string> lines_of(const std::string& text);

}  // namespace vtest

#endif
