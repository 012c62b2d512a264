#include "state/state.h"

namespace Gantrix {

State::State(std::span<const std::byte> image) : image_(ImageBytes::borrow(image)) { attach(); }

State::State(ImageBytes image) : image_(std::move(image)) { attach(); }

void State::attach() {
  ImageReader r(image_.view());
  visit_parts(r, *this);
  r.finish();
  header_ = r.header();
}

}  // namespace Gantrix
