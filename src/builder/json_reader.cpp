#include "builder/json_reader.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "core/error.h"

namespace Gantrix {
namespace {

// A significand at or above this takes one more digit past INT64_MAX.
constexpr int64_t SIG_LIMIT = INT64_MAX / 10;  // 922337203685477580

constexpr std::array<double, 23> POW10 = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The byte an escape letter stands for, or -1 for one the reader does not accept (\u among
// them).
int unescape(int letter) {
  switch (letter) {
    case '"':
      return '"';
    case '\\':
      return '\\';
    case '/':
      return '/';
    case 'b':
      return '\b';
    case 'f':
      return '\f';
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    default:
      return -1;
  }
}

// The first quote or backslash at or after `from`, or n.
size_t find_special(std::string_view s, size_t from) {
  const char* base = s.data();
  const size_t n = s.size();
  for (size_t i = from; i < n; ++i) {
    const char c = base[i];
    if (c == '"' || c == '\\') return i;
  }
  return n;
}

}  // namespace

void JsonReader::bad(std::string_view msg) const {
  std::string text = "json: ";
  text.append(msg);
  text.append(" at byte ");
  text.append(std::to_string(pos_));
  throw Error(text);
}

void JsonReader::expect(char ch) {
  skip_ws();
  if (pos_ < n_ && src_[pos_] == ch) {
    ++pos_;
    return;
  }
  const char detail[] = {'e', 'x', 'p', 'e', 'c', 't', 'e', 'd', ' ', '\'', ch, '\''};
  bad(std::string_view(detail, sizeof detail));
}

bool JsonReader::next(char close, bool first) {
  skip_ws();
  if (pos_ < n_) {
    const char c = src_[pos_];
    if (c == close) {
      ++pos_;
      return false;
    }
    if (first) return true;
    if (c == ',') {
      ++pos_;
      return true;
    }
  } else if (first) {
    return true;
  }
  const char detail[] = {'e', 'x',  'p', 'e', 'c', 't', 'e',  'd',   ' ', '\'',
                         ',', '\'', ' ', 'o', 'r', ' ', '\'', close, '\''};
  bad(std::string_view(detail, sizeof detail));
}

std::string JsonReader::read_string() {
  expect('"');
  const size_t start = pos_;
  size_t i = find_special(src_, pos_);
  if (i >= n_) {
    pos_ = n_;
    bad("unterminated string");
  }
  if (src_[i] == '"') {
    pos_ = i + 1;
    return std::string(src_.substr(start, i - start));
  }
  std::string buf(src_.substr(start, i - start));
  pos_ = i;
  while (pos_ < n_) {
    const char c = src_[pos_];
    if (c == '\\') {
      read_escaped(buf);
    } else if (c == '"') {
      ++pos_;
      return buf;
    } else {
      i = find_special(src_, pos_);
      buf.append(src_.substr(pos_, i - pos_));
      pos_ = i;
    }
  }
  bad("unterminated string");
}

void JsonReader::bad_escape(int letter) const {
  if (letter == 'u') {
    bad("unsupported string escape \\u (write the character itself, in UTF-8)");
  }
  bad("unsupported string escape");
}

void JsonReader::read_escaped(std::string& buf) {
  const int letter = pos_ + 1 < n_ ? static_cast<unsigned char>(src_[pos_ + 1]) : -1;
  const int byte = unescape(letter);
  if (byte < 0) bad_escape(letter);
  buf.push_back(static_cast<char>(byte));
  pos_ += 2;
}

void JsonReader::skip_string() {
  expect('"');
  while (true) {
    const size_t i = find_special(src_, pos_);
    if (i >= n_) {
      pos_ = n_;
      bad("unterminated string");
    }
    pos_ = i;
    if (src_[i] == '"') {
      ++pos_;
      return;
    }
    const int letter = i + 1 < n_ ? static_cast<unsigned char>(src_[i + 1]) : -1;
    if (unescape(letter) < 0) bad_escape(letter);
    pos_ = i + 2;
  }
}

std::optional<std::string> JsonReader::read_opt_string() {
  skip_ws();
  if (peek() == 'n') {
    skip_literal("null");
    return std::nullopt;
  }
  return read_string();
}

void JsonReader::skip_literal(std::string_view word) {
  skip_ws();
  if (src_.substr(pos_, word.size()) != word) bad("invalid literal");
  pos_ += word.size();
}

double JsonReader::read_number() {
  skip_ws();
  if (pos_ >= n_) bad("invalid number");
  // Digits are consumed through a local cursor; pos_ is brought up to date before any
  // failure, so every message names the byte where reading stopped.
  const char* const base = src_.data();
  size_t p = pos_;
  const auto digit_at = [&](size_t i) { return i < n_ && base[i] >= '0' && base[i] <= '9'; };
  const auto fail = [&](size_t at, const char* detail) {
    pos_ = at;
    bad(detail);
  };

  bool negative = false;
  if (base[p] == '-') {
    negative = true;
    ++p;
    if (p >= n_) fail(p, "invalid number");
  }
  if (!digit_at(p)) fail(p, "invalid number");

  int64_t m = 0;
  int digits = 0;  // appended to m so far
  if (base[p] == '0') {
    ++p;
  } else {
    // Fewer than 18 digits can never reach SIG_LIMIT, so only longer runs are checked.
    while (digit_at(p)) {
      if (++digits > 18 && m >= SIG_LIMIT) fail(p, "number too long");
      m = m * 10 + (base[p++] - '0');
    }
  }

  int64_t k = 0;
  if (p < n_ && base[p] == '.') {
    ++p;
    int64_t f = 0;
    while (digit_at(p)) {
      if (++digits > 18 && m >= SIG_LIMIT) fail(p, "number too long");
      m = m * 10 + (base[p++] - '0');
      ++f;
    }
    if (f == 0) fail(p, "invalid number");
    k = -f;
  }

  if (p < n_ && (base[p] == 'e' || base[p] == 'E')) {
    ++p;
    if (p >= n_) fail(p, "invalid number");
    bool exp_negative = false;
    if (base[p] == '+' || base[p] == '-') {
      exp_negative = base[p] == '-';
      ++p;
      if (p >= n_) fail(p, "invalid number");
    }
    if (!digit_at(p)) fail(p, "invalid number");
    int64_t e = 0;
    while (digit_at(p)) {
      if (e <= 99999) e = e * 10 + (base[p] - '0');
      ++p;
    }
    k = exp_negative ? k - e : k + e;
  }

  pos_ = p;
  if (k < -22 || k > 22) bad("number exponent out of range");
  double v = static_cast<double>(m);
  v = k < 0 ? v / POW10[static_cast<size_t>(-k)] : v * POW10[static_cast<size_t>(k)];
  return negative ? -v : v;
}

void JsonReader::skip_value(int depth) {
  skip_ws();
  switch (peek()) {
    case 'n':
      skip_literal("null");
      return;
    case 't':
      skip_literal("true");
      return;
    case 'f':
      skip_literal("false");
      return;
    case '"':
      skip_string();
      return;
    case '{':
      if (depth >= MAX_DEPTH) bad("nesting too deep");
      ++pos_;
      if (next('}', true)) {
        do {
          skip_string();
          expect(':');
          skip_value(depth + 1);
        } while (next('}', false));
      }
      return;
    case '[':
      if (depth >= MAX_DEPTH) bad("nesting too deep");
      ++pos_;
      if (next(']', true)) {
        do {
          skip_value(depth + 1);
        } while (next(']', false));
      }
      return;
    default:
      read_number();
  }
}

}  // namespace Gantrix
