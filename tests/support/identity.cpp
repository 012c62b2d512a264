#include "tests/support/identity.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string_view>

#include "bench/workload.h"
#include "core/json_writer.h"
#include "gantrix.h"
#include "query/point_in_country.h"
#include "query/serving_airport.h"
#include "spatial/decided_grid.h"
#include "tests/support/test_support.h"

namespace Gantrix::test {
namespace {

// A step off `at` by `by` degrees at most on each axis, kept on the map (180 stays 180).
LatLng near(bench::Rng& r, LatLng at, double by) {
  const double lat = std::clamp(at.lat + r.range(-by, by), -90.0, 90.0);
  const double lng = at.lng + r.range(-by, by);
  return {lat, lng > 180.0 ? lng - 360.0 : lng < -180.0 ? lng + 360.0 : lng};
}

// None, or from a billionth of a degree to two degrees: the scale of rounding, of edges, of
// probes.
double some_distance(bench::Rng& r) {
  static constexpr double kScales[] = {0.0, 1e-9, 1e-7, 1e-4, 0.01, 0.05, 0.2, 1.0, 2.0};
  return kScales[r.below(std::size(kScales))];
}

std::string country_text(std::optional<std::string_view> code) {
  return code ? json_str(*code) : "null";
}

std::string find_text(const State& s, const Located& loc) {
  if (loc.index >= 0) return std::string(s.airports.answer[static_cast<size_t>(loc.index)]);
  return "{\"error\":" + json_str(loc.error) + "}";
}

}  // namespace

std::vector<LatLng> identity_points(const State& s, size_t n, uint64_t seed) {
  bench::Rng r{seed};
  std::vector<LatLng> out;
  out.reserve(n);
  const Rings& rings = s.countries.rings;
  const AirportTable& airports = s.airports;
  while (out.size() < n) {
    const size_t kind = r.below(10);
    LatLng p{0.0, 0.0};
    r.sphere(p.lat, p.lng);
    if (kind >= 4 && kind < 6 && !rings.xs.empty()) {
      const size_t v = r.below(rings.xs.size());
      p = near(r, {rings.ys[v], rings.xs[v]}, some_distance(r));
    } else if (kind == 6 && airports.size() > 0) {
      // Near an airport, or between two of its country (where the serving airport changes).
      const size_t a = r.below(airports.size());
      LatLng at{airports.lat[a], airports.lng[a]};
      const AirportIndex* index = s.country_index(airports.country_lower[a]);
      if (index != nullptr && r.below(2) == 0) {
        const Hit other =
            index->nearest_view(at, 2 + static_cast<int64_t>(r.below(3)), std::nullopt).back();
        at = {(at.lat + airports.lat[static_cast<size_t>(other.id)]) * 0.5,
              (at.lng + airports.lng[static_cast<size_t>(other.id)]) * 0.5};
      }
      p = near(r, at, some_distance(r));
    } else if (kind == 7) {
      p = near(r, {p.lat, r.below(2) == 0 ? 180.0 : -180.0}, some_distance(r));
    } else if (kind == 8) {
      p = near(r, {r.below(2) == 0 ? 90.0 : -90.0, p.lng}, some_distance(r));
    } else if (kind == 9) {
      // On the decided cells' grid lines, at any level, or next to them.
      const double per = DecidedGrid::PER_DEGREE * std::pow(DecidedGrid::SPLIT, r.below(5));
      p = {-90.0 + static_cast<double>(r.below(static_cast<size_t>(180 * per) + 1)) / per,
           -180.0 + static_cast<double>(r.below(static_cast<size_t>(360 * per))) / per};
      if (r.below(2) == 0) p.lng = std::nextafter(p.lng, r.below(2) == 0 ? 180.0 : -180.0);
      if (r.below(2) == 0)
        p.lat = std::clamp(std::nextafter(p.lat, r.below(2) == 0 ? 90.0 : -90.0), -90.0, 90.0);
    }
    out.push_back(p);
  }
  return out;
}

size_t identity_mismatches(const State& s, const std::vector<LatLng>& points, bool exports,
                           std::vector<std::string>& described, size_t keep) {
  size_t count = 0;
  for (const LatLng& p : points) {
    const Located with = nearest_in_country(s, p), without = nearest_in_country_procedure(s, p);
    const std::string country[2] = {
        exports ? take(gx_country_at(p.lat, p.lng)) : country_text(find_country_code(s, p)),
        country_text(find_country_code_procedure(s, p))};
    const std::string found[2] = {exports ? take(gx_find(p.lat, p.lng)) : find_text(s, with),
                                  find_text(s, without)};
    // What a set resolves against (the point's own country, the airport) must agree too.
    if (country[0] == country[1] && found[0] == found[1] && with.country == without.country &&
        with.index == without.index && with.error == without.error) {
      continue;
    }
    if (++count <= keep) {
      char at[64];
      std::snprintf(at, sizeof at, "(%.17g, %.17g)", p.lat, p.lng);
      described.push_back(std::string(at) + ": " + country[0] + " " + found[0] +
                          " with the cells, " + country[1] + " " + found[1] + " without");
    }
  }
  return count;
}

}  // namespace Gantrix::test
