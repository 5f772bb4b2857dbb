#include "structure/file.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

#include "structure/numformat.h"
#include "structure/output.h"
#include "structure/para.h"

// ---- line reading -----------------------------------------------------------

LineReader::LineReader(const std::string& path) : pos_(0), ok_(false) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return;
  ok_ = true;
  char buf[1 << 16];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data_.append(buf, n);
  // A directory opens like a file but cannot be read.
  if (std::ferror(f)) ok_ = false;
  std::fclose(f);
}

bool LineReader::next(std::string& line) {
  if (pos_ >= data_.size()) return false;
  size_t end = data_.find('\n', pos_);
  if (end == std::string::npos) end = data_.size();
  line.assign(data_, pos_, end - pos_);
  pos_ = end;
  while (pos_ < data_.size() && std::isspace(static_cast<unsigned char>(data_[pos_]))) ++pos_;
  return true;
}

namespace {

[[noreturn]] void fail_to_read(const std::string& path) {
  std::cerr << "failed to open " << path << std::endl;
  std::exit(1);
}

bool is_named(const Bead& b, const char* name) { return std::strcmp(b.atom_name, name) == 0; }

bool is_backbone(const Bead& b) {
  return is_named(b, "CA") || is_named(b, "C") || is_named(b, "N") || is_named(b, "O");
}

const Bead& ordered_first(const Pair& p) {
  return std::strcmp(p.first->atom_key, p.second->atom_key) <= 0 ? *p.first : *p.second;
}

const Bead& ordered_second(const Pair& p) {
  return std::strcmp(p.first->atom_key, p.second->atom_key) <= 0 ? *p.second : *p.first;
}

}  // namespace

// ---- PDB ------------------------------------------------------------------

namespace {

// read_pdb without its reaction to a file that cannot be read: false then.
bool read_pdb_file(const std::string& path, std::vector<Bead>& beads) {
  LineReader in(path);
  if (!in.ok()) return false;
  construct_map_of_radius();
  Bead::real_res_num = 1;
  real_res_num_of.clear();

  beads.clear();
  beads.reserve(100000);
  PdbReadMemo memo;
  std::string line;
  while (in.next(line)) {
    if (line.compare(0, 6, "ENDMDL") == 0) break;
    if (line.compare(0, 4, "ATOM") != 0) continue;
    if (line.size() >= 17 && (line[16] == 'B' || line[16] == '2')) continue;
    // Atoms without a radius are dropped, but their residues still count.
    Bead b;
    if (!read_pdb_atom(line.c_str(), b, memo)) continue;
    // No ball can stand at such a place; the triangulations would pass it
    // over and every report list it as if it were there.
    if (!std::isfinite(b.x) || !std::isfinite(b.y) || !std::isfinite(b.z)) {
      std::cerr << "atom " << b.atom_key << " of " << path
                << " skipped: its coordinates are not finite" << std::endl;
      continue;
    }
    beads.push_back(b);
  }
  beads.shrink_to_fit();

  int previous = -100, counter = 0;
  for (Bead& b : beads) {
    if (b.res_num != previous) ++counter;
    previous = b.res_num;
    b.res_index = counter;
  }
  return true;
}

}  // namespace

void read_pdb(std::string path, std::vector<Bead>& beads) {
  if (!read_pdb_file(path, beads)) fail_to_read(path);
}

bool read_pdb_or_report(const std::string& path, std::vector<Bead>& beads) {
  if (read_pdb_file(path, beads)) return true;
  report_failure("failed to open " + path);
  return false;
}

void print_pdb(std::string path, const std::vector<Bead>& beads) {
  std::ofstream out;
  if (!open_output(out, path)) return;
  for (const Bead& b : beads) b.print_bead_with_pdb_format(out);
  close_output(out, path);
}

// ---- edge, contact, surface and interface files ---------------------------

namespace {

// Room for one atom line of the surface or atom lists.
const size_t kAtomLineMax = sizeof(Bead::atom_key) + 4 * kNumberTextMax + 8;

void put_contact_lines(BlockWriter& w, const std::vector<Pair>& pairs, std::ostream& log) {
  for (const Pair& p : pairs) w.commit(put_contact_line(w.room(kContactLineMax), p, log));
}

}  // namespace

