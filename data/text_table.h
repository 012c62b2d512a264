// Many short texts of one kind, one per entry, end to end in a single string: one block to
// build and to keep, and a slice to read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace Gantrix {

struct TextTable {
  std::string text;
  std::vector<size_t> at;  // where each entry's text begins, then where the last one ends

  // Writes n entries: write(text, i) appends entry i. `guess` is a typical entry's length.
  template <class Write>
  void build(size_t n, size_t guess, Write&& write) {
    text.clear();
    at.clear();
    text.reserve(n * guess);
    at.reserve(n + 1);
    for (size_t i = 0; i < n; ++i) {
      at.push_back(text.size());
      write(text, i);
    }
    at.push_back(text.size());
  }

  [[nodiscard]] std::string_view operator[](size_t i) const {
    return std::string_view(text).substr(at[i], at[i + 1] - at[i]);
  }
  [[nodiscard]] size_t bytes() const { return text.capacity() + at.capacity() * sizeof(size_t); }
};

}  // namespace Gantrix
