// The envelope tree of the reference country walk in tests/support/oracles.h (the library
// itself answers from the ring grid and the cells).
//
// A static, bulk-loaded R-tree in flat parallel arrays: sort-tile-recursive packing with
// fan-out NODE_SIZE, nodes numbered in creation order (leaves first, the root last).
//
// lo and hi are the caller's entry corners, entry-major (entry i at i*dims ...); the tree
// only points at them, so they must outlive it and never change. A point entry passes the
// same array twice.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/constants.h"

namespace Gantrix {

class RTree {
 public:
  RTree() = default;
  RTree(int dims, std::span<const double> lo, std::span<const double> hi);

  // Squared distance from (x, y, z) to the box of node n; 0 inside or on the box.
  [[nodiscard]] double mindist3(int64_t node, double x, double y, double z) const {
    const double* l = &nlo[static_cast<size_t>(node) * 3];
    const double* h = &nhi[static_cast<size_t>(node) * 3];
    const double dx = axis_gap(l[0], h[0], x);
    const double dy = axis_gap(l[1], h[1], y);
    const double dz = axis_gap(l[2], h[2], z);
    return (dx * dx + dy * dy) + dz * dz;
  }

  // Squared distance from (x, y, z) to the position of entry i.
  [[nodiscard]] double dist3(int64_t i, double x, double y, double z) const {
    const double* p = &lo[static_cast<size_t>(i) * 3];
    const double dx = p[0] - x, dy = p[1] - y, dz = p[2] - z;
    return (dx * dx + dy * dy) + dz * dz;
  }

  // Whether some entry below node n lies within squared distance MARGIN (inclusive).
  [[nodiscard]] bool within3(int64_t node, double x, double y, double z) const;
  [[nodiscard]] bool any_within3(double x, double y, double z) const {
    return root >= 0 && within3(root, x, y, z);
  }

  [[nodiscard]] int64_t entries() const {
    return dims > 0 ? static_cast<int64_t>(lo.size()) / dims : 0;
  }
  [[nodiscard]] size_t bytes() const;

  int dims = 0;
  std::span<const double> lo;
  std::span<const double> hi;
  std::vector<int32_t> first;
  std::vector<int32_t> count;
  std::vector<uint8_t> leaf;
  std::vector<int32_t> kids;
  std::vector<double> nlo;
  std::vector<double> nhi;
  int64_t root = -1;

 private:
  static double axis_gap(double l, double h, double v) {
    if (l > v) return l - v;
    if (v > h) return v - h;
    return 0.0;
  }
  std::vector<int32_t> pack(const std::vector<int32_t>& members, bool leaf_level);
};

}  // namespace Gantrix
