// A byte stream decoded into a sequence of exported calls with arbitrary doubles, limits,
// flags, handles and code bytes (0x1F and bytes above 0x7F included). Handles are mostly ones
// this input created, live or already freed, so use-after-free and double free of sets are
// exercised; the rest are wild. Every non-null result must be valid UTF-8 JSON (checked by an
// independent parser) of the shape its function promises and is freed; a null result must
// leave a message of at most 511 bytes. Sets still live at the end are freed, so inputs do
// not see each other's sets.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "gantrix.h"

namespace {

using nlohmann::json;

constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

class Stream {
 public:
  Stream(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool done() const { return pos_ >= size_; }
  uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  double number() {
    static constexpr double kSpecial[] = {0.0,
                                          -0.0,
                                          90.0,
                                          -90.0,
                                          180.0,
                                          -180.0,
                                          540.0,
                                          1e300,
                                          -1e300,
                                          std::numeric_limits<double>::quiet_NaN(),
                                          std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          std::numeric_limits<double>::denorm_min(),
                                          48.8566,
                                          2.3522,
                                          20015.0,
                                          89.999999999,
                                          -179.99999999,
                                          180.00000001,
                                          90.00000000000001,
                                          std::numeric_limits<double>::max(),
                                          -2.3522,
                                          40.7128,
                                          -74.006,
                                          1e-300,
                                          0.5,
                                          -1.0,
                                          360.0,
                                          -540.0,
                                          20037.5,
                                          1e18,
                                          -1e18};
    const uint8_t b = byte();
    if (b < 128) return kSpecial[b % 32];
    if (b < 192) return (static_cast<double>(byte()) - 128.0) * 1.4 + byte() / 256.0;
    double v = 0.0;
    uint8_t raw[8];
    for (uint8_t& r : raw) r = byte();
    std::memcpy(&v, raw, sizeof v);
    return v;
  }

  // Limits, counts and presence flags: the edges of int64 and of int32, and small values.
  int64_t integer() {
    static constexpr int64_t kSpecial[] = {-1,
                                           kMin,
                                           kMax,
                                           0,
                                           1,
                                           2,
                                           kMax - 1,
                                           kMin + 1,
                                           int64_t{1} << 31,
                                           (int64_t{1} << 32) + 1,
                                           -(int64_t{1} << 31),
                                           100000,
                                           int64_t{1} << 53};
    const uint8_t b = byte();
    if (b < 104) return kSpecial[b % 13];
    if (b < 160) return static_cast<int64_t>(byte()) - 16;
    if (b < 192) return b - 160;
    int64_t v = 0;
    uint8_t raw[8];
    for (uint8_t& r : raw) r = byte();
    std::memcpy(&v, raw, sizeof v);
    return v;
  }

  // A code text; NUL ends it early, as it would for a C caller. Known codes, odd spellings,
  // 0x1F inside, bytes above 0x7F, and raw bytes of up to 63 (or, rarely, 600) bytes.
  std::string text() {
    static constexpr const char* kCodes[] = {
        "JFK",          " cdg ",    "lhr", "ZZZ",        "",         "\x1f",
        "j fk",         "\xc3\xa9", "ORY", "SYD\x1fNRT", "\x1f\x1f", "\tLGA\r\n",
        "\xff\xfe\x80", "CDG\x1f",  "-99", "AAAAAAAA"};
    const uint8_t b = byte();
    if (b < 96) return kCodes[b % 16];
    std::string s;
    const size_t n = b >= 252 ? 600 : b % 64;
    for (size_t k = 0; k < n && !done(); ++k) {
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

void require(bool ok) {
  if (!ok) std::abort();
}

// Every failure leaves a message, never longer than the buffer allows.
void check_error() {
  const char* e = gx_error();
  require(e != nullptr && e[0] != '\0' && std::strlen(e) <= 511);
}

// Whether text is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool utf8_valid(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    size_t len = 0;
    uint32_t cp = 0;
    if (b < 0x80) {
      ++i;
      continue;
    }
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      cp = b & 0x07;
    } else {
      return false;
    }
    if (i + len > text.size()) return false;
    for (size_t k = 1; k < len; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
      return false;
    }
    i += len;
  }
  return true;
}

// A non-null result is valid UTF-8 JSON, even when it echoes a caller's ill-formed bytes
// (the missing codes do); it is parsed, freed, and handed back for shape checks. A null
// result must have left a message; the caller then sees `discarded`.
json take(char* result) {
  if (result == nullptr) {
    check_error();
    return json(json::value_t::discarded);
  }
  std::string text(result);
  gx_free(result);
  require(utf8_valid(text) && json::accept(text));
  return json::parse(text);
}

void check_airport_object(const json& a) {
  require(a.is_object() && a.contains("code") && a["code"].is_string() && a.contains("iata") &&
          a.contains("lat") && a["lat"].is_number() && a.contains("lng") && a["lng"].is_number());
}

// The sets this input made: handle and whether it is still live.
struct Issued {
  int64_t handle;
  bool live;
};

class Session {
 public:
  explicit Session(Stream& in) : in_(in) {}
  ~Session() {
    for (const Issued& s : sets_) {
      if (s.live) gx_free(gx_set_free(s.handle));
    }
  }

