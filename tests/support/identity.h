// The answers with and without the cells decided at build time, compared text for text on
// seeded points of the kinds where a wrong decision would show: anywhere, near outline
// vertices (coasts and borders), near airports and between two of a country, on and next to
// the antimeridian, near the poles, and on the cells' own grid lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "spatial/coords.h"
#include "state/state.h"

namespace Gantrix::test {

// n points, valid and with longitudes in -180..180.
[[nodiscard]] std::vector<LatLng> identity_points(const State& s, size_t n, uint64_t seed);

// The points where the answers differ, each described (at most `keep` of them), and how many
// there are. With `exports`, the decided side is what gx_country_at and gx_find return (s
// must then be the compiled-in State); otherwise s's own lookups, written the same way.
size_t identity_mismatches(const State& s, const std::vector<LatLng>& points, bool exports,
                           std::vector<std::string>& described, size_t keep = 10);

}  // namespace Gantrix::test
