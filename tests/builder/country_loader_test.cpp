// The country index from its GeoJSON text: rings, names and envelopes as the point test
// reads them.
#include "builder/country_loader.h"

#include <gtest/gtest.h>

#include "builder/state_builder.h"
#include "query/point_in_country.h"
#include "tests/support/test_support.h"

namespace Gantrix {
namespace {

using Ints = std::vector<int64_t>;
using Doubles = std::vector<double>;

std::string collection(const std::string& features) {
  return R"({"type":"FeatureCollection","features":[)" + features + "]}";
}

// Offsets count in the whole text, also where a second reader goes back over a geometry
// whose coordinates came before its type.
TEST(CountryLoader, ReportsWhatCannotBeReadAndWhere) {
  const std::pair<std::string, std::string> cases[] = {
      {R"({"type":"FeatureCollection"})", "countries parse: missing field `features`"},
      {R"({"features":{}})", "json: expected '[' at byte 12"},
      {collection(R"({"geometry":null})"), "json: expected '{' at byte @"},
      {collection(R"({"geometry":{"coordinates":[[[1,null]]],"type":"Polygon"}})"),
       "json: invalid number at byte @"}};
  for (auto [text, want] : cases) {
    if (want.back() == '@') want.replace(want.size() - 1, 1, std::to_string(text.find("null")));
    EXPECT_EQ(test::error_of([&] { (void)load_countries(text); }), want) << text;
  }
}

// Coordinates may come before the type; positions take their first two numbers and need
// both; other geometries and features without one keep their feature's place.
TEST(CountryLoader, ReadsRingsWhateverTheMemberOrder) {
  const std::string coords =
      R"("coordinates":[[[[0,0],[4,0],[4,4],[0,0]],[[1,1],[2,1,7],[5],[],[1,2,3,4]]],[[[9,9]]]])";
  const CountryIndex a =
      load_countries(collection(R"({"geometry":{"type":"MultiPolygon",)" + coords + "}}"));
  const CountryIndex b =
      load_countries(collection(R"({"geometry":{)" + coords + R"(,"type":"MultiPolygon"}})"));
  EXPECT_EQ(b.rings.n, Ints({4, 3, 1}));
  EXPECT_EQ(b.rings.xs, Doubles({0, 4, 4, 0, 1, 2, 1, 9}));
  EXPECT_EQ(b.rings.ys, a.rings.ys);
  const CountryIndex c = load_countries(collection(R"(
    {"properties":{"iso_a2":"AA"},"geometry":{"type":"LineString","coordinates":[]}},
    {"properties":{"iso_a2":"BB"},"geometry":{"coordinates":[5,5],"type":"Point"}},
    {"properties":{"iso_a2":"CC"},"geometry":{"type":"polygon","coordinates":[]}},
    {"type":"Feature","properties":{"iso_a2":"DD"}},
    {"geometry":{"type":"Polygon","coordinates":[[[0,0],[1,0],[0,1]]]}})"));
  EXPECT_EQ(c.ring_count, Ints({0, 0, 0, 0, 1}));
  EXPECT_EQ(c.envelopes(), 0u);  // the only feature with points has no code
}

// Features without a usable code (-99, empty, null) have no envelope and answer for no
// point; the others answer by their outline, in lower case.
TEST(CountryLoader, FeaturesWithoutAUsableCodeAnswerNothing) {
  const State s =
      build_state("[]", test::countries_text({{"FR", "France", "0 40,8 40,8 50 | 1 41,2 41,2 42"},
                                              {"-99", "Nowhere", "20 20,21 20,21 21,20 21"},
                                              {"", "Blank", "30 30,31 30,31 31,30 31"},
                                              {"fr", "Corse", "8.5 41,9.5 41,9 43"}}));
  std::string got;
  for (const auto& [lat, lng] :
       {std::pair{45.0, 4.0}, {41.2, 1.8}, {41.5, 9.0}, {20.5, 20.5}, {30.5, 30.5}}) {
    got += std::string(country_exact(s, {lat, lng}).value_or("none")) + " ";
  }
  EXPECT_EQ(got, "fr none fr none none ");
}

}  // namespace
}  // namespace Gantrix
