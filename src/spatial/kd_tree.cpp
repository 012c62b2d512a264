#include "spatial/kd_tree.h"

#include <algorithm>

namespace Gantrix {

KdTree::KdTree(std::span<const double> xyz) {
  const size_t n = xyz.size() / 3;
  points.resize(n);
  for (size_t i = 0; i < n; ++i) {
    points[i] = {xyz[i * 3], xyz[i * 3 + 1], xyz[i * 3 + 2], static_cast<int32_t>(i), 0};
  }
  if (n == 0) return;
  nodes.reserve(2 * (n / (LEAF / 2) + 1));
  build(0, static_cast<int32_t>(n), 0);
}

int32_t KdTree::build(int32_t begin, int32_t end, int depth) {
  const auto self = static_cast<int32_t>(nodes.size());
  nodes.push_back({0.0, 0.0, -1, -1, begin, end});
  if (end - begin <= LEAF) return self;

  const auto first = points.begin() + begin, last = points.begin() + end;
  double lo[3] = {first->x, first->y, first->z}, hi[3] = {lo[0], lo[1], lo[2]};
  for (auto it = first; it != last; ++it) {
    const double c[3] = {it->x, it->y, it->z};
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], c[a]);
      hi[a] = std::max(hi[a], c[a]);
    }
  }
  int axis = 0;
  for (int a = 1; a < 3; ++a) {
    if (hi[a] - lo[a] > hi[axis] - lo[axis]) axis = a;
  }
  // Sliding midpoint: cut the box in half, which keeps cells fat where points are sparse;
  // when the cut leaves one side empty, or the tree is already deep (points crowded at
  // ever smaller scales), split at the median instead, so the depth stays bounded (ties by
  // entry, so the layout does not depend on the library's selection algorithm).
  auto mid = first;
  double left_max = 0.0, right_min = 0.0;
  const auto split_on = [&](auto coord) {
    const double cut = (lo[axis] + hi[axis]) * 0.5;
    mid = depth < kMidpointDepth
              ? std::partition(first, last, [&](const Point& p) { return coord(p) < cut; })
              : first;
    if (mid == first || mid == last) {
      mid = first + (end - begin) / 2;
      std::nth_element(first, mid, last, [coord](const Point& l, const Point& r) {
        const double cl = coord(l), cr = coord(r);
        return cl < cr || (cl == cr && l.entry < r.entry);
      });
    }
    left_max = coord(*first);
    for (auto it = first; it != mid; ++it) left_max = std::max(left_max, coord(*it));
    right_min = coord(*mid);
    for (auto it = mid; it != last; ++it) right_min = std::min(right_min, coord(*it));
  };
  if (axis == 0) {
    split_on([](const Point& p) { return p.x; });
  } else if (axis == 1) {
    split_on([](const Point& p) { return p.y; });
  } else {
    split_on([](const Point& p) { return p.z; });
  }

  const auto split = static_cast<int32_t>(mid - points.begin());
  build(begin, split, depth + 1);
  const int32_t right = build(split, end, depth + 1);
  Node& node = nodes[static_cast<size_t>(self)];
  node.lo = left_max;
  node.hi = right_min;
  node.axis = axis;
  node.right = right;
  return self;
}

}  // namespace Gantrix
