// The country index (state/country_index.h) from the outline dataset, at build time.
#pragma once

#include <string_view>

#include "state/country_index.h"

namespace Gantrix {

// Reads a GeoJSON FeatureCollection of Polygon and MultiPolygon features, then builds the
// ring grid and the country cells. Throws Error naming the byte where reading stopped.
[[nodiscard]] CountryIndex load_countries(std::string_view countries_json);

}  // namespace Gantrix
