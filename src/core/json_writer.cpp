#include "core/json_writer.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace Gantrix {

namespace {

// What the string writer does with each byte: copy it, escape it, or check the UTF-8
// sequence it starts. One table load keeps plain ASCII as cheap as it was before checking.
enum : unsigned char { kCopy, kEscape, kLead };

constexpr auto kByteClass = [] {
  std::array<unsigned char, 256> c{};
  for (int b = 0; b < 256; ++b) {
    c[b] = b < 0x20 || b == '"' || b == '\\' ? kEscape : b >= 0x80 ? kLead : kCopy;
  }
  return c;
}();

// The length of the well-formed UTF-8 sequence at p (lead byte >= 0x80), or, negated, the
// length of its maximal ill-formed subpart: the lead byte and the continuation bytes that
// could still have begun a well-formed sequence (at least 1). The second byte's range
// excludes overlong forms, surrogates and code points past U+10FFFF.
int utf8_sequence(const unsigned char* p, const unsigned char* end) {
  const unsigned char b = p[0];
  int len;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    return -1;  // a continuation byte, C0, C1 or F5..FF
  }
  if (end - p < 2 || p[1] < lo || p[1] > hi) return -1;
  for (int k = 2; k < len; ++k) {
    if (end - p <= k || (p[k] & 0xC0) != 0x80) return -k;
  }
  return len;
}

}  // namespace

void append_json_str(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = bytes + text.size();
  out.push_back('"');
  size_t run = 0;  // start of the pending run of bytes that need no escape
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char b = bytes[i];
    const unsigned char c = kByteClass[b];
    if (c == kCopy) continue;
    if (c == kLead) {
      // Well-formed sequences stay in the run; each maximal ill-formed subpart becomes one
      // U+FFFD, so every answer is UTF-8 whatever bytes a caller passed in.
      const int len = utf8_sequence(bytes + i, end);
      if (len > 0) {
        i += static_cast<size_t>(len) - 1;
        continue;
      }
      out.append(text.data() + run, i - run);
      out.append("\xEF\xBF\xBD", 3);
      i += static_cast<size_t>(-len) - 1;
      run = i + 1;
      continue;
    }
    out.append(text.data() + run, i - run);
    run = i + 1;
    if (b == '"') {
      out.append("\\\"", 2);
    } else if (b == '\\') {
      out.append("\\\\", 2);
    } else {
      const char esc[6] = {'\\', 'u', '0', '0', kHex[b >> 4], kHex[b & 0xF]};
      out.append(esc, 6);
    }
  }
  out.append(text.data() + run, text.size() - run);
  out.push_back('"');
}

namespace {

using U128 = unsigned __int128;

constexpr uint64_t kPow10[18] = {1ULL,
                                 10ULL,
                                 100ULL,
                                 1000ULL,
                                 10000ULL,
                                 100000ULL,
                                 1000000ULL,
                                 10000000ULL,
                                 100000000ULL,
                                 1000000000ULL,
                                 10000000000ULL,
                                 100000000000ULL,
                                 1000000000000ULL,
                                 10000000000000ULL,
                                 100000000000000ULL,
                                 1000000000000000ULL,
                                 10000000000000000ULL,
                                 100000000000000000ULL};

// The eight decimal digits of v < 10^8 as ASCII, first digit in the lowest byte: the two
// four-digit halves, then their two-digit pairs, then the digits, all in parallel lanes.
uint64_t ascii8(uint32_t v) {
  uint64_t x = (v / 10000) | (static_cast<uint64_t>(v % 10000) << 32);
  const uint64_t hundreds = ((x * 10486) >> 20) & 0x0000007F0000007FULL;
  x = ((x - hundreds * 100) << 16) | hundreds;
  const uint64_t tens = ((x * 103) >> 10) & 0x000F000F000F000FULL;
  x = ((x - tens * 10) << 8) | tens;
  return x | 0x3030303030303030ULL;
}

// Distances and most coordinates: 1 <= v < 1e8 with a significand that is not a power of two
// (whose lower neighbour is nearer than its upper one). Finds the shortest digits that read
// back as v and, among those, the nearest to v (ties to even), in exact integer arithmetic
// at 17 significant digits, and writes them in plain decimal. Returns the end, or nullptr
// when v is not such a value. Writes up to 26 bytes whatever the text's length.
char* write_plain(double v, char* w) {
  // The digits are laid out as little-endian words.
  if constexpr (std::endian::native != std::endian::little) return nullptr;
  if (!(v >= 1.0 && v < 1e8)) return nullptr;
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  if (fraction == 0) return nullptr;
  const uint64_t mant = fraction | (uint64_t{1} << 52);
  const int e2 = static_cast<int>(bits >> 52) - 1023;  // floor(log2 v): 0 .. 26
  const int shift = 52 - e2;                           // v = mant / 2^shift
  int de = (e2 * 1233) >> 12;                          // floor(log10 v), or one less
  de += v >= static_cast<double>(kPow10[de + 1]);
  const uint64_t scale = kPow10[16 - de];
  // v * 10^(16-de), times 2^shift, exactly: r is its whole part (the digits to the 17th),
  // rest the fraction over 2^shift (shift is 26 .. 52, so both fit a word).
  const U128 scaled = static_cast<U128>(mant) * scale;
  const auto low64 = static_cast<uint64_t>(scaled), high64 = static_cast<uint64_t>(scaled >> 64);
  uint64_t r = (high64 << (64 - shift)) | (low64 >> shift);
  const uint64_t mask = (uint64_t{1} << shift) - 1;
  const uint64_t rest = low64 & mask;
  // The texts that read back as v lie within half a unit in the last place (scale / 2 in
  // these units over 2^shift), ends included when the significand is even; [l + 1, h]
  // holds their 17-digit integers.
  const bool ends_count = (mant & 1) == 0;
  const auto half_scale = static_cast<int64_t>(scale / 2);
  const int64_t below = static_cast<int64_t>(rest) - half_scale;
  const int64_t above = static_cast<int64_t>(rest) + half_scale;
  uint64_t l = r + static_cast<uint64_t>(below >> shift);  // arithmetic shift: the floor
  if ((static_cast<uint64_t>(below) & mask) == 0 && ends_count) --l;
  uint64_t h = r + static_cast<uint64_t>(above >> shift);
  if ((static_cast<uint64_t>(above) & mask) == 0 && !ends_count) --h;
  const uint64_t lowest = l + 1, highest = h;

  // Drop digits while a shorter text still reads back; track how what is dropped compares
  // with half a unit of the kept digits (0 below, 1 exactly, 2 above).
  const uint64_t half = uint64_t{1} << (shift - 1);
  int dropped = rest < half ? 0 : rest == half ? 1 : 2;
  bool zeros = rest == 0;
  int t = 0;
  while (h / 10 > l / 10) {
    const uint64_t d = r % 10;
    dropped = d < 5 ? 0 : d > 5 || !zeros ? 2 : 1;
    zeros = zeros && d == 0;
    r /= 10;
    h /= 10;
    l /= 10;
    ++t;
  }
  uint64_t c = r + (dropped == 2 || (dropped == 1 && (r & 1) != 0));
  if (c * kPow10[t] < lowest) ++c;
  if (c * kPow10[t] > highest) --c;
  // The chosen digits padded with zeros to 17; when rounding up carried into an 18th
  // digit, v is within an ulp of a power of ten and the general path takes it.
  const uint64_t full = c * kPow10[t];
  if (full >= kPow10[17]) return nullptr;
  int n = 17 - t;  // significant digits, trailing zeros dropped
  while (c % 10 == 0) {
    c /= 10;
    --n;
  }
  // The 17 digits are stored at w, then the part after the point again one byte further on,
  // from the same words shifted, so no byte is read back.
  const auto first = static_cast<uint32_t>(full / kPow10[16]);
  const uint64_t after_first = full - first * kPow10[16];
  const uint64_t mid = ascii8(static_cast<uint32_t>(after_first / 100000000));
  const uint64_t low = ascii8(static_cast<uint32_t>(after_first % 100000000));
  const int int_digits = de + 1;  // 1 .. 8
  w[0] = static_cast<char>('0' + first);
  std::memcpy(w + 1, &mid, 8);
  std::memcpy(w + 9, &low, 8);
  const int skip = (int_digits - 1) * 8;  // bits of mid before the point
  const uint64_t tail_high = skip == 0 ? mid : (mid >> skip) | (low << (64 - skip));
  const uint64_t tail_low = skip == 0 ? low : low >> skip;
  w += int_digits;
  *w++ = '.';
  std::memcpy(w, &tail_high, 8);
  std::memcpy(w + 8, &tail_low, 8);
  return w + (n > int_digits ? n - int_digits : 1);
}

}  // namespace

