#include "pockets/assembly.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_map>
#include <utility>

namespace {

bool has_centre(const tetra& t) {
  return std::isfinite(t.center[0]) && std::isfinite(t.center[1]) && std::isfinite(t.center[2]);
}

template <class List>
bool holds_pointer(const List& list, const tetra* t) {
  return std::find(list.begin(), list.end(), t) != list.end();
}

// A short list of ints in place, on the heap only past kLocal: an item is in
// one or two containers (a tetrahedron in one or two sub-pockets), and a
// heap block each would cost more than the rest of its bookkeeping.
class ShortList {
 public:
  const int* begin() const { return heap_.empty() ? local_ : heap_.data(); }
  const int* end() const { return begin() + size_; }
  void push_back(int k) {
    if (heap_.empty()) {
      if (size_ < kLocal) {
        local_[size_++] = k;
        return;
      }
      heap_.assign(local_, local_ + size_);
    }
    heap_.push_back(k);
    ++size_;
  }
  void clear() {
    size_ = 0;
    heap_.clear();
  }
  // Removes k, which the list holds.
  void erase(int k) {
    int* d = heap_.empty() ? local_ : heap_.data();
    int* at = std::find(d, d + size_, k);
    std::copy(at + 1, d + size_, at);
    --size_;
    if (!heap_.empty()) heap_.pop_back();
  }

 private:
  static constexpr unsigned kLocal = 3;
  int local_[kLocal] = {0, 0, 0};
  unsigned size_ = 0;
  std::vector<int> heap_;
};

// Sequences of items (tetrahedra or triangles, by compact index) kept as
// linked lists in containers, so that a merge can move the smaller of two
// lists: either the smaller one is appended to the larger, or the larger one
// is taken over whole and the smaller one spliced in front of it.  Merging
// one list into another many times over thus costs the size of the smaller
// side only, instead of copying a growing pocket again at every merge.
// Every item knows its live nodes, which answers "does this container hold
// it" in constant time.
//
// A node also carries a value (for tetrahedra: the id of the pocket that
// took it in) and the time it was given.  A container taken over whole gives
// its new owner's value to every node it held at that moment; that is
// recorded once on the container, and a node's effective value is the later
// of its own and its container's.
class Sequences {
 public:
  explicit Sequences(size_t items) : nodes_of_(items) {}

  int new_container(int owner) {
    conts_.emplace_back();
    conts_.back().owner = owner;
    return static_cast<int>(conts_.size()) - 1;
  }

  // Appends item at the tail of c; returns the node.
  int append(int c, int item, int value) {
    if (static_cast<size_t>(item) >= nodes_of_.size()) nodes_of_.resize(item + 1);
    const int k = static_cast<int>(nodes_.size());
    nodes_.emplace_back();
    Node& n = nodes_.back();
    n.item = item;
    n.cont = c;
    n.entered = n.time = ++clock_;
    n.value = value;
    Cont& ct = conts_[c];
    n.prev = ct.tail;
    if (ct.tail >= 0)
      nodes_[ct.tail].next = k;
    else
      ct.head = k;
    ct.tail = k;
    ++ct.size;
    nodes_of_[item].push_back(k);
    return k;
  }

  // The first node of item in c, in list order, or -1.
  int node_in(int c, int item) const {
    if (static_cast<size_t>(item) >= nodes_of_.size()) return -1;
    for (int k : nodes_of_[item]) {
      if (nodes_[k].cont == c) return k;
    }
    return -1;
  }
  bool holds(int c, int item) const { return node_in(c, item) >= 0; }

  const ShortList& nodes_of(int item) const { return nodes_of_[item]; }
  int container_of(int node) const { return nodes_[node].cont; }
  int owner(int c) const { return conts_[c].owner; }
  int size(int c) const { return conts_[c].size; }
  int head(int c) const { return conts_[c].head; }
  int next(int node) const { return nodes_[node].next; }
  int item(int node) const { return nodes_[node].item; }
  std::vector<int>& dups(int c) { return conts_[c].dups; }

