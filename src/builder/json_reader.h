// A pull reader over one JSON text in memory. The loaders drive it token by token; no tree is
// built. It accepts a subset of JSON: strings without \u escapes, numbers whose significant
// digits fit a signed 64-bit integer with a decimal exponent in -22..22, the three literals,
// arrays and objects. Every violation throws Gantrix::Error "json: <detail> at byte <pos>".
//
// The reader borrows src: the text must outlive it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Gantrix {

class JsonReader {
 public:
  // Far above any real dataset; keeps skip_value's recursion off the end of the stack.
  static constexpr int MAX_DEPTH = 512;

  explicit JsonReader(std::string_view src, int64_t pos = 0)
      : src_(src), pos_(static_cast<size_t>(pos)), n_(src.size()) {}

  [[noreturn]] void bad(std::string_view msg) const;
  void skip_ws() {
    while (pos_ < n_) {
      const char c = src_[pos_];
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') break;
      ++pos_;
    }
  }
  // The byte at pos, or -1 at the end.
  [[nodiscard]] int peek() const { return pos_ < n_ ? static_cast<unsigned char>(src_[pos_]) : -1; }
  void expect(char ch);
  // Whether the enclosing array or object (closed by `close`) has another element; consumes
  // the separator or the closer.
  [[nodiscard]] bool next(char close, bool first);
  std::string read_string();
  std::optional<std::string> read_opt_string();
  double read_number();
  void skip_literal(std::string_view word);
  void skip_value() { skip_value(0); }

  [[nodiscard]] int64_t pos() const { return static_cast<int64_t>(pos_); }
  [[nodiscard]] std::string_view src() const { return src_; }

 private:
  void read_escaped(std::string& buf);
  // Fails on an escape the reader does not take; \u comes with a hint on writing it instead.
  [[noreturn]] void bad_escape(int letter) const;
  // Scans a string without copying it; same errors as read_string.
  void skip_string();
  void skip_value(int depth);

  std::string_view src_;
  size_t pos_;
  size_t n_;
};

}  // namespace Gantrix
