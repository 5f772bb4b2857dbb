#include "analysis/lifetree.h"

#include <algorithm>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

namespace {

// Branch times at or above this bound take no part in the minimum search.
const double TIME_BOUND = 1e8;

// Entries of the rendering table beyond a sub-pocket's path.
const double NO_TIME = 100000.0;

// Sets a fresh node's time and id from its branches (the first of equal
// minima wins), or from its first sub-pocket when it has none.
void set_time(tree* node) {
  double best = TIME_BOUND;
  for (const branch& b : node->branches) {
    if (b.time < best) {
      best = b.time;
      node->id = b.top_triangle->id;
    }
  }
  node->time = best;
  if (node->branches.empty()) {
    // A group naming none of the node's sub-pockets has no time of its own.
    node->time = node->subpockets.empty() ? 0.0 : node->subpockets[0]->max_alpha;
  }
}

void mark(const tree* child, int digit, double time) {
  for (subpocket* s : child->subpockets) {
    s->path.push_back(digit);
    s->split_times.push_back(time);
  }
}

// Dense numbers for the sub-pocket ids that a subtree names (its root's
// sub-pockets and both ends of its branches), so that the per-node work runs
// on flat arrays.
class DenseIds {
 public:
  explicit DenseIds(const tree* root) {
    std::vector<int> ids;
    for (const subpocket* s : root->subpockets) ids.push_back(s->id);
    for (const branch& b : root->branches) {
      ids.push_back(b.subpocket_id);
      ids.push_back(b.partner_id);
    }
    if (ids.empty()) return;
    const auto range = std::minmax_element(ids.begin(), ids.end());
    low_ = *range.first;
    // Assembly ids are small and close together: a table indexed by the id
    // itself, unless they are spread far apart.
    const long long span = static_cast<long long>(*range.second) - low_ + 1;
    direct_ = span <= 8 * static_cast<long long>(ids.size()) + 1024;
    if (direct_) table_.assign(static_cast<size_t>(span), -1);
    for (int id : ids) {
      int& slot = direct_ ? table_[id - low_] : map_.emplace(id, -1).first->second;
      if (slot < 0) slot = count_++;
    }
  }
  int size() const { return count_; }
  int operator()(int id) const { return direct_ ? table_[id - low_] : map_.find(id)->second; }

 private:
  bool direct_ = false;
  int low_ = 0;
  int count_ = 0;
  std::vector<int> table_;
  std::unordered_map<int, int> map_;
};

// Splits the nodes of one subtree.  Scratch entries are reset after each
// node.
class SplitWork {
 public:
  explicit SplitWork(const tree* root)
      : dense_(root),
        group_of_(dense_.size(), -1),
        mask_(dense_.size(), 0),
        in_node_(dense_.size(), 0),
        touched_flag_(dense_.size(), 0) {}

  // Splits t: its children (none, one or two), made as the groups of its
  // later branches say, their path digits appended.
  void split(tree* t) {
    const int groups = find_groups(t);
    if (groups == 1 || groups == 2) make_children(t, groups);
    for (int d : touched_) {
      group_of_[d] = -1;
      mask_[d] = 0;
      in_node_[d] = 0;
      touched_flag_[d] = 0;
    }
    touched_.clear();
  }

 private:
  int root_of(int g) {
    while (parent_[g] != g) {
      parent_[g] = parent_[parent_[g]];
      g = parent_[g];
    }
    return g;
  }

  // The groups start as one per sub-pocket, in the node's order (each id
  // known by the first group that holds it); each branch later than the
  // node's time joins the groups of its two ends, the group of its own
  // sub-pocket keeping its place, or starts a group of the two.  Returns the
  // number of groups left and, when there are at most two, marks each id
  // with the groups (bit 1 first, bit 2 second) that hold it.
  int find_groups(const tree* t) {
    parent_.clear();
    first_id_.clear();
    second_id_.clear();
    sub_ids_.clear();
    ends_.clear();
    for (const subpocket* s : t->subpockets) {
      const int d = dense_(s->id);
      sub_ids_.push_back(d);
      touch(d);
      in_node_[d] = 1;
      if (group_of_[d] < 0) group_of_[d] = static_cast<int>(parent_.size());
      new_group(d, -1);
    }
    int live = static_cast<int>(parent_.size());
    for (const branch& b : t->branches) {
      if (!(b.time > t->time)) {
        ends_.push_back({-1, -1});
        continue;
      }
      const int a = dense_(b.subpocket_id), c = dense_(b.partner_id);
      ends_.push_back({a, c});
      touch(a);
      touch(c);
      const int ga = group_of_[a], gc = group_of_[c];
      if (ga < 0 && gc < 0) {
        group_of_[a] = group_of_[c] = static_cast<int>(parent_.size());
        new_group(a, c);
        ++live;
      } else if (gc < 0) {
        group_of_[c] = root_of(ga);
      } else if (ga < 0) {
        group_of_[a] = root_of(gc);
      } else {
        const int ra = root_of(ga), rc = root_of(gc);
        if (ra != rc) {
          parent_[rc] = ra;
          --live;
        }
      }
    }
    if (live > 2) return live;
    // Live groups in their order of creation; a merged group lives on at
    // the place of the group it joined.
    std::vector<int> place(parent_.size(), 0);
    int k = 0;
    for (size_t g = 0; g < parent_.size(); ++g) {
      if (parent_[g] == static_cast<int>(g)) place[g] = 1 << k++;
    }
    for (size_t g = 0; g < parent_.size(); ++g) {
      const int bit = place[root_of(static_cast<int>(g))];
      mask_[first_id_[g]] |= bit;
      if (second_id_[g] >= 0) mask_[second_id_[g]] |= bit;
    }
    // An id that a later branch brought into a group is held by that group.
    for (int d : touched_) {
      if (group_of_[d] >= 0) mask_[d] |= place[root_of(group_of_[d])];
    }
    return live;
  }

