// Pieces shared by the MATLAB scripts of the pocket analyses.
#ifndef ANALYSIS_MATLAB_H
#define ANALYSIS_MATLAB_H

#include <ostream>

#include "measure/intersectionsegmentnew.h"

// Opening lines; the sphere grid they set up is not drawn with.
void matlab_header(std::ostream& out);
void matlab_footer(std::ostream& out);
// "x=[..];", "y=[..];", "z=[..];" with the centres of the triangle's atoms.
void matlab_triangle_coordinates(std::ostream& out, const tria* t);

#endif
