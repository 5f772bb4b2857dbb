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

// Stores text [begin, end) in a field of the given size as snprintf would:
// cut to at most size-1 characters and terminated.
void store_field(char* dst, size_t size, const char* begin, const char* end) {
  size_t n = static_cast<size_t>(end - begin);
  if (n > size - 1) n = size - 1;
  std::memcpy(dst, begin, n);
  dst[n] = '\0';
}

void copy_field(char* dst, size_t size, const char* src) {
  store_field(dst, size, src, src + std::strlen(src));
}

// Columns [from, to] (1-based, inclusive) of a line of length len; columns
// past the end of the line read as absent.
struct Field {
  const char* begin;
  const char* end;
};

Field column(const char* line, size_t len, size_t from, size_t to) {
  if (len < from) return {line + len, line + len};
  if (to > len) to = len;
  return {line + from - 1, line + to};
}

char column_char(const char* line, size_t len, size_t col) {
  return len >= col ? line[col - 1] : ' ';
}

// White space as scanf skips it in the "C" locale.
bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

const char* skip_space(const char* p, const char* end) {
  while (p < end && is_space(*p)) ++p;
  return p;
}

// The fields are read as sscanf reads them ("%d", "%lg", "%s"), blanks
// around a value included; a field without a value leaves the target
// alone.  The plain forms PDB files hold are read here directly, anything
// else by sscanf itself, which is many times slower.

bool scan_int(Field f, int& value) {
  const char* p = skip_space(f.begin, f.end);
  bool negative = p < f.end && *p == '-';
  if (p < f.end && (*p == '-' || *p == '+')) ++p;
  const char* digits = p;
  long long v = 0;
  while (p < f.end && is_digit(*p) && p - digits < 9) v = v * 10 + (*p++ - '0');
  if (p == digits) return false;
  if (p < f.end && is_digit(*p)) {  // beyond the fast path's range
    std::string text(f.begin, f.end);
    return std::sscanf(text.c_str(), "%d", &value) == 1;
  }
  value = static_cast<int>(negative ? -v : v);
  return true;
}

bool scan_double(Field f, double& value) {
  const char* p = skip_space(f.begin, f.end);
  bool negative = p < f.end && *p == '-';
  if (p < f.end && (*p == '-' || *p == '+')) ++p;
  long long mantissa = 0;
  int digits = 0, decimals = 0;
  // Digits past the 15th are counted, not added: such a field goes to sscanf.
  for (; p < f.end && is_digit(*p); ++p, ++digits)
    if (digits < 15) mantissa = mantissa * 10 + (*p - '0');
  if (p < f.end && *p == '.')
    for (++p; p < f.end && is_digit(*p); ++p, ++digits, ++decimals)
      if (digits < 15) mantissa = mantissa * 10 + (*p - '0');
  if (digits > 0 && digits <= 15 && (p == f.end || is_space(*p))) {
    // Mantissa and power of ten are exact doubles, so one division rounds
    // correctly, as strtod under scanf does.
    static const double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    double v = static_cast<double>(mantissa) / kPow10[decimals];
    value = negative ? -v : v;
    return true;
  }
  std::string text(f.begin, f.end);
  return std::sscanf(text.c_str(), "%lg", &value) == 1;
}

// The first blank-free word of the field, cut to a name field of the given
// size; false when the field is blank.
bool scan_word(Field f, char* name, size_t size) {
  const char* p = skip_space(f.begin, f.end);
  const char* q = p;
  while (q < f.end && !is_space(*q)) ++q;
  if (q == p) return false;
  store_field(name, size, p, q);
  return true;
}

// The fields that name the atom and its residue, which decide whether the
// atom is kept and which residue number it gets.
void read_identity(Bead& b, const char* line, size_t len) {
  b.group_id = 0;
  b.chain_id = column_char(line, len, 22);
  if (b.chain_id == ' ') b.chain_id = '*';
  b.insertion_code = column_char(line, len, 27);
  scan_word(column(line, len, 18, 20), b.res_name, sizeof b.res_name);
  scan_word(column(line, len, 13, 16), b.atom_name, sizeof b.atom_name);
  int iv;
  if (scan_int(column(line, len, 23, 26), iv)) b.res_num = iv;
}

// Serial number, centre and B-factor.
void read_position(Bead& b, const char* line, size_t len) {
  int iv;
  double dv;
  if (scan_int(column(line, len, 7, 11), iv)) b.serial = iv;
  if (scan_double(column(line, len, 31, 38), dv)) b.x = dv;
  if (scan_double(column(line, len, 39, 46), dv)) b.y = dv;
  if (scan_double(column(line, len, 47, 54), dv)) b.z = dv;
  b.b_factor = 0;
  if (len > 61 && scan_double(column(line, len, 61, 66), dv)) b.b_factor = dv;
}

