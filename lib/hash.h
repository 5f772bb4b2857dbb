// StringHash: a string-keyed open-addressing hash table with quadratic
// probing and prime sizes.  Keys are NUL-terminated texts stored in a fixed
// 100-character field of their slot, so a lookup costs one hash and a few
// strcmp calls and inserting a key allocates nothing.
#ifndef LIB_HASH_H
#define LIB_HASH_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

enum EntryType { ACTIVE = 0, EMPTY = 1 };

template <class T>
struct HashEntry {
  char key[100];
  T value;
  int status;

  HashEntry() : value(), status(EMPTY) { key[0] = '\0'; }
};

template <class T>
class StringHash {
 public:
  enum { KEY_CAPACITY = 100 };  // bytes of the key field, terminator included

  unsigned int count;  // active entries
  unsigned int size;   // slots; an odd prime
  std::vector<HashEntry<T>> table;

  StringHash() : count(0), size(0) { initialize(101); }
  explicit StringHash(unsigned n) : count(0), size(0) { initialize(n); }

  // Fresh array of the smallest odd prime >= n slots, all empty.
  void initialize(unsigned n) {
    size = next_prime(n);
    table.assign(size, HashEntry<T>());
    count = 0;
  }

  // Empties the table but keeps its size.
  void clear() {
    for (unsigned i = 0; i < size; ++i) {
      table[i].status = EMPTY;
      table[i].value = T();
      table[i].key[0] = '\0';
    }
    count = 0;
  }

  void insert(const char* key, T value) {
    char k[KEY_CAPACITY];
    clip_key(key, k, true);
    unsigned pos = findPos(k);
    bool is_new = !isActive(pos);
    std::memcpy(table[pos].key, k, std::strlen(k) + 1);
    table[pos].value = value;
    table[pos].status = ACTIVE;
    if (is_new) {
      ++count;
      if (count > size / 2) rehash();
    }
  }

  // The key's value; an absent key is added with value 0.  The reference is
  // valid until the next call that may rehash.
  T& operator[](const char* key) {
    char k[KEY_CAPACITY];
    clip_key(key, k, false);
    unsigned pos = findPos(k);
    if (isActive(pos)) return table[pos].value;
    if (count + 1 > size / 2) {
      rehash();
      pos = findPos(k);
    }
    if (std::strlen(key) + 1 > KEY_CAPACITY) report_long_key(key);
    std::memcpy(table[pos].key, k, std::strlen(k) + 1);
    table[pos].status = ACTIVE;
    ++count;  // counted after the rehash so that the fill never drifts low
    return table[pos].value;
  }

  bool contains(const char* key) const {
    char k[KEY_CAPACITY];
    clip_key(key, k, false);
    return isActive(findPos(k));
  }

  // Value of a key that must be present; an absent key is a caller bug and
  // stops the program rather than returning a made-up value.
  T find(const char* key) const {
    char k[KEY_CAPACITY];
    clip_key(key, k, false);
    unsigned currentPos = findPos(k);
    if (!isActive(currentPos)) {
      std::fprintf(stderr, "StringHash::find: assertion isActive(currentPos) failed for key %s\n",
                   k);
      std::abort();
    }
    return table[currentPos].value;
  }

  // Grows to the smallest odd prime >= 2*size+1 and re-inserts the active
  // entries in slot order.
  void rehash() {
    std::vector<HashEntry<T>> old;
    old.swap(table);
    initialize(2 * size + 1);
    for (size_t i = 0; i < old.size(); ++i)
      if (old[i].status == ACTIVE) insert(old[i].key, old[i].value);
  }

  static unsigned next_prime(unsigned n) {
    if (n % 2 == 0) ++n;
    while (!is_prime(n)) n += 2;
    return n;
  }

 private:
  static bool is_prime(unsigned n) {
    if (n == 1) return false;
    if (n == 3 || n == 5 || n == 7) return true;
    for (unsigned long long d = 3; d * d <= n; d += 2)
      if (n % d == 0) return false;
    return true;
  }

  // 32-bit multiplicative hash of signed chars, with wrap-around done in
  // unsigned arithmetic; the remainder follows the signed value.
  unsigned hash(const char* key) const {
    uint32_t h = 0;
    for (const char* p = key; *p; ++p)
      h = h * 37u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
    long long r = static_cast<long long>(static_cast<int32_t>(h)) % static_cast<long long>(size);
    if (r < 0) r += size;
    return static_cast<unsigned>(r);
  }

  unsigned findPos(const char* key) const {
    unsigned pos = hash(key);
    unsigned i = 1;
    while (table[pos].status != EMPTY && std::strcmp(table[pos].key, key) != 0) {
      pos += 2 * i - 1;
      ++i;
      while (pos >= size) pos -= size;
    }
    return pos;
  }

  bool isActive(unsigned pos) const { return table[pos].status == ACTIVE; }

  static void report_long_key(const char* key) {
    std::fprintf(stderr, "%sis too long, please chose a string less than 1021 charaters\n", key);
  }

  // Keys longer than the field are cut to its 99 characters for every
  // operation, so a long key and its prefix name the same entry.
  static void clip_key(const char* key, char* out, bool report) {
    size_t n = std::strlen(key);
    if (n + 1 > KEY_CAPACITY) {
      if (report) report_long_key(key);
      n = KEY_CAPACITY - 1;
    }
    std::memcpy(out, key, n);
    out[n] = '\0';
  }
};

#endif
