// Positions and every rule about them, in one place. A position is a LatLng: latitude first,
// as callers write it, in degrees; the whole spatial layer takes positions this way. Inside
// the ring geometry, x is the longitude and y the latitude (GeoJSON's order), and only there.
#pragma once

#include <cmath>

namespace Gantrix {

struct LatLng {
  double lat;
  double lng;
};

// Finite, with |lat| <= 90. Any finite longitude is valid: it is wrapped.
[[nodiscard]] inline bool valid_coords(double lat, double lng) {
  return std::isfinite(lat) && std::isfinite(lng) && std::fabs(lat) <= 90.0;
}

// A finite longitude wrapped into -180..180; values already there are kept as they are.
// From 2^53 on, adding 180 would round away the low part of the sum, so such a longitude is
// first reduced by fmod, exact there; below it the arithmetic is the long-standing one.
[[nodiscard]] inline double normalize_lng(double lng) {
  if (std::fabs(lng) <= 180.0) return lng;
  if (std::fabs(lng) >= 0x1p53) lng = std::fmod(lng, 360.0);
  double x = std::fmod(lng + 180.0, 360.0);
  if (x < 0.0) x += 360.0;
  return x - 180.0;
}

// 180 and -180 are one meridian; outlines cut there meet it from both sides, and only as -180
// does a point on it count as on their western edge, which is inside. One spelling gives one
// answer.
[[nodiscard]] inline double one_antimeridian(double lng) { return lng == 180.0 ? -180.0 : lng; }

// Where a probe stepped off a point lands: one that crossed a pole continues down the other
// side, half a turn round; one past the antimeridian lands on its far side, and one on it is
// at -180, like the point itself.
[[nodiscard]] inline LatLng wrap_probe(LatLng p) {
  if (p.lat > 90.0) {
    p.lat = 180.0 - p.lat;
    p.lng += 180.0;
  } else if (p.lat < -90.0) {
    p.lat = -180.0 - p.lat;
    p.lng += 180.0;
  }
  if (p.lng >= 180.0) {
    p.lng -= 360.0;
  } else if (p.lng < -180.0) {
    p.lng += 360.0;
  }
  return p;
}

}  // namespace Gantrix
