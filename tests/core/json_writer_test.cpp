#include "core/json_writer.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

namespace Gantrix {
namespace {

TEST(JsonWriter, StrEscapesQuoteBackslashAndControlBytesOnly) {
  const std::pair<std::string, std::string> cases[] = {
      {"", R"("")"},
      {"a\"b\\c\n\xC3\xA9", "\"a\\\"b\\\\c\\u000a\xC3\xA9\""},
      {std::string("\0\x1F\t\r\b\f\x1A", 7), R"("\u0000\u001f\u0009\u000d\u0008\u000c\u001a")"},
      {"a/b \x7F", "\"a/b \x7F\""}};
  for (const auto& [text, json] : cases) EXPECT_EQ(json_str(text), json);
}

// Well-formed UTF-8 passes unchanged, up to the edges of each range; each maximal ill-formed
// subpart (a byte that cannot start or continue a sequence, or a sequence cut short) becomes
// one U+FFFD, and what follows it is read afresh. (The API fuzzer checks that every answer
// is UTF-8 whatever bytes it was given.)
TEST(JsonWriter, StrReplacesEachIllFormedUtf8SubpartWithOneReplacementCharacter) {
  const std::string u = "\xEF\xBF\xBD";
  const std::string edges =
      "\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xF0\x90\x80\x80 \xF4\x8F\xBF\xBF";
  const std::pair<std::string, std::string> cases[] = {
      {edges, edges},
      {"\xFE\xFF", u + u},
      {"a\xBF\x80z", "a" + u + u + "z"},                         // lone continuation bytes
      {"\xC0\x80", u + u},                                       // overlong NUL
      {"\xE0\x80\xAF", u + u + u},                               // overlong /
      {"\xF0\x8F\xBF\xBF", u + u + u + u},                       // overlong U+FFFF
      {"\xED\xA0\x80", u + u + u},                               // surrogate U+D800
      {"\xF4\x90\x80\x80", u + u + u + u},                       // U+110000
      {"\xF0\x9F\x98\xF0\x9F\x98\x80", u + "\xF0\x9F\x98\x80"},  // cut short, then whole
      {"\xC3\"\xE2\x0A", u + "\\\"" + u + "\\u000a"},            // escapes still apply after it
  };
  for (const auto& [text, want] : cases) {
    EXPECT_EQ(json_str(text), '"' + want + '"') << testing::PrintToString(text);
  }
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

// Where the standard library's shortest text is plain decimal (below 1e15, where ours is
// plain too), ours must be the same digits (".0" added to a whole number): same length and
// the same choice between equally short texts. Random bit patterns, exact ties at the 17th
// digit, and neighbours of powers of ten and of short decimals; both signs.
TEST(JsonWriter, FloatDigitsMatchTheStandardShortest) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 300000; ++i) {
    double v;
    if (i % 3 == 0) {
      const uint64_t bits = (rng() & ((uint64_t{1} << 52) - 1)) | ((1023 + rng() % 30) << 52);
      std::memcpy(&v, &bits, sizeof v);
    } else if (i % 3 == 1) {
      // d whole digits and an odd multiple of 2^-(18-d): exactly 18 significant digits, the
      // last a 5, so the 17-digit text is a tie.
      const int d = 1 + static_cast<int>(rng() % 8);
      const auto odd = static_cast<double>((rng() % (uint64_t{1} << (18 - d))) | 1);
      v = std::pow(10.0, d - 1) + static_cast<double>(rng() % 1000) + std::ldexp(odd, d - 18);
    } else {  // a neighbour of a power of ten or of a short decimal
      v = i % 2 ? std::pow(10.0, static_cast<int>(rng() % 12)) : (rng() % 100000) / 1000.0;
      v = std::nextafter(v, rng() % 2 ? 0.0 : 1e300);
    }
    if (rng() % 2 == 0) v = -v;
    char text[64];
    std::string want(text, std::to_chars(text, text + sizeof text, v).ptr);
    if (std::fabs(v) >= 1e15 || want.find('e') != std::string::npos) continue;
    if (want.find('.') == std::string::npos) want += ".0";
    ASSERT_EQ(json_float(v), want) << i;
  }
}

}  // namespace
}  // namespace Gantrix
