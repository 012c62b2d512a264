// The library's JSON answers as JavaScript values, read straight from the text the operation
// wrote: the single calls hand over exactly what the C functions answer, with no JSON.parse
// round trip through a JavaScript string.
#pragma once

#include <napi.h>

#include <string_view>

namespace gantrix_node {

// The value of one JSON text as the library writes it (objects, arrays, strings with escapes,
// numbers, true, false, null). Throws Napi::Error for a text that is not JSON.
Napi::Value json_value(Napi::Env env, std::string_view text);

}  // namespace gantrix_node
