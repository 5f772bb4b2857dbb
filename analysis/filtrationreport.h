// The report files of one filtration after sign detection and pairing.
#ifndef ANALYSIS_FILTRATIONREPORT_H
#define ANALYSIS_FILTRATIONREPORT_H

#include <string>
#include <vector>

#include "analysis/filtration.h"

// Writes, base being `name` cut before its first ".pdb":
//  base + ".fil": one line per simplex with its atoms, sign and alpha value;
//  base + ".fil.pair": one line per simplex with its position, atoms, sign,
//    and for a paired positive simplex the position of its partner and the
//    positions of its chain;
//  base + ".fil.m": a MATLAB script drawing the edges (red positive, blue
//    otherwise) and triangles (yellow positive, green otherwise).
// The double is not read.  A file that cannot be created is skipped without
// a message, like every report file of the pocket analyses.
void persistence(std::vector<filter*>& filters, std::string name, double value);

#endif
