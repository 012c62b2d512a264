// AirportSet: a handle of the library's set registry, wrapped in a JavaScript object. Every
// method runs the set operation behind its C function and hands over its JSON text (index.js
// parses it). A set never closed is freed when the
// object is collected (or its worker ends), on a thread of its own: the finalizer only
// queues the handle, so it never waits for queries that hold the registry.
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "common.h"
#include "gantrix_arguments.hpp"
#include "query/operations.h"

namespace gantrix_node {
namespace {

namespace operations = Gantrix::operations;
namespace arguments = gantrix::arguments;

// An optional distance (options.key, undefined or null when not given), refused as the C++
// surfaces refuse it under its C name.
std::optional<double> distance_option(Napi::Env env, const Napi::Object& options, const char* key,
                                      const char* c_name) {
  const Napi::Value v = options.Get(key);
  if (v.IsUndefined() || v.IsNull()) return std::nullopt;
  const double km = number_arg(v, key);
  refuse(env, arguments::distance_refusal(c_name, km));
  return km;
}

// Frees the handles of collected sets, in order, on one thread started when first needed.
// Never destroyed: the thread may still be waiting when the process exits.
class Reaper {
 public:
  void free(int64_t handle) noexcept {
    try {
      const std::lock_guard lock(mutex_);
      if (!started_) {
        std::thread([this] { run(); }).detach();
        started_ = true;
      }
      queue_.push_back(handle);
    } catch (...) {
      // No thread to be had (or no memory for the queue): free here rather than leak.
      free_now(handle);
      return;
    }
    wake_.notify_one();
  }

 private:
  static void free_now(int64_t handle) noexcept {
    char* text = Gantrix::guarded_call([=] { return operations::set_free(handle); });
    std::free(text);
  }

  [[noreturn]] void run() {
    for (;;) {
      int64_t handle = 0;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return !queue_.empty(); });
        handle = queue_.front();
        queue_.pop_front();
      }
      free_now(handle);
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<int64_t> queue_;
  bool started_ = false;
};

Reaper& reaper() {
  static Reaper* const r = new Reaper;
  return *r;
}

int64_t read_integer(std::string_view text) {
  int64_t v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v;
}

class AirportSet : public Napi::ObjectWrap<AirportSet> {
 public:
  static Napi::Function define(Napi::Env env) {
    return DefineClass(env, "NativeAirportSet",
                       {InstanceAccessor<&AirportSet::size>("size"),
                        InstanceAccessor<&AirportSet::missing>("missing"),
                        InstanceMethod<&AirportSet::has>("has"),
                        InstanceMethod<&AirportSet::nearest>("nearest"),
                        InstanceMethod<&AirportSet::resolve>("resolve"),
                        InstanceMethod<&AirportSet::close>("close")});
  }

  // new AirportSet(codes): codes is an array (or any iterable) of strings. The library splits
  // its codes at the byte 0x1F and reads up to a NUL, so a code holding either is refused
  // rather than read as other codes.
  explicit AirportSet(const Napi::CallbackInfo& info) : Napi::ObjectWrap<AirportSet>(info) {
    const Napi::Env env = info.Env();
    Napi::Value given = info[0];
    if (given.IsString()) {
      throw Napi::TypeError::New(env, "codes must be an array of codes, not one string");
    }
    if (!given.IsArray()) {
      const bool iterable = given.IsObject() &&
                            given.As<Napi::Object>().Has(Napi::Symbol::WellKnown(env, "iterator"));
      if (!iterable) {
        throw Napi::TypeError::New(env, "codes must be an array of codes, not " + type_name(given));
      }
      const Napi::Object array_class = env.Global().Get("Array").As<Napi::Object>();
      given = array_class.Get("from").As<Napi::Function>().Call(array_class, {given});
    }
    const Napi::Array codes = given.As<Napi::Array>();
    std::string joined;
    for (uint32_t i = 0; i < codes.Length(); ++i) {
      const std::string name = "codes[" + std::to_string(i) + "]";
      const std::string code = string_arg(codes.Get(i), name.c_str());
      refuse(env, arguments::listed_code_refusal(code));
      if (i > 0) joined.push_back('\x1f');
      joined += code;
    }
    const int64_t count = codes.Length();
    const Text text = call(env, [&] { return operations::set_new(joined.c_str(), count); });
    handle_ = read_integer(text.get());
  }

