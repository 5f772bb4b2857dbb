#include "pockets/areavolume.h"

#include <algorithm>
#include <cmath>

#include "measure/ballcache.h"
#include "measure/emptyvolume.h"
#include "measure/trimmedsurface.h"

namespace {

// Tetrahedra per crossed mouth face up to which a pocket is measured
// exactly.
const int kMouthShare = 10;

// What the terms take from an ordered pair (a, b) of balls alone: its torus,
// the caps and cap heights of both balls and the radius of the circle where
// their radical plane cuts sphere a.
struct PairPieces {
  Torus torus;
  double cap_ab = 0.0, cap_ba = 0.0, height_ab = 0.0, height_ba = 0.0, disk = 0.0;
};

PairPieces pair_pieces(int a, int b, int cusp, BallCache& g) {
  PairPieces e;
  e.torus = g.torus(a, b, cusp);
  e.cap_ab = g.cap_volume(a, b);
  e.cap_ba = g.cap_volume(b, a);
  e.height_ab = g.height(a, b);
  e.height_ba = g.height(b, a);
  e.disk = disk_radius_of(g.atoms()[a].radius + g.probe(), e.height_ab);
  return e;
}

// The pieces of each edge, both ways, by edge id: an edge is met again in
// every tetrahedron around it, and its pieces depend on its two balls alone
// (each computed to the same bits whatever simplex is loaded).  Only the
// edges of pocket tetrahedra get pieces; the others cost one index each.
class EdgePieces {
 public:
  // Room for the edges of t, so that what of() returns stays in place
  // while t's terms are added (at most twelve new pieces).
  void prepare(const tetra& t) {
    int last = 0;
    for (const edge* e : t.edges) last = std::max(last, e->id);
    const std::size_t need = 2 * (static_cast<std::size_t>(last) + 1);
    if (need > at_.size()) at_.resize(std::max(need, 2 * at_.size()), -1);
    if (pieces_.capacity() < pieces_.size() + 12)
      pieces_.reserve(std::max(pieces_.size() + 12, 2 * pieces_.capacity()));
  }
  // (a, b) are the ends of e in either order; edge ids are unique, so the
  // id and the order name the pair.
  const PairPieces& of(const edge* e, int a, int b, BallCache& g) {
    int& at = at_[2 * static_cast<std::size_t>(e->id) + (e->v[0]->index == a ? 0 : 1)];
    if (at < 0) {
      at = static_cast<int>(pieces_.size());
      pieces_.push_back(pair_pieces(a, b, 0, g));
    }
    return pieces_[static_cast<std::size_t>(at)];
  }

 private:
  std::vector<int> at_;             // by edge id and direction: place in pieces_, or -1
  std::vector<PairPieces> pieces_;  // in the order met
};

// The dihedral angles of the loaded tetrahedron, each asked of the cache
// once: with the four balls loaded, the first ask keeps the angle there and
// every later one, whatever the order of the ends and of the other two,
// returns it. The cache's own lookup for those later asks costs more: about
// 0.35% of letter p on 22,000 atoms.
class TetraWedges {
 public:
  // place: by atom index, room for every atom; it receives the place of
  // each vertex of the tetrahedron among the four.
  TetraWedges(BallCache& g, const int* vertices, std::vector<signed char>& place)
      : g_(g), place_(place) {
    for (int k = 0; k < 4; ++k)
      place[static_cast<std::size_t>(vertices[k])] = static_cast<signed char>(k);
  }
  double operator()(int a, int b, int c, int d) {
    static const int kEdge[4][4] = {{-1, 0, 1, 2}, {0, -1, 3, 4}, {1, 3, -1, 5}, {2, 4, 5, -1}};
    const int k = kEdge[place(a)][place(b)];
    if (!(have_ >> k & 1u)) {
      value_[k] = g_.wedge(a, b, c, d);
      have_ |= 1u << k;
    }
    return value_[k];
  }

