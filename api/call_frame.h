// The call frame behind every exported function: lazy start-up, the protected call that turns
// any raised error into a null result and a stored message, and the caller-owned copy.
#pragma once

#include <cstdint>
#include <string>

#include "api/result_text.h"

namespace Gantrix {

// Arguments of one exported call and the operation's result text.
struct CallFrame {
  double lat = 0.0;
  double lng = 0.0;
  const char* code = nullptr;   // gx_airport, gx_set_include
  const char* codes = nullptr;  // gx_set_new
  int64_t count = 0;
  int64_t handle = 0;
  const char* country = nullptr;
  int64_t has_country = 0;
  double max_km = 0.0;
  int64_t has_max_km = 0;
  int64_t limit = 0;
  double foreign_max_km = 0.0;
  int64_t has_foreign_max_km = 0;
  ResultText result;
};

using Operation = void (*)(CallFrame&);

inline constexpr size_t LAST_ERROR_SIZE = 512;

// One-time start-up: the set registry. The datasets are parsed later, on first need.
void gx_ext_init();

// Runs op on frame. Returns 0 when it completed, 1 when it raised; then the error's class name
// and message ("" when it had none) are stored through the out-pointers that are not null.
int gx_ext_init_try(Operation op, CallFrame& frame, std::string* error_class,
                    std::string* error_message);

// An exported call: start-up if needed, the protected call, then either the result's block
// (the caller's to free) or null with the message recorded for gx_error. Never throws.
char* run_exported(Operation op, CallFrame& frame) noexcept;

// The 512-byte buffer that gx_error returns.
const char* last_error() noexcept;

// Records text in the error buffer, cut to 511 bytes.
void record_error(const char* text) noexcept;

}  // namespace Gantrix
