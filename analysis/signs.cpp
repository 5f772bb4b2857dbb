#include "analysis/signs.h"

#include <algorithm>
#include <iostream>
#include <unordered_map>
#include <unordered_set>

namespace {

bool has_vertex(const edge* e, int u) { return e->v[0]->index == u || e->v[1]->index == u; }

// The group of edges holding an edge at vertex u; the last match counts.
int group_at(const std::vector<cycle1*>& c1, int u) {
  int found = -1;
  for (size_t g = 0; g < c1.size(); ++g) {
    for (const edge* e : c1[g]->edges) {
      if (has_vertex(e, u)) found = static_cast<int>(g);
    }
  }
  return found;
}

// The vertex component holding atom index u.
int component_at(const std::vector<cycle0*>& c0, int u) {
  for (size_t c = 0; c < c0.size(); ++c) {
    for (const info* a : c0[c]->atoms) {
      if (a->index == u) return static_cast<int>(c);
    }
  }
  return -1;
}

// The complement component holding the tetrahedron with this id; the last
// match counts.
int component_of_tetra(const std::vector<cycle3*>& c3, int id) {
  int found = -1;
  for (size_t c = 0; c < c3.size(); ++c) {
    for (const tetra* t : c3[c]->tetrahedra) {
      if (t->id == id) found = static_cast<int>(c);
    }
  }
  return found;
}

template <class T>
void remove_at(std::vector<T*>& list, int k) {
  delete list[k];
  list.erase(list.begin() + k);
}

// A side beyond the pocket: the first time complement component k (of the
// pocket tetrahedron on the other side) meets the outside, the triangle
// bounds a new void.  A coface the filtration lacks (no component) gives no
// void.
int outside_sign(cycle3* k) {
  if (k == nullptr || k->outside) return -1;
  k->outside = true;
  return 1;
}

// Two complement components meet at a triangle, b about to join a: the
// triangle is negative when both already reached the outside.
int join_sign(cycle3& a, const cycle3& b) {
  const bool both_outside = a.outside && b.outside;
  if (!a.outside && b.outside) a.outside = true;
  return both_outside ? -1 : 1;
}

// The sign of triangle filter f from its cofaces.  outside(t) judges the
// side beyond the hull at pocket tetrahedron t, beyond(t, x) the side at
// pocket tetrahedron t where tetrahedron x lies beyond the pocket, and
// join(s, t) two pocket tetrahedra of the same stamp; each returns the sign.
template <class Outside, class Beyond, class Join>
int triangle_sign(const filter* f, Outside outside, Beyond beyond, Join join) {
  const auto& cof = f->tria_ref->cofaces;
  if (cof.size() == 1) return outside(cof[0]);
  if (cof.size() != 2) return -1;
  const int s0 = cof[0]->stamp, s1 = cof[1]->stamp;
  if (s0 > 0 && s1 < 0) return beyond(cof[0], cof[1]);
  if (s1 > 0 && s0 < 0) return beyond(cof[1], cof[0]);
  if (s0 != s1 || s0 <= 0) return -1;
  return join(cof[0], cof[1]);
}

// The space beyond the pocket is made of the tetrahedra without a positive
// stamp, joined across their shared faces.  Only the part that reaches the
// convex hull is the outside; a part that the pocket encloses (often another
// pocket) is a void of its own, a component of the complement like those of
// the pocket's tetrahedra.  Walks breadth first from x through that space
// and returns true with the walk's tetrahedra in `part` when the part is
// enclosed.  The walk stops at a face on the hull (or one whose cofaces are
// not two tetrahedra) and at a tetrahedron for which known_outside says so.
template <class KnownOutside>
bool enclosed_part(tetra* x, std::vector<tetra*>& part, KnownOutside known_outside) {
  part.assign(1, x);
  std::unordered_set<const tetra*> seen{x};
  for (size_t next = 0; next < part.size(); ++next) {
    const tetra* y = part[next];
    if (known_outside(y)) return false;
    for (const tria* f : y->faces) {
      if (f == nullptr || f->cofaces.size() != 2) return false;
      tetra* z = f->cofaces[0] == y ? f->cofaces[1] : f->cofaces[0];
      if (z->stamp > 0 || !seen.insert(z).second) continue;
      part.push_back(z);
    }
  }
  return true;
}

// Component records of one kind (cycle0, cycle1 or cycle3) as the indexed
// judges keep them: members are looked up by key (atom index or tetrahedron
// id) through a union-find, and a merge chains the second record's members
// behind the first's in constant time.  The records' member vectors are
// written once, by finish(), in the order the appends and merges give; a
// record removed by a merge is deleted at once and its place in the list
// closed up at the end.
template <class Record, class Member>
class Components {
 public:
  Components(std::vector<Record*>& list, std::vector<Member*> Record::*members)
      : list_(list), members_(members) {}

