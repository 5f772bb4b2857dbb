#include "structure/para.h"

#include <algorithm>
#include <cstring>

#include "structure/util.h"

std::map<std::string, std::string> class_of_atom;
std::map<std::string, double> radius_of_atom_class;
std::map<std::string, double> radius_of_atom;
StringHash<char> amino_abb;

namespace {

// The residues alvex knows by name: one-letter code, the class and radius of
// the side-chain bead "RES.SC", and whether the residue carries the four
// backbone atoms.  The lower-case bead "RES.sc" has class <code>sc, radius 2.
struct ResidueEntry {
  const char* name;
  char code;
  const char* sc_class;
  double sc_radius;
  const char* lower_sc_class;
  bool backbone;
};

const ResidueEntry kResidues[] = {
    {"GLY", 'G', "GSC", 1.9, "Gsc", true},  {"PRO", 'P', "PSC", 2.8, "Psc", true},
    {"ALA", 'A', "ASC", 2.3, "Asc", true},  {"VAL", 'V', "VSC", 2.9, "Vsc", true},
    {"LEU", 'L', "LSC", 3.15, "Lsc", true}, {"ILE", 'I', "ISC", 3.1, "Isc", true},
    {"MET", 'M', "MSC", 3.1, "Msc", true},  {"CYS", 'C', "CSC", 2.5, "Csc", true},
    {"PHE", 'F', "FSC", 3.4, "Fsc", true},  {"TYR", 'Y', "YSC", 3.45, "Ysc", true},
    {"TRP", 'W', "WSC", 3.6, "Wsc", true},  {"HIS", 'H', "HSC", 3.1, "Hsc", true},
    {"LYS", 'K', "KSC", 3.15, "Ksc", true}, {"ARG", 'R', "RSC", 3.4, "Rsc", true},
    {"GLN", 'Q', "QSC", 3.05, "Qsc", true}, {"ASN", 'N', "NSC", 2.85, "Nsc", true},
    {"GLU", 'E', "ESC", 3.05, "Esc", true}, {"ASP", 'D', "DSC", 2.8, "Dsc", true},
    {"SER", 'S', "SSC", 2.4, "Ssc", true},  {"THR", 'T', "TSC", 2.8, "Tsc", true},
    {"KCX", 'X', "XSC", 3.15, "Xsc", true}, {"FIN", 'Z', "ZSC", 4.0, "Zsc", false},
    {"LUN", 'B', "BSC", 0.3, "Bsc", false},
};

const double kLowerScRadius = 2.0;

struct ClassRadius {
  const char* cls;
  double radius;
};

const ClassRadius kClassRadii[] = {
    {"C3", 1.61},   {"C3H", 1.76},   {"C3HH", 1.8},  {"C4", 1.8},     {"C4H", 1.88},
    {"C4HH", 1.88}, {"C4HHH", 1.88}, {"CPRO", 1.88}, {"N3", 1.64},    {"N3H", 1.64},
    {"N4", 1.6},    {"N4H", 1.64},   {"N4HH", 1.64}, {"N4HHH", 1.64}, {"O1", 1.42},
    {"O2H", 1.46},  {"O1O2H", 1.4},  {"OXT", 1.5},   {"OWAT", 1.4},   {"N3HH", 1.64},
    {"OW", 1.4},    {"O1N3HH", 1.6}, {"S2", 1.77},   {"S2H", 1.77},   {"P4", 1.8},
    {"FE", 1.7},    {"Z2ION", 0.74}, {"FIN1", 2.6},  {"LUN1", 0.3},   {"DEFAULT", 1.8},
};

// Atom classes beyond the backbone and side-chain beads: for a residue, a
// blank-separated list of atom names that share one class.
struct AtomClasses {
  const char* res;
  const char* atoms;
  const char* cls;
};

const AtomClasses kBackbone[] = {
    {"", "N", "N3H"},
    {"", "CA", "C4H"},
    {"", "C", "C3"},
    {"", "O", "O1"},
};

const AtomClasses kAtomClasses[] = {
    {"GLY", "CA", "C4HH"},  // glycine's alpha carbon carries two hydrogens
    {"GLY", "OXT", "OXT"},
    {"ALA", "CB", "C4HHH"},
    {"VAL", "CB", "C4H"},
    {"VAL", "CG1 CG2", "C4HHH"},
    {"LEU", "CB", "C4HH"},
    {"LEU", "CG", "C4H"},
    {"LEU", "CD1 CD2", "C4HHH"},
    {"LEU", "OXT", "OXT"},
    {"ILE", "CB", "C4H"},
    {"ILE", "CG1", "C4HH"},
    {"ILE", "CG2 CD1", "C4HHH"},
    {"PRO", "CB CG", "C4HH"},
    {"PRO", "CD", "CPRO"},
    {"MET", "CB CG", "C4HH"},
    {"MET", "SD", "S2"},
    {"MET", "CE", "C4HHH"},
    {"PHE", "CB", "C4HH"},
    {"PHE", "CG", "C3"},
    {"PHE", "CD1 CD2 CE1 CE2 CZ", "C3H"},
    {"TYR", "CB", "C4HH"},
    {"TYR", "CG", "C3"},
    {"TYR", "CD1 CD2 CE1 CE2", "C3H"},
    {"TYR", "CZ", "C3"},
    {"TYR", "OH", "O2H"},
    {"TRP", "CB", "C4HH"},
    {"TRP", "CG", "C3"},
    {"TRP", "CD1", "C3H"},
    {"TRP", "NE1", "N3H"},
    {"TRP", "CD2 CE2", "C3"},
    {"TRP", "CE3 CZ3 CZ2 CH2", "C3H"},
    {"SER", "CB", "C4HH"},
    {"SER", "OG", "O2H"},
    {"THR", "CB", "C4H"},
    {"THR", "OG1", "O2H"},
    {"THR", "CG2", "C4HHH"},
    {"ASN", "CB", "C4HH"},
    {"ASN", "CG", "C3"},
    {"ASN", "OD1", "O1"},
    {"ASN", "ND2", "N3HH"},
    {"GLN", "CB CG", "C4HH"},
    {"GLN", "CD", "C3"},
    {"GLN", "OE1", "O1"},
    {"GLN", "NE2", "N3HH"},
    {"CYS", "CB", "C4HH"},
    {"CYS", "SG", "S2"},
    {"HIS", "CB", "C4HH"},
    {"HIS", "CG", "C3"},
    {"HIS", "ND1", "N3"},
    {"HIS", "CD2 CE1", "C3H"},
    {"HIS", "NE2", "N3H"},
    {"GLU", "CB CG", "C4HH"},
    {"GLU", "CD", "C3"},
    {"GLU", "OE1 OE2", "O1O2H"},
    {"ASP", "CB", "C4HH"},
    {"ASP", "CG", "C3"},
    {"ASP", "OD1 OD2", "O1O2H"},
    {"ARG", "CB CG CD", "C4HH"},
    {"ARG", "NE", "N3H"},
    {"ARG", "CZ", "C3"},
    {"ARG", "NH1 NH2", "N3HH"},
    {"LYS", "CB CG CD CE", "C4HH"},
    {"LYS", "NZ", "N4HHH"},
    {"KCX", "CB CG CD CE", "C4HH"},
    {"KCX", "NZ", "N4HHH"},
    {"KCX", "CX", "C4HH"},
    {"KCX", "OQ1 OQ2", "O1"},
    {"FIN", "FIN", "FIN1"},
    {"LUN", "V", "LUN1"},
    {"ZN", "ZN", "Z2ION"},
    {"HEM", "FE", "FE"},
    {"HEM", "CMA CMB CMC CMD", "C4HHH"},
    {"HEM", "CAA CBA CAD CBD", "C4HH"},
    {"HEM", "CAB CH CAC", "C3H"},
    {"HEM", "CBC CBB", "C3HH"},
    {"HEM", "NA NB NC ND", "N3"},
    {"HEM", "O1A O1B O1C O1D", "O1O2H"},
    {"HEM", "C1A C2A C3A C4A CGA C1B C2B C3B C4B C1C C2C C3C C4C C1D C2D C3D C4D", "C3"},
    {"ACE", "CH3", "C4HHH"},
    {"WAT", "O", "OWAT"},
    {"HOH", "O", "OWAT"},
    {"DUM", "OT OXT OT1 OT2 OE", "O1O2H"},
    {"DUM", "NT NDUM", "N4HHH"},
    {"DUM", "Z", "Z2ION"},
    {"DUM", "DUM", "DEFAULT"},
    {"DUM", "ODUM", "O2H"},
    {"DUM", "CDUM", "C4HH"},
};

void assign_classes(const std::string& res, const char* atoms, const char* cls) {
  const char* p = atoms;
  while (*p) {
    while (*p == ' ') ++p;
    const char* start = p;
    while (*p && *p != ' ') ++p;
    if (p > start) class_of_atom[res + "." + std::string(start, p)] = cls;
  }
}

}  // namespace