void print_pair_keys(std::string path, const std::vector<Pair>& pairs) {
  std::ofstream out;
  if (!open_output(out, path)) return;
  BlockWriter w(out);
  for (const Pair& p : pairs) {
    const Bead& a = ordered_first(p);
    const Bead& b = ordered_second(p);
    char* c = w.room(2 * sizeof a.atom_key + 2 * kNumberTextMax + 4);
    c = put_text(c, a.atom_key);
    *c++ = ' ';
    c = put_text(c, b.atom_key);
    *c++ = ' ';
    c = put_general(c, edge_size_of(*p.first, *p.second));
    *c++ = ' ';
    c = put_general(c, distance_of(a, b));
    *c++ = '\n';
    w.commit(c);
  }
  w.flush();
  close_output(out, path);
}

void print_contacts(std::string path, const std::vector<Pair>& pairs, std::ostream& log) {
  std::ofstream out;
  if (!open_output(out, path)) return;
  BlockWriter w(out);
  put_contact_lines(w, pairs, log);
  w.flush();
  close_output(out, path);
}

void print_atoms_contacts(std::string path, const std::vector<Bead>& beads,
                          const std::vector<Pair>& pairs, double, std::ostream& log) {
  std::ofstream out;
  if (!open_output(out, path)) return;
  BlockWriter w(out);
  for (const Bead& b : beads) {
    char* c = put_text(w.room(kAtomLineMax), b.atom_key);
    *c++ = ' ';
    c = put_integer(c, b.res_index);
    *c++ = ' ';
    *c++ = b.on_surf ? '1' : '0';
    *c++ = '\n';
    w.commit(c);
  }
  put_contact_lines(w, pairs, log);
  w.flush();
  close_output(out, path);
}

void print_surface_atom_and_contacts(std::string path, const std::vector<Bead>& beads,
                                     const std::vector<Pair>& pairs, std::ostream& log) {
  std::ofstream out;
  if (!open_output(out, path)) return;
  BlockWriter w(out);
  w.commit(put_text(w.room(64), "#Atoms: Key resID x y z\n"));
  for (const Bead& b : beads) {
    if (!b.on_surf) continue;
    char* c = put_text(w.room(kAtomLineMax), b.atom_key);
    *c++ = ' ';
    c = put_integer(c, b.res_index);
    for (double v : {b.x, b.y, b.z}) {
      *c++ = ' ';
      c = put_general(c, v);
    }
    *c++ = '\n';
    w.commit(c);
  }
  w.commit(put_text(w.room(128),
                    "\n#Contacts: Key1 Key2 alpha #neigbor-all #neighbor1 #neighbor2 distance\n"));
  put_contact_lines(w, pairs, log);
  w.flush();
  close_output(out, path);
}

void print_interface_contacts(std::string path, const std::vector<Pair>& pairs, std::ostream& log) {
  std::ofstream out;
  if (!open_output(out, path, "error opening file to write")) return;
  BlockWriter w(out);
  for (const Pair& p : pairs)
    if (p.first->chain_id != p.second->chain_id)
      w.commit(put_contact_line(w.room(kContactLineMax), p, log));
  w.flush();
  close_output(out, path);
}

void print_interface_residues(std::string path, std::vector<Bead>& beads,
                              const std::vector<Pair>& pairs, std::string spec,
                              InterfaceRule rule) {
  for (Bead& b : beads) b.on_interface = 0;
  for (const Pair& p : pairs)
    if (rule(p.first->chain_id, p.second->chain_id, spec))
      p.first->on_interface = p.second->on_interface = 1;

  std::ofstream out;
  if (!open_output(out, path)) return;
  out << ">" << path << '\n';
  int last = -100;
  for (const Bead& b : beads) {
    if (b.res_num != last) {
      out << one_letter_code(b.res_name);
      last = b.res_num;
    }
  }
  out << "\n\n";
  out << "# res_name res_name res_num chainID on_surf on_interface\n";
  size_t i = 0;
  while (i < beads.size()) {
    size_t j = i;
    bool surf = false, inter = false;
    while (j < beads.size() && beads[j].res_num == beads[i].res_num) {
      surf = surf || beads[j].on_surf;
      inter = inter || beads[j].on_interface != 0;
      ++j;
    }
    const Bead& last_bead = beads[j - 1];
    out << last_bead.res_name << ' ' << one_letter_code(last_bead.res_name) << ' '
        << last_bead.res_num << ' ' << last_bead.chain_id << ' ' << (surf ? 1 : 0) << ' '
        << (inter ? 1 : 0) << '\n';
    i = j;
  }
  out << '\n';
  close_output(out, path);
}

