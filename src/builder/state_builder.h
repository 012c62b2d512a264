// The whole State from the two dataset texts, at build time: the loaders, the indexes and
// the image the library compiles in (tools/image) or a test views in-process.
#pragma once

#include <optional>
#include <string_view>

#include "builder/decided_cells_builder.h"
#include "state/airport_table.h"
#include "state/country_airports.h"
#include "state/image.h"
#include "state/state.h"

namespace Gantrix {

// The per-country airport indexes over a loaded table. Every airport's country code is two
// letters (the loader checks them).
[[nodiscard]] CountryAirports build_country_airports(const AirportTable& table);

// Runs the loaders on the texts (throwing Error on a bad text) and writes the image, with
// cells decided within `decide` (builder/decided_cells_builder.h), or none.
[[nodiscard]] ImageBytes build_state_image(std::string_view airports_json,
                                           std::string_view countries_json,
                                           std::optional<DecideLimits> decide = std::nullopt);

// A State over its own image built from the texts; its cells decided only when asked (the
// work takes a while, and a State without them answers the same).
[[nodiscard]] inline State build_state(std::string_view airports_json,
                                       std::string_view countries_json,
                                       std::optional<DecideLimits> decide = std::nullopt) {
  return State(build_state_image(airports_json, countries_json, decide));
}

}  // namespace Gantrix
