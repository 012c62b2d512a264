#include "api/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace Gantrix {

void append_json_str(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  size_t run = 0;  // start of the pending run of bytes that need no escape
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b >= 0x20 && b != '"' && b != '\\') continue;
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

void append_json_float(std::string& out, double value) {
  if (std::isnan(value)) {
    out.append("NaN");
    return;
  }
  if (std::isinf(value)) {
    out.append(value > 0 ? "Infinity" : "-Infinity");
    return;
  }
  if (value == 0.0) {
    out.append(std::signbit(value) ? "-0.0" : "0.0");
    return;
  }

  // Shortest round-trip digits in scientific form, d.ddde[+-]xx, then laid out by our rules
  // in a local buffer and appended once.
  char sci[40];
  const char* end = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific).ptr;
  const char* p = sci;
  char text[48];
  char* w = text;
  if (*p == '-') {
    *w++ = '-';
    ++p;
  }
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
  out.append(text, static_cast<size_t>(w - text));
}

}  // namespace Gantrix
