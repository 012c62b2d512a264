// The airport object shared by several results, and its display name.
#pragma once

#include <string>
#include <string_view>

#include "data/state.h"

namespace Gantrix {

// The country name for a code, or the upper-cased code itself.
std::string get_country_name(const State& s, std::string_view code);
// "City, Country", or "Airport name, Country" when the city is empty or equals the name.
std::string display_name(const State& s, int64_t id);
// The composite code: lower-case country, ".", lower-case IATA (us.jfk).
void append_composite_code(std::string& out, const State& s, int64_t id);
// The airport object's members without braces, so callers can append more.
void append_airport_fields(std::string& out, const State& s, int64_t id);

}  // namespace Gantrix
