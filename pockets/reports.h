// The pocket report files of one structure.
#ifndef POCKETS_REPORTS_H
#define POCKETS_REPORTS_H

#include <string>
#include <vector>

#include "measure/intersectionsegmentnew.h"
#include "pockets/pocket.h"

// Numbers the pockets, measures their areas and volumes, fills them with
// pseudo-atoms and writes, one after the other, base + ".poc", ".subpoc",
// ".poc.pdb", ".mouth", ".mouthInfo", ".pocInfo", ".pocInfo.complex",
// ".alpha.tetra" and ".subpocket" in the working directory, base being `name`
// cut before its first ".pdb".  mouths[u] is the summary of the pocket
// numbered u + 1.  A file that cannot be created or written is reported and
// counted (structure/output.h); the other files are still written.  The int
// switch is passed on and changes nothing.
void pocketsmeasure(std::vector<tetra>& tetras, std::vector<info>& atoms,
                    std::vector<pocket>& pockets, std::vector<mouth>& mouths, std::string name,
                    int pymol, double probe, double alpha);

// The writers behind pocketsmeasure, for records already numbered, measured
// and filled with pseudo-atoms.  Each returns false, after reporting the
// path on standard error, when its file cannot be created or written whole.
bool write_poc(const std::string& path, const std::vector<info>& atoms);
bool write_subpoc(const std::string& path, const std::vector<info>& atoms);
bool write_poc_pdb(const std::string& path, const std::vector<pocket>& pockets);
bool write_mouth(const std::string& path, const std::vector<info>& atoms);
bool write_mouth_info(const std::string& path, const std::string& base,
                      const std::vector<mouth>& mouths);
bool write_poc_info(const std::string& path, const std::string& base,
                    const std::vector<pocket>& pockets, const std::vector<mouth>& mouths);
bool write_poc_info_complex(const std::string& path, const std::vector<pocket>& pockets,
                            double alpha);
bool write_alpha_tetra(const std::string& path, const std::vector<tetra>& tetras, double alpha);
bool write_subpocket_table(const std::string& path, const std::string& base,
                           const std::vector<pocket>& pockets);

#endif
