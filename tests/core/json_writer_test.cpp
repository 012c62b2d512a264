#include "core/json_writer.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

namespace Gantrix {
namespace {

// Whether text is well-formed UTF-8: no stray or missing continuation bytes, overlong forms,
// surrogates or code points past U+10FFFF. Decodes every sequence, unlike the writer.
bool utf8_valid(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const size_t len = b < 0x80                ? 1
                       : b >= 0xC2 && b < 0xE0 ? 2
                       : b >= 0xE0 && b < 0xF0 ? 3
                       : b >= 0xF0 && b < 0xF5 ? 4
                                               : 0;
    if (len == 0 || i + len > text.size()) return false;
    uint32_t cp = len == 1 ? b : b & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

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
// one U+FFFD, and what follows it is read afresh.
TEST(JsonWriter, StrReplacesEachIllFormedUtf8SubpartWithOneReplacementCharacter) {
  const std::string u = "\xEF\xBF\xBD", edges =
                                            "\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF "
                                            "\xEE\x80\x80 \xF0\x90\x80\x80 \xF4\x8F\xBF\xBF";
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
  // Random bytes, mostly from the lead and continuation ranges, always come out as UTF-8.
  std::mt19937_64 rng(17);
  for (int i = 0; i < 20000; ++i) {
    std::string bytes(rng() % 12, ' ');
    for (char& c : bytes) c = static_cast<char>(rng() % 3 == 0 ? 'a' : 0x80 + rng() % 128);
    ASSERT_TRUE(utf8_valid(json_str(bytes))) << testing::PrintToString(bytes);
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
// the same choice between equally short texts. Random bit patterns, dyadic fractions, exact
// ties at the 17th digit, neighbours of powers of ten and of short decimals; both signs.
TEST(JsonWriter, FloatDigitsMatchTheStandardShortest) {
  std::mt19937_64 rng(7);
  const auto pick = [&rng](int i) {
    switch (i % 5) {
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
      case 3: {
        // d whole digits and an odd multiple of 2^-(18-d): exactly 18 significant digits,
        // the last a 5, so the 17-digit text is a tie.
        const int d = 1 + static_cast<int>(rng() % 8);
        const double whole = std::pow(10.0, d - 1) + static_cast<double>(rng() % 1000);
        return whole +
               std::ldexp(static_cast<double>((rng() % (uint64_t{1} << (18 - d))) | 1), d - 18);
      }
      default:
        return std::nextafter(static_cast<double>(rng() % 100000) / 1000.0,
                              rng() % 2 == 0 ? 0.0 : INFINITY);
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
