// Thresholded one-to-one assignment of the atoms of two pockets: a min-cost
// flow on the bipartite graph source -> A atoms -> B atoms -> sink, found by
// successive augmenting paths from a single relaxation sweep in node order.
//
// Nodes: 0 source, 1 sink, 2 + i atom i of A, nA + 2 + j atom j of B.
#ifndef VELDRIX_LPS_H
#define VELDRIX_LPS_H

#include <valarray>

#include "veldrix/orbmat.h"

// The "infinite" distance of an unreached node.
const double kUnreached = 1073741824.0;  // 2^30

// Cost of the edge between an A atom and a B atom at distance d.
inline double pair_cost(double d, double lambda, double weight) {
  return d - lambda - lambda * weight;
}

// Replaces pairs (nA x nB) by a new 0/1 pairing for threshold lambda; only
// atoms closer than lambda can pair.  W holds the pair weights.
void HungarianMethod(orbmat::matrix<int>& pairs, orbmat::matrix<double> A, orbmat::matrix<double> B,
                     double lambda, orbmat::matrix<double> W);

// Sets the initial edges into zero-filled N x N capacity and cost matrices.
void createGraph(orbmat::matrix<double> A, orbmat::matrix<double> B, orbmat::matrix<int>& capacity,
                 orbmat::matrix<double>& cost, double lambda, orbmat::matrix<double> W);

// One relaxation sweep over all nodes in index order (rows + columns of
// shape + 2 nodes); fills pred and returns the distances from the source.
std::valarray<double> Dijkstra(orbmat::matrix<double> shape, orbmat::matrix<double> capacity,
                               orbmat::matrix<double> cost, std::valarray<int>& pred);

// Index of the smallest dist among entries flagged 1 (the later index wins a
// tie), or -1.
int leastNode(std::valarray<double> dist, std::valarray<int> flags);

// True when some dist at position start or later is below kUnreached.
bool pathExists(std::valarray<double> dist, int start);

#endif
