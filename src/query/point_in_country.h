// Which country contains a coordinate: six fixed boxes, the exact outline test, probes on
// rings of growing radius around the point, and finally the country of the nearest airport
// within 1,000 km (the values in query/country_rules.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "query/country_rules.h"
#include "spatial/coords.h"
#include "state/state.h"

namespace Gantrix {

// The lower-case country code, or none. p must be valid and its longitude normalised. The
// answer of p's decided cell when it has one (state/decided_cells.h), else the procedure's.
[[nodiscard]] std::optional<std::string_view> find_country_code(const State& s, LatLng p);
// The same answer, always worked out by the procedure: the builder decides cells with it.
[[nodiscard]] std::optional<std::string_view> find_country_code_procedure(const State& s, LatLng p);

// The procedure's steps after the fixed boxes: the outline test at step 0, then probe after
// probe, radius after radius (nearest first), each radius north first and then clockwise.
inline constexpr int COUNTRY_STEPS = 1 + static_cast<int>(RADII.size() * DIRECTIONS.size() / 2);

// Where the probe of step k (1 <= k < COUNTRY_STEPS) from p lands.
[[nodiscard]] inline LatLng probe_at(LatLng p, int k) {
  const auto probe = static_cast<size_t>(k - 1);
  const double r = RADII[probe / (DIRECTIONS.size() / 2)];
  const size_t d = probe % (DIRECTIONS.size() / 2) * 2;
  return wrap_probe({p.lat + DIRECTIONS[d] * r, p.lng + DIRECTIONS[d + 1] * r});
}

// The procedure for a point whose steps before `first` are known to give it nothing (the
// fixed boxes are tried all the same). p's longitude in -180..180, with 180 written as -180.
[[nodiscard]] std::optional<std::string_view> find_country_code_from(const State& s, LatLng p,
                                                                     int first);

[[nodiscard]] std::optional<std::string_view> special_country(LatLng p);
[[nodiscard]] std::optional<std::string_view> country_exact(const State& s, LatLng p);
[[nodiscard]] std::optional<std::string_view> find_country_from_nearby_airports(const State& s,
                                                                                LatLng p);

// The envelope of the country whose outline contains p, or -1: the rings whose boxes hold
// the point, folded per feature, and the winner among the envelopes holding it.
[[nodiscard]] int64_t exact_envelope(const CountryIndex& c, LatLng p);

}  // namespace Gantrix
