#include "api/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>
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

  // Shortest round-trip digits in scientific form, d.ddde[+-]xx, then laid out by our rules.
  char sci[40];
  const auto res = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific);
  const char* p = sci;
  const char* end = res.ptr;
  if (*p == '-') {
    out.push_back('-');
    ++p;
  }
  char digits[24];
  int n = 0;
  for (; p < end && *p != 'e'; ++p) {
    if (*p != '.') digits[n++] = *p;
  }
  int e = 0;
  std::from_chars(p + 1 + (p[1] == '+'), end, e);

  if (e >= 0 && (e + 1 < 16 || n > e + 1)) {
    if (n <= e + 1) {
      out.append(digits, n);
      out.append(static_cast<size_t>(e + 1 - n), '0');
      out.append(".0");
    } else {
      out.append(digits, e + 1);
      out.push_back('.');
      out.append(digits + e + 1, n - (e + 1));
    }
  } else if (e >= -4 && e < 0) {
    out.append("0.");
    out.append(static_cast<size_t>(-e - 1), '0');
    out.append(digits, n);
  } else {
    out.push_back(digits[0]);
    out.push_back('.');
    if (n == 1) {
      out.push_back('0');
    } else {
      out.append(digits + 1, n - 1);
    }
    char exp[8];
    const int len = std::snprintf(exp, sizeof exp, e < 0 ? "e-%02d" : "e+%d", e < 0 ? -e : e);
    out.append(exp, len);
  }
}

}  // namespace Gantrix
