#include "query/point_in_country.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "builder/state_builder.h"
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

// Boundary points on south and west sides are inside; a ray through a vertex toggles once
// per edge whose other end lies north. Each ring sits behind another one in the store, and
// the tall one has two latitude bands.
TEST(Rings, ContainsAppliesTheEvenOddRuleOnEdgesAndVertices) {
  const char* square = "0 0,1 0,1 1,0 1,0 0";
  const char* notch = "0 0,6 0,6 4,3 1,0 4";  // vertex (3,1) with both edges going north
  const char* peak = "0 0,3 3,6 0,6 4,0 4";   // vertex (3,3) with both edges going south
  const char* pass = "0 0,4 0,4 2,6 4,0 4";   // vertex (4,2) the outline passes through
  const char* tall =
      "0 0,4 0,4 2,4 4,4 6,4 8,4 10,4 12,4 14,4 16,0 16,0 14,0 12,0 10,0 8,0 6,0 4,0 2";
  const struct {
    const char* ring;
    double x, y;
    bool inside;
  } cases[] = {
      {square, 0, 0.5, true},  {square, 0.5, 0, true},   {square, 1, 0.5, false},
      {square, 0.5, 1, false}, {square, 0.5, 0.5, true}, {square, -0.5, 0.5, false},
      {notch, 1, 1, true},     {notch, 4, 1, true},      {notch, 3, 2, false},
      {peak, 1, 3, true},      {peak, 5, 3, true},       {peak, 3, 2, false},
      {pass, 1, 2, true},      {pass, 5, 2, false},      {tall, 2, 8, true},
      {tall, 0, 8, true},      {tall, 4, 8, false},      {tall, 2, 15.99, true},
      {tall, 2, 7.99, true},   {tall, 2, 16, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.ring << " at " << c.x << "," << c.y);
    Rings rings;
    test::add_rings(rings, std::string("-9 -9,-8 -9,-8 -8,-9 -8,-9 -9 | ") + c.ring);
    EXPECT_EQ(rings.contains(1, {c.y, c.x}), c.inside);
  }
}

// Parity runs over all rings of a feature (a hole, an island in a lake). Overlaps go to the
// smaller innermost ring, then to the earlier feature whichever one a search meets first
// (the north/south rows swap two overlapping rings of equal area).
TEST(PointInCountry, ExactTestUsesParityThenTheSmallerRingThenDatasetOrder) {
  const char* holed = "0 0,10 0,10 10,0 10,0 0 | 4 4,6 4,6 6,4 6,4 4";
  const char* lake_isle = "0 0,10 0,10 10,0 10 | 2 2,8 2,8 8,2 8 | 3 3,7 3,7 7,3 7";
  const char* big = "0 0,10 0,10 10,0 10";
  const char* small = "2 2,4 2,4 4,2 4";
  const char* north = "0 1,4 1,4 5,0 5";
  const char* south = "0 0,4 0,4 4,0 4";
  const struct {
    const char *a, *b;
    double x, y;
    const char* code;
  } cases[] = {
      {holed, "", 2, 2, "aa"},
      {holed, "", 5, 5, "none"},
      {lake_isle, "", 1, 1, "aa"},
      {lake_isle, "", 2.5, 2.5, "none"},
      {lake_isle, "", 5, 5, "aa"},
      {big, small, 3, 3, "bb"},
      {small, big, 3, 3, "aa"},
      {north, south, 2, 2, "aa"},
      {south, north, 2, 2, "aa"},
      {lake_isle, "1 1,9 1,9 9,1 9", 5, 5, "aa"},  // isle 4x4 beats 8x8
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << " / " << c.b << " at " << c.x << "," << c.y);
    EXPECT_EQ(name_of(country_exact(two_countries(c.a, c.b), {c.y, c.x})), c.code);
  }
}

// Forty nested rings spanning the map would make the precomputed cells too costly to work
// out: the load gives them up and every point takes the ring test, with the same answers.
TEST(PointInCountry, NestedWorldSpanningRingsSkipTheCells) {
  std::string rings;
  for (int k = 0; k < 40; ++k) {
    if (k > 0) rings += " | ";
    rings += box(-179 + 0.1 * k, -89 + 0.1 * k, 179 - 0.1 * k, 89 - 0.1 * k);
  }
  const State s = two_countries(rings, box(0.2, 0.2, 0.4, 0.4));
  EXPECT_TRUE(s.countries.cells.cells.empty());
  const struct {
    double x, y;
    const char* code;
  } cases[] = {{-178.95, 0, "aa"},
               {-178.85, 0, "none"},
               {-175.15, 5, "aa"},
               {0, 0, "none"},
               {0.3, 0.3, "bb"}};
  for (const auto& c : cases) {
    EXPECT_EQ(name_of(country_exact(s, {c.y, c.x})), c.code) << c.x << "," << c.y;
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
      {"2 degrees is the last radius", box(-1, -3, 1, -1.95), box(-1, 2.05, 1, 3), 0, 0, "aa"},
      {"nothing within 2 degrees", box(-1, -3, 1, -2.05), box(5, 5, 6, 6), 0, 0, "none"},
      {"east past 180", box(-180, -1, -179.9, 1), box(5, 5, 6, 6), 0, 179.99, "aa"},
      {"west past -180", box(5, 5, 6, 6), box(179.9, -1, 180, 1), 0, -179.99, "bb"},
      {"from 180 as from -180", box(-180, 0.02, -179, 1), box(179, -1, 180, -0.02), 0, 180, "aa"},
      {"from -180 as from 180", box(-180, 0.02, -179, 1), box(179, -1, 180, -0.02), 0, -180, "aa"},
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
      {37.24, 131.8701, "jp"}, {-37.2, -12.5, "sh"},  {-37.0, -12.1, "sh"},
      {-49.7, 68.5, "tf"},     {-48.9, 70.6, "tf"},   {-54.9, -38.0, "gs"},
      {-53.9, -35.5, "gs"},    {-54.5, 3.2, "bv"},    {-54.3, 3.5, "bv"},
      {10.2, -109.3, "cp"},    {10.4, -109.1, "cp"},  {10.41, -109.2, "none"},
      {0, 10, "zz"},           {0, 18.9, "zz"},       {0, 19.1, "none"},
      {0, 21.5, "qq"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lat << "," << c.lng);
    EXPECT_EQ(name_of(find_country_code(s, {c.lat, c.lng})), c.code);
  }
}

}  // namespace
}  // namespace Gantrix