  // Mostly a handle this input was given (live or freed), else a wild one.
  int64_t handle() {
    const uint8_t b = in_.byte();
    if (!sets_.empty() && b < 160) return sets_[b % sets_.size()].handle;
    switch (b % 8) {
      case 0:
        return next_;  // not issued yet
      case 1:
        return -1;
      case 2:
        return kMin;
      case 3:
        return kMax;
      case 4:
        return next_ + (int64_t{1} << 32);
      default:
        return in_.integer();
    }
  }

  // Whether the handle is one of this input's sets and whether that set is live.
  const Issued* find(int64_t h) const {
    for (const Issued& s : sets_) {
      if (s.handle == h) return &s;
    }
    return nullptr;
  }

  void step() {
    switch (in_.byte() % 12) {
      case 0: {
        const double lat = in_.number();
        const double lng = in_.number();
        const json j = take(gx_find(lat, lng));
        require(!j.is_discarded() && j.is_object() &&
                ((j.size() == 2 && j.contains("code") && j.contains("name")) ||
                 (j.size() == 1 && j.contains("error") && j["error"].is_string())));
        break;
      }
      case 1: {
        const double lat = in_.number();
        const double lng = in_.number();
        const json j = take(gx_country_at(lat, lng));
        require(j.is_null() || j.is_string());
        break;
      }
      case 2: {
        const std::string code = in_.text();
        const json j = take(gx_airport(in_.byte() % 8 == 0 ? nullptr : code.c_str()));
        require(!j.is_discarded());
        if (!j.is_null()) check_airport_object(j);
        break;
      }
      case 3:
      case 4:
        set_new();
        break;
      case 5: {
        const int64_t h = handle();
        const json j = take(gx_set_free(h));
        require(j.is_null());
        for (Issued& s : sets_) {
          if (s.handle == h) s.live = false;
        }
        break;
      }
      case 6: {
        const int64_t h = handle();
        const json j = take(gx_set_size(h));
        expect_handle(h, j);
        if (!j.is_discarded()) require(j.is_number_unsigned());
        break;
      }
      case 7: {
        const int64_t h = handle();
        const std::string code = in_.text();
        const json j = take(gx_set_include(h, in_.byte() % 8 == 0 ? nullptr : code.c_str()));
        expect_handle(h, j);
        if (!j.is_discarded()) require(j.is_boolean());
        break;
      }
      case 8: {
        const int64_t h = handle();
        const json j = take(gx_set_missing(h));
        expect_handle(h, j);
        if (!j.is_discarded()) {
          require(j.is_array());
          for (const json& code : j) require(code.is_string());
        }
        break;
      }
      case 9:
      case 10:
        nearest();
        break;
      default:
        resolve();
        break;
    }
  }

