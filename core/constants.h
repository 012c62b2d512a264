// Module constants shared by the loaders, the indexes and the queries. They are compile-time
// values, so no start-up has to compute them. The rules of country resolution are in
// query/country_rules.h.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

namespace Gantrix {

inline constexpr double INF = std::numeric_limits<double>::infinity();
inline constexpr double DEG = 0.017453292519943295;    // pi / 180
inline constexpr double HALF_PI = 1.5707963267948966;  // pi / 2
inline constexpr double EARTH_RADIUS_KM = 6371.0;
inline constexpr double MARGIN = 1e-09;
inline constexpr int64_t SIG_LIMIT = INT64_MAX / 10;  // 922337203685477580
inline constexpr int NODE_SIZE = 6;

inline constexpr std::array<double, 23> POW10 = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace Gantrix
