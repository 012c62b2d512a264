// Binary min-heap of (key, item) pairs, root at 0, children of p at 2p+1 and 2p+2. An equal
// parent stays above a new entry. Storage is kept between searches (clear() keeps capacity),
// so a warm search allocates nothing; key and item sit side by side for locality.
#pragma once

#include <cstdint>
#include <vector>

namespace Gantrix {

class MinHeap {
 public:
  void push(double key, int64_t item) {
    size_t p = e_.size();
    e_.emplace_back();
    while (p > 0) {
      const size_t parent = (p - 1) / 2;
      if (!(e_[parent].key > key)) break;
      e_[p] = e_[parent];
      p = parent;
    }
    e_[p] = {key, item};
  }

  void pop() {
    const Entry last = e_.back();
    e_.pop_back();
    const size_t n = e_.size();
    if (n == 0) return;
    size_t p = 0;
    while (true) {
      size_t c = 2 * p + 1;
      if (c >= n) break;
      if (c + 1 < n && e_[c + 1].key < e_[c].key) ++c;
      if (e_[c].key >= last.key) break;
      e_[p] = e_[c];
      p = c;
    }
    e_[p] = last;
  }

  [[nodiscard]] double top_d() const { return e_[0].key; }
  [[nodiscard]] int64_t top_r() const { return e_[0].item; }
  [[nodiscard]] bool empty() const { return e_.empty(); }
  [[nodiscard]] size_t size() const { return e_.size(); }
  void clear() { e_.clear(); }

 private:
  struct Entry {
    double key;
    int64_t item;
  };
  std::vector<Entry> e_;
};

}  // namespace Gantrix
