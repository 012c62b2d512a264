// Batches: the query layer over two columns of coordinates, after the operations' own checks
// (valid_coords, normalize_lng), writing one small integer per point into an Int32Array. The
// JavaScript side turns the integers into answers through tables of shared values, so a
// result holds no string or object of its own per point. The asynchronous forms run the same
// loop on the libuv thread pool (napi_async_work) over a copy of the coordinates.
#include <cstdint>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common.h"
#include "query/point_in_country.h"
#include "query/serving_airport.h"
#include "spatial/coords.h"
#include "state/state.h"

namespace gantrix_node {
namespace {

using Gantrix::LatLng;
using Gantrix::State;

// Texts met while answering (failure messages, country codes that are not two lower-case
// letters), numbered in the order first met; the same for every thread and environment.
class Interned {
 public:
  explicit Interned(std::initializer_list<std::string_view> first) {
    for (const auto t : first) texts_.emplace_back(t);
  }
  int32_t number(std::string_view text) {
    const std::lock_guard lock(mutex_);
    for (size_t k = 0; k < texts_.size(); ++k) {
      if (texts_[k] == text) return static_cast<int32_t>(k);
    }
    texts_.emplace_back(text);
    return static_cast<int32_t>(texts_.size() - 1);
  }
  bool text(size_t k, std::string& out) {
    const std::lock_guard lock(mutex_);
    if (k >= texts_.size()) return false;
    out = texts_[k];
    return true;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> texts_;
};

constexpr std::string_view kInvalid = "invalid coordinates";
constexpr std::string_view kNoCountry = "no country found for coordinates";

Interned& failures() {
  static Interned* const t = new Interned{kInvalid, kNoCountry};
  return *t;
}
Interned& other_countries() {
  static Interned* const t = new Interned{};
  return *t;
}

// find: an airport id, or -(k + 1) for failure message k.
int32_t failure_id(std::string_view message) {
  if (message == kNoCountry) return -2;  // the common one, without the lock
  return -(failures().number(message) + 1);
}

// countryAt: 26 * first letter + second for a two-letter code, 676 + k for other code k, -1
// for none, -2 for invalid coordinates.
constexpr int32_t kTwoLetter = 26 * 26;
int32_t country_id(std::string_view code) {
  const auto letter = [](char c) { return c >= 'a' && c <= 'z'; };
  if (code.size() == 2 && letter(code[0]) && letter(code[1])) {
    return (code[0] - 'a') * 26 + (code[1] - 'a');
  }
  return kTwoLetter + other_countries().number(code);
}

enum class Op { find, country };

// Answers points [0, n). Throws only what the State's loading or an allocation throws.
void answer(Op op, const double* lats, const double* lngs, int32_t* out, size_t n) {
  if (op == Op::find) {
    const State* s = nullptr;
    try {
      s = &Gantrix::state();
    } catch (const std::exception& e) {
      // As find answers it: every point gets the loading failure as its {error}.
      const int32_t id = failure_id(e.what());
      for (size_t i = 0; i < n; ++i) out[i] = id;
      return;
    }
    for (size_t i = 0; i < n; ++i) {
      if (!Gantrix::valid_coords(lats[i], lngs[i])) {
        out[i] = -1;
        continue;
      }
      const Gantrix::Located loc =
          Gantrix::nearest_in_country(*s, LatLng{lats[i], Gantrix::normalize_lng(lngs[i])});
      out[i] = loc.index >= 0 ? static_cast<int32_t>(loc.index) : failure_id(loc.error);
    }
    return;
  }
  const State& s = Gantrix::state();
  for (size_t i = 0; i < n; ++i) {
    if (!Gantrix::valid_coords(lats[i], lngs[i])) {
      out[i] = -2;
      continue;
    }
    const auto code =
        Gantrix::find_country_code(s, LatLng{lats[i], Gantrix::normalize_lng(lngs[i])});
    out[i] = code ? country_id(*code) : -1;
  }
}

struct Columns {
  Napi::Float64Array lats;
  Napi::Float64Array lngs;
};

// Two Float64Arrays of one length (index.js makes them from whatever the caller gave).
Columns columns(const Napi::CallbackInfo& info) {
  const Napi::Env env = info.Env();
  for (size_t i = 0; i < 2; ++i) {
    if (!info[i].IsTypedArray() ||
        info[i].As<Napi::TypedArray>().TypedArrayType() != napi_float64_array) {
      throw Napi::TypeError::New(env, i == 0 ? "lats must be a Float64Array"
                                             : "lngs must be a Float64Array");
    }
  }
  Columns c{info[0].As<Napi::Float64Array>(), info[1].As<Napi::Float64Array>()};
  if (c.lats.ElementLength() != c.lngs.ElementLength()) {
    throw Napi::RangeError::New(env, "lats and lngs differ in length (" +
                                         std::to_string(c.lats.ElementLength()) + " and " +
                                         std::to_string(c.lngs.ElementLength()) + ")");
  }
  return c;
}

Napi::Value ids(const Napi::CallbackInfo& info, Op op) {
  const Columns c = columns(info);
  const size_t n = c.lats.ElementLength();
  Napi::Int32Array out = Napi::Int32Array::New(info.Env(), n);
  answer(op, c.lats.Data(), c.lngs.Data(), out.Data(), n);
  return out;
}

// The asynchronous batch: the coordinates are copied (the caller may change or transfer its
// arrays meanwhile) and the answers kept here until the promise resolves, so the thread pool
// never touches memory that JavaScript owns.
class Batch : public Napi::AsyncWorker {
 public:
  Batch(Napi::Env env, Op op, const Columns& c)
      : Napi::AsyncWorker(env, "gantrix.batch"),
        op_(op),
        lats_(c.lats.Data(), c.lats.Data() + c.lats.ElementLength()),
        lngs_(c.lngs.Data(), c.lngs.Data() + c.lngs.ElementLength()),
        deferred_(Napi::Promise::Deferred::New(env)) {}

