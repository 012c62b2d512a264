#include "api/call_frame.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <typeinfo>

#include "query/gantrix_ext.h"

namespace Gantrix {
namespace {

bool ready = false;
char last_error_buffer[LAST_ERROR_SIZE] = {};

std::string class_name(const std::type_info* type) {
  if (type == nullptr) return {};
  int status = 0;
  char* demangled = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
  std::string name = status == 0 && demangled != nullptr ? demangled : type->name();
  std::free(demangled);
  return name;
}

}  // namespace

void gx_ext_init() { GantrixExt::sets(); }

int gx_ext_init_try(Operation op, CallFrame& frame, std::string* error_class,
                    std::string* error_message) {
  std::string cls;
  std::string msg;
  try {
    op(frame);
    return 0;
  } catch (const std::exception& e) {
    cls = class_name(&typeid(e));
    msg = e.what() != nullptr ? e.what() : "";
  } catch (...) {
    cls = class_name(abi::__cxa_current_exception_type());
  }
  if (error_class != nullptr) *error_class = std::move(cls);
  if (error_message != nullptr) *error_message = std::move(msg);
  return 1;
}

void record_error(const char* text) noexcept {
  std::snprintf(last_error_buffer, LAST_ERROR_SIZE, "%s", text);
}

const char* last_error() noexcept { return last_error_buffer; }

char* run_exported(Operation op, CallFrame& frame) noexcept {
  try {
    if (!ready) {
      gx_ext_init();
      ready = true;
    }
    std::string cls;
    std::string msg;
    if (gx_ext_init_try(op, frame, &cls, &msg) == 0) {
      char* text = frame.result.release();
      if (text == nullptr) record_error("out of memory");
      return text;
    }
    record_error(!msg.empty() ? msg.c_str() : !cls.empty() ? cls.c_str() : "error");
  } catch (...) {
    // Only the bookkeeping above can get here (an allocation failing while the error is
    // being described); the host still sees a failed call, never an exception.
    record_error("out of memory");
  }
  return nullptr;
}

}  // namespace Gantrix
