// Gantrix for C++: the twelve functions of gantrix.h with answers that free themselves, typed
// values, exceptions, and an airport set that owns its handle. Header-only C++17; link
// Gantrix::gantrix (CMake) or `pkg-config --libs gantrix`.
//
// What comes back:
//   - Typed values where the C answer is a number, a truth or a code: a set's size (int64_t),
//     membership (bool), a point's country (std::optional<std::string>: "fr", or none), a
//     set's handle (AirportSet::handle()).
//   - JSON text, in an Answer, for the answers that are objects or arrays, so that callers read
//     them with the JSON library they already use (this header brings none): find(),
//     airport(), AirportSet::missing(), AirportSet::nearest() and AirportSet::resolve(). The
//     text is byte for byte the C function's answer, `null` included (airport() of an
//     unknown code, resolve() with no member to serve).
//
// Failures: a C function that fails (answers NULL) throws gantrix::Error carrying gx_error()'s
// message, such as "invalid coordinates" from nearest() at NaN. find() answers a point it
// cannot serve with {"error":"..."}, as the C function does: that is an answer, not thrown.
//
// Arguments that are surely mistakes throw std::invalid_argument before the library is called,
// with the wording every Gantrix surface uses (gantrix_arguments.hpp): a negative limit,
// max_km or foreign_max_km, a NaN distance, a country that is not two ASCII letters. The C
// functions take those and answer [] (or, for foreign_max_km, no foreign member). A code
// holding a NUL byte (which would cut the C text short) or, among a set's codes, the byte 0x1F
// (the C list's separator, which would split it in two) throws as well.
//
// Threads: as with the C functions, anything may be called from any number of threads; an
// AirportSet may be queried from several threads at once, but moved or destroyed only when no
// other thread uses it, as any C++ object.
#ifndef GANTRIX_HPP
#define GANTRIX_HPP

#if __cplusplus < 201703L
#error "gantrix.hpp needs C++17 or later"
#endif

#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <utility>

#include "gantrix.h"
#include "gantrix_arguments.hpp"

namespace gantrix {

// A call the library could not answer; what() is gx_error()'s message.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An answer of the library, owned: freed with gx_free when the Answer goes.
class Answer {
 public:
  // Takes ownership of a C function's answer; NULL (a failure) throws Error with gx_error()'s
  // message, read at once, before anything else can overwrite it.
  static Answer take(char* text) {
    if (text == nullptr) throw Error(gx_error());
    return Answer(text);
  }

  // The JSON text (empty only for a moved-from Answer).
  const char* c_str() const noexcept { return text_ ? text_.get() : ""; }
  std::string_view view() const noexcept { return c_str(); }
  std::string str() const { return std::string(view()); }
  operator std::string_view() const noexcept { return view(); }

  friend bool operator==(const Answer& a, std::string_view b) noexcept { return a.view() == b; }
  friend bool operator!=(const Answer& a, std::string_view b) noexcept { return a.view() != b; }
  friend std::ostream& operator<<(std::ostream& out, const Answer& a) { return out << a.view(); }

 private:
  struct Free {
    void operator()(char* p) const noexcept { gx_free(p); }
  };
  explicit Answer(char* text) noexcept : text_(text) {}
  std::unique_ptr<char, Free> text_;
};

namespace detail {

inline void refuse(const std::string& message) {
  if (!message.empty()) throw std::invalid_argument(message);
}

inline Error unexpected(const char* function, const Answer& answer) {
  return Error(std::string("unexpected answer from ") + function + ": " + answer.str());
}

inline int64_t integer(const Answer& answer, const char* function) {
  const std::string_view text = answer.view();
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) throw unexpected(function, answer);
  return value;
}

inline bool truth(const Answer& answer, const char* function) {
  if (answer == "true") return true;
  if (answer == "false") return false;
  throw unexpected(function, answer);
}

// A code as the C text it travels in.
inline std::string code_text(std::string_view code) {
  refuse(arguments::code_refusal(code));
  return std::string(code);
}

}  // namespace detail

// The airport serving a point: {"code":"fr.cdg","name":"Paris, France"}, or
// {"error":"invalid coordinates"} / {"error":"no country found for coordinates"}.
[[nodiscard]] inline Answer find(double lat, double lng) { return Answer::take(gx_find(lat, lng)); }

// The lower-case code of the point's country ("fr"); none at sea beyond every fallback and for
// invalid coordinates.
[[nodiscard]] inline std::optional<std::string> country_at(double lat, double lng) {
  const Answer answer = Answer::take(gx_country_at(lat, lng));
  const std::string_view text = answer.view();
  if (text == "null") return std::nullopt;
  // Country codes are letters, so the JSON string holds no escape.
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') {
    throw detail::unexpected("gx_country_at", answer);
  }
  return std::string(text.substr(1, text.size() - 2));
}

