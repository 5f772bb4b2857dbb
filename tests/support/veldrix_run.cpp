#include "support/veldrix_run.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vtest {

ScratchDir::ScratchDir()
{
    std::string templ = (std::filesystem::temp_directory_path() / "veldrix-test-XXXXXX").string();
    if (!mkdtemp(&templ[0])) throw std::runtime_error("cannot create a scratch directory");
    path_ = templ;
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

RunResult run_veldrix(const std::string& dir, const std::vector<std::string>& args)
{
    auto quote = [](const std::string& s) {
        std::string q = "'";
        for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    };
    std::string cmd = "cd " + quote(dir) + " && " + quote(VELDRIX_BIN);
    for (const std::string& a : args) cmd += " " + quote(a);
    RunResult r{-1, ""};
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.output.append(buf, n);
    const int st = pclose(p);
    r.status = (st != -1 && WIFEXITED(st)) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

}  // namespace vtest
