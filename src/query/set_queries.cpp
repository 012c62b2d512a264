// The searches over an airport set: its members nearest to a point, and which member should
// serve a point and why.
#include <algorithm>
#include <cstring>

#include "core/error.h"
#include "core/json_writer.h"
#include "query/airport_object.h"
#include "query/operations.h"
#include "query/set_registry.h"

namespace Gantrix::operations {

namespace {

LatLng checked_point(double lat, double lng) {
  if (!valid_coords(lat, lng)) throw Error("invalid coordinates");
  return {lat, normalize_lng(lng)};
}

}  // namespace

ResultText set_nearest(int64_t handle, double lat, double lng, const char* country,
                       int64_t has_country, double max_km, int64_t has_max_km, int64_t limit) {
  const auto held = sets().hold(handle);
  const AirportSet& set = *held;
  const LatLng p = checked_point(lat, lng);
  std::optional<std::string> key;
  if (has_country == 1) {
    // Dropping the filter would answer members of every country as if they matched.
    if (country == nullptr) throw Error("country is required when has_country is 1");
    key = lower(country);
  }
  const auto found =
      set.nearest(p, limit, key ? std::optional<std::string_view>(*key) : std::nullopt,
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

ResultText set_resolve(int64_t handle, double lat, double lng, double foreign_max_km,
                       int64_t has_foreign_max_km) {
  const auto held = sets().hold(handle);
  const AirportSet& set = *held;
  const LatLng p = checked_point(lat, lng);
  const State& s = state();
  const auto r = set.resolve(
      s, p, has_foreign_max_km == 1 ? std::optional<double>(foreign_max_km) : std::nullopt);
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

}  // namespace Gantrix::operations
