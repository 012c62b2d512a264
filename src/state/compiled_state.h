// The State's image compiled into the library at build time (tools/image writes it).
#pragma once

#include <cstddef>
#include <span>

namespace Gantrix {

std::span<const std::byte> state_image();

}  // namespace Gantrix
