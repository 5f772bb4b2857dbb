// Objects made in chunks of kPer instead of one allocation each.
#ifndef GEOMETRY_CHUNK_STORE_H
#define GEOMETRY_CHUNK_STORE_H

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

// Owns what it makes: everything is destroyed with the store, nothing before.
template <class T, std::size_t kPer>
class ChunkStore {
 public:
  ChunkStore() = default;
  ChunkStore(const ChunkStore&) = delete;
  ChunkStore& operator=(const ChunkStore&) = delete;
  ~ChunkStore() {
    for (std::size_t c = 0; c < chunks_.size(); ++c) {
      T* items = static_cast<T*>(chunks_[c]);
      const std::size_t n = c + 1 < chunks_.size() ? kPer : used_;
      for (std::size_t k = 0; k < n; ++k) items[k].~T();
      ::operator delete(chunks_[c]);
    }
  }
  template <class... A>
  T* make(A&&... args) {
    if (used_ == kPer) {
      chunks_.push_back(::operator new(kPer * sizeof(T)));
      used_ = 0;
    }
    return new (static_cast<T*>(chunks_.back()) + used_++) T(std::forward<A>(args)...);
  }

 private:
  std::vector<void*> chunks_;
  std::size_t used_ = kPer;  // objects made in the last chunk
};

#endif
