// PDB input and output, the edge/contact/surface writers, the reduced
// residue models and the readers of side files.
#ifndef STRUCTURE_FILE_H
#define STRUCTURE_FILE_H

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "lib/hash.h"
#include "structure/bead.h"

// ---- PDB ------------------------------------------------------------------

// Replaces beads by the ATOM records of the first model of the file that
// have a radius, in file order.  An atom whose coordinates are not all
// finite numbers is left out with a message on standard error naming it.
// An unreadable file ends the program.
void read_pdb(std::string path, std::vector<Bead>& beads);
// The same, but an unreadable file is reported and counted as a failure of
// the run (structure/output.h) and false returned, so a list can go on.
bool read_pdb_or_report(const std::string& path, std::vector<Bead>& beads);
// Writes one ATOM line per bead (created or truncated).
void print_pdb(std::string path, const std::vector<Bead>& beads);

// ---- edge, contact, surface and interface files ---------------------------
// Each writer creates or truncates its file.  Like print_pdb, a writer whose
// file cannot be created or written reports and counts it
// (structure/output.h) and returns; the run goes on.  A contact line whose
// pair has no level yet derives one as Pair::print_pair does, writing to log.

void print_pair_keys(std::string path, const std::vector<Pair>& pairs);
void print_contacts(std::string path, const std::vector<Pair>& pairs, std::ostream& log);
void print_atoms_contacts(std::string path, const std::vector<Bead>& beads,
                          const std::vector<Pair>& pairs, double unused, std::ostream& log);
void print_surface_atom_and_contacts(std::string path, const std::vector<Bead>& beads,
                                     const std::vector<Pair>& pairs, std::ostream& log);
void print_interface_contacts(std::string path, const std::vector<Pair>& pairs, std::ostream& log);

// Decides whether two chain ids form an interface under the chain groups
// given on the command line.
// The writer takes the rule as an argument because it lives in a layer
// above this one (the driver passes isInterfacePair).
typedef bool (*InterfaceRule)(char chain1, char chain2, std::string spec);

// Rewrites on_interface of the beads from the pairs and writes the sequence
// and residue table.  A residue without a one-letter code is written 'X'.
void print_interface_residues(std::string path, std::vector<Bead>& beads,
                              const std::vector<Pair>& pairs, std::string spec, InterfaceRule rule);

// ---- reduced residue models -------------------------------------------------

void reduced_model_BB(std::vector<Bead>& beads);
void reduced_model_CA(std::vector<Bead>& beads);
void reduced_model_CA_SC(std::vector<Bead>& beads);
void reduced_model_SC(std::vector<Bead>& beads);

// ---- readers of contact, rmsd, potential and alpha-edge files --------------

struct Simple_Pair {
  char type_pair_key[20];
  int alpha_level;
  int n_all;
};

void read_contacts(std::string path, std::vector<Simple_Pair>& pairs);
void read_interface_contacts(std::string path, std::vector<Simple_Pair>& pairs);
void read_contacts(std::string path, StringHash<unsigned long>& index, std::vector<Bead>& beads);
void read_contacts(std::string path, std::vector<Bead>& beads);
void read_contacts(std::string path, std::map<std::string, std::vector<long double>>& hist,
                   std::vector<long double>& total, int nbins, int width, int cap, int low);
void read_contacts(std::string path, std::map<std::string, std::vector<std::vector<int>>>& hist,
                   std::vector<std::vector<int>>& total, int nbins, int width, int cap, int low);
int read_rmsd(std::string path, StringHash<double>& table);

// Near-sequence rule applied by read_alpha_edges: true drops the pair.  It
// belongs to the contact collectors of the layer above, so the caller hands
// it in (the neighbour-layer routines pass near_sequence_filter).
typedef std::function<bool(const Bead& first, const Bead& second)> PairFilter;

// Every edge's level is derived (alpha_level_of, writing to log).
void read_alpha_edges(std::string path, std::vector<std::vector<int>>& adjacency,
                      std::vector<Bead>& beads, StringHash<int>& index, PairFilter filter,
                      std::ostream& log);
void read_potentials_for_align(std::string dir, StringHash<double>& table, int n);
void read_potentials_1body(std::string dir, StringHash<double>& table, int count);
void read_potentials_2body(std::string dir, StringHash<double>& table, int n);

// ---- line reading -----------------------------------------------------------

// Reads a whole text file line by line the way every reader here does: a
// line is the text up to the next newline, after which all white space is
// skipped (so empty lines and leading blanks vanish).
class LineReader {
 public:
  explicit LineReader(const std::string& path);
  bool ok() const { return ok_; }
  // Next line without its newline; false at the end.
  bool next(std::string& line);

 private:
  std::string data_;
  size_t pos_;
  bool ok_;
};

#endif
