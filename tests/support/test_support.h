// Helpers shared by the test binaries.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/state.h"

namespace Gantrix::test {

// The text of an exported call's result, freed; "<null>" for a null result.
std::string take(char* result);

// Tiny geometry from text: rings separated by '|', points by ',', "x y" each.
// rings_from("0 0,10 0,10 10,0 10 | 2 2,4 2,4 4") adds two rings.
void add_rings(Rings& rings, const std::string& text);

// A country dataset text from features given as {code, name, rings text}; every ring list
// becomes one Polygon.
struct FeatureSpec {
  std::string code;
  std::string name;
  std::string rings;  // as add_rings; empty for a feature without geometry
};
std::string countries_text(const std::vector<FeatureSpec>& features);

struct AirportSpec {
  std::string iata, name, city, country;
  double lat, lng;
};
std::string airports_text(const std::vector<AirportSpec>& airports);

// The message of the Gantrix::Error thrown by f, or "" when nothing was thrown.
template <class F>
std::string error_of(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

}  // namespace Gantrix::test