 private:
  int place(int a) const { return place_[static_cast<std::size_t>(a)]; }
  BallCache& g_;
  const std::vector<signed char>& place_;
  unsigned have_ = 0;
  double value_[6];
};

// Any dihedral angle, straight from the cache.
struct CacheWedges {
  BallCache& g;
  double operator()(int a, int b, int c, int d) { return g.wedge(a, b, c, d); }
};

// Each term adds onto the measures of pocket s.

// The part of ball x inside the tetrahedron's solid angle at x.  A ball
// shrunk to nothing by a negative alpha has no part.
template <class Wedges>
void vertex_term(int x, int y, int z, int w, BallCache& g, Wedges& wedge, pocket& s) {
  const Atoms& atoms = g.atoms();
  const double p = g.probe();
  if (!(atoms[x].radius + p > 0.0)) return;
  // The solid angle at x, as a fraction of the sphere.
  const double solid = (wedge(x, y, w, z) + wedge(x, z, y, w) + wedge(x, w, z, y)) / 2 - 0.25;
  const double R = atoms[x].radius + p;
  const double area = solid * AV_FOUR_PI * R * R;
  const double volume = solid * AV_FOUR_PI_THIRD * R * R * R;
  const Shell sh = shell(x, area, atoms, p);
  s.area_sa += area;
  s.volume_sa -= volume;
  s.area_ms += sh.area;
  s.volume_ms += sh.volume - volume;
}

// The two caps cut off by the radical plane of an overlapping pair, within
// the tetrahedron's wedge at the edge.
template <class Wedges>
void edge_term(int a, int b, int c, int d, BallCache& g, Wedges& wedge, const PairPieces& e,
               pocket& s) {
  const Atoms& atoms = g.atoms();
  const double p = g.probe();
  const double ra = atoms[a].radius + p;
  const double rb = atoms[b].radius + p;
  const double q = wedge(a, b, c, d);
  const double cap_v = q * (e.cap_ab + e.cap_ba);
  const double cap_a = q * e.height_ab * ra * 6.2831853;
  const double cap_b = q * e.height_ba * rb * 6.2831853;
  const Shell sa = shell(a, cap_a, atoms, p);
  const Shell sb = shell(b, cap_b, atoms, p);
  const Torus& t = e.torus;
  s.volume_sa += cap_v;
  s.area_sa -= cap_a + cap_b;
  s.volume_ms += cap_v + q * (t.volume_i + t.volume_j) - (sa.volume + sb.volume);
  s.area_ms += q * t.area_i + q * t.area_j - (sa.area + sb.area);
  s.length += q * AV_TWO_PI * e.disk;
}

// The pieces of three overlapping balls in the face's wedge, half per side.
void triangle_term(int a, int b, int c, BallCache& g, const PairPieces& ab,
                   const PairPieces& ac, const PairPieces& bc, pocket& s) {
  const Atoms& atoms = g.atoms();
  const double p = g.probe();
  const double area_a = g.cap2_area(a, b, c);
  const double area_b = g.cap2_area(b, a, c);
  const double area_c = g.cap2_area(c, a, b);
  const double cap_v =
      0.5 * (g.cap2_volume(a, b, c) + g.cap2_volume(b, a, c) + g.cap2_volume(c, a, b));
  const Shell sa = shell(a, 0.5 * area_a, atoms, p);
  const Shell sb = shell(b, 0.5 * area_b, atoms, p);
  const Shell sc = shell(c, 0.5 * area_c, atoms, p);
  const Torus& tab = ab.torus;
  const Torus& tac = ac.torus;
  const Torus& tbc = bc.torus;
  const Patch q = g.patch(a, b, c);
  const double gab = g.segment_angle(a, b, c);
  const double gac = g.segment_angle(a, c, b);
  const double gbc = g.segment_angle(b, c, a);
  s.volume_sa -= cap_v;
  s.area_sa += 0.5 * (area_a + area_b + area_c);
  s.volume_ms += q.volume - cap_v -
                 0.5 * (gab * (tab.volume_i + tab.volume_j) + gac * (tac.volume_i + tac.volume_j) +
                        gbc * (tbc.volume_i + tbc.volume_j)) +
                 sa.volume + sb.volume + sc.volume;
  s.area_ms += q.area + sa.area + sb.area + sc.area -
               0.5 * (gab * (tab.area_i + tab.area_j) + gac * (tac.area_i + tac.area_j) +
                      gbc * (tbc.area_i + tbc.area_j));
  // Half the arcs of the three radical circles in the wedge.
  s.length -=
      (AV_TWO_PI * ab.disk * gab + AV_TWO_PI * ac.disk * gac + AV_TWO_PI * bc.disk * gbc) / 2;
  s.cnr += 1;
}

// The pieces of the tetrahedron's balls are computed once for all its terms,
// those of its edges once for all the tetrahedra around them.
void tetrahedron_terms(const tetra& t, BallCache& g, EdgePieces& pieces,
                       std::vector<signed char>& places, pocket& s) {
  const Atoms& atoms = g.atoms();
  const int i0 = t.v[0]->index, i1 = t.v[1]->index, i2 = t.v[2]->index, i3 = t.v[3]->index;
  const int vertices[4] = {i0, i1, i2, i3};
  g.reset(vertices, 4);
  pieces.prepare(t);
  TetraWedges wedge(g, vertices, places);
  // t.edges is stored (01), (02), (03), (12), (13), (23).
  const int ends[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
  const PairPieces* e[6] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  auto edge_pieces = [&](int k) -> const PairPieces& {
    if (!e[k]) e[k] = &pieces.of(t.edges[k], vertices[ends[k][0]], vertices[ends[k][1]], g);
    return *e[k];
  };
  const double tv = tetrahedra_volume(i0, i1, i2, i3, atoms);
  s.volume_sa += tv;
  s.volume_ms += tv;
  vertex_term(i0, i1, i2, i3, g, wedge, s);
  vertex_term(i1, i0, i2, i3, g, wedge, s);
  vertex_term(i2, i0, i1, i3, g, wedge, s);
  vertex_term(i3, i0, i1, i2, g, wedge, s);
  // Edges in the order (01), (02), (03), (13), (12), (23), each with the
  // other two vertices.
  if (t.edges[0]->in_complex) edge_term(i0, i1, i2, i3, g, wedge, edge_pieces(0), s);
  if (t.edges[1]->in_complex) edge_term(i0, i2, i1, i3, g, wedge, edge_pieces(1), s);
  if (t.edges[2]->in_complex) edge_term(i0, i3, i1, i2, g, wedge, edge_pieces(2), s);
  if (t.edges[4]->in_complex) edge_term(i1, i3, i0, i2, g, wedge, edge_pieces(4), s);
  if (t.edges[3]->in_complex) edge_term(i1, i2, i0, i3, g, wedge, edge_pieces(3), s);
  if (t.edges[5]->in_complex) edge_term(i2, i3, i0, i1, g, wedge, edge_pieces(5), s);
  if (t.faces[0]->in_complex)
    triangle_term(i0, i1, i2, g, edge_pieces(0), edge_pieces(1), edge_pieces(3), s);
  if (t.faces[1]->in_complex)
    triangle_term(i0, i1, i3, g, edge_pieces(0), edge_pieces(2), edge_pieces(4), s);
  if (t.faces[2]->in_complex)
    triangle_term(i0, i2, i3, g, edge_pieces(1), edge_pieces(2), edge_pieces(5), s);
  if (t.faces[3]->in_complex)
    triangle_term(i1, i2, i3, g, edge_pieces(3), edge_pieces(4), edge_pieces(5), s);
}

double distance(const double* a, const double* b) {
  return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                   (a[2] - b[2]) * (a[2] - b[2]));
}

// The corners of a simplex, their centroid, and the radius of the sphere
// about the centroid that holds them.
template <int N>
double corners_of(info* const (&v)[N], double c[N][3], double centre[3]) {
  centre[0] = centre[1] = centre[2] = 0.0;
  for (int k = 0; k < N; ++k) {
    c[k][0] = v[k]->x;
    c[k][1] = v[k]->y;
    c[k][2] = v[k]->z;
    for (int m = 0; m < 3; ++m) centre[m] += c[k][m] / N;
  }
  double reach = 0.0;
  for (int k = 0; k < N; ++k) reach = std::max(reach, distance(c[k], centre));
  return reach;
}

// The expanded balls by cell of a uniform grid, for the balls that come near
// a point.  The cells span the balls' bounding box, each cell's balls in
// index order.
class BallGrid {
 public:
  BallGrid(const Atoms& atoms, double p) : p_(p) {
    for (const info& a : atoms) big_ = std::max(big_, a.radius + p);
    cell_ = std::max(1.0, big_);
    std::vector<long> at;
    for (size_t i = 0; i < atoms.size(); ++i) {
      if (!(atoms[i].radius + p > 0.0)) continue;
      const long x = cell_of(atoms[i].x), y = cell_of(atoms[i].y), z = cell_of(atoms[i].z);
      if (at.empty()) {
        lo_[0] = hi_[0] = x;
        lo_[1] = hi_[1] = y;
        lo_[2] = hi_[2] = z;
      }
      lo_[0] = std::min(lo_[0], x), hi_[0] = std::max(hi_[0], x);
      lo_[1] = std::min(lo_[1], y), hi_[1] = std::max(hi_[1], y);
      lo_[2] = std::min(lo_[2], z), hi_[2] = std::max(hi_[2], z);
      at.insert(at.end(), {static_cast<long>(i), x, y, z});
    }
    if (at.empty()) return;
    for (int k = 0; k < 3; ++k) size_[k] = hi_[k] - lo_[k] + 1;
    start_.assign(static_cast<size_t>(size_[0] * size_[1] * size_[2]) + 1, 0);
    for (size_t k = 0; k < at.size(); k += 4) ++start_[slot(at[k + 1], at[k + 2], at[k + 3]) + 1];
    for (size_t k = 1; k < start_.size(); ++k) start_[k] += start_[k - 1];
    balls_.resize(at.size() / 4);
    std::vector<int> fill(start_.begin(), start_.end() - 1);
    for (size_t k = 0; k < at.size(); k += 4)
      balls_[static_cast<size_t>(fill[slot(at[k + 1], at[k + 2], at[k + 3])]++)] =
          static_cast<int>(at[k]);
    // Each ball's centre and radius beside it, in the same order.
    place_.resize(balls_.size());
    for (size_t k = 0; k < balls_.size(); ++k) {
      const info& a = atoms[static_cast<size_t>(balls_[k])];
      place_[k] = Place{{a.x, a.y, a.z}, a.radius};
    }
  }

