// The gx_set_ functions: handles, code lists, membership, missing codes and the two searches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>
#include <string>
#include <tuple>

#include "core/text.h"
#include "spatial/airport_index.h"
#include "tests/support/test_support.h"

namespace Gantrix {
namespace {

using test::failure;
using test::member;
using test::take;

// Codes written with spaces for reading; the library separates them with 0x1F.
int64_t make_set(std::string codes) {
  std::replace(codes.begin(), codes.end(), ' ', '\x1f');
  return std::stoll(take(gx_set_new(codes.c_str(), 1)));
}
// "code distance [resolution nearest_code]" per airport object.
std::vector<std::string> summary(const std::string& json) {
  const auto codes = test::members(json, "code"), km = test::members(json, "distance_km");
  const auto how = test::members(json, "resolution"), why = test::members(json, "nearest_code");
  std::vector<std::string> out;
  for (size_t j = 0; j < codes.size(); ++j) {
    out.push_back(codes[j] + " " + testing::PrintToString(std::stod(km.at(j))));
    if (j < how.size()) out.back() += " " + how[j] + " " + why.at(j);
  }
  return out;
}

// Handles count up from wherever the process's registry stands, so the test holds whatever
// ran before it. A freed handle stays invalid for good; freeing it again, or a handle never
// issued, changes nothing.
TEST(SetHandles, AreNeverReused) {
  const int64_t h0 = make_set("JFK");
  EXPECT_EQ(take(gx_set_new("CDG", 1)), std::to_string(h0 + 1));
  EXPECT_EQ(take(gx_set_free(h0)), "null");
  EXPECT_EQ(take(gx_set_new("LAX", 1)), std::to_string(h0 + 2));
  const std::string gone = "no such AirportSet: " + std::to_string(h0);
  EXPECT_EQ(failure([=] { return gx_set_size(h0); }), gone);
  EXPECT_EQ(failure([=] { return gx_set_include(h0, "JFK"); }), gone);
  EXPECT_EQ(failure([=] { return gx_set_missing(h0); }), gone);
  EXPECT_EQ(failure([=] { return gx_set_nearest(h0, 0, 0, nullptr, 0, 0, 0, 1); }), gone);
  for (const int64_t h : {h0, int64_t{-1}, h0 + 3, INT64_MAX, INT64_MIN}) {
    EXPECT_EQ(take(gx_set_free(h)), "null") << h;
  }
  EXPECT_EQ(take(gx_set_size(h0 + 1)), "1");
  // A null code list with a positive count fails without using up a handle.
  EXPECT_EQ(failure([] { return gx_set_new(nullptr, 2); }), "codes is null but count is positive");
  EXPECT_EQ(take(gx_set_new(nullptr, 0)), std::to_string(h0 + 3));
}

TEST(SetNew, ReadsTheCodeList) {
  // Code list, count, then size and missing: pieces are trimmed and case-folded, repeats
  // count once, unknown codes are listed upper-case in order of first appearance, each
  // ill-formed UTF-8 piece of a code as one U+FFFD.
  const std::string u = "\xEF\xBF\xBD";
  const std::tuple<const char*, int64_t, std::string> cases[] = {
      {"jfk\x1f\v JFK\f\x1f\r\nJFK\t\x1f lhr", 4, "2[]"},
      {"\x1fJFK\x1f\x1fLAX\x1f", 5, R"(2[""])"},
      {"QQQQ\x1fJFK\x1fzzzz\x1fqqqq\x1f ZZZZ", 5, R"(1["QQQQ","ZZZZ"])"},
      {"j fk\x1f"
       "A\"B\x1fJ\tK",
       3, R"(0["J FK","A\"B","J\u0009K"])"},
      {"\xFF\x1fJFK\x1f\xC3\xA9t\xC3\xA9\x1f\xED\xA0\x80", 1,
       "1[\"" + u + "\",\"\xC3\xA9T\xC3\xA9\",\"" + u + u + u + "\"]"},
      {"JFK\x1fLAX\x1fSFO", 1, "3[]"},  // count does not limit the pieces
      {"", 1, "0[]"},
      {"JFK", 0, "0[]"},
      {"JFK", -4, "0[]"},
      {nullptr, 0, "0[]"}};
  for (const auto& [codes, count, want] : cases) {
    const int64_t h = std::stoll(take(gx_set_new(codes, count)));
    const std::string size = take(gx_set_size(h));
    EXPECT_EQ(size + take(gx_set_missing(h)), want) << testing::PrintToString(codes);
  }
  const int64_t h = make_set("CDG JFK");
  std::string included;
  for (const char* code :
       {" cdg ", "\tJfK\n", "ORY", "c dg", "", static_cast<const char*>(nullptr)}) {
    included += take(gx_set_include(h, code)) + " ";
  }
  EXPECT_EQ(included, "true true false false false false ");
}

// Regression: the codes already seen were kept as views into the list of missing codes, and
// dangled when that list grew; repeats after the growth were then listed again (or read freed
// memory).
TEST(SetNew, UnknownCodesRepeatedAfterTheMissingListGrewAreListedOnce) {
  std::string codes;
  for (int j = 0; j < 400000; ++j) codes += " U" + std::to_string(1000000 + j % 200000);
  const std::string missing = take(gx_set_missing(make_set(codes.substr(1))));
  EXPECT_EQ(std::count(missing.begin(), missing.end(), ','), 199999);
  EXPECT_TRUE(missing.starts_with(R"(["U1000000","U1000001",)")) << missing.substr(0, 40);
  EXPECT_TRUE(missing.ends_with(R"(,"U1199999"])"));
}

// Against a scan of every member, by distance then airport id. KIV and RMO (Chisinau's old
// and new codes) share their coordinates, so their order is decided by airport id.
TEST(SetNearest, MatchesAScanOfTheMembers) {
  const char* codes =
      "JFK LGA EWR LAX ORD HNL ANC MEX GRU CDG ORY LHR FRA FCO CAI JNB DXB SIN "
      "NRT SYD AKL NAN SUV KIV RMO";
  const int64_t h = make_set(codes);
  const State& s = state();
  for (const auto& [lat, lng] : {std::pair{48.8566, 2.3522},
                                 {40.7, -74.0},
                                 {0.0, 0.0},
                                 {90.0, 0.0},
                                 {-17.0, 179.99},
                                 {46.93, 28.93}}) {
    std::vector<std::pair<double, int64_t>> all;
    std::istringstream list(codes);
    for (std::string code; list >> code;) {
      const int64_t id = s.airport_id(code);
      all.emplace_back(haversine(lat, lng, s.airports.lat[id], s.airports.lng[id]), id);
    }
    std::sort(all.begin(), all.end());
    for (const char* country : {static_cast<const char*>(nullptr), "US", "fr", "Fj", "nZ"}) {
      std::string key = country ? country : "";  // folded here, not by the library's lower()
      for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      for (const double bound : {-1.0, 1000.0, 6000.0}) {  // -1: no bound
        for (const int64_t limit : {int64_t{1}, int64_t{3}, INT64_MAX}) {
          std::vector<std::string> want;
          for (const auto& [d, id] : all) {
            if ((!country || s.airports.country_lower[id] == key) && (bound < 0 || d <= bound) &&
                static_cast<int64_t>(want.size()) < limit) {
              want.push_back(std::string(s.airports.code[id]) + " " + testing::PrintToString(d));
            }
          }
          const std::string got = take(
              gx_set_nearest(h, lat, lng, country, country != nullptr, bound, bound >= 0, limit));
          EXPECT_EQ(summary(got), want) << lat << "," << lng << " " << key << " " << bound;
        }
      }
    }
  }
}

// Optional arguments count only with their flag at 1; the handle is checked before the point.
TEST(SetNearest, TakesItsArgumentsAsDocumented) {
  const int64_t h = make_set("JFK LGA EWR LAX CDG");
  const auto near = [h](const char* country, int64_t has_country, double km, int64_t has_km,
                        int64_t limit = 10, double lng = -74.0) {
    return take(gx_set_nearest(h, 40.7, lng, country, has_country, km, has_km, limit));
  };
  const std::string every = near(nullptr, 0, 0.0, 0);
  ASSERT_EQ(summary(every).size(), 5u) << every;
  for (const int64_t flag : {0, 2, -1}) EXPECT_EQ(near("fr", flag, 1.0, flag), every) << flag;
  for (const char* country : {" us", "", "gb"}) EXPECT_EQ(near(country, 1, 0, 0), "[]");
  for (const int64_t limit : {int64_t{0}, int64_t{-1}, INT64_MIN}) {
    EXPECT_EQ(near(nullptr, 0, 0.0, 0, limit), "[]") << limit;
  }
  EXPECT_EQ(near(nullptr, 0, 0.0, 1), "[]");
  EXPECT_EQ(near(nullptr, 0, 0, 0, 9, 190.0), near(nullptr, 0, 0, 0, 9, -170.0));
  // A country flagged as given but missing is the caller's mistake, not "any country".
  EXPECT_EQ(failure([h] { return gx_set_nearest(h, 40.7, -74.0, nullptr, 1, 0, 0, 10); }),
            "country is required when has_country is 1");
  for (const auto& [lat, lng] : {std::pair{90.0000001, 0.0}, {NAN, 0.0}, {0.0, -INFINITY}}) {
    EXPECT_EQ(failure([&] { return gx_set_nearest(h, lat, lng, nullptr, 0, 0, 0, 1); }),
              "invalid coordinates");
    EXPECT_EQ(failure([&] { return gx_set_resolve(h, lat, lng, 0, 0); }), "invalid coordinates");
    EXPECT_EQ(failure([&] { return gx_set_resolve(-7, lat, lng, 0, 0); }),
              "no such AirportSet: -7");
  }
}

TEST(SetResolve, ChoosesByRule) {
  const State& s = state();
  const auto own = [](double lat, double lng) { return member(take(gx_find(lat, lng)), "code"); };
  const auto resolve = [](int64_t h, double lat, double lng, double km = 0, int64_t has_km = 0) {
    return take(gx_set_resolve(h, lat, lng, km, has_km));
  };
  // The summary line of code as the answer for (lat, lng).
  const auto line = [&s](double lat, double lng, const std::string& code, const char* how,
                         const std::string& why) {
    const int64_t id = s.airport_id(upper(code.substr(3)));
    const double km = haversine(lat, lng, s.airports.lat[id], s.airports.lng[id]);
    return std::vector{code + " " + testing::PrintToString(km) + " " + how + " " + why};
  };
  const double lat = 48.8566, lng = 2.3522;  // central Paris
  const std::string paris = own(lat, lng);   // Orly, or Le Bourget with every airport compiled in
  ASSERT_NE(paris, "fr.cdg");
  const int64_t with_own = make_set(upper(paris.substr(3)) + " LHR JFK");
  EXPECT_EQ(summary(resolve(with_own, lat, lng)), line(lat, lng, paris, "nearest", paris));
  const int64_t paris_pair = make_set("CDG LHR");
  EXPECT_EQ(summary(resolve(paris_pair, lat, lng)),
            line(lat, lng, "fr.cdg", "same_country", paris));
  // Berlin: no German member, so the nearest member abroad, within the bound when one is given.
  const std::string got = resolve(paris_pair, 52.52, 13.405);
  EXPECT_EQ(summary(got), line(52.52, 13.405, "fr.cdg", "nearby_foreign", own(52.52, 13.405)));
  const double cdg = std::stod(member(got, "distance_km"));
  EXPECT_EQ(resolve(paris_pair, 52.52, 13.405, cdg + 1.0, 1), got);
  EXPECT_EQ(resolve(paris_pair, 52.52, 13.405, cdg - 1.0, 1), "null");
  EXPECT_EQ(resolve(paris_pair, 52.52, 13.405, 1.0, 2), got);
  // Vatican City has no airport: its own nearest is foreign, so rule "nearest" cannot apply.
  const std::string rome = own(41.903, 12.453);
  EXPECT_EQ(summary(resolve(make_set(upper(rome.substr(3)) + " CDG"), 41.903, 12.453)),
            line(41.903, 12.453, rome, "nearby_foreign", rome));
  EXPECT_EQ(resolve(with_own, 30.0, -40.0), "null");  // in no country
}

}  // namespace
}  // namespace Gantrix
