#include "data/datasets.h"

#include <memory>

#include "data/state.h"

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
  static std::unique_ptr<State> slot;
  if (!slot) slot = std::make_unique<State>(state_image());
  return *slot;
}

}  // namespace Gantrix