  ~AirportSet() override {
    if (handle_ >= 0) reaper().free(handle_);
  }

 private:
  int64_t open_handle(Napi::Env env) const {
    if (handle_ < 0) throw Napi::Error::New(env, "the airport set is closed");
    return handle_;
  }

  Napi::Value size(const Napi::CallbackInfo& info) {
    const int64_t h = open_handle(info.Env());
    const Text text = call(info.Env(), [=] { return operations::set_size(h); });
    return Napi::String::New(info.Env(), text.get());
  }

  Napi::Value missing(const Napi::CallbackInfo& info) {
    const int64_t h = open_handle(info.Env());
    const Text text = call(info.Env(), [=] { return operations::set_missing(h); });
    return Napi::String::New(info.Env(), text.get());
  }

  // has(code): whether the code (trimmed, any case) names a member.
  Napi::Value has(const Napi::CallbackInfo& info) {
    const Napi::Env env = info.Env();
    const int64_t h = open_handle(env);
    const std::string code = string_arg(info[0], "code");
    refuse(env, arguments::code_refusal(code));
    const Text text = call(env, [&] { return operations::set_include(h, code.c_str()); });
    return Napi::String::New(env, text.get());
  }

  // nearest(lat, lng, { limit = 5, country, maxKm }).
  Napi::Value nearest(const Napi::CallbackInfo& info) {
    const Napi::Env env = info.Env();
    const int64_t h = open_handle(env);
    const double lat = number_arg(info[0], "lat");
    const double lng = number_arg(info[1], "lng");
    const Napi::Object options = options_arg(info[2]);
    int64_t limit = 5;
    if (const Napi::Value v = options.Get("limit"); !v.IsUndefined()) {
      const double n = number_arg(v, "limit");
      if (std::isnan(n) || n != std::trunc(n)) {
        throw Napi::TypeError::New(env, "limit must be an integer");
      }
      // Beyond the 64-bit range (Infinity too) it is the range's end: every member, or none.
      constexpr double kEdge = 9223372036854775808.0;  // 2^63
      limit = n >= kEdge    ? std::numeric_limits<int64_t>::max()
              : n < -kEdge ? std::numeric_limits<int64_t>::min()
                           : static_cast<int64_t>(n);
      refuse(env, arguments::limit_refusal(limit));
    }
    std::string country;
    bool has_country = false;
    if (const Napi::Value v = options.Get("country"); !v.IsUndefined() && !v.IsNull()) {
      country = string_arg(v, "country");
      refuse(env, arguments::country_refusal(country));
      has_country = true;
    }
    const std::optional<double> max_km = distance_option(env, options, "maxKm", "max_km");
    const Text text = call(env, [&] {
      return operations::set_nearest(h, lat, lng, has_country ? country.c_str() : nullptr,
                                     has_country ? 1 : 0, max_km.value_or(0.0), max_km ? 1 : 0,
                                     limit);
    });
    return Napi::String::New(env, text.get());
  }

  // resolve(lat, lng, { foreignMaxKm }).
  Napi::Value resolve(const Napi::CallbackInfo& info) {
    const Napi::Env env = info.Env();
    const int64_t h = open_handle(env);
    const double lat = number_arg(info[0], "lat");
    const double lng = number_arg(info[1], "lng");
    const Napi::Object options = options_arg(info[2]);
    const std::optional<double> km =
        distance_option(env, options, "foreignMaxKm", "foreign_max_km");
    const Text text = call(env, [=] {
      return operations::set_resolve(h, lat, lng, km.value_or(0.0), km ? 1 : 0);
    });
    return Napi::String::New(env, text.get());
  }

  // close(): frees the set now; closing again does nothing.
  Napi::Value close(const Napi::CallbackInfo& info) {
    const int64_t h = handle_;
    handle_ = -1;
    if (h >= 0) call(info.Env(), [=] { return operations::set_free(h); });
    return info.Env().Undefined();
  }

  int64_t handle_ = -1;
};

}  // namespace

void init_sets(Napi::Env env, Napi::Object exports) {
  exports.Set("_AirportSet", AirportSet::define(env));
}

}  // namespace gantrix_node