  Napi::Promise promise() const { return deferred_.Promise(); }

 protected:
  void Execute() override {
    try {
      out_.resize(lats_.size());
      answer(op_, lats_.data(), lngs_.data(), out_.data(), lats_.size());
    } catch (const std::exception& e) {
      SetError(e.what()[0] != '\0' ? e.what() : "error");
    } catch (...) {
      SetError("error");
    }
  }
  void OnOK() override {
    Napi::Int32Array ids = Napi::Int32Array::New(Env(), out_.size());
    if (!out_.empty()) std::memcpy(ids.Data(), out_.data(), out_.size() * sizeof(int32_t));
    deferred_.Resolve(ids);
  }
  void OnError(const Napi::Error& e) override { deferred_.Reject(e.Value()); }

 private:
  Op op_;
  std::vector<double> lats_;
  std::vector<double> lngs_;
  std::vector<int32_t> out_;
  Napi::Promise::Deferred deferred_;
};

Napi::Value ids_async(const Napi::CallbackInfo& info, Op op) {
  auto* batch = new Batch(info.Env(), op, columns(info));
  const Napi::Promise promise = batch->promise();
  batch->Queue();  // the worker deletes itself once settled
  return promise;
}

size_t index_arg(const Napi::Value& v, const char* name) {
  const double x = number_arg(v, name);
  if (!(x >= 0 && x < 4294967296.0) || x != static_cast<double>(static_cast<uint32_t>(x))) {
    throw Napi::RangeError::New(v.Env(), std::string(name) + " is not an index");
  }
  return static_cast<size_t>(x);
}

// The text find answers for airport id: the very text operations::find returns for it.
Napi::Value airport_answer(const Napi::CallbackInfo& info) {
  const size_t id = index_arg(info[0], "id");
  const State& s = Gantrix::state();
  if (id >= s.airports.size()) throw Napi::RangeError::New(info.Env(), "no such airport id");
  const std::string_view text = s.airports.answer[id];
  return Napi::String::New(info.Env(), text.data(), text.size());
}

Napi::Value country_text(const Napi::CallbackInfo& info) {
  const size_t id = index_arg(info[0], "id");
  if (id < kTwoLetter) {
    const char code[2] = {static_cast<char>('a' + id / 26), static_cast<char>('a' + id % 26)};
    return Napi::String::New(info.Env(), code, 2);
  }
  std::string text;
  if (!other_countries().text(id - kTwoLetter, text)) {
    throw Napi::RangeError::New(info.Env(), "no such country id");
  }
  return Napi::String::New(info.Env(), text);
}

Napi::Value failure_text(const Napi::CallbackInfo& info) {
  std::string text;
  if (!failures().text(index_arg(info[0], "id"), text)) {
    throw Napi::RangeError::New(info.Env(), "no such failure id");
  }
  return Napi::String::New(info.Env(), text);
}

}  // namespace

void init_batches(Napi::Env env, Napi::Object exports) {
  const auto fn = [&](const char* name, Napi::Value (*f)(const Napi::CallbackInfo&)) {
    exports.Set(name, Napi::Function::New(env, f, name));
  };
  fn("_findIds", [](const Napi::CallbackInfo& i) { return ids(i, Op::find); });
  fn("_countryIds", [](const Napi::CallbackInfo& i) { return ids(i, Op::country); });
  fn("_findIdsAsync", [](const Napi::CallbackInfo& i) { return ids_async(i, Op::find); });
  fn("_countryIdsAsync", [](const Napi::CallbackInfo& i) { return ids_async(i, Op::country); });
  fn("_airportAnswer", airport_answer);
  fn("_airportCount", [](const Napi::CallbackInfo& i) -> Napi::Value {
    return Napi::Number::New(i.Env(), static_cast<double>(Gantrix::state().airports.size()));
  });
  fn("_countryText", country_text);
  fn("_failureText", failure_text);
}

}  // namespace gantrix_node
