// Compiled-in residue, atom-class and radius tables.
#ifndef STRUCTURE_PARA_H
#define STRUCTURE_PARA_H

#include <map>
#include <string>
#include <vector>

#include "lib/hash.h"

// type key ("ALA.CA") -> atom class ("C4H")
extern std::map<std::string, std::string> class_of_atom;
// atom class -> radius
extern std::map<std::string, double> radius_of_atom_class;
// type key -> radius, composed from the two tables above; a lookup of an
// unknown key adds it with radius 0.
extern std::map<std::string, double> radius_of_atom;
// three-letter residue name -> one-letter code
extern StringHash<char> amino_abb;

void construct_map_of_atom_types();
void set_radius();
void construct_map_of_radius();
void construct_abb_of_all_residues();

// One-letter code of a residue name; 'X' for a name without a code.
char one_letter_code(const char* res_name);

// ---- residue atom inventories and pair-type lists ---------------------------

extern std::map<std::string, std::vector<std::string>> atoms_of_residue_type;
extern std::vector<std::string> residue_names;
extern std::vector<std::string> atom_names;          // RES.ATOM, sorted
extern std::vector<std::string> atom_names_reduced;  // RES.SC
extern std::vector<std::string> atom_pair_types;
extern std::vector<std::string> residue_pair_types;
extern std::vector<std::string> atom_pair_types_reduced;

// Each builder first runs the builder it depends on.  The name and pair
// lists are appended to, never cleared.
void map_atoms_of_residue_type();
void construct_vector_of_all_atoms();
void construct_vector_of_all_atom_pairs();
void construct_vector_of_all_residues();
void construct_vector_of_all_atoms_reduced();
void construct_vector_of_all_residue_pairs();
void construct_vector_of_all_atom_pairs_reduced();

#endif