// ---- reduced residue models -------------------------------------------------

void reduced_model_BB(std::vector<Bead>& beads) {
  std::vector<Bead> kept;
  for (const Bead& b : beads)
    if (is_backbone(b)) kept.push_back(b);
  beads.swap(kept);
}

void reduced_model_CA(std::vector<Bead>& beads) {
  std::vector<Bead> kept;
  for (const Bead& b : beads)
    if (is_named(b, "CA")) kept.push_back(b);
  beads.swap(kept);
}

namespace {

// Adds a side-chain atom to its residue's "SC" bead, creating the bead (a
// copy of the atom) at the residue's first side-chain atom.
void add_side_chain_atom(const Bead& atom, StringHash<int>& index, std::vector<Bead>& out,
                         std::vector<int>& counts) {
  if (!index.contains(atom.residue_id)) {
    index.insert(atom.residue_id, static_cast<int>(out.size()));
    out.push_back(atom);
    out.back().set_atom_name("SC");
    counts.push_back(1);
    return;
  }
  int k = index.find(atom.residue_id);
  out[k].x += atom.x;
  out[k].y += atom.y;
  out[k].z += atom.z;
  counts[k] += 1;
}

}  // namespace

void reduced_model_CA_SC(std::vector<Bead>& beads) {
  StringHash<int> index(1001);
  std::vector<Bead> out;
  std::vector<int> counts;  // atoms summed into each new bead; 0 for an alpha carbon
  for (const Bead& b : beads) {
    if (is_named(b, "C") || is_named(b, "N") || is_named(b, "O")) continue;
    if (is_named(b, "CA")) {
      out.push_back(b);
      counts.push_back(0);
      continue;
    }
    add_side_chain_atom(b, index, out, counts);
  }
  for (size_t k = 0; k < out.size(); ++k) {
    Bead& b = out[k];
    if (counts[k] > 0) {
      b.x /= counts[k];
      b.y /= counts[k];
      b.z /= counts[k];
      b.serial = 2 * b.real_res_number;
    } else {
      b.serial = 2 * b.real_res_number - 1;
    }
    b.build_keys();
  }
  beads.swap(out);
}

void reduced_model_SC(std::vector<Bead>& beads) {
  StringHash<int> index(2 * static_cast<unsigned>(beads.size()) + 1);
  std::vector<Bead> out;
  std::vector<int> counts;
  for (const Bead& b : beads) {
    if (is_named(b, "CA") && std::strcmp(b.res_name, "GLY") == 0) {
      out.push_back(b);
      out.back().set_atom_name("SC");
      counts.push_back(1);
    }
    if (is_backbone(b)) continue;
    add_side_chain_atom(b, index, out, counts);
  }
  for (size_t k = 0; k < out.size(); ++k) {
    Bead& b = out[k];
    b.x /= counts[k];
    b.y /= counts[k];
    b.z /= counts[k];
    b.serial = b.real_res_number;
    b.build_keys();
    b.radius = radius_of_atom[b.type_key];
  }
  for (size_t k = 0; k < out.size(); ++k) out[k].res_index = static_cast<int>(k) + 1;
  beads.swap(out);
}

// ---- readers of contact, rmsd, potential and alpha-edge files --------------