  // Unlinks a node; its last value is handed to `keep` first.
  template <class Keep>
  void remove(int k, Keep keep) {
    Node& n = nodes_[k];
    keep(n.item, effective_time(n), effective_value(n));
    Cont& ct = conts_[n.cont];
    if (n.prev >= 0)
      nodes_[n.prev].next = n.next;
    else
      ct.head = n.next;
    if (n.next >= 0)
      nodes_[n.next].prev = n.prev;
    else
      ct.tail = n.prev;
    --ct.size;
    nodes_of_[n.item].erase(k);
    n.cont = -1;
  }

  // Container `big` passes to `owner`, whose value every node already in it
  // takes from now on; then the nodes of `small` move in front of them,
  // keeping their own values, and `small` is left empty.
  void take_over(int big, int small, int owner, int value) {
    Cont& b = conts_[big];
    b.owner = owner;
    b.transfer = ++clock_;
    b.transfer_value = value;
    const long moved = ++clock_;
    Cont& s = conts_[small];
    if (s.head < 0) return;
    for (int k = s.head; k >= 0; k = nodes_[k].next) {
      Node& n = nodes_[k];
      n.time = effective_time(n);
      n.value = effective_value(n);
      n.entered = moved;
      n.cont = big;
    }
    nodes_[s.tail].next = b.head;
    if (b.head >= 0)
      nodes_[b.head].prev = s.tail;
    else
      b.tail = s.tail;
    b.head = s.head;
    b.size += s.size;
    s.head = s.tail = -1;
    s.size = 0;
  }

  long effective_time(int k) const { return effective_time(nodes_[k]); }
  int effective_value(int k) const { return effective_value(nodes_[k]); }

 private:
  struct Node {
    int item = 0;
    int prev = -1, next = -1;
    int cont = -1;
    long entered = 0;  // when the node entered its container
    long time = 0;     // when its value was given
    int value = 0;
  };
  struct Cont {
    int head = -1, tail = -1, size = 0;
    int owner = -1;
    long transfer = -1;  // when the container last passed to a new owner
    int transfer_value = 0;
    std::vector<int> dups;  // items appended while already present
  };

  long effective_time(const Node& n) const {
    const Cont& c = conts_[n.cont];
    return c.transfer > n.entered ? c.transfer : n.time;
  }
  int effective_value(const Node& n) const {
    const Cont& c = conts_[n.cont];
    return c.transfer > n.entered ? c.transfer_value : n.value;
  }

  std::vector<Node> nodes_;
  std::vector<Cont> conts_;
  std::vector<ShortList> nodes_of_;
  long clock_ = 0;
};

// A list of assembly records (the pockets, or the flow components).
// Records are addressed by creation index; new records are only ever
// appended and removal keeps the order of the others, so list order is
// creation order among the live records, and "the last record holding X" is
// the largest live index holding X.  The pocket list also tracks each
// tetrahedron's assembly id (the id of the pocket that last took it in) and
// the inner triangles.
class AssemblyList {
 public:
  AssemblyList(std::vector<tetra>& tetras, bool pockets)
      : base_(tetras.data()),
        pockets_(pockets),
        tetra_seq_(tetras.size()),
        tria_seq_(0),
        assigned_(tetras.size()) {}

  int create(int id, tetra* t) {
    const int k = static_cast<int>(recs_.size());
    Rec r;
    r.id = id;
    r.tetras = tetra_seq_.new_container(k);
    r.trias = pockets_ ? tria_seq_.new_container(k) : -1;
    recs_.push_back(r);
    append_tetra(k, t);
    return k;
  }

  // The last live record holding t, or -1.
  int last_holding(const tetra* t) const {
    int best = -1;
    for (int node : tetra_seq_.nodes_of(index(t))) {
      best = std::max(best, tetra_seq_.owner(tetra_seq_.container_of(node)));
    }
    return best;
  }

  std::vector<int> holding(const tetra* t) const {
    std::vector<int> out;
    for (int node : tetra_seq_.nodes_of(index(t))) {
      out.push_back(tetra_seq_.owner(tetra_seq_.container_of(node)));
    }
    return out;
  }

  int id(int k) const { return recs_[k].id; }

  void append_tetra(int k, tetra* t) { tetra_seq_.append(recs_[k].tetras, index(t), recs_[k].id); }

  // Appends without checking: a face can stand twice in one list.
  void append_triangle(int k, tria* t) {
    const int item = tria_index(t);
    const int c = recs_[k].trias;
    const bool present = tria_seq_.holds(c, item);
    tria_seq_.append(c, item, 0);
    if (present) tria_seq_.dups(c).push_back(item);
  }

