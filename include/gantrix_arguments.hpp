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

// The message for an airport code taken on its own, or "" when it is fine: the code travels
// as a C text, which a NUL byte would cut short.
inline std::string code_refusal(std::string_view code) {
  return code.find('\0') == std::string_view::npos ? "" : "code must not contain a NUL byte";
}

// The message for one code of a list (a set's codes), or "" when it is fine: the list travels
// as one C text with the codes separated by the byte 0x1F, so a NUL byte would end the whole
// list there and a 0x1F would split the code in two.
inline std::string listed_code_refusal(std::string_view code) {
  if (code.find('\0') != std::string_view::npos) return "codes must not contain a NUL byte";
  if (code.find('\x1f') != std::string_view::npos) {
    return "codes must not contain the byte 0x1F, which separates them";
  }
  return "";
}

}  // namespace gantrix::arguments
