// Works out the country cells (spatial/country_cells.h) from the outlines, at build time.
#pragma once

#include <cstdint>
#include <span>

#include "spatial/country_cells.h"
#include "spatial/ring_grid.h"
#include "spatial/rings.h"

namespace Gantrix {

// What the cells are worked out from: the rings, the grid of the rings that count (those of
// features with an envelope), each ring's feature, each feature's envelope (or -1) and the
// envelope boxes (min x, min y / max x, max y per envelope).
struct CellSource {
  const Rings& rings;
  const RingGrid& grid;
  std::span<const int32_t> ring_feature;
  std::span<const int64_t> feature_envelope;
  std::span<const double> env_lo;
  std::span<const double> env_hi;
};

// Left empty (every point then takes the ring test) when the source is too odd or too large
// to work out in reasonable time.
[[nodiscard]] CountryCells build_country_cells(const CellSource& source);

}  // namespace Gantrix