namespace {

// Scan buffers as long as the line, so no word can overrun them.
struct LineBuffers {
  std::vector<std::vector<char>> b;
  LineBuffers(size_t n, size_t len) : b(n, std::vector<char>(len + 1, '\0')) {}
  char* operator[](size_t i) { return b[i].data(); }
};

// Type keys of two atoms and the pair key, smaller type key first (the
// first atom's on a tie).
void fill_simple_pair(Simple_Pair& p, const std::string& rn1, const std::string& an1,
                      const std::string& rn2, const std::string& an2) {
  std::string t1 = rn1 + "." + an1, t2 = rn2 + "." + an2;
  if (std::strcmp(t1.c_str(), t2.c_str()) > 0) t1.swap(t2);
  if (std::snprintf(p.type_pair_key, sizeof p.type_pair_key, "%s:%s", t1.c_str(), t2.c_str()) < 0)
    p.type_pair_key[0] = '\0';
}

// Fields of one contact line in the order of the reader's format; fields a
// line does not supply keep the previous line's values, and the two
// integers start at 0 on every line.
struct ContactFields {
  std::string rn1, an1, rn2, an2;
  char c1 = 0, c2 = 0;
  int level = 0, n_all = 0;

  void read(const std::string& line) {
    LineBuffers buf(4, line.size());
    level = n_all = 0;
    int got = std::sscanf(line.c_str(), "%*c:%*d:%[^:]:%*d:%s %*c:%*d:%[^:]:%*d:%s %d %d", buf[0],
                          buf[1], buf[2], buf[3], &level, &n_all);
    if (got >= 1) rn1 = buf[0];
    if (got >= 2) an1 = buf[1];
    if (got >= 3) rn2 = buf[2];
    if (got >= 4) an2 = buf[3];
  }

  void read_with_chains(const std::string& line) {
    LineBuffers buf(4, line.size());
    level = n_all = 0;
    char a = c1, b = c2;
    int got = std::sscanf(line.c_str(), "%c:%*d:%[^:]:%*d:%s %c:%*d:%[^:]:%*d:%s %d %d", &a, buf[0],
                          buf[1], &b, buf[2], buf[3], &level, &n_all);
    if (got >= 1) c1 = a;
    if (got >= 2) rn1 = buf[0];
    if (got >= 3) an1 = buf[1];
    if (got >= 4) c2 = b;
    if (got >= 5) rn2 = buf[2];
    if (got >= 6) an2 = buf[3];
  }
};

void report_unreadable(const std::string& path) {
  std::cerr << "failed to open " << path << std::endl;
}

// The file's lines; a file that cannot be read is reported and ends the run.
LineReader lines_or_exit(const std::string& path) {
  LineReader in(path);
  if (!in.ok()) {
    report_unreadable(path);
    std::exit(1);
  }
  return in;
}

// Bin of a neighbour count: 0 up to low, else ceil((min(f, cap) - low) / width).
// Only a cap below low can make it negative.
long long count_bin(int f, int width, int cap, int low) {
  if (f <= low) return 0;
  if (f > cap) f = cap;
  if (width <= 0) return 0;
  long long span = static_cast<long long>(f) - low;
  if (span > 0) return (span + width - 1) / width;
  return span / width;  // truncation is the ceiling for a negative quotient
}

// The callers size the histograms; a slot beyond them is added rather than
// written out of bounds.
template <class T>
T& slot(std::vector<T>& v, size_t i) {
  if (i >= v.size()) v.resize(i + 1);
  return v[i];
}

std::vector<std::string> words_of(const std::string& line) {
  std::vector<std::string> w;
  for (size_t i = 0; i < line.size();) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i > start) w.push_back(line.substr(start, i - start));
  }
  return w;
}

bool to_double(const std::string& word, double& value) {
  char* end = nullptr;
  value = std::strtod(word.c_str(), &end);
  return end != word.c_str();
}

// Reads a potential file word by word: each name is followed by `numbers`
// values, stored under name + ":" + infix + k.
void read_potential_words(const std::string& path, StringHash<double>& table, int numbers,
                          const std::string& infix) {
  LineReader in = lines_or_exit(path);
  std::vector<std::string> words;
  std::string line;
  while (in.next(line)) {
    std::vector<std::string> w = words_of(line);
    words.insert(words.end(), w.begin(), w.end());
  }
  size_t i = 0;
  while (i < words.size()) {
    const std::string name = words[i++];
    for (int k = 0; k < numbers && i < words.size(); ++k) {
      double v;
      if (!to_double(words[i], v)) break;  // not a number: it is the next name
      ++i;
      table.insert((name + ":" + infix + std::to_string(k)).c_str(), v);
    }
  }
}