void construct_map_of_atom_types() {
  for (const ResidueEntry& r : kResidues) {
    if (r.backbone)
      for (const AtomClasses& b : kBackbone) assign_classes(r.name, b.atoms, b.cls);
  }
  // Entries of the residue-specific list override the generic backbone
  // (GLY.CA), so they come second.
  for (const AtomClasses& a : kAtomClasses) assign_classes(a.res, a.atoms, a.cls);
  for (const ResidueEntry& r : kResidues) {
    class_of_atom[std::string(r.name) + ".SC"] = r.sc_class;
    class_of_atom[std::string(r.name) + ".sc"] = r.lower_sc_class;
  }
}

void set_radius() {
  for (const ClassRadius& c : kClassRadii) radius_of_atom_class[c.cls] = c.radius;
  for (const ResidueEntry& r : kResidues) {
    radius_of_atom_class[r.sc_class] = r.sc_radius;
    radius_of_atom_class[r.lower_sc_class] = kLowerScRadius;
  }
}

void construct_map_of_radius() {
  construct_map_of_atom_types();
  set_radius();
  for (const auto& entry : class_of_atom)
    radius_of_atom[entry.first] = radius_of_atom_class[entry.second];
}

void construct_abb_of_all_residues() {
  for (const ResidueEntry& r : kResidues) amino_abb.insert(r.name, r.code);
}

