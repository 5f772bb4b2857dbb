// Brute-force alpha complex of a few weighted points, built without any
// triangulation: the tetrahedra are the quadruples whose orthogonal sphere no
// other point penetrates, sizes are solved in long double, and attachment,
// mu0, mu1 and the surface test follow from their geometric definitions.
// For points in general position only.
#ifndef TESTS_SUPPORT_ALPHA_REFERENCE_H
#define TESTS_SUPPORT_ALPHA_REFERENCE_H

#include <map>
#include <vector>

namespace alpharef {

struct WPoint {
  double x, y, z, w;
};

struct Sphere {
  long double c[3];
  long double sigma;  // power of every vertex: |c - p|^2 - w
};

// Smallest sphere orthogonal to the weighted points pts[ids[..]] (centre in
// their affine hull); false when they are affinely dependent.
bool ortho_sphere(const std::vector<WPoint>& pts, const std::vector<int>& ids, Sphere* out);
long double power(const Sphere& s, const WPoint& q);  // |c - q|^2 - w_q

struct Simplex {
  long double sigma = 0;
  bool attached = false;  // an opposite vertex lies in or on the sphere
  bool hull = false;      // lies in a facet of the convex hull
  long double rho = 0;    // smallest alpha at which it is in the complex
  long double mu0 = 0;    // least rho of its immediate cofaces
  bool mu0_inf = true;
  long double mu1 = 0;        // largest size of all its cofaces
  bool mu1_inf = false;       // on the hull, or without cofaces
  long double tie = 1e300L;   // smallest margin of the attachment tests
  std::vector<int> opposite;  // the extra vertex of each immediate coface
};

class Complex {
 public:
  explicit Complex(const std::vector<WPoint>& pts);
  std::map<std::vector<int>, Simplex> simplices;  // keyed by ascending ids
  // In the complex at alpha, and not every coface is (the hull counts as
  // outside).
  bool on_surface(const std::vector<int>& ids, long double alpha) const;
};

}  // namespace alpharef

#endif
