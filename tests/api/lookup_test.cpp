// gx_find, gx_country_at and gx_airport on the compiled-in data: real places, the answers'
// form, and what callers may pass.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "core/text.h"
#include "query/airport_object.h"
#include "tests/support/oracles.h"
#include "tests/support/test_support.h"

namespace Gantrix {
namespace {

using test::member;
using test::take;

std::string at(double lat, double lng) { return take(gx_country_at(lat, lng)); }
std::string find(double lat, double lng) { return take(gx_find(lat, lng)); }

// One place per quadrant, enclaves and microstates without airports, small islands, both
// sides of the antimeridian, a pole and open sea. A place written "City, Country" is also
// the expected display name. No airport of the serving country may be nearer than the one
// found, and a country without airports borrows the nearest airport of all.
TEST(Find, KnownPlaces) {
  // clang-format off
  const struct { const char* what; double lat, lng; std::string country, served_by; } places[] = {
      {"Paris, France", 48.8566, 2.3522, "fr", "fr"}, {"Lima, Peru", -12.05, -77.04, "pe", "pe"},
      {"Sydney, Australia", -33.86, 151.21, "au", "au"}, {"Vatican City", 41.903, 12.453, "va", "it"},
      {"Monaco", 43.738, 7.425, "mc", "fr"}, {"Male", 4.1755, 73.5093, "mv", "mv"},
      {"Fiji at 179.9", -16.6, 179.9, "fj", "fj"}, {"Fiji at -179.9", -16.7, -179.9, "fj", "fj"},
      {"Chukotka at 177", 65, 177, "ru", "ru"}, {"South Pole", -90, 0, "aq", "aq"},
      {"France by Geneva airport", 46.3, 6.05, "fr", "fr"}, {"North Atlantic", 30, -40, "", ""}};
  // clang-format on
  const State& s = state();
  for (const auto& p : places) {
    SCOPED_TRACE(p.what);
    EXPECT_EQ(at(p.lat, p.lng), p.country.empty() ? "null" : '"' + p.country + '"');
    const std::string got = find(p.lat, p.lng), code = member(got, "code");
    if (p.served_by.empty()) {
      EXPECT_EQ(got, R"({"error":"no country found for coordinates"})");
      continue;
    }
    const int64_t id = s.airport_id(upper(code.substr(3)));
    ASSERT_GE(id, 0) << got;
    EXPECT_EQ(s.airports.country_lower[id], p.served_by);
    const std::string name = std::string(p.what).find(", ") == std::string::npos
                                 ? std::string(display_name(s, id))
                                 : p.what;
    EXPECT_EQ(got, R"({"code":")" + code + R"(","name":")" + name + "\"}");
    if (p.served_by != p.country) {
      EXPECT_EQ(id, s.airport_indexes.all.nearest_one({p.lat, p.lng}, std::nullopt));
    }
    const double km = haversine(p.lat, p.lng, s.airports.lat[id], s.airports.lng[id]);
    for (size_t j = 0; j < s.airports.size(); ++j) {
      if (s.airports.country_lower[j] == p.served_by) {
        EXPECT_GE(haversine(p.lat, p.lng, s.airports.lat[j], s.airports.lng[j]), km) << j;
      }
    }
  }
}

TEST(Find, InvalidPointsAreRefusedAndLongitudesWrap) {
  // clang-format off
  const std::pair<double, double> invalid[] = {{90.0000001, 0.0}, {-90.0000001, 0.0}, {NAN, 0.0},
                                               {0.0, NAN}, {INFINITY, 0.0}, {0.0, -INFINITY}};
  // clang-format on
  for (const auto& [lat, lng] : invalid) {
    EXPECT_EQ(at(lat, lng) + find(lat, lng), R"(null{"error":"invalid coordinates"})") << lat;
  }
  EXPECT_NE(find(90.0, 0.0), R"({"error":"invalid coordinates"})");
  EXPECT_EQ(at(47.0, 370.0), at(47.0, 10.0));
  EXPECT_EQ(find(-16.5, 540.0), find(-16.5, -180.0));
}

// Huge but finite longitudes are wrapped, not refused, and answer as their exact remainder
// does, in every function that takes a point.
TEST(Find, HugeLongitudesAnswerAsTheirExactRemainder) {
  EXPECT_EQ(at(40.0, 0x1p62), "null");
  const int64_t set = std::stoll(take(gx_set_new("CDG\x1fJFK\x1fNRT\x1fSYD\x1fNAN", 5)));
  for (const double lng : {0x1p53, -0x1p53, 0x1p62, -0x1p62, 1e300, -1e300, DBL_MAX}) {
    const double w = test::wrapped_exactly(lng);
    for (const double lat : {-33.0, 0.0, 40.0, 48.0, 64.0}) {
      EXPECT_EQ(find(lat, lng) + at(lat, lng), find(lat, w) + at(lat, w)) << lat << "," << lng;
      EXPECT_EQ(take(gx_set_nearest(set, lat, lng, nullptr, 0, 0.0, 0, 2)),
                take(gx_set_nearest(set, lat, w, nullptr, 0, 0.0, 0, 2)));
    }
  }
  take(gx_set_free(set));
}

// 180 and -180 are one meridian: every latitude along it gets one answer from both, and so
// does a point just off it, whose probes cross it.
TEST(Find, BothSidesOfTheAntimeridianAnswerAlike) {
  for (int k = -3600; k <= 3600; ++k) {
    const double lat = k * 0.025;
    ASSERT_EQ(at(lat, 180.0), at(lat, -180.0)) << lat;
    if (k % 8 == 0) {
      ASSERT_EQ(find(lat, 180.0), find(lat, -180.0)) << lat;
    }
  }
}

TEST(Airport, CodeIsTrimmedAndCaseFolded) {
  const std::string jfk = take(gx_airport("JFK"));
  EXPECT_TRUE(jfk.starts_with(R"({"code":"us.jfk","iata":"JFK","name":)")) << jfk;
  for (const char* code : {" jFk", "\tjfk\n", "\v\fJFK\r\r"})
    EXPECT_EQ(take(gx_airport(code)), jfk);
  for (const char* code : {static_cast<const char*>(nullptr), "", " \t ", "J FK", "JFKX"}) {
    EXPECT_EQ(take(gx_airport(code)), "null") << (code ? code : "NULL");
  }
}

}  // namespace
}  // namespace Gantrix
