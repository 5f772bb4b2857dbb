#ifndef GEOMETRY_EDGES_H
#define GEOMETRY_EDGES_H

#include <ostream>
#include <vector>

#include "structure/bead.h"

// Appends one pair per Delaunay edge between two beads (alpha level not yet
// computed), in ascending order of the smaller and then the larger index.
void collect_del_edges(std::vector<Bead>& beads, std::vector<Pair>& edges);

// True when collect_del_edges would certainly find an edge, decided without
// triangulating: at least two beads, every coordinate and radius finite and
// of moderate size, and the centres at least 0.1 apart along some axis.
// False only means "not decided this way".
bool surely_has_delaunay_edge(const std::vector<Bead>& beads);

// The collectors below append copies of the pairs of `edges` that they keep,
// in the order of `edges`, and store the alpha levels (and edge sizes) they
// compute back into `edges`.  A level is derived (alpha_level_of, writing to
// log) only for a pair that has none yet.
void collect_alpha_edges(std::vector<Pair>& edges, std::vector<Pair>& out, int cutoff,
                         std::ostream& log);
void collect_contacts(std::vector<Pair>& edges, std::vector<Pair>& out, int cutoff,
                      std::ostream& log);
void collect_contacts(std::vector<Pair>& edges, std::vector<Pair>& out, double max_size);
void collect_surface_contacts(std::vector<Pair>& edges, std::vector<Pair>& out, int cutoff,
                              std::ostream& log);
void collect_interface_contacts(std::vector<Pair>& edges, std::vector<Pair>& out, int cutoff,
                                std::ostream& log);

// True when the pair is dropped as two atoms of one chain in the same or
// adjacent residues.
bool near_sequence_filter(const Bead& first, const Bead& second);

#endif
