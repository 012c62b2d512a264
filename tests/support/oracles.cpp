#include "tests/support/oracles.h"

#include "core/constants.h"

namespace Gantrix::test {

Hits nearest(const AirportIndex& index, double lat, double lng, int64_t k,
             std::optional<double> max_km) {
  Hits out;
  for (const Hit& h : index.nearest_view(lat, lng, k, max_km)) {
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

EnvelopeWalk::EnvelopeWalk(const CountryIndex& countries)
    : c_(countries), tree_(2, countries.envelope_lo, countries.envelope_hi) {}

double EnvelopeWalk::innermost_ring(int64_t f, double x, double y) const {
  double best = INF;
  bool odd = false;
  const int64_t r0 = c_.first_ring[f];
  const Rings& rings = c_.rings;
  for (int64_t r = r0, end = r0 + c_.ring_count[f]; r < end; ++r) {
    // Only rings whose box holds the point (widened in longitude as the library's is), so
    // the whole-edge count runs on a few rings.
    if (y < rings.min_lat[r] || y >= rings.max_lat[r] || x < rings.min_lng[r] - MARGIN ||
        x > rings.max_lng[r] + MARGIN) {
      continue;
    }
    if (!crossing_number(rings, r, x, y)) continue;
    odd = !odd;
    const double area = c_.rings.box_area(r);
    if (area < best) best = area;
  }
  return odd ? best : -1.0;
}

void EnvelopeWalk::walk(int64_t node, Best& best, double x, double y) const {
  const RTree& t = tree_;
  const size_t b = static_cast<size_t>(node) * 2;
  if (t.nlo[b] > x || x > t.nhi[b] || t.nlo[b + 1] > y || y > t.nhi[b + 1]) return;
  const int32_t begin = t.first[node];
  const int32_t end = begin + t.count[node];
  if (!t.leaf[node]) {
    for (int32_t k = begin; k < end; ++k) walk(t.kids[k], best, x, y);
    return;
  }
  for (int32_t k = begin; k < end; ++k) {
    const int32_t e = t.kids[k];
    const size_t eb = static_cast<size_t>(e) * 2;
    if (!(t.lo[eb] <= x && x <= t.hi[eb] && t.lo[eb + 1] <= y && y <= t.hi[eb + 1])) continue;
    const int64_t f = c_.envelope_feature[e];
    const double a = innermost_ring(f, x, y);
    if (!(a >= 0.0)) continue;
    // The smaller innermost ring wins, then the earlier feature.
    const bool wins = best.e < 0 || a < best.area ||
                      (a == best.area && f < c_.envelope_feature[best.e]);
    if (wins) best = {e, a};
  }
}

int64_t EnvelopeWalk::envelope_at(double x, double y) const {
  if (tree_.root < 0) return -1;
  Best best;
  walk(tree_.root, best, x, y);
  return best.e;
}

std::optional<std::string_view> EnvelopeWalk::code_at(double x, double y) const {
  const int64_t e = envelope_at(x, y);
  if (e < 0) return std::nullopt;
  return c_.envelope_code[static_cast<size_t>(e)];
}

}  // namespace Gantrix::test
