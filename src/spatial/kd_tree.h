// A static k-d tree over points in three dimensions, for nearest-point searches: splits on
// the widest axis down to leaves of at most LEAF points, nodes in depth-first
// order (a node's left child follows it), the points copied in leaf order next to their
// entry numbers so a leaf is a few contiguous cache lines.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/column.h"

namespace Gantrix {

class KdTree {
 public:
  static constexpr int LEAF = 8;

  struct Point {
    double x, y, z;
    int32_t entry;
    int32_t unused = 0;  // spelled out so an image of the points holds no stray bytes
  };
  // An inner node splits on axis `axis`: its left subtree holds coordinates at most `lo` on
  // that axis and its right subtree (node `right`) coordinates at least `hi`. A leaf has
  // axis -1 and holds points[begin, end).
  struct Node {
    double lo, hi;
    int32_t axis;
    int32_t right;  // inner node: its right child
    int32_t begin, end;
  };

  KdTree() = default;
  // xyz: three coordinates per entry, entry-major.
  explicit KdTree(std::span<const double> xyz);

  // Calls leaf(begin, end) for every leaf that may hold a point within squared distance
  // `bound` of q, nearer subtrees first. leaf may lower `bound` (it is read again before
  // every subtree); a subtree is skipped only when every point in it lies beyond the bound.
  template <class Leaf>
  void walk(const double* q, double& bound, Leaf&& leaf) const {
    if (nodes.empty()) return;
    double gap[3] = {0.0, 0.0, 0.0};
    walk_node(0, 0.0, gap, q, bound, leaf);
  }

  template <class V>
  void visit(V& v) {
    v(nodes), v(points);
  }

  Column<Node> nodes;
  Column<Point> points;

 private:
  // Midpoint cuts down to this depth, median cuts below: at most 40 + 31 levels.
  static constexpr int kMidpointDepth = 40;
  int32_t build(int32_t begin, int32_t end, int depth);

  // gap[a] is the squared distance from q to the current cell along axis a, and rd their
  // sum: a lower bound on the squared distance to any point below node n.
  template <class Leaf>
  void walk_node(int32_t n, double rd, double* gap, const double* q, double& bound,
                 Leaf& leaf) const {
    const Node& node = nodes[static_cast<size_t>(n)];
    if (node.axis < 0) {
      leaf(node.begin, node.end);
      return;
    }
    const int a = node.axis;
    const double below = q[a] - node.lo;
    const double above = q[a] - node.hi;
    int32_t near = n + 1, far = node.right;
    double cut = above * above;
    if (below + above >= 0.0) {
      near = node.right;
      far = n + 1;
      cut = below * below;
    }
    walk_node(near, rd, gap, q, bound, leaf);
    const double old = gap[a];
    const double far_rd = rd - old + cut;
    if (far_rd <= bound) {
      gap[a] = cut;
      walk_node(far, far_rd, gap, q, bound, leaf);
      gap[a] = old;
    }
  }
};

}  // namespace Gantrix
