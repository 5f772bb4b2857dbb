#include "analysis/depression.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unordered_map>
#include <unordered_set>

#include "analysis/matlab.h"
#include "pockets/pocket.h"

namespace {

// The fixed selection of the wire-frame script.
const int DRAWN_DEPRESSION = 237;

// Serials per line of a viewer selection.
const size_t SELECTION_CHUNK = 50;

template <class List, class T>
bool contains(const List& v, const T* x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

// Rank order by tetrahedron count: order[k] is the vector position of the
// depression numbered k + 1.  The same exchange sort as the pocket numbering
// (not stable: counts 2, 2, 1 give the numbers 3, 2, 1).
std::vector<size_t> number_depressions(std::vector<depression>& depressions) {
  const size_t n = depressions.size();
  std::vector<size_t> order(n);
  std::vector<size_t> keys(n);
  for (size_t i = 0; i < n; ++i) {
    order[i] = i;
    keys[i] = depressions[i].tetrahedra.size();
  }
  for (size_t i = 0; i + 1 < n; ++i) {
    for (size_t j = i + 1; j < n; ++j) {
      if (keys[j] < keys[i]) {
        std::swap(keys[i], keys[j]);
        std::swap(order[i], order[j]);
      }
    }
  }
  for (size_t k = 0; k < n; ++k) depressions[order[k]].number = static_cast<int>(k) + 1;
  return order;
}

// A word the shell reads as itself, or the text in single quotes.
std::string shell_word(const std::string& s) {
  bool plain = !s.empty();
  for (char c : s) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '_' || c == '.' || c == '/' || c == '-' || c == '+' || c == ',' ||
                      c == ':' || c == '=' || c == '@' || c == '%';
    if (!safe) plain = false;
  }
  if (plain) return s;
  std::string quoted = "'";
  for (char c : s) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// The launcher script.  The shell that runs it is sh, which reads "&>" as
// "run in the background", so the test of the search path redirects both
// streams the portable way; a script name that is not a plain word is
// quoted.
std::string launcher_text(const std::string& script) {
  return "if which pymol >/dev/null 2>&1\n"
         "   then   a=$(which pymol)\n"
         "   $a " +
         shell_word(script) + "\n" +
         "   else echo 'Please install PyMOL on your computer first!'\n"
         "fi\n";
}

void run(const char* command) {
  // The viewer's own outcome is its business; nothing to act on here.
  const int status = std::system(command);
  (void)status;
}

// The depressions while they grow.  Each list is a chain of nodes, so that
// the merge of a whole depression into the one being grown (which happens
// for every candidate of a large connected set) costs no more than its
// bookkeeping; the lists are written back to the records at the end.
//
// A tetrahedron normally stands in one list.  It stands in two when a
// candidate that an earlier depression pulled in starts its own (or when
// the lists handed in repeat it); such entries are kept apart as
// "suspects", since a merge must drop those already in the growing list.
// The holder of a tetrahedron is the last depression in vector order whose
// list holds it: found through a union-find over the depressions, the root
// naming the one that absorbed the others.
class DepressionGrowth {
 public:
  explicit DepressionGrowth(std::vector<depression>& depressions)
      : depressions_(depressions), handed_in_(depressions.size()) {
    // (place, node) of each entry, per tetrahedron handed in
    std::vector<std::vector<std::pair<size_t, int>>> nodes_of;
    std::unordered_map<const tetra*, size_t> index;
    for (size_t i = 0; i < handed_in_; ++i) {
      add_place();
      std::unordered_set<const tetra*> here;
      for (tetra* t : depressions[i].tetrahedra) {
        const int node = append(i, t);
        // A repeat within one list goes when the list is merged.
        if (!here.insert(t).second) nodes_[node].drop_on_merge = true;
        State& st = state_[t];
        ++st.count;
        st.own = static_cast<int>(i);
        auto it = index.emplace(t, nodes_of.size()).first;
        if (it->second == nodes_of.size()) nodes_of.emplace_back();
        nodes_of[it->second].push_back({i, node});
      }
    }
    for (const auto& entry : index) {
      const std::vector<std::pair<size_t, int>>& nodes = nodes_of[entry.second];
      if (nodes.size() < 2) {
        state_[entry.first].first_node = nodes[0].second;
        continue;
      }
      state_[entry.first].repeated = true;
      for (const auto& n : nodes) suspect(n.first, n.second);
    }
  }

  // A candidate: a new depression holding t alone, at the end.
  size_t start(tetra* t, int id) {
    const size_t dt = add_place();
    depression d;
    d.id = id;
    depressions_.push_back(d);
    t->depression_id = id;
    State& st = state_[t];
    const int node = append(dt, t);
    if (st.count > 0) {
      if (!st.repeated) suspect(holder(st), st.first_node);
      st.repeated = true;
      suspect(dt, node);
    } else {
      st.first_node = node;
    }
    ++st.count;
    st.own = static_cast<int>(dt);
    return dt;
  }

  // Neighbour n joins depression dt, bringing the depression that holds it.
  void pull(size_t dt, tetra* n) {
    State& st = state_[n];
    if (st.count == 0) {
      n->depression_id = depressions_[dt].id;
      st.first_node = append(dt, n);
      st.count = 1;
      st.own = static_cast<int>(dt);
      return;
    }
    const size_t dn = holder(st);
    if (dn != dt) merge(dn, dt);
  }

  // Writes the lists of the depressions made here, sets their members'
  // depression ids (the last depression holding a tetrahedron names it) and
  // closes up the places of the merged ones.
  void finish() {
    for (size_t i = handed_in_; i < places_.size(); ++i) {
      if (places_[i].removed) continue;
      std::vector<tetra*>& list = depressions_[i].tetrahedra;
      list.clear();
      for (int k = places_[i].head; k >= 0; k = nodes_[k].next) list.push_back(nodes_[k].t);
      for (tetra* t : list) t->depression_id = depressions_[i].id;
    }
    size_t kept = 0;
    for (size_t i = 0; i < depressions_.size(); ++i) {
      if (places_[i].removed) continue;
      if (kept != i) depressions_[kept] = std::move(depressions_[i]);
      ++kept;
    }
    depressions_.resize(kept);
  }

 private:
  struct State {
    int count = 0;          // lists holding it
    int own = -1;           // place it last joined; its root names the holder
    int first_node = -1;    // its node while it has never stood in two lists
    bool repeated = false;  // has stood in two lists: its nodes are suspects
  };
  struct Node {
    tetra* t;
    int prev, next;
    bool live, drop_on_merge;
  };
  struct Place {
    int head = -1, tail = -1;
    int parent, size = 1;  // union-find over places
    size_t label;          // at a root: the depression the set now is
    bool removed = false;
    std::vector<int> suspects;
  };

  size_t add_place() {
    Place p;
    p.parent = static_cast<int>(places_.size());
    p.label = places_.size();
    places_.push_back(p);
    return places_.size() - 1;
  }

  int append(size_t place, tetra* t) {
    Place& p = places_[place];
    const int node = static_cast<int>(nodes_.size());
    nodes_.push_back({t, p.tail, -1, true, false});
    if (p.tail >= 0) {
      nodes_[p.tail].next = node;
    } else {
      p.head = node;
    }
    p.tail = node;
    return node;
  }

  void unlink(size_t place, int node) {
    Place& p = places_[place];
    Node& x = nodes_[node];
    if (x.prev >= 0) {
      nodes_[x.prev].next = x.next;
    } else {
      p.head = x.next;
    }
    if (x.next >= 0) {
      nodes_[x.next].prev = x.prev;
    } else {
      p.tail = x.prev;
    }
    x.live = false;
  }

  void suspect(size_t place, int node) { places_[place].suspects.push_back(node); }

  int root(int p) {
    while (places_[p].parent != p) {
      places_[p].parent = places_[places_[p].parent].parent;
      p = places_[p].parent;
    }
    return p;
  }

  size_t holder(const State& st) { return places_[root(st.own)].label; }

  // Depression dn joins dt: its entries follow dt's, those already in dt
  // left out, each moved one taking dt as its holder.
  void merge(size_t dn, size_t dt) {
    std::vector<int> moved_suspects;
    for (int node : places_[dn].suspects) {
      Node& x = nodes_[node];
      if (!x.live) continue;
      State& st = state_[x.t];
      if (x.drop_on_merge || (st.count > 1 && holder(st) == dt)) {
        unlink(dn, node);
        --st.count;
      } else if (st.count > 1) {
        st.own = static_cast<int>(dt);
        moved_suspects.push_back(node);
      } else {
        // Left in one list, it is an ordinary entry again.
        st.repeated = false;
        st.first_node = node;
      }
    }
    std::vector<int>().swap(places_[dn].suspects);
    Place& to = places_[dt];
    Place& from = places_[dn];
    if (from.head >= 0) {
      if (to.tail >= 0) {
        nodes_[to.tail].next = from.head;
        nodes_[from.head].prev = to.tail;
      } else {
        to.head = from.head;
      }
      to.tail = from.tail;
    }
    from.head = from.tail = -1;
    from.removed = true;
    to.suspects.insert(to.suspects.end(), moved_suspects.begin(), moved_suspects.end());

    const int rn = root(static_cast<int>(dn)), rt = root(static_cast<int>(dt));
    if (rn == rt) return;
    const int top = places_[rn].size > places_[rt].size ? rn : rt;
    const int below = top == rn ? rt : rn;
    places_[below].parent = top;
    places_[top].size += places_[below].size;
    places_[top].label = dt;
  }

  std::vector<depression>& depressions_;
  const size_t handed_in_;
  std::vector<Place> places_;
  std::vector<Node> nodes_;
  std::unordered_map<const tetra*, State> state_;
};

}  // namespace

void depressionsrepresentation(std::vector<tetra>& tetrahedra, std::vector<depression>& depressions,
                               double) {
  DepressionGrowth growth(depressions);
  int counter = 0;
  for (tetra& t : tetrahedra) {
    if (t.in_complex || !t.depression_mark) continue;
    ++counter;
    const size_t dt = growth.start(&t, counter);
    for (size_t k = 0; k < t.neighbours.size() && k < t.shared_trias.size(); ++k) {
      tetra* n = t.neighbours[k];
      if (!n->depression_mark) continue;
      if (!contains(n->inflow, &t) && !contains(t.inflow, n) && t.shared_trias[k]->in_complex) {
        continue;
      }
      growth.pull(dt, n);
    }
  }
  growth.finish();
}

void depressionspocindex(std::vector<info>& atoms, std::vector<depression>& depressions) {
  number_depressions(depressions);
  for (const depression& d : depressions) {
    for (const tetra* t : d.tetrahedra) {
      for (const info* v : t->v) {
        if (v->index < 0 || v->index >= static_cast<int>(atoms.size())) continue;
        info& a = atoms[v->index];
        a.marks[MARK_DEPRESSION] = true;
        if (std::find(a.depression_numbers.begin(), a.depression_numbers.end(), d.number) ==
            a.depression_numbers.end()) {
          a.depression_numbers.push_back(d.number);
        }
      }
    }
  }
}

void depressionsmeasure(std::vector<tetra>&, std::vector<info>& atoms,
                        std::vector<depression>& depressions, std::string name, int launch, double,
                        double alpha) {
  const std::vector<size_t> order = number_depressions(depressions);
  depressionspocindex(atoms, depressions);
  const size_t n = depressions.size();

  const std::string base = pocket_base_name(name);
  const std::string atom_file = base + ".dep";
  const std::string table_file = base + ".depInfo.complex";
  const std::string script_file = base + ".dep.pml";

  // Without the atom file the serials are still gathered for the script.
  std::FILE* out = std::fopen(atom_file.c_str(), "w");
  for (const info& a : atoms) {
    if (!a.marks[MARK_DEPRESSION]) continue;
    for (int q : a.depression_numbers) {
      if (q >= 1 && q <= static_cast<int>(n)) depressions[order[q - 1]].serials.push_back(a.serial);
      if (out == nullptr) continue;
      std::fprintf(out, "ATOM%7d  %-4s%3s %c%4d%12.3f%8.3f%8.3f%6.2f%6.2f%4d  DEP\n", a.serial,
                   a.atom_name, a.residue_name, a.chain_id, a.residue_number, a.x, a.y, a.z, 1.0,
                   a.bfactor, q);
    }
  }
  if (out != nullptr) std::fclose(out);

  out = std::fopen(table_file.c_str(), "w");
  if (out != nullptr) {
    std::fputs("#DEP     V1       V2       V3       V4       alphavalue\n", out);
    std::fprintf(out, "#initial alpha value: %f\n", alpha);
    // Nine columns a value: a blank, then the value right-aligned in eight,
    // so a value that fills the column does not run into the one before.
    for (size_t k = 0; k < n; ++k) {
      for (const tetra* t : depressions[order[k]].tetrahedra) {
        std::fprintf(out, "%-4d %8d %8d %8d %8d %8.4f\n", static_cast<int>(k) + 1, t->v[0]->serial,
                     t->v[1]->serial, t->v[2]->serial, t->v[3]->serial, t->signed_size);
      }
    }
    std::fclose(out);
  }

  std::ofstream script(script_file.c_str());
  script << "load " << atom_file << "\n";
  for (size_t k = n; k >= 1; --k) {
    const std::string sel = "dep_" + std::to_string(k);
    const std::vector<int>& serials = depressions[order[k - 1]].serials;
    script << "select " << sel << "_0, id ";
    for (size_t i = 0; i < serials.size(); ++i) {
      if (i > 0)
        script << (i % SELECTION_CHUNK == 0 ? ";select " + sel + "_0, " + sel + "_0 or id " : "+");
      script << serials[i];
    }
    script << ";select " << sel << ", " << sel << "_0;delete " << sel << "_0\n";
  }
  script << "set transparency=0.35\n";
  script << "bg_color white\n";
  script.close();

  if (launch != 1) return;
  std::ofstream launcher("tmp.sh");
  launcher << launcher_text(script_file);
  launcher.close();
  // Running whatever a "tmp.sh" that could not be written holds would start
  // an unknown program.
  if (!launcher) return;
  run("chmod +x tmp.sh");
  run("./tmp.sh");
  run("rm -f tmp.sh");
}

void visualization_dep_matlab(std::vector<tetra>&, std::vector<info>&,
                              std::vector<depression>& depressions, std::string name, double,
                              double) {
  number_depressions(depressions);
  const std::string path = pocket_base_name(name) + ".dep.m";
  std::ofstream out(path.c_str());
  matlab_header(out);
  const int pairs[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
  for (const depression& d : depressions) {
    if (d.number != DRAWN_DEPRESSION) continue;
    for (const tetra* t : d.tetrahedra) {
      for (const auto& e : pairs) {
        const info* p = t->v[e[0]];
        const info* q = t->v[e[1]];
        out << "x=[" << p->x << "," << q->x << "];\n";
        out << "y=[" << p->y << "," << q->y << "];\n";
        out << "z=[" << p->z << "," << q->z << "];\n";
        out << "handle1=line(x,y,z);\n";
        out << "set(handle1,'color','"
            << "red"
            << "');\n";
      }
    }
  }
  matlab_footer(out);
}
