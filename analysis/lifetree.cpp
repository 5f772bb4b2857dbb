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

tree* make_child(const tree* parent, const std::vector<int>& group) {
  tree* child = new tree();
  const std::unordered_set<int> ids(group.begin(), group.end());
  for (subpocket* s : parent->subpockets) {
    if (ids.count(s->id) != 0) child->subpockets.push_back(s);
  }
  std::unordered_set<int> own;
  for (const subpocket* s : child->subpockets) own.insert(s->id);
  for (const branch& b : parent->branches) {
    if (b.time > parent->time && own.count(b.subpocket_id) != 0 && own.count(b.partner_id) != 0) {
      child->branches.push_back(b);
    }
  }
  set_time(child);
  return child;
}

void mark(const tree* child, int digit, double time) {
  for (subpocket* s : child->subpockets) {
    s->path.push_back(digit);
    s->split_times.push_back(time);
  }
}

// The groups into which a node falls apart: one per sub-pocket, joined by
// the branches later than the node's time.  A merge keeps the place of the
// group holding the branch's own sub-pocket and closes up the partner's.
std::vector<std::vector<int>> groups_of(const tree* t) {
  std::vector<std::vector<int>> groups;
  std::vector<char> gone;
  std::unordered_map<int, size_t> group_of;
  for (const subpocket* s : t->subpockets) {
    if (group_of.count(s->id) == 0) group_of[s->id] = groups.size();
    groups.push_back({s->id});
    gone.push_back(0);
  }
  for (const branch& b : t->branches) {
    if (!(b.time > t->time)) continue;
    const int a = b.subpocket_id, c = b.partner_id;
    auto ga = group_of.find(a);
    auto gc = group_of.find(c);
    if (ga == group_of.end() && gc == group_of.end()) {
      group_of[a] = groups.size();
      group_of[c] = groups.size();
      groups.push_back({a, c});
      gone.push_back(0);
    } else if (gc == group_of.end()) {
      groups[ga->second].push_back(c);
      group_of[c] = ga->second;
    } else if (ga == group_of.end()) {
      groups[gc->second].push_back(a);
      group_of[a] = gc->second;
    } else if (ga->second != gc->second) {
      const size_t to = ga->second, from = gc->second;
      for (int id : groups[from]) {
        groups[to].push_back(id);
        group_of[id] = to;
      }
      groups[from].clear();
      gone[from] = 1;
    }
  }
  std::vector<std::vector<int>> live;
  for (size_t g = 0; g < groups.size(); ++g) {
    if (!gone[g]) live.push_back(std::move(groups[g]));
  }
  return live;
}

std::string format(double x) {
  std::ostringstream s;
  s << x;
  return s.str();
}

std::string cut5(const std::string& text) { return text.substr(0, 5); }

}  // namespace

