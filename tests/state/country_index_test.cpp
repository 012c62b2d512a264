// The ring grid and the cells behind the country search must answer exactly as the plain
// walk over an envelope tree with a crossing-number ring test does, point for point and
// probe for probe.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/constants.h"
#include "query/country_rules.h"
#include "query/point_in_country.h"
#include "spatial/country_cells.h"
#include "tests/support/oracles.h"

namespace Gantrix {
namespace {

std::optional<std::string_view> walk_exact(const State& s, double lat, double lng) {
  return test::country_scan(s.countries, {lat, lng});
}

std::optional<std::string_view> walk_find(const State& s, double lat, double lng) {
  if (auto code = special_country({lat, lng})) return code;
  if (auto code = walk_exact(s, lat, lng)) return code;
  for (const double r : RADII) {
    for (size_t d = 0; d < DIRECTIONS.size(); d += 2) {
      if (auto code = walk_exact(s, lat + DIRECTIONS[d] * r, lng + DIRECTIONS[d + 1] * r)) {
        return code;
      }
    }
  }
  return find_country_from_nearby_airports(s, {lat, lng});
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
      const size_t p =
          static_cast<size_t>(unit(rng) * static_cast<double>(s.countries.rings.xs.size()));
      const double spread = i % 3 == 1 ? 1e-3 : 1.5;
      lat = std::clamp(s.countries.rings.ys[p] + (unit(rng) - 0.5) * spread, -90.0, 90.0);
      lng = std::clamp(s.countries.rings.xs[p] + (unit(rng) - 0.5) * spread, -180.0, 180.0);
    }
    SCOPED_TRACE(testing::Message() << lat << ", " << lng);
    ASSERT_EQ(country_exact(s, {lat, lng}), walk_exact(s, lat, lng));
    ASSERT_EQ(find_country_code(s, {lat, lng}), walk_find(s, lat, lng));
  }
}

TEST(CountryIndex, AgreesOnRingVerticesExactly) {
  const State& s = state();
  for (size_t p = 0; p < s.countries.rings.xs.size(); p += 7) {
    const double lat = s.countries.rings.ys[p], lng = s.countries.rings.xs[p];
    ASSERT_EQ(country_exact(s, {lat, lng}), walk_exact(s, lat, lng)) << lat << ", " << lng;
  }
}

// A cell that fixes its answer must fix the plain walk's answer, at its centre and at its
// corners (the corners on its far sides just inside it).
TEST(CountryIndex, FixedCellsAnswerAsTheWalkDoes) {
  const State& s = state();
  const CountryCells& cells = s.countries.cells;
  ASSERT_FALSE(cells.cells.empty());
  constexpr double kStep = 1.0 / CountryCells::PER_DEGREE, kIn = 1e-9;
  size_t fixed = 0;
  for (size_t c = 0; c < cells.cells.size(); c += 11) {
    const int16_t e = cells.cells[c];
    if (e == CountryCells::MIXED) continue;
    ++fixed;
    const double x0 = -180.0 + static_cast<double>(c % CountryCells::W) * kStep;
    const double y0 = -90.0 + static_cast<double>(c / CountryCells::W) * kStep;
    const std::optional<std::string_view> want =
        e >= 0 ? std::optional<std::string_view>(s.countries.envelope_code[static_cast<size_t>(e)])
               : std::nullopt;
    const double xs[] = {x0, x0 + kStep / 2, x0 + kStep - kIn},
                 ys[] = {y0, y0 + kStep / 2, y0 + kStep - kIn};
    for (const double x : xs) {
      for (const double y : ys) {
        ASSERT_EQ(cells.at({y, x}), e) << y << ", " << x;
        ASSERT_EQ(walk_exact(s, y, x), want) << y << ", " << x;
      }
    }
  }
  EXPECT_GT(fixed, cells.cells.size() / 11 / 2);  // most of the map is fixed
}

}  // namespace
}  // namespace Gantrix
