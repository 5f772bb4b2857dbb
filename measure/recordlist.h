// The incidence lists of the complex records: lists of record pointers with
// the members of std::vector that their users need, made so that a complex
// of a million simplices does not cost a million small heap blocks.
//
// A list keeps up to N entries in itself.  Beyond that it holds them in a
// heap block of its own, or in room taken from a ListPool: the builders know
// how long each list gets and hand all lists of a kind one shared block,
// which the pool releases with the records.  Copies always own their
// entries (in themselves or on the heap), so a copied record does not
// depend on the pool.
#ifndef MEASURE_RECORDLIST_H
#define MEASURE_RECORDLIST_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <type_traits>
#include <vector>

// Room for the entries of many lists, released with the pool.
template <class T>
class ListPool {
 public:
  // Makes sure that the next takes of `total` entries in all come from one
  // block.
  void prepare(std::size_t total) {
    if (total > left_) {
      blocks_.emplace_back(new T[total]);
      next_ = blocks_.back().get();
      left_ = total;
    }
  }
  // Room for n entries, valid as long as the pool.
  T* take(std::size_t n) {
    prepare(n);
    T* out = next_;
    next_ += n;
    left_ -= n;
    return out;
  }

 private:
  std::vector<std::unique_ptr<T[]>> blocks_;
  T* next_ = nullptr;
  std::size_t left_ = 0;
};

template <class T, unsigned N>
class RecordList {
  static_assert(std::is_pointer<T>::value, "a list of record pointers");

 public:
  typedef T value_type;
  typedef T& reference;
  typedef const T& const_reference;
  typedef T* iterator;
  typedef const T* const_iterator;
  typedef std::size_t size_type;

  RecordList() noexcept {}
  RecordList(std::initializer_list<T> entries) { append(entries.begin(), entries.size()); }
  RecordList(const RecordList& other) { append(other.begin(), other.size()); }
  // A heap block changes hands; entries held in the list or in a pool are
  // copied.
  RecordList(RecordList&& other) { take_over(other); }
  RecordList& operator=(const RecordList& other) {
    if (this != &other) {
      size_ = 0;
      append(other.begin(), other.size());
    }
    return *this;
  }
  RecordList& operator=(RecordList&& other) {
    if (this != &other) {
      release();
      take_over(other);
    }
    return *this;
  }
  RecordList& operator=(std::initializer_list<T> entries) {
    size_ = 0;
    append(entries.begin(), entries.size());
    return *this;
  }
  ~RecordList() { release(); }

  size_type size() const { return size_; }
  bool empty() const { return size_ == 0; }
  size_type capacity() const { return mode() == kInline ? N : cap_ & kCapacity; }

  T* data() { return mode() == kInline ? in_.slots : in_.block; }
  const T* data() const { return mode() == kInline ? in_.slots : in_.block; }
  iterator begin() { return data(); }
  iterator end() { return data() + size_; }
  const_iterator begin() const { return data(); }
  const_iterator end() const { return data() + size_; }
  T& operator[](size_type k) { return data()[k]; }
  const T& operator[](size_type k) const { return data()[k]; }
  T& front() { return data()[0]; }
  const T& front() const { return data()[0]; }
  T& back() { return data()[size_ - 1]; }
  const T& back() const { return data()[size_ - 1]; }

  void push_back(T x) {
    if (size_ == capacity()) move_to(heap_block(std::max<size_type>(2 * size_, N + 1)), kHeap);
    data()[size_++] = x;
  }
  void pop_back() { --size_; }
  void clear() { size_ = 0; }
  void reserve(size_type n) {
    if (n > capacity()) move_to(heap_block(n), kHeap);
  }
  // Room for n entries, from the pool when the list itself has too little.
  void reserve(size_type n, ListPool<T>& pool) {
    if (n > capacity()) move_to(Block{pool.take(n), n}, kLent);
  }
  // Shrinks, or grows with null entries.
  void resize(size_type n) {
    reserve(n);
    if (n > size_) std::fill(data() + size_, data() + n, nullptr);
    size_ = static_cast<std::uint32_t>(n);
  }

  friend bool operator==(const RecordList& a, const RecordList& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
  }
  friend bool operator!=(const RecordList& a, const RecordList& b) { return !(a == b); }

 private:
  // Where the entries are: in the list, in its own heap block, or in a
  // pool's.
  enum : std::uint32_t { kInline = 0, kHeap = 1u << 31, kLent = 1u << 30 };
  static const std::uint32_t kCapacity = kLent - 1;
  struct Block {
    T* at;
    size_type capacity;
  };

  std::uint32_t mode() const { return cap_ & (kHeap | kLent); }
  static Block heap_block(size_type n) { return Block{new T[n], n}; }

  void move_to(Block b, std::uint32_t mode) {
    std::copy(begin(), end(), b.at);
    release();
    in_.block = b.at;
    cap_ = static_cast<std::uint32_t>(b.capacity) | mode;
  }
  void release() {
    if (mode() == kHeap) delete[] in_.block;
    cap_ = kInline;
  }
  void append(const T* from, size_type n) {
    if (size_ + n > capacity()) move_to(heap_block(size_ + n), kHeap);
    std::copy(from, from + n, data() + size_);
    size_ += static_cast<std::uint32_t>(n);
  }
  void take_over(RecordList& other) {
    if (other.mode() == kHeap) {
      in_.block = other.in_.block;
      cap_ = other.cap_;
      size_ = other.size_;
      other.cap_ = kInline;
      other.size_ = 0;
    } else {
      size_ = 0;
      append(other.begin(), other.size());
    }
  }

  union Storage {
    T slots[N > 0 ? N : 1];
    T* block;
  } in_;
  std::uint32_t size_ = 0;
  std::uint32_t cap_ = kInline;
};

#endif
