// Which country contains a coordinate: six fixed boxes, the exact outline test, probes on
// rings of growing radius around the point, and finally the country of the nearest airport
// within 1,000 km (the values in query/country_rules.h).
#pragma once

#include <optional>
#include <string_view>

#include "data/state.h"

namespace Gantrix {

// The lower-case country code, or none. lat/lng must be checked and normalised already.
std::optional<std::string_view> find_country_code(const State& s, double lat, double lng);

std::optional<std::string_view> special_country(double lat, double lng);
std::optional<std::string_view> country_exact(const State& s, double lat, double lng);
std::optional<std::string_view> find_country_from_nearby_airports(const State& s, double lat,
                                                                  double lng);

// The envelope of the country whose outline contains (x, y), or -1: the rings whose boxes
// hold the point, folded per feature, and the winner among the envelopes holding it.
int64_t exact_envelope(const CountryIndex& c, double x, double y);

}  // namespace Gantrix
