#include "veldrix/lps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>
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

// The starting graph: source -> A, A -> B when closer than lambda, B -> sink.
Residual initial_graph(int nA, int nB, const double* a, uint64 ca, const double* b, uint64 cb,
                       const double* w, uint64 cw, double lambda) {
  Residual g(nA + nB + 2);
  for (int i = 0; i < nA; ++i) g.out(0).push_back(Arc{2 + i, 0.0});
  for (int i = 0; i < nA; ++i) {
    std::vector<Arc>& l = g.out(2 + i);
    for (int j = 0; j < nB; ++j) {
      const double d = atom_distance(a + i * ca, b + j * cb);
      if (d < lambda) l.push_back(Arc{nA + 2 + j, pair_cost(d, lambda, w[i * cw + j])});
    }
  }
  for (int j = 0; j < nB; ++j) g.out(nA + 2 + j).push_back(Arc{1, 0.0});
  return g;
}

// A used A -> B edge now runs from the B node back to the A node.
void read_pairs(Residual& g, int nA, int nB, int* r) {
  for (int j = 0; j < nB; ++j)
    for (const Arc& e : g.out(nA + 2 + j))
      if (e.to >= 2 && e.to < nA + 2) r[(e.to - 2) * nB + j] = 1;
}

// Runs sweeps and augmentations on g until a path no longer pays or the
// walk back from the sink breaks; total is the running sum of the stop rule.
void run_paths(Residual& g, double lambda, double& total) {
  const int n = g.size();
  std::vector<double> dist(n);
  std::vector<int> pred(n);
  std::vector<int> path;
  for (;;) {
    g.sweep(dist, pred);
    // A path pays only while its cost stays within lambda of the total.
    if (dist[1] - lambda > total) break;
    if (!augmenting_path(g, pred, path)) break;
    g.reduce_costs(dist);
    for (std::size_t k = 0; k + 1 < path.size(); ++k) g.reverse(path[k + 1], path[k]);
    total -= dist[1] - lambda;
  }
}

// The same sweeps, reduced costs and augmentations as Residual, step for
// step and bit for bit, without visiting every A -> B edge on every path.
//
// What makes this possible, as long as the source keeps distance 0 and
// every path runs source -> free A atom -> free B atom -> sink:
// - A free A atom has distance exactly 0 in every sweep (its source edge
//   stays at cost 0), so its edge to B atom b changes on each reduction by
//   0 - dist[b] alone.  All free-atom edges into b thus pass through the
//   same rounded, non-decreasing maps and keep their order: sorted once by
//   cost and atom, the cheapest free atom of b is the first one still free
//   (ties that rounding creates are settled by scanning the equal run).
// - A paired A atom relaxes its edges from 2^30, its distance at its turn.
//   Such an edge only matters when 2^30 plus its cost can beat what b has
//   already; a lower bound on those costs per B atom, carried from sweep to
//   sweep, says when they must be looked at.
// - Every edge cost is brought up to date only when it is read, by
//   replaying the reductions it missed from the recorded distances of its
//   two ends, with the very same operations.  Most distances are +0 (a
//   reduction turns the cheapest edge of a node to 0, and it stays so until
//   that edge is taken), and only the others are recorded; a B atom left at
//   +0 keeps the costs of its free edges and so their best.
// - B atoms without edges all keep distance 2^30 and one sink cost.
// Whenever a premise fails (source distance changes, a longer path, a
// distance too large for the bounds), the graph is handed over as it stands
// to the plain sweeps.
class LazySweeps {
  struct Edge {
    double cost;  // after reduction ver
    int tail;     // A atom
    int ver;
  };
  struct Step {
    int sweep;
    double dist;
  };

 public:
  LazySweeps(int nA, int nB)
      : nA_(nA),
        nB_(nB),
        off_(nB + 1, 0),
        outOff_(nA + 1, 0),
        amIn_(nB),
        lb_(nB, kNone),
        amBest_(nB, -1),
        matched_(nA, 0),
        partner_(nB, -1),
        cSrc_(nA, 0.0),
        cSink_(nB, 0.0),
        cPair_(nB, 0.0),
        latest_(nA + nB, -1),
        distA_(nA, 0.0),
        lastA_(nA, 0.0),
        predA_(nA, 0),
        distB_(nB),
        lastB_(nB, 0.0),
        predB_(nB),
        predE_(nB),
        stale_(nB, 1),
        auBest_(nB),
        auA_(nB),
        auE_(nB),
        auCost_(nB),
        auEnd_(nB) {}

