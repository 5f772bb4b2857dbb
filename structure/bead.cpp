#include "structure/bead.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <string>
#include <utility>
#include <vector>

#include "structure/numformat.h"
#include "structure/output.h"
#include "structure/para.h"

int Bead::real_res_num = 1;
StringHash<int> real_res_num_of(101);

namespace {

// Copies at most size-1 characters of src into a field of the given size.
void copy_field(char* dst, size_t size, const char* src) {
  size_t n = std::strlen(src);
  if (n > size - 1) n = size - 1;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

// Cuts columns [from, to] (1-based, inclusive) out of a line of length len;
// columns past the end of the line read as absent.
std::string column(const char* line, size_t len, size_t from, size_t to) {
  if (len < from) return std::string();
  if (to > len) to = len;
  return std::string(line + from - 1, to - from + 1);
}

char column_char(const char* line, size_t len, size_t col) {
  return len >= col ? line[col - 1] : ' ';
}

double radius_lookup(const char* type_key) { return radius_of_atom[type_key]; }

}  // namespace

Bead::Bead() { initialize(); }

Bead::Bead(const char* line, int n) {
  initialize();
  if (std::strncmp(line, "ATOM", 4) == 0)
    set_from_PDB(line, n);
  else
    set_from_formatted_key(line, n, 0, 0, 0);
}

void Bead::initialize() {
  atom_name[0] = res_name[0] = type_key[0] = atom_key[0] = residue_id[0] = '\0';
  chain_id = group_id = insertion_code = '\0';
  serial = res_num = res_index = 0;
  x = y = z = 0;
  b_factor = radius = 0;
  n_contacts = 0;
  on_surf = false;
  on_interface = 0;
  real_res_number = 0;
}

void Bead::set_atom_name(const char* name) { copy_field(atom_name, sizeof atom_name, name); }

void Bead::set_res_name(const char* name) { copy_field(res_name, sizeof res_name, name); }

void Bead::build_keys() {
  // snprintf cuts a text that does not fit; names from PDB columns and
  // residue and serial numbers of up to five digits always fit.
  if (std::snprintf(atom_key, sizeof atom_key, "%c:%d:%s:%d:%s", chain_id, res_num, res_name,
                    serial, atom_name) < 0)
    atom_key[0] = '\0';
  if (std::snprintf(type_key, sizeof type_key, "%s.%s", res_name, atom_name) < 0)
    type_key[0] = '\0';
  if (std::snprintf(residue_id, sizeof residue_id, "%c%d%c", chain_id, res_num, insertion_code) < 0)
    residue_id[0] = '\0';
}

void Bead::set_from_formatted_key(const char* key, double px, double py, double pz, int n) {
  // Scan into buffers as long as the key so that no name can overrun them,
  // then cut the names to their fields.
  size_t len = std::strlen(key) + 1;
  std::vector<char> rn(len, '\0'), an(len, '\0');
  char c = chain_id;
  int rnum = res_num, ser = serial;
  int got = std::sscanf(key, "%c:%d:%[^:]:%d:%s", &c, &rnum, rn.data(), &ser, an.data());
  if (got >= 1) chain_id = c;
  if (got >= 2) res_num = rnum;
  if (got >= 3) set_res_name(rn.data());
  if (got >= 4) serial = ser;
  if (got >= 5) set_atom_name(an.data());
  build_keys();
  real_res_number = res_num;
  x = px;
  y = py;
  z = pz;
  n_contacts = n;
  b_factor = 0;
  radius = radius_lookup(type_key);
}

void Bead::set_from_PDB(const char* line, int n) {
  size_t len = std::strlen(line);
  group_id = 0;
  chain_id = column_char(line, len, 22);
  if (chain_id == ' ') chain_id = '*';
  insertion_code = column_char(line, len, 27);

  std::string f;
  int iv;
  double dv;
  char word[8];  // every name column is at most 4 wide
  f = column(line, len, 7, 11);
  if (std::sscanf(f.c_str(), "%d", &iv) == 1) serial = iv;
  f = column(line, len, 18, 20);
  if (std::sscanf(f.c_str(), "%7s", word) == 1) set_res_name(word);
  f = column(line, len, 13, 16);
  if (std::sscanf(f.c_str(), "%7s", word) == 1) set_atom_name(word);
  f = column(line, len, 23, 26);
  if (std::sscanf(f.c_str(), "%d", &iv) == 1) res_num = iv;
  f = column(line, len, 31, 38);
  if (std::sscanf(f.c_str(), "%lg", &dv) == 1) x = dv;
  f = column(line, len, 39, 46);
  if (std::sscanf(f.c_str(), "%lg", &dv) == 1) y = dv;
  f = column(line, len, 47, 54);
  if (std::sscanf(f.c_str(), "%lg", &dv) == 1) z = dv;
  b_factor = 0;
  if (len > 61) {
    f = column(line, len, 61, 66);
    if (std::sscanf(f.c_str(), "%lg", &dv) == 1) b_factor = dv;
  }

  build_keys();
  n_contacts = n;
  radius = radius_lookup(type_key);

  if (real_res_num_of.contains(residue_id)) {
    real_res_number = real_res_num_of.find(residue_id);
  } else {
    real_res_num_of.insert(residue_id, Bead::real_res_num);
    real_res_number = Bead::real_res_num;
    ++Bead::real_res_num;
  }
}

void Bead::print_bead_with_pdb_format(std::ostream& out) const {
  out << std::left << std::setw(6) << "ATOM" << std::right << std::setw(5) << pdb_serial(serial)
      << "  " << std::left << std::setw(3) << atom_name << " " << res_name << " " << chain_id
      << std::right << std::setw(4) << pdb_residue_number(res_num) << "    " << std::fixed
      << std::setprecision(3) << std::setw(8) << x << std::setw(8) << y << std::setw(8) << z
      << '\n';
}

Pair::Pair() : first(nullptr), second(nullptr), alpha_level(ALPHA_LEVEL_UNSET), edge_size(0) {
  type_pair_key[0] = '\0';
}

Pair::Pair(Bead* a, Bead* b, int level) : edge_size(0) { set_pair(a, b, level); }

void Pair::set_pair(Bead* a, Bead* b, int level) {
  if (std::strcmp(a->atom_key, b->atom_key) <= 0) {
    first = a;
    second = b;
  } else {
    first = b;
    second = a;
  }
  const char* t1 = first->type_key;
  const char* t2 = second->type_key;
  if (std::strcmp(t1, t2) > 0) std::swap(t1, t2);
  // "t1:t2" cut to the field, built by hand: this runs once per Delaunay
  // edge and a formatted print costs more than the whole rest of the pair.
  const size_t cap = sizeof type_pair_key - 1;
  size_t n1 = std::strlen(t1);
  if (n1 > cap) n1 = cap;
  std::memcpy(type_pair_key, t1, n1);
  size_t n = n1;
  if (n < cap) type_pair_key[n++] = ':';
  size_t n2 = std::strlen(t2);
  if (n2 > cap - n) n2 = cap - n;
  std::memcpy(type_pair_key + n, t2, n2);
  type_pair_key[n + n2] = '\0';
  alpha_level = level;
}

void Pair::print_pair(std::ostream& out) const {
  char line[kContactLineMax];
  out.write(line, put_contact_line(line, *this) - line);
}

char* put_contact_line(char* out, const Pair& p) {
  const Bead* a = p.first;
  const Bead* b = p.second;
  if (std::strcmp(a->atom_key, b->atom_key) > 0) std::swap(a, b);
  // An uncomputed level is derived from the pair's own order, first then
  // second, whatever order the line shows the keys in.
  int level =
      p.alpha_level == ALPHA_LEVEL_UNSET ? alpha_level_of(*p.first, *p.second) : p.alpha_level;
  out = put_text(out, a->atom_key);
  *out++ = ' ';
  out = put_text(out, b->atom_key);
  *out++ = ' ';
  out = put_integer(out, level);
  *out++ = ' ';
  out = put_integer(out, a->n_contacts + b->n_contacts);
  *out++ = ' ';
  out = put_integer(out, a->n_contacts);
  *out++ = ' ';
  out = put_integer(out, b->n_contacts);
  *out++ = ' ';
  out = put_general(out, distance_of(*a, *b));
  *out++ = '\n';
  return out;
}

double distance_of(const Bead& a, const Bead& b) {
  double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double edge_size_of(const Bead& a, const Bead& b) {
  double w1 = a.radius * a.radius;
  double w2 = b.radius * b.radius;
  double d = distance_of(a, b);
  double d2 = d * d;
  return 0.25 * (d2 - 2 * (w1 + w2) + (w1 - w2) * (w1 - w2) / d2);
}

int alpha_level_of_size(double size) {
  double v = size > 0 ? size + 1 : size;
  // Clamp before converting: levels live in [-2, 6], and a NaN (coincident
  // equal balls) counts as the deepest overlap.
  if (std::isnan(v) || v <= -2) return -2;
  if (v >= 6) return 6;
  return static_cast<int>(v);
}

int alpha_level_of(const Bead& a, const Bead& b) {
  // printf("%g\n%g\n") without printf: every collector calls this per edge.
  char text[2 * kNumberTextMax + 2];
  char* p = put_general(text, a.radius * a.radius);
  *p++ = '\n';
  p = put_general(p, b.radius * b.radius);
  *p++ = '\n';
  std::fwrite(text, 1, static_cast<size_t>(p - text), stdout);
  return alpha_level_of_size(edge_size_of(a, b));
}
