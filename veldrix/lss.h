// Least-squares superposition of paired point sets.
#ifndef VELDRIX_LSS_H
#define VELDRIX_LSS_H

#include <valarray>

#include "veldrix/orbmat.h"

// Moves the rows of X (n x 3) so that their mean lies at the origin.
void centerAtZero(orbmat::matrix<double>& X);

// Mean of each of the first three columns.
std::valarray<double> mean(orbmat::matrix<double> X);

// 3 x 3 cross-covariance of the first n rows of X and Y, n = rows of X.
orbmat::matrix<double> var(orbmat::matrix<double> X, orbmat::matrix<double> Y);

// Root-mean-square deviation of the best fit of P and Q, given the singular
// values s of their cross-covariance.
double rmsd(orbmat::matrix<double> P, orbmat::matrix<double> Q, std::valarray<double> s);

// Fits the atoms of B onto the atoms of A they are paired with (pairs is
// rows of A x rows of B, non-zero = paired).  Moves B, paired or not, by the
// paired centroid and the rotation, and A by its paired centroid; R receives
// the rotation (B atom b goes to R b), always a proper one (determinant 1).
// Returns the RMSD of the fit.
double Superimpose(orbmat::matrix<double>& A, orbmat::matrix<double>& B, orbmat::matrix<double>& R,
                   orbmat::matrix<int> pairs);

#endif
