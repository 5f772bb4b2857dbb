// Dense matrices for the pocket aligner.
//
// A matrix is a handle on a reference-counted storage block; copies share the
// block and a write through an element proxy (Mref) first makes the handle's
// block private.  Freed blocks are kept in a small per-type pool and handed
// out again to requests of exactly the same shape, with their old values.
#ifndef VELDRIX_ORBMAT_H
#define VELDRIX_ORBMAT_H

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <type_traits>
#include <valarray>

namespace orbmat {

typedef std::uint64_t uint64;

// Request kinds of matrix<T>::allocator.
enum AllocType { Allocate = 0, Free = 1, Reference = 2 };

template <class T>
class matrix;
template <class T>
class Mref;
template <class T>
class Mat_iter;
template <class T>
class mslice_matrix;

// The smaller / larger of two values; the first one wins a tie.
inline uint64 min(uint64 a, uint64 b) { return b < a ? b : a; }
inline uint64 max(uint64 a, uint64 b) { return b > a ? b : a; }
inline double min(double a, double b) { return b < a ? b : a; }
inline double max(double a, double b) { return b > a ? b : a; }

// sqrt(a^2 + b^2) without overflow.
double hypot(double a, double b);
// |a| carrying the sign of b (b >= 0 counts as positive).
double sign(double a, double b);
// Tolerance for "x is zero": x * 10000 machine epsilons above 1, else
// 10000 machine epsilons.  x is negligible when epsilon(x) > |x|.
double epsilon(const double& x);

// Sub-block descriptor: row start, column start, row count, column count.
class mslice {
 public:
  mslice(uint64 row_start, uint64 col_start, uint64 rows, uint64 cols)
      : rs(row_start), cs(col_start), nr(rows), nc(cols) {}
  uint64 start(uint64 columns) const { return rs * columns + cs; }
  uint64 row_start() const { return rs; }
  uint64 col_start() const { return cs; }
  uint64 rowno() const { return nr; }
  uint64 colno() const { return nc; }

 private:
  uint64 rs, cs, nr, nc;
};

template <class T>
class matrix {
 public:
  // Storage block shared by handles; values are row-major and may be
  // longer than rows * columns when made from a longer vector.
  struct base_mat {
    std::valarray<T> val;
    uint64 row;
    uint64 col;
    int refcnt;

    base_mat(uint64 r, uint64 c)
        : val(T(), static_cast<std::size_t>(r * c)), row(r), col(c), refcnt(1) {}
    base_mat(const T& v, uint64 r, uint64 c)
        : val(v, static_cast<std::size_t>(r * c)), row(r), col(c), refcnt(1) {}
    base_mat(uint64 r, uint64 c, const std::valarray<double>& src)
        : val(src.size()), row(r), col(c), refcnt(1) {
      for (std::size_t k = 0; k < src.size(); ++k) val[k] = static_cast<T>(src[k]);
    }
  };

  matrix(uint64 rows, uint64 cols) : mat(allocator(Allocate, rows, cols)) {}
  matrix(uint64 rows, uint64 cols, const T& v) : mat(new base_mat(v, rows, cols)) {
    allocator(Reference);
  }
  matrix(uint64 rows, uint64 cols, const std::valarray<double>& values)
      : mat(new base_mat(rows, cols, values)) {
    allocator(Reference);
  }
  // Element-wise conversion from a matrix of another element type.
  template <class U>
  matrix(const matrix<U>& other) : mat(allocator(Allocate, other.rowno(), other.colno())) {
    const U* src = other.cdata();
    T* dst = wdata();
    const uint64 n = other.rowno() * other.colno();
    for (uint64 k = 0; k < n; ++k) dst[k] = static_cast<T>(src[k]);
  }
  matrix(const matrix& other) : mat(other.mat) { ++mat->refcnt; }
  matrix& operator=(const matrix& other) {
    ++other.mat->refcnt;  // first, so that self-assignment is safe
    release();
    mat = other.mat;
    return *this;
  }
  matrix& operator=(const mslice_matrix<T>& sub) {
    const mslice& s = sub.get_slice();
    const matrix<T>& src = *sub.get_ref_mat();
    base_mat* b = allocator(Allocate, s.rowno(), s.colno());
    for (uint64 i = 0; i < s.rowno(); ++i)
      for (uint64 j = 0; j < s.colno(); ++j)
        b->val[i * s.colno() + j] = src(s.row_start() + i, s.col_start() + j);
    release();
    mat = b;
    return *this;
  }
  ~matrix() { release(); }

