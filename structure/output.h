// What every report writer shares: opening a file for writing, checking
// that everything reached it, and the run's record of failed outputs.
//
// A file that cannot be created or written is reported on standard error
// and counted; the writer goes on with the next file and the run with the
// next step and structure, and the program ends with exit status 1 when the
// count is not 0.
#ifndef STRUCTURE_OUTPUT_H
#define STRUCTURE_OUTPUT_H

#include <cstdio>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

// Creates or truncates path for writing.  When that fails, writes message
// and the path on standard error, counts the failure and returns false.
bool open_output(std::ofstream& out, const std::string& path,
                 const char* message = "error opening file to write ");
// The same for a C stream; nullptr when the file cannot be created.
std::FILE* open_output(const std::string& path);

// Flushes and closes a file opened above.  When any write or the close
// failed, writes "error writing file " and the path on standard error,
// counts the failure and returns false.  A null FILE is passed over.
bool close_output(std::ofstream& out, const std::string& path);
bool close_output(std::FILE* file, const std::string& path);

// Flushes standard output (both the C and the C++ stream); a write that
// failed there is reported as "error writing standard output" and counted.
bool flush_standard_output();

// Writes message on standard error and counts it like a failed output: for
// an input that cannot be used, which must not end the run either.
void report_failure(const std::string& message);

// Failures counted so far in this process.
int output_failures();

// Gathers the text of one file in memory and hands it to the stream in large
// blocks, which costs far less than many small stream insertions.  Call
// flush() before the stream is checked or closed.
class BlockWriter {
 public:
  explicit BlockWriter(std::ostream& out) : out_(out), buf_(1 << 16), used_(0) {}
  ~BlockWriter() { flush(); }
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  // Where to write the next n bytes (n at most 64 KiB); hand the end of
  // what was written to commit().
  char* room(size_t n) {
    if (used_ + n > buf_.size()) flush();
    return buf_.data() + used_;
  }
  void commit(const char* end) { used_ = static_cast<size_t>(end - buf_.data()); }
  void flush() {
    if (used_ > 0) out_.write(buf_.data(), static_cast<std::streamsize>(used_));
    used_ = 0;
  }

 private:
  std::ostream& out_;
  std::vector<char> buf_;
  size_t used_;
};

// PDB keeps an atom serial in five columns and a residue number in four;
// larger numbers wrap around, as PDB writers do, instead of pushing the
// columns after them aside.
int pdb_serial(int serial);
int pdb_residue_number(int number);

#endif
