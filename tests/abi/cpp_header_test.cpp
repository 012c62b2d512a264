// gantrix.hpp against the C functions it wraps, through the shared library (built as C++17,
// as the oldest consumer would): the same answers for a seeded stream of calls to every
// function, refusals with the one wording, and sets that own their handles.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "gantrix.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A C answer as text and freed, or "error: <message>" for a failure.
std::string c_answer(char* text) {
  const std::string out = text != nullptr ? text : std::string("error: ") + gx_error();
  gx_free(text);  // NULL is ignored
  return out;
}

// A C++ answer written back as the C text it stands for.
std::string text(const gantrix::Answer& a) { return a.str(); }
std::string text(int64_t n) { return std::to_string(n); }
std::string text(bool b) { return b ? "true" : "false"; }
std::string text(const std::optional<std::string>& code) {
  return code ? '"' + *code + '"' : "null";
}

// Whether the C functions still know the handle.
bool live(int64_t handle) { return c_answer(gx_set_size(handle)).rfind("error", 0) != 0; }

template <class Call>
std::string cpp_answer(Call call) {
  try {
    return text(call());
  } catch (const gantrix::Error& e) {
    return std::string("error: ") + e.what();
  }
}

// Seeded arguments: points anywhere, far past 180 or invalid; codes of three letters in either
// case, sometimes padded or odd.
struct Arguments {
  std::mt19937_64 random;

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
    if (below(20) == 0)
      return {odd[below(std::size(odd))], below(2) ? odd[below(std::size(odd))] : 0.0};
    return {std::asin(uniform(-1, 1)) * 57.29577951308232, uniform(-720, 720)};
  }
  std::string code() {
    static const char* odd[] = {"", "  ", "JFKX", "\xc3\xa9\xc3\xa9", " cdg\r\n", "\x7f\x80\xff"};
    if (below(14) == 0) return odd[below(std::size(odd))];
    const char base = below(4) == 0 ? 'a' : 'A';
    const std::string c = {char(base + below(26)), char(base + below(26)), char(base + below(26))};
    return below(6) == 0 ? " " + c + "\t" : c;
  }
};

TEST(CppHeader, AnswersWhatTheCFunctionsAnswer) {
  for (const uint64_t seed : {1u, 2u}) {
    Arguments gen{std::mt19937_64(seed)};
    std::vector<std::pair<int64_t, gantrix::AirportSet>> sets;  // one list, made both ways
    // The C answer first, its failure's message read at once, then the C++ call's.
    int j = 0;
    const auto same = [&](const char* function, char* c, auto cpp) {
      EXPECT_EQ(c_answer(c), cpp_answer(cpp))
          << function << " (seed " << seed << ", call " << j << ")";
    };
    for (; j < 6000 && !HasFailure(); ++j) {
      const auto [lat, lng] = gen.point();
      const size_t op = gen.below(sets.empty() ? 4 : 11);
      const std::string code = gen.code();
      if (op == 0) {
        same("find", gx_find(lat, lng), [&] { return gantrix::find(lat, lng); });
      } else if (op == 1) {
        same("country_at", gx_country_at(lat, lng), [&] { return gantrix::country_at(lat, lng); });
      } else if (op == 2) {
        same("airport", gx_airport(code.c_str()), [&] { return gantrix::airport(code); });
      } else if (op == 3) {
        std::vector<std::string> codes(gen.below(5) == 0 ? 0 : 1 + gen.below(8));
        std::string joined;
        for (size_t k = 0; k < codes.size(); ++k)
          joined += (k > 0 ? "\x1f" : "") + (codes[k] = gen.code());
        if (codes.size() == 1 && codes[0].empty()) continue;  // its own case, below
        const std::string handle = c_answer(gx_set_new(joined.c_str(), codes.empty() ? 0 : 1));
        sets.emplace_back(std::strtoll(handle.c_str(), nullptr, 10), gantrix::AirportSet(codes));
      } else {
        const auto& [h, s] = sets[gen.below(sets.size())];
        const std::optional<double> km = gen.km();
        if (op == 4) {
          same("set_size", gx_set_size(h), [&] { return s.size(); });
        } else if (op == 5) {
          same("set_include", gx_set_include(h, code.c_str()), [&] { return s.contains(code); });
        } else if (op == 6) {
          same("set_missing", gx_set_missing(h), [&] { return s.missing(); });
        } else if (op <= 8) {
          static const char* countries[] = {"us", "FR", "de", "gb", "xx", "cn", "Au", "br", "aq"};
          const char* country = gen.below(2) ? countries[gen.below(std::size(countries))] : nullptr;
          const auto as_view = country ? std::optional<std::string_view>(country) : std::nullopt;
          const int64_t limit = int64_t(gen.below(12));
          same("set_nearest",
               gx_set_nearest(h, lat, lng, country, country ? 1 : 0, km.value_or(-1.0), km ? 1 : 0,
                              limit),
               [&] { return s.nearest(lat, lng, limit, as_view, km); });
        } else {
          same("set_resolve", gx_set_resolve(h, lat, lng, km.value_or(-1.0), km ? 1 : 0),
               [&] { return s.resolve(lat, lng, km); });
        }
      }
    }
    for (const auto& set : sets) gx_free(gx_set_free(set.first));
  }
}

