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
#include <string>

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

// Failures counted so far in this process.
int output_failures();

// PDB keeps an atom serial in five columns and a residue number in four;
// larger numbers wrap around, as PDB writers do, instead of pushing the
// columns after them aside.
int pdb_serial(int serial);
int pdb_residue_number(int number);

#endif
