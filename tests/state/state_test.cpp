#include "state/state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>

#include "builder/dataset_texts.h"
#include "builder/image_writer.h"
#include "builder/state_builder.h"
#include "state/compiled_state.h"
#include "tests/support/test_support.h"

namespace Gantrix {
namespace {

using Ints = std::vector<int64_t>;
using Doubles = std::vector<double>;
using Texts = std::vector<std::string>;

std::string name_of(const State& s, const std::string& code) {
  const int64_t k = s.countries.name_key.find_sorted(code);
  return k < 0 ? code : std::string(s.countries.name_text[static_cast<size_t>(k)]);
}

constexpr const char* kNoCountries = R"({"features":[]})";

std::string collection(const std::string& features) {
  return R"({"type":"FeatureCollection","features":[)" + features + "]}";
}

TEST(State, EmptyDatasetsBuildAnEmptyState) {
  const State s = build_state(" [ ] ", kNoCountries);
  EXPECT_EQ(s.airports.size() + s.airport_indexes.all.size() + s.airport_indexes.countries.size(),
            0u);
  EXPECT_EQ(s.countries.rings.size() + s.countries.envelopes(), 0u);
}

// Offsets count in the whole text, also where a second reader goes back over a geometry
// whose coordinates came before its type.
TEST(State, ReportsWhatCannotBeReadAndWhere) {
  const std::string ok = R"({"iata":"A","name":"A","city":"","country":"FR","lat":1,"lng":2})";
  const std::string no_city = R"({"iata":"C","name":"C","country":"FR","lat":1,"lng":2})";
  // airports, countries, error; a trailing '@' stands for the offset of the text's null.
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"[" + ok + "," + ok + "," + no_city + "]", kNoCountries,
       "airports parse: missing field in airport 2"},
      {R"([{"iata":"A","name":"A","city":null}])", kNoCountries, "json: expected '\"' at byte @"},
      {R"([{"lat":"1"}])", kNoCountries, "json: invalid number at byte 8"},
      {"[]", R"({"type":"FeatureCollection"})", "countries parse: missing field `features`"},
      {"[]", R"({"features":{}})", "json: expected '[' at byte 12"},
      {"[]", collection(R"({"geometry":null})"), "json: expected '{' at byte @"},
      {"[]", collection(R"({"geometry":{"coordinates":[[[1,null]]],"type":"Polygon"}})"),
       "json: invalid number at byte @"}};
  for (auto [airports, countries, want] : cases) {
    const std::string& text = airports == "[]" ? countries : airports;
    if (want.back() == '@') want.replace(want.size() - 1, 1, std::to_string(text.find("null")));
    EXPECT_EQ(test::error_of([&] { State s = build_state(airports, countries); }), want) << text;
  }
}

// What the queries cannot answer well is refused while the State is built (so, for the
// compiled-in data, while the library is built), naming the airport and where it ends.
TEST(State, RefusesAirportsTheQueriesCannotAnswer) {
  const auto airport = [](const std::string& iata, const std::string& country,
                          const std::string& lat, const std::string& lng) {
    return R"({"iata":")" + iata + R"(","name":"N","city":"","country":")" + country +
           R"(","lat":)" + lat + R"(,"lng":)" + lng + "}";
  };
  const std::string ok = airport("AAA", "FR", "1", "2");
  const std::pair<std::string, std::string> cases[] = {
      {airport("BBB", "FR", "95", "0"),
       "airport 1 (\"BBB\") ending at byte @: latitude outside -90..90"},
      {airport("BBB", "FR", "-90.5", "0"), "latitude outside -90..90"},
      {airport("BBB", "FR", "0", "180.25"), "longitude outside -180..180"},
      {airport("BBB", "FR", "0", "-181"), "longitude outside -180..180"},
      {airport("BBB", "", "0", "0"), "country \"\" is not two letters"},
      {airport("BBB", ".a", "0", "0"), "country \".a\" is not two letters"},
      {airport("BBB", "USA", "0", "0"), "country \"USA\" is not two letters"},
      {airport("aaa", "US", "0", "0"), "IATA code \"AAA\" given twice (airports 0 and 1)"},
      {R"({"iata":"B\u00e9"})",
       "json: unsupported string escape \\u (write the character itself, in UTF-8)"}};
  for (auto [second, want] : cases) {
    const std::string text = "[" + ok + "," + second + "]";
    if (want.find('@') != std::string::npos) {
      want.replace(want.find('@'), 1, std::to_string(text.size() - 1));
    }
    const std::string got = test::error_of([&] { State s = build_state(text, kNoCountries); });
    EXPECT_NE(got.find(want), std::string::npos) << got;
  }
  // Edges of the globe are fine, and so is a code repeated only by another airport's country.
  EXPECT_EQ(build_state("[" + ok + "," + airport("BBB", "fr", "-90", "180") + "," +
                            airport("FR", "zz", "90", "-180") + "]",
                        kNoCountries)
                .airports.size(),
            3u);
}

