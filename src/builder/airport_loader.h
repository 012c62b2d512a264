// The airport table (state/airport_table.h) from the dataset text, at build time.
#pragma once

#include <string_view>

#include "state/airport_table.h"
#include "state/country_index.h"

namespace Gantrix {

// Reads the dataset's array of airport objects and checks it: coordinates on the globe, IATA
// codes unique (ignoring case), countries of two letters. Throws Error naming the airport and
// the byte. The rendered texts stay empty until render_airports.
[[nodiscard]] AirportTable load_airports(std::string_view airports_json);

// Writes each airport's composite code, display name ("City, Country", the country named by
// its outline, else its code) and the texts results copy.
void render_airports(AirportTable& table, const CountryIndex& countries);

}  // namespace Gantrix