// The airport object for an IATA code (trimmed, any case) as JSON, or null when unknown.
[[nodiscard]] inline Answer airport(std::string_view code) {
  return Answer::take(gx_airport(detail::code_text(code).c_str()));
}

// A set of airports named by IATA codes, which frees itself. Movable, not copyable; a
// moved-from or closed set is like a freed handle: every query throws Error
// ("no such AirportSet: -1").
class AirportSet {
 public:
  // Each code is trimmed and upper-cased; codes that name no airport (the empty code
  // included) are listed by missing().
  AirportSet(std::initializer_list<std::string_view> codes)
      : AirportSet(codes.begin(), codes.end()) {}

  // Any range of texts: std::vector<std::string>, an array of const char*, ...
  template <class Range,
            class = std::enable_if_t<
                !std::is_same_v<std::decay_t<Range>, AirportSet> &&
                std::is_convertible_v<decltype(*std::begin(std::declval<const Range&>())),
                                      std::string_view>>>
  explicit AirportSet(const Range& codes) : AirportSet(std::begin(codes), std::end(codes)) {}

  // Iterators over texts (never two char pointers: AirportSet("CDG", "LHR") does not compile).
  template <class Iterator, class = std::enable_if_t<std::is_convertible_v<
                                decltype(*std::declval<Iterator&>()), std::string_view>>>
  AirportSet(Iterator first, Iterator last) {
    std::string text;
    size_t count = 0;
    for (; first != last; ++first, ++count) {
      const auto& item = *first;  // keeps an iterator's temporary alive
      const std::string_view code(item);
      detail::refuse(arguments::listed_code_refusal(code));
      if (count > 0) text.push_back('\x1f');
      text.append(code);
    }
    // A lone empty code would join into the empty text, which the C function reads as no
    // codes at all; one separator (two empty codes, reported once) keeps it a missing code.
    if (count == 1 && text.empty()) text = "\x1f";
    handle_ =
        detail::integer(Answer::take(gx_set_new(text.c_str(), count > 0 ? 1 : 0)), "gx_set_new");
  }

  AirportSet(AirportSet&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}
  AirportSet& operator=(AirportSet&& other) noexcept {
    if (this != &other) {
      close();
      handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
  }
  AirportSet(const AirportSet&) = delete;
  AirportSet& operator=(const AirportSet&) = delete;
  ~AirportSet() { close(); }

  // Frees the set now (the destructor does it otherwise); harmless when already closed.
  void close() noexcept {
    if (handle_ >= 0) gx_free(gx_set_free(std::exchange(handle_, -1)));
  }

  // The C handle, for calling the gx_set_ functions directly; -1 once closed or moved from.
  int64_t handle() const noexcept { return handle_; }

  // The number of distinct member airports.
  [[nodiscard]] int64_t size() const {
    return detail::integer(Answer::take(gx_set_size(handle_)), "gx_set_size");
  }

  // Whether the code (trimmed, any case) names a member.
  [[nodiscard]] bool contains(std::string_view code) const {
    return detail::truth(Answer::take(gx_set_include(handle_, detail::code_text(code).c_str())),
                         "gx_set_include");
  }

  // The codes that named no airport, normalised, each once, as a JSON array of strings.
  [[nodiscard]] Answer missing() const { return Answer::take(gx_set_missing(handle_)); }

  // At most limit members nearest to the point, nearest first, as a JSON array of airport
  // objects with "distance_km"; only members of country (two letters, any case) and only
  // those at most max_km away when given.
  [[nodiscard]] Answer nearest(double lat, double lng, int64_t limit,
                               std::optional<std::string_view> country = std::nullopt,
                               std::optional<double> max_km = std::nullopt) const {
    char code[3] = {0, 0, 0};
    if (country) {
      detail::refuse(arguments::country_refusal(*country));
      code[0] = (*country)[0];
      code[1] = (*country)[1];
    }
    if (max_km) detail::refuse(arguments::distance_refusal("max_km", *max_km));
    detail::refuse(arguments::limit_refusal(limit));
    return Answer::take(gx_set_nearest(handle_, lat, lng, code, country ? 1 : 0,
                                       max_km.value_or(0.0), max_km ? 1 : 0, limit));
  }

  // The member that should serve the point, as JSON with "distance_km", "resolution"
  // ("nearest", "same_country", "nearby_foreign") and "nearest_code", or null; a foreign
  // member counts only within foreign_max_km when given.
  [[nodiscard]] Answer resolve(double lat, double lng,
                               std::optional<double> foreign_max_km = std::nullopt) const {
    if (foreign_max_km) {
      detail::refuse(arguments::distance_refusal("foreign_max_km", *foreign_max_km));
    }
    return Answer::take(
        gx_set_resolve(handle_, lat, lng, foreign_max_km.value_or(0.0), foreign_max_km ? 1 : 0));
  }

 private:
  int64_t handle_ = -1;
};

}  // namespace gantrix

#endif  // GANTRIX_HPP
