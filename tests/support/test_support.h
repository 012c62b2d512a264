// Helpers shared by the test binaries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gantrix.h"
#include "state/state.h"

namespace Gantrix::test {

// The text of an exported call's result, freed; "<null>" for a null result.
std::string take(char* result);

// Tiny geometry from text: rings separated by '|', points by ',', "x y" each.
void add_rings(Rings& rings, const std::string& text);

// Dataset texts. Each feature's rings (as add_rings; empty for none) become one Polygon.
struct FeatureText {
  std::string code, name, rings;
};
std::string countries_text(const std::vector<FeatureText>& features);
struct AirportText {
  std::string iata, name, city, country;
  double lat, lng;
};
std::string airports_text(const std::vector<AirportText>& airports);

// Whether text is well-formed UTF-8: no stray or missing continuation bytes, overlong forms,
// surrogates or code points past U+10FFFF.
bool utf8_valid(std::string_view text);

// The message of the exception thrown by f, or "" when nothing was thrown.
template <class F>
std::string error_of(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

// Values of every member called name, in order: strings without their quotes (the tests
// never need escapes), other values as written.
inline std::vector<std::string> members(const std::string& json, const std::string& name) {
  std::vector<std::string> out;
  const std::string key = "\"" + name + "\":";
  for (size_t p = json.find(key); p != std::string::npos; p = json.find(key, p + 1)) {
    const size_t v = p + key.size(), str = json[v] == '"' ? 1 : 0;
    const size_t end = str ? json.find('"', v + 1) : json.find_first_of(",}]", v);
    out.push_back(json.substr(v + str, end - v - str));
  }
  return out;
}
inline std::string member(const std::string& json, const std::string& name) {
  const auto all = members(json, name);
  return all.empty() ? "<absent>" : all[0];
}

// The message of a call that must fail, or what it returned instead. Another failure runs
// first, so a message left over from an earlier call cannot pass for this one's.
template <class Call>
std::string failure(Call call) {
  take(gx_set_size(INT64_MIN));
  const std::string got = take(call());
  return got == "<null>" ? gx_error() : "returned " + got;
}

}  // namespace Gantrix::test
