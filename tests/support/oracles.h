// Plain reference answers that tests and benchmarks check the library against: written
// without its indexes (no bands, no grid, no cells, no k-d tree), so a fault in one of those
// shows as a disagreement.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "spatial/airport_index.h"
#include "spatial/rings.h"
#include "state/state.h"

namespace Gantrix::test {

// A longitude of 2^53 or more is an integer m * 2^e: its remainder mod 360, worked out
// exactly in integers, wrapped into -180..180 (180 kept as 180).
double wrapped_exactly(double lng);

// A search's hits copied out of the thread's scratch.
struct Hits {
  std::vector<double> d;
  std::vector<int64_t> i;
};
Hits nearest(const AirportIndex& index, LatLng p, int64_t k, std::optional<double> max_km);

// Even-odd count of the edges of ring r crossed by the eastward ray from (x, y), every edge
// looked at: an edge counts when exactly one end lies strictly north of y and it crosses
// the ray's latitude east of x.
bool crossing_number(const Rings& rings, int64_t r, double x, double y);

// The country test as a plain scan: every envelope holding the point, its feature tested
// ring by ring with crossing_number; the smallest innermost ring wins, then the earlier
// feature. The winner's lower-case code, or none.
[[nodiscard]] std::optional<std::string_view> country_scan(const CountryIndex& countries, LatLng p);

}  // namespace Gantrix::test
