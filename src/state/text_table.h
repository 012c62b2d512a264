// Many short texts of one kind, one per entry, end to end in a single block: one block to
// build and to keep, and a slice to read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/column.h"

namespace Gantrix {

struct TextTable {
  Column<char> text;
  Column<uint64_t> at;  // where each entry's text begins, then where the last one ends

  // Writes n entries: write(text, i) appends entry i. `guess` is a typical entry's length.
  template <class Write>
  void build(size_t n, size_t guess, Write&& write) {
    std::string all;
    std::vector<uint64_t> starts;
    all.reserve(n * guess);
    starts.reserve(n + 1);
    for (size_t i = 0; i < n; ++i) {
      starts.push_back(all.size());
      write(all, i);
    }
    starts.push_back(all.size());
    text = std::vector<char>(all.begin(), all.end());
    at = std::move(starts);
  }
  // The table of the given texts, in order.
  static TextTable of(const std::vector<std::string>& texts) {
    TextTable t;
    t.build(texts.size(), 8, [&texts](std::string& out, size_t i) { out.append(texts[i]); });
    return t;
  }

  [[nodiscard]] std::string_view operator[](size_t i) const {
    return {text.data() + at[i], static_cast<size_t>(at[i + 1] - at[i])};
  }
  [[nodiscard]] size_t size() const { return at.empty() ? 0 : at.size() - 1; }

  // In a table whose entries are sorted: the position of the entry equal to key, or -1.
  [[nodiscard]] int64_t find_sorted(std::string_view key) const {
    size_t lo = 0, hi = size();
    while (lo < hi) {
      const size_t mid = lo + (hi - lo) / 2;
      if ((*this)[mid] < key) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    return lo < size() && (*this)[lo] == key ? static_cast<int64_t>(lo) : -1;
  }
  [[nodiscard]] size_t bytes() const { return text.bytes() + at.bytes(); }

  friend bool operator==(const TextTable& t, const std::vector<std::string>& texts) {
    if (t.size() != texts.size()) return false;
    for (size_t i = 0; i < texts.size(); ++i) {
      if (t[i] != texts[i]) return false;
    }
    return true;
  }

  template <class V>
  void visit(V& v) {
    v(text);
    v(at);
  }
};

}  // namespace Gantrix
