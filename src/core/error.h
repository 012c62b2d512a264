// The system's own error: raised with a message, answered as a null result (or, by find, as
// an error document) at the C boundary.
#pragma once

#include <stdexcept>
#include <string>

namespace Gantrix {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace Gantrix
