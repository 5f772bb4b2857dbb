// Pocket point files, observed-frequency files and the initial pairing.
#ifndef VELDRIX_IO_H
#define VELDRIX_IO_H

#include <string>
#include <valarray>

#include "veldrix/orbmat.h"

// A pocket file holds five whitespace-separated tokens per atom:
// x y z atomtype restype.  Each loader reads the whole file and keeps its
// own share of the tokens; a file that cannot be read, a coordinate or
// frequency that is not finite, a coordinate whose square overflows and a
// negative frequency end the program with a message on standard error
// naming the file and line, and exit status 1.

// x, y and z of every atom, in file order (three values per atom).
std::valarray<double> LoadCoordinates(std::string path);
// The fourth token of every atom.
std::valarray<std::string> LoadAtomTypes(std::string path);
// The fifth token of every atom.
std::valarray<std::string> LoadResTypes(std::string path);
// Every number of a frequency file, or n ones when path is "null".
std::valarray<double> LoadOFreq(std::string path, int n);

// Seeds the pair matrix (rows: atoms of A, columns: atoms of B).  Mode 0
// pairs atom i of A with atom i of B for every column i.  Any other mode asks
// the outside program ./seedmat for index pairs "row column ..." on its
// standard output; pairs outside the matrix are ignored.  A and B are not
// read.
void initializeS(int mode, orbmat::matrix<int>& pairs, orbmat::matrix<double> A,
                 orbmat::matrix<double> B, std::string nameA, std::string nameB);

#endif
