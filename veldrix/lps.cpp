#include "veldrix/lps.h"

#include <algorithm>
#include <cmath>
#include <vector>

using orbmat::matrix;
using orbmat::uint64;

namespace {

double atom_distance(const double* a, const double* b) {
  const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Residual graph kept as per-node lists of outgoing edges sorted by head.
// The relaxation sweep then visits exactly the edges a full N x N scan would
// find, in the same order, at the cost of the edges present.
struct Arc {
  int to;
  double cost;
};

class Residual {
 public:
  explicit Residual(int n) : out_(n) {}

  std::vector<Arc>& out(int u) { return out_[u]; }
  int size() const { return static_cast<int>(out_.size()); }

  // One sweep in node order; a node relaxes its edges with whatever
  // distance it holds at its turn, reached or not.
  void sweep(std::vector<double>& dist, std::vector<int>& pred) const {
    std::fill(dist.begin(), dist.end(), kUnreached);
    std::fill(pred.begin(), pred.end(), -1);
    dist[0] = 0.0;
    pred[0] = 0;
    const int n = size();
    for (int k = 0; k < n; ++k) {
      const double dk = dist[k];
      for (const Arc& e : out_[k]) {
        const double nd = dk + e.cost;
        if (dist[e.to] > nd) {
          dist[e.to] = nd;
          pred[e.to] = k;
        }
      }
    }
  }

  void reduce_costs(const std::vector<double>& dist) {
    const int n = size();
    for (int u = 0; u < n; ++u) {
      const double du = dist[u];
      for (Arc& e : out_[u]) e.cost += du - dist[e.to];
    }
  }

  std::vector<Arc>::iterator find(int u, int v) {
    std::vector<Arc>& l = out_[u];
    auto it = std::lower_bound(l.begin(), l.end(), v, [](const Arc& e, int x) { return e.to < x; });
    return (it != l.end() && it->to == v) ? it : l.end();
  }
  bool has(int u, int v) { return find(u, v) != out_[u].end(); }

  // Turns the edge v -> u around; the reversed edge keeps its cost.
  void reverse(int v, int u) {
    auto it = find(v, u);
    const double c = it->cost;
    out_[v].erase(it);
    std::vector<Arc>& l = out_[u];
    auto pos =
        std::lower_bound(l.begin(), l.end(), v, [](const Arc& e, int x) { return e.to < x; });
    l.insert(pos, Arc{v, c});
  }

 private:
  std::vector<std::vector<Arc>> out_;
};

// The walk from the sink back to the source along pred, or false when a
// predecessor is missing, an edge is absent or the walk goes round in a
// circle.  path[0] is the sink, path.back() the source.
bool augmenting_path(Residual& g, const std::vector<int>& pred, std::vector<int>& path) {
  const int n = g.size();
  path.assign(1, 1);
  int u = 1;
  for (;;) {
    const int v = pred[u];
    if (v < 0 || v >= n || static_cast<int>(path.size()) > n || !g.has(v, u)) return false;
    path.push_back(v);
    if (v == 0) return true;
    u = v;
  }
}

}  // namespace

void createGraph(matrix<double> A, matrix<double> B, matrix<int>& capacity, matrix<double>& cost,
                 double lambda, matrix<double> W) {
  const uint64 nA = A.rowno(), nB = B.rowno(), N = capacity.colno();
  const uint64 ca = A.colno(), cb = B.colno(), cw = W.colno();
  const double* a = A.cdata();
  const double* b = B.cdata();
  const double* w = W.cdata();
  int* cap = capacity.wdata();
  double* cst = cost.wdata();
  for (uint64 i = 0; i < nA; ++i) {
    cap[0 * N + 2 + i] = 1;
    cst[0 * N + 2 + i] = 0.0;
  }
  for (uint64 j = 0; j < nB; ++j) {
    cap[(nA + 2 + j) * N + 1] = 1;
    cst[(nA + 2 + j) * N + 1] = 0.0;
  }
  for (uint64 i = 0; i < nA; ++i)
    for (uint64 j = 0; j < nB; ++j) {
      const double d = atom_distance(a + i * ca, b + j * cb);
      if (d < lambda) {
        cap[(2 + i) * N + nA + 2 + j] = 1;
        cst[(2 + i) * N + nA + 2 + j] = pair_cost(d, lambda, w[i * cw + j]);
      }
    }
}

std::valarray<double> Dijkstra(matrix<double> shape, matrix<double> capacity, matrix<double> cost,
                               std::valarray<int>& pred) {
  const uint64 N = shape.rowno() + shape.colno() + 2;
  const double* cap = capacity.cdata();
  const double* cst = cost.cdata();
  const uint64 cc = capacity.colno(), tc = cost.colno();
  std::valarray<double> dist(kUnreached, N);
  if (pred.size() != N) pred.resize(N);
  pred = -1;
  dist[0] = 0.0;
  pred[0] = 0;
  for (uint64 k = 0; k < N; ++k)
    for (uint64 l = 0; l < N; ++l)
      if (cap[k * cc + l] != 0 && dist[l] > dist[k] + cst[k * tc + l]) {
        dist[l] = dist[k] + cst[k * tc + l];
        pred[l] = static_cast<int>(k);
      }
  return dist;
}

int leastNode(std::valarray<double> dist, std::valarray<int> flags) {
  int best = -1;
  double least = kUnreached;
  for (std::size_t i = 0; i < dist.size(); ++i)
    if (flags[i] == 1 && dist[i] <= least) {
      least = dist[i];
      best = static_cast<int>(i);
    }
  return best;
}

bool pathExists(std::valarray<double> dist, int start) {
  for (std::size_t i = start > 0 ? static_cast<std::size_t>(start) : 0; i < dist.size(); ++i)
    if (dist[i] < kUnreached) return true;
  return false;
}

void HungarianMethod(matrix<int>& pairs, matrix<double> A, matrix<double> B, double lambda,
                     matrix<double> W) {
  const int nA = static_cast<int>(pairs.rowno()), nB = static_cast<int>(pairs.colno());
  const int N = nA + nB + 2;
  const uint64 ca = A.colno(), cb = B.colno(), cw = W.colno();
  const double* a = A.cdata();
  const double* b = B.cdata();
  const double* w = W.cdata();

  // Initial edges: source -> A, A -> B when closer than lambda, B -> sink.
  Residual g(N);
  for (int i = 0; i < nA; ++i) g.out(0).push_back(Arc{2 + i, 0.0});
  for (int i = 0; i < nA; ++i) {
    std::vector<Arc>& l = g.out(2 + i);
    for (int j = 0; j < nB; ++j) {
      const double d = atom_distance(a + i * ca, b + j * cb);
      if (d < lambda) l.push_back(Arc{nA + 2 + j, pair_cost(d, lambda, w[i * cw + j])});
    }
  }
  for (int j = 0; j < nB; ++j) g.out(nA + 2 + j).push_back(Arc{1, 0.0});

  std::vector<double> dist(N);
  std::vector<int> pred(N);
  std::vector<int> path;
  double total = 0.0;
  for (;;) {
    g.sweep(dist, pred);
    // A path pays only while its cost stays within lambda of the total.
    if (dist[1] - lambda > total) break;
    if (!augmenting_path(g, pred, path)) break;
    g.reduce_costs(dist);
    for (std::size_t k = 0; k + 1 < path.size(); ++k) g.reverse(path[k + 1], path[k]);
    total -= dist[1] - lambda;
  }

  // A used A -> B edge now runs from the B node back to the A node.
  matrix<int> result(pairs.rowno(), pairs.colno(), 0);
  int* r = result.wdata();
  for (int j = 0; j < nB; ++j)
    for (const Arc& e : g.out(nA + 2 + j))
      if (e.to >= 2 && e.to < nA + 2) r[(e.to - 2) * nB + j] = 1;
  pairs = result;
}