  void touch(int d) {
    if (touched_flag_[d]) return;
    touched_flag_[d] = 1;
    touched_.push_back(d);
  }

  void new_group(int a, int c) {
    parent_.push_back(static_cast<int>(parent_.size()));
    first_id_.push_back(a);
    second_id_.push_back(c);
  }

  // The child of each group: the node's sub-pockets in that group, in the
  // node's order, and the node's later branches between two of them.  The
  // lists are counted first: trees of chain-like pockets hold many long
  // lists, and growing them by doubling would leave up to half unused.
  // With two groups the path digits follow.
  void make_children(tree* t, int groups) {
    tree* child[2] = {new tree(), groups == 2 ? new tree() : nullptr};
    size_t subs[2] = {0, 0}, kept[2] = {0, 0};
    for (int d : sub_ids_) {
      for (int g = 0; g < 2; ++g) subs[g] += (mask_[d] >> g) & 1;
    }
    branch_bits_.clear();
    for (const auto& e : ends_) {
      int bits = 0;
      if (e.first >= 0 && in_node_[e.first] && in_node_[e.second]) {
        bits = mask_[e.first] & mask_[e.second];
      }
      branch_bits_.push_back(static_cast<char>(bits));
      for (int g = 0; g < 2; ++g) kept[g] += (bits >> g) & 1;
    }
    for (int g = 0; g < groups; ++g) {
      child[g]->subpockets.reserve(subs[g]);
      child[g]->branches.reserve(kept[g]);
    }
    for (size_t i = 0; i < sub_ids_.size(); ++i) {
      for (int g = 0; g < groups; ++g) {
        if ((mask_[sub_ids_[i]] >> g) & 1) child[g]->subpockets.push_back(t->subpockets[i]);
      }
    }
    for (size_t i = 0; i < branch_bits_.size(); ++i) {
      for (int g = 0; g < groups; ++g) {
        if ((branch_bits_[i] >> g) & 1) child[g]->branches.push_back(t->branches[i]);
      }
    }
    for (int g = 0; g < groups; ++g) set_time(child[g]);
    if (groups == 2) {
      mark(child[0], 0, t->time);
      mark(child[1], 1, t->time);
    }
    for (int g = 0; g < groups; ++g) t->children.push_back(child[g]);
  }

  DenseIds dense_;
  std::vector<int> group_of_;  // first group given the id, -1 none
  std::vector<int> mask_;      // groups holding the id (bits 1, 2)
  std::vector<char> in_node_;  // the id is one of the node's sub-pockets
  std::vector<char> touched_flag_;
  std::vector<int> touched_;               // ids whose scratch entries are set
  std::vector<int> parent_;                // union-find over the groups
  std::vector<int> first_id_, second_id_;  // the ids each group started with
  std::vector<int> sub_ids_;               // dense ids of the node's sub-pockets
  std::vector<std::pair<int, int>> ends_;  // of each branch; -1 when not later
  std::vector<char> branch_bits_;
};

std::string format(double x) {
  std::ostringstream s;
  s << x;
  return s.str();
}

std::string cut5(const std::string& text) { return text.substr(0, 5); }

}  // namespace

void tree_building(tree* node) {
  // Each node's children depend only on the node itself.  The first child's
  // subtree is finished before the second's, so a sub-pocket held by both
  // (two sub-pockets sharing an id) takes its digits in depth-first order.
  SplitWork work(node);
  std::vector<tree*> pending{node};
  while (!pending.empty()) {
    tree* t = pending.back();
    pending.pop_back();
    if (t->branches.empty()) continue;
    work.split(t);
    for (size_t i = t->children.size(); i-- > 0;) pending.push_back(t->children[i]);
  }
}