  // Makes the A -> B edges of the atoms closer than lambda.  False when a
  // cost is not finite or too large for the bounds to hold.
  bool build(const double* a, uint64 ca, const double* b, uint64 cb, const double* w, uint64 cw,
             double lambda) {
    // Edges are counted in ints.
    if (static_cast<double>(nA_) * nB_ >= 0x1p31) return false;
    struct Made {
      int b, a;
      double c;
    };
    std::vector<Made> made;
    bool fits = true;
    auto consider = [&](int i, int j) {
      const double d = atom_distance(a + i * ca, b + j * cb);
      if (d < lambda) {
        const double c = pair_cost(d, lambda, w[i * cw + j]);
        if (!(std::fabs(c) <= kLarge)) fits = false;
        bound_ = std::max(bound_, std::fabs(c));
        made.push_back(Made{j, i, c});
        ++off_[j + 1];
      }
    };
    // The grid's count of candidate pairs bounds the edges: room for all of
    // them at once, so the list is never copied as it grows.
    auto reserve = [&](std::size_t n) { made.reserve(std::min<std::size_t>(n, 1 << 23)); };
    if (!close_pairs(a, ca, b, cb, lambda, consider, reserve))
      for (int i = 0; i < nA_; ++i)
        for (int j = 0; j < nB_; ++j) consider(i, j);
    if (!fits) return false;
    for (int j = 0; j < nB_; ++j) off_[j + 1] += off_[j];
    const int m = static_cast<int>(made.size());
    edges_.resize(m);
    head_.resize(m);
    {
      std::vector<int> fill(off_.begin(), off_.end() - 1);
      for (const Made& e : made) {
        const int k = fill[e.b]++;
        edges_[k] = Edge{e.c, e.a, 0};
        head_[k] = e.b;
      }
    }
    made = std::vector<Made>();
    std::vector<Edge> spare;
    for (int j = 0; j < nB_; ++j) sort_run(off_[j], off_[j + 1], spare);
    skip_.resize(m);
    for (int e = 0; e < m; ++e) {
      skip_[e] = e + 1;
      ++outOff_[edges_[e].tail + 1];
    }
    for (int i = 0; i < nA_; ++i) outOff_[i + 1] += outOff_[i];
    for (int j = 0; j < nB_; ++j) {
      amIn_[j].reserve(off_[j + 1] - off_[j]);
      if (off_[j + 1] > off_[j])
        active_.push_back(j);
      else if (lone_ < 0)
        lone_ = j;
      predB_[j] = -1;
    }
    out_.resize(m);
    std::vector<int> at(outOff_.begin(), outOff_.end() - 1);
    for (int e = 0; e < m; ++e) out_[at[edges_[e].tail]++] = e;
    return true;
  }

  // Sorts edges_[from, to) by cost, then A atom; the run comes in ascending
  // A atoms.  The costs are spread over buckets by a non-decreasing map
  // (stable, so ties keep their order), and each bucket is sorted on its
  // own.
  void sort_run(int from, int to, std::vector<Edge>& spare) {
    const int n = to - from;
    auto before = [](const Edge& x, const Edge& y) {
      return x.cost < y.cost || (x.cost == y.cost && x.tail < y.tail);
    };
    Edge* run = edges_.data() + from;
    double low = 0, high = 0;
    for (int k = 0; k < n; ++k) {
      low = std::min(low, run[k].cost);
      high = std::max(high, run[k].cost);
    }
    const double scale = (n - 1) / (high - low);
    if (n < 32 || !(scale <= 0x1p60)) {
      std::sort(run, run + n, before);
      return;
    }
    bucket_.assign(n + 1, 0);
    auto slot = [&](double c) { return std::min(n - 1, static_cast<int>((c - low) * scale)); };
    for (int k = 0; k < n; ++k) ++bucket_[slot(run[k].cost) + 1];
    for (int k = 0; k < n; ++k) bucket_[k + 1] += bucket_[k];
    spare.resize(n);
    for (int k = 0; k < n; ++k) spare[bucket_[slot(run[k].cost)]++] = run[k];
    // bucket_[k] is now the end of bucket k.
    int begin = 0;
    for (int k = 0; k < n; ++k) {
      const int end = bucket_[k];
      if (end - begin > 1) std::sort(spare.begin() + begin, spare.begin() + end, before);
      begin = end;
    }
    std::copy(spare.begin(), spare.end(), run);
  }

