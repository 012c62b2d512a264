// Binary min-heap on a double key with an integer item, in two parallel arrays. Storage is
// kept between searches (clear() keeps capacity), so a warm search allocates nothing.
#pragma once

#include <cstdint>
#include <vector>

namespace Gantrix {

class MinHeap {
 public:
  void push(double key, int64_t item) {
    d.push_back(key);
    r.push_back(item);
    size_t p = d.size() - 1;
    while (p > 0) {
      const size_t parent = (p - 1) / 2;
      if (!(d[parent] > key)) break;  // an equal parent stays above
      d[p] = d[parent];
      r[p] = r[parent];
      p = parent;
    }
    d[p] = key;
    r[p] = item;
  }

  void pop() {
    const double key = d.back();
    const int64_t item = r.back();
    d.pop_back();
    r.pop_back();
    const size_t n = d.size();
    if (n == 0) return;
    size_t p = 0;
    while (true) {
      size_t c = 2 * p + 1;
      if (c >= n) break;
      if (c + 1 < n && d[c + 1] < d[c]) ++c;
      if (d[c] >= key) break;
      d[p] = d[c];
      r[p] = r[c];
      p = c;
    }
    d[p] = key;
    r[p] = item;
  }

  [[nodiscard]] double top_d() const { return d[0]; }
  [[nodiscard]] int64_t top_r() const { return r[0]; }
  [[nodiscard]] bool empty() const { return d.empty(); }
  void clear() {
    d.clear();
    r.clear();
  }

  std::vector<double> d;
  std::vector<int64_t> r;
};

}  // namespace Gantrix