// The keys are built by hand rather than with snprintf: this runs for every
// atom read.  Names from PDB columns and numbers of up to five digits always
// fit; a longer text is cut to its field.
const size_t kKeyText = 2 * kNumberTextMax + 16;

void build_atom_key(Bead& b) {
  char text[kKeyText];
  char* p = text;
  *p++ = b.chain_id;
  *p++ = ':';
  p = put_integer(p, b.res_num);
  *p++ = ':';
  p = put_text(p, b.res_name);
  *p++ = ':';
  p = put_integer(p, b.serial);
  *p++ = ':';
  p = put_text(p, b.atom_name);
  store_field(b.atom_key, sizeof b.atom_key, text, p);
}

void build_type_key(Bead& b) {
  char text[kKeyText];
  char* p = put_text(text, b.res_name);
  *p++ = '.';
  p = put_text(p, b.atom_name);
  store_field(b.type_key, sizeof b.type_key, text, p);
}

void build_residue_id(Bead& b) {
  char text[kKeyText];
  char* p = text;
  *p++ = b.chain_id;
  p = put_integer(p, b.res_num);
  *p++ = b.insertion_code;
  store_field(b.residue_id, sizeof b.residue_id, text, p);
}

// Every distinct residue id gets the next number at its first atom.
int residue_number_of(const char* residue_id) {
  if (real_res_num_of.contains(residue_id)) return real_res_num_of.find(residue_id);
  real_res_num_of.insert(residue_id, Bead::real_res_num);
  return Bead::real_res_num++;
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
  build_atom_key(*this);
  build_type_key(*this);
  build_residue_id(*this);
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
  read_identity(*this, line, len);
  read_position(*this, line, len);
  build_keys();
  n_contacts = n;
  radius = radius_lookup(type_key);
  real_res_number = residue_number_of(residue_id);
}

double PdbReadMemo::radius(const char* type_key) {
  // A bead's type key has at most 8 characters: packed into a word, zero
  // padded.  A longer text is not remembered.
  uint64_t key = 0;
  int n = 0;
  for (; n < 8 && type_key[n] != '\0'; ++n)
    key |= static_cast<uint64_t>(static_cast<unsigned char>(type_key[n])) << (8 * n);
  if (n == 8 && type_key[8] != '\0') return radius_lookup(type_key);
  size_t i = static_cast<size_t>((key * 0x9E3779B97F4A7C15ULL) >> (64 - kSlotBits));
  for (; slots_[i].used; i = (i + 1) % kSlots)
    if (slots_[i].key == key) return slots_[i].radius;
  double r = radius_lookup(type_key);
  if (used_ < kSlots / 2) {  // beyond that, ask the table every time
    slots_[i] = {key, r, true};
    ++used_;
  }
  return r;
}

int PdbReadMemo::residue_number(const Bead& b) {
  // The atoms of a residue stand together, and a number once given to an
  // id never changes.
  if (!has_last_ || std::strcmp(last_residue_, b.residue_id) != 0) {
    std::strcpy(last_residue_, b.residue_id);
    last_number_ = residue_number_of(b.residue_id);
    has_last_ = true;
  }
  return last_number_;
}

bool read_pdb_atom(const char* line, Bead& b, PdbReadMemo& memo) {
  size_t len = std::strlen(line);
  read_identity(b, line, len);
  build_type_key(b);
  build_residue_id(b);
  double r = memo.radius(b.type_key);
  b.real_res_number = memo.residue_number(b);
  if (r == 0) return false;
  read_position(b, line, len);
  build_atom_key(b);
  b.n_contacts = 0;
  b.radius = r;
  return true;
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

void Pair::print_pair(std::ostream& out, std::ostream& log) const {
  char line[kContactLineMax];
  out.write(line, put_contact_line(line, *this, log) - line);
}

char* put_contact_line(char* out, const Pair& p, std::ostream& log) {
  const Bead* a = p.first;
  const Bead* b = p.second;
  if (std::strcmp(a->atom_key, b->atom_key) > 0) std::swap(a, b);
  // An uncomputed level is derived from the pair's own order, first then
  // second, whatever order the line shows the keys in.
  int level =
      p.alpha_level == ALPHA_LEVEL_UNSET ? alpha_level_of(*p.first, *p.second, log) : p.alpha_level;
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

int alpha_level_of(const Bead& a, const Bead& b, std::ostream& log) {
  // printf("%g\n%g\n") without printf: every collector calls this per edge.
  char text[2 * kNumberTextMax + 2];
  char* p = put_general(text, a.radius * a.radius);
  *p++ = '\n';
  p = put_general(p, b.radius * b.radius);
  *p++ = '\n';
  log.write(text, p - text);
  return alpha_level_of_size(edge_size_of(a, b));
}