TEST(CppHeader, RefusesWhatTheCFunctionsAnswer) {
  const gantrix::AirportSet hubs{"CDG", "LHR", "JFK"};
  const std::string cut("CDG\0LHR", 7);  // a code the C text would cut short
  const std::vector<std::string> listed{"JFK", cut};
  const std::pair<std::function<void()>, const char*> refused[] = {
      {[&] { (void)hubs.nearest(48.8, 2.3, -1); }, "limit must not be negative"},
      {[&] { (void)hubs.nearest(48.8, 2.3, 3, {}, -5.0); }, "max_km must not be negative"},
      {[&] { (void)hubs.nearest(48.8, 2.3, 3, {}, kNaN); }, "max_km must be a number, not NaN"},
      {[&] { (void)hubs.nearest(0, 0, 3, "France"); },
       "country must be two ASCII letters, such as \"fr\""},
      {[&] { (void)hubs.resolve(51.5, -0.12, -1.0); }, "foreign_max_km must not be negative"},
      {[&] { (void)hubs.resolve(51.5, -0.12, kNaN); }, "foreign_max_km must be a number, not NaN"},
      {[&] { (void)gantrix::airport(cut); }, "code must not contain a NUL byte"},
      {[&] { (void)hubs.contains(cut); }, "code must not contain a NUL byte"},
      {[&] { (void)gantrix::AirportSet(listed); }, "codes must not contain a NUL byte"},
      {[&] { (void)gantrix::AirportSet({"CDG\x1fLHR"}); },
       "codes must not contain the byte 0x1F, which separates them"},
  };
  for (const auto& [call, wording] : refused) {
    try {
      call();
      ADD_FAILURE() << "not refused: " << wording;
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), wording);
    }
  }
  // Infinity is no bound, not a mistake; coordinates go to the library, which fails them.
  EXPECT_EQ(hubs.nearest(48.8, 2.3, 1, "FR", kInf).view().substr(0, 17), "[{\"code\":\"fr.cdg\"");
  EXPECT_THROW((void)hubs.nearest(kNaN, 2.3, 1), gantrix::Error);
}

TEST(CppHeader, SetOwnsItsHandleAndKeepsEveryCode) {
  static_assert(!std::is_copy_constructible_v<gantrix::AirportSet>);
  static_assert(!std::is_copy_assignable_v<gantrix::AirportSet>);
  static_assert(std::is_nothrow_move_constructible_v<gantrix::AirportSet>);
  int64_t first = -1;
  {
    gantrix::AirportSet a{"cdg", "lhr"};
    first = a.handle();
    gantrix::AirportSet b(std::move(a));  // the handle moves; nothing is freed
    EXPECT_EQ(b.handle(), first);
    EXPECT_EQ(a.handle(), -1);
    EXPECT_TRUE(live(first));
    EXPECT_THROW((void)a.size(), gantrix::Error);
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
  const char* array[] = {"JFK", "", "ZZZ"};
  gantrix::AirportSet from_array(array);
  EXPECT_EQ(from_array.missing(), "[\"\",\"ZZZ\"]");
  from_array.close();
  from_array.close();
  EXPECT_THROW((void)from_array.contains("JFK"), gantrix::Error);
}

}  // namespace