char one_letter_code(const char* res_name) {
  if (!amino_abb.contains(res_name)) return 'X';
  return amino_abb.find(res_name);
}

// ---- residue atom inventories and pair-type lists ---------------------------

std::map<std::string, std::vector<std::string>> atoms_of_residue_type;
std::vector<std::string> residue_names;
std::vector<std::string> atom_names;
std::vector<std::string> atom_names_reduced;
std::vector<std::string> atom_pair_types;
std::vector<std::string> residue_pair_types;
std::vector<std::string> atom_pair_types_reduced;

namespace {

// Heavy atoms of each residue in their stored order (no hydrogens, no OXT).
const char* kAla[] = {"C", "CA", "N", "O", "CB"};
const char* kArg[] = {"C", "CA", "N", "O", "CB", "CG", "CD", "NE", "CZ", "NH1", "NH2"};
const char* kAsn[] = {"C", "CA", "N", "O", "CB", "CG", "ND2", "OD1"};
const char* kAsp[] = {"C", "CA", "N", "O", "CB", "CG", "OD1", "OD2"};
const char* kCys[] = {"C", "CA", "N", "O", "CB", "SG"};
const char* kGln[] = {"C", "CA", "N", "O", "CB", "CG", "CD", "NE2", "OE1"};
const char* kGlu[] = {"C", "CA", "N", "O", "CB", "CG", "CD", "OE1", "OE2"};
const char* kGly[] = {"C", "CA", "N", "O"};
const char* kHis[] = {"C", "CA", "N", "O", "CB", "CG", "ND1", "CE1", "NE2", "CD2"};
const char* kIle[] = {"C", "CA", "N", "O", "CB", "CG2", "CG1", "CD1"};
const char* kLeu[] = {"C", "CA", "N", "O", "CB", "CG", "CD1", "CD2"};
const char* kLys[] = {"C", "CA", "N", "O", "CB", "CG", "CD", "CE", "NZ"};
const char* kMet[] = {"C", "CA", "N", "O", "CB", "CG", "SD", "CE"};
const char* kPhe[] = {"C", "CA", "N", "O", "CB", "CG", "CD1", "CD2", "CE1", "CE2", "CZ"};
const char* kPro[] = {"N", "CA", "CB", "CG", "CD", "C", "O"};
const char* kSer[] = {"C", "CA", "N", "O", "CB", "OG"};
const char* kThr[] = {"C", "CA", "N", "O", "CB", "CG2", "OG1"};
const char* kTrp[] = {"C",   "CA",  "N",   "O",   "CB",  "CG",  "CD1",
                      "CD2", "NE1", "CE2", "CE3", "CZ2", "CZ3", "CH2"};
const char* kTyr[] = {"C", "CA", "N", "O", "CB", "CG", "CD1", "CD2", "CE1", "CE2", "CZ", "OH"};
const char* kVal[] = {"C", "CA", "N", "O", "CB", "CG1", "CG2"};
const char* kKcx[] = {"C", "CA", "N", "O", "CB", "CG", "CD", "CE", "NZ", "CX", "OQ1", "OQ2"};
const char* kFin[] = {"FIN"};
const char* kLun[] = {"V"};

struct Inventory {
  const char* res;
  const char** atoms;
  int n;
};

#define INVENTORY(res, arr) \
  { res, arr, static_cast<int>(sizeof(arr) / sizeof(arr[0])) }
const Inventory kInventories[] = {
    INVENTORY("ALA", kAla), INVENTORY("ARG", kArg), INVENTORY("ASN", kAsn), INVENTORY("ASP", kAsp),
    INVENTORY("CYS", kCys), INVENTORY("GLN", kGln), INVENTORY("GLU", kGlu), INVENTORY("GLY", kGly),
    INVENTORY("HIS", kHis), INVENTORY("ILE", kIle), INVENTORY("LEU", kLeu), INVENTORY("LYS", kLys),
    INVENTORY("MET", kMet), INVENTORY("PHE", kPhe), INVENTORY("PRO", kPro), INVENTORY("SER", kSer),
    INVENTORY("THR", kThr), INVENTORY("TRP", kTrp), INVENTORY("TYR", kTyr), INVENTORY("VAL", kVal),
    INVENTORY("KCX", kKcx), INVENTORY("FIN", kFin), INVENTORY("LUN", kLun)};
#undef INVENTORY

const char* kResidueOrder[] = {"ALA", "ARG", "ASN", "ASP", "CYS", "GLN", "GLU", "GLY",
                               "HIS", "ILE", "LEU", "LYS", "MET", "PHE", "PRO", "SER",
                               "THR", "TRP", "TYR", "VAL", "KCX", "FIN", "LUN"};

// Every unordered pair of names, each with itself included, earlier first.
void append_pairs(const std::vector<std::string>& names, std::vector<std::string>& pairs) {
  for (size_t i = 0; i < names.size(); ++i)
    for (size_t j = i; j < names.size(); ++j) pairs.push_back(names[i] + ":" + names[j]);
}

}  // namespace

