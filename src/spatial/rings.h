// Every polygon ring of every country in one flat store, with a per-ring bounding box and a
// per-ring index of edges by latitude band, so the point-in-ring test only looks at the edges
// that overlap the point's latitude.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/column.h"
#include "spatial/coords.h"

namespace Gantrix {

class Rings {
 public:
  // The band of ring r that latitude y falls in.
  [[nodiscard]] int64_t band_of(int64_t r, double y) const;

  // Even-odd test of the eastward ray from p. South and west sides count as inside, north
  // and east sides as outside.
  [[nodiscard]] bool contains(int64_t r, LatLng p) const;

  // Calls f(xi) for every edge of ring r that crosses latitude y (exactly one end strictly
  // north of it), xi being the longitude where it does, as the ring test computes it.
  // Needs min_lat[r] <= y < max_lat[r].
  template <class F>
  void for_each_crossing(int64_t r, double y, F&& f) const {
    const int64_t g = band0[r] + band_of(r, y);
    const int64_t base = first[r];
    const int64_t last = n[r] - 1;
    for (int64_t k = bstart[g], end = bstart[g + 1]; k < end; ++k) {
      const int64_t v = edges[k];
      const int64_t b = base + v;
      const int64_t a = base + (v == 0 ? last : v - 1);
      const double yb = ys[b], ya = ys[a];
      if ((yb > y) != (ya > y)) f(xs[b] + ((y - yb) * (xs[a] - xs[b])) / (ya - yb));
    }
  }

  // Area of ring r's bounding box in square degrees: among overlapping outlines, the smaller
  // innermost ring wins.
  [[nodiscard]] double box_area(int64_t r) const {
    return (max_lat[r] - min_lat[r]) * (max_lng[r] - min_lng[r]);
  }

  [[nodiscard]] int64_t size() const { return static_cast<int64_t>(first.size()); }

  // Every ring's points, ring after ring: longitude (x) and latitude (y) in degrees. A ring
  // is closed implicitly: its last point joins its first.
  Column<double> xs;
  Column<double> ys;
  // Per ring r: where its points start in xs/ys, and how many there are.
  Column<int64_t> first;
  Column<int64_t> n;
  // Per ring: its bounding box.
  Column<double> min_lng;
  Column<double> min_lat;
  Column<double> max_lng;
  Column<double> max_lat;
  // Per ring: its latitude span cut into `bands` bands of equal height `band_height`
  // (one band per 8 points, at least one), the lowest starting at min_lat.
  Column<double> band_height;
  Column<int64_t> bands;
  // Per ring: the number of its first band among all bands (a ring's bands are numbered
  // band0[r] .. band0[r] + bands[r] - 1).
  Column<int64_t> band0;
  // Per band, then one more: where its edge list starts in `edges`.
  Column<int64_t> bstart;
  // Edges band after band, each as the ring-local number i of its end point: edge i joins
  // point i - 1 (the last point for i = 0) to point i. An edge is listed in every band its
  // latitude span touches.
  Column<int32_t> edges;

  template <class V>
  void visit(V& v) {
    v(xs), v(ys), v(first), v(n), v(min_lng), v(min_lat), v(max_lng), v(max_lat);
    v(band_height), v(bands), v(band0), v(bstart), v(edges);
  }
};

// The band of latitude y in a ring whose lowest latitude is lo, band height h, nb bands.
inline int64_t band_index(double y, double lo, double h, int64_t nb) {
  const double t = (y - lo) / h;
  if (!(t >= 1.0)) return 0;
  if (t >= static_cast<double>(nb)) return nb - 1;
  return static_cast<int64_t>(t);
}

}  // namespace Gantrix
