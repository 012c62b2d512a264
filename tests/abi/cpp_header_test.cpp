// gantrix.hpp against the C functions it wraps, through the shared library (built as C++17,
// as the oldest consumer would): the same answers for a seeded stream of calls to every
// function, refusals with the one wording, and sets that own their handles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "gantrix.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A C answer as text and freed, or "error: <message>" for a failure.
std::string c_answer(char* text) {
  if (text == nullptr) return std::string("error: ") + gx_error();
  std::string out(text);
  gx_free(text);
  return out;
}

// A C++ answer written back as the C text it stands for.
std::string text(const gantrix::Answer& a) { return a.str(); }
std::string text(int64_t n) { return std::to_string(n); }
std::string text(bool b) { return b ? "true" : "false"; }
std::string text(const std::optional<std::string>& country) {
  return country ? '"' + *country + '"' : "null";
}

template <class Call>
std::string cpp_answer(Call call) {
  try {
    return text(call());
  } catch (const gantrix::Error& e) {
    return std::string("error: ") + e.what();
  }
}

std::string refusal(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "(not refused)";
}

// Seeded arguments: points mostly near the airports met so far, sometimes anywhere, far past
// 180 or invalid; codes of three letters in either case, sometimes padded or odd.
struct Arguments {
  std::mt19937_64 random;
  std::vector<std::pair<double, double>> places;

  double uniform(double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(random);
  }
  size_t below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); }
  std::optional<double> km() {
    if (below(2)) return std::nullopt;
    return below(10) == 0 ? kInf : uniform(0, 3000);
  }
  std::pair<double, double> point() {
    static const double odd[] = {kNaN, kInf, -kInf, 90.0, -90.0, 180.0, -180.0, 540.0, 91.0, -0.0};
    const size_t k = below(20);
    if (k == 0) return {odd[below(std::size(odd))], below(2) ? odd[below(std::size(odd))] : 0.0};
    if (k < 11 && !places.empty()) {
      const auto [lat, lng] = places[below(places.size())];
      const double r = below(2) ? 0.05 : 3.0;
      return {std::clamp(lat + uniform(-r, r), -90.0, 90.0), lng + uniform(-r, r)};
    }
    return {std::asin(uniform(-1, 1)) * 57.29577951308232, uniform(-720, 720)};
  }
  std::string code() {
    static const char* odd[] = {"", "  ", "JFKX", "\xc3\xa9\xc3\xa9", " cdg\r\n", "\x7f\x80\xff"};
    if (below(14) == 0) return odd[below(std::size(odd))];
    const char base = below(4) == 0 ? 'a' : 'A';
    const std::string c = {char(base + below(26)), char(base + below(26)), char(base + below(26))};
    return below(6) == 0 ? " " + c + "\t" : c;
  }
  void remember(const std::string& airport) {
    const auto lat = airport.find("\"lat\":"), lng = airport.find("\"lng\":");
    if (lat == std::string::npos || lng == std::string::npos) return;
    places.emplace_back(std::strtod(&airport[lat + 6], nullptr),
                        std::strtod(&airport[lng + 6], nullptr));
  }
};

