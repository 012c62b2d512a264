#include "json_value.h"

#include <charconv>
#include <cstdint>
#include <string>

namespace gantrix_node {
namespace {

class Reader {
 public:
  Reader(Napi::Env env, std::string_view text) : env_(env), text_(text) {}

  Napi::Value document() {
    Napi::Value v = value();
    space();
    if (at_ != text_.size()) fail();
    return v;
  }

 private:
  [[noreturn]] void fail() const {
    throw Napi::Error::New(env_, "the library answered a text that is not JSON");
  }

  void space() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' ||
                                  text_[at_] == '\r' || text_[at_] == '\t')) {
      ++at_;
    }
  }

  char next() {
    space();
    if (at_ >= text_.size()) fail();
    return text_[at_];
  }

  void expect(char c) {
    if (next() != c) fail();
    ++at_;
  }

  bool word(std::string_view w) {
    if (text_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }

  Napi::Value value() {
    switch (next()) {
      case '{': return object();
      case '[': return array();
      case '"': return Napi::String::New(env_, string());
      case 't': if (word("true")) return Napi::Boolean::New(env_, true); fail();
      case 'f': if (word("false")) return Napi::Boolean::New(env_, false); fail();
      case 'n': if (word("null")) return env_.Null(); fail();
      default: return Napi::Number::New(env_, number());
    }
  }

  Napi::Value object() {
    ++at_;
    Napi::Object out = Napi::Object::New(env_);
    if (next() == '}') {
      ++at_;
      return out;
    }
    for (;;) {
      if (next() != '"') fail();
      const std::string key = string();
      expect(':');
      out.Set(key, value());
      if (next() == '}') {
        ++at_;
        return out;
      }
      expect(',');
    }
  }

  Napi::Value array() {
    ++at_;
    Napi::Array out = Napi::Array::New(env_);
    if (next() == ']') {
      ++at_;
      return out;
    }
    for (uint32_t i = 0;; ++i) {
      out.Set(i, value());
      if (next() == ']') {
        ++at_;
        return out;
      }
      expect(',');
    }
  }

  double number() {
    const char* begin = text_.data() + at_;
    const char* end = text_.data() + text_.size();
    double v = 0;
    const auto [stop, error] = std::from_chars(begin, end, v);
    if (error != std::errc() || stop == begin) fail();
    at_ += static_cast<size_t>(stop - begin);
    return v;
  }

  unsigned hex4() {
    if (at_ + 4 > text_.size()) fail();
    unsigned v = 0;
    const auto [stop, error] = std::from_chars(text_.data() + at_, text_.data() + at_ + 4, v, 16);
    if (error != std::errc() || stop != text_.data() + at_ + 4) fail();
    at_ += 4;
    return v;
  }

  static void put_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  // The library writes UTF-8 as it is and escapes only quotes, backslashes and control
  // characters, so most strings are copied in one piece.
  std::string string() {
    ++at_;
    std::string out;
    for (;;) {
      const size_t stop = text_.find_first_of("\"\\", at_);
      if (stop == std::string_view::npos) fail();
      out.append(text_.substr(at_, stop - at_));
      at_ = stop + 1;
      if (text_[stop] == '"') return out;
      if (at_ >= text_.size()) fail();
      const char c = text_[at_++];
      switch (c) {
        case '"': case '\\': case '/': out.push_back(c); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': {
          uint32_t cp = hex4();
          if (cp >= 0xD800 && cp < 0xDC00 && text_.substr(at_, 2) == "\\u") {
            const size_t back = at_;
            at_ += 2;
            const uint32_t low = hex4();
            if (low >= 0xDC00 && low < 0xE000) {
              cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            } else {
              at_ = back;
            }
          }
          // A lone surrogate has no UTF-8 form; the library never writes one.
          put_utf8(out, cp >= 0xD800 && cp < 0xE000 ? 0xFFFD : cp);
          break;
        }
        default: fail();
      }
    }
  }

  Napi::Env env_;
  std::string_view text_;
  size_t at_ = 0;
};

}  // namespace

Napi::Value json_value(Napi::Env env, std::string_view text) {
  return Reader(env, text).document();
}

}  // namespace gantrix_node
