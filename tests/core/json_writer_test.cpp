#include "core/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <charconv>
#include <cstring>
#include <random>

namespace Gantrix {
namespace {

TEST(JsonWriter, StrEscapesQuoteBackslashAndControlBytesOnly) {
  const std::pair<std::string, std::string> cases[] = {
      {"", R"("")"},
      {"a\"b\\c\n\xC3\xA9", "\"a\\\"b\\\\c\\u000a\xC3\xA9\""},
      {std::string("\0\x1F\t\r\b\f\x1A", 7), R"("\u0000\u001f\u0009\u000d\u0008\u000c\u001a")"},
      {"a/b \x7F\xFF\x80", "\"a/b \x7F\xFF\x80\""}};
  for (const auto& [text, json] : cases) EXPECT_EQ(json_str(text), json);
}

TEST(JsonWriter, FloatLayout) {
  // clang-format off
  const std::pair<double, const char*> floats[] = {
      {1.0, "1.0"}, {51.4706, "51.4706"}, {-0.5, "-0.5"}, {0.0001, "0.0001"},
      {0.00012, "0.00012"}, {9.9999e-05, "9.9999e-05"}, {1e-05, "1.0e-05"},
      {123456789012345.0, "123456789012345.0"}, {1e15, "1.0e+15"},
      {1e15 + 2, "1.000000000000002e+15"}, {1e15 + 0.5, "1000000000000000.5"},
      {0.1 + 0.2, "0.30000000000000004"}, {-1e-300, "-1.0e-300"}, {5e-324, "5.0e-324"},
      {-1.7976931348623e308, "-1.7976931348623e+308"}, {NAN, "NaN"}, {INFINITY, "Infinity"},
      {-INFINITY, "-Infinity"}, {0.0, "0.0"}, {-0.0, "-0.0"}};
  // clang-format on
  for (const auto& [value, text] : floats) EXPECT_EQ(json_float(value), text);
}

// strtod is the oracle: the text must read back exactly, and one digit fewer must not.
TEST(JsonWriter, FloatReadsBackExactlyWithTheFewestDigits) {
  std::mt19937_64 rng(20240601);
  for (int i = 0; i < 20000; ++i) {
    double v = std::round(std::uniform_real_distribution<double>(-180, 180)(rng) * 1e6) / 1e6;
    if (i % 2 == 0) {
      const uint64_t bits = rng();
      std::memcpy(&v, &bits, sizeof v);
      if (!std::isfinite(v) || v == 0.0) continue;
    }
    const std::string text = json_float(v);
    ASSERT_NE(text.find_first_of(".e"), std::string::npos) << text;
    ASSERT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
    std::string digits;
    for (const char c : text.substr(0, text.find('e'))) {
      if (c >= '0' && c <= '9') digits += c;
    }
    const auto n = static_cast<int>(digits.find_last_not_of('0') - digits.find_first_not_of('0'));
    if (n == 0) continue;  // a single digit
    char shorter[40];
    std::snprintf(shorter, sizeof shorter, "%.*e", n - 1, v);
    ASSERT_NE(std::strtod(shorter, nullptr), v) << text << " vs " << shorter;
  }
}

// Where the standard library's shortest text is plain decimal (below 1e15, where ours is
// plain too), ours must be the same digits
// (".0" added to a whole number): same length and the same choice between equally short
// texts. Dyadic fractions (exact ties at the 17th digit), neighbours of powers of ten and of
// short decimals, and random bit patterns; both signs.
TEST(JsonWriter, FloatDigitsMatchTheStandardShortest) {
  std::mt19937_64 rng(7);
  const auto pick = [&rng](int i) {
    switch (i % 6) {
      case 0: {
        const uint64_t bits = (rng() & ((uint64_t{1} << 52) - 1)) | ((1023 + rng() % 30) << 52);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
      }
      case 1:
        return std::ldexp(static_cast<double>(rng() % (uint64_t{1} << 53)),
                          -static_cast<int>(rng() % 60));
      case 2: {
        double v = std::pow(10.0, static_cast<int>(rng() % 12));
        for (int k = static_cast<int>(rng() % 4); k > 0; --k) v = std::nextafter(v, 0.0);
        return rng() % 2 == 0 ? v : std::nextafter(v, INFINITY);
      }
      case 3:
        return std::nextafter(static_cast<double>(rng() % 100000) / 1000.0,
                              rng() % 2 == 0 ? 0.0 : INFINITY);
      case 4: {
        // d whole digits and an odd multiple of 2^-(18-d): exactly 18 significant digits,
        // the last a 5, so the 17-digit text is a tie.
        const int d = 1 + static_cast<int>(rng() % 8);
        const int m = 18 - d;
        const double whole = std::pow(10.0, d - 1) + static_cast<double>(rng() % 1000);
        return whole + std::ldexp(static_cast<double>((rng() % (uint64_t{1} << m)) | 1), -m);
      }
      default:
        return std::uniform_real_distribution<double>(0.0, 20016.0)(rng);
    }
  };
  for (int i = 0; i < 300000; ++i) {
    const double v = i % 2 == 0 ? pick(i / 2) : -pick(i / 2);
    char text[64];
    std::string want(text, std::to_chars(text, text + sizeof text, v).ptr);
    if (std::fabs(v) >= 1e15 || want.find('e') != std::string::npos) continue;
    if (want.find('.') == std::string::npos) want += ".0";
    ASSERT_EQ(json_float(v), want) << i;
  }
}

}  // namespace
}  // namespace Gantrix
