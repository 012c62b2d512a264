// Cells of the map whose answer was worked out at build time, each holding one value for
// every point in it: one-degree cells, any of which may instead be cut into 4 x 4 finer
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
  static constexpr int MAX_DEPTH = 8;  // cuts below a top cell, at most

  // A top cell's entry: a value below BLOCK, BLOCK + b for a cut cell (blocks[b]), or
  // UNDECIDED.
  static constexpr uint32_t BLOCK = 0x80000000u;
  static constexpr uint32_t UNDECIDED = 0xFFFFFFFFu;

  // A cut cell's children, row-major from the south-west: each a value below CHILD_BLOCK,
  // CHILD_BLOCK + j for the block's j-th cut child (blocks[first + j]: a block's cut children
  // lie side by side), or CHILD_UNDECIDED. Two bytes a child keep the finer levels small.
  static constexpr uint16_t CHILD_BLOCK = 0x8000;
  static constexpr uint16_t CHILD_UNDECIDED = 0xFFFF;
  struct Block {
    uint32_t first;
    uint16_t child[CHILDREN];
  };

  // The value of the finest cell holding p, or UNDECIDED (also off the map, and for an empty
  // grid). Latitude 90 belongs to the top row; longitude 180 is off the map (callers write it
  // as -180).
  [[nodiscard]] uint32_t at(LatLng p) const {
    double fx = (p.lng + 180.0) * PER_DEGREE, fy = (p.lat + 90.0) * PER_DEGREE;
    if (top.empty() || !(fx >= 0.0 && fx < W && fy >= 0.0 && fy <= H)) return UNDECIDED;
    int64_t x = static_cast<int64_t>(fx);
    int64_t y = std::min<int64_t>(static_cast<int64_t>(fy), H - 1);
    const uint32_t e = top[static_cast<size_t>(y * W + x)];
    if (e < BLOCK || e == UNDECIDED) return e;
    size_t b = e - BLOCK;
    for (int depth = 0; depth < MAX_DEPTH && b < blocks.size(); ++depth) {
      // Scaling by a power of two is exact, so a child is always inside its parent (the
      // clamp only keeps latitude 90 in the top row).
      fx *= SPLIT;
      fy *= SPLIT;
      const int64_t cx = std::clamp<int64_t>(static_cast<int64_t>(fx) - x * SPLIT, 0, SPLIT - 1);
      const int64_t cy = std::clamp<int64_t>(static_cast<int64_t>(fy) - y * SPLIT, 0, SPLIT - 1);
      x = x * SPLIT + cx;
      y = y * SPLIT + cy;
      const Block& block = blocks[b];
      const uint16_t v = block.child[cy * SPLIT + cx];
      if (v < CHILD_BLOCK) return v;
      if (v == CHILD_UNDECIDED) break;
      b = block.first + static_cast<size_t>(v - CHILD_BLOCK);
    }
    return UNDECIDED;
  }

  template <class V>
  void visit(V& v) {
    v(top), v(blocks);
  }

  Column<uint32_t> top;  // row-major from (-180, -90)
  Column<Block> blocks;
};

}  // namespace Gantrix
