// Per-atom area and volume of the union of probe-expanded balls (letter q):
// the walk over the alpha complex that adds every atom's share.
#ifndef MEASURE_AREAVOLUME_H
#define MEASURE_AREAVOLUME_H

#include <string>
#include <vector>

#include "measure/complexbuild.h"
#include "measure/intersectionsegmentnew.h"

class Bead;

// Triangulates the probe-expanded atoms, classifies the alpha complex (a
// simplex belongs to it when its size is at most alpha), adds every atom's
// share of area and volume and writes the report file
// "<name>.<report_type>.contrib" in the working directory (the driver makes
// name from the structure's file name).  report_type 0 to 4, cusp 0 or 1.
void extract_area_volume_short(std::vector<Bead>& beads, std::string name, double probe,
                               double alpha, int report_type, int cusp);
// The same on the beads' expanded simplex list for this probe, made once for
// the steps of a structure that share it.
void extract_area_volume_short(std::vector<Bead>& beads, SimplexList list, std::string name,
                               double probe, double alpha, int report_type, int cusp);
// The same without the report: the classified records of the complex, with
// every atom's accumulators (area_sa, area_ms, volume_sa, volume_ms,
// envelope_sa, envelope_ms, void_area_sa, void_area_ms) final.  Volumes of
// edges, triangles and tetrahedra are only added for report type 4.  Without
// `lists`, the incidence lists that the measures do not read (the cofaces of
// the edges, the simplices of the complex at each atom) stay empty.
ComplexRecords measure_area_volume(std::vector<Bead>& beads, double probe, double alpha,
                                   int report_type, int cusp, bool lists = true);
ComplexRecords measure_area_volume(std::vector<Bead>& beads, SimplexList list, double probe,
                                   double alpha, int report_type, int cusp, bool lists = true);
// Moves the surface of enclosed voids (tetrahedra with void_id > 0) out of
// the envelope into the void totals.
void voidsmeasure(std::vector<tetra>& tetrahedra, std::vector<info>& atoms, double probe,
                  int report_type, int cusp);

#endif
