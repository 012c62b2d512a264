// Arguments that are surely mistakes, and the one wording every surface refuses them with
// (gantrix.hpp, the gantrix command, the Python and Node bindings). The C functions take
// them and give their documented answers (a negative limit or max_km, or a country that is
// not two letters, answers []); the surfaces above them say what is probably wrong instead.
// Header-only C++17, no dependencies. The names in the messages are the C parameters' names,
// on every surface.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace gantrix::arguments {

// The message for limit, or "" when it is fine.
inline std::string limit_refusal(int64_t limit) {
  return limit < 0 ? "limit must not be negative" : "";
}

// The message for a distance in km (name: "max_km" or "foreign_max_km"), or "" when it is
// fine. Infinity means no limit and is fine.
inline std::string distance_refusal(std::string_view name, double km) {
  if (std::isnan(km)) return std::string(name) + " must be a number, not NaN";
  if (km < 0.0) return std::string(name) + " must not be negative";
  return "";
}

// The message for a country filter, or "" when it is two ASCII letters (either case).
inline std::string country_refusal(std::string_view country) {
  const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (country.size() == 2 && letter(country[0]) && letter(country[1])) return "";
  return "country must be two ASCII letters, such as \"fr\"";
}

}  // namespace gantrix::arguments