  // A new record with one member, at the end of the list.
  Record* make(int id, Member* first) {
    Record* r = new Record();
    r->id = id;
    list_.push_back(r);
    const int slot = static_cast<int>(slots_.size());
    slots_.push_back({r, slot, 1, -1, -1, list_.size() - 1});
    slot_of_[r] = slot;
    append(r, first);
    return r;
  }

  // The record holding key, null when none does.
  Record* find(int key) {
    auto it = key_slot_.find(key);
    return it == key_slot_.end() ? nullptr : slots_[root(it->second)].record;
  }

  // Key now names record r.
  void name(int key, Record* r) { key_slot_[key] = slot_of_[r]; }

  void append(Record* r, Member* m) {
    Slot& s = slots_[root(slot_of_[r])];
    const int node = static_cast<int>(nodes_.size());
    nodes_.push_back({m, -1});
    if (s.head < 0) {
      s.head = node;
    } else {
      nodes_[s.tail].next = node;
    }
    s.tail = node;
  }

  // b's members follow a's; b leaves the list and is deleted; its keys name a.
  void merge(Record* a, Record* b) {
    const int ra = root(slot_of_[a]), rb = root(slot_of_[b]);
    Slot joined = slots_[ra];
    if (slots_[rb].head >= 0) {
      if (joined.head < 0) {
        joined.head = slots_[rb].head;
      } else {
        nodes_[joined.tail].next = slots_[rb].head;
      }
      joined.tail = slots_[rb].tail;
    }
    list_[slots_[rb].place] = nullptr;
    slot_of_.erase(b);
    delete b;
    // The larger tree keeps its root; the root carries a's record.
    const int size = slots_[ra].size + slots_[rb].size;
    const int top = slots_[ra].size >= slots_[rb].size ? ra : rb;
    const int below = top == ra ? rb : ra;
    slots_[below].parent = top;
    slots_[top] = joined;
    slots_[top].parent = top;
    slots_[top].size = size;
    slot_of_[a] = top;
  }

  void finish() {
    for (size_t i = 0; i < slots_.size(); ++i) {
      const Slot& s = slots_[i];
      if (s.parent != static_cast<int>(i)) continue;
      std::vector<Member*>& out = s.record->*members_;
      out.clear();
      for (int k = s.head; k >= 0; k = nodes_[k].next) out.push_back(nodes_[k].member);
    }
    list_.erase(std::remove(list_.begin(), list_.end(), nullptr), list_.end());
  }

 private:
  struct Slot {
    Record* record;
    int parent, size;
    int head, tail;  // member chain
    size_t place;    // in the list
  };
  struct Node {
    Member* member;
    int next;
  };

  int root(int s) {
    while (slots_[s].parent != s) {
      slots_[s].parent = slots_[slots_[s].parent].parent;
      s = slots_[s].parent;
    }
    return s;
  }

  std::vector<Record*>& list_;
  std::vector<Member*> Record::*members_;
  std::vector<Slot> slots_;
  std::vector<Node> nodes_;
  std::unordered_map<const Record*, int> slot_of_;
  std::unordered_map<int, int> key_slot_;
};

// The same judgements with the component lookups served by union-finds
// instead of scans.  The lists end exactly as the scanning judges leave
// them.  Valid only when every atom and every tetrahedron enters the
// filtration at most once (then every lookup has at most one match) and the
// lists start empty.
class IndexedSigns {
 public:
  IndexedSigns(std::vector<filter*>& filters, std::vector<cycle0*>& c0, std::vector<cycle1*>& c1,
               std::vector<cycle3*>& c3, const HullRoutes* routes)
      : filters_(filters),
        c0_(c0, &cycle0::atoms),
        c1_(c1, &cycle1::edges),
        c3_(c3, &cycle3::tetrahedra),
        routes_(routes) {}

