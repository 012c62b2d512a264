// Helpers shared by the test binaries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "state/state.h"
#include "tests/support/take.h"

namespace Gantrix::test {

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
std::vector<std::string> members(const std::string& json, const std::string& name);
std::string member(const std::string& json, const std::string& name);  // "<absent>" if none

// The message of a call that must fail, or what it returned instead. Another failure runs
// first, so a message left over from an earlier call cannot pass for this one's.
template <class Call>
std::string failure(Call call) {
  take(gx_set_size(INT64_MIN));
  const std::string got = take(call());
  return got.starts_with("<null: ") ? gx_error() : "returned " + got;
}

}  // namespace Gantrix::test
