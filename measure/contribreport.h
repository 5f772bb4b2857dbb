// The report file of the letter q: one row per atom with the two (report
// type 4: four) accumulators that the report type selects.
#ifndef MEASURE_CONTRIBREPORT_H
#define MEASURE_CONTRIBREPORT_H

#include <string>
#include <vector>

#include "measure/intersectionsegmentnew.h"

class Bead;

// Writes "<stem>.<report_type>.contrib" in the working directory, with stem
// in its header line; a file that cannot be created or written is reported
// and counted (structure/output.h).
void area_volume_measure(std::vector<info>& atoms, std::vector<Bead>& beads, std::string stem,
                         double probe, int report_type, int cusp);

#endif
