// Which country and which airport serve a place: real places on the embedded datasets, and
// the rules that need a synthetic dataset to show.
#include <cmath>
#include <limits>
#include <string>

#include "api/airport_object.h"
#include "data/state.h"
#include "query/gantrix_ext.h"
#include "spatial/point_in_country.h"
#include "tests/query/query_test_util.h"

namespace Gantrix {
namespace {

using test::member;
using test::take;

std::string at(double lat, double lng) { return take(gx_country_at(lat, lng)); }
std::string find(double lat, double lng) { return take(gx_find(lat, lng)); }

struct Place {
  const char* what;
  double lat, lng;
  std::string country;  // "" for none
};

TEST(CountryAt, KnownPlaces) {
  const Place places[] = {
      {"Paris", 48.86, 2.35, "fr"}, {"Cairo", 30.04, 31.24, "eg"}, {"Tokyo", 35.68, 139.65, "jp"},
      {"Cape Town", -33.92, 18.42, "za"}, {"Delhi", 28.61, 77.21, "in"},
      {"Sydney", -33.87, 151.21, "au"}, {"New York", 40.71, -74.01, "us"},
      {"Mexico City", 19.43, -99.13, "mx"}, {"Sao Paulo", -23.55, -46.63, "br"},
      {"Lima", -12.05, -77.04, "pe"}, {"Vatican City", 41.903, 12.453, "va"},
      {"Monaco", 43.738, 7.425, "mc"}, {"San Marino", 43.94, 12.46, "sm"},
      {"Maseru", -29.31, 27.48, "ls"}, {"Singapore", 1.35, 103.82, "sg"},
      {"Reykjavik", 64.15, -21.94, "is"}, {"Honolulu", 21.31, -157.86, "us"},
      {"Male", 4.1755, 73.5093, "mv"}, {"Suva", -18.14, 178.44, "fj"},
      {"Liancourt Rocks box", 37.24, 131.86, "kr"}, {"Tristan da Cunha box", -37.1, -12.3, "sh"},
      {"Fiji, 179.9", -16.6, 179.9, "fj"}, {"Fiji, -179.9", -16.7, -179.9, "fj"},
      {"Chukotka, -175", 65.0, -175.0, "ru"}, {"Chukotka, 177", 65.0, 177.0, "ru"},
      {"South Pole", -90.0, 0.0, "aq"}, {"North Atlantic", 30.0, -40.0, ""},
      {"Southern Indian Ocean", -40.0, 80.0, ""}};
  for (const Place& p : places) {
    EXPECT_EQ(at(p.lat, p.lng), p.country.empty() ? "null" : '"' + p.country + '"') << p.what;
  }
  // Off the coast, outside every outline: only the probes around the point place it.
  for (const auto& [lat, lng] : {std::pair{43.68, 7.30}, {48.35, -4.85}, {43.2, 5.3}}) {
    ASSERT_FALSE(country_exact(state(), lat, lng)) << "no longer off the coast";
    EXPECT_EQ(at(lat, lng), "\"fr\"") << lat << "," << lng;
  }
}

TEST(Coordinates, InvalidPointsAreRejectedByBothQueries) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const auto& [lat, lng] : {std::pair{90.0000001, 0.0}, {-90.0000001, 0.0}, {nan, 0.0},
                                 {0.0, nan}, {inf, 0.0}, {0.0, inf}, {-inf, 0.0}, {0.0, -inf}}) {
    EXPECT_EQ(at(lat, lng), "null") << lat << "," << lng;
    EXPECT_EQ(find(lat, lng), R"({"error":"invalid coordinates"})") << lat << "," << lng;
  }
  EXPECT_NE(member(find(90.0, 0.0), "code"), "<absent>");
  EXPECT_NE(member(find(-90.0, 0.0), "code"), "<absent>");
  EXPECT_EQ(find(30.0, -40.0), R"({"error":"no country found for coordinates"})");
}

TEST(Coordinates, LongitudesWrapIntoOneTurn) {
  EXPECT_EQ(normalize_lng(180.0), 180.0);
  EXPECT_EQ(normalize_lng(-180.0), -180.0);
  EXPECT_EQ(normalize_lng(-190.0), 170.0);
  EXPECT_EQ(at(47.0, 370.0), at(47.0, 10.0));
  EXPECT_EQ(at(65.0, 180.0), "\"ru\"");
  EXPECT_EQ(at(65.0, -180.0), "\"ru\"");
  EXPECT_EQ(find(-16.5, 540.0), find(-16.5, -180.0));
  // Huge but finite: normalised, not rejected.
  EXPECT_EQ(find(48.0, 1e300), find(48.0, std::fmod(1e300 + 180.0, 360.0) - 180.0));
  EXPECT_NE(member(find(48.0, 1e300), "code"), "<absent>");
}

