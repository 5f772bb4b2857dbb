// The molecular surface measured from its definition, for the places where
// the closed-form pieces (re-entrant tori, probe patches) overlap.
//
// A point x of the union of expanded balls lies outside the molecular
// surface's interior when it is within the probe radius p of the region A
// that a probe centre can reach (everything outside the expanded balls).
// Every such point lies on a normal segment of A's boundary: from a point y
// of a sphere, of a circle where two spheres meet or of a point where three
// meet (a vertex), into the union, along a direction of the normal cone
// there, up to p or to where another point of A comes as near as y (the
// cut).  The closed forms take every segment to length p; where probe
// positions overlap, the cut comes first and the pieces are trimmed.
// Segments from a sphere are never cut (the ball that the segment's end
// sees tangent at y lies inside that sphere's ball), so only tori and
// patches are measured: against a competing point q the cut is the plane
// halfway between y and q, so a patch is the probe ball inside a polytope
// (closed form), and a slice of a torus through its axis is a disc inside
// a polygon (closed form, integrated along the circle by adaptive
// Gauss-Kronrod 3-7 quadrature, each atom's share of a piece to an
// estimated 1e-5).  Competing circle arcs are stood for by points along
// them, and where one of those cuts, the measures at two spacings are
// extrapolated to spacing 0.
#ifndef MEASURE_TRIMMEDSURFACE_H
#define MEASURE_TRIMMEDSURFACE_H

#include <array>
#include <memory>
#include <vector>

#include "measure/atomballs.h"

// How the measures of one atom change.
struct SurfaceChange {
  int atom = 0;
  double void_area = 0.0;   // on the walls of enclosed voids
  double outer_area = 0.0;  // on the rest of the surface
  double volume = 0.0;      // between the surface and A (less inside it)
};

// Regions of A's boundary, each given as the tetrahedra (outside the
// complex) that hold it: an enclosed void, or a pocket.  A region fires
// when a competitor cuts one of its own surface pieces (the tori of the
// arcs and the probe patches of the vertices inside its tetrahedra), or,
// with `neighbours`, when its features cut a piece near it.  For the
// regions that fire, the cut pieces (theirs, and with `neighbours` the
// pieces near them that their features cut and that belong to no region)
// are measured exactly instead of by the closed forms: contacts are never
// cut.  Exact measures go to the atoms by the power cells of the expanded
// balls; the closed forms by the shares of `torus` and `patch` (cusp as
// given).
struct SurfaceMend {
  std::vector<char> fired;             // per region
  std::vector<double> area, volume;    // per region: how its own pieces' sums change
  std::vector<SurfaceChange> changes;  // per atom
  // The pieces near the regions that belong to none and were measured,
  // by key, so that a later mend of the rest leaves them.
  std::vector<std::array<int, 12>> near_keys;
};
// What the mends of one structure look up: the atoms and the tetrahedra
// (all of the triangulation, classified) near a place, and the free arcs
// of each circle.  Made on first use and kept, so that the voids' mend and
// the thin walls' find each circle's arcs made once; each is the same bits
// whichever mend asks first.  The atoms must not change while it is used.
class SurfaceNeighbourhood {
 public:
  SurfaceNeighbourhood(const std::vector<const tetra*>& tetras, const Atoms& atoms, double probe);
  ~SurfaceNeighbourhood();
  SurfaceNeighbourhood(const SurfaceNeighbourhood&) = delete;
  SurfaceNeighbourhood& operator=(const SurfaceNeighbourhood&) = delete;

  const std::vector<const tetra*>& tetras() const { return tetras_; }
  const Atoms& atoms() const { return atoms_; }
  double probe() const { return probe_; }
  struct Index;
  const Index& index() const;

 private:
  const std::vector<const tetra*>& tetras_;
  const Atoms& atoms_;
  double probe_;
  mutable std::unique_ptr<Index> index_;
};

SurfaceMend mend_surface(const SurfaceNeighbourhood& near,
                         const std::vector<std::vector<const tetra*>>& regions, int cusp,
                         bool neighbours);
// The same with a neighbourhood of its own.
SurfaceMend mend_surface(const std::vector<const tetra*>& tetras,
                         const std::vector<std::vector<const tetra*>>& regions, const Atoms& atoms,
                         double probe, int cusp, bool neighbours);

// The probe patches of the open surface that another probe position's
// ball reaches into: across a thin wall (the two positions of three atoms,
// or positions of atoms that share an edge or fewer) or a narrow crevice.
// The closed forms count the part two probe balls share twice: as a wall
// gets thinner, up to a whole probe ball, which can take the molecular
// volume below the union of the bare balls.  Each such patch (of a position
// on A's boundary, outside enclosed voids) is measured exactly, each atom's
// share by its power cell, unless `before` measured it.  Tori and patches
// cut only by probe positions along arcs keep the closed forms.  Where no
// open patch is reached, no change.
std::vector<SurfaceChange> mend_open_patches(const SurfaceNeighbourhood& near,
                                             const SurfaceMend& before, int cusp);

#endif
