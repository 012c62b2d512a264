#include "builder/ring_grid_builder.h"

#include "core/constants.h"
#include "core/counting_sort.h"

namespace Gantrix {

void add_ring_box(RingGrid& g, const Rings& rings, int64_t r) {
  g.ring.push_back(static_cast<int32_t>(r));
  g.lo.push_back(rings.min_lng[r] - MARGIN);
  g.lo.push_back(rings.min_lat[r]);
  g.hi.push_back(rings.max_lng[r] + MARGIN);
  g.hi.push_back(rings.max_lat[r]);
}

void fill_ring_cells(RingGrid& g) {
  constexpr int W = RingGrid::W, H = RingGrid::H;
  const size_t boxes = g.ring.size();
  counting_sort(
      static_cast<size_t>(W) * H,
      [&](auto&& put) {
        for (size_t p = 0; p < boxes; ++p) {
          const int x0 = RingGrid::grid_x(g.lo[2 * p]), x1 = RingGrid::grid_x(g.hi[2 * p]);
          const int y0 = RingGrid::grid_y(g.lo[2 * p + 1]);
          const int y1 = RingGrid::grid_y(g.hi[2 * p + 1]);
          for (int cy = y0; cy <= y1; ++cy) {
            for (int cx = x0; cx <= x1; ++cx) put(cy * W + cx, static_cast<int32_t>(p));
          }
        }
      },
      g.cell_start, g.cell_box);
}

}  // namespace Gantrix