// Unknown members of any type are skipped and a repeated member keeps its last value; codes
// are case-folded for lookup.
TEST(State, AirportRecords) {
  const State s =
      build_state(R"([{"x":"s","iata":"jfk","n":-1.5e3,"name":"J","t":true,"city":"New York",
    "z":null,"country":"US","o":{"a":[1,{"b":false}]},"lat":40.0,"lng":-73.8,"a":[[],{}],
    "lat":40.6}, {"iata":"lhr","name":"L","city":"","country":"GB","lat":51.5,"lng":-0.5},
    {"iata":"BOS","name":"B","city":"","country":"us","lat":42.4,"lng":-71.0}])",
                  kNoCountries);
  const AirportTable& a = s.airports;
  EXPECT_EQ(Texts({std::string(a.iata[0]), std::string(a.name[0]), std::string(a.city[0]),
                   std::string(a.country[0])}),
            Texts({"jfk", "J", "New York", "US"}));
  EXPECT_EQ(Doubles({a.lat[0], a.lng[0]}), Doubles({40.6, -73.8}));
  EXPECT_EQ(a.country_lower, Texts({"us", "gb", "us"}));
  EXPECT_EQ(s.airports.iata, Texts({"jfk", "lhr", "BOS"}));
  EXPECT_EQ(Ints({s.airport_id("JFK"), s.airport_id("LHR"), s.airport_id("BOS"),
                  s.airport_id("lhr"), s.airport_id("JF"), s.airport_id("JFKX"), s.airport_id("")}),
            Ints({0, 1, 2, -1, -1, -1, -1}));
  EXPECT_EQ(s.airport_indexes.countries.size(), 2u);
  ASSERT_NE(s.country_index("us"), nullptr);
  EXPECT_EQ(s.country_index("us")->ids, (std::vector<int32_t>{0, 2}));
}

TEST(CountryLoader, CoordinatesBeforeTypeGiveTheSameRings) {
  const std::string coords =
      R"("coordinates":[[[[0,0],[4,0],[4,4],[0,0]],[[1,1],[2,1],[1,2]]],[[[10,10],[9,9]]]])";
  const State a =
      build_state("[]", collection(R"({"geometry":{"type":"MultiPolygon",)" + coords + "}}"));
  const State b =
      build_state("[]", collection(R"({"geometry":{)" + coords + R"(,"type":"MultiPolygon"}})"));
  EXPECT_EQ(b.countries.rings.n, Ints({4, 3, 2}));
  EXPECT_EQ(b.countries.rings.xs, a.countries.rings.xs);
  EXPECT_EQ(b.countries.rings.ys, a.countries.rings.ys);
  EXPECT_EQ(b.countries.ring_count, a.countries.ring_count);
}

