// The fixed rules of country resolution, in the order they are tried: six boxes for small
// territories the outlines miss or misplace, then the outlines, then probes at growing radii
// around the point, then the country of the nearest airport within 1,000 km. The data
// pipeline's checker (datasets/pipeline/check.mjs) reads these values from this file: keep
// each one a plain literal.
#pragma once

#include <array>
#include <string_view>

namespace Gantrix {

struct SpecialBox {
  double lat_from, lat_to, lng_from, lng_to;
  std::string_view code;  // lower case
};

// Small territories that the outlines miss or misplace.
inline constexpr SpecialBox SPECIAL_BOXES[] = {
    {37.23, 37.25, 131.85, 131.87, "kr"}, {-37.2, -37.0, -12.5, -12.1, "sh"},
    {-49.7, -48.9, 68.5, 70.6, "tf"},     {-54.9, -53.9, -38.0, -35.5, "gs"},
    {-54.5, -54.3, 3.2, 3.5, "bv"},       {10.2, 10.4, -109.3, -109.1, "cp"},
};

// Probe radii in degrees, nearest first.
inline constexpr std::array<double, 6> RADII = {0.05, 0.1, 0.2, 0.5, 1.0, 2.0};

// Probe directions as (latitude step, longitude step) pairs: north, then clockwise.
// clang-format off
inline constexpr std::array<double, 32> DIRECTIONS = {
    1.0,   0.0,    0.92,  0.38,   0.71,  0.71,   0.38,  0.92,
    0.0,   1.0,    -0.38, 0.92,   -0.71, 0.71,   -0.92, 0.38,
    -1.0,  0.0,    -0.92, -0.38,  -0.71, -0.71,  -0.38, -0.92,
    0.0,   -1.0,   0.38,  -0.92,  0.71,  -0.71,  0.92,  -0.38};
// clang-format on

// The last resort: the country of the nearest airport at most this far (km).
inline constexpr double NEARBY_AIRPORT_KM = 1000.0;

// How far (km) a country without airports may borrow a neighbour's.
inline constexpr std::array<double, 3> NEARBY_RADII = {2000.0, 3000.0, 4000.0};

}  // namespace Gantrix
