// Brute-force alpha complex of a small set of weighted points, computed
// without the triangulation: the tetrahedra are the quadruples whose
// orthogonal sphere no other point penetrates, sizes are solved in long
// double, and attachment, mu0, mu1 and the surface test follow from their
// geometric definitions. For points in general position only.
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

// Smallest sphere orthogonal to the weighted points pts[ids[0..n-1]]
// (centre in their affine hull); false when they are affinely dependent.
bool ortho_sphere(const std::vector<WPoint>& pts, const std::vector<int>& ids, Sphere* out);

// |c - q|^2 - w_q
long double power(const Sphere& s, const WPoint& q);

struct Simplex {
  long double sigma = 0;
  bool attached = false;
  bool hull = false;          // lies in a facet of the convex hull
  long double rho = 0;        // smallest alpha at which it is in the complex
  long double mu0 = 0;        // least rho of its immediate cofaces
  bool mu0_inf = true;
  long double mu1 = 0;        // largest size of all its cofaces
  bool mu1_inf = false;       // on the hull, or no coface at all
  long double tie = 1e300L;   // smallest margin of the attachment tests
  std::vector<int> opposite;  // the extra vertex of each immediate coface
};

class Complex {
 public:
  explicit Complex(const std::vector<WPoint>& pts);
  // Keyed by the ascending ids of the simplex.
  std::map<std::vector<int>, Simplex> simplices;
  // In the complex at alpha and not every coface is (hull counts as outside).
  bool on_surface(const std::vector<int>& ids, long double alpha) const;
  const std::vector<WPoint>& points() const { return pts_; }

 private:
  std::vector<WPoint> pts_;
};

}  // namespace alpharef

#endif
