// Which country and which airport serve a place: real places on the embedded datasets, and
// the rules that need a synthetic dataset to show.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "builder/state_builder.h"
#include "query/airport_object.h"
#include "query/serving_airport.h"
#include "query/set_registry.h"
#include "tests/support/test_support.h"

namespace Gantrix {
namespace {

using test::member;
using test::take;

std::string at(double lat, double lng) { return take(gx_country_at(lat, lng)); }
std::string find(double lat, double lng) { return take(gx_find(lat, lng)); }

// Real places: one per quadrant, enclaves and microstates without airports, small islands,
// both sides of the antimeridian, a pole and open sea. The synthetic tests pin the rules;
// these pin the data and the answer's form. A place written "City, Country" is also the
// expected display name.
TEST(Lookup, KnownPlaces) {
  const struct {
    const char* what;
    double lat, lng;
    std::string country, served_by;
  } places[] = {{"Paris, France", 48.8566, 2.3522, "fr", "fr"},
                {"Lima, Peru", -12.05, -77.04, "pe", "pe"},
                {"Sydney, Australia", -33.86, 151.21, "au", "au"},
                {"NYC", 40.71, -74.01, "us", "us"},
                {"Vatican City", 41.903, 12.453, "va", "it"},
                {"Monaco", 43.738, 7.425, "mc", "fr"},
                {"Maseru", -29.31, 27.48, "ls", "ls"},
                {"Honolulu", 21.31, -157.86, "us", "us"},
                {"Male", 4.1755, 73.5093, "mv", "mv"},
                {"Singapore", 1.35, 103.82, "sg", "sg"},
                {"Fiji at 179.9", -16.6, 179.9, "fj", "fj"},
                {"Fiji at -179.9", -16.7, -179.9, "fj", "fj"},
                {"Chukotka at -175", 65, -175, "ru", "ru"},
                {"Chukotka at 177", 65, 177, "ru", "ru"},
                {"South Pole", -90, 0, "aq", "aq"},
                {"France by Geneva airport", 46.3, 6.05, "fr", "fr"},
                {"North Atlantic", 30, -40, "", ""}};
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
    EXPECT_EQ(code.substr(0, 3) + std::string(s.airports.country_lower[id]),
              p.served_by + "." + p.served_by);
    EXPECT_EQ(got,
              "{\"code\":\"" + code + "\",\"name\":\"" + std::string(display_name(s, id)) + "\"}");
    if (std::string(p.what).find(", ") != std::string::npos) {
      EXPECT_EQ(member(got, "name"), p.what);
    }
    if (p.served_by != p.country) {  // borrowed: the nearest of all
      EXPECT_EQ(id, s.airport_indexes.all.nearest_one({p.lat, p.lng}, std::nullopt));
    }
    // No airport of the serving country is nearer.
    const double km = haversine(p.lat, p.lng, s.airports.lat[id], s.airports.lng[id]);
    for (size_t j = 0; j < s.airports.size(); ++j) {
      if (s.airports.country_lower[j] != p.served_by) continue;
      EXPECT_GE(haversine(p.lat, p.lng, s.airports.lat[j], s.airports.lng[j]), km)
          << s.airports.iata[j];
    }
  }
}

TEST(Coordinates, InvalidPointsAreRejectedAndLongitudesWrap) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const auto& [lat, lng] : {std::pair{90.0000001, 0.0},
                                 {-90.0000001, 0.0},
                                 {nan, 0.0},
                                 {0.0, nan},
                                 {inf, 0.0},
                                 {0.0, -inf}}) {
    EXPECT_EQ(at(lat, lng), "null") << lat << "," << lng;
    EXPECT_EQ(find(lat, lng), R"({"error":"invalid coordinates"})") << lat << "," << lng;
  }
  EXPECT_NE(find(90.0, 0.0), R"({"error":"invalid coordinates"})");

  EXPECT_EQ(normalize_lng(180.0), 180.0);
  EXPECT_EQ(normalize_lng(-180.0), -180.0);
  EXPECT_EQ(normalize_lng(-190.0), 170.0);
  EXPECT_EQ(at(47.0, 370.0), at(47.0, 10.0));
  EXPECT_EQ(at(65.0, 180.0) + at(65.0, -180.0), "\"ru\"\"ru\"");
  EXPECT_EQ(find(-16.5, 540.0), find(-16.5, -180.0));
}

// A longitude of 2^53 or more is an integer m * 2^e: its remainder mod 360, worked out
// exactly in integers, wrapped into -180..180.
double wrapped_exactly(double lng) {
  int exp = 0;
  const double m = std::frexp(std::fabs(lng), &exp);  // |lng| = m * 2^exp, 0.5 <= m < 1
  uint64_t r = static_cast<uint64_t>(std::ldexp(m, 53)) % 360;
  for (int k = 53; k < exp; ++k) r = r * 2 % 360;
  const double w = static_cast<double>(lng < 0 ? (360 - r) % 360 : r);
  return w > 180.0 ? w - 360.0 : w;
}

