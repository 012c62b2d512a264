// The Node-API addon: the single calls (find, countryAt, airport) and the module's set-up. Each
// single call runs the operation behind its C function and hands over the JSON text it wrote,
// which index.js reads with JSON.parse (several times faster than building the object through
// Node-API calls), so there is one code path per answer. The addon is context-aware: every
// worker thread that loads it gets its own exports and its own string cache.
#include <cstdint>
#include <string>
#include <string_view>

#include "common.h"
#include "core/json_writer.h"
#include "gantrix_arguments.hpp"
#include "gantrix_version.h"
#include "query/operations.h"

namespace gantrix_node {

std::string type_name(const Napi::Value& v) {
  switch (v.Type()) {
    case napi_undefined: return "undefined";
    case napi_null: return "null";
    case napi_boolean: return "boolean";
    case napi_number: return "number";
    case napi_string: return "string";
    case napi_symbol: return "symbol";
    case napi_function: return "function";
    case napi_bigint: return "bigint";
    default: return "object";
  }
}

double number_arg(const Napi::Value& v, const char* name) {
  if (!v.IsNumber()) {
    throw Napi::TypeError::New(v.Env(),
                               std::string(name) + " must be a number, not " + type_name(v));
  }
  return v.As<Napi::Number>().DoubleValue();
}

std::string string_arg(const Napi::Value& v, const char* name) {
  if (!v.IsString()) {
    throw Napi::TypeError::New(v.Env(),
                               std::string(name) + " must be a string, not " + type_name(v));
  }
  return v.As<Napi::String>().Utf8Value();
}

Napi::Object options_arg(const Napi::Value& v) {
  if (v.IsUndefined() || v.IsNull()) return Napi::Object::New(v.Env());
  if (!v.IsObject() || v.IsFunction()) {
    throw Napi::TypeError::New(v.Env(), "options must be an object, not " + type_name(v));
  }
  return v.As<Napi::Object>();
}

void refuse(Napi::Env env, const std::string& message) {
  if (!message.empty()) throw Napi::RangeError::New(env, message);
}

namespace {

namespace operations = Gantrix::operations;

// Country codes answered by countryAt, one string per code per environment, kept in an
// array (Node-API 8 has no references to strings): a call returns the cached string instead of
// making one.
struct Countries {
  Napi::ObjectReference two_letter;
};

Napi::Value country_string(Napi::Env env, std::string_view code) {
  const auto letter = [](char c) { return c >= 'a' && c <= 'z'; };
  if (code.size() != 2 || !letter(code[0]) || !letter(code[1])) {
    return Napi::String::New(env, code.data(), code.size());
  }
  Napi::Object table = env.GetInstanceData<Countries>()->two_letter.Value();
  const uint32_t slot = static_cast<uint32_t>((code[0] - 'a') * 26 + (code[1] - 'a'));
  Napi::Value cached = table.Get(slot);
  if (cached.IsString()) return cached;
  cached = Napi::String::New(env, code.data(), 2);
  table.Set(slot, cached);
  return cached;
}

bool is_error_document(std::string_view text) { return text.starts_with("{\"error\":"); }

// find(lat, lng, { reason }): the answer's text, or null where the library answers {error};
// with reason, that {error} document instead.
Napi::Value find(const Napi::CallbackInfo& info) {
  const Napi::Env env = info.Env();
  const double lat = number_arg(info[0], "lat");
  const double lng = number_arg(info[1], "lng");
  const bool reason = options_arg(info[2]).Get("reason").ToBoolean();
  const Text text = call(env, [=] { return operations::find(lat, lng); });
  if (!reason && is_error_document(text.get())) return env.Null();
  return Napi::String::New(env, text.get());
}

// countryAt(lat, lng): 'fr' or null, as gx_country_at answers.
Napi::Value country_at(const Napi::CallbackInfo& info) {
  const Napi::Env env = info.Env();
  const double lat = number_arg(info[0], "lat");
  const double lng = number_arg(info[1], "lng");
  const Text text = call(env, [=] { return operations::country_at(lat, lng); });
  const std::string_view t(text.get());
  // A JSON string of a code, or null. Codes are letters; one the library had to escape is
  // not a code it can answer, and is refused rather than misread.
  if (t == "null") return env.Null();
  if (t.size() < 2 || t.front() != '"' || t.find('\\') != std::string_view::npos) {
    throw Napi::Error::New(env, "unexpected country answer: " + std::string(t));
  }
  return country_string(env, t.substr(1, t.size() - 2));
}

// airport(code): the record's text for an IATA code, or for the composite code find answers
// ("fr.ory"): the IATA code after the first dot, when the record's code is the input in lower
// case. A code holding a NUL, which the C function would read as the end of the text, is
// refused.
Napi::Value airport(const Napi::CallbackInfo& info) {
  const Napi::Env env = info.Env();
  const std::string code = string_arg(info[0], "code");
  refuse(env, gantrix::arguments::code_refusal(code));
  const Text text = call(env, [&] { return operations::airport(code.c_str()); });
  if (std::string_view(text.get()) != "null") return Napi::String::New(env, text.get());
  const size_t dot = code.find('.');
  if (dot == std::string::npos) return env.Null();
  const std::string iata = code.substr(dot + 1);
  const Text record = call(env, [&] { return operations::airport(iata.c_str()); });
  // The record's first member is its code: {"code":"fr.ory",...
  std::string lower = code;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  const std::string head = "{\"code\":" + Gantrix::json_str(lower) + ",";
  if (!std::string_view(record.get()).starts_with(head)) return env.Null();
  return Napi::String::New(env, record.get());
}

}  // namespace

void init_single(Napi::Env env, Napi::Object exports) {
  env.SetInstanceData(new Countries{Napi::Persistent(Napi::Array::New(env, 26 * 26).As<Napi::Object>())});
  exports.Set("find", Napi::Function::New(env, find, "find"));
  exports.Set("countryAt", Napi::Function::New(env, country_at, "countryAt"));
  exports.Set("airport", Napi::Function::New(env, airport, "airport"));
  exports.Set("version", Napi::String::New(env, GANTRIX_VERSION));
}

}  // namespace gantrix_node

namespace {

Napi::Object init(Napi::Env env, Napi::Object exports) {
  gantrix_node::init_single(env, exports);
  gantrix_node::init_sets(env, exports);
  gantrix_node::init_batches(env, exports);
  gantrix_node::init_reference(env, exports);
  return exports;
}

}  // namespace

NODE_API_MODULE(gantrix, init)
