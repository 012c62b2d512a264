// What the command line needs from the library: answers that free themselves and set handles
// that are released whatever path the caller takes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "gantrix.h"

namespace GantrixCli {

struct FreeText {
  void operator()(char* text) const { gx_free(text); }
};
// One text returned by the library; null when the call failed (gx_error says why).
using Answer = std::unique_ptr<char, FreeText>;

inline bool is_error_document(std::string_view json) { return json.starts_with("{\"error\":"); }

// The handle of a library set built from a comma-separated list of codes, freed on
// destruction.
class SetHandle {
 public:
  explicit SetHandle(std::string_view comma_separated);  // throws std::runtime_error
  ~SetHandle();
  SetHandle(const SetHandle&) = delete;
  SetHandle& operator=(const SetHandle&) = delete;

  std::int64_t handle() const { return handle_; }
  // The codes that named no airport, as the library's JSON array.
  std::string missing() const;

 private:
  std::int64_t handle_;
};

}  // namespace GantrixCli
