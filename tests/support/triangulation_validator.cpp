#include "support/triangulation_validator.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "geometry/d3dw.h"

namespace {

std::string name(const CXYZW* p) { return std::to_string(p->id); }

std::string triple(const CD3DEdge* e) {
  return "(" + name(e->origin()) + "," + name(e->destination()) + "," + name(e->apex()) + ")";
}

bool same_position(const CXYZW* a, const CXYZW* b) {
  return a->x.value == b->x.value && a->y.value == b->y.value && a->z.value == b->z.value;
}

}  // namespace

std::string validate_triangulation(CD3DW& t, bool brute_force, TriangulationCounts* counts) {
  std::ostringstream err;
  if (!t.flip_stack.empty()) return "flip stack not empty";
  const std::vector<CD3DTriangle*>& tris = t.triangles();
  if (t.cells.empty() || tris.size() < 4) return "bounding tetrahedron missing";

  // Links of the six records of every triangle.
  for (CD3DTriangle* tr : tris)
    for (CD3DEdge* e = tr->rec; e != tr->rec + 6; ++e) {
    if (e->sym()->sym() != e || e->enext()->enext()->enext() != e)
      return "sym/enext cycle broken at " + triple(e);
    if (e->sym()->origin() != e->destination() || e->sym()->destination() != e->origin() ||
        e->sym()->apex() != e->apex())
      return "sym vertices wrong at " + triple(e);
    if (e->enext()->origin() != e->destination() || e->enext()->destination() != e->apex() ||
        e->enext()->apex() != e->origin())
      return "enext vertices wrong at " + triple(e);
  }

  // Live cells, their faces and the cells on each side of each triangle.
  static const int kFace[4][3] = {{0, 1, 2}, {0, 3, 1}, {0, 2, 3}, {1, 3, 2}};
  static const int kOther[4][3] = {{1, 3, 2}, {2, 3, 0}, {0, 3, 1}, {1, 2, 0}};
  std::unordered_map<const CD3DTriangle*, std::pair<CD3DCell*, CD3DCell*>> sides;
  std::unordered_set<const CXYZW*> verts;
  std::set<std::pair<const CXYZW*, const CXYZW*>> edge_set;
  long live_cells = 0;
  for (CD3DCell* c : t.cells) {
    if (!c->live()) continue;  // free for reuse
    ++live_cells;
    for (int i = 0; i < 4; ++i) {
      verts.insert(c->vertex(i));
      for (int j = i + 1; j < 4; ++j) {
        const CXYZW* a = c->vertex(i);
        const CXYZW* b = c->vertex(j);
        edge_set.insert(a < b ? std::make_pair(a, b) : std::make_pair(b, a));
      }
    }
    for (int i = 0; i < 4; ++i) {
      CD3DEdge* f = c->face[i];
      if (f->origin() != c->vertex(kFace[i][0]) || f->destination() != c->vertex(kFace[i][1]) ||
          f->apex() != c->vertex(kFace[i][2]))
        return "face " + std::to_string(i) + " of a cell has wrong vertices " + triple(f);
      auto& s = sides[f->triangle()];
      CD3DCell*& slot = f->slot() < 3 ? s.first : s.second;
      if (slot) return "two cells on one side of " + triple(f);
      slot = c;
      CD3DEdge* g = f;
      for (int k = 0; k < 3; ++k, g = g->enext()) {
        if (g->cell() != c) return "record facing into a cell has another cell: " + triple(g);
        CD3DEdge* h = g->fnext();
        CD3DEdge* o = c->face[kOther[i][k]];
        if (h->triangle() != o->triangle() || h->origin() != g->origin() ||
            h->destination() != g->destination())
          return "fnext of " + triple(g) + " is not the next face of its cell";
      }
    }
    if (!t.positive(c->face[0], c->vertex(3)))
      return "cell not positively oriented: " + triple(c->face[0]);
  }

  // The triangle list holds every live triangle once, in creation order,
  // the four bounding ones first, and nothing that left; a live triangle is
  // not marked dead (a bounding one may be, until a flip pushes it).
  std::unordered_set<const CD3DTriangle*> bounding(tris.begin(), tris.begin() + 4);
  std::unordered_set<const CD3DTriangle*> listed(tris.begin(), tris.end());
  if (listed.size() != tris.size()) return "a triangle listed twice";
  for (auto& kv : sides)
    if (!listed.count(kv.first))
      return "a live triangle is missing from the triangle list " + triple(&kv.first->rec[0]);
  long triangles = 0;
  for (CD3DTriangle* tr : tris) {
    for (int j = 0; j < 6; ++j)
      if (tr->rec[j].slot() != j) return "a record out of its slot " + triple(&tr->rec[j]);
    bool live = sides.count(tr) > 0;
    if (live) ++triangles;
    if (bounding.count(tr)) {
      if (!live) return "a bounding triangle left the triangulation";
      continue;
    }
    if (!live) return "a triangle that left is still listed " + triple(&tr->rec[0]);
    if (tr->state & CD3DTriangle::kDead) return "live triangle marked dead " + triple(&tr->rec[0]);
  }
  for (auto& kv : sides) {
    bool outer = bounding.count(kv.first) > 0;
    if (!kv.second.first || !kv.second.second) {
      if (!outer)
        return "interior triangle with a cell on one side only " + triple(&kv.first->rec[0]);
    } else if (outer) {
      return "bounding triangle with cells on both sides";
    }
  }

  long V = (long)verts.size(), E = (long)edge_set.size(), F = triangles, C = live_cells;
  if (counts) {
    counts->vertices = V;
    counts->edges = E;
    counts->triangles = F;
    counts->cells = C;
  }
  if (V - E + F - C != 1) {
    err << "Euler characteristic " << (V - E + F - C) << " (V " << V << " E " << E << " F " << F
        << " C " << C << ")";
    return err.str();
  }

  // Local regularity of every interior face.
  for (auto& kv : sides) {
    if (!kv.second.first || !kv.second.second) continue;
    CD3DEdge* e = kv.second.first->face[0];
    // the record of this triangle facing into the first cell
    for (int i = 0; i < 4; ++i)
      if (kv.second.first->face[i]->triangle() == kv.first) e = kv.second.first->face[i];
    CXYZW* d = e->sym()->fnext()->apex();
    if (t.insphere(e, d)) return "non-regular face " + triple(e) + " against " + name(d);
  }

  if (brute_force) {
    // Points that repeat the position of an earlier point stay out by
    // rule, and so do points that are not finite or lie outside the
    // bounding tetrahedron.
    std::vector<CXYZW*> pts;
    CD3DEdge* root_faces[4] = {&tris[0]->rec[0], &tris[1]->rec[5], &tris[2]->rec[5], &tris[3]->rec[3]};
    for (std::size_t i = 0; i < t.points.size(); ++i) {
      CXYZW* q = t.points[i];
      if (!std::isfinite(q->x.value) || !std::isfinite(q->y.value) || !std::isfinite(q->z.value) ||
          !std::isfinite(q->w.value))
        continue;
      bool inside = true;
      for (int f = 0; f < 4; ++f) inside = inside && t.positive(root_faces[f], q);
      if (!inside) continue;
      bool repeat = false;
      for (std::size_t j = 0; j < i && !repeat; ++j)
        repeat = same_position(t.points[i], t.points[j]);
      if (!repeat) pts.push_back(t.points[i]);
    }
    for (CD3DCell* c : t.cells) {
      if (!c->live()) continue;
      for (CXYZW* q : pts) {
        if (q == c->vertex(0) || q == c->vertex(1) || q == c->vertex(2) || q == c->vertex(3))
          continue;
        if (t.insphere(c->face[0], q))
          return "point " + name(q) + " inside the orthosphere of cell " + triple(c->face[0]) +
                 "," + name(c->vertex(3));
      }
    }
  }
  return "";
}