  // Moves into `into` every tetrahedron and inner triangle of `from` that it
  // lacks, in order, then removes `from`.
  void merge(int into, int from) {
    Rec& a = recs_[into];
    Rec& b = recs_[from];
    merge_tetras(a, b);
    if (pockets_) merge_trias(a, b);
    b.alive = false;
  }

  int count() const { return static_cast<int>(recs_.size()); }
  bool alive(int k) const { return recs_[k].alive; }

  std::vector<tetra*> tetrahedra(int k) const {
    std::vector<tetra*> out;
    out.reserve(tetra_seq_.size(recs_[k].tetras));
    for (int n = tetra_seq_.head(recs_[k].tetras); n >= 0; n = tetra_seq_.next(n)) {
      out.push_back(base_ + tetra_seq_.item(n));
    }
    return out;
  }

  std::vector<tria*> inner_triangles(int k) const {
    std::vector<tria*> out;
    if (!pockets_) return out;
    for (int n = tria_seq_.head(recs_[k].trias); n >= 0; n = tria_seq_.next(n)) {
      out.push_back(trias_[tria_seq_.item(n)]);
    }
    return out;
  }

  // Writes every tetrahedron's assembly id.
  void assign_ids() {
    if (!pockets_) return;
    for (size_t x = 0; x < assigned_.size(); ++x) {
      Assigned a = assigned_[x];
      for (int node : tetra_seq_.nodes_of(static_cast<int>(x))) {
        const long t = tetra_seq_.effective_time(node);
        if (t > a.time) {
          a.time = t;
          a.value = tetra_seq_.effective_value(node);
        }
      }
      if (a.time >= 0) base_[x].pocket_number_of = a.value;
    }
  }

 private:
  struct Rec {
    int id = 0;
    int tetras = -1;
    int trias = -1;
    bool alive = true;
  };
  struct Assigned {
    long time = -1;
    int value = 0;
  };

  int index(const tetra* t) const { return static_cast<int>(t - base_); }

  int tria_index(tria* t) {
    auto it = tria_ids_.find(t);
    if (it != tria_ids_.end()) return it->second;
    const int k = static_cast<int>(trias_.size());
    tria_ids_.emplace(t, k);
    trias_.push_back(t);
    return k;
  }

  void forget(int item, long time, int value) {
    if (!pockets_) return;
    Assigned& a = assigned_[item];
    if (time > a.time) {
      a.time = time;
      a.value = value;
    }
  }

  void merge_tetras(Rec& a, Rec& b) {
    auto keep = [this](int item, long time, int value) { forget(item, time, value); };
    if (tetra_seq_.size(b.tetras) <= tetra_seq_.size(a.tetras)) {
      // Append the smaller list: its items that `a` lacks join `a`.
      for (int n = tetra_seq_.head(b.tetras); n >= 0; n = tetra_seq_.next(n)) {
        const int x = tetra_seq_.item(n);
        if (!tetra_seq_.holds(a.tetras, x)) tetra_seq_.append(a.tetras, x, a.id);
      }
      for (int n = tetra_seq_.head(b.tetras); n >= 0;) {
        const int next = tetra_seq_.next(n);
        tetra_seq_.remove(n, keep);
        n = next;
      }
    } else {
      // Take the larger list over: drop from it what `a` holds, then put
      // a's list in front; the rest of b's items now count as taken in by a.
      for (int n = tetra_seq_.head(a.tetras); n >= 0; n = tetra_seq_.next(n)) {
        const int dup = tetra_seq_.node_in(b.tetras, tetra_seq_.item(n));
        if (dup >= 0) tetra_seq_.remove(dup, keep);
      }
      const int big = b.tetras;
      tetra_seq_.take_over(big, a.tetras, owner_index(a), a.id);
      b.tetras = -1;
      a.tetras = big;
    }
  }

