#include "query/point_in_country.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <tuple>

#include "builder/state_builder.h"
#include "core/constants.h"
#include "query/country_rules.h"
#include "tests/support/oracles.h"
#include "tests/support/test_support.h"

namespace Gantrix {
namespace {

std::string name_of(std::optional<std::string_view> code) {
  return code ? std::string(*code) : "none";
}

// An axis-aligned rectangle ring, corners counter-clockwise from (x0, y0).
std::string box(double x0, double y0, double x1, double y1) {
  std::ostringstream o;
  o << x0 << ' ' << y0 << ',' << x1 << ' ' << y0 << ',' << x1 << ' ' << y1 << ',' << x0 << ' '
    << y1;
  return o.str();
}

// Countries AA and BB from two ring texts.
State two_countries(const std::string& a, const std::string& b) {
  return build_state("[]", test::countries_text({{"AA", "A", a}, {"BB", "B", b}}));
}

// Parity runs over all rings of a feature (a hole, an island in a lake). Overlaps go to the
// smaller innermost ring, then to the earlier feature whichever one a search meets first
// (the north/south rows swap two overlapping rings of equal area).
TEST(CountryExact, ParityThenTheSmallerRingThenDatasetOrder) {
  const char* holed = "0 0,10 0,10 10,0 10,0 0 | 4 4,6 4,6 6,4 6,4 4";
  const char* lake_isle = "0 0,10 0,10 10,0 10 | 2 2,8 2,8 8,2 8 | 3 3,7 3,7 7,3 7";
  const char *big = "0 0,10 0,10 10,0 10", *small = "2 2,4 2,4 4,2 4";
  const char *north = "0 1,4 1,4 5,0 5", *south = "0 0,4 0,4 4,0 4";
  // The last case: the isle, 4x4, beats the other country's 8x8.
  // clang-format off
  const std::tuple<const char*, const char*, double, const char*> cases[] = {
      {holed, "", 2, "aa"}, {holed, "", 5, "none"}, {lake_isle, "", 1, "aa"},
      {lake_isle, "", 2.5, "none"}, {lake_isle, "", 5, "aa"}, {big, small, 3, "bb"},
      {small, big, 3, "aa"}, {north, south, 2, "aa"}, {south, north, 2, "aa"},
      {lake_isle, "1 1,9 1,9 9,1 9", 5, "aa"}};
  // clang-format on
  for (const auto& [a, b, at, code] : cases) {
    EXPECT_EQ(name_of(country_exact(two_countries(a, b), {at, at})), code) << a << " / " << b;
  }
}

// Forty nested rings spanning the map would make the precomputed cells too costly to work
// out: the build gives them up and every point takes the ring test, with the same answers.
TEST(CountryExact, NestedWorldSpanningRingsSkipTheCells) {
  std::string rings;
  for (int k = 0; k < 40; ++k) {
    rings += (k > 0 ? " | " : "") + box(-179 + 0.1 * k, -89 + 0.1 * k, 179 - 0.1 * k, 89 - 0.1 * k);
  }
  const State s = two_countries(rings, box(0.2, 0.2, 0.4, 0.4));
  EXPECT_TRUE(s.countries.cells.cells.empty());
  for (const auto& [x, want] :
       {std::pair{-178.95, "aa"}, {-178.85, "none"}, {-175.15, "aa"}, {0.0, "none"}, {0.3, "bb"}}) {
    EXPECT_EQ(name_of(country_exact(s, {0.3, x})), want) << x;
  }
}

// Probes run radius by radius, each radius north first and then clockwise. A probe past 180
// continues from -180 and back; one past a pole comes down the far side of it.
TEST(FindCountryCode, ProbesTryNearerRadiiFirstThenNorthThenClockwise) {
  const struct {
    const char* why;
    std::string a, b;
    double lat, lng;
    const char* code;
  } cases[] = {
      {"0.05 east before 0.1 north", box(-0.5, 0.07, 0.5, 1), box(0.04, -0.01, 1, 0.01), 0, 0,
       "bb"},
      {"north before east", box(-0.01, 0.03, 0.01, 1), box(0.03, -0.01, 1, 0.01), 0, 0, "aa"},
      {"east before west", box(-1, -0.01, -0.03, 0.01), box(0.03, -0.01, 1, 0.01), 0, 0, "bb"},
      {"north-north-west last", box(5, 5, 6, 6), box(-0.9, 1.8, -0.1, 1.9), 0, 0, "bb"},
      {"2 degrees is the last radius", box(-1, -3, 1, -1.95), box(-1, 2.05, 1, 3), 0, 0, "aa"},
      {"nothing within 2 degrees", box(-1, -3, 1, -2.05), box(5, 5, 6, 6), 0, 0, "none"},
      {"east past 180", box(-180, -1, -179.9, 1), box(5, 5, 6, 6), 0, 179.99, "aa"},
      {"west past -180", box(5, 5, 6, 6), box(179.9, -1, 180, 1), 0, -179.99, "bb"},
      {"from 180 as from -180", box(-180, 0.02, -179, 1), box(179, -1, 180, -0.02), 0, 180, "aa"},
      {"on 180 as on -180", box(-180, -0.01, -179.99, 0.01), box(179.9, -1, 180, 1), 0, 180, "aa"},
      {"north over the pole", box(5, 89.9, 15, 89.97), box(-20, 0, -10, 1), 89.99, -170, "aa"},
      {"south over the pole", box(-20, 0, -10, 1), box(-85, -89.97, -75, -89.9), -89.99, 100, "bb"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(name_of(find_country_code(two_countries(c.a, c.b), {c.lat, c.lng})), c.code);
  }
}

// Fixed boxes (bounds included) beat outlines. A feature without a usable code has no
// envelope, so only the nearest airport within 1000 km can name a country there.
TEST(FindCountryCode, FixedBoxesFirstAndNearestAirportLast) {
  const State s = build_state(
      test::airports_text({{"AAA", "A", "A", "Zz", 0, 10}, {"BBB", "B", "B", "QQ", 0, 30}}),
      test::countries_text({{"JP", "J", box(125, 30, 145, 45)}, {"-99", "X", box(9, -1, 11, 1)}}));
  const struct {
    double lat, lng;
    const char* code;
  } cases[] = {
      {37.23, 131.85, "kr"},   {37.25, 131.87, "kr"}, {37.2299, 131.86, "jp"},
      {37.24, 131.8701, "jp"}, {-37.2, -12.5, "sh"},  {-49.7, 68.5, "tf"},
      {-54.9, -38.0, "gs"},    {-54.5, 3.2, "bv"},    {10.4, -109.1, "cp"},
      {10.41, -109.2, "none"}, {0, 10, "zz"},         {0, 18.9, "zz"},
      {0, 19.1, "none"},       {0, 21.5, "qq"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(name_of(find_country_code(s, {c.lat, c.lng})), c.code) << c.lat << "," << c.lng;
  }
}

// The rules above over the compiled-in outlines, against a plain scan of every envelope and
// ring (with the probes walked as written), at ring vertices, near them where borders and
// coasts are decided, anywhere on the sphere, and at the centres and corners of the cells
// whose answer is fixed.
TEST(FindCountryCode, AgreesWithAPlainScanOnTheCompiledInData) {
  const State& s = state();
  const auto scan = [&s](double lat, double lng) {
    return test::country_scan(s.countries, {lat, lng});
  };
  const auto scan_find = [&](double lat, double lng) -> std::optional<std::string_view> {
    if (auto code = special_country({lat, lng})) return code;
    if (auto code = scan(lat, lng)) return code;
    for (const double r : RADII) {
      for (size_t d = 0; d < DIRECTIONS.size(); d += 2) {
        if (auto code = scan(lat + DIRECTIONS[d] * r, lng + DIRECTIONS[d + 1] * r)) return code;
      }
    }
    return find_country_from_nearby_airports(s, {lat, lng});
  };
  const Rings& rings = s.countries.rings;
  for (size_t p = 0; p < rings.xs.size(); p += 7) {
    ASSERT_EQ(country_exact(s, {rings.ys[p], rings.xs[p]}), scan(rings.ys[p], rings.xs[p]))
        << rings.ys[p] << ", " << rings.xs[p];
  }
  std::mt19937_64 rng(20261206);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < 6000; ++i) {
    double lat = std::asin(2.0 * unit(rng) - 1.0) / DEG, lng = unit(rng) * 360.0 - 180.0;
    if (i % 3 != 0) {  // near a ring vertex
      const auto p = static_cast<size_t>(unit(rng) * static_cast<double>(rings.xs.size()));
      const double spread = i % 3 == 1 ? 1e-3 : 1.5;
      lat = std::clamp(rings.ys[p] + (unit(rng) - 0.5) * spread, -90.0, 90.0);
      lng = std::clamp(rings.xs[p] + (unit(rng) - 0.5) * spread, -180.0, 180.0);
    }
    ASSERT_EQ(country_exact(s, {lat, lng}), scan(lat, lng)) << lat << ", " << lng;
    ASSERT_EQ(find_country_code(s, {lat, lng}), scan_find(lat, lng)) << lat << ", " << lng;
  }
  const CountryCells& cells = s.countries.cells;
  constexpr double kStep = 1.0 / CountryCells::PER_DEGREE, kIn = 1e-9;
  size_t fixed = 0;
  for (size_t c = 0; c < cells.cells.size(); c += 11) {
    if (cells.cells[c] == CountryCells::MIXED) continue;
    ++fixed;
    const double x0 = -180.0 + static_cast<double>(c % CountryCells::W) * kStep;
    const double y0 = -90.0 + static_cast<double>(c / CountryCells::W) * kStep;
    for (const double x : {x0, x0 + kStep / 2, x0 + kStep - kIn}) {
      for (const double y : {y0, y0 + kStep / 2, y0 + kStep - kIn}) {
        ASSERT_EQ(country_exact(s, {y, x}), scan(y, x)) << y << ", " << x;
      }
    }
  }
  EXPECT_GT(fixed, cells.cells.size() / 11 / 2);  // most of the map is fixed
}

}  // namespace
}  // namespace Gantrix
