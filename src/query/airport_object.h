// The airport object that several results share, and the names it carries. Its texts are
// rendered once per airport when the State is built (builder/airport_loader.cpp); results copy
// them from there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "state/state.h"

namespace Gantrix {

// "City, Country", or "Airport name, Country" when the city is empty or equals the name.
inline std::string_view display_name(const State& s, int64_t id) {
  return s.airports.display[static_cast<size_t>(id)];
}
// The composite code: lower-case country, ".", lower-case IATA (us.jfk).
inline std::string_view composite_code(const State& s, int64_t id) {
  return s.airports.code[static_cast<size_t>(id)];
}
// The airport object's members without braces, so callers can append more.
inline std::string_view airport_fields(const State& s, int64_t id) {
  return s.airports.fields[static_cast<size_t>(id)];
}

}  // namespace Gantrix
