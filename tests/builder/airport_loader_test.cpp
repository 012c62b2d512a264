// The airport table from its dataset text: what is read, what is refused and why, and the
// texts rendered for the answers.
#include "builder/airport_loader.h"

#include <gtest/gtest.h>

#include "builder/state_builder.h"
#include "query/airport_object.h"
#include "tests/support/test_support.h"

namespace Gantrix {
namespace {

using test::error_of;

constexpr const char* kNoCountries = R"({"features":[]})";

std::string airport(const std::string& iata, const std::string& country, const std::string& lat,
                    const std::string& lng) {
  return R"({"iata":")" + iata + R"(","name":"N","city":"","country":")" + country + R"(","lat":)" +
         lat + R"(,"lng":)" + lng + "}";
}

// Unknown members of any type are skipped and a repeated member keeps its last value; codes
// are found in upper case, whatever case the dataset wrote them in.
TEST(AirportLoader, ReadsTheRecords) {
  const AirportTable a = load_airports(R"([{"x":"s","iata":"jfk","n":-1.5e3,"name":"J",
    "t":true,"city":"New York","z":null,"country":"US","o":{"a":[1,{"b":false}]},"lat":40.0,
    "lng":-73.8,"a":[[],{}],"lat":40.6}, {"iata":"lhr","name":"L","city":"","country":"GB",
    "lat":51.5,"lng":-0.5}, {"iata":"BOS","name":"B","city":"","country":"us","lat":42.4,"lng":-71.0}])");
  EXPECT_EQ(std::string(a.iata[0]) + "|" + std::string(a.name[0]) + "|" + std::string(a.city[0]),
            "jfk|J|New York");
  EXPECT_EQ(a.lat[0], 40.6);
  EXPECT_EQ(a.country_lower, (std::vector<std::string>{"us", "gb", "us"}));
  EXPECT_EQ(std::vector<int64_t>({a.id_of("BOS"), a.id_of("JFK"), a.id_of("LHR"), a.id_of("lhr"),
                                  a.id_of("JF"), a.id_of("")}),
            std::vector<int64_t>({2, 0, 1, -1, -1, -1}));
  EXPECT_EQ(load_airports(" [ ] ").size(), 0u);
  // Each country's own nearest-airport index, the first one met included.
  const CountryAirports by_country = build_country_airports(a);
  ASSERT_NE(by_country.of("us"), nullptr);
  EXPECT_EQ(by_country.of("us")->ids, (std::vector<int32_t>{0, 2}));
  EXPECT_EQ(by_country.of("gb")->ids, std::vector<int32_t>{1});
  EXPECT_EQ(by_country.of("fr"), nullptr);
}

// What the queries cannot answer well is refused while the State is built (so, for the
// compiled-in data, while the library is built), naming the airport and where it ends.
// (tests/CMakeLists.txt checks the image tool's refusals of the files in broken/.)
TEST(AirportLoader, RefusesWhatTheQueriesCannotAnswer) {
  const std::string ok = airport("AAA", "FR", "1", "2");
  const std::string no_city = R"({"iata":"C","name":"C","country":"FR","lat":1,"lng":2})";
  const std::pair<std::string, std::string> cases[] = {
      {airport("BBB", "FR", "-90.5", "0"),
       "airport 1 (\"BBB\") ending at byte @: latitude outside -90..90"},
      {airport("BBB", "FR", "0", "-181"), "longitude outside -180..180"},
      {airport("BBB", "", "0", "0"), "country \"\" is not two letters"},
      {airport("BBB", "USA", "0", "0"), "country \"USA\" is not two letters"},
      {airport("aaa", "US", "0", "0"), "IATA code \"AAA\" given twice (airports 0 and 1)"},
      {ok + "," + no_city, "airports parse: missing field in airport 2"},
      {R"({"iata":"A","city":null})", "json: expected '\"' at byte @"}};
  for (auto [second, want] : cases) {
    const std::string text = "[" + ok + "," + second + "]";
    if (want.find('@') != std::string::npos) {
      const size_t at = want.find("json") == 0 ? text.find("null") : text.size() - 1;
      want.replace(want.find('@'), 1, std::to_string(at));
    }
    const std::string got = error_of([&] { (void)load_airports(text); });
    EXPECT_TRUE(got.ends_with(want)) << got;
  }
  // Edges of the globe are fine, and so is a code repeated only by another airport's country.
  const std::string edges = "[" + ok + "," + airport("BBB", "fr", "-90", "180") + "," +
                            airport("FR", "zz", "90", "-180") + "]";
  EXPECT_EQ(load_airports(edges).size(), 3u);
}

// The display name is "city, country name", with fallbacks to the airport name and the code;
// the country is named by its first outline.
TEST(AirportLoader, RendersTheAnswerTexts) {
  const State s = build_state(test::airports_text({{"AAA", "Alpha Field", "Alphaville", "AA", 1, 1},
                                                   {"BBB", "Bravo", "Bravo", "AA", 2, 2},
                                                   {"CCC", "Charlie Strip", "", "AA", 1, -2.5},
                                                   {"DDD", "Delta", "Deltaton", "ZZ", 3, 3},
                                                   {"EEE", "Echo", "Echoville", "aa", 4, 4}}),
                              test::countries_text({{"AA", "Aland", "0 0,9 0,9 9,0 9,0 0"},
                                                    {"aa", "Other", "20 0,29 0,29 9,20 9"}}));
  const char* want[] = {"Alphaville, Aland", "Bravo, Aland", "Charlie Strip, Aland", "Deltaton, ZZ",
                        "Echoville, Aland"};
  for (int64_t id = 0; id < 5; ++id) EXPECT_EQ(display_name(s, id), want[id]) << id;
  EXPECT_EQ(airport_fields(s, 2),
            R"("code":"aa.ccc","iata":"CCC","name":"Charlie Strip, Aland","airport_name":)"
            R"("Charlie Strip","city":"","country":"aa","lat":1.0,"lng":-2.5)");
  EXPECT_EQ(s.airports.answer[3], R"({"code":"zz.ddd","name":"Deltaton, ZZ"})");
}

}  // namespace
}  // namespace Gantrix
