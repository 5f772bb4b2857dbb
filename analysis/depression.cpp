#include "analysis/depression.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unordered_map>

#include "analysis/matlab.h"
#include "pockets/pocket.h"

namespace {

// The fixed selection of the wire-frame script.
const int DRAWN_DEPRESSION = 237;

// Serials per line of a viewer selection.
const size_t SELECTION_CHUNK = 50;

template <class T>
bool contains(const std::vector<T*>& v, const T* x) {
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

}  // namespace

void depressionsrepresentation(std::vector<tetra>& tetrahedra, std::vector<depression>& depressions,
                               double) {
  // holder[t]: the vector place of the last depression holding t.  New
  // depressions always go to the end, so the one being grown is the last
  // holder of everything in it, and "already in it" is "held by it".
  std::unordered_map<const tetra*, size_t> holder;
  for (size_t i = 0; i < depressions.size(); ++i) {
    for (const tetra* t : depressions[i].tetrahedra) holder[t] = i;
  }
  std::vector<char> removed(depressions.size(), 0);

  int counter = 0;
  for (tetra& t : tetrahedra) {
    if (t.in_complex || !t.depression_mark) continue;
    ++counter;
    t.depression_id = counter;
    depression d;
    d.id = counter;
    d.tetrahedra.push_back(&t);
    depressions.push_back(d);
    removed.push_back(0);
    const size_t dt = depressions.size() - 1;
    holder[&t] = dt;

    for (size_t k = 0; k < t.neighbours.size() && k < t.shared_trias.size(); ++k) {
      tetra* n = t.neighbours[k];
      if (!n->depression_mark) continue;
      if (!contains(n->inflow, &t) && !contains(t.inflow, n) && t.shared_trias[k]->in_complex) {
        continue;
      }
      auto it = holder.find(n);
      if (it == holder.end()) {
        n->depression_id = depressions[dt].id;
        depressions[dt].tetrahedra.push_back(n);
        holder[n] = dt;
        continue;
      }
      const size_t dn = it->second;
      if (dn == dt) continue;
      std::vector<tetra*> moved;
      moved.swap(depressions[dn].tetrahedra);
      for (tetra* p : moved) {
        if (holder[p] == dt) continue;
        p->depression_id = depressions[dt].id;
        depressions[dt].tetrahedra.push_back(p);
        holder[p] = dt;
      }
      removed[dn] = 1;
    }
  }

  size_t kept = 0;
  for (size_t i = 0; i < depressions.size(); ++i) {
    if (removed[i]) continue;
    if (kept != i) depressions[kept] = std::move(depressions[i]);
    ++kept;
  }
  depressions.resize(kept);
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
    for (size_t k = 0; k < n; ++k) {
      for (const tetra* t : depressions[order[k]].tetrahedra) {
        std::fprintf(out, "%-4d%9d%9d%9d%9d%9.4f\n", static_cast<int>(k) + 1, t->v[0]->serial,
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
