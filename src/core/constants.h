// Module constants shared by the indexes and the queries. They are compile-time
// values, so no start-up has to compute them. The rules of country resolution are in
// query/country_rules.h.
#pragma once

#include <cstdint>
#include <limits>

namespace Gantrix {

inline constexpr double INF = std::numeric_limits<double>::infinity();
inline constexpr double DEG = 0.017453292519943295;    // pi / 180
inline constexpr double HALF_PI = 1.5707963267948966;  // pi / 2
inline constexpr double EARTH_RADIUS_KM = 6371.0;
inline constexpr double MARGIN = 1e-09;

}  // namespace Gantrix