  void run() {
    const int n = static_cast<int>(filters_.size());
    for (const filter* f : filters_) {
      if (f->dimension == 3) filtered_.insert(f->tetra_ref);
    }
    int counter = 0;
    for (int i = 0; i < n; ++i) {
      ++counter;
      if (filters_[i]->dimension == 0) vertex(counter, filters_[i]);
      if (filters_[i]->dimension == 1) edge_sign(counter, filters_[i]);
    }
    for (int i = n - 1; i >= 1; --i) {
      ++counter;
      const int d = filters_[i]->dimension;
      if (d == 2 || d == 3) face_sign(counter, filters_[i]);
    }
    c0_.finish();
    c1_.finish();
    c3_.finish();
  }

 private:
  void vertex(int counter, filter* f) {
    c0_.name(f->info_ref->index, c0_.make(counter, f->info_ref));
    f->sign = 1;
  }

  void edge_sign(int counter, filter* f) {
    edge* e = f->edge_ref;
    const int u = e->v[0]->index, w = e->v[1]->index;
    cycle1* gu = c1_.find(u);
    cycle1* gw = c1_.find(w);
    if (gu != nullptr && gw != nullptr && gu != gw) {
      c1_.append(gu, e);
      c1_.merge(gu, gw);
    } else if (gu != nullptr) {
      c1_.append(gu, e);
      c1_.name(w, gu);
    } else if (gw != nullptr) {
      c1_.append(gw, e);
      c1_.name(u, gw);
    } else {
      cycle1* g = c1_.make(counter, e);
      c1_.name(u, g);
      c1_.name(w, g);
    }

    cycle0* cu = c0_.find(u);
    cycle0* cw = c0_.find(w);
    if (cu == cw || cu == nullptr || cw == nullptr) {
      f->sign = 1;
      return;
    }
    c0_.merge(cu, cw);
    f->sign = -1;
  }

  void face_sign(int counter, filter* f) {
    if (f->dimension == 3) {
      c3_.name(f->tetra_ref->id, c3_.make(counter, f->tetra_ref));
      f->sign = -1;
      return;
    }
    const auto outside = [this](const tetra* t) { return outside_sign(c3_.find(t->id)); };
    const auto join = [this](const tetra* s, const tetra* t) {
      cycle3* a = c3_.find(s->id);
      cycle3* b = c3_.find(t->id);
      if (a == nullptr || b == nullptr || a == b) return -1;
      const int sign = join_sign(*a, *b);
      c3_.merge(a, b);
      return sign;
    };
    const auto beyond = [&](const tetra* t, tetra* x) {
      if (c3_.find(t->id) == nullptr) return -1;
      // A tetrahedron of the filtration itself (stamped as beyond it) is
      // taken for the outside, as ever.
      if (filtered_.count(x) != 0) return outside(t);
      if (c3_.find(x->id) == nullptr && !void_at(counter, x)) return outside(t);
      return join(t, x);
    };
    f->sign = triangle_sign(f, outside, beyond, join);
  }

  // Whether x lies in a void beyond the pocket; the first time, the void
  // becomes a component of its own.  The walks that reached the hull leave
  // their tetrahedra known as outside.
  bool void_at(int counter, tetra* x) {
    if (outside_.count(x) != 0) return false;
    std::vector<tetra*> part;
    const auto known = [this](const tetra* y) { return outside_.count(y) != 0 || clear(y); };
    if (!enclosed_part(x, part, known)) {
      outside_.insert(part.begin(), part.end());
      return false;
    }
    cycle3* c = c3_.make(counter, part[0]);
    c3_.name(part[0]->id, c);
    for (size_t k = 1; k < part.size(); ++k) {
      c3_.append(c, part[k]);
      c3_.name(part[k]->id, c);
    }
    return true;
  }

  // Whether y's way to the hull meets no tetrahedron of the pocket.
  bool clear(const tetra* y) {
    if (routes_ == nullptr || !routes_->knows(y)) return false;
    std::vector<const tetra*> way;
    bool result = false;
    for (const tetra* z = y;; z = routes_->next(z)) {
      if (z->stamp > 0) break;
      auto known = clear_.find(z);
      if (known != clear_.end()) {
        result = known->second;
        break;
      }
      way.push_back(z);
      if (routes_->next(z) == nullptr) {
        // On the hull, or cut off from it (then nothing is certain).
        result = routes_->hull(z);
        break;
      }
    }
    for (const tetra* z : way) clear_[z] = result;
    return result;
  }