char* write_json_float(char* w, double value) {
  if (std::isnan(value)) {
    std::memcpy(w, "NaN", 3);
    return w + 3;
  }
  if (std::isinf(value)) {
    if (value < 0) *w++ = '-';
    std::memcpy(w, "Infinity", 8);
    return w + 8;
  }
  if (value == 0.0) {
    if (std::signbit(value)) *w++ = '-';
    std::memcpy(w, "0.0", 3);
    return w + 3;
  }
  if (value < 0) *w++ = '-';
  if (char* end = write_plain(std::fabs(value), w)) return end;

  // Anything else: shortest round-trip digits in scientific form, d.ddde[+-]xx, from the
  // standard library, then laid out by our rules.
  char sci[40];
  const char* end =
      std::to_chars(sci, sci + sizeof sci, std::fabs(value), std::chars_format::scientific).ptr;
  const char* p = sci;
  char digits[24];
  int n = 0;
  for (; *p != 'e'; ++p) {
    if (*p != '.') digits[n++] = *p;
  }
  ++p;
  const bool exp_negative = *p++ == '-';
  int e = 0;
  for (; p < end; ++p) e = e * 10 + (*p - '0');
  if (exp_negative) e = -e;

  const auto put = [&w](const char* from, int count) {
    std::memcpy(w, from, static_cast<size_t>(count));
    w += count;
  };
  if (e >= 0 && (e + 1 < 16 || n > e + 1)) {
    if (n <= e + 1) {
      put(digits, n);
      std::memset(w, '0', static_cast<size_t>(e + 1 - n));
      w += e + 1 - n;
      put(".0", 2);
    } else {
      put(digits, e + 1);
      *w++ = '.';
      put(digits + e + 1, n - (e + 1));
    }
  } else if (e >= -4 && e < 0) {
    put("0.", 2);
    std::memset(w, '0', static_cast<size_t>(-e - 1));
    w += -e - 1;
    put(digits, n);
  } else {
    *w++ = digits[0];
    *w++ = '.';
    if (n == 1) {
      *w++ = '0';
    } else {
      put(digits + 1, n - 1);
    }
    *w++ = 'e';
    *w++ = e < 0 ? '-' : '+';
    const int a = e < 0 ? -e : e;
    char exp[8];
    int len = 0;
    for (int v = a; v > 0 || len < (e < 0 ? 2 : 1); v /= 10)
      exp[len++] = static_cast<char>('0' + v % 10);
    while (len > 0) *w++ = exp[--len];
  }
  return w;
}

void append_json_float(std::string& out, double value) {
  char text[JSON_FLOAT_ROOM];
  out.append(text, static_cast<size_t>(write_json_float(text, value) - text));
}

}  // namespace Gantrix
