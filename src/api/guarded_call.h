// The guarded call behind every exported function: it runs one operation, turns anything it
// throws into a null result and a message for gx_error, and hands the result's block to the
// caller as it is. No exception ever leaves it.
#pragma once

#include <cstddef>
#include <exception>

#include "core/result_text.h"

namespace Gantrix {

inline constexpr size_t LAST_ERROR_SIZE = 512;

// The calling thread's buffer, which gx_error returns.
const char* last_error() noexcept;

// Records text in the calling thread's error buffer, cut to 511 bytes.
void record_error(const char* text) noexcept;

// Records the exception being handled: its message, or its class name when the message is
// empty, or "error". Called only from a catch block.
void record_current_exception() noexcept;

template <class Op>
char* guarded_call(Op&& op) noexcept {
  try {
    ResultText result = op();
    char* text = result.release();
    if (text == nullptr) record_error("out of memory");
    return text;
  } catch (...) {
    record_current_exception();
  }
  return nullptr;
}

}  // namespace Gantrix