TEST(CountryLoader, OtherGeometriesAddNoRingButKeepTheirFeatureSlot) {
  const State s = build_state("[]", collection(R"(
    {"properties":{"iso_a2":"AA","name":"A"},"geometry":{"type":"LineString","coordinates":[]}},
    {"properties":{"iso_a2":"BB","name":"B"},"geometry":{"coordinates":[5,5],"type":"Point"}},
    {"properties":{"iso_a2":"CC","name":"C"},"geometry":{"coordinates":[[[0,0],[1,1]]]}},
    {"properties":{"iso_a2":"DD","name":"D"},"geometry":{"type":"polygon","coordinates":[]}},
    {"type":"Feature","properties":{"iso_a2":"EE","name":"E"}},
    {"geometry":{"type":"Polygon","coordinates":[[[0,0],[1,0],[0,1]]]}})"));
  EXPECT_EQ(s.countries.first_ring, Ints({0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(s.countries.ring_count, Ints({0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(s.countries.name_key, Texts({"AA", "BB", "CC", "DD", "EE"}));
  EXPECT_EQ(s.countries.envelopes(), 0u);       // the only feature with points has no code
  EXPECT_EQ(s.countries.ring_grid.size(), 0u);  // nor is its ring indexed
}

TEST(CountryLoader, FirstNameWinsAndUnusableCodesGetNoEnvelope) {
  const State s =
      build_state("[]", test::countries_text({{"FR", "France", "0 40,8 40,8 50 | 1 41,2 41,2 42"},
                                              {"-99", "Nowhere", "20 20,21 20,21 21"},
                                              {"", "Blank", "30 30,31 30,31 31"},
                                              {"fr", "Corse", "8.5 41,9.5 41,9 43"}}));
  EXPECT_EQ(s.countries.first_ring, Ints({0, 2, 3, 4}));
  EXPECT_EQ(name_of(s, "FR") + name_of(s, "-99") + name_of(s, "") + name_of(s, "XY"),
            "FranceNowhereBlankXY");
  EXPECT_EQ(s.countries.envelope_code, Texts({"fr", "fr"}));
  EXPECT_EQ(s.countries.envelope_feature, Ints({0, 3}));
  EXPECT_EQ(s.countries.envelope_lo, Doubles({0, 40, 8.5, 41}));
  EXPECT_EQ(s.countries.envelope_hi, Doubles({8, 50, 9.5, 43}));
  // Only rings of features with an envelope are indexed for the point test.
  EXPECT_EQ(s.countries.ring_grid.ring, std::vector<int32_t>({0, 1, 4}));
  EXPECT_EQ(s.countries.feature_envelope, Ints({0, -1, -1, 1}));
}

TEST(CountryLoader, PropertiesAndPositions) {
  const State s = build_state("[]", collection(R"(
    {"properties":{"name":"First","iso_a2":"XX","NAME":"Second","pop":[1,{"a":null}]}},
    {"properties":{"iso_a2":null,"name":"N"},"geometry":{"type":"Polygon","coordinates":[[[0,0]]]}},
    {"properties":{"iso_a2":"YY","name":null},"geometry":{"type":"Polygon",
     "coordinates":[[[10.0,20.0,300.0],[5],[],[11,21,1,2]],[]]}})"));
  EXPECT_EQ(s.countries.name_key, Texts{"XX"});
  EXPECT_EQ(name_of(s, "XX"), "Second");
  EXPECT_EQ(s.countries.rings.n, Ints({1, 2, 0}));
  EXPECT_EQ(s.countries.rings.xs, Doubles({0, 10, 11}));
  EXPECT_EQ(s.countries.rings.ys, Doubles({0, 20, 21}));
  EXPECT_EQ(s.countries.envelope_code, Texts{"yy"});  // no name is needed for an envelope
  EXPECT_EQ(s.countries.envelope_lo, Doubles({10, 20}));
}

// The embedded data: every record loads, every usable feature has an envelope and rings,
// and no ring edge spans more than 180 degrees of longitude.
TEST(EmbeddedState, EveryRecordLoadsAndNoEdgeSpansMoreThan180Degrees) {
  const auto occurrences = [](std::string_view text, std::string_view word) {
    size_t count = 0;
    for (size_t at = text.find(word); at != text.npos; at = text.find(word, at + 1)) ++count;
    return count;
  };
  const State& s = state();
  const std::string_view countries = countries_json();
  EXPECT_EQ(s.airports.size(), occurrences(airports_json(), "\"iata\""));
  EXPECT_EQ(s.airport_indexes.all.size(), s.airports.size());
  const size_t features = occurrences(countries, "\"type\":\"Feature\"");
  EXPECT_EQ(s.countries.first_ring.size(), features);
  EXPECT_EQ(s.countries.envelope_code.size(), features -
                                                  occurrences(countries, "\"iso_a2\":\"-99\"") -
                                                  occurrences(countries, "\"iso_a2\":\"\"") -
                                                  occurrences(countries, "\"iso_a2\":null"));
  for (const int64_t f : s.countries.envelope_feature) EXPECT_GT(s.countries.ring_count[f], 0);
  const Rings& rings = s.countries.rings;
  for (int64_t r = 0; r < rings.size(); ++r) {
    for (int64_t i = 0, b = rings.first[r], cnt = rings.n[r]; i < cnt; ++i) {
      ASSERT_LE(std::fabs(rings.xs[b + i] - rings.xs[b + (i == 0 ? cnt : i) - 1]), 180.0) << r;
    }
  }
}

}  // namespace
}  // namespace Gantrix

namespace Gantrix {
namespace {

// The library's State is the image written at build time: the same loaders run in-process
// on the same texts must give it back byte for byte (nothing left to chance in the layout,
// padding included), the decided cells aside (a build's worth of work: the identity test
// proves them), and the State read from it must answer as one built here.
TEST(StateImage, BuiltInProcessFromTheTextsEqualsTheCompiledInImage) {
  const ImageBytes built = build_state_image(airports_json(), countries_json());
  State& compiled = const_cast<State&>(state());  // the writer only reads it
  struct {
    AirportTable& airports;
    CountryIndex& countries;
    CountryAirports& airport_indexes;
    DecidedCells decided;
  } without_cells{compiled.airports, compiled.countries, compiled.airport_indexes, {}};
  ImageWriter w;
  visit_parts(w, without_cells);
  const ImageBytes rewritten = w.write(compiled.header());
  ASSERT_EQ(built.view().size(), rewritten.view().size());
  EXPECT_TRUE(std::equal(rewritten.view().begin(), rewritten.view().end(), built.view().begin()));
  EXPECT_FALSE(compiled.decided.grid.top.empty());
  EXPECT_EQ(state().header().dataset_hash, dataset_hash(airports_json(), countries_json()));
  EXPECT_EQ(state().header().airports, state().airports.size());
}

TEST(StateImage, ReadsInPlaceWithoutCopying) {
  const State& s = state();
  const auto inside = [&](const void* p) {
    const auto* b = static_cast<const std::byte*>(p);
    return b >= state_image().data() && b < state_image().data() + state_image().size();
  };
  EXPECT_TRUE(inside(s.airports.lat.data()));
  EXPECT_TRUE(inside(s.countries.rings.xs.data()));
  EXPECT_TRUE(inside(s.airport_indexes.all.tree.points.data()));
  EXPECT_TRUE(inside(s.airports.answer.text.data()));
}

// A damaged or foreign image is refused with a message, never read.
TEST(StateImage, RefusesImagesItCannotRead) {
  const State small =
      build_state(R"([{"iata":"A","name":"A","city":"","country":"FR","lat":1,"lng":2}])",
                  R"({"features":[]})");
  const std::span<const std::byte> good = small.image();
  const auto header_at = [](std::vector<std::byte>& b, size_t offset, uint64_t v, size_t n) {
    std::memcpy(b.data() + offset, &v, n);
  };
  struct Case {
    const char* damage;
    size_t offset;  // where to write
    uint64_t value;
    size_t width;
    size_t keep;  // bytes kept (0: all)
    const char* want;
  };
  const size_t first_entry = sizeof(ImageHeader);
  const std::string version = "format version " + std::to_string(IMAGE_VERSION + 1) +
                              ", this library reads " + std::to_string(IMAGE_VERSION);
  const Case cases[] = {
      {"magic", 0, 0x21, 1, 0, "not a State image"},
      {"version", 8, IMAGE_VERSION + 1, 4, 0, version.c_str()},
      {"truncated", 0, 0, 0, 100, "size does not match its header"},
      {"too short", 0, 0, 0, 10, "shorter than its header"},
      {"sections", 12, 100000, 4, 0, "section table runs past the end"},
      {"fewer sections", 12, 3, 4, 0, "fewer sections than the parts have columns"},
      {"value size", first_entry + 16, 3, 4, 0, "section 0 holds other values"},
      {"offset", first_entry, 1u << 30, 8, 0, "section 0 lies outside the image"},
  };
  for (const Case& c : cases) {
    std::vector<std::byte> copy(good.begin(), good.end());
    if (c.width > 0) header_at(copy, c.offset, c.value, c.width);
    if (c.keep > 0) copy.resize(c.keep);
    ImageBytes aligned = ImageBytes::allocate(copy.size());
    std::memcpy(aligned.data(), copy.data(), copy.size());
    const std::string got = test::error_of([&] { State s(aligned.view()); });
    EXPECT_NE(got.find(std::string("State image: ") + c.want), std::string::npos)
        << c.damage << ": " << got;
  }
}

}  // namespace
}  // namespace Gantrix
