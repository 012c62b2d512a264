#include "builder/json_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "tests/support/test_support.h"

namespace Gantrix {
namespace {

using test::error_of;

std::string skip_error(std::string_view text) {
  return error_of([&] { JsonReader(text).skip_value(); });
}

TEST(JsonReader, ReportsWhereReadingStopped) {
  // Each text skipped as a value; the error without its "json: " prefix.
  // clang-format off
  const std::pair<std::string, const char*> bad[] = {
      {"[1 2]", "expected ',' or ']' at byte 3"}, {"[1,]", "invalid number at byte 3"},
      {"{\"a\" 1}", "expected ':' at byte 5"}, {"{1:2}", "expected '\"' at byte 1"},
      {"{\"a\":1 \"b\":2}", "expected ',' or '}' at byte 7"},
      {"\"a\\nb", "unterminated string at byte 5"},
      {"\"a\\u0041\"",
       "unsupported string escape \\u (write the character itself, in UTF-8) at byte 2"},
      {"\"a\\", "unsupported string escape at byte 2"},
      {"", "invalid number at byte 0"}, {"+1", "invalid number at byte 0"},
      {"- 1", "invalid number at byte 1"}, {"1.e5", "invalid number at byte 2"},
      {"9223372036854775800", "number too long at byte 18"},
      {"0.9223372036854775800", "number too long at byte 20"},
      {"1e23", "number exponent out of range at byte 4"},
      {"1e999999999999999999999", "number exponent out of range at byte 23"},
      {" tru", "invalid literal at byte 1"}};
  // clang-format on
  for (const auto& [json, error] : bad) {
    EXPECT_EQ(skip_error(json), std::string("json: ") + error) << json;
    // read_string decodes while skip_value only scans: both must stop at the same byte.
    if (json[0] == '"') {
      EXPECT_EQ(error_of([&] { JsonReader(json).read_string(); }), std::string("json: ") + error);
    }
  }
}

TEST(JsonReader, ReadsNumbersAndLeavesTheRest) {
  // clang-format off
  const std::tuple<const char*, double, int64_t> cases[] = {
      {"0.5", 0.5, 3}, {"1E+05", 1e5, 5}, {"12.5e-1", 1.25, 7}, {"01", 0, 1}, {" -7]", -7, 3},
      {"1e22", 1e22, 4}, {"1e-22", 1e-22, 5}, {"9223372036854775799", 9223372036854775799.0, 19}};
  // clang-format on
  for (const auto& [text, value, end] : cases) {
    JsonReader r(text);
    EXPECT_EQ(r.read_number(), value) << text;
    EXPECT_EQ(r.pos(), end) << text;
  }
  EXPECT_TRUE(std::signbit(JsonReader("-0").read_number()));
  // One rounding of an exact significand by an exact power of ten is correctly rounded, so
  // the reader must agree with strtod on all such numbers.
  std::mt19937_64 rng(7);
  for (int i = 0; i < 20000; ++i) {
    char text[48];
    const unsigned long long m = rng() >> (11 + i % 50);
    std::snprintf(text, sizeof text, "%llue%d", m, static_cast<int>(rng() % 45) - 22);
    ASSERT_EQ(JsonReader(text).read_number(), std::strtod(text, nullptr)) << text;
  }
}

TEST(JsonReader, StringsEscapesLiteralsAndWhiteSpace) {
  JsonReader r(" \"plain\"\r\n,\t\"x\\\"\\\\\\/\\b\\f\\n\\r\\ty\" nullx");
  EXPECT_EQ(r.read_string(), "plain");
  EXPECT_TRUE(r.next(']', false));
  EXPECT_EQ(r.read_string(), "x\"\\/\b\f\n\r\ty");
  EXPECT_EQ(r.read_opt_string(), std::nullopt);
  EXPECT_EQ(r.pos(), 37);  // the x after null is left for the caller
  EXPECT_EQ(JsonReader(" \"x\"").read_opt_string(), "x");
  EXPECT_EQ(error_of([] { JsonReader("5").read_opt_string(); }), "json: expected '\"' at byte 0");
}

// Regression: a long run of '[' used to recurse in skip_value until the stack overflowed.
TEST(JsonReader, DeepNestingFailsInsteadOfOverflowing) {
  const auto nested = [](int levels) {  // two containers per level
    std::string s;
    for (int i = 0; i < levels; ++i) s.insert(6 * i, "{\"k\":[]}");
    return s;
  };
  EXPECT_EQ(skip_error(" [[ ], {}, {\"a\":[1,-2.5e3,true,false,null,\"s\"]}]"), "");
  EXPECT_EQ(skip_error(nested(JsonReader::MAX_DEPTH / 2)), "");
  EXPECT_EQ(skip_error(nested(JsonReader::MAX_DEPTH / 2 + 1)),  // at the object of level 257
            "json: nesting too deep at byte " + std::to_string(3 * JsonReader::MAX_DEPTH));
  EXPECT_EQ(skip_error(std::string(100000, '[')),
            "json: nesting too deep at byte " + std::to_string(JsonReader::MAX_DEPTH));
}

}  // namespace
}  // namespace Gantrix
