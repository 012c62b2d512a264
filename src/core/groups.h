// A stable grouping of item ids by key, the layout of every per-country list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"

namespace Gantrix {

// A stable grouping of item ids by key: groups in order of their key's first appearance,
// ids within a group in input order.
struct Groups {
  template <class Keys>
  Groups(const Keys& item_keys, const std::vector<int32_t>& ids);
  [[nodiscard]] std::vector<int32_t> members(size_t g) const;

  std::vector<std::string> keys;
  std::vector<int64_t> start;
  std::vector<int32_t> items;

 private:
  void sort(const std::vector<int64_t>& group, const std::vector<int32_t>& ids);
};

template <class Keys>
Groups::Groups(const Keys& item_keys, const std::vector<int32_t>& ids) {
  // Group numbers by first appearance, then the ids sorted by group.
  TextMap<int64_t> number;
  std::vector<int64_t> group(item_keys.size());
  for (size_t j = 0; j < item_keys.size(); ++j) {
    const std::string_view key = item_keys[j];
    auto it = number.find(key);
    if (it == number.end()) {
      it = number.emplace(std::string(key), static_cast<int64_t>(keys.size())).first;
      keys.emplace_back(key);
    }
    group[j] = it->second;
  }
  sort(group, ids);
}

}  // namespace Gantrix