  // Appends to `out` the balls that reach into the ball of centre c and
  // radius r.
  void near(const double* c, double r, std::vector<int>& out) const {
    if (balls_.empty()) return;
    const double reach = r + big_;
    const long x0 = std::max(lo_[0], cell_of(c[0] - reach)), x1 = std::min(hi_[0], cell_of(c[0] + reach));
    const long y0 = std::max(lo_[1], cell_of(c[1] - reach)), y1 = std::min(hi_[1], cell_of(c[1] + reach));
    const long z0 = std::max(lo_[2], cell_of(c[2] - reach)), z1 = std::min(hi_[2], cell_of(c[2] + reach));
    if (z0 > z1) return;
    // The cells of one row in z follow each other, and so do their balls.
    for (long x = x0; x <= x1; ++x)
      for (long y = y0; y <= y1; ++y) {
        const size_t s = slot(x, y, z0);
        const int end = start_[s + static_cast<size_t>(z1 - z0) + 1];
        for (int k = start_[s]; k < end; ++k) {
          const Place& a = place_[static_cast<size_t>(k)];
          if (distance(a.x, c) < r + a.radius + p_) out.push_back(balls_[static_cast<size_t>(k)]);
        }
      }
  }

 private:
  long cell_of(double v) const { return static_cast<long>(std::floor(v / cell_)); }
  size_t slot(long x, long y, long z) const {
    return static_cast<size_t>(((x - lo_[0]) * size_[1] + (y - lo_[1])) * size_[2] + (z - lo_[2]));
  }

