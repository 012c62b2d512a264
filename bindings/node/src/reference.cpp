// The C functions themselves (linked from the static archive, the objects libgantrix.so is made
// of), as raw texts: the reference the tests compare every answer of the binding with, and the
// plain C loop the benchmark measures the binding against. Not part of the package's API.
#include <cstdint>
#include <string>

#include "common.h"
#include "gantrix.h"

namespace gantrix_node {
namespace {

// The text a C function returned, freed; null for a failure, whose message is then in
// _c.error().
Napi::Value take(Napi::Env env, char* text) {
  if (text == nullptr) return env.Null();
  const Text owned(text);
  return Napi::String::New(env, owned.get());
}

int64_t int_arg(const Napi::Value& v) { return static_cast<int64_t>(number_arg(v, "integer")); }

// A C string argument: null gives NULL.
struct CString {
  explicit CString(const Napi::Value& v) : null(v.IsNull()) {
    if (!null) text = string_arg(v, "text");
  }
  const char* get() const { return null ? nullptr : text.c_str(); }
  bool null;
  std::string text;
};

Napi::Value find(const Napi::CallbackInfo& i) {
  return take(i.Env(), gx_find(number_arg(i[0], "lat"), number_arg(i[1], "lng")));
}
Napi::Value country_at(const Napi::CallbackInfo& i) {
  return take(i.Env(), gx_country_at(number_arg(i[0], "lat"), number_arg(i[1], "lng")));
}
Napi::Value airport(const Napi::CallbackInfo& i) {
  return take(i.Env(), gx_airport(CString(i[0]).get()));
}
Napi::Value set_new(const Napi::CallbackInfo& i) {
  return take(i.Env(), gx_set_new(CString(i[0]).get(), int_arg(i[1])));
}
Napi::Value set_free(const Napi::CallbackInfo& i) {
  return take(i.Env(), gx_set_free(int_arg(i[0])));
}
Napi::Value set_size(const Napi::CallbackInfo& i) {
  return take(i.Env(), gx_set_size(int_arg(i[0])));
}
Napi::Value set_include(const Napi::CallbackInfo& i) {
  return take(i.Env(), gx_set_include(int_arg(i[0]), CString(i[1]).get()));
}
Napi::Value set_missing(const Napi::CallbackInfo& i) {
  return take(i.Env(), gx_set_missing(int_arg(i[0])));
}
// (handle, lat, lng, country, has_country, max_km, has_max_km, limit)
Napi::Value set_nearest(const Napi::CallbackInfo& i) {
  const CString country(i[3]);
  return take(i.Env(), gx_set_nearest(int_arg(i[0]), number_arg(i[1], "lat"),
                                      number_arg(i[2], "lng"), country.get(), int_arg(i[4]),
                                      number_arg(i[5], "max_km"), int_arg(i[6]), int_arg(i[7])));
}
// (handle, lat, lng, foreign_max_km, has_foreign_max_km)
Napi::Value set_resolve(const Napi::CallbackInfo& i) {
  return take(i.Env(), gx_set_resolve(int_arg(i[0]), number_arg(i[1], "lat"),
                                      number_arg(i[2], "lng"), number_arg(i[3], "km"),
                                      int_arg(i[4])));
}
Napi::Value error(const Napi::CallbackInfo& i) { return Napi::String::New(i.Env(), gx_error()); }

// loop(lats, lngs, "find" | "country"): the C caller's loop, each text freed; answers the
// number of texts that were not null, so the work cannot be skipped.
Napi::Value loop(const Napi::CallbackInfo& i) {
  const auto f64 = [](const Napi::Value& v) {
    return v.IsTypedArray() && v.As<Napi::TypedArray>().TypedArrayType() == napi_float64_array;
  };
  if (!f64(i[0]) || !f64(i[1]) ||
      i[0].As<Napi::Float64Array>().ElementLength() != i[1].As<Napi::Float64Array>().ElementLength()) {
    throw Napi::TypeError::New(i.Env(), "loop takes two Float64Arrays of one length");
  }
  const Napi::Float64Array lats = i[0].As<Napi::Float64Array>();
  const Napi::Float64Array lngs = i[1].As<Napi::Float64Array>();
  const bool is_find = string_arg(i[2], "op") == "find";
  const double* la = lats.Data();
  const double* ln = lngs.Data();
  double answered = 0;
  for (size_t k = 0; k < lats.ElementLength(); ++k) {
    char* text = is_find ? gx_find(la[k], ln[k]) : gx_country_at(la[k], ln[k]);
    answered += text != nullptr && text[0] != 'n' ? 1 : 0;
    gx_free(text);
  }
  return Napi::Number::New(i.Env(), answered);
}

}  // namespace

void init_reference(Napi::Env env, Napi::Object exports) {
  Napi::Object c = Napi::Object::New(env);
  const auto fn = [&](const char* name, Napi::Value (*f)(const Napi::CallbackInfo&)) {
    c.Set(name, Napi::Function::New(env, f, name));
  };
  fn("find", find);
  fn("countryAt", country_at);
  fn("airport", airport);
  fn("setNew", set_new);
  fn("setFree", set_free);
  fn("setSize", set_size);
  fn("setInclude", set_include);
  fn("setMissing", set_missing);
  fn("setNearest", set_nearest);
  fn("setResolve", set_resolve);
  fn("error", error);
  fn("loop", loop);
  exports.Set("_c", c);
}

}  // namespace gantrix_node
