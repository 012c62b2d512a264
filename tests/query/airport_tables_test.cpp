// The two airport tables the dataset pipeline ships, whichever of them is compiled in: the
// default one (scheduled passenger service) answers with airports a traveller can fly from,
// the full one keeps every record and answers as before.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "builder/dataset_texts.h"
#include "builder/state_builder.h"
#include "query/serving_airport.h"
#include "query/set_registry.h"
#include "state/compiled_state.h"

namespace Gantrix {
namespace {

std::string data_file(const std::string& name) {
  std::ifstream in(std::string(GANTRIX_DATA_DIR) + "/" + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Tables {
  State scheduled, all;
};
const Tables& tables() {
  static const Tables t{build_state(data_file("airports.json"), countries_json()),
                        build_state(data_file("airports-all.json"), countries_json())};
  return t;
}

std::string answer(const State& s, double lat, double lng) {
  const Located loc = nearest_in_country(s, {lat, lng});
  return loc.index < 0 ? "none: " + loc.error : std::string(s.airports.iata[loc.index]);
}

TEST(AirportTables, TheDefaultTableIsPartOfTheFullOneRecordForRecord) {
  const State &sched = tables().scheduled, &all = tables().all;
  ASSERT_GT(sched.airports.size(), 3500u);
  ASSERT_GT(all.airports.size(), 8000u);
  // Airports that moved with their code, repaired in the default table by reviewed overrides
  // (datasets/pipeline/overrides.json): same code, city and country, new name and position.
  const std::set<std::string> moved = {"CGY", "HSC", "MBI", "NKC", "SWA", "TAO", "VTZ", "ZHA"};
  for (size_t i = 0; i < sched.airports.size(); ++i) {
    const std::string code(sched.airports.iata[i]);
    const int64_t j = all.airport_id(code);
    ASSERT_GE(j, 0) << code;
    EXPECT_EQ(sched.airports.city[i], all.airports.city[j]);
    EXPECT_EQ(sched.airports.country[i], all.airports.country[j]);
    if (moved.count(code) != 0) {
      EXPECT_NE(sched.airports.lat[i], all.airports.lat[j]) << code;
      continue;
    }
    EXPECT_EQ(sched.airports.name[i], all.airports.name[j]);
    EXPECT_EQ(sched.airports.lat[i], all.airports.lat[j]);
    EXPECT_EQ(sched.airports.lng[i], all.airports.lng[j]);
  }
  // The compiled-in table is one of the two.
  const size_t n = state().airports.size();
  EXPECT_TRUE(n == sched.airports.size() || n == all.airports.size()) << n;
}

// Codes without scheduled service are unknown to the default table, as a lookup or a set
// member would find them.
TEST(AirportTables, AirportsWithoutServiceAreOnlyInTheFullTable) {
  for (const char* code : {"LBG", "NYS", "RSE", "NAY", "ULC", "HHR", "BBU", "PNH", "ISL"}) {
    EXPECT_LT(tables().scheduled.airport_id(code), 0) << code;
    EXPECT_GE(tables().all.airport_id(code), 0) << code;
  }
  for (const char* code : {"CDG", "ORY", "JFK", "LHR", "SYD", "PEK", "KTI"}) {
    EXPECT_GE(tables().scheduled.airport_id(code), 0) << code;
  }
}

TEST(AirportTables, CityCentresGetAPassengerAirportFromTheDefaultTable) {
  const struct {
    const char* city;
    double lat, lng;
    std::set<std::string> scheduled;
    std::string all;
  } cities[] = {
      {"Paris", 48.8566, 2.3522, {"ORY", "CDG"}, "LBG"},
      {"Sydney", -33.86785, 151.20732, {"SYD"}, "RSE"},
      {"New York", 40.71427, -74.00597, {"LGA", "JFK", "EWR"}, "NYS"},
      {"Beijing", 39.9075, 116.39723, {"PEK", "PKX"}, "NAY"},
      {"Santiago", -33.45694, -70.64827, {"SCL"}, "ULC"},
      {"London", 51.50853, -0.12574, {"LCY", "LHR"}, "LCY"},
  };
  for (const auto& c : cities) {
    SCOPED_TRACE(c.city);
    EXPECT_TRUE(c.scheduled.contains(answer(tables().scheduled, c.lat, c.lng)))
        << answer(tables().scheduled, c.lat, c.lng);
    EXPECT_EQ(answer(tables().all, c.lat, c.lng), c.all);
  }
}

// Diego Garcia's field is military: with the default table the territory has no airport and
// borrows the nearest one within reach, as any country without airports does.
TEST(AirportTables, ACountryLeftWithoutServiceBorrowsANeighboursAirport) {
  const double lat = -7.3133, lng = 72.4111;
  const Located sched = nearest_in_country(tables().scheduled, {lat, lng});
  ASSERT_GE(sched.index, 0) << sched.error;
  EXPECT_EQ(sched.country, "io");
  EXPECT_NE(tables().scheduled.airports.country[sched.index], "IO");
  EXPECT_EQ(answer(tables().all, lat, lng), "NKW");
}

}  // namespace
}  // namespace Gantrix
