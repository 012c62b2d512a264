#include "query/airport_set.h"

#include <algorithm>
#include <unordered_set>

#include "core/groups.h"
#include "query/serving_airport.h"

namespace Gantrix {

AirportSet::AirportSet(const State& s, const std::vector<std::string_view>& pieces) {
  std::vector<std::string> keys;
  // Repeats are found by hashing, not by scanning: a list of a million unknown codes must
  // not take quadratic time.
  std::unordered_set<int32_t> seen_ids;
  std::unordered_set<std::string> seen_missing;
  for (const std::string_view piece : pieces) {
    std::string code = upper(trim(piece));
    const int64_t id = s.airport_id(code);
    if (id < 0) {
      if (seen_missing.insert(code).second) missing.push_back(std::move(code));
      continue;
    }
    if (!seen_ids.insert(static_cast<int32_t>(id)).second) continue;
    member_ids.push_back(static_cast<int32_t>(id));
    keys.emplace_back(s.airports.country_lower[id]);
  }
  members = member_ids;
  std::sort(members.begin(), members.end());

  all.emplace(s.airport_indexes.all, member_ids);
  const Groups groups(keys, member_ids);
  by_country.reserve(groups.keys.size());
  for (size_t g = 0; g < groups.keys.size(); ++g) {
    by_country.try_emplace(groups.keys[g], s.airport_indexes.all, groups.members(g));
  }
}

bool AirportSet::include(const State& s, std::string_view code) const {
  const int64_t id = s.airport_id(upper(trim(code)));
  return id >= 0 && std::binary_search(members.begin(), members.end(), static_cast<int32_t>(id));
}

std::span<const Hit> AirportSet::nearest(LatLng p, int64_t k,
                                         std::optional<std::string_view> country,
                                         std::optional<double> max_km) const {
  const AirportIndex* index = &*all;
  if (country) {
    const auto it = by_country.find(*country);
    if (it == by_country.end()) {
      k = 0;  // a country without members finds nothing
    } else {
      index = &it->second;
    }
  }
  return index->nearest_view(p, k, max_km);
}

std::optional<Resolved> AirportSet::resolve(const State& s, LatLng p,
                                            std::optional<double> foreign_max_km) const {
  const Located loc = nearest_in_country(s, p);
  const int64_t a = loc.index;
  if (a < 0) return std::nullopt;
  if (s.airports.country_lower[a] == loc.country &&
      std::binary_search(members.begin(), members.end(), static_cast<int32_t>(a))) {
    return Resolved{a, haversine(p.lat, p.lng, s.airports.lat[a], s.airports.lng[a]), "nearest", a};
  }
  std::span<const Hit> hits = nearest(p, 1, loc.country, std::nullopt);
  if (!hits.empty()) return Resolved{hits[0].id, hits[0].d, "same_country", a};
  hits = nearest(p, 1, std::nullopt, foreign_max_km);
  if (!hits.empty()) return Resolved{hits[0].id, hits[0].d, "nearby_foreign", a};
  return std::nullopt;
}

}  // namespace Gantrix
