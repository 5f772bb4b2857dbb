// A triangle of ball centres less the great discs of its balls, in closed
// form whatever the triangle's shape: each disc is cut down to the triangle
// and to its own power cell, and measured on its boundary (Green's theorem).
// It serves where the sums over the triangle's corners and sides do not
// hold (a disc reaching past the opposite side, two discs overlapping across
// a side that the sums leave out).
#ifndef MEASURE_CLIPPEDDISCS_H
#define MEASURE_CLIPPEDDISCS_H

// Whether the n <= 4 balls of centres c and radii r have a point in common.
bool balls_meet(const double (*c)[3], const double* r, int n);

// A triangle of disc centres less its discs (the balls' great discs in its
// plane), sides in the order (01), (02), (12).
struct ClippedTriangle {
  double empty = 0.0;   // area outside the discs
  double rim[3] = {};   // length of the rim of disc k inside it, outside the other discs
  bool corner[3] = {};  // the rims of the side's two discs cross inside it, outside the third disc
};
ClippedTriangle clipped_triangle(const double c[3][3], const double r[3]);

#endif
