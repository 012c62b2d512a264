// What the parts of the addon share: argument reading with the refusals every surface uses,
// and the guarded call that runs an operation exactly as its C function does.
#pragma once

#include <napi.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "api/guarded_call.h"

namespace gantrix_node {

// typeof, except that null is named "null".
std::string type_name(const Napi::Value& v);

// The argument as a number, else TypeError "<name> must be a number, not <type>". Every number
// is taken: NaN, infinities and |lat| > 90 go to the library, which answers them.
double number_arg(const Napi::Value& v, const char* name);

// The argument as a string (UTF-8), else TypeError "<name> must be a string, not <type>".
std::string string_arg(const Napi::Value& v, const char* name);

// An options argument: undefined or null give an empty object; anything but an object is a
// TypeError.
Napi::Object options_arg(const Napi::Value& v);

// Throws RangeError with the message when it is not empty (gantrix_arguments.hpp's refusals).
void refuse(Napi::Env env, const std::string& message);

struct FreeText {
  void operator()(char* p) const { std::free(p); }
};
using Text = std::unique_ptr<char, FreeText>;

// Runs an operation through the guarded call behind the C functions: the same text, and on a
// failure an Error with the message gx_error would give.
template <class Op>
Text call(Napi::Env env, Op&& op) {
  char* text = Gantrix::guarded_call(std::forward<Op>(op));
  if (text == nullptr) throw Napi::Error::New(env, Gantrix::last_error());
  return Text(text);
}

// The parts' exports, added to the module object.
void init_single(Napi::Env env, Napi::Object exports);
void init_sets(Napi::Env env, Napi::Object exports);
void init_batches(Napi::Env env, Napi::Object exports);
void init_reference(Napi::Env env, Napi::Object exports);

}  // namespace gantrix_node