  void merge_trias(Rec& a, Rec& b) {
    auto ignore = [](int, long, int) {};
    if (tria_seq_.size(b.trias) <= tria_seq_.size(a.trias)) {
      for (int n = tria_seq_.head(b.trias); n >= 0; n = tria_seq_.next(n)) {
        const int u = tria_seq_.item(n);
        if (!tria_seq_.holds(a.trias, u)) tria_seq_.append(a.trias, u, 0);
      }
      for (int n = tria_seq_.head(b.trias); n >= 0;) {
        const int next = tria_seq_.next(n);
        tria_seq_.remove(n, ignore);
        n = next;
      }
    } else {
      // b's list keeps only the first occurrence of each triangle that `a`
      // lacks, and `a`'s own list (repeats included) goes in front.
      const int big = b.trias;
      for (int n = tria_seq_.head(a.trias); n >= 0; n = tria_seq_.next(n)) {
        const int u = tria_seq_.item(n);
        for (int d = tria_seq_.node_in(big, u); d >= 0; d = tria_seq_.node_in(big, u)) {
          tria_seq_.remove(d, ignore);
        }
      }
      for (int u : tria_seq_.dups(big)) {
        const int first = tria_seq_.node_in(big, u);
        if (first < 0) continue;
        std::vector<int> later;
        for (int k : tria_seq_.nodes_of(u)) {
          if (k != first && tria_seq_.container_of(k) == big) later.push_back(k);
        }
        for (int k : later) tria_seq_.remove(k, ignore);
      }
      tria_seq_.dups(big).swap(tria_seq_.dups(a.trias));
      tria_seq_.dups(a.trias).clear();
      tria_seq_.take_over(big, a.trias, owner_index(a), 0);
      b.trias = -1;
      a.trias = big;
    }
  }

  int owner_index(const Rec& a) const { return static_cast<int>(&a - recs_.data()); }

  tetra* base_;
  bool pockets_;
  std::vector<Rec> recs_;
  Sequences tetra_seq_;
  Sequences tria_seq_;
  std::unordered_map<const tria*, int> tria_ids_;
  std::vector<tria*> trias_;
  std::vector<Assigned> assigned_;
};

// The one or more knot records of `s` whose id is `partner_id` get t; without
// any, a new record is made.
void add_knot(subpocket& s, int partner_id, tria* t) {
  bool found = false;
  for (const std::shared_ptr<mouth>& k : s.knots) {
    if (k->id == partner_id) {
      k->triangles.push_back(t);
      found = true;
    }
  }
  if (!found) {
    std::shared_ptr<mouth> k = std::make_shared<mouth>();
    k->id = partner_id;
    k->triangles.push_back(t);
    s.knots.push_back(k);
  }
}

// Keeps, per partner, the shared triangle of largest size; a later triangle
// of equal size replaces the earlier one.
void add_knot_top(subpocket& s, int partner_id, int partner_index, tria* t) {
  bool found = false;
  for (size_t j = 0; j < s.knot_tops.size(); ++j) {
    mouth& k = *s.knot_tops[j];
    if (k.id != partner_id) continue;
    found = true;
    if (k.triangles.empty()) {
      k.triangles.push_back(t);
      s.knot_partners[j] = partner_index;
    } else if (t->signed_size >= k.triangles[0]->signed_size) {
      k.triangles[0] = t;
      s.knot_partners[j] = partner_index;
    }
  }
  if (!found) {
    std::shared_ptr<mouth> k = std::make_shared<mouth>();
    k->id = partner_id;
    k->triangles.push_back(t);
    s.knot_tops.push_back(k);
    s.knot_partners.push_back(partner_index);
  }
}

void make_knots(pocket& p, std::vector<tetra>& tetras, std::vector<ShortList>& subpockets_of) {
  const size_t count = p.subpockets.size();
  if (count < 2) return;
  tetra* base = tetras.data();
  // Which sub-pockets of this pocket hold each tetrahedron, ascending.
  for (size_t i = 0; i < count; ++i) {
    for (tetra* x : p.subpockets[i]->tetrahedra)
      subpockets_of[x - base].push_back(static_cast<int>(i));
  }
  std::vector<int> list;
  for (tria* t : p.inner_triangles) {
    // The sub-pocket indices of the tetrahedra that share t, in ascending
    // order; only the first two are used.
    list.clear();
    for (tetra* x : t->cofaces) {
      if (std::find(x->shared_trias.begin(), x->shared_trias.end(), t) == x->shared_trias.end())
        continue;
      const ShortList& s = subpockets_of[x - base];
      list.insert(list.end(), s.begin(), s.end());
    }
    if (list.size() < 2) continue;  // t does not join two sub-pocket members
    std::sort(list.begin(), list.end());
    const int a = list[0];
    const int b = list[1];
    subpocket& sa = *p.subpockets[a];
    subpocket& sb = *p.subpockets[b];
    if (a == b) {
      add_knot(sa, sa.id, t);
      continue;
    }
    add_knot(sa, sb.id, t);
    add_knot(sb, sa.id, t);
    add_knot_top(sa, sb.id, b, t);
    add_knot_top(sb, sa.id, a, t);
  }
  for (size_t i = 0; i < count; ++i) {
    for (tetra* x : p.subpockets[i]->tetrahedra) subpockets_of[x - base].clear();
  }
}

}  // namespace

