// A caller's pool of airports, built once from a list of IATA codes: its members, the codes
// that named no airport, and nearest-neighbour indexes over all members and per country.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "spatial/airport_index.h"
#include "spatial/coords.h"
#include "state/state.h"

namespace Gantrix {

struct Resolved {
  int64_t airport;
  double distance_km;
  std::string_view resolution;  // "nearest", "same_country" or "nearby_foreign"
  int64_t nearest;              // the point's own nearest airport, for "nearest_code"
};

class AirportSet {
 public:
  // Reads the pieces of codes (split at 0x1F) against the loaded airport table.
  AirportSet(const State& s, const std::vector<std::string_view>& pieces);
  AirportSet(const AirportSet&) = delete;
  AirportSet& operator=(const AirportSet&) = delete;

  [[nodiscard]] bool include(const State& s, std::string_view code) const;
  [[nodiscard]] size_t size() const { return member_ids.size(); }

  // Members nearest to a checked, normalised point (airport ids and distances in km, nearest
  // first); country is a lower-case key or none. The hits stay in the thread's search scratch
  // until its next search.
  [[nodiscard]] std::span<const Hit> nearest(LatLng p, int64_t limit,
                                             std::optional<std::string_view> country,
                                             std::optional<double> max_km) const;
  // The member that should serve the point, or none.
  [[nodiscard]] std::optional<Resolved> resolve(const State& s, LatLng p,
                                                std::optional<double> foreign_max_km) const;

  std::vector<int32_t> members;     // member ids, sorted, for membership tests
  std::vector<int32_t> member_ids;  // member ids in order of first appearance
  std::vector<std::string> missing;
  std::optional<AirportIndex> all;
  TextMap<AirportIndex> by_country;
};

}  // namespace Gantrix
