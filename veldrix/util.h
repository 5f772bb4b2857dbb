// Pair weights and small helpers of the alignment driver.
#ifndef VELDRIX_UTIL_H
#define VELDRIX_UTIL_H

#include <string>
#include <valarray>

#include "veldrix/orbmat.h"

// First character of a type as a one-character string ("" for an empty type).
std::string first_letter(const std::string& type);

// Reward of pairing atom i of A with atom j of B: atom-letter and
// residue-letter bonuses, scaled by the mean observed frequency of the two
// atoms.  Rows follow atomA, columns atomB; the residue types and
// frequencies must be at least as long.  residueBonus is the reward for
// equal residue letters.
orbmat::matrix<double> modifying_weights(const std::valarray<std::string>& atomA,
                                         const std::valarray<std::string>& resA,
                                         const std::valarray<double>& freqA,
                                         const std::valarray<std::string>& atomB,
                                         const std::valarray<std::string>& resB,
                                         const std::valarray<double>& freqB,
                                         double residueBonus = 10);

// x^n by repeated squaring.
double integer_power(double x, int n);

#endif
