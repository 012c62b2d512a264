#include "query/serving_airport.h"

#include "core/constants.h"
#include "query/country_rules.h"
#include "query/point_in_country.h"

namespace Gantrix {

Located nearest_in_country(const State& s, LatLng p) {
  const auto code = find_country_code(s, p);
  if (!code) return {"", -1, "no country found for coordinates"};
  const AirportIndex* index = s.country_index(*code);
  // A country without airports borrows the index of the country of the nearest airport
  // within growing radii.
  for (size_t r = 0; index == nullptr && r < NEARBY_RADII.size(); ++r) {
    const int64_t a = s.airport_indexes.all.nearest_one(p, NEARBY_RADII[r]);
    if (a >= 0) index = s.country_index(s.airports.country_lower[a]);
  }
  if (index == nullptr) {
    return {*code, -1, "no airports found in country " + std::string(*code) + " or nearby"};
  }
  const int64_t id = index->nearest_one(p, INF);
  if (id < 0) return {*code, -1, "could not find nearest airport"};
  return {*code, id, ""};
}

}  // namespace Gantrix
