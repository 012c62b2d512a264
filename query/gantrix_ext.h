// The operations behind the exported functions. Each returns its JSON text or throws; the
// guarded call turns a throw into a null result (find answers its own errors as documents).
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/result_text.h"
#include "data/state.h"

namespace Gantrix {

class AirportSet;
class SetRegistry;

// Where a point's airport search settled: the point's country (lower case, empty for none),
// the chosen airport id (-1 for none) and, then, why.
struct Located {
  std::string_view country;
  int64_t index = -1;
  std::string error;
};

[[nodiscard]] inline bool valid_coords(double lat, double lng) {
  return std::isfinite(lat) && std::isfinite(lng) && std::fabs(lat) <= 90.0;
}
double normalize_lng(double lng);

// The nearest airport of the point's country, or of a neighbour's when the country has none.
Located nearest_in_country(const State& s, double lat, double lng);

// Strips ASCII white space (space, \t, \n, \v, \f, \r) from both ends.
std::string_view trim(std::string_view s);

class GantrixExt {
 public:
  static ResultText find(double lat, double lng);
  static ResultText country_at(double lat, double lng);
  static ResultText airport(const char* code);

  static ResultText set_new(const char* codes, int64_t count);
  static ResultText set_free(int64_t handle);
  static ResultText set_size(int64_t handle);
  static ResultText set_include(int64_t handle, const char* code);
  static ResultText set_missing(int64_t handle);
  static ResultText set_nearest(int64_t handle, double lat, double lng, const char* country,
                                int64_t has_country, double max_km, int64_t has_max_km,
                                int64_t limit);
  static ResultText set_resolve(int64_t handle, double lat, double lng, double foreign_max_km,
                                int64_t has_foreign_max_km);

  // The set registry (query/airport_set.h).
  static SetRegistry& sets();
  // The set behind a handle, or Gantrix::Error "no such AirportSet: <handle>", without the
  // registry's lock: for callers that run alone (tests, benchmarks).
  static const AirportSet& set_of(int64_t handle);
};

}  // namespace Gantrix
