// A second index over rings: a point then meets only the rings whose own box holds it,
// instead of every ring of every envelope that holds it (the envelopes of countries spanning
// the antimeridian cover whole bands). Ring boxes are widened by MARGIN in longitude, as the
// ring test is. The boxes are listed in a grid of one-degree cells, each cell naming every
// box that overlaps it.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "core/column.h"
#include "spatial/coords.h"

namespace Gantrix {

class RingGrid {
 public:
  static constexpr int W = 360;
  static constexpr int H = 180;

  // Clamped, so probes past the poles or the antimeridian land in the edge cells; rounding
  // is monotonic, so a box that holds a point always lists itself in the point's cell.
  [[nodiscard]] static int grid_x(double x) { return cell(x + 180.0, W); }
  [[nodiscard]] static int grid_y(double y) { return cell(y + 90.0, H); }

  // Calls f(box) for every box listed in the cell of `at` that holds it.
  template <class F>
  void for_each_box_at(LatLng at, F&& f) const {
    if (cell_start.empty()) return;
    const double x = at.lng, y = at.lat;
    const int c = grid_y(y) * W + grid_x(x);
    for (int32_t k = cell_start[c], end = cell_start[c + 1]; k < end; ++k) {
      const int32_t p = cell_box[k];
      const size_t b = static_cast<size_t>(p) * 2;
      if (lo[b] <= x && x <= hi[b] && lo[b + 1] <= y && y <= hi[b + 1]) f(p);
    }
  }

  [[nodiscard]] size_t size() const { return ring.size(); }

  template <class V>
  void visit(V& v) {
    v(ring), v(lo), v(hi), v(cell_start), v(cell_box);
  }

  Column<int32_t> ring;        // per box: its ring
  Column<double> lo;           // per box: min longitude, min latitude
  Column<double> hi;           // per box: max longitude, max latitude
  Column<int32_t> cell_start;  // per cell (row-major, then one more): into cell_box
  Column<int32_t> cell_box;    // boxes, cell after cell

 private:
  static int cell(double v, int cells) {
    const double f = std::floor(v);
    if (!(f >= 0.0)) return 0;
    if (f >= cells - 1) return cells - 1;
    return static_cast<int>(f);
  }
};

}  // namespace Gantrix
