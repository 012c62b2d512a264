// Arbitrary texts built into a State: it either completes or throws Gantrix::Error, and a
// completed State answers queries without faults.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "api/error.h"
#include "data/state.h"
#include "spatial/point_in_country.h"

// The input is the airport text and the country text separated by the first NUL byte; with
// no NUL, the whole input is tried as each text against a minimal other one.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\0');
  std::string airports = cut == std::string::npos ? input : input.substr(0, cut);
  std::string countries = cut == std::string::npos ? "{\"features\":[]}" : input.substr(cut + 1);
  for (int round = 0; round < (cut == std::string::npos ? 2 : 1); ++round) {
    if (round == 1) {
      countries = input;
      airports = "[]";
    }
    try {
      const Gantrix::State s(airports, countries);
      // Probe the built indexes with a few points, including the far side of the world.
      for (const double lat : {0.0, 45.5, -89.9}) {
        for (const double lng : {0.0, 179.99, -120.25}) {
          (void)Gantrix::find_country_code(s, lat, lng);
          (void)s.all_airports->nearest(lat, lng, 3, std::nullopt);
        }
      }
    } catch (const Gantrix::Error&) {
    }
  }
  return 0;
}
