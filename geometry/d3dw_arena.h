// The storage of CD3DW, shared by its insertion and its storage code (not
// part of the interface).
#ifndef GEOMETRY_D3DW_ARENA_H
#define GEOMETRY_D3DW_ARENA_H

#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "geometry/chunk_store.h"
#include "geometry/d3dw.h"

// Triangle blocks and cells are carved from large chunks and reused: about
// three quarters of what an insertion makes is replaced by later flips of
// the same insertion, and one allocation per object would cost both time
// and memory.
//
// A triangle chunk is aligned to its size, so a block finds the chunk's
// header, and through it the block's entries in the chunk's side arrays,
// from its own address. The side arrays hold what the insertion itself
// never reads: the alpha-complex back-pointers, which are only allocated
// once a complex sets one.
//
// Every allocation here stays below the C library's threshold for mapping
// memory of its own. Freeing a block so mapped makes the library raise
// that threshold to the block's size, and the large arrays of the area and
// pocket computations that follow then come from the heap, where they stay
// resident after use (about 20 MB more on 22,000 atoms). So the chunks are
// carved, aligned, from plain allocations just under 128 KiB.
struct CD3DW::Arena {
  static constexpr std::size_t kChunk = std::size_t(32) << 10;
  static constexpr std::size_t kHead = 8;  // the header, then the blocks
  static constexpr std::size_t kPer = (kChunk - kHead) / sizeof(CD3DTriangle);
  struct Links {
    C2Simplex* c2;
    C3Simplex* c3[2];  // of rec[0..2], of rec[3..5]
  };
  struct Head {
    Links* links;  // null until a complex sets a back-pointer
  };
  static_assert(sizeof(Head) <= kHead, "the header fits before the first block");

  static Head* head_of(const CD3DTriangle* t) {
    return reinterpret_cast<Head*>(reinterpret_cast<std::uintptr_t>(t) & ~(kChunk - 1));
  }
  static std::size_t index_of(const CD3DTriangle* t) {
    return (reinterpret_cast<std::uintptr_t>(t) - reinterpret_cast<std::uintptr_t>(head_of(t)) -
            kHead) /
           sizeof(CD3DTriangle);
  }
  static Links* links(const CD3DTriangle* t) {
    Head* h = head_of(t);
    return h->links ? h->links + index_of(t) : nullptr;
  }
  static Links& make_links(const CD3DTriangle* t) {
    Head* h = head_of(t);
    if (!h->links) h->links = new Links[kPer]();
    return h->links[index_of(t)];
  }

  // Allocations of this size hold three aligned chunks, unless the C
  // library returns one just past a chunk boundary; the unused ends are
  // never written.
  static constexpr std::size_t kRegion = (std::size_t(128) << 10) - 64;
  std::vector<void*> regions;
  std::uintptr_t carved = 0, carved_end = 0;  // chunks not yet used in the last region
  std::vector<Head*> chunks;
  std::size_t used = kPer;  // blocks handed out from the last chunk
  std::vector<CD3DTriangle*> free_blocks;

  CD3DTriangle* take_block() {
    if (!free_blocks.empty()) {
      CD3DTriangle* t = free_blocks.back();
      free_blocks.pop_back();
      return t;
    }
    if (used == kPer) new_chunk();
    return new (block(chunks.size() - 1, used++)) CD3DTriangle;
  }
  void new_chunk() {
    if (carved == carved_end) {
      void* r = std::malloc(kRegion);
      if (!r) throw std::bad_alloc();
      regions.push_back(r);
      std::uintptr_t a = reinterpret_cast<std::uintptr_t>(r);
      carved = (a + kChunk - 1) & ~(kChunk - 1);
      carved_end = carved + (a + kRegion - carved) / kChunk * kChunk;
    }
    void* c = reinterpret_cast<void*>(carved);
    carved += kChunk;
    chunks.push_back(new (c) Head{nullptr});
    used = 0;
  }
  // Block i of chunk c.
  CD3DTriangle* block(std::size_t c, std::size_t i) const {
    return reinterpret_cast<CD3DTriangle*>(reinterpret_cast<char*>(chunks[c]) + kHead) + i;
  }
  // Every block handed out, used or free.
  template <class F>
  void for_each_block(F&& f) const {
    for (std::size_t c = 0; c < chunks.size(); ++c) {
      const std::size_t n = c + 1 < chunks.size() ? kPer : used;
      for (std::size_t i = 0; i < n; ++i) f(block(c, i));
    }
  }
  // The back-pointer arrays made so far.
  template <class F>
  void for_each_links_array(F&& f) {
    for (Head* h : chunks)
      if (h->links) f(h->links);
  }