  // Hands every pair of atoms that may lie closer than lambda to consider,
  // A atom by A atom, from a grid of cells a little wider than lambda: the
  // computed distance of atoms in cells that are not neighbours along some
  // axis is at least lambda.  False (and nothing handed over) when the
  // coordinates do not fit such a grid.
  template <class Consider, class Reserve>
  bool close_pairs(const double* a, uint64 ca, const double* b, uint64 cb, double lambda,
                   Consider& consider, Reserve& reserve) const {
    const double side = lambda * (1 + 0x1p-20);
    if (!(side > 0) || !std::isfinite(side) || nB_ == 0) return false;
    // Cell indices stay small, so that dividing by side leaves a rounding
    // far below the margin of 2^-20.
    auto cell = [side](const double* x, int* k) {
      for (int d = 0; d < 3; ++d) {
        const double q = x[d] / side;
        if (!(std::fabs(q) <= 0x1p30)) return false;
        k[d] = static_cast<int>(std::floor(q));
      }
      return true;
    };
    std::vector<int> cellB(3 * nB_);
    int lo[3], hi[3];
    for (int j = 0; j < nB_; ++j) {
      int* k = &cellB[3 * j];
      if (!cell(b + j * cb, k)) return false;
      for (int d = 0; d < 3; ++d) {
        lo[d] = j == 0 ? k[d] : std::min(lo[d], k[d]);
        hi[d] = j == 0 ? k[d] : std::max(hi[d], k[d]);
      }
    }
    std::vector<int> cellA(3 * nA_);
    for (int i = 0; i < nA_; ++i)
      if (!cell(a + i * ca, &cellA[3 * i])) return false;
    // The box of B cells, too many cells for a table: no grid.
    double cells = 1;
    for (int d = 0; d < 3; ++d) cells *= static_cast<double>(hi[d]) - lo[d] + 1;
    if (cells > 64.0 * (nA_ + nB_) + 262144) return false;
    const int nx = hi[0] - lo[0] + 1, ny = hi[1] - lo[1] + 1, nz = hi[2] - lo[2] + 1;
    auto index = [&](int x, int y, int z) {
      return ((x - lo[0]) * ny + (y - lo[1])) * nz + (z - lo[2]);
    };
    std::vector<int> start(static_cast<std::size_t>(nx) * ny * nz + 1, 0);
    for (int j = 0; j < nB_; ++j)
      ++start[index(cellB[3 * j], cellB[3 * j + 1], cellB[3 * j + 2]) + 1];
    for (std::size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
    std::vector<int> inCell(nB_);
    {
      std::vector<int> fill(start.begin(), start.end() - 1);
      for (int j = 0; j < nB_; ++j)
        inCell[fill[index(cellB[3 * j], cellB[3 * j + 1], cellB[3 * j + 2])]++] = j;
    }
    for (int pass = 0; pass < 2; ++pass) {
      std::size_t candidates = 0;
      for (int i = 0; i < nA_; ++i) {
        const int* k = &cellA[3 * i];
        for (int x = std::max(k[0] - 1, lo[0]); x <= std::min(k[0] + 1, hi[0]); ++x)
          for (int y = std::max(k[1] - 1, lo[1]); y <= std::min(k[1] + 1, hi[1]); ++y)
            for (int z = std::max(k[2] - 1, lo[2]); z <= std::min(k[2] + 1, hi[2]); ++z) {
              const int c = index(x, y, z);
              if (pass == 0)
                candidates += start[c + 1] - start[c];
              else
                for (int q = start[c]; q < start[c + 1]; ++q) consider(i, inCell[q]);
            }
      }
      if (pass == 0) reserve(candidates);
    }
    return true;
  }

  // Sweeps and augments until the assignment ends (true) or a premise
  // fails before the sweep under way changes anything (false).
  bool run(double lambda, double& total) {
    for (;;) {
      const int t = sweeps_ + 1;
      // Free A atoms hold distance +0 and predecessor 0 throughout; paired
      // ones start from 2^30 and hear only from their partner.  Each B atom
      // takes its A phase, then offers the sink (free) or its partner.
      double sink = kUnreached, largest = 0.0, leastPaired = kNone;
      int predSink = -1;
      for (const int j : active_) {
        relax_b(j, t);
        const double dk = distB_[j];
        largest = std::max(largest, std::fabs(dk));
        const int i = partner_[j];
        if (i < 0) {
          const double nd = dk + cSink_[j];
          if (sink > nd) {
            sink = nd;
            predSink = nA_ + 2 + j;
          }
        } else {
          // The source has distance 0; a paired atom must not lower it.
          if (0.0 > kUnreached + cSrc_[i]) return false;
          const double nd = dk + cPair_[j];
          const bool closer = kUnreached > nd;
          const double di = closer ? nd : kUnreached;
          distA_[i] = di;
          predA_[i] = closer ? nA_ + 2 + j : -1;
          largest = std::max(largest, std::fabs(di));
          leastPaired = std::min(leastPaired, di);
        }
      }

      if (lone_ >= 0) {
        // The B atoms without edges keep distance 2^30 and share one sink
        // cost; the first of them comes before the others.
        largest = std::max(largest, kUnreached);
        const double nd = kUnreached + cLone_;
        if (sink > nd || (sink == nd && predSink >= 0 && lone_ < predSink - nA_ - 2)) {
          sink = nd;
          predSink = nA_ + 2 + lone_;
        }
      }

      if (sink - lambda > total) return true;
      // The walk back from the sink, as augmenting_path takes it.
      const int n = nA_ + nB_ + 2;
      int steps = 1, u = 1, length = 0, last = -1;
      for (;;) {
        const int v = u == 1 ? predSink : u < nA_ + 2 ? predA_[u - 2] : predB_[u - nA_ - 2];
        if (v < 0 || v >= n || steps > n) return true;
        ++steps;
        if (++length == 2) last = v;
        if (v == 0) break;
        u = v;
      }
      largest = std::max(largest, std::fabs(sink));
      if (length != 3 || !(largest <= kLarge)) return false;

      reduce(sink, largest, leastPaired);
      augment(last - 2, predSink - nA_ - 2, t);
      total -= sink - lambda;
      sweeps_ = t;
    }
  }

  // The residual graph as it stands, for the plain sweeps.
  Residual residual() {
    Residual g(nA_ + nB_ + 2);
    for (int i = 0; i < nA_; ++i)
      if (!matched_[i]) g.out(0).push_back(Arc{2 + i, cSrc_[i]});
    for (int j = 0; j < nB_; ++j) {
      if (off_[j + 1] == off_[j]) cSink_[j] = cLone_;
      if (partner_[j] >= 0) g.out(1).push_back(Arc{nA_ + 2 + j, cSink_[j]});
    }
    for (int i = 0; i < nA_; ++i) {
      std::vector<Arc>& l = g.out(2 + i);
      if (matched_[i]) l.push_back(Arc{0, cSrc_[i]});
      for (int k = outOff_[i]; k < outOff_[i + 1]; ++k) {
        const int e = out_[k], j = head_[e];
        if (partner_[j] == i) continue;  // turned into the pair edge
        catch_up(e, sweeps_);
        l.push_back(Arc{nA_ + 2 + j, edges_[e].cost});
      }
    }
    for (int j = 0; j < nB_; ++j)
      g.out(nA_ + 2 + j)
          .push_back(partner_[j] < 0 ? Arc{1, cSink_[j]} : Arc{2 + partner_[j], cPair_[j]});
    return g;
  }

  // pairs[i * nB + j] = 1 for every pair.
  void pairs(int* r) const {
    for (int j = 0; j < nB_; ++j)
      if (partner_[j] >= 0) r[partner_[j] * nB_ + j] = 1;
  }

 private:
  static constexpr double kNone = std::numeric_limits<double>::infinity();
  static constexpr int kNever = std::numeric_limits<int>::max();
  // Costs and distances stay below this size, so that rounding stays far
  // below the margins of the bounds.
  static constexpr double kLarge = 1099511627776.0;  // 2^40

  static bool plus_zero(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits == 0;
  }

  // The recorded distances of node after sweep v and up to sweep upto,
  // in sweep order.
  void gather(int node, int v, int upto, std::vector<Step>& into) const {
    into.clear();
    for (int k = latest_[node]; k >= 0 && logSweep_[k] > v; k = logPrev_[k])
      if (logSweep_[k] <= upto) into.push_back(Step{logSweep_[k], logDist_[k]});
    std::reverse(into.begin(), into.end());
  }

  // c after the reductions v + 1 .. upto, from the recorded distances of
  // the edge's tail (ta, na) and head (hb, nb) in those sweeps.
  static double replay(double c, int v, int upto, const Step* ta, std::size_t na, const Step* hb,
                       std::size_t nb) {
    std::size_t ia = 0, ib = 0;
    int done = v;
    while (ia < na || ib < nb) {
      const int sa = ia < na ? ta[ia].sweep : kNever;
      const int sb = ib < nb ? hb[ib].sweep : kNever;
      const int s = std::min(sa, sb);
      // Sweeps in between left both ends at +0: each added +0.
      if (s > done + 1) c = c + 0.0;
      const double da = s == sa ? ta[ia++].dist : 0.0;
      const double db = s == sb ? hb[ib++].dist : 0.0;
      c = c + (da - db);
      done = s;
    }
    if (upto > done) c = c + 0.0;
    return c;
  }

  // Brings edge e up to the costs after reduction number upto, replaying
  // the reductions it missed with the recorded distances of its ends.
  // head, when given, holds the head's recorded distances after some
  // version not above e's, up to upto, in sweep order.
  void catch_up(int e, int upto, const std::vector<Step>* head = nullptr) {
    Edge& edge = edges_[e];
    const int v = edge.ver;
    if (v >= upto) return;
    const int i = edge.tail, j = head_[e];
    if (v + 1 == upto && upto == sweeps_) {
      // Only the last reduction is missing: its distances are at hand.
      edge.cost = edge.cost + (lastA_[i] - lastB_[j]);
    } else {
      gather(i, v, upto, fromA_);
      const Step* hb;
      std::size_t nb;
      if (head) {
        auto from = std::upper_bound(head->begin(), head->end(), v,
                                     [](int x, const Step& y) { return x < y.sweep; });
        hb = head->data() + (from - head->begin());
        nb = head->end() - from;
      } else {
        gather(nA_ + j, v, upto, fromB_);
        hb = fromB_.data();
        nb = fromB_.size();
      }
      edge.cost = replay(edge.cost, v, upto, fromA_.data(), fromA_.size(), hb, nb);
    }
    edge.ver = upto;
  }

  // The first entry at or after k whose A atom is still free.
  int next_free(int k, int end) {
    int r = k;
    while (r < end && matched_[edges_[r].tail]) r = skip_[r];
    while (k != r) {
      const int nx = skip_[k];
      skip_[k] = r;
      k = nx;
    }
    return r;
  }

  // The cheapest free A atom of B atom j (lowest atom among equal costs)
  // from the edges as they stand after reduction t - 1.
  void free_best(int j, int t) {
    const int end = off_[j + 1];
    const int f = next_free(off_[j], end);
    auA_[j] = -1;
    auEnd_[j] = end;
    if (f == end) return;
    catch_up(f, t - 1);
    auCost_[j] = edges_[f].cost;
    double best = 0.0 + edges_[f].cost;
    int bestA = edges_[f].tail, bestE = f;
    for (int g = next_free(f + 1, end); g < end; g = next_free(g + 1, end)) {
      catch_up(g, t - 1);
      if (!(0.0 + edges_[g].cost == best)) {
        auEnd_[j] = g;
        break;
      }
      if (edges_[g].tail < bestA) {
        bestA = edges_[g].tail;
        bestE = g;
      }
    }
    auBest_[j] = best;
    auA_[j] = bestA;
    auE_[j] = bestE;
  }

  // What the sweep leaves at B atom j: the sink's offer to a paired atom,
  // then every A atom in node order, strict improvements only.
  void relax_b(int j, int t) {
    double init = kUnreached;
    int initPred = -1;
    if (partner_[j] >= 0) {
      const double nd = kUnreached + cSink_[j];
      if (kUnreached > nd) {
        init = nd;
        initPred = 1;
      }
    }
    // A B atom left at +0 by the last sweep kept the costs of its free
    // edges, so their best is the same unless one of the atoms looked at
    // has been paired.
    if (stale_[j] || !plus_zero(lastB_[j])) {
      free_best(j, t);
      stale_[j] = 0;
    }
    double best = auBest_[j];
    int bestA = auA_[j], bestE = auE_[j];
    // Paired A atoms relax from 2^30: the one that won the last look at
    // them exactly, the others only when their lower bound lets them.
    auto offer = [&](int e) {
      const double v = kUnreached + edges_[e].cost;
      const int i = edges_[e].tail;
      if (bestA < 0 || v < best || (v == best && i < bestA)) {
        best = v;
        bestA = i;
        bestE = e;
      }
    };
    const std::vector<int>& am = amIn_[j];
    if (!am.empty()) {
      const int first = amBest_[j];
      if (first >= 0) {
        catch_up(first, t - 1);
        offer(first);
      }
      const double bar = bestA >= 0 ? std::min(init, best) : init;
      if (!(kUnreached + lb_[j] > bar)) {
        // Look at all of them; keep the winner among them, and a bound on
        // the others.
        double won = 0.0, rest = kNone;
        int wonA = -1, wonE = -1;
        int oldest = t - 1;
        for (int e : am) oldest = std::min(oldest, edges_[e].ver);
        gather(nA_ + j, oldest, t - 1, headSteps_);
        for (int e : am) {
          catch_up(e, t - 1, &headSteps_);
          offer(e);
          const double c = edges_[e].cost;
          const double v = kUnreached + c;
          const int i = edges_[e].tail;
          if (wonA < 0 || v < won || (v == won && i < wonA)) {
            if (wonE >= 0) rest = std::min(rest, edges_[wonE].cost);
            won = v;
            wonA = i;
            wonE = e;
          } else {
            rest = std::min(rest, c);
          }
        }
        amBest_[j] = wonE;
        lb_[j] = rest;
      }
    }
    if (bestA >= 0 && init > best) {
      distB_[j] = best;
      predB_[j] = 2 + bestA;
      predE_[j] = bestE;
    } else {
      distB_[j] = init;
      predB_[j] = initPred;
      predE_[j] = -1;
    }
  }

  // Keeps the distance of the sweep under way unless it is +0, which most
  // are: a free A atom always, a B atom or paired A atom whenever its
  // cheapest edge is unchanged and was reduced to 0 by the sweep before.
  void record(int node, double d) {
    if (plus_zero(d)) return;
    logSweep_.push_back(sweeps_ + 1);
    logDist_.push_back(d);
    logPrev_.push_back(latest_[node]);
    latest_[node] = static_cast<int>(logSweep_.size()) - 1;
  }

  // Reduced costs after a sweep: the few source, sink and pair edges at
  // once, the A -> B edges by recording the distances of their ends.
  void reduce(double sink, double largest, double leastPaired) {
    // Every A -> B cost lies within bound_, so a bound below -bound_ says
    // nothing more than -bound_ does.
    bound_ += 2 * largest + 1;
    const double slack = (3 * largest + std::fabs(leastPaired)) * 0x1p-50;
    // A free atom's source edge gets 0 - 0 and stays at +0.
    cLone_ = cLone_ + (kUnreached - sink);
    for (const int j : active_) {
      const double dj = distB_[j];
      const int i = partner_[j];
      if (i < 0) {
        cSink_[j] = cSink_[j] + (dj - sink);
      } else {
        const double di = distA_[i];
        cSink_[j] = cSink_[j] + (sink - dj);
        cPair_[j] = cPair_[j] + (dj - di);
        cSrc_[i] = cSrc_[i] + (di - 0.0);
        record(i, di);
      }
      record(nA_ + j, dj);
      // A paired atom's edge into j moved by its tail's distance, at least
      // leastPaired, less dj, give or take a rounding.  The rounding of an
      // edge far above the bound is covered by its distance from the bound,
      // so the terms' sizes at the bound give the slack (with room for the
      // rounding of this update).
      if (lb_[j] != kNone) {
        const double lb = lb_[j];
        lb_[j] = std::max(lb + leastPaired - dj - (std::fabs(lb) * 0x1p-50 + slack), -bound_);
      }
    }
    std::swap(lastA_, distA_);
    std::swap(lastB_, distB_);
  }

  // Turns the path source -> A atom i -> B atom j -> sink around after
  // sweep t; i's other edges are now relaxed from 2^30.
  void augment(int i, int j, int t) {
    const int e = predE_[j];
    catch_up(e, t);
    cPair_[j] = edges_[e].cost;
    partner_[j] = i;
    matched_[i] = 1;
    for (int k = outOff_[i]; k < outOff_[i + 1]; ++k) {
      const int f = out_[k];
      const int h = head_[f];
      // The free best of h must be looked at again if i was among the
      // edges it was decided on.
      if (f <= auEnd_[h]) stale_[h] = 1;
      if (f == e) continue;
      amIn_[h].push_back(f);
      // i was free in sweep t, so its edge into h costs at least what the
      // cheapest free edge into h costs after this reduction.
      lb_[h] = std::min(lb_[h], auCost_[h] + (0.0 - lastB_[h]));
    }
  }

  const int nA_, nB_;
  // A -> B edges by B atom (off_), each run sorted by starting cost, then
  // A atom; per edge its B atom and a link past entries whose A atom is
  // paired.
  std::vector<int> off_;
  std::vector<Edge> edges_;
  std::vector<int> head_, skip_;
  // The edges of each A atom (outOff_, out_).
  std::vector<int> outOff_, out_;
  // Edges into each B atom from paired A atoms; the one that won the last
  // full look at them (or -1), and a lower bound on the costs of the others.
  std::vector<std::vector<int>> amIn_;
  std::vector<double> lb_;
  std::vector<int> amBest_;
  std::vector<char> matched_;
  std::vector<int> partner_;  // A atom of each B atom, or -1
  // Costs of source -> A (A -> source once paired), B -> sink (sink -> B)
  // and B -> partner edges.
  std::vector<double> cSrc_, cSink_, cPair_;
  // Distances of each sweep other than +0, in one log: per entry its sweep,
  // distance and the node's entry before; per node (A atoms, then B atoms)
  // its latest entry.  fromA_, fromB_, headSteps_: distances gathered for
  // replays.
  std::vector<int> logSweep_;
  std::vector<double> logDist_;
  std::vector<int> logPrev_, latest_;
  std::vector<Step> fromA_, fromB_, headSteps_;
  // Distances and predecessors of the sweep under way, and the distances of
  // the last reduction.
  std::vector<double> distA_, lastA_;
  std::vector<int> predA_;
  std::vector<double> distB_, lastB_;
  std::vector<int> predB_, predE_;
  // Per B atom, the cheapest free edge as last decided: stale_ when it must
  // be decided again; its relaxed value, A atom and edge (auA_ -1: none),
  // its cost, and the end of the entries it was decided on.
  std::vector<char> stale_;
  std::vector<double> auBest_;
  std::vector<int> auA_, auE_;
  std::vector<double> auCost_;
  std::vector<int> auEnd_;
  std::vector<int> bucket_;  // scratch of sort_run
  // B atoms with edges, ascending; the first B atom without any (or -1)
  // and the sink cost all those share.
  std::vector<int> active_;
  int lone_ = -1;
  double cLone_ = 0.0;
  double bound_ = 0.0;  // on the size of every A -> B cost
  int sweeps_ = 0;      // reductions done so far
};

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
  const uint64 ca = A.colno(), cb = B.colno(), cw = W.colno();
  const double* a = A.cdata();
  const double* b = B.cdata();
  const double* w = W.cdata();
  // A block of this shape freed by an earlier pass is reused (no fresh
  // memory to fault in); it is cleared here.
  matrix<int> result(pairs.rowno(), pairs.colno());
  int* r = result.wdata();
  std::fill(r, r + pairs.rowno() * pairs.colno(), 0);

  double total = 0.0;
  LazySweeps fast(nA, nB);
  if (fast.build(a, ca, b, cb, w, cw, lambda)) {
    if (fast.run(lambda, total)) {
      fast.pairs(r);
      pairs = result;
      return;
    }
    Residual g = fast.residual();
    run_paths(g, lambda, total);
    read_pairs(g, nA, nB, r);
  } else {
    Residual g = initial_graph(nA, nB, a, ca, b, cb, w, cw, lambda);
    run_paths(g, lambda, total);
    read_pairs(g, nA, nB, r);
  }
  pairs = result;
}