TEST(CppHeader, AnswersWhatTheCFunctionsAnswer) {
  std::map<std::string, int> calls;
  for (const uint64_t seed : {1u, 2u}) {
    Arguments gen{std::mt19937_64(seed), {}};
    std::vector<std::pair<int64_t, gantrix::AirportSet>> sets;  // one list, made both ways
    const auto same = [&](const char* function, const std::string& c, const std::string& cpp) {
      ++calls[function];
      EXPECT_EQ(c, cpp) << function << " (seed " << seed << ", call " << calls[function] << ")";
    };
    for (int j = 0; j < 6000 && !HasFailure(); ++j) {
      const auto [lat, lng] = gen.point();
      const size_t op = gen.below(sets.empty() ? 4 : 11);
      if (op == 0) {
        same("find", c_answer(gx_find(lat, lng)),
             cpp_answer([&] { return gantrix::find(lat, lng); }));
      } else if (op == 1) {
        same("country_at", c_answer(gx_country_at(lat, lng)),
             cpp_answer([&] { return gantrix::country_at(lat, lng); }));
      } else if (op == 2) {
        const std::string code = gen.code();
        const std::string c = c_answer(gx_airport(code.c_str()));
        same("airport", c, cpp_answer([&] { return gantrix::airport(code); }));
        gen.remember(c);
      } else if (op == 3) {
        std::vector<std::string> codes(gen.below(5) == 0 ? 0 : 1 + gen.below(8));
        std::string joined;
        for (size_t k = 0; k < codes.size(); ++k)
          joined += (k > 0 ? "\x1f" : "") + (codes[k] = gen.code());
        if (codes.size() == 1 && codes[0].empty()) continue;  // its own case, below
        ++calls["set_new"];
        const std::string handle = c_answer(gx_set_new(joined.c_str(), codes.empty() ? 0 : 1));
        sets.emplace_back(std::strtoll(handle.c_str(), nullptr, 10), gantrix::AirportSet(codes));
        if (sets.size() > 40) {  // the oldest gives way, freed both ways
          same("set_free", c_answer(gx_set_free(sets.front().first)), "null");
          sets.erase(sets.begin());
        }
      } else {
        const auto& [h, s] = sets[gen.below(sets.size())];
        const std::string code = gen.code();
        if (op == 4) {
          same("set_size", c_answer(gx_set_size(h)), cpp_answer([&] { return s.size(); }));
        } else if (op == 5) {
          same("set_include", c_answer(gx_set_include(h, code.c_str())),
               cpp_answer([&] { return s.contains(code); }));
        } else if (op == 6) {
          same("set_missing", c_answer(gx_set_missing(h)), cpp_answer([&] { return s.missing(); }));
        } else if (op <= 8) {
          static const char* countries[] = {"us", "FR", "de", "gb", "xx", "cn", "Au", "br", "aq"};
          const char* country = gen.below(2) ? countries[gen.below(std::size(countries))] : nullptr;
          const std::optional<double> km = gen.km();
          const int64_t limit = int64_t(gen.below(12));
          same("set_nearest",
               c_answer(gx_set_nearest(h, lat, lng, country, country ? 1 : 0, km.value_or(-1.0),
                                       km ? 1 : 0, limit)),
               cpp_answer([&] {
                 return s.nearest(lat, lng, limit,
                                  country ? std::optional<std::string_view>(country) : std::nullopt,
                                  km);
               }));
        } else {
          const std::optional<double> km = gen.km();
          same("set_resolve", c_answer(gx_set_resolve(h, lat, lng, km.value_or(-1.0), km ? 1 : 0)),
               cpp_answer([&] { return s.resolve(lat, lng, km); }));
        }
      }
    }
    for (const auto& set : sets) gx_free(gx_set_free(set.first));
  }
  int total = 0;
  for (const auto& [function, n] : calls) {
    EXPECT_GE(n, 300) << function << " called too rarely";
    total += n;
  }
  EXPECT_EQ(calls.size(), 10u);  // all but gx_error and gx_free, which every other call uses
  EXPECT_GE(total, 10000);
}