  struct CellPool {
    static constexpr std::size_t kBytes = std::size_t(64) << 10;
    static constexpr std::size_t kPer = kBytes / sizeof(CD3DCell);
    std::vector<void*> chunks;
    std::vector<CD3DCell*> free_list;
    std::size_t used = kPer;
    // `fresh` tells whether the cell was never handed out.
    CD3DCell* take(bool* fresh) {
      if (!free_list.empty()) {
        CD3DCell* t = free_list.back();
        free_list.pop_back();
        *fresh = false;
        return t;
      }
      if (used == kPer) {
        void* c = std::malloc(kBytes);
        if (!c) throw std::bad_alloc();
        chunks.push_back(c);
        used = 0;
      }
      *fresh = true;
      return new (static_cast<CD3DCell*>(chunks.back()) + used++) CD3DCell;
    }
    void give(CD3DCell* c) {
      c->face[0] = nullptr;
      free_list.push_back(c);
    }
    ~CellPool() {
      for (void* c : chunks) std::free(c);
    }
  };
  CellPool cells;

  // The points given to add(); destroyed with the arena.
  ChunkStore<CXYZW, 512> points;

  Arena() = default;
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;
  ~Arena() {
    for (Head* h : chunks) {
      delete[] h->links;
    }
    for (void* r : regions) std::free(r);
  }
};

__attribute__((always_inline)) inline CD3DTriangle* CD3DW::make_triangle(CXYZW* P, CXYZW* Q,
                                                                       CXYZW* R) {
  // Creation numbers run out after 2^32 triangles; those of the live ones
  // are then made dense again.
  if (next_stamp_ == ~std::uint32_t(0)) renumber_triangles();
  CD3DTriangle* t = arena_->take_block();
  t->v[0] = P;
  t->v[1] = Q;
  t->v[2] = R;
  t->cache_point = 0;
  t->state = 0;
  t->minor_slot = -1;
  t->stamp = next_stamp_++;
  order_valid_ = false;
  return t;
}

// Makes c the cell whose faces f[0..3] (in slots s[0..3]) face into it:
// each triangle notes c on that side, with the face it is and the record
// of the orientation c holds. That determines the rings of all records
// facing into c (CD3DEdge::fnext). Callers that know a slot pass it as a
// constant.
__attribute__((always_inline)) inline void CD3DW::set_cell(CD3DCell* c, CD3DEdge* const* f,
                                                          const int* s) {
  auto face = [c, f, s](int i) {
    c->face[i] = f[i];
    reinterpret_cast<CD3DTriangle*>(f[i] - s[i])->side[s[i] >= 3] =
        reinterpret_cast<std::uintptr_t>(c) | std::uintptr_t(4 * i + d3dw_detail::kPlace[s[i]]);
  };
  face(0), face(1), face(2), face(3);
}

__attribute__((always_inline)) inline CD3DCell* CD3DW::take_cell() {
  bool fresh;
  CD3DCell* c = arena_->cells.take(&fresh);
  if (fresh) cells.push_back(c);
  return c;
}

inline void CD3DW::free_cell(CD3DCell* c) { arena_->cells.give(c); }

__attribute__((always_inline)) inline void CD3DW::kill_triangle(CD3DEdge* e) {
  CD3DTriangle* t = e->triangle();
  t->state |= CD3DTriangle::kDead;
  dying_blocks_.push_back(t);
  order_valid_ = false;
}

#endif
