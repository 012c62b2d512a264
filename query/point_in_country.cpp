#include "query/point_in_country.h"

#include <vector>

#include "query/country_rules.h"
#include "spatial/feature_hits.h"

namespace Gantrix {
namespace {

struct Scratch {
  std::vector<FeatureHit> hits;
};

Scratch& scratch() {
  thread_local Scratch s;
  return s;
}

// A probe that crossed a pole continues down the other side, half a turn round; one past
// the antimeridian lands on its far side, and one on it is at -180, like the point itself.
void wrap_probe(double& lat, double& lng) {
  if (lat > 90.0) {
    lat = 180.0 - lat;
    lng += 180.0;
  } else if (lat < -90.0) {
    lat = -180.0 - lat;
    lng += 180.0;
  }
  if (lng >= 180.0) {
    lng -= 360.0;
  } else if (lng < -180.0) {
    lng += 360.0;
  }
}

std::optional<std::string_view> code_of(const State& s, int64_t e) {
  if (e < 0 || e >= static_cast<int64_t>(s.countries.envelope_code.size())) return std::nullopt;
  return s.countries.envelope_code[e];
}

}  // namespace

int64_t exact_envelope(const CountryIndex& c, double x, double y) {
  auto& hits = scratch().hits;
  hits.clear();
  c.ring_grid.for_each_box_at(x, y, [&](int32_t p) {
    const int32_t r = c.ring_grid.ring[p];
    if (c.rings.contains(r, x, y)) fold_ring(hits, c.ring_feature[r], c.rings.box_area(r));
  });
  const int64_t f = winner(hits, [&](int64_t feature) {
    const size_t b = static_cast<size_t>(c.feature_envelope[feature]) * 2;
    return c.envelope_lo[b] <= x && x <= c.envelope_hi[b] && c.envelope_lo[b + 1] <= y &&
           y <= c.envelope_hi[b + 1];
  });
  return f < 0 ? -1 : c.feature_envelope[f];
}

std::optional<std::string_view> special_country(double lat, double lng) {
  for (const SpecialBox& box : SPECIAL_BOXES) {
    if (box.lat_from <= lat && lat <= box.lat_to && box.lng_from <= lng && lng <= box.lng_to) {
      return box.code;
    }
  }
  return std::nullopt;
}

std::optional<std::string_view> country_exact(const State& s, double lat, double lng) {
  const int16_t e = s.countries.cells.at(lng, lat);
  if (e != CountryCells::MIXED) return code_of(s, e);
  return code_of(s, exact_envelope(s.countries, lng, lat));
}

std::optional<std::string_view> find_country_from_nearby_airports(const State& s, double lat,
                                                                  double lng) {
  const int64_t id = s.airport_indexes.all.nearest_one(lat, lng, NEARBY_AIRPORT_KM);
  if (id < 0) return std::nullopt;
  return s.airports.country_lower[id];
}

std::optional<std::string_view> find_country_code(const State& s, double lat, double lng) {
  // 180 and -180 are one meridian; outlines cut there meet it from both sides, and only as
  // -180 does a point on it count as on their western edge, which is inside. One spelling
  // gives one answer.
  if (lng == 180.0) lng = -180.0;
  if (auto code = special_country(lat, lng)) return code;
  if (auto code = country_exact(s, lat, lng)) return code;

  // Most probes fall in cells that fix their answer; only those near an edge take the ring
  // test. Where no outline comes within the probes' reach, none is tried.
  if (!s.countries.cells.quiet_around(lng, lat, RADII.back())) {
    for (const double r : RADII) {
      for (size_t d = 0; d < DIRECTIONS.size(); d += 2) {
        double y = lat + DIRECTIONS[d] * r;
        double x = lng + DIRECTIONS[d + 1] * r;
        wrap_probe(y, x);
        int64_t e = s.countries.cells.at(x, y);
        if (e == CountryCells::MIXED) e = exact_envelope(s.countries, x, y);
        if (auto code = code_of(s, e)) return code;
      }
    }
  }
  return find_country_from_nearby_airports(s, lat, lng);
}

}  // namespace Gantrix
