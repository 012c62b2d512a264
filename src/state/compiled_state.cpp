#include "state/compiled_state.h"

#include "state/state.h"

extern "C" {
extern const char gantrix_state_image_begin[];
extern const char gantrix_state_image_end[];
}

namespace Gantrix {

std::span<const std::byte> state_image() {
  return {reinterpret_cast<const std::byte*>(gantrix_state_image_begin),
          static_cast<size_t>(gantrix_state_image_end - gantrix_state_image_begin)};
}

const State& state() {
  // Made by the first caller while any others wait; one that throws leaves nothing and the
  // next call tries again. Never destroyed: threads may still query at exit. Only the parts'
  // views are allocated: the data stays in the library's read-only pages.
  static const State* const made = new State(state_image());
  return *made;
}

}  // namespace Gantrix