// The pairs of a contact file; between_chains reads the chain letters too
// and keeps only the pairs of two chains.  An unreadable file adds nothing.
void read_pairs(const std::string& path, std::vector<Simple_Pair>& pairs, bool between_chains) {
  LineReader in(path);
  if (!in.ok()) {
    report_unreadable(path);
    return;
  }
  ContactFields f;
  std::string line;
  while (in.next(line)) {
    if (between_chains) {
      f.read_with_chains(line);
      if (f.c1 == f.c2) continue;
    } else {
      f.read(line);
    }
    Simple_Pair p;
    fill_simple_pair(p, f.rn1, f.an1, f.rn2, f.an2);
    p.alpha_level = f.level;
    p.n_all = f.n_all;
    pairs.push_back(p);
  }
}

// Hands each line of a contact file to add(fields, type-pair key, bin of its
// neighbour count), in file order; a count with no slot is passed over.
template <class Add>
void for_each_binned_contact(const std::string& path, int width, int cap, int low, Add add) {
  LineReader in = lines_or_exit(path);
  ContactFields f;
  std::string line;
  while (in.next(line)) {
    f.read(line);
    Simple_Pair p;
    fill_simple_pair(p, f.rn1, f.an1, f.rn2, f.an2);
    long long b = count_bin(f.n_all, width, cap, low);
    if (b < 0) continue;  // no slot below the first
    add(f, p.type_pair_key, static_cast<size_t>(b));
  }
}

}  // namespace

void read_contacts(std::string path, std::vector<Simple_Pair>& pairs) {
  read_pairs(path, pairs, false);
}

void read_interface_contacts(std::string path, std::vector<Simple_Pair>& pairs) {
  read_pairs(path, pairs, true);
}

void read_contacts(std::string path, StringHash<unsigned long>& index, std::vector<Bead>& beads) {
  LineReader in = lines_or_exit(path);
  std::string line;
  while (in.next(line)) {
    std::vector<std::string> w = words_of(line);
    if (w.size() < 6) continue;
    // Keys the index lacks name no bead: they are passed over.
    for (int side = 0; side < 2; ++side) {
      const char* key = w[side].c_str();
      if (!index.contains(key)) continue;
      unsigned long k = index.find(key);
      if (k < beads.size())
        beads[k].n_contacts = static_cast<int>(std::strtol(w[4 + side].c_str(), nullptr, 10));
    }
  }
}

void read_contacts(std::string path, std::vector<Bead>& beads) {
  LineReader in = lines_or_exit(path);
  StringHash<bool> seen(101);
  Bead work;
  std::string k1, k2;
  int n1 = 0, n2 = 0;
  std::string line;
  while (in.next(line)) {
    LineBuffers buf(2, line.size());
    int a = n1, b = n2;
    int got = std::sscanf(line.c_str(), "%s %s %*d %*d %d %d", buf[0], buf[1], &a, &b);
    if (got >= 1) k1 = buf[0];
    if (got >= 2) k2 = buf[1];
    if (got >= 3) n1 = a;
    if (got >= 4) n2 = b;
    const std::string* keys[2] = {&k1, &k2};
    int counts[2] = {n1, n2};
    for (int side = 0; side < 2; ++side) {
      const char* key = keys[side]->c_str();
      if (seen.contains(key)) continue;
      work.set_from_formatted_key(key, 0, 0, 0, 0);
      work.n_contacts = counts[side];
      seen.insert(key, true);
      beads.push_back(work);
    }
  }
  for (size_t k = 0; k < beads.size(); ++k) {
    beads[k].serial = static_cast<int>(k) + 1;
    beads[k].build_keys();
  }
}

void read_contacts(std::string path, std::map<std::string, std::vector<long double>>& hist,
                   std::vector<long double>& total, int nbins, int width, int cap, int low) {
  const size_t all = static_cast<size_t>(nbins) + 1;
  auto add = [&](const ContactFields&, const char* key, size_t bin) {
    std::vector<long double>& h = hist[key];
    slot(h, bin) += 1;
    slot(h, all) += 1;
    slot(total, bin) += 1;
    slot(total, all) += 1;
  };
  for_each_binned_contact(path, width, cap, low, add);
}