void pocketsrepresentation(std::vector<tetra>& tetras, std::vector<pocket>& pockets,
                           double /*probe*/) {
  // Flood fill from every empty tetrahedron that does not flow outside; a
  // fill clears flows_to_outside on what it reaches, so a later tetrahedron
  // can start a fill (of no further effect) of its own.
  // A tetrahedron without a finite centre (a flat one) starts none.
  int c = 1;
  for (tetra& t : tetras) {
    if (t.in_complex || t.flows_to_outside || !has_centre(t)) continue;
    t.component_id = c;
    t.visited = true;
    t.pockets_dfs_visit(c);
    ++c;
  }

  AssemblyList out(tetras, true);
  AssemblyList comps(tetras, false);
  int q = 0;
  for (tetra& t : tetras) {
    if (t.in_complex || !t.visited) continue;
    ++q;
    // Every such tetrahedron starts a record of its own at its turn, even
    // when an earlier pocket has already taken it in.
    out.create(q, &t);
    comps.create(q, &t);
    for (size_t k = 0; k < t.neighbours.size() && k < t.shared_trias.size(); ++k) {
      tetra* n = t.neighbours[k];
      tria* face = t.shared_trias[k];
      const bool flow = holds_pointer(n->inflow, &t) || holds_pointer(t.inflow, n);
      if (!n->visited || !(flow || !face->in_complex)) continue;

      const int pt = out.last_holding(&t);
      const int pn = out.last_holding(n);
      if (!flow && !face->in_complex) {
        for (int h : out.holding(&t)) out.append_triangle(h, face);
      }
      if (pn < 0) {
        out.append_tetra(pt, n);
      } else if (out.id(pn) != out.id(pt)) {
        out.merge(pt, pn);
      }

      if (flow) {
        const int ct = comps.last_holding(&t);
        const int cn = comps.last_holding(n);
        if (cn < 0) {
          comps.append_tetra(ct, n);
        } else if (comps.id(cn) != comps.id(ct)) {
          comps.merge(ct, cn);
        }
      }
    }
  }
  out.assign_ids();

  std::vector<int> position(out.count(), -1);
  for (int k = 0; k < out.count(); ++k) {
    if (!out.alive(k)) continue;
    position[k] = static_cast<int>(pockets.size());
    pockets.emplace_back();
    pocket& p = pockets.back();
    p.id = out.id(k);
    p.tetrahedra = out.tetrahedra(k);
    p.inner_triangles = out.inner_triangles(k);
  }

  // One sub-pocket per component, in every pocket that holds the component's
  // first tetrahedron, in component order; it keeps the largest size among
  // its tetrahedra.
  for (int k = 0; k < comps.count(); ++k) {
    if (!comps.alive(k)) continue;
    std::vector<tetra*> members = comps.tetrahedra(k);
    double max_alpha = -10000.0;
    double m = -10000.0;
    for (const tetra* x : members) {
      if (x->signed_size > m) {
        max_alpha = x->signed_size;
        m = x->signed_size;
      }
    }
    std::vector<int> holding = out.holding(members[0]);
    std::sort(holding.begin(), holding.end());
    for (int h : holding) {
      std::shared_ptr<subpocket> s = std::make_shared<subpocket>();
      s->tetrahedra = members;
      s->id = comps.id(k);
      s->max_alpha = max_alpha;
      s->begin = 10.0;
      s->end = -10.0;
      pockets[position[h]].subpockets.push_back(s);
    }
  }

  std::vector<ShortList> subpockets_of(tetras.size());
  for (pocket& p : pockets) make_knots(p, tetras, subpockets_of);
}
