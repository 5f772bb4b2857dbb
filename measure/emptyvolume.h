// The empty part of a tetrahedron among balls and the surface around it, in
// closed form whatever the balls' arrangement: the union of the balls is
// split into each ball's part inside its power cell (where its sphere is
// outside every other ball), each part is cut down to the tetrahedron (a
// convex polytope), and a ball inside a polytope is measured over the
// polytope's faces.  It serves where the sums over a tetrahedron's corners,
// edges and faces do not hold.
#ifndef MEASURE_EMPTYVOLUME_H
#define MEASURE_EMPTYVOLUME_H

struct EmptyPart {
  double volume = 0.0;  // of the tetrahedron outside every ball
  double area = 0.0;    // of the balls' spheres inside it and outside every other ball
};

// The tetrahedron of corners v among the n balls of radii r, ball k centred
// at (c[3k], c[3k + 1], c[3k + 2]).  Balls that miss it, and balls of radius
// 0, add nothing.
EmptyPart tetrahedron_empty_part(const double v[4][3], const double* c, const double* r, int n);

#endif
