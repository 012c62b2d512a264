// The two dataset texts the compiled-in State was built from, linked only into what builds
// States in-process (tests, benchmarks, fuzzers), never into the shared library.
#pragma once

#include <string_view>

namespace Gantrix {

std::string_view airports_json();
std::string_view countries_json();

}  // namespace Gantrix
