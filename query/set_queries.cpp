// The searches over an airport set: its members nearest to a point, and which member should
// serve a point and why.
#include <algorithm>
#include <cstring>

#include "core/error.h"
#include "core/json_writer.h"
#include "query/airport_object.h"
#include "query/airport_set.h"
#include "query/gantrix_ext.h"

namespace Gantrix {

std::span<const Hit> AirportSet::nearest(double lat, double lng, int64_t k,
                                         std::optional<std::string_view> country,
                                         std::optional<double> max_km) const {
  const AirportIndex* index = &*all;
  if (country) {
    const auto it = by_country.find(*country);
    if (it == by_country.end()) {
      k = 0;  // a country without members finds nothing
    } else {
      index = &it->second;
    }
  }
  return index->nearest_view(lat, lng, k, max_km);
}

std::optional<Resolved> AirportSet::resolve(const State& s, double lat, double lng,
                                            std::optional<double> foreign_max_km) const {
  const Located loc = nearest_in_country(s, lat, lng);
  const int64_t a = loc.index;
  if (a < 0) return std::nullopt;
  if (s.airports.country_lower[a] == loc.country &&
      std::binary_search(members.begin(), members.end(), static_cast<int32_t>(a))) {
    return Resolved{a, haversine(lat, lng, s.airports.lat[a], s.airports.lng[a]), "nearest", a};
  }
  std::span<const Hit> hits = nearest(lat, lng, 1, loc.country, std::nullopt);
  if (!hits.empty()) return Resolved{hits[0].id, hits[0].d, "same_country", a};
  hits = nearest(lat, lng, 1, std::nullopt, foreign_max_km);
  if (!hits.empty()) return Resolved{hits[0].id, hits[0].d, "nearby_foreign", a};
  return std::nullopt;
}

namespace {

void check_point(double lat, double& lng) {
  if (!valid_coords(lat, lng)) throw Error("invalid coordinates");
  lng = normalize_lng(lng);
}

}  // namespace

ResultText GantrixExt::set_nearest(int64_t handle, double lat, double lng, const char* country,
                                   int64_t has_country, double max_km, int64_t has_max_km,
                                   int64_t limit) {
  const auto held = sets().hold(handle);
  const AirportSet& set = *held;
  check_point(lat, lng);
  std::optional<std::string> key;
  if (has_country == 1 && country != nullptr) key = lower(country);
  const auto found =
      set.nearest(lat, lng, limit, key ? std::optional<std::string_view>(*key) : std::nullopt,
                  has_max_km == 1 ? std::optional<double>(max_km) : std::nullopt);
  const State& s = state();
  static constexpr std::string_view kDistance = ",\"distance_km\":";
  // One block sized for the whole array, then written without further checks.
  size_t room = 2;
  for (const Hit& h : found) {
    room += airport_fields(s, h.id).size() + kDistance.size() + JSON_FLOAT_ROOM + 3;
  }
  ResultText out;
  char* w = out.room(room);
  *w++ = '[';
  for (size_t j = 0; j < found.size(); ++j) {
    if (j > 0) *w++ = ',';
    *w++ = '{';
    const std::string_view fields = airport_fields(s, found[j].id);
    std::memcpy(w, fields.data(), fields.size());
    w += fields.size();
    std::memcpy(w, kDistance.data(), kDistance.size());
    w = write_json_float(w + kDistance.size(), found[j].d);
    *w++ = '}';
  }
  *w++ = ']';
  out.commit(w);
  return out;
}

ResultText GantrixExt::set_resolve(int64_t handle, double lat, double lng, double foreign_max_km,
                                   int64_t has_foreign_max_km) {
  const auto held = sets().hold(handle);
  const AirportSet& set = *held;
  check_point(lat, lng);
  const State& s = state();
  const auto r = set.resolve(
      s, lat, lng, has_foreign_max_km == 1 ? std::optional<double>(foreign_max_km) : std::nullopt);
  if (!r) return "null";
  ResultText out;
  out.push_back('{');
  out.append(airport_fields(s, r->airport));
  out.append(",\"distance_km\":");
  char* w = out.room(JSON_FLOAT_ROOM);
  out.commit(write_json_float(w, r->distance_km));
  out.append(",\"resolution\":");
  out.append(json_str(r->resolution));
  out.append(",\"nearest_code\":");
  out.append(json_str(composite_code(s, r->nearest)));
  out.push_back('}');
  return out;
}

}  // namespace Gantrix
