#include "api/guarded_call.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <typeinfo>

namespace Gantrix {
namespace {

// Each thread's own last failure, as errno is.
thread_local char last_error_buffer[LAST_ERROR_SIZE] = {};

// The demangled class name, needed only for an exception without a message.
std::string class_name(const std::type_info* type) {
  if (type == nullptr) return {};
  int status = 0;
  char* demangled = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
  std::string name = status == 0 && demangled != nullptr ? demangled : type->name();
  std::free(demangled);
  return name;
}

}  // namespace

void record_error(const char* text) noexcept {
  std::snprintf(last_error_buffer, LAST_ERROR_SIZE, "%s", text);
}

const char* last_error() noexcept { return last_error_buffer; }

void record_current_exception() noexcept {
  try {
    try {
      throw;
    } catch (const std::exception& e) {
      const char* what = e.what();
      if (what != nullptr && what[0] != '\0') {
        record_error(what);
        return;
      }
      const std::string cls = class_name(&typeid(e));
      record_error(!cls.empty() ? cls.c_str() : "error");
    } catch (...) {
      const std::string cls = class_name(abi::__cxa_current_exception_type());
      record_error(!cls.empty() ? cls.c_str() : "error");
    }
  } catch (...) {
    // Only describing the error can get here (an allocation failing); the host still sees a
    // failed call, never an exception.
    record_error("out of memory");
  }
}

}  // namespace Gantrix
