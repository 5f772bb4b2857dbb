// Probe pseudo-atoms that fill each pocket, one per tetrahedron.
#ifndef POCKETS_PSEUDOATOMS_H
#define POCKETS_PSEUDOATOMS_H

#include <vector>

#include "measure/intersectionsegmentnew.h"
#include "pockets/pocket.h"

// Radius of every pseudo-atom, whatever the probe radius and alpha value.
const double PSEUDO_ATOM_RADIUS = 1.88;

// Appends to each pocket's pseudo_atoms one record per tetrahedron, in the
// order of its tetrahedra: index = the tetrahedron's id, centre = its power
// centre, radius 1.88, pocket_numbers = {its pocket number, its sub-pocket
// index}.  Needs the marks of pocketspocindex.  The atom list, the int switch,
// the probe radius and alpha are not read.
void pocketsnegativeimage(std::vector<info>& atoms, std::vector<pocket>& pockets, int pymol,
                          double probe, double alpha);

#endif