  std::vector<filter*>& filters_;
  Components<cycle0, info> c0_;
  Components<cycle1, edge> c1_;
  Components<cycle3, tetra> c3_;
  const HullRoutes* routes_;
  std::unordered_map<const tetra*, bool> clear_;
  std::unordered_set<const tetra*> filtered_;  // the filtration's tetrahedra
  std::unordered_set<const tetra*> outside_;   // beyond the pocket, reaching the hull
};

// Whether every lookup of the judges has at most one match.
bool entries_unique(const std::vector<filter*>& filters) {
  std::unordered_set<int> atoms, tetras;
  for (const filter* f : filters) {
    if (f->dimension == 0 && !atoms.insert(f->info_ref->index).second) return false;
    if (f->dimension == 3 && !tetras.insert(f->tetra_ref->id).second) return false;
  }
  return true;
}

void scanning_passes(std::vector<filter*>& filters, std::vector<cycle0*>& c0,
                     std::vector<cycle1*>& c1, std::vector<cycle2*>& c2, std::vector<cycle3*>& c3) {
  const int n = static_cast<int>(filters.size());
  int counter = 0;
  for (int i = 0; i < n; ++i) {
    ++counter;
    if (filters[i]->dimension == 0) judge_cycle0(counter, i, filters, c0);
    if (filters[i]->dimension == 1) judge_cycle1(counter, i, filters, c0, c1);
  }
  for (int i = n - 1; i >= 1; --i) {
    ++counter;
    const int d = filters[i]->dimension;
    if (d == 2 || d == 3) judge_cycle2(counter, i, filters, c0, c1, c2, c3);
  }
}

}  // namespace

void judge_cycle0(int& counter, int i, std::vector<filter*>& filters, std::vector<cycle0*>& c0) {
  filter* f = filters[i];
  cycle0* c = new cycle0();
  c->id = counter;
  c->atoms.push_back(f->info_ref);
  c0.push_back(c);
  f->sign = 1;
}

void judge_cycle1(int& counter, int i, std::vector<filter*>& filters, std::vector<cycle0*>& c0,
                  std::vector<cycle1*>& c1) {
  filter* f = filters[i];
  edge* e = f->edge_ref;
  const int u = e->v[0]->index, w = e->v[1]->index;

  const int gu = group_at(c1, u), gw = group_at(c1, w);
  if (gu >= 0 && gw >= 0 && gu != gw) {
    c1[gu]->edges.push_back(e);
    const std::vector<edge*>& moved = c1[gw]->edges;
    c1[gu]->edges.insert(c1[gu]->edges.end(), moved.begin(), moved.end());
    remove_at(c1, gw);
  } else if (gu >= 0) {
    c1[gu]->edges.push_back(e);
  } else if (gw >= 0) {
    c1[gw]->edges.push_back(e);
  } else {
    cycle1* g = new cycle1();
    g->id = counter;
    g->edges.push_back(e);
    c1.push_back(g);
  }

  const int cu = component_at(c0, u), cw = component_at(c0, w);
  // An end the filtration lacks merges nothing.
  if (cu == cw || cu < 0 || cw < 0) {
    f->sign = 1;
    return;
  }
  const std::vector<info*>& moved = c0[cw]->atoms;
  c0[cu]->atoms.insert(c0[cu]->atoms.end(), moved.begin(), moved.end());
  remove_at(c0, cw);
  f->sign = -1;
}

void judge_cycle2(int& counter, int i, std::vector<filter*>& filters, std::vector<cycle0*>&,
                  std::vector<cycle1*>&, std::vector<cycle2*>&, std::vector<cycle3*>& c3) {
  filter* f = filters[i];
  if (f->dimension == 3) {
    cycle3* c = new cycle3();
    c->id = counter;
    c->tetrahedra.push_back(f->tetra_ref);
    c3.push_back(c);
    f->sign = -1;
    return;
  }
  if (f->dimension != 2) return;
  const auto outside = [&c3](const tetra* t) {
    const int k = component_of_tetra(c3, t->id);
    return outside_sign(k < 0 ? nullptr : c3[k]);
  };
  const auto join = [&c3](const tetra* s, const tetra* t) {
    const int a = component_of_tetra(c3, s->id);
    const int b = component_of_tetra(c3, t->id);
    if (a < 0 || b < 0 || a == b) return -1;
    const int sign = join_sign(*c3[a], *c3[b]);
    const std::vector<tetra*>& moved = c3[b]->tetrahedra;
    c3[a]->tetrahedra.insert(c3[a]->tetrahedra.end(), moved.begin(), moved.end());
    remove_at(c3, b);
    return sign;
  };
  // A void beyond the pocket becomes a component when first met.
  const auto beyond = [&](const tetra* t, tetra* x) {
    if (component_of_tetra(c3, t->id) < 0) return -1;
    for (const filter* g : filters) {
      if (g->dimension == 3 && g->tetra_ref == x) return outside(t);
    }
    if (component_of_tetra(c3, x->id) < 0) {
      std::vector<tetra*> part;
      if (!enclosed_part(x, part, [](const tetra*) { return false; })) return outside(t);
      cycle3* c = new cycle3();
      c->id = counter;
      c->tetrahedra = part;
      c3.push_back(c);
    }
    return join(t, x);
  };
  f->sign = triangle_sign(f, outside, beyond, join);
}