void tree_building(tree* node) {
  // Each node's children depend only on the node itself, and each sub-pocket
  // lies in one node per level, so the digits come out in root-to-leaf order
  // whatever the order in which siblings are expanded.
  std::vector<tree*> pending{node};
  while (!pending.empty()) {
    tree* t = pending.back();
    pending.pop_back();
    if (t->branches.empty()) continue;
    const std::vector<std::vector<int>> groups = groups_of(t);
    if (groups.size() == 1) {
      tree* child = make_child(t, groups[0]);
      t->children.push_back(child);
      pending.push_back(child);
    } else if (groups.size() == 2) {
      tree* first = make_child(t, groups[0]);
      mark(first, 0, t->time);
      tree* second = make_child(t, groups[1]);
      mark(second, 1, t->time);
      t->children.push_back(first);
      t->children.push_back(second);
      pending.push_back(second);
      pending.push_back(first);
    }
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

  // code[r]: path digits in columns 0 .. n-1 (-1 past the path), id in
  // column n; times[r]: split times beside the digits.  A path holds at most
  // n - 1 digits, so column n - 1 always reads -1.
  std::vector<std::vector<int>> code(n, std::vector<int>(n + 1, -1));
  std::vector<std::vector<double>> times(n, std::vector<double>(n, NO_TIME));
  for (int r = 0; r < n; ++r) {
    const subpocket& s = *p->subpockets[r];
    const size_t digits =
        std::min<size_t>({s.path.size(), s.split_times.size(), static_cast<size_t>(n - 1)});
    for (size_t c = 0; c < digits; ++c) {
      code[r][c] = s.path[c];
      times[r][c] = s.split_times[c];
    }
    code[r][n] = s.id;
  }

  // Stable passes from the last path column to the first: a later row with a
  // smaller entry moves up to place i, the rows between move down.
  for (int col = n - 2; col >= 0; --col) {
    for (int i = 0; i + 1 < n; ++i) {
      for (int j = i + 1; j < n; ++j) {
        if (code[j][col] < code[i][col]) {
          std::rotate(code.begin() + i, code.begin() + j, code.begin() + j + 1);
          std::rotate(times.begin() + i, times.begin() + j, times.begin() + j + 1);
        }
      }
    }
  }

  std::vector<std::string> label(n), max_alpha(n);
  for (int r = 0; r < n; ++r) {
    for (int k = 0; k < n; ++k) {
      if (p->subpockets[k]->id == code[r][n]) {
        label[r] = std::to_string(k);
        max_alpha[r] = cut5(format(p->subpockets[k]->max_alpha));
        break;
      }
    }
  }

  struct Connector {
    int h1, h2;
    double time;
  };
  std::vector<Connector> connectors;
  double previous_start = NO_TIME;
  for (int r = 0; r < n; ++r) {
    const std::string& K = label[r];
    const std::string& A = max_alpha[r];
    const int H = n - r;

    double start = times[r][0];
    if (r > 0) {
      int column = -1;
      for (int c = n - 2; c >= 0; --c) {
        if (code[r][c] == 1 && code[r - 1][c] == 0) {
          column = c;
          break;
        }
      }
      // A row with the same code as the one above (a node that fell into
      // three or more groups) shares that row's history and start.
      start = column >= 0 ? times[r][column] : previous_start;
    }
    previous_start = start;
    commands[r] += "sub_pocket_" + K + "<-c(" + format(start) + "," + A + ");y" + K + "<-c(" +
                   format(H) + "," + format(H) + ");";

    int lev = -1;
    for (int c = n - 2; c >= 0; --c) {
      if ((code[r][c] == 0 || code[r][c] == 1) && code[r][c + 1] == -1) {
        lev = c;
        break;
      }
    }
    if (lev < 0) continue;
    const int side = code[r][lev];
    int run = 0;
    for (int c = lev; c >= 0 && code[r][c] == side; --c) ++run;
    if (side == 0) {
      tree_text += std::string(run, '(') + K + ":" + A + ",";
    } else {
      tree_text += K + ":" + A;
      for (int i = 0; i < run; ++i) tree_text += "):" + format(times[r][lev - i]);
      if (r != n - 1) tree_text += ",";
    }

    if (r == 0) continue;
    for (int c = side == 1 ? lev : lev - 1; c >= 0; --c) {
      if (code[r][c] != 1 || code[r - 1][c] != 0) continue;
      int j = r - 1;
      while (j > 0 && code[j - 1][c] == 0) --j;
      connectors.push_back({H, n - j, times[r][c]});
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
  // no longer open a connector cell.
  for (int i = 0; i + 1 < n; ++i) {
    for (int c = 0; c + 1 < n; ++c) {
      if (code[i][c] != 0 || code[i + 1][c] == 0) continue;
      for (int d = c + 1; d + 1 < n; ++d) {
        if (code[i][d] == 1) code[i][d] = 2;
      }
    }
  }

  const std::string bars_blank = "  |            ";
  const std::string bars_line = "  |____________";
  const std::string blank(15, ' ');
  const std::string line(15, '_');
  const std::string tail(10, '_');
  for (int r = 0; r < n; ++r) {
    std::string& row = rows[r];
    for (int c = 0; c + 1 < n; ++c) {
      const int q = code[r][c];
      if (r == 0) {
        row += q == 0 ? cut5(format(times[r][c])) + tail : line;
        continue;
      }
      const int prev = code[r - 1][c];
      if (prev == 0) {
        row += q == 0 ? bars_blank : bars_line;
      } else if (prev == 1) {
        row += blank;
      } else if ((prev == -1 || prev == 2) && q == 0) {
        row += cut5(format(times[r][c])) + tail;
      }
    }
    row += max_alpha[r] + "__________dead_" + label[r];
  }
}