TEST(CppHeader, RefusesWhatTheCFunctionsAnswerWithNothing) {
  const gantrix::AirportSet hubs{"CDG", "LHR", "JFK"};
  const int64_t h = hubs.handle();
  // The C function answers [] where the C++ refuses: only an empty answer is lost.
  const auto nearest = [&](const char* country, std::optional<double> km, int64_t limit) {
    EXPECT_EQ(c_answer(gx_set_nearest(h, 48.8, 2.3, country, country ? 1 : 0, km.value_or(0),
                                      km ? 1 : 0, limit)),
              "[]");
    const auto code = country ? std::optional<std::string_view>(country) : std::nullopt;
    return refusal([&] { (void)hubs.nearest(48.8, 2.3, limit, code, km); });
  };
  EXPECT_EQ(nearest(nullptr, {}, -1), "limit must not be negative");
  EXPECT_EQ(nearest(nullptr, -5.0, 3), "max_km must not be negative");
  EXPECT_EQ(nearest(nullptr, kNaN, 3), "max_km must be a number, not NaN");
  EXPECT_EQ(nearest("France", {}, 3), "country must be two ASCII letters, such as \"fr\"");
  EXPECT_EQ(nearest("f1", {}, 3), "country must be two ASCII letters, such as \"fr\"");
  EXPECT_EQ(refusal([&] { (void)hubs.resolve(51.5, -0.12, -1.0); }),
            "foreign_max_km must not be negative");
  EXPECT_EQ(refusal([&] { (void)hubs.resolve(51.5, -0.12, kNaN); }),
            "foreign_max_km must be a number, not NaN");
  // Infinity is no bound, not a mistake; coordinates go to the library whatever they are.
  EXPECT_EQ(hubs.nearest(48.8, 2.3, 1, "FR", kInf).view().substr(0, 17), "[{\"code\":\"fr.cdg\"");
  EXPECT_THROW((void)hubs.nearest(kNaN, 2.3, 1), gantrix::Error);

  // A code the C text would cut short or split is refused, not looked up as another code.
  const std::string cut("CDG\0LHR", 7);
  EXPECT_EQ(refusal([&] { (void)gantrix::airport(cut); }), "code must not contain a NUL byte");
  EXPECT_EQ(refusal([&] { (void)hubs.contains(cut); }), "code must not contain a NUL byte");
  EXPECT_EQ(refusal([&] {
              gantrix::AirportSet({"JFK", cut});
            }),
            "codes must not contain a NUL byte");
  EXPECT_EQ(refusal([&] { gantrix::AirportSet({"CDG\x1fLHR"}); }),
            "codes must not contain the byte 0x1F, which separates them");
}

TEST(CppHeader, SetOwnsItsHandleAndKeepsEveryCode) {
  static_assert(!std::is_copy_constructible_v<gantrix::AirportSet>);
  static_assert(!std::is_copy_assignable_v<gantrix::AirportSet>);
  static_assert(std::is_nothrow_move_constructible_v<gantrix::AirportSet>);

  const auto live = [](int64_t handle) {
    return c_answer(gx_set_size(handle)).rfind("error", 0) != 0;
  };
  int64_t first = -1;
  {
    gantrix::AirportSet a{"cdg", " CDG ", "lhr", "XXX"};
    first = a.handle();
    EXPECT_EQ(a.size(), 2);
    EXPECT_TRUE(a.contains(" lhr"));
    EXPECT_FALSE(a.contains("JFK"));
    EXPECT_EQ(a.missing(), "[\"XXX\"]");

    gantrix::AirportSet b(std::move(a));  // the handle moves; nothing is freed
    EXPECT_EQ(b.handle(), first);
    EXPECT_EQ(a.handle(), -1);
    EXPECT_TRUE(live(first));
    try {
      (void)a.size();
      ADD_FAILURE() << "a moved-from set answered";
    } catch (const gantrix::Error& e) {
      EXPECT_STREQ(e.what(), "no such AirportSet: -1");
    }

    gantrix::AirportSet c{std::vector<std::string>{"JFK"}};
    const int64_t second = c.handle();
    c = std::move(b);  // c's own set is freed, b's taken over
    EXPECT_FALSE(live(second));
    EXPECT_EQ(c.handle(), first);
    EXPECT_EQ(c.size(), 2);
  }
  EXPECT_FALSE(live(first));  // freed when the last owner went

  // Codes as given, each one: an empty code alone is still a code that names no airport.
  EXPECT_EQ(gantrix::AirportSet({""}).missing(), "[\"\"]");
  EXPECT_EQ(gantrix::AirportSet({}).missing(), "[]");
  const char* array[] = {"JFK", "", "ZZZ"};
  gantrix::AirportSet from_array(array);
  EXPECT_EQ(from_array.size(), 1);
  EXPECT_EQ(from_array.missing(), "[\"\",\"ZZZ\"]");
  from_array.close();
  from_array.close();
  EXPECT_THROW((void)from_array.contains("JFK"), gantrix::Error);
}

}  // namespace
