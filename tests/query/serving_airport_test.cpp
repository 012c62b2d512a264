// The airport that serves a point: the rule for countries without airports, and the answers
// of both airport tables the dataset pipeline ships, whichever of them is compiled in.
#include "query/serving_airport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "builder/dataset_texts.h"
#include "builder/state_builder.h"
#include "tests/support/test_support.h"

namespace Gantrix {
namespace {

// A country without airports borrows the nearest airport anywhere, but only within 4000 km.
// (Its own airport beating a nearer foreign one shows at "France by Geneva airport".)
TEST(NearestInCountry, EmptyCountryBorrowsTheNearestAirportWithin4000Km) {
  constexpr double kKmPerDegree = EARTH_RADIUS_KM * 3.141592653589793 / 180.0;
  for (const double km : {1000.0, 3990.0, 4010.0}) {
    // EE holds the point and no airport; GG's airport comes first but lies farther.
    const double deg = km / kKmPerDegree;
    const State s =
        build_state(test::airports_text({{"GGG", "G", "", "GG", 0.0, 0.5 - deg - 2.0},
                                         {"FFF", "F", "", "FF", 0.0, 0.5 + deg}}),
                    test::countries_text({{"EE", "Empty", "0 -0.5,1 -0.5,1 0.5,0 0.5,0 -0.5"}}));
    const Located loc = nearest_in_country(s, {0.0, 0.5});
    EXPECT_EQ(loc.country, "ee");
    EXPECT_EQ(loc.index, km < 4000.0 ? 1 : -1) << km;
    EXPECT_EQ(loc.error, km < 4000.0 ? "" : "no airports found in country ee or nearby") << km;
  }
}

std::string data_file(const std::string& name) {
  std::ifstream in(std::string(GANTRIX_DATA_DIR) + "/" + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string served(const State& s, double lat, double lng) {
  const Located loc = nearest_in_country(s, {lat, lng});
  return loc.index < 0 ? "none: " + loc.error : std::string(s.airports.iata[loc.index]);
}

// The default table answers with airports a traveller can fly from; the full one keeps every
// record and answers with the nearest field, whatever it serves. Diego Garcia's field is
// military: with the default table the territory borrows the nearest airport within reach.
TEST(NearestInCountry, EachAirportTableServesItsKindOfAirport) {
  const State scheduled = build_state(data_file("airports.json"), countries_json());
  const State all = build_state(data_file("airports-all.json"), countries_json());
  const struct {
    double lat, lng;
    std::set<std::string> scheduled;
    std::string all;
  } places[] = {
      {48.8566, 2.3522, {"ORY", "CDG"}, "LBG"},
      {-33.86785, 151.20732, {"SYD"}, "RSE"},
      {40.71427, -74.00597, {"LGA", "JFK", "EWR"}, "NYS"},
      {39.9075, 116.39723, {"PEK", "PKX"}, "NAY"},
      {51.50853, -0.12574, {"LCY", "LHR"}, "LCY"},
      {-7.3133, 72.4111, {"GAN"}, "NKW"},
  };
  for (const auto& p : places) {
    EXPECT_TRUE(p.scheduled.contains(served(scheduled, p.lat, p.lng)))
        << served(scheduled, p.lat, p.lng);
    EXPECT_EQ(served(all, p.lat, p.lng), p.all);
  }
}

}  // namespace
}  // namespace Gantrix
