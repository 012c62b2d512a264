// Arbitrary bytes driven through every reader operation. Each call either succeeds or throws
// Gantrix::Error "json: <detail> at byte N" with N within the text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "api/error.h"
#include "data/json_reader.h"

namespace {

void check_message(const char* what, size_t size) {
  const std::string_view m(what);
  const size_t at = m.rfind(" at byte ");
  if (m.substr(0, 6) != "json: " || at == std::string_view::npos) std::abort();
  const std::string digits(m.substr(at + 9));
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) std::abort();
  if (std::stoull(digits) > size) std::abort();
}

}  // namespace

// The first byte picks how many leading bytes are operation codes; the rest is the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t ops = std::min<size_t>(data[0] % 32, size - 1);
  const uint8_t* codes = data + 1;
  const std::string text(reinterpret_cast<const char*>(data + 1 + ops), size - 1 - ops);
  Gantrix::JsonReader r(text);
  static constexpr char kChars[] = "[]{}:,\"";
  static constexpr const char* kWords[] = {"null", "true", "false"};
  try {
    for (size_t i = 0; i < 64; ++i) {
      const uint8_t op = ops == 0 ? static_cast<uint8_t>(i) : codes[i % ops];
      switch (op % 9) {
        case 0: r.skip_value(); break;
        case 1: r.expect(kChars[(op >> 4) % 7]); break;
        case 2: (void)r.next((op & 16) ? ']' : '}', (op & 32) != 0); break;
        case 3: (void)r.read_string(); break;
        case 4: (void)r.read_opt_string(); break;
        case 5: (void)r.read_number(); break;
        case 6: r.skip_literal(kWords[(op >> 4) % 3]); break;
        case 7: r.skip_ws(); (void)r.peek(); break;
        default: (void)Gantrix::JsonReader(text, r.pos()).read_number(); break;
      }
      if (static_cast<size_t>(r.pos()) > text.size()) std::abort();
    }
  } catch (const Gantrix::Error& e) {
    check_message(e.what(), text.size());
  }
  return 0;
}