  struct Place {
    double x[3];
    double radius;
  };

  double p_;
  double big_ = 0.0, cell_ = 1.0;
  long lo_[3] = {0, 0, 0}, hi_[3] = {0, 0, 0}, size_[3] = {0, 0, 0};
  std::vector<int> start_, balls_;
  std::vector<Place> place_;
};

// The faces across which the pocket's term sums may miss something.  The
// terms of one tetrahedron reach into its neighbours, and only summed over
// all of them give each ball's part once; what they add inside tetrahedra of
// the complex cancels there.  So a pocket's sums hold unless a ball reaches
// across one of the faces by which it meets empty space outside it (a face
// on the hull, or against a tetrahedron outside the complex and outside the
// pocket); a ball of one of the face's own corners stays on its side.
// Counts those faces.
int crossed_mouth_faces(const pocket& s, int stamp, const std::vector<int>& member,
                        const BallGrid& grid, const Atoms& atoms, double p,
                        std::vector<int>& near) {
  int crossed = 0;
  for (const tetra* t : s.tetrahedra) {
    for (const tria* f : t->faces) {
      if (f->cofaces.size() == 2) {
        const tetra* other = f->cofaces[0] == t ? f->cofaces[1] : f->cofaces[0];
        const std::size_t id = static_cast<std::size_t>(other->id);
        if (other->in_complex || (id < member.size() && member[id] == stamp)) continue;
      }
      double c[3][3], centre[3];
      const double reach = corners_of(f->v, c, centre);
      near.clear();
      grid.near(centre, reach, near);
      for (int i : near) {
        if (i == f->v[0]->index || i == f->v[1]->index || i == f->v[2]->index) continue;
        const double x[3] = {atoms[i].x, atoms[i].y, atoms[i].z};
        if (distance_to_triangle(x, c[0], c[1], c[2]) < atoms[i].radius + p) {
          ++crossed;
          break;
        }
      }
    }
  }
  return crossed;
}

// The pocket's tetrahedra outside every expanded ball that reaches them,
// the spheres' surface in them and the circles where two spheres meet in
// them, each outside every other expanded ball.
EmptyPart exact_empty_part(const pocket& s, const BallGrid& grid, const Atoms& atoms, double p) {
  EmptyRegion region;
  std::vector<int> near;
  std::vector<double> centres, radii;
  for (const tetra* t : s.tetrahedra) {
    double v[4][3], g[3];
    const double reach = corners_of(t->v, v, g);
    // Those that reach the tetrahedron's bounding sphere.
    near.clear();
    grid.near(g, reach, near);
    std::sort(near.begin(), near.end());
    centres.clear();
    radii.clear();
    for (int i : near) {
      centres.insert(centres.end(), {atoms[i].x, atoms[i].y, atoms[i].z});
      radii.push_back(atoms[i].radius + p);
    }
    region.add(v, centres.data(), radii.data(), static_cast<int>(radii.size()));
  }
  return region.total();
}

// A pocket whose molecular-surface measures leave what its tetrahedra
// allow (more empty volume than their volume `rooms`, a negative area) has
// probe positions that overlap, so that its tori and probe patches, as the
// closed forms count them, count the overlap twice: those cut short are
// measured from the surface's definition instead.  What the bounds still
// exceed then is taken as the bound.
void mend_pocket_surfaces(std::vector<info>& atoms, std::vector<pocket>& pockets, double probe,
                          const std::vector<double>& rooms) {
  std::vector<std::vector<const tetra*>> regions(pockets.size());
  bool any = false;
  for (std::size_t k = 0; k < pockets.size(); ++k) {
    const pocket& p = pockets[k];
    if (p.volume_ms > rooms[k] || p.area_ms < 0.0) {
      regions[k].assign(p.tetrahedra.begin(), p.tetrahedra.end());
      any = true;
    }
  }
  if (!any) return;
  // Every tetrahedron once, in the order of their ids.
  int last = -1;
  for (const info& a : atoms)
    for (const tetra* t : a.all_tetras) last = std::max(last, t->id);
  std::vector<const tetra*> all(static_cast<std::size_t>(last + 1), nullptr);
  for (const info& a : atoms)
    for (const tetra* t : a.all_tetras) all[static_cast<std::size_t>(t->id)] = t;
  all.erase(std::remove(all.begin(), all.end(), nullptr), all.end());
  const SurfaceMend mend = mend_surface(all, regions, atoms, probe, 0, false);
  for (std::size_t k = 0; k < pockets.size(); ++k) {
    if (regions[k].empty()) continue;
    pocket& p = pockets[k];
    if (mend.fired[k]) {
      p.area_ms += mend.area[k];
      p.volume_ms += mend.volume[k];
    }
    p.volume_ms = std::max(p.volume_sa, std::min(p.volume_ms, rooms[k]));
    p.area_ms = std::max(0.0, p.area_ms);
  }
}

}  // namespace