  // Makes this handle's block private.
  void clone() {
    if (mat->refcnt == 1) return;
    base_mat* b = allocator(Allocate, mat->row, mat->col);
    const uint64 n = mat->row * mat->col;
    for (uint64 k = 0; k < n; ++k) b->val[k] = mat->val[k];
    --mat->refcnt;
    mat = b;
  }
  bool shared() const { return mat->refcnt > 1; }

  uint64 rowno() const { return mat->row; }
  uint64 colno() const { return mat->col; }

  const T& operator()(uint64 i, uint64 j) const { return mat->val[i * mat->col + j]; }
  Mref<T> operator()(uint64 i, uint64 j) { return Mref<T>(*this, i * mat->col + j); }

  Mat_iter<T> row(uint64 i) { return Mat_iter<T>(*this, std::slice(i * mat->col, mat->col, 1)); }
  Mat_iter<T> operator[](int i) { return row(static_cast<uint64>(i)); }
  Mat_iter<T> column(uint64 j) { return Mat_iter<T>(*this, std::slice(j, mat->row, mat->col)); }
  Mat_iter<T> diag(long long k) {
    const uint64 stride = mat->col + 1;
    if (k >= 0) {
      const uint64 uk = static_cast<uint64>(k);
      return Mat_iter<T>(*this, std::slice(uk, orbmat::min(mat->col - uk, mat->row), stride));
    }
    const uint64 uk = static_cast<uint64>(-k);
    return Mat_iter<T>(*this,
                       std::slice(uk * mat->col, orbmat::min(mat->row - uk, mat->col), stride));
  }

  mslice_matrix<T> operator[](const mslice& s) { return mslice_matrix<T>(*this, s); }

  // Transpose.
  matrix operator~() const {
    const uint64 r = mat->row, c = mat->col;
    matrix t(c, r);
    T* dst = t.wdata();
    const T* src = cdata();
    for (uint64 i = 0; i < r; ++i)
      for (uint64 j = 0; j < c; ++j) dst[j * r + i] = src[i * c + j];
    return t;
  }

  // this = this * other; the shapes are the caller's business.
  matrix& operator*=(const matrix& other) {
    const uint64 r = mat->row, n = mat->col, c = other.mat->col;
    matrix res(r, c);
    T* dst = res.wdata();
    const T* a = cdata();
    const T* b = other.cdata();
    for (uint64 i = 0; i < r; ++i)
      for (uint64 j = 0; j < c; ++j) {
        T& e = dst[i * c + j];
        e = 0;
        for (uint64 k = 0; k < n; ++k) e += b[k * c + j] * a[i * n + k];
      }
    *this = res;
    return *this;
  }

  // Same shape: nothing happens.  Otherwise a new block keeps the values
  // where the shapes overlap and takes fill elsewhere.
  void resize(uint64 rows, uint64 cols, const T& fill) {
    if (rows == mat->row && cols == mat->col) return;
    base_mat* b = allocator(Allocate, rows, cols);
    for (uint64 i = 0; i < rows; ++i)
      for (uint64 j = 0; j < cols; ++j)
        b->val[i * cols + j] = (i < mat->row && j < mat->col) ? mat->val[i * mat->col + j] : fill;
    release();
    mat = b;
  }

  T sum() const {
    const uint64 n = mat->row * mat->col;
    if constexpr (std::is_integral_v<T>) {
      // Integers add up the same in any order: four running sums.
      T s[4] = {0, 0, 0, 0};
      uint64 k = 0;
      for (; k + 4 <= n; k += 4)
        for (int q = 0; q < 4; ++q) s[q] += mat->val[k + q];
      for (; k < n; ++k) s[0] += mat->val[k];
      return (s[0] + s[1]) + (s[2] + s[3]);
    } else {
      T s = 0;
      for (uint64 k = 0; k < n; ++k) s += mat->val[k];
      return s;
    }
  }

  // Singular value decomposition in place (defined for double only):
  // this becomes U, V the right singular vectors, w the singular values.
  bool svd(matrix& V, std::valarray<double>& w);

  // Raw storage for tight loops: read-only, or writable after the block
  // has been made private; null for an empty matrix.
  const T* cdata() const { return mat->val.size() ? &mat->val[0] : nullptr; }
  T* wdata() {
    clone();
    return mat->val.size() ? &mat->val[0] : nullptr;
  }

