#include "structure/file.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

#include "structure/para.h"

// ---- line reading -----------------------------------------------------------

LineReader::LineReader(const std::string& path) : pos_(0), ok_(false) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return;
  ok_ = true;
  char buf[1 << 16];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data_.append(buf, n);
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

void open_for_write(std::ofstream& out, const std::string& path,
                    const char* message = "error opening file to write ") {
  out.open(path.c_str());
  if (!out) {
    std::cerr << message << path << std::endl;
    std::exit(1);
  }
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

void read_pdb(std::string path, std::vector<Bead>& beads) {
  LineReader in(path);
  if (!in.ok()) fail_to_read(path);
  construct_map_of_radius();
  Bead::real_res_num = 1;
  real_res_num_of.clear();

  beads.clear();
  beads.reserve(100000);
  std::string line;
  while (in.next(line)) {
    if (line.compare(0, 6, "ENDMDL") == 0) break;
    if (line.compare(0, 4, "ATOM") != 0) continue;
    if (line.size() >= 17 && (line[16] == 'B' || line[16] == '2')) continue;
    Bead b;
    b.set_from_PDB(line.c_str(), 0);
    if (b.radius != 0) beads.push_back(b);
  }
  beads.shrink_to_fit();

  int previous = -100, counter = 0;
  for (Bead& b : beads) {
    if (b.res_num != previous) ++counter;
    previous = b.res_num;
    b.res_index = counter;
  }
}

void print_pdb(std::string path, const std::vector<Bead>& beads) {
  std::ofstream out;
  open_for_write(out, path);
  for (const Bead& b : beads) b.print_bead_with_pdb_format(out);
}

// ---- edge, contact, surface and interface files ---------------------------

void print_pair_keys(std::string path, const std::vector<Pair>& pairs) {
  std::ofstream out;
  open_for_write(out, path);
  for (const Pair& p : pairs) {
    const Bead& a = ordered_first(p);
    const Bead& b = ordered_second(p);
    out << a.atom_key << ' ' << b.atom_key << ' ' << edge_size_of(*p.first, *p.second) << ' '
        << distance_of(a, b) << '\n';
  }
}

void print_contacts(std::string path, const std::vector<Pair>& pairs) {
  std::ofstream out;
  open_for_write(out, path);
  for (const Pair& p : pairs) p.print_pair(out);
}

void print_atoms_contacts(std::string path, const std::vector<Bead>& beads,
                          const std::vector<Pair>& pairs, double) {
  std::ofstream out;
  open_for_write(out, path);
  for (const Bead& b : beads)
    out << b.atom_key << ' ' << b.res_index << ' ' << (b.on_surf ? 1 : 0) << '\n';
  for (const Pair& p : pairs) p.print_pair(out);
}

void print_surface_atom_and_contacts(std::string path, const std::vector<Bead>& beads,
                                     const std::vector<Pair>& pairs) {
  std::ofstream out;
  open_for_write(out, path);
  out << "#Atoms: Key resID x y z\n";
  for (const Bead& b : beads)
    if (b.on_surf)
      out << b.atom_key << ' ' << b.res_index << ' ' << b.x << ' ' << b.y << ' ' << b.z << '\n';
  out << "\n#Contacts: Key1 Key2 alpha #neigbor-all #neighbor1 #neighbor2 distance\n";
  for (const Pair& p : pairs) p.print_pair(out);
}

void print_interface_contacts(std::string path, const std::vector<Pair>& pairs) {
  std::ofstream out;
  open_for_write(out, path, "error opening file to write");
  for (const Pair& p : pairs)
    if (p.first->chain_id != p.second->chain_id) p.print_pair(out);
}

void print_interface_residues(std::string path, std::vector<Bead>& beads,
                              const std::vector<Pair>& pairs, std::string spec,
                              InterfaceRule rule) {
  for (Bead& b : beads) b.on_interface = 0;
  for (const Pair& p : pairs)
    if (rule(p.first->chain_id, p.second->chain_id, spec))
      p.first->on_interface = p.second->on_interface = 1;

  std::ofstream out;
  open_for_write(out, path);
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
