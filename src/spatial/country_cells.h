// Half-degree cells that no outline edge comes near. Every point of such a cell lies inside
// the same rings, so the exact outline test has one answer for the whole cell; it is worked
// out once, at build time, from the crossings of each ring with the cell rows' centre lines. Points
// in the other cells (coasts and borders) take the ring test itself.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/column.h"
#include "spatial/coords.h"

namespace Gantrix {

class CountryCells {
 public:
  static constexpr int PER_DEGREE = 2;
  static constexpr int W = 360 * PER_DEGREE;
  static constexpr int H = 180 * PER_DEGREE;
  static constexpr int16_t NONE = -1;   // no envelope holds the cell
  static constexpr int16_t MIXED = -2;  // an edge passes near: test the point itself

  // Empty cells send every point to the ring test; the builder fills them
  // (builder/country_cells_builder.h).
  // The envelope holding every point of p's cell, NONE, or MIXED (also off the map).
  [[nodiscard]] int16_t at(LatLng p) const {
    const double fx = (p.lng + 180.0) * PER_DEGREE;
    const double fy = (p.lat + 90.0) * PER_DEGREE;
    if (cells.empty() || !(fx >= 0.0 && fx < W && fy >= 0.0 && fy < H)) return MIXED;
    return cells[static_cast<size_t>(fy) * W + static_cast<size_t>(fx)];
  }

  // Whether no outline comes within `reach` degrees (at most NEAR_REACH) of p on either
  // axis: every point of that square is then in no country. Conservative: false near the
  // edges of the map.
  [[nodiscard]] bool quiet_around(LatLng p, double reach) const {
    const double x = p.lng, y = p.lat;
    if (quiet.empty() || !(reach <= NEAR_REACH)) return false;
    if (!(x - reach > -179.0 && x + reach < 179.0 && y - reach > -89.0 && y + reach < 89.0)) {
      return false;
    }
    const auto cx = static_cast<size_t>(x + 180.0), cy = static_cast<size_t>(y + 90.0);
    return quiet[cy * 360 + cx] != 0;
  }

  template <class V>
  void visit(V& v) {
    v(cells), v(quiet);
  }

  static constexpr double NEAR_REACH = 2.0;
  Column<int16_t> cells;  // row-major from (-180, -90)
  // Per one-degree cell: 1 when every cell within NEAR_REACH + 1 degrees of it is NONE.
  Column<uint8_t> quiet;
};

}  // namespace Gantrix