namespace {

void detect(std::vector<filter*>& filters, std::vector<cycle0*>& c0, std::vector<cycle1*>& c1,
            std::vector<cycle2*>& c2, std::vector<cycle3*>& c3, const HullRoutes* routes) {
  // Scanning every member of every component for each simplex is quadratic
  // in the pocket; large pockets hold tens of thousands of simplices.
  if (c0.empty() && c1.empty() && c3.empty() && entries_unique(filters)) {
    IndexedSigns(filters, c0, c1, c3, routes).run();
  } else {
    scanning_passes(filters, c0, c1, c2, c3);
  }
}

}  // namespace

HullRoutes::HullRoutes(std::vector<tetra>& tetrahedra)
    : base_(tetrahedra.data()), next_(tetrahedra.size(), -2) {
  std::vector<int> queue;
  for (size_t i = 0; i < tetrahedra.size(); ++i) {
    for (const tria* f : tetrahedra[i].faces) {
      if (f != nullptr && f->cofaces.size() == 1) {
        next_[i] = -1;
        queue.push_back(static_cast<int>(i));
        break;
      }
    }
  }
  for (size_t k = 0; k < queue.size(); ++k) {
    const tetra& y = tetrahedra[queue[k]];
    for (const tria* f : y.faces) {
      if (f == nullptr || f->cofaces.size() != 2) continue;
      const tetra* z = f->cofaces[0] == &y ? f->cofaces[1] : f->cofaces[0];
      if (!knows(z) || next_[z - base_] != -2) continue;
      next_[z - base_] = queue[k];
      queue.push_back(static_cast<int>(z - base_));
    }
  }
}

bool HullRoutes::knows(const tetra* t) const {
  return !next_.empty() && t >= base_ && t < base_ + next_.size();
}

const tetra* HullRoutes::next(const tetra* t) const {
  const int n = next_[t - base_];
  return n >= 0 ? base_ + n : nullptr;
}

bool HullRoutes::hull(const tetra* t) const { return next_[t - base_] == -1; }

void sign_detect(std::vector<filter*>& filters, std::vector<cycle0*>& c0, std::vector<cycle1*>& c1,
                 std::vector<cycle2*>& c2, std::vector<cycle3*>& c3) {
  detect(filters, c0, c1, c2, c3, nullptr);
}

void sign_detect(std::vector<filter*>& filters, std::vector<cycle0*>& c0, std::vector<cycle1*>& c1,
                 std::vector<cycle2*>& c2, std::vector<cycle3*>& c3, const HullRoutes& routes) {
  detect(filters, c0, c1, c2, c3, &routes);
}

bool sign_detect_first(std::vector<filter*>& filters, std::vector<cycle0*>& c0,
                       std::vector<cycle1*>& c1, std::vector<cycle2*>& c2,
                       std::vector<cycle3*>& c3) {
  sign_detect(filters, c0, c1, c2, c3);
  int positive_edges = 0, negative_triangles = 0;
  bool ok = true;
  for (const filter* f : filters) {
    if (f->sign > 0 && f->dimension == 1) ++positive_edges;
    if (f->sign < 0 && f->dimension == 2) ++negative_triangles;
    if (positive_edges < negative_triangles) {
      std::cout << "false: betti 1: " << positive_edges << " " << negative_triangles << std::endl;
      ok = false;
    }
  }
  return ok;
}

void release_components(std::vector<cycle0*>& c0, std::vector<cycle1*>& c1,
                        std::vector<cycle2*>& c2, std::vector<cycle3*>& c3) {
  for (cycle0* c : c0) delete c;
  for (cycle1* c : c1) delete c;
  for (cycle2* c : c2) delete c;
  for (cycle3* c : c3) delete c;
  c0.clear();
  c1.clear();
  c2.clear();
  c3.clear();
}
