// The ring index behind the country search must answer exactly as the plain walk over the
// envelope tree does, point for point and probe for probe.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "api/constants.h"
#include "spatial/point_in_country.h"

namespace Gantrix {
namespace {

std::optional<std::string_view> walk_exact(const State& s, double lat, double lng) {
  if (s.country_tree.root < 0) return std::nullopt;
  const int64_t e = exact_in(s, s.country_tree.root, -1, lng, lat);
  if (e < 0) return std::nullopt;
  return s.env_code[e];
}

std::optional<std::string_view> walk_find(const State& s, double lat, double lng) {
  if (auto code = special_country(lat, lng)) return code;
  if (auto code = walk_exact(s, lat, lng)) return code;
  for (const double r : RADII) {
    for (size_t d = 0; d < DIRECTIONS.size(); d += 2) {
      if (auto code = walk_exact(s, lat + DIRECTIONS[d] * r, lng + DIRECTIONS[d + 1] * r)) {
        return code;
      }
    }
  }
  return find_country_from_nearby_airports(s, lat, lng);
}

TEST(CountryIndex, AgreesWithTheEnvelopeWalkOnTheEmbeddedData) {
  const State& s = state();
  std::mt19937_64 rng(20261206);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < 6000; ++i) {
    double lat, lng;
    if (i % 3 == 0) {  // uniform on the sphere
      lat = std::asin(2.0 * unit(rng) - 1.0) / DEG;
      lng = unit(rng) * 360.0 - 180.0;
    } else {  // near a ring vertex, where borders and coasts are decided
      const size_t p = static_cast<size_t>(unit(rng) * static_cast<double>(s.rings.xs.size()));
      const double spread = i % 3 == 1 ? 1e-3 : 1.5;
      lat = std::clamp(s.rings.ys[p] + (unit(rng) - 0.5) * spread, -90.0, 90.0);
      lng = std::clamp(s.rings.xs[p] + (unit(rng) - 0.5) * spread, -180.0, 180.0);
    }
    SCOPED_TRACE(testing::Message() << lat << ", " << lng);
    ASSERT_EQ(country_exact(s, lat, lng), walk_exact(s, lat, lng));
    ASSERT_EQ(find_country_code(s, lat, lng), walk_find(s, lat, lng));
  }
}

TEST(CountryIndex, AgreesOnRingVerticesExactly) {
  const State& s = state();
  for (size_t p = 0; p < s.rings.xs.size(); p += 7) {
    const double lat = s.rings.ys[p], lng = s.rings.xs[p];
    ASSERT_EQ(country_exact(s, lat, lng), walk_exact(s, lat, lng)) << lat << ", " << lng;
  }
}

}  // namespace
}  // namespace Gantrix
