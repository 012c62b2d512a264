// A vector of trivially copyable values that keeps its first N in place and moves to the heap
// only beyond them: a search result of a few hits then costs no allocation.
#pragma once

#include <algorithm>
#include <cstddef>
#include <type_traits>
#include <vector>

namespace Gantrix {

template <class T, size_t N>
class SmallVector {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  using value_type = T;

  SmallVector() = default;
  SmallVector(std::initializer_list<T> values) {
    reserve(values.size());
    for (const T& v : values) push_back(v);
  }

  void reserve(size_t n) {
    if (n <= N) return;
    heap_.reserve(n);
    if (heap_.empty()) heap_.assign(inline_, inline_ + size_);
  }
  void push_back(T v) {
    if (size_ < N && heap_.empty()) {
      inline_[size_++] = v;
      return;
    }
    if (heap_.empty()) heap_.assign(inline_, inline_ + size_);
    heap_.push_back(v);
    ++size_;
  }
  void clear() {
    heap_.clear();
    size_ = 0;
  }

  [[nodiscard]] size_t size() const { return size_; }
  [[nodiscard]] bool empty() const { return size_ == 0; }
  [[nodiscard]] const T* data() const { return heap_.empty() ? inline_ : heap_.data(); }
  [[nodiscard]] T* data() { return heap_.empty() ? inline_ : heap_.data(); }
  const T& operator[](size_t j) const { return data()[j]; }
  T& operator[](size_t j) { return data()[j]; }
  [[nodiscard]] const T* begin() const { return data(); }
  [[nodiscard]] const T* end() const { return data() + size_; }

  friend bool operator==(const SmallVector& a, const SmallVector& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
  }
  friend bool operator==(const SmallVector& a, const std::vector<T>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
  }

 private:
  T inline_[N]{};
  size_t size_ = 0;
  std::vector<T> heap_;  // all values once there are more than N
};

}  // namespace Gantrix
