// The text of an exported call's result, the result freed: shared by the tests and the
// benchmarks, which need nothing else from the test support.
#pragma once

#include <string>

#include "gantrix.h"

namespace Gantrix::test {

// "<null: " and the calling thread's error for a null result, which no answer spells.
inline std::string take(char* result) {
  if (result == nullptr) return "<null: " + std::string(gx_error()) + ">";
  std::string s(result);
  gx_free(result);
  return s;
}

}  // namespace Gantrix::test
