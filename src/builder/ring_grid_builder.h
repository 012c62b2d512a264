// Builds the grid of ring boxes (spatial/ring_grid.h) over chosen rings of a ring store.
#pragma once

#include <cstdint>

#include "spatial/ring_grid.h"
#include "spatial/rings.h"

namespace Gantrix {

void add_ring_box(RingGrid& grid, const Rings& rings, int64_t r);
void fill_ring_cells(RingGrid& grid);

// The grid over the rings of `rings` for which keep(r) holds; rings without points contain
// nothing (and have no finite box) and are left out.
template <class Keep>
RingGrid build_ring_grid(const Rings& rings, Keep&& keep) {
  RingGrid grid;
  for (int64_t r = 0; r < rings.size(); ++r) {
    if (rings.n[r] == 0 || !keep(r)) continue;
    add_ring_box(grid, rings, r);
  }
  fill_ring_cells(grid);
  return grid;
}

}  // namespace Gantrix
