// Which country contains a coordinate: six fixed boxes, the exact outline test, probes on
// rings of growing radius around the point, and finally the country of the nearest airport
// within 1,000 km (the values in query/country_rules.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "spatial/coords.h"
#include "state/state.h"

namespace Gantrix {

// The lower-case country code, or none. p must be valid and its longitude normalised.
[[nodiscard]] std::optional<std::string_view> find_country_code(const State& s, LatLng p);

[[nodiscard]] std::optional<std::string_view> special_country(LatLng p);
[[nodiscard]] std::optional<std::string_view> country_exact(const State& s, LatLng p);
[[nodiscard]] std::optional<std::string_view> find_country_from_nearby_airports(const State& s,
                                                                                LatLng p);

// The envelope of the country whose outline contains p, or -1: the rings whose boxes hold
// the point, folded per feature, and the winner among the envelopes holding it.
[[nodiscard]] int64_t exact_envelope(const CountryIndex& c, LatLng p);

}  // namespace Gantrix
