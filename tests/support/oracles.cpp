#include "tests/support/oracles.h"

#include <algorithm>
#include <cmath>

#include "core/constants.h"

namespace Gantrix::test {

double wrapped_exactly(double lng) {
  int exp = 0;
  const double m = std::frexp(std::fabs(lng), &exp);  // |lng| = m * 2^exp, 0.5 <= m < 1
  uint64_t r = static_cast<uint64_t>(std::ldexp(m, 53)) % 360;
  for (int k = 53; k < exp; ++k) r = r * 2 % 360;
  const double w = static_cast<double>(lng < 0 ? (360 - r) % 360 : r);
  return w > 180.0 ? w - 360.0 : w;
}

Hits nearest(const AirportIndex& index, LatLng p, int64_t k, std::optional<double> max_km) {
  Hits out;
  for (const Hit& h : index.nearest_view(p, k, max_km)) {
    out.d.push_back(h.d);
    out.i.push_back(h.id);
  }
  return out;
}

bool crossing_number(const Rings& rings, int64_t r, double x, double y) {
  bool inside = false;
  const int64_t base = rings.first[r], n = rings.n[r];
  for (int64_t i = 0, j = n - 1; i < n; j = i++) {
    const double xi = rings.xs[base + i], yi = rings.ys[base + i];
    const double xj = rings.xs[base + j], yj = rings.ys[base + j];
    if ((yi > y) == (yj > y)) continue;
    if (xi + ((y - yi) * (xj - xi)) / (yj - yi) > x) inside = !inside;
  }
  return inside;
}

std::optional<std::string_view> country_scan(const CountryIndex& c, LatLng p) {
  const double x = p.lng, y = p.lat;
  const Rings& rings = c.rings;
  std::optional<std::string_view> best;
  double best_area = 0.0;
  for (size_t e = 0; e < c.envelopes(); ++e) {
    const size_t b = e * 2;
    if (!(c.envelope_lo[b] <= x && x <= c.envelope_hi[b] && c.envelope_lo[b + 1] <= y &&
          y <= c.envelope_hi[b + 1])) {
      continue;
    }
    // Parity over the feature's rings, and the box area of the smallest ring holding p. Only
    // rings whose box holds the point (widened in longitude as the library's is) are
    // counted, so the whole-edge count runs on a few rings.
    const int64_t f = c.envelope_feature[e];
    bool odd = false;
    double area = INF;
    for (int64_t r = c.first_ring[f], end = r + c.ring_count[f]; r < end; ++r) {
      if (y < rings.min_lat[r] || y >= rings.max_lat[r] || x < rings.min_lng[r] - MARGIN ||
          x > rings.max_lng[r] + MARGIN || !crossing_number(rings, r, x, y)) {
        continue;
      }
      odd = !odd;
      area = std::min(area, rings.box_area(r));
    }
    // Envelopes come in feature order, so on equal areas the earlier feature stays.
    if (odd && (!best || area < best_area)) {
      best = c.envelope_code[e];
      best_area = area;
    }
  }
  return best;
}

}  // namespace Gantrix::test