  // The per-type block pool: kind 0 hands out a block, kind 1 frees this
  // handle's block, kind 2 only counts a block built by the caller.
  // Kept out of line: inlined into neighbouring destructors it makes the
  // compiler suspect a use of a freed block where there is none.
  [[gnu::noinline]] base_mat* allocator(AllocType kind, uint64 rows = 0, uint64 cols = 0) {
    if (first) {
      for (int k = 0; k < 4; ++k) mlist[k] = nullptr;
      first = false;
    }
    switch (kind) {
      case Allocate:
        ++instCount;
        if (semCount == 0) {
          ++semCount;
          for (int k = 0; k < 4; ++k) {
            base_mat* b = mlist[k];
            if (b && b->row == rows && b->col == cols) {
              mlist[k] = nullptr;
              b->refcnt = 1;
              --semCount;
              return b;
            }
          }
          --semCount;
        }
        return new base_mat(rows, cols);
      case Free: {
        --instCount;
        base_mat* b = mat;
        mat = nullptr;
        if (semCount != 0) {
          delete b;
          return nullptr;
        }
        ++semCount;
        if (instCount > 0) {
          // Push into slot 0; occupants move on until a hole takes one.
          base_mat* carry = b;
          for (int k = 0; k < 4 && carry; ++k) {
            base_mat* t = mlist[k];
            mlist[k] = carry;
            carry = t;
          }
          delete carry;
        } else {
          for (int k = 0; k < 4; ++k) {
            delete mlist[k];
            mlist[k] = nullptr;
          }
          delete b;
        }
        --semCount;
        return nullptr;
      }
      case Reference:
        ++instCount;
        return nullptr;
    }
    return nullptr;
  }

 private:
  friend class Mref<T>;

  void release() {
    if (mat && --mat->refcnt == 0) allocator(Free);
  }

  base_mat* mat;

  static inline bool first = true;
  static inline base_mat* mlist[4] = {nullptr, nullptr, nullptr, nullptr};
  static inline int instCount = 0;
  static inline int semCount = 0;
};

template <>
bool matrix<double>::svd(matrix<double>& V, std::valarray<double>& w);

template <class T>
matrix<T> operator*(const matrix<T>& a, const matrix<T>& b) {
  matrix<T> r(a);
  r *= b;
  return r;
}

// Element proxy: reads go straight to the block, writes make it private.
template <class T>
class Mref {
 public:
  Mref(matrix<T>& m, uint64 index) : m_(&m), idx_(index) {}
  Mref(const Mref&) = default;

  operator T() const { return m_->mat->val[idx_]; }

  Mref& operator=(const T& v) {
    slot() = v;
    return *this;
  }
  template <class U>
  Mref& operator=(const U& v) {
    slot() = static_cast<T>(v);
    return *this;
  }
  Mref& operator=(const Mref& other) {
    const T v = other;
    slot() = v;
    return *this;
  }
  Mref& operator+=(const T& v) {
    T& e = slot();
    e = e + v;
    return *this;
  }
  template <class U>
  Mref& operator+=(const U& v) {
    T& e = slot();
    e = e + static_cast<T>(v);
    return *this;
  }
  Mref& operator-=(const T& v) {
    T& e = slot();
    e = e - v;
    return *this;
  }
  Mref& operator*=(const T& v) {
    T& e = slot();
    e = v * e;
    return *this;
  }
  T* operator&() { return &slot(); }
  T operator-(const Mref& other) const { return T(*this) - T(other); }

 private:
  T& slot() {
    if (m_->shared()) m_->clone();
    return m_->mat->val[idx_];
  }

  matrix<T>* m_;
  uint64 idx_;
};

template <class T>
std::ostream& operator<<(std::ostream& os, const Mref<T>& r) {
  return os << static_cast<T>(r);
}

// Strided view over a matrix's elements (a row, a column or a diagonal).
template <class T>
class Mat_iter {
 public:
  Mat_iter(matrix<T>& m, const std::slice& s) : m_(&m), s_(s) {}
  Mref<T> operator[](std::size_t k) const { return Mref<T>(*m_, s_.start() + k * s_.stride()); }
  std::size_t size() const { return s_.size(); }
  operator std::valarray<T>() const {
    std::valarray<T> v(s_.size());
    const T* d = m_->cdata();
    for (std::size_t k = 0; k < s_.size(); ++k) v[k] = d[s_.start() + k * s_.stride()];
    return v;
  }

 private:
  matrix<T>* m_;
  std::slice s_;
};

// A sub-block of a matrix, for copying it out by assignment.
template <class T>
class mslice_matrix {
 public:
  mslice_matrix(matrix<T>& m, const mslice& s) : s_(s), m_(&m) {}
  const mslice& get_slice() const { return s_; }
  matrix<T>* get_ref_mat() const { return m_; }

 private:
  mslice s_;
  matrix<T>* m_;
};

}  // namespace orbmat

#endif
