#include "spatial/ring_grid.h"

#include "core/constants.h"
#include "core/counting_sort.h"

namespace Gantrix {

void RingGrid::add_box(const Rings& rings, int64_t r) {
  ring.push_back(static_cast<int32_t>(r));
  lo.push_back(rings.min_lng[r] - MARGIN);
  lo.push_back(rings.min_lat[r]);
  hi.push_back(rings.max_lng[r] + MARGIN);
  hi.push_back(rings.max_lat[r]);
}

void RingGrid::fill_cells() {
  const size_t boxes = ring.size();
  counting_sort(
      static_cast<size_t>(W) * H,
      [&](auto&& put) {
        for (size_t p = 0; p < boxes; ++p) {
          const int x0 = grid_x(lo[2 * p]), x1 = grid_x(hi[2 * p]);
          const int y0 = grid_y(lo[2 * p + 1]), y1 = grid_y(hi[2 * p + 1]);
          for (int cy = y0; cy <= y1; ++cy) {
            for (int cx = x0; cx <= x1; ++cx) put(cy * W + cx, static_cast<int32_t>(p));
          }
        }
      },
      cell_start, cell_box);
}

}  // namespace Gantrix