TEST(Find, NamesTheNearestAirportOfThePointsCountry) {
  // country is the airport's: for the small states without airports, a neighbour's.
  const Place places[] = {
      {"Paris, France", 48.8566, 2.3522, "fr"}, {"Berlin, Germany", 52.52, 13.405, "de"},
      {"Lima, Peru", -12.0464, -77.0428, "pe"}, {"Sydney, Australia", -33.8688, 151.2093, "au"},
      {"in France by Geneva airport", 46.3, 6.05, "fr"},
      {"Vatican City", 41.903, 12.453, "it"}, {"San Marino", 43.94, 12.46, "it"},
      {"Monaco", 43.738, 7.425, "fr"}};
  const State& s = state();
  for (const Place& p : places) {
    SCOPED_TRACE(p.what);
    const std::string got = find(p.lat, p.lng);
    const std::string code = member(got, "code");
    ASSERT_EQ(code.substr(0, 3), p.country + ".") << got;
    const int64_t id = s.airport_id(upper(code.substr(3)));
    ASSERT_EQ(s.ap_country_lower.at(id), p.country);
    EXPECT_EQ(got, "{\"code\":\"" + code + "\",\"name\":\"" + display_name(s, id) + "\"}");
    // A place written "City, Country" is also the expected display name.
    if (std::string(p.what).find(',') != std::string::npos) {
      EXPECT_EQ(member(got, "name"), p.what);
    }
    if (at(p.lat, p.lng) != '"' + p.country + '"') {  // borrowed: the nearest of all
      EXPECT_EQ(id, s.all_airports->nearest_one(p.lat, p.lng, std::nullopt));
    }
    const double km = haversine(p.lat, p.lng, s.ap_lat[id], s.ap_lng[id]);
    for (size_t j = 0; j < s.airports.size(); ++j) {
      if (s.ap_country_lower[j] != p.country) continue;
      EXPECT_GE(haversine(p.lat, p.lng, s.ap_lat[j], s.ap_lng[j]), km) << s.ap_iata[j];
    }
  }
}

TEST(Airport, CodeIsTrimmedAndCaseFolded) {
  const std::string jfk = take(gx_airport("JFK"));
  EXPECT_EQ(jfk.rfind(R"({"code":"us.jfk","iata":"JFK","name":)", 0), 0u) << jfk;
  EXPECT_NE(jfk.find(R"(","country":"us","lat":)"), std::string::npos) << jfk;
  for (const char ws : std::string(" \t\n\v\f\r")) {
    const std::string pad(1, ws);
    EXPECT_EQ(take(gx_airport((pad + "jFk" + pad + pad).c_str())), jfk) << int(ws);
  }
  for (const char* none : {static_cast<const char*>(nullptr), "", " \t ", "ZZZZ", "J FK", "JFKX"}) {
    EXPECT_EQ(take(gx_airport(none)), "null") << (none ? none : "NULL");
  }
}

TEST(AirportObject, DisplayNameFallsBackToNameAndCode) {
  const State s(test::airports_text({{"AAA", "Alpha Field", "Alphaville", "AA", 1, 1},
                                     {"BBB", "Bravo", "Bravo", "AA", 2, 2},
                                     {"CCC", "Charlie Strip", "", "AA", 1, -2.5},
                                     {"DDD", "Delta", "Deltaton", "ZZ", 3, 3},
                                     {"EEE", "Echo", "Echoville", "aa", 4, 4}}),
                test::countries_text({{"AA", "Aland", "0 0,9 0,9 9,0 9,0 0"}}));
  const char* want[] = {"Alphaville, Aland", "Bravo, Aland", "Charlie Strip, Aland",
                        "Deltaton, ZZ", "Echoville, Aland"};
  for (int64_t id = 0; id < 5; ++id) EXPECT_EQ(display_name(s, id), want[id]) << id;
  std::string fields;
  append_airport_fields(fields, s, 2);
  EXPECT_EQ(fields,
            R"("code":"aa.ccc","iata":"CCC","name":"Charlie Strip, Aland","airport_name":)"
            R"("Charlie Strip","city":"","country":"aa","lat":1.0,"lng":-2.5)");
}

TEST(NearestInCountry, OwnAirportWinsOverNearerForeignOne) {
  const State s(test::airports_text({{"FAR", "F", "", "AA", 8, 8}, {"NXT", "N", "", "BB", 1, 0}}),
                test::countries_text({{"AA", "Aland", "0 0,9 0,9 9,0 9,0 0"}}));
  const Located loc = nearest_in_country(s, 1.0, 0.5);
  EXPECT_EQ(loc.country, "aa");
  EXPECT_EQ(loc.index, 0);
}

TEST(NearestInCountry, EmptyCountryBorrowsTheNearestAirportWithin4000Km) {
  constexpr double kKmPerDegree = 6371.0 * 3.141592653589793 / 180.0;
  for (const double km : {1000.0, 2500.0, 3500.0, 3990.0, 4010.0}) {
    SCOPED_TRACE(km);
    // EE holds the point and no airport; GG's airport comes first but lies farther.
    const double deg = km / kKmPerDegree;
    const State s(test::airports_text({{"GGG", "G", "", "GG", 0.0, 0.5 - deg - 2.0},
                                       {"FFF", "F", "", "FF", 0.0, 0.5 + deg}}),
                  test::countries_text({{"EE", "Empty", "0 -0.5,1 -0.5,1 0.5,0 0.5,0 -0.5"}}));
    const Located loc = nearest_in_country(s, 0.0, 0.5);
    EXPECT_EQ(loc.country, "ee");
    EXPECT_EQ(loc.index, km < 4000.0 ? 1 : -1);
    EXPECT_EQ(loc.error, km < 4000.0 ? "" : "no airports found in country ee or nearby");
  }
}

}  // namespace
}  // namespace Gantrix
