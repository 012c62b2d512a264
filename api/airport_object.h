// The airport object shared by several results, and its display name.
#pragma once

#include <string>
#include <string_view>

#include "data/state.h"

namespace Gantrix {

// The country name for a code, or the upper-cased code itself.
std::string get_country_name(const State& s, std::string_view code);
// "City, Country", or "Airport name, Country" when the city is empty or equals the name.
// Computed once per airport while the State is built; display_name reads the result.
std::string describe_airport(const State& s, int64_t id);
inline const std::string& display_name(const State& s, int64_t id) { return s.ap_display[id]; }
// The composite code: lower-case country, ".", lower-case IATA (us.jfk).
inline const std::string& composite_code(const State& s, int64_t id) { return s.ap_code[id]; }
// The airport object's members without braces, so callers can append more. They are written
// once per airport while the State is built; append_airport_fields copies that text.
void write_airport_fields(std::string& out, const State& s, int64_t id);
inline std::string_view airport_fields(const State& s, int64_t id) {
  return s.ap_fields[static_cast<size_t>(id)];
}
inline void append_airport_fields(std::string& out, const State& s, int64_t id) {
  out.append(airport_fields(s, id));
}

}  // namespace Gantrix
