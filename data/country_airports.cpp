#include "data/country_airports.h"

#include "core/counting_sort.h"
#include "core/error.h"

namespace Gantrix {

void Groups::sort(const std::vector<int64_t>& group, const std::vector<int32_t>& ids) {
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
  all = AirportIndex(table.lat, table.lng, std::move(ids));
  countries.reserve(groups.keys.size());
  std::vector<int32_t> slots(26 * 26, -1);
  for (size_t g = 0; g < groups.keys.size(); ++g) {
    const int slot = two_letter_slot(groups.keys[g]);
    if (slot < 0) throw Error("airports: country code \"" + groups.keys[g] + "\" is not two letters");
    slots[static_cast<size_t>(slot)] = static_cast<int32_t>(g);
    countries.emplace_back(all, groups.members(g));
  }
  country_of_slot = std::move(slots);
}

size_t CountryAirports::bytes() const {
  size_t total = all.bytes() + country_of_slot.bytes();
  for (const AirportIndex& index : countries) total += index.bytes();
  return total;
}

}  // namespace Gantrix
