// A column of fixed-width values that either owns its storage (while being built, and for
// what callers build at run time) or views storage kept elsewhere (the State's image, which
// stays in the library's read-only pages). Reads go through one pointer either way, so the
// search paths cost the same over both.
#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <span>
#include <utility>
#include <vector>

namespace Gantrix {

template <class T>
class Column {
 public:
  using value_type = T;

  Column() = default;
  Column(std::vector<T> values) : own_(std::move(values)) { sync(); }  // NOLINT
  Column(size_t n, const T& value) : own_(n, value) { sync(); }
  Column(std::initializer_list<T> values) : own_(values) { sync(); }
  Column(const Column& other) : own_(other.own_) { adopt(other); }
  Column(Column&& other) noexcept : own_(std::move(other.own_)) {
    adopt(other);
    other.own_.clear();
    other.sync();
  }
  Column& operator=(const Column& other) {
    if (this != &other) {
      own_ = other.own_;
      adopt(other);
    }
    return *this;
  }
  Column& operator=(Column&& other) noexcept {
    if (this != &other) {
      own_ = std::move(other.own_);
      adopt(other);
      other.own_.clear();
      other.sync();
    }
    return *this;
  }

  // Points the column at values kept elsewhere, which must outlive it; drops what it owned.
  static Column view(std::span<const T> values) {
    Column c;
    c.p_ = values.data();
    c.n_ = values.size();
    return c;
  }

  // Reading, over either kind of storage.
  [[nodiscard]] const T& operator[](size_t i) const { return p_[i]; }
  [[nodiscard]] const T* data() const { return p_; }
  [[nodiscard]] size_t size() const { return n_; }
  [[nodiscard]] bool empty() const { return n_ == 0; }
  [[nodiscard]] const T* begin() const { return p_; }
  [[nodiscard]] const T* end() const { return p_ + n_; }
  [[nodiscard]] const T& back() const { return p_[n_ - 1]; }
  [[nodiscard]] std::span<const T> span() const { return {p_, n_}; }
  operator std::span<const T>() const { return span(); }  // NOLINT

  // Building, on owned storage only.
  T& operator[](size_t i) { return own_[i]; }
  T* data() { return own_.data(); }
  T* begin() { return own_.data(); }
  T* end() { return own_.data() + own_.size(); }
  T& back() { return own_.back(); }
  void push_back(const T& v) {
    own_.push_back(v);
    sync();
  }
  template <class... A>
  T& emplace_back(A&&... args) {
    T& v = own_.emplace_back(std::forward<A>(args)...);
    sync();
    return v;
  }
  void resize(size_t n) {
    own_.resize(n);
    sync();
  }
  void resize(size_t n, const T& v) {
    own_.resize(n, v);
    sync();
  }
  void assign(size_t n, const T& v) {
    own_.assign(n, v);
    sync();
  }
  void reserve(size_t n) {
    own_.reserve(n);
    sync();
  }
  void clear() {
    own_.clear();
    sync();
  }

  friend bool operator==(const Column& a, const Column& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
  }
  friend bool operator==(const Column& a, const std::vector<T>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < b.size(); ++i) {
      if (!(a[i] == b[i])) return false;
    }
    return true;
  }

  // Bytes this column holds itself (nothing for a view).
  [[nodiscard]] size_t bytes() const { return own_.capacity() * sizeof(T); }

 private:
  void sync() {
    p_ = own_.data();
    n_ = own_.size();
  }
  // Takes other's storage kind: its view, or (own_ already copied or moved) our own values.
  void adopt(const Column& other) {
    if (other.p_ != nullptr && other.own_.empty() && other.n_ > 0) {
      p_ = other.p_;
      n_ = other.n_;
    } else {
      sync();
    }
  }

  std::vector<T> own_;
  const T* p_ = nullptr;
  size_t n_ = 0;
};

}  // namespace Gantrix
