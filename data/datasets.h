// The two dataset texts compiled into the library.
#pragma once

#include <string_view>

namespace Gantrix {

std::string_view airports_json();
std::string_view countries_json();

}  // namespace Gantrix