void read_contacts(std::string path, std::map<std::string, std::vector<std::vector<int>>>& hist,
                   std::vector<std::vector<int>>& total, int nbins, int width, int cap, int low) {
  const size_t all = static_cast<size_t>(nbins) + 1;
  auto add = [&](const ContactFields& f, const char* key, size_t bin) {
    std::vector<std::vector<int>>& h = hist[key];
    const int level_row = f.level + 2;
    // Row 8 counts every line once, the level-6 lines (whose own row it is)
    // included.
    for (int r : {level_row, level_row == 8 ? -1 : 8}) {
      if (r < 0) continue;  // a level below -2 has no row
      slot(slot(h, r), bin) += 1;
      slot(slot(h, r), all) += 1;
      slot(slot(total, r), bin) += 1;
      slot(slot(total, r), all) += 1;
    }
  };
  for_each_binned_contact(path, width, cap, low, add);
}

int read_rmsd(std::string path, StringHash<double>& table) {
  LineReader in(path);
  if (!in.ok()) {
    std::cerr << "No " << path << "was found" << std::endl;
    return 0;
  }
  std::string name;
  double value = 0;
  std::string line;
  while (in.next(line)) {
    LineBuffers buf(1, line.size());
    double v = value;
    int got = std::sscanf(line.c_str(), "%s %lg", buf[0], &v);
    if (got >= 1) name = buf[0];
    if (got >= 2) value = v;
    std::string key = name;
    if (key.size() >= 4) {
      std::string tail = key.substr(key.size() - 4);
      if (tail == ".pdb" || tail == ".PDB") key.erase(key.size() - 4);
    }
    table.insert(key.c_str(), value);
  }
  return 1;
}

void read_alpha_edges(std::string path, std::vector<std::vector<int>>& adjacency,
                      std::vector<Bead>& beads, StringHash<int>& index, PairFilter filter,
                      std::ostream& log) {
  LineReader in = lines_or_exit(path);
  std::string k1, k2;
  std::string line;
  while (in.next(line)) {
    LineBuffers buf(2, line.size());
    int got = std::sscanf(line.c_str(), "%s %s ", buf[0], buf[1]);
    if (got >= 1) k1 = buf[0];
    if (got >= 2) k2 = buf[1];
    int i = index[k1.c_str()];
    int j = index[k2.c_str()];
    size_t n = std::min(beads.size(), adjacency.size());
    if (i < 0 || j < 0 || static_cast<size_t>(i) >= n || static_cast<size_t>(j) >= n) continue;
    if (alpha_level_of(beads[i], beads[j], log) >= 6) continue;
    if (!filter(beads[i], beads[j])) {
      beads[i].n_contacts += 1;
      beads[j].n_contacts += 1;
    }
    adjacency[i].push_back(j);
    adjacency[j].push_back(i);
  }
}

void read_potentials_for_align(std::string dir, StringHash<double>& table, int n) {
  read_potential_words(dir + "atomPairwise.6.pt", table, n + 2, "");
}

void read_potentials_1body(std::string dir, StringHash<double>& table, int count) {
  std::string path = dir + "atomOnebody.1.pt";
  LineReader in = lines_or_exit(path);
  std::string line;
  while (in.next(line)) {
    std::vector<std::string> w = words_of(line);
    if (w.empty()) continue;
    // A line with fewer numbers than expected stores the ones it has.
    for (int k = 1; k <= count && static_cast<size_t>(k) < w.size(); ++k) {
      double v;
      if (!to_double(w[k], v)) break;
      table.insert((w[0] + ":" + std::to_string(k)).c_str(), v);
    }
  }
}

void read_potentials_2body(std::string dir, StringHash<double>& table, int n) {
  for (int t = -2; t <= 6; ++t)
    read_potential_words(dir + "atomPairwise." + std::to_string(t) + ".pt", table, n + 2,
                         std::to_string(t) + ":");
}