void map_atoms_of_residue_type() {
  for (const Inventory& inv : kInventories)
    atoms_of_residue_type[inv.res] = array2vector<const char*, std::string>(inv.atoms, inv.n);
}

void construct_vector_of_all_atoms() {
  map_atoms_of_residue_type();
  for (const auto& entry : atoms_of_residue_type)
    for (const std::string& atom : entry.second) atom_names.push_back(entry.first + "." + atom);
  std::sort(atom_names.begin(), atom_names.end());
}

void construct_vector_of_all_atom_pairs() {
  construct_vector_of_all_atoms();
  atom_pair_types.reserve(15000);
  append_pairs(atom_names, atom_pair_types);
}

void construct_vector_of_all_residues() {
  residue_names = array2vector<const char*, std::string>(
      kResidueOrder, static_cast<int>(sizeof kResidueOrder / sizeof kResidueOrder[0]));
}

void construct_vector_of_all_atoms_reduced() {
  construct_vector_of_all_residues();
  for (const std::string& res : residue_names) atom_names_reduced.push_back(res + ".SC");
}

void construct_vector_of_all_residue_pairs() {
  construct_vector_of_all_residues();
  residue_pair_types.reserve(210);
  append_pairs(residue_names, residue_pair_types);
}

void construct_vector_of_all_atom_pairs_reduced() {
  construct_vector_of_all_atoms_reduced();
  append_pairs(atom_names_reduced, atom_pair_types_reduced);
}
