// Which airport serves a coordinate.
#include <cmath>

#include "core/constants.h"
#include "core/error.h"
#include "core/json_writer.h"
#include "query/country_rules.h"
#include "query/gantrix_ext.h"
#include "query/point_in_country.h"

namespace Gantrix {

double normalize_lng(double lng) {
  if (std::fabs(lng) <= 180.0) return lng;
  double x = std::fmod(lng + 180.0, 360.0);
  if (x < 0.0) x += 360.0;
  return x - 180.0;
}

Located nearest_in_country(const State& s, double lat, double lng) {
  const auto code = find_country_code(s, lat, lng);
  if (!code) return {"", -1, "no country found for coordinates"};
  const AirportIndex* index = s.country_index(*code);
  // A country without airports borrows the index of the country of the nearest airport
  // within growing radii.
  for (size_t r = 0; index == nullptr && r < NEARBY_RADII.size(); ++r) {
    const int64_t a = s.airport_indexes.all.nearest_one(lat, lng, NEARBY_RADII[r]);
    if (a >= 0) index = s.country_index(s.airports.country_lower[a]);
  }
  if (index == nullptr) {
    return {*code, -1, "no airports found in country " + std::string(*code) + " or nearby"};
  }
  const int64_t id = index->nearest_one(lat, lng, INF);
  if (id < 0) return {*code, -1, "could not find nearest airport"};
  return {*code, id, ""};
}

namespace {

ResultText error_document(std::string_view message) {
  std::string out("{\"error\":");
  append_json_str(out, message);
  out.push_back('}');
  return out;
}

}  // namespace

// The expected failures (bad input, no country, no airport) are answered directly: an
// exception costs more than a whole lookup, and sea points fail often.
ResultText GantrixExt::find(double lat, double lng) {
  if (!valid_coords(lat, lng)) return error_document("invalid coordinates");
  lng = normalize_lng(lng);
  const State* s = nullptr;
  try {
    s = &state();
  } catch (const Error& e) {
    return error_document(e.what());
  }
  const Located loc = nearest_in_country(*s, lat, lng);
  if (loc.index < 0) return error_document(loc.error);
  // {"code":...,"name":...}, written once per airport at load.
  return s->airports.answer[static_cast<size_t>(loc.index)];
}

}  // namespace Gantrix
