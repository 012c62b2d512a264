// What is compiled in: the State's image in the library; the two dataset texts it was built
// from only in the static library (tests, benchmarks and fuzzers build States from them).
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace Gantrix {

std::span<const std::byte> state_image();

std::string_view airports_json();
std::string_view countries_json();

}  // namespace Gantrix
