#include "builder/rings_builder.h"

#include <algorithm>

#include "core/constants.h"

namespace Gantrix {

void add_ring(Rings& rings, const std::vector<double>& ring_xs,
              const std::vector<double>& ring_ys) {
  auto& [xs, ys, first, n, min_lng, min_lat, max_lng, max_lat, band_height, bands, band0, bstart,
         edges] = rings;
  const auto cnt = static_cast<int64_t>(ring_xs.size());
  first.push_back(static_cast<int64_t>(xs.size()));

  double lo_x = INF, lo_y = INF, hi_x = -INF, hi_y = -INF;
  for (int64_t j = 0; j < cnt; ++j) {
    const double x = ring_xs[j], y = ring_ys[j];
    xs.push_back(x);
    ys.push_back(y);
    if (x < lo_x) lo_x = x;
    if (y < lo_y) lo_y = y;
    if (x > hi_x) hi_x = x;
    if (y > hi_y) hi_y = y;
  }

  const int64_t nb = std::max<int64_t>(cnt / 8, 1);
  const double h = (hi_y - lo_y) / static_cast<double>(nb);

  // Edge i joins point i-1 (the last point for i = 0) to point i; it is filed under every
  // band its latitude span touches. The band grows with the latitude, so an edge's lowest
  // and highest bands are those of its ends, each worked out once per point.
  std::vector<int64_t> point_band(cnt), low(cnt), high(cnt), count(nb, 0);
  for (int64_t i = 0; i < cnt; ++i) point_band[i] = band_index(ring_ys[i], lo_y, h, nb);
  for (int64_t i = 0; i < cnt; ++i) {
    const int64_t a = point_band[i == 0 ? cnt - 1 : i - 1], b = point_band[i];
    low[i] = std::min(a, b);
    high[i] = std::max(a, b);
    for (int64_t g = low[i]; g <= high[i]; ++g) ++count[g];
  }

  int64_t s = static_cast<int64_t>(edges.size());
  std::vector<int64_t> cursor(nb);
  for (int64_t g = 0; g < nb; ++g) {
    bstart.push_back(s);
    cursor[g] = s;
    s += count[g];
  }
  bstart.push_back(s);
  edges.resize(static_cast<size_t>(s), 0);
  for (int64_t i = 0; i < cnt; ++i) {
    for (int64_t g = low[i]; g <= high[i]; ++g) edges[cursor[g]++] = static_cast<int32_t>(i);
  }

  n.push_back(cnt);
  min_lng.push_back(lo_x);
  min_lat.push_back(lo_y);
  max_lng.push_back(hi_x);
  max_lat.push_back(hi_y);
  band_height.push_back(h);
  bands.push_back(nb);
  band0.push_back(static_cast<int64_t>(bstart.size()) - nb - 1);
}

}  // namespace Gantrix