// Huge but finite longitudes are wrapped, not rejected, and land where their exact
// remainder does (adding 180 before the remainder lost it: 2^62 answered Minorca).
TEST(Coordinates, HugeLongitudesWrapToTheirExactRemainder) {
  EXPECT_EQ(wrapped_exactly(0x1p62), -176.0);
  EXPECT_EQ(normalize_lng(0x1p62), -176.0);
  EXPECT_EQ(at(40.0, 0x1p62), "null");
  const int64_t set = std::stoll(take(gx_set_new("CDG\x1fJFK\x1fNRT\x1fSYD\x1fNAN", 5)));
  for (const double lng : {0x1p53, -0x1p53, 0x1p62, -0x1p62, 1e300, -1e300,
                           std::numeric_limits<double>::max()}) {
    const double w = wrapped_exactly(lng);
    EXPECT_EQ(normalize_lng(lng), w == 180.0 ? -180.0 : w) << lng;
    for (const double lat : {-33.0, 0.0, 40.0, 48.0, 64.0}) {
      EXPECT_EQ(find(lat, lng), find(lat, w)) << lat << "," << lng;
      EXPECT_EQ(at(lat, lng), at(lat, w)) << lat << "," << lng;
      EXPECT_EQ(take(gx_set_nearest(set, lat, lng, nullptr, 0, 0.0, 0, 2)),
                take(gx_set_nearest(set, lat, w, nullptr, 0, 0.0, 0, 2)));
    }
  }
  take(gx_set_free(set));
}

// 180 and -180 are one meridian: every latitude along it gets one answer from both, and so
// does a point just off it, whose probes cross it.
TEST(Coordinates, BothSidesOfTheAntimeridianAnswerAlike) {
  int differ = 0;
  for (int k = -3600; k <= 3600; ++k) {
    const double lat = k * 0.025;
    if (at(lat, 180.0) != at(lat, -180.0)) {
      ++differ;
      ADD_FAILURE() << lat << ": " << at(lat, 180.0) << " vs " << at(lat, -180.0);
    }
    if (k % 8 == 0) {
      EXPECT_EQ(find(lat, 180.0), find(lat, -180.0)) << lat;
    }
  }
  EXPECT_EQ(differ, 0);
}

TEST(Airport, CodeIsTrimmedAndCaseFolded) {
  const std::string jfk =
      "{" + std::string(airport_fields(state(), state().airport_id("JFK"))) + "}";
  EXPECT_TRUE(jfk.starts_with(R"({"code":"us.jfk","iata":"JFK","name":)")) << jfk;
  for (const auto& [code, want] : {std::pair<const char*, std::string>{"JFK", jfk},
                                   {" jFk", jfk},
                                   {"\tjfk\n", jfk},
                                   {"\v\fJFK\r\r", jfk},
                                   {nullptr, "null"},
                                   {"", "null"},
                                   {" \t ", "null"},
                                   {"ZZZZ", "null"},
                                   {"J FK", "null"},
                                   {"JFKX", "null"}}) {
    EXPECT_EQ(take(gx_airport(code)), want) << (code ? code : "NULL");
  }
}

// The display name is "city, country name", with fallbacks to the airport name and the code.
TEST(AirportObject, DisplayNameFallsBackToNameAndCode) {
  const State s = build_state(test::airports_text({{"AAA", "Alpha Field", "Alphaville", "AA", 1, 1},
                                                   {"BBB", "Bravo", "Bravo", "AA", 2, 2},
                                                   {"CCC", "Charlie Strip", "", "AA", 1, -2.5},
                                                   {"DDD", "Delta", "Deltaton", "ZZ", 3, 3},
                                                   {"EEE", "Echo", "Echoville", "aa", 4, 4}}),
                              test::countries_text({{"AA", "Aland", "0 0,9 0,9 9,0 9,0 0"}}));
  const char* want[] = {"Alphaville, Aland", "Bravo, Aland", "Charlie Strip, Aland", "Deltaton, ZZ",
                        "Echoville, Aland"};
  for (int64_t id = 0; id < 5; ++id) EXPECT_EQ(display_name(s, id), want[id]) << id;
  EXPECT_EQ(airport_fields(s, 2),
            R"("code":"aa.ccc","iata":"CCC","name":"Charlie Strip, Aland","airport_name":)"
            R"("Charlie Strip","city":"","country":"aa","lat":1.0,"lng":-2.5)");
}

// A country without airports borrows the nearest airport anywhere, but only within 4000 km.
// (Its own airport beating a nearer foreign one shows at "France by Geneva airport".)
TEST(NearestInCountry, EmptyCountryBorrowsTheNearestAirportWithin4000Km) {
  constexpr double kKmPerDegree = 6371.0 * 3.141592653589793 / 180.0;
  for (const double km : {1000.0, 3990.0, 4010.0}) {
    SCOPED_TRACE(km);
    // EE holds the point and no airport; GG's airport comes first but lies farther.
    const double deg = km / kKmPerDegree;
    const State s =
        build_state(test::airports_text({{"GGG", "G", "", "GG", 0.0, 0.5 - deg - 2.0},
                                         {"FFF", "F", "", "FF", 0.0, 0.5 + deg}}),
                    test::countries_text({{"EE", "Empty", "0 -0.5,1 -0.5,1 0.5,0 0.5,0 -0.5"}}));
    const Located loc = nearest_in_country(s, {0.0, 0.5});
    EXPECT_EQ(loc.country, "ee");
    EXPECT_EQ(loc.index, km < 4000.0 ? 1 : -1);
    EXPECT_EQ(loc.error, km < 4000.0 ? "" : "no airports found in country ee or nearby");
  }
}

}  // namespace
}  // namespace Gantrix
