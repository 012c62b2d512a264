#include "core/json_writer.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string_view>

#include "tests/support/test_support.h"

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
// one U+FFFD, and what follows it is read afresh.
TEST(JsonWriter, StrReplacesEachIllFormedUtf8SubpartWithOneReplacementCharacter) {
  const std::string u = "\xEF\xBF\xBD";
  const std::pair<std::string, std::string> cases[] = {
      {"\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80 \xEF\xBF\xBF",
       "\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80 \xEF\xBF\xBF"},
      {"\xF0\x90\x80\x80 \xF4\x8F\xBF\xBF \xF3\xBF\xBF\xBF",
       "\xF0\x90\x80\x80 \xF4\x8F\xBF\xBF \xF3\xBF\xBF\xBF"},
      {"\xFF", u},
      {"\xFE\xFF", u + u},
      {"\x80", u},  // lone continuation bytes
      {"a\xBF\x80z", "a" + u + u + "z"},
      {"\xC0\x80", u + u},                  // overlong NUL
      {"\xC1\xBF", u + u},                  // overlong DEL
      {"\xE0\x80\xAF", u + u + u},          // overlong /
      {"\xF0\x8F\xBF\xBF", u + u + u + u},  // overlong U+FFFF
      {"\xED\xA0\x80", u + u + u},          // surrogate U+D800
      {"\xED\xBF\xBF", u + u + u},          // surrogate U+DFFF
      {"\xF4\x90\x80\x80", u + u + u + u},  // U+110000
      {"\xF5\x80\x80\x80", u + u + u + u},
      {"\xE2\x82", u},  // cut short at the end
      {"\xF0\x9F\x98", u},
      {"\xF0\x9F\x98\xF0\x9F\x98\x80", u + "\xF0\x9F\x98\x80"},
      {"\xE2\x82z", u + "z"},
      {"\xC3\"\xE2\x0A", u + "\\\"" + u + "\\u000a"},  // escapes still apply after it
      {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
       "a" + u + u + u + "b" + u + "c" + u + u + "d"},
  };
  for (const auto& [text, want] : cases) {
    EXPECT_EQ(json_str(text), '"' + want + '"') << testing::PrintToString(text);
  }
}

// Random bytes, mostly from the lead and continuation ranges, always come out as UTF-8;
// random well-formed text always comes out unchanged.
TEST(JsonWriter, StrOutputIsAlwaysUtf8AndKeepsWellFormedText) {
  std::mt19937_64 rng(17);
  for (int i = 0; i < 20000; ++i) {
    std::string bytes(rng() % 12, ' ');
    for (char& c : bytes) c = static_cast<char>(rng() % 3 == 0 ? 'a' : 0x80 + rng() % 128);
    const std::string out = json_str(bytes);
    ASSERT_TRUE(test::utf8_valid(out)) << testing::PrintToString(bytes);

    std::string text;
    for (int k = static_cast<int>(rng() % 6); k > 0; --k) {
      uint32_t cp = static_cast<uint32_t>(rng() % 0x110000);
      if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0x20AC;
      if (cp < 0x20 || cp == '"' || cp == '\\') cp = 'x';
      if (cp < 0x80) {
        text += static_cast<char>(cp);
      } else if (cp < 0x800) {
        text += {static_cast<char>(0xC0 | cp >> 6), static_cast<char>(0x80 | (cp & 0x3F))};
      } else if (cp < 0x10000) {
        text += {static_cast<char>(0xE0 | cp >> 12), static_cast<char>(0x80 | (cp >> 6 & 0x3F)),
                 static_cast<char>(0x80 | (cp & 0x3F))};
      } else {
        text += {static_cast<char>(0xF0 | cp >> 18), static_cast<char>(0x80 | (cp >> 12 & 0x3F)),
                 static_cast<char>(0x80 | (cp >> 6 & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
      }
    }
    ASSERT_TRUE(test::utf8_valid(text));
    ASSERT_EQ(json_str(text), '"' + text + '"') << testing::PrintToString(text);
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
