// A byte stream decoded into a sequence of exported calls with arbitrary doubles, handles and
// code bytes. Every non-null result must be valid JSON (checked by an independent parser) and
// is freed; a null result must leave a message.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "api/gantrix.h"

namespace {

class Stream {
 public:
  Stream(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool done() const { return pos_ >= size_; }
  uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  double number() {
    static constexpr double kSpecial[] = {
        0.0, -0.0, 90.0, -90.0, 180.0, -180.0, 540.0, 1e300, -1e300,
        std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::denorm_min(),
        48.8566, 2.3522, 20015.0};
    const uint8_t b = byte();
    if (b < 128) return kSpecial[b % 16];
    if (b < 192) return (static_cast<double>(byte()) - 128.0) * 1.4 + byte() / 256.0;
    double v = 0.0;
    uint8_t raw[8];
    for (uint8_t& r : raw) r = byte();
    std::memcpy(&v, raw, sizeof v);
    return v;
  }

  int64_t integer() {
    const uint8_t b = byte();
    switch (b % 6) {
      case 0: return -1;
      case 1: return std::numeric_limits<int64_t>::min();
      case 2: return std::numeric_limits<int64_t>::max();
      case 3: return static_cast<int64_t>(byte()) - 16;
      default: return b / 6;
    }
  }

  // A code text of up to 31 bytes; NUL ends it early, as it would for a C caller.
  std::string text() {
    static constexpr const char* kCodes[] = {"JFK", " cdg ", "lhr", "ZZZ", "", "\x1f", "j fk",
                                             "\xc3\xa9"};
    const uint8_t b = byte();
    if (b < 64) return kCodes[b % 8];
    std::string s;
    for (uint8_t n = b % 32; n > 0 && !done(); --n) {
      const char c = static_cast<char>(byte());
      if (c == '\0') break;
      s.push_back(c);
    }
    return s;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

void check(char* result) {
  if (result == nullptr) {
    if (gx_error() == nullptr || gx_error()[0] == '\0') std::abort();
    return;
  }
  if (!nlohmann::json::accept(result)) std::abort();
  gx_free(result);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Stream in(data, size);
  for (int calls = 0; calls < 64 && !in.done(); ++calls) {
    switch (in.byte() % 10) {
      case 0: {
        const double lat = in.number();
        check(gx_find(lat, in.number()));
        break;
      }
      case 1: {
        const double lat = in.number();
        check(gx_country_at(lat, in.number()));
        break;
      }
      case 2: {
        const std::string code = in.text();
        check(gx_airport(in.byte() % 8 == 0 ? nullptr : code.c_str()));
        break;
      }
      case 3: {
        std::string codes;
        for (uint8_t n = in.byte() % 8; n > 0; --n) codes += in.text() + '\x1f';
        const int64_t count = in.integer();
        check(gx_set_new(in.byte() % 16 == 0 ? nullptr : codes.c_str(), count));
        break;
      }
      case 4: check(gx_set_free(in.integer())); break;
      case 5: check(gx_set_size(in.integer())); break;
      case 6: {
        const int64_t handle = in.integer();
        const std::string code = in.text();
        check(gx_set_include(handle, in.byte() % 8 == 0 ? nullptr : code.c_str()));
        break;
      }
      case 7: check(gx_set_missing(in.integer())); break;
      case 8: {
        const int64_t handle = in.integer();
        const double lat = in.number(), lng = in.number();
        const std::string country = in.text();
        const int64_t has_country = in.integer();
        const double max_km = in.number();
        const int64_t has_max_km = in.integer();
        check(gx_set_nearest(handle, lat, lng, in.byte() % 4 == 0 ? nullptr : country.c_str(),
                             has_country, max_km, has_max_km, in.integer()));
        break;
      }
      default: {
        const int64_t handle = in.integer();
        const double lat = in.number(), lng = in.number(), bound = in.number();
        check(gx_set_resolve(handle, lat, lng, bound, in.integer()));
        break;
      }
    }
  }
  return 0;
}
