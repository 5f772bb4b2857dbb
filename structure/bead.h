// Atom record (Bead) and atom pair (Pair) shared by every layer of alvex.
#ifndef STRUCTURE_BEAD_H
#define STRUCTURE_BEAD_H

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

#include "lib/hash.h"

class Bead {
 public:
  char atom_name[5];    // at most 4 characters (CA, OD1, SC)
  char res_name[4];     // at most 3 characters (GLY)
  char type_key[9];     // "res_name.atom_name", key of the radius table
  char atom_key[30];    // "chain:res_num:res_name:serial:atom_name"
  char residue_id[10];  // chain, res_num, insertion code
  char chain_id;        // a blank chain column is stored as '*'
  char group_id;
  char insertion_code;
  int serial;
  int res_num;
  int res_index;  // running residue index, 1 for the first residue
  double x, y, z;
  double b_factor;
  double radius;
  int n_contacts;
  bool on_surf;
  int on_interface;
  int real_res_number;  // number of the residue id in order of first appearance

  // Next real_res_number to hand out; read_pdb resets it to 1.
  static int real_res_num;

  Bead();
  // An "ATOM" line is parsed as PDB, any other text as an atom key
  // (x = n, no contacts).
  Bead(const char* line, int n);
  Bead(const Bead& other) = default;  // copies every field
  Bead& operator=(const Bead& other) = default;

  void initialize();
  void set_from_formatted_key(const char* key, double x, double y, double z, int n);
  void set_from_PDB(const char* line, int n);
  void print_bead_with_pdb_format(std::ostream& out) const;

  // Rebuilds atom_key, type_key and residue_id from the name and number
  // fields; too-long results are cut to their field.
  void build_keys();
  // Sets atom_name / res_name, truncated to the field width.
  void set_atom_name(const char* name);
  void set_res_name(const char* name);
};

// residue_id -> real_res_number of the structure being read.
extern StringHash<int> real_res_num_of;

// What reading one file's atoms asks over and over, remembered while
// nothing else changes the tables: the radius table's answer by type key
// (radius_of_atom enters an absent key with 0) and the number of the last
// residue id met.
class PdbReadMemo {
 public:
  PdbReadMemo() : slots_(kSlots) {}
  double radius(const char* type_key);
  // real_res_num_of's number of the bead's residue id, handing out the next
  // one to a new id.
  int residue_number(const Bead& b);

 private:
  struct Slot {
    uint64_t key;
    double radius;
    bool used;
  };
  static const int kSlotBits = 10;
  static const size_t kSlots = size_t(1) << kSlotBits;
  std::vector<Slot> slots_;
  size_t used_ = 0;
  char last_residue_[sizeof(Bead::residue_id)] = {};
  int last_number_ = 0;
  bool has_last_ = false;
};

// set_from_PDB(line, 0) on a default bead, for a reader that keeps only
// atoms with a radius: an atom without one is left part-filled and false
// returned, with its residue numbered all the same.
bool read_pdb_atom(const char* line, Bead& b, PdbReadMemo& memo);

class Pair {
 public:
  Bead* first;  // the bead whose atom key is not larger
  Bead* second;
  int alpha_level;  // 99 while not computed
  double edge_size;
  char type_pair_key[20];  // smaller type key ":" larger type key

  Pair();
  Pair(Bead* a, Bead* b, int level);
  void set_pair(Bead* a, Bead* b, int level);
  // Writes the contact line to out; a level not computed yet is derived
  // for the line (alpha_level_of, which writes to log) and not stored.
  void print_pair(std::ostream& out, std::ostream& log) const;
};

// Longest contact line with its line end.
const size_t kContactLineMax = 160;

// Writes the contact line of print_pair at out (room for kContactLineMax
// bytes) and returns its end; log as for print_pair.
char* put_contact_line(char* out, const Pair& p, std::ostream& log);

// Level value meaning "not computed yet"; the rule below never yields it.
const int ALPHA_LEVEL_UNSET = 99;

// Edge size of two beads taken in this order: with w the squared radii and
// d2 the squared centre distance, 0.25 * (d2 - 2(w1+w2) + (w1-w2)^2 / d2).
// Prints nothing.
double edge_size_of(const Bead& a, const Bead& b);

// Integer alpha level of an edge size: size + 1 truncated when the size is
// positive, else the size truncated, clamped to [-2, 6].  The clamp is done
// in floating point, so NaN, infinite and huge sizes are safe: NaN and
// -infinity give -2, +infinity and huge sizes give 6.  Prints nothing.
int alpha_level_of_size(double size);

// The full level derivation used by every collector: writes the squared
// radii of a and then b to log, one per line (printf "%g"), and returns
// alpha_level_of_size(edge_size_of(a, b)).
int alpha_level_of(const Bead& a, const Bead& b, std::ostream& log);

// Centre distance of two beads.
double distance_of(const Bead& a, const Bead& b);

#endif