void pocket_life_tree(std::vector<pocket>& pockets) {
  for (pocket& p : pockets) {
    if (p.subpockets.size() < 2) continue;
    std::vector<branch> branches;
    std::unordered_set<int> seen;  // top triangle ids
    for (const std::shared_ptr<subpocket>& s : p.subpockets) {
      for (const std::shared_ptr<mouth>& k : s->knot_tops) {
        if (k->triangles.empty()) continue;
        tria* t = k->triangles[0];
        if (!seen.insert(t->id).second) continue;
        branch b;
        b.subpocket_id = s->id;
        b.partner_id = k->id;
        b.time = t->signed_size;
        b.top_triangle = t;
        const auto at =
            std::upper_bound(branches.begin(), branches.end(), b.time,
                             [](double time, const branch& x) { return time < x.time; });
        branches.insert(at, b);
      }
    }
    // The root takes its time from the first knot; without one the pocket
    // never falls apart.
    if (branches.empty()) continue;
    tree* root = new tree();
    root->id = branches[0].top_triangle->id;
    root->time = branches[0].time;
    root->branches = branches;
    for (const std::shared_ptr<subpocket>& s : p.subpockets) root->subpockets.push_back(s.get());
    tree_building(root);
    p.trees.push_back(root);
    // The digits came one level at a time; deep trees leave long lists.
    for (const std::shared_ptr<subpocket>& s : p.subpockets) {
      s->path.shrink_to_fit();
      s->split_times.shrink_to_fit();
    }
  }
}

void release_life_trees(std::vector<pocket>& pockets) {
  for (pocket& p : pockets) {
    std::vector<tree*> pending(p.trees.begin(), p.trees.end());
    while (!pending.empty()) {
      tree* t = pending.back();
      pending.pop_back();
      pending.insert(pending.end(), t->children.begin(), t->children.end());
      delete t;
    }
    p.trees.clear();
  }
}

