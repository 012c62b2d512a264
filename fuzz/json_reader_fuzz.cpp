// Arbitrary bytes driven through every reader operation. Each call either succeeds or throws
// Gantrix::Error "json: <detail> at byte N" with N within the text; the position never passes
// the end; a number that was read agrees with the C library's reading of the same bytes.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "builder/json_reader.h"
#include "core/error.h"

namespace {

void check_message(const char* what, size_t size) {
  const std::string_view m(what);
  const size_t at = m.rfind(" at byte ");
  if (m.substr(0, 6) != "json: " || at == std::string_view::npos) std::abort();
  const std::string digits(m.substr(at + 9));
  if (digits.empty() || digits.size() > 19 ||
      digits.find_first_not_of("0123456789") != std::string::npos) {
    std::abort();
  }
  if (std::stoull(digits) > size) std::abort();
}

// The number the reader took from text[begin, end) (white space skipped first), read again by
// strtod. The reader rounds twice (the digits to a double, then the power of ten), so allow
// a few units in the last place.
void check_number(std::string_view text, size_t begin, size_t end, double got) {
  while (begin < end && std::strchr(" \t\n\r", text[begin]) != nullptr) ++begin;
  const std::string digits(text.substr(begin, end - begin));
  const double want = std::strtod(digits.c_str(), nullptr);
  if (!std::isfinite(got) || std::signbit(got) != std::signbit(want)) std::abort();
  if (std::fabs(got - want) > 1e-15 * std::fabs(want)) std::abort();
}

}  // namespace

// The first byte picks how many leading bytes are operation codes; the rest is the text. The
// text is copied into a heap block of exactly its size, without a terminator, so a read one
// byte past the end is caught by AddressSanitizer.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t ops = std::min<size_t>(data[0] % 32, size - 1);
  const uint8_t* codes = data + 1;
  const size_t n = size - 1 - ops;
  const std::unique_ptr<char[]> block(new char[n == 0 ? 1 : n]);
  if (n > 0) std::memcpy(block.get(), data + 1 + ops, n);
  const std::string_view text(block.get(), n);
  Gantrix::JsonReader r(text);
  static constexpr char kChars[] = "[]{}:,\"";
  static constexpr const char* kWords[] = {"null", "true", "false"};
  try {
    for (size_t i = 0; i < 64; ++i) {
      const uint8_t op = ops == 0 ? static_cast<uint8_t>(i) : codes[i % ops];
      const auto before = static_cast<size_t>(r.pos());
      switch (op % 10) {
        case 0:
          r.skip_value();
          break;
        case 1:
          r.expect(kChars[(op >> 4) % 7]);
          break;
        case 2:
          (void)r.next((op & 16) ? ']' : '}', (op & 32) != 0);
          break;
        case 3:
          (void)r.read_string();
          break;
        case 4:
          (void)r.read_opt_string();
          break;
        case 5: {
          const double v = r.read_number();
          check_number(text, before, static_cast<size_t>(r.pos()), v);
          break;
        }
        case 6:
          r.skip_literal(kWords[(op >> 4) % 3]);
          break;
        case 7:
          r.skip_ws();
          (void)r.peek();
          break;
        case 8: {
          // A second reader started anywhere in the text, as the geometry loader does.
          Gantrix::JsonReader again(text, static_cast<int64_t>(n == 0 ? 0 : (op * 7u) % (n + 1)));
          again.skip_value();
          if (static_cast<size_t>(again.pos()) > n) std::abort();
          break;
        }
        default:
          (void)Gantrix::JsonReader(text, r.pos()).read_number();
          break;
      }
      if (static_cast<size_t>(r.pos()) > n) std::abort();
    }
  } catch (const Gantrix::Error& e) {
    check_message(e.what(), n);
  }
  return 0;
}