 private:
  void set_new() {
    std::string codes;
    const uint8_t pieces = in_.byte();
    if (pieces >= 248) {
      // A long list: every piece repeated, so duplicates and large sets come up.
      const std::string one = in_.text();
      for (int k = 0; k < 2000; ++k) codes += one + (k % 3 == 0 ? "\x1f" : "\x1fJFK\x1f");
    } else {
      for (uint8_t n = pieces % 10; n > 0; --n) {
        codes += in_.text();
        if (in_.byte() % 4 != 0) codes += '\x1f';
      }
    }
    const int64_t count = in_.integer();
    const bool null_codes = in_.byte() % 16 == 0;
    const json j = take(gx_set_new(null_codes ? nullptr : codes.c_str(), count));
    if (j.is_discarded()) {
      // Only a null list with a positive count may be refused.
      require(null_codes && count > 0);
      return;
    }
    require(j.is_number_unsigned());
    const auto h = j.get<int64_t>();
    // Handles are issued in increasing order and never reused.
    require(h >= next_);
    next_ = h + 1;
    sets_.push_back({h, true});
  }

  // Every set of earlier inputs was freed, so a handle is live only if this input made it and
  // has not freed it. A call on any other handle fails with the message naming it.
  bool live(int64_t h) const {
    const Issued* s = find(h);
    return s != nullptr && s->live;
  }

  void expect_handle(int64_t h, const json& j) const {
    if (live(h)) {
      require(!j.is_discarded());
    } else {
      require(j.is_discarded() &&
              std::string(gx_error()) == "no such AirportSet: " + std::to_string(h));
    }
  }

  static bool valid_point(double lat, double lng) {
    return std::isfinite(lat) && std::isfinite(lng) && std::fabs(lat) <= 90.0;
  }

  void nearest() {
    const int64_t h = handle();
    const double lat = in_.number(), lng = in_.number();
    const std::string country = in_.text();
    const int64_t has_country = in_.byte() % 2 == 0 ? 1 : in_.integer();
    const double max_km = in_.number();
    const int64_t has_max_km = in_.byte() % 2 == 0 ? 1 : in_.integer();
    const int64_t limit = in_.integer();
    const bool null_country = in_.byte() % 4 == 0;
    const json j = take(gx_set_nearest(h, lat, lng, null_country ? nullptr : country.c_str(),
                                       has_country, max_km, has_max_km, limit));
    if (!live(h) || !valid_point(lat, lng)) {
      require(j.is_discarded());
      if (!live(h)) expect_handle(h, j);
      return;
    }
    // A country flagged as given must be there.
    if (has_country == 1 && null_country) {
      require(j.is_discarded() &&
              std::string(gx_error()) == "country is required when has_country is 1");
      return;
    }
    require(!j.is_discarded());
    if (j.is_discarded()) return;
    require(j.is_array());
    require(limit > 0 ? j.size() <= static_cast<uint64_t>(limit) : j.empty());
    double last = -1.0;
    for (const json& a : j) {
      check_airport_object(a);
      require(a.contains("distance_km") && a["distance_km"].is_number());
      const double d = a["distance_km"].get<double>();
      // Nearest first, never beyond half the circumference, and within the bound if one
      // was given.
      require(d >= 0.0 && d >= last && d <= 20016.0);
      if (has_max_km == 1 && !std::isnan(max_km)) require(d <= max_km);
      last = d;
    }
  }

  void resolve() {
    const int64_t h = handle();
    const double lat = in_.number(), lng = in_.number(), bound = in_.number();
    const int64_t has_bound = in_.byte() % 2 == 0 ? 1 : in_.integer();
    const json j = take(gx_set_resolve(h, lat, lng, bound, has_bound));
    if (!live(h) || !valid_point(lat, lng)) {
      require(j.is_discarded());
      if (!live(h)) expect_handle(h, j);
      return;
    }
    require(!j.is_discarded());
    if (j.is_discarded() || j.is_null()) return;
    check_airport_object(j);
    require(j.contains("distance_km") && j["distance_km"].is_number() && j.contains("resolution") &&
            j["resolution"].is_string() && j.contains("nearest_code") &&
            j["nearest_code"].is_string());
    const std::string how = j["resolution"].get<std::string>();
    require(how == "nearest" || how == "same_country" || how == "nearby_foreign");
    if (how == "nearest") require(j["nearest_code"] == j["code"]);
  }

  Stream& in_;
  std::vector<Issued> sets_;
  int64_t next_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Stream in(data, size);
  Session session(in);
  for (int calls = 0; calls < 96 && !in.done(); ++calls) session.step();
  return 0;
}
