// Cells of the map whose answer was worked out at build time, each holding one value for
// every point in it: half-degree cells, any of which may instead be cut into 4 x 4 finer
// cells, and those again, where coasts, borders and near-ties need it. A point's value is
// found by a few multiplications by powers of two (exact) and one read per level.
#pragma once

#include <algorithm>
#include <cstdint>

#include "core/column.h"
#include "spatial/coords.h"

namespace Gantrix {

class DecidedGrid {
 public:
  static constexpr int PER_DEGREE = 1;
  static constexpr int W = 360 * PER_DEGREE;
  static constexpr int H = 180 * PER_DEGREE;
  static constexpr int SPLIT = 4;  // a cut cell has SPLIT x SPLIT children
  static constexpr int CHILDREN = SPLIT * SPLIT;
  // A cell's entry: a value below BLOCK, BLOCK + b for its children (children[b * CHILDREN
  // + row * SPLIT + column]), or UNDECIDED.
  static constexpr uint32_t BLOCK = 0x80000000u;
  static constexpr uint32_t UNDECIDED = 0xFFFFFFFFu;

  // The value of the finest cell holding p, or UNDECIDED (also off the map, and for an empty
  // grid). Latitude 90 belongs to the top row; longitude 180 is off the map (callers write it
  // as -180).
  [[nodiscard]] uint32_t at(LatLng p) const {
    double fx = (p.lng + 180.0) * PER_DEGREE, fy = (p.lat + 90.0) * PER_DEGREE;
    if (top.empty() || !(fx >= 0.0 && fx < W && fy >= 0.0 && fy <= H)) return UNDECIDED;
    int64_t x = static_cast<int64_t>(fx);
    int64_t y = std::min<int64_t>(static_cast<int64_t>(fy), H - 1);
    uint32_t e = top[static_cast<size_t>(y * W + x)];
    while (e >= BLOCK && e != UNDECIDED) {
      // Scaling by a power of two is exact, so a child is always inside its parent (the
      // clamp only keeps latitude 90 in the top row).
      fx *= SPLIT;
      fy *= SPLIT;
      const int64_t cx = std::clamp<int64_t>(static_cast<int64_t>(fx) - x * SPLIT, 0, SPLIT - 1);
      const int64_t cy = std::clamp<int64_t>(static_cast<int64_t>(fy) - y * SPLIT, 0, SPLIT - 1);
      x = x * SPLIT + cx;
      y = y * SPLIT + cy;
      e = children[static_cast<size_t>(e - BLOCK) * CHILDREN + static_cast<size_t>(cy * SPLIT + cx)];
    }
    return e;
  }

  template <class V>
  void visit(V& v) {
    v(top), v(children);
  }

  Column<uint32_t> top;       // row-major from (-180, -90)
  Column<uint32_t> children;  // CHILDREN entries per cut cell, row-major within the block
};

}  // namespace Gantrix
