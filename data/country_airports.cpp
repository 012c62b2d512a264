#include "data/country_airports.h"

#include <unordered_map>

#include "core/counting_sort.h"

namespace Gantrix {

Groups::Groups(const std::vector<std::string>& item_keys, const std::vector<int32_t>& ids) {
  // Group numbers by first appearance, then the ids sorted by group.
  std::unordered_map<std::string_view, int64_t> number;
  std::vector<int64_t> group(item_keys.size());
  for (size_t j = 0; j < item_keys.size(); ++j) {
    const auto [it, added] = number.try_emplace(item_keys[j], static_cast<int64_t>(keys.size()));
    if (added) keys.push_back(item_keys[j]);
    group[j] = it->second;
  }
  counting_sort(
      keys.size(),
      [&](auto&& put) {
        for (size_t j = 0; j < ids.size(); ++j) put(static_cast<size_t>(group[j]), ids[j]);
      },
      start, items);
}

std::vector<int32_t> Groups::members(size_t g) const {
  return {items.begin() + start[g], items.begin() + start[g + 1]};
}

CountryAirports::CountryAirports(const AirportTable& table) {
  const size_t n = table.size();
  std::vector<int32_t> ids(n);
  for (size_t i = 0; i < n; ++i) ids[i] = static_cast<int32_t>(i);
  const Groups groups(table.country_lower, ids);
  all = std::make_unique<AirportIndex>(table.lat, table.lng, std::move(ids));
  by_country.reserve(groups.keys.size());
  for (size_t g = 0; g < groups.keys.size(); ++g) {
    by_country.try_emplace(groups.keys[g], *all, groups.members(g));
  }
  for (const auto& [code, index] : by_country) {
    if (const int slot = two_letter_slot(code); slot >= 0) two_letter[slot] = &index;
  }
}

size_t CountryAirports::bytes() const {
  size_t total = all ? all->bytes() : 0;
  for (const auto& [code, index] : by_country) total += sizeof code + index.bytes() + 16;
  return total;
}

}  // namespace Gantrix
