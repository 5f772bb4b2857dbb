// MATLAB and R scripts that draw pockets and their sub-pockets, and the
// table that sets boundary triangles beside sub-pocket lifetimes.  The base
// of every file name is `name` cut before its first ".pdb".  A file that
// cannot be created takes no lines and is not reported; the routine goes on.
#ifndef ANALYSIS_POCKETSCRIPTS_H
#define ANALYSIS_POCKETSCRIPTS_H

#include <string>
#include <vector>

#include "pockets/pocket.h"

// One script per pocket, base + "." + number + ".poc.m", filling the
// alpha-complex faces of its tetrahedra in the colour of the pocket's place
// in the list.  Every face visited gets the drawn flag, and a face already
// flagged (by an earlier pocket or call) is not drawn again.  Only the
// pockets and the name are read.
void visualization_poc_matlab(std::vector<tetra>& tetrahedra, std::vector<info>& atoms,
                              std::vector<pocket>& pockets, std::string name, double, double);

// base + ".all.m" and, for the pocket numbered 66, one script per sub-pocket
// (base + ".66." + k + ".poc.m") with the sub-pocket's triangles of alpha
// value <= 0; then base + ".combin": per boundary triangle whose three atoms
// are functional, its size and the begin and end of the first two
// sub-pockets whose knot values match it (a triangle matched fewer than
// twice gets no line).  Needs the sub-pocket boundaries.
void sub_pocket_m(std::string name, std::vector<pocket>& pockets);

// One R script per pocket of two or more sub-pockets, base + "." + number +
// ".r": the boundary triangles as red points and blue segments between the
// two sub-pockets each separates, and every sub-pocket named by them as a
// green segment from its begin to its end.  Needs the sub-pocket boundaries.
// A triangle that does not separate two sub-pockets is left out, and a
// pocket without any such triangle gets no script.
void life_time_r_script(std::string name, std::vector<pocket>& pockets);

#endif
