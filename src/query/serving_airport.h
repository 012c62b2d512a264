// The airport that serves a point: the nearest airport of the point's country, or of a
// neighbour's when the country has none. What find answers and what a set resolves against.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "spatial/coords.h"
#include "state/state.h"

namespace Gantrix {

// Where the search settled: the point's country (lower case, empty for none), the chosen
// airport id (-1 for none) and, then, why.
struct Located {
  std::string_view country;
  int64_t index = -1;
  std::string error;
};

// p must be valid and its longitude normalised. The answer of p's decided cell when it has
// one (state/decided_cells.h), else the procedure's.
[[nodiscard]] Located nearest_in_country(const State& s, LatLng p);
// The same answer, always worked out by the procedure.
[[nodiscard]] Located nearest_in_country_procedure(const State& s, LatLng p);

}  // namespace Gantrix
