#include "tests/support/oracles.h"

#include "core/constants.h"

namespace Gantrix::test {
namespace {

// Bounding-box area of the smallest ring of feature f containing p, or -1.0 when the feature
// (parity over all its rings) does not contain the point.
double innermost_ring(const CountryIndex& c, int64_t f, double x, double y) {
  double best = INF;
  bool odd = false;
  const Rings& rings = c.rings;
  for (int64_t r = c.first_ring[f], end = r + c.ring_count[f]; r < end; ++r) {
    // Only rings whose box holds the point (widened in longitude as the library's is), so
    // the whole-edge count runs on a few rings.
    if (y < rings.min_lat[r] || y >= rings.max_lat[r] || x < rings.min_lng[r] - MARGIN ||
        x > rings.max_lng[r] + MARGIN) {
      continue;
    }
    if (!crossing_number(rings, r, x, y)) continue;
    odd = !odd;
    const double area = rings.box_area(r);
    if (area < best) best = area;
  }
  return odd ? best : -1.0;
}

}  // namespace

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

int64_t envelope_scan(const CountryIndex& c, LatLng p) {
  const double x = p.lng, y = p.lat;
  int64_t best = -1;
  double best_area = 0.0;
  for (size_t e = 0; e < c.envelopes(); ++e) {
    const size_t b = e * 2;
    if (!(c.envelope_lo[b] <= x && x <= c.envelope_hi[b] && c.envelope_lo[b + 1] <= y &&
          y <= c.envelope_hi[b + 1])) {
      continue;
    }
    const double a = innermost_ring(c, c.envelope_feature[e], x, y);
    if (!(a >= 0.0)) continue;
    // Envelopes come in feature order, so on equal areas the earlier feature stays.
    if (best < 0 || a < best_area) {
      best = static_cast<int64_t>(e);
      best_area = a;
    }
  }
  return best;
}

std::optional<std::string_view> country_scan(const CountryIndex& c, LatLng p) {
  const int64_t e = envelope_scan(c, p);
  if (e < 0) return std::nullopt;
  return c.envelope_code[static_cast<size_t>(e)];
}

}  // namespace Gantrix::test