void poc_tree_string(pocket* p, std::vector<std::string>& rows, std::string& tree_text,
                     std::vector<std::string>& commands) {
  const int n = static_cast<int>(p->subpockets.size());
  if (static_cast<int>(rows.size()) < n) rows.resize(n);
  if (static_cast<int>(commands.size()) < n) commands.resize(n);

  // One row per sub-pocket: its path digits with the split times beside
  // them, read in place.  Through code() and time(), a row is the table row
  // of n columns with -1 (and NO_TIME) past the path; a path holds at most
  // n - 1 digits, so column n - 1 always reads -1.  The marking step below
  // turns every 1 from column `marked` on into 2.
  struct Row {
    const int* code;
    const double* times;
    int length;
    int id;
    int marked;
  };
  std::vector<Row> table(n);
  for (int r = 0; r < n; ++r) {
    const subpocket& s = *p->subpockets[r];
    const size_t digits =
        std::min<size_t>({s.path.size(), s.split_times.size(), static_cast<size_t>(n - 1)});
    table[r] = {s.path.data(), s.split_times.data(), static_cast<int>(digits), s.id, n};
  }
  // The row order: ascending path columns 0 .. n-2, -1 past the end, ties
  // in the sub-pockets' order (what one stable pass per column, from the
  // last column to the first, gives).
  std::stable_sort(table.begin(), table.end(), [](const Row& x, const Row& y) {
    const int len = std::max(x.length, y.length);
    for (int c = 0; c < len; ++c) {
      const int u = c < x.length ? x.code[c] : -1;
      const int v = c < y.length ? y.code[c] : -1;
      if (u != v) return u < v;
    }
    return false;
  });
  auto code = [&table](int r, int c) {
    const Row& x = table[r];
    if (c >= x.length) return -1;
    return c >= x.marked && x.code[c] == 1 ? 2 : x.code[c];
  };
  auto time = [&table](int r, int c) { return c < table[r].length ? table[r].times[c] : NO_TIME; };
  auto length = [&table](int r) { return table[r].length; };

  // Each row's label is the position of the first sub-pocket with its id.
  std::unordered_map<int, int> first_with_id;
  for (int k = 0; k < n; ++k) first_with_id.emplace(p->subpockets[k]->id, k);
  std::vector<std::string> label(n), max_alpha(n);
  for (int r = 0; r < n; ++r) {
    const int k = first_with_id.find(table[r].id)->second;
    label[r] = std::to_string(k);
    max_alpha[r] = cut5(format(p->subpockets[k]->max_alpha));
  }

  struct Connector {
    int h1, h2;
    double time;
  };
  std::vector<Connector> connectors;
  // zero_from[c]: the first row of the run of 0 digits in column c that
  // reaches the row above the current one (valid where that row reads 0).
  std::vector<int> zero_from(n, 0);
  double previous_start = NO_TIME;
  for (int r = 0; r < n; ++r) {
    const std::string& K = label[r];
    const std::string& A = max_alpha[r];
    const int H = n - r;

    double start = time(r, 0);
    if (r > 0) {
      int column = -1;
      for (int c = std::min(length(r), length(r - 1)) - 1; c >= 0; --c) {
        if (code(r, c) == 1 && code(r - 1, c) == 0) {
          column = c;
          break;
        }
      }
      // A row with the same code as the one above (a node that fell into
      // three or more groups) shares that row's history and start.
      start = column >= 0 ? time(r, column) : previous_start;
    }
    previous_start = start;
    commands[r] += "sub_pocket_" + K + "<-c(" + format(start) + "," + A + ");y" + K + "<-c(" +
                   format(H) + "," + format(H) + ");";

    int lev = -1;
    for (int c = length(r) - 1; c >= 0; --c) {
      if ((code(r, c) == 0 || code(r, c) == 1) && code(r, c + 1) == -1) {
        lev = c;
        break;
      }
    }
    if (lev >= 0) {
      const int side = code(r, lev);
      int run = 0;
      for (int c = lev; c >= 0 && code(r, c) == side; --c) ++run;
      if (side == 0) {
        tree_text += std::string(run, '(') + K + ":" + A + ",";
      } else {
        tree_text += K + ":" + A;
        for (int i = 0; i < run; ++i) tree_text += "):" + format(time(r, lev - i));
        if (r != n - 1) tree_text += ",";
      }

      if (r > 0) {
        for (int c = side == 1 ? lev : lev - 1; c >= 0; --c) {
          if (code(r, c) != 1 || code(r - 1, c) != 0) continue;
          connectors.push_back({H, n - zero_from[c], time(r, c)});
        }
      }
    }
    for (int c = 0; c < length(r); ++c) {
      if (code(r, c) == 0 && (r == 0 || code(r - 1, c) != 0)) zero_from[c] = r;
    }
  }

  commands.push_back("x<-NULL;y<-NULL;");
  for (int r = 0; r < n; ++r) {
    const std::string& K = label[r];
    commands.push_back("x<-c(x,sub_pocket_" + K + "[1]);" + "x<-c(x,sub_pocket_" + K + "[2]);" +
                       "y<-c(y,y" + K + "[1]);" + "y<-c(y,y" + K + "[2]);");
  }
  commands.push_back("plot(x,y,xlab='alpha value');box();");
  std::string labels;
  for (int r = 0; r < n; ++r) {
    const std::string& K = label[r];
    commands.push_back("lines(sub_pocket_" + K + "," + "y" + K + "," + "type='o');");
    labels += "'P" + K + "'";
    if (r != n - 1) labels += ",";
  }
  for (const Connector& c : connectors) {
    commands.push_back("xtmp<-NULL;ytmp<-NULL;xtmp<-c(xtmp," + format(c.time) + ");" +
                       "xtmp<-c(xtmp," + format(c.time) + ");ytmp<-c(ytmp," + format(c.h1) +
                       ");ytmp<-c(ytmp," + format(c.h2) + ");lines(xtmp,ytmp,type='o');");
  }
  commands.push_back("text(locator(),labels=c(" + labels + "))");

  // Marking: below a 0 that the next row leaves, this row's later 1 digits
  // no longer open a connector cell.  The first such 0 marks all of them.
  for (int i = 0; i + 1 < n; ++i) {
    for (int c = 0; c < length(i); ++c) {
      if (code(i, c) != 0 || code(i + 1, c) == 0) continue;
      table[i].marked = c + 1;
      break;
    }
  }

  const std::string bars_blank = "  |            ";
  const std::string bars_line = "  |____________";
  const std::string blank(15, ' ');
  const std::string line(15, '_');
  const std::string tail(10, '_');
  for (int r = 0; r < n; ++r) {
    std::string& row = rows[r];
    if (r == 0) {
      for (int c = 0; c + 1 < n; ++c) {
        row += code(0, c) == 0 ? cut5(format(time(0, c))) + tail : line;
      }
    } else {
      // Past both rows' paths both codes read -1: no cell.
      const int cells = std::max(length(r), length(r - 1));
      for (int c = 0; c < cells; ++c) {
        const int q = code(r, c);
        const int prev = code(r - 1, c);
        if (prev == 0) {
          row += q == 0 ? bars_blank : bars_line;
        } else if (prev == 1) {
          row += blank;
        } else if ((prev == -1 || prev == 2) && q == 0) {
          row += cut5(format(time(r, c))) + tail;
        }
      }
    }
    row += max_alpha[r] + "__________dead_" + label[r];
  }
}
