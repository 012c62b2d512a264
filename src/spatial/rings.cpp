#include "spatial/rings.h"

#include "core/constants.h"

namespace Gantrix {

int64_t Rings::band_of(int64_t r, double y) const {
  return band_index(y, min_lat[r], band_height[r], bands[r]);
}

bool Rings::contains(int64_t r, LatLng p) const {
  const double x = p.lng, y = p.lat;
  if (y < min_lat[r] || y >= max_lat[r]) return false;
  if (x < min_lng[r] - MARGIN || x > max_lng[r] + MARGIN) return false;
  bool inside = false;
  for_each_crossing(r, y, [&](double xi) {
    if (xi > x) inside = !inside;
  });
  return inside;
}

}  // namespace Gantrix