void pocketsareavolume(std::vector<info>& atoms, std::vector<pocket>& pockets, int /*pymol*/,
                       double probe, double /*alpha*/) {
  number_pockets(pockets);
  BallCache g(atoms, probe);
  EdgePieces pieces;
  std::vector<signed char> places(atoms.size(), 0);
  const BallGrid grid(atoms, probe);
  // By tetrahedron id: 1 + the place of the last pocket that holds it.
  std::vector<int> member;
  std::vector<int> near;
  std::vector<double> rooms;
  rooms.reserve(pockets.size());
  for (pocket& p : pockets) {
    p.area_sa = p.area_ms = p.volume_sa = p.volume_ms = p.length = 0.0;
    p.cnr = 0;
    double room = 0.0;
    for (const tetra* t : p.tetrahedra) {
      tetrahedron_terms(*t, g, pieces, places, p);
      room += tetrahedra_volume(t->v[0]->index, t->v[1]->index, t->v[2]->index, t->v[3]->index,
                                atoms);
    }
    // Where balls reach across the pocket's mouth, or the sums leave a
    // measure its geometry cannot have, the expanded-sphere measures are
    // taken exactly and the molecular surface's move with them (equal at
    // probe 0).  What the sums miss at a mouth is a boundary share of the
    // pocket: a large pocket with fewer than one crossed mouth face per
    // kMouthShare tetrahedra keeps its sums (within a few tenths of a
    // percent in the structures measured), as measuring it exactly would
    // cost about as much again as the whole run.
    const int stamp = static_cast<int>(&p - pockets.data()) + 1;
    for (const tetra* t : p.tetrahedra) {
      const std::size_t id = static_cast<std::size_t>(t->id);
      if (id >= member.size()) member.resize(id + 1, 0);
      member[id] = stamp;
    }
    const int crossed = crossed_mouth_faces(p, stamp, member, grid, atoms, probe, near);
    const bool open = crossed * kMouthShare >= static_cast<int>(p.tetrahedra.size());
    if (open || p.volume_sa < 0.0 || p.volume_sa > room || p.area_sa < 0.0 || p.length < 0.0) {
      const EmptyPart e = exact_empty_part(p, grid, atoms, probe);
      p.volume_ms += e.volume - p.volume_sa;
      p.volume_sa = e.volume;
      p.area_ms += e.area - p.area_sa;
      p.area_sa = e.area;
      p.length = e.length;
    }
    // Every point a probe centre can reach lies outside the expanded balls,
    // so the space the molecular surface leaves empty holds the expanded
    // one's: below that (self-intersecting probe tori when the balls shrink
    // under the probe) the terms are wrong, and the bound is the estimate.
    if (p.volume_ms < p.volume_sa) p.volume_ms = p.volume_sa;
    rooms.push_back(room);
  }
  mend_pocket_surfaces(atoms, pockets, probe, rooms);
}

void do_pocket_vertex(int a, int b, int c, int d, int k, std::vector<info>& atoms,
                      std::vector<pocket>& pockets, double probe) {
  BallCache g(atoms, probe);
  CacheWedges wedge{g};
  vertex_term(a, b, c, d, g, wedge, pockets[k]);
}

void do_pocket_edge(int a, int b, int c, int d, int k, std::vector<info>& atoms,
                    std::vector<pocket>& pockets, double probe, int cusp) {
  BallCache g(atoms, probe);
  CacheWedges wedge{g};
  edge_term(a, b, c, d, g, wedge, pair_pieces(a, b, cusp, g), pockets[k]);
}

void do_pocket_triangle(int a, int b, int c, int /*d*/, int k, std::vector<info>& atoms,
                        std::vector<pocket>& pockets, double probe, int cusp) {
  BallCache g(atoms, probe);
  triangle_term(a, b, c, g, pair_pieces(a, b, cusp, g), pair_pieces(a, c, cusp, g),
                pair_pieces(b, c, cusp, g), pockets[k]);
}
