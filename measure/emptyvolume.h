// The empty part of a tetrahedron among balls and the surface and the
// spheres' meeting circles around it, in closed form whatever the balls'
// arrangement: the union of the balls is
// split into each ball's part inside its power cell (where its sphere is
// outside every other ball), each part is cut down to the tetrahedron (a
// convex polytope), and a ball inside a polytope is measured over the
// polytope's faces.  It serves where the sums over a tetrahedron's corners,
// edges and faces do not hold.
#ifndef MEASURE_EMPTYVOLUME_H
#define MEASURE_EMPTYVOLUME_H

#include <memory>

// Of the tetrahedron: its volume outside every ball; the area of the balls'
// spheres inside it and outside every other ball; the length of the circles
// where two spheres meet inside it, outside every other ball.
struct EmptyPart {
  double volume = 0.0;
  double area = 0.0;
  double length = 0.0;
};

// The tetrahedron of corners v among the n balls of radii r, ball k centred
// at (c[3k], c[3k + 1], c[3k + 2]).  Balls that miss it, and balls of radius
// 0, add nothing.
EmptyPart tetrahedron_empty_part(const double v[4][3], const double* c, const double* r, int n);

// The same summed over tetrahedra added one at a time, each with the balls
// that may reach it; the working lists are kept from one to the next.
class EmptyRegion {
 public:
  EmptyRegion();
  ~EmptyRegion();
  EmptyRegion(const EmptyRegion&) = delete;
  EmptyRegion& operator=(const EmptyRegion&) = delete;
  void add(const double v[4][3], const double* c, const double* r, int n);
  EmptyPart total() const;

 private:
  struct Work;
  std::unique_ptr<Work> work_;
  double room_ = 0.0, covered_ = 0.0, area_ = 0.0, length_ = 0.0;
};

// Distance from the point p to the triangle (a, b, c).
double distance_to_triangle(const double* p, const double* a, const double* b, const double* c);

#endif
