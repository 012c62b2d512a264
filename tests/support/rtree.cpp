#include "tests/support/rtree.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

namespace Gantrix {
namespace {

// Sort-tile-recursive order of positions: sort by the centre on this axis (ties by position),
// cut into slabs sized so the slabs tile the remaining axes evenly, recurse per slab. The
// keys are sorted beside their positions, so the sort reads contiguous memory.
void str_order(std::vector<int32_t>::iterator begin, std::vector<int32_t>::iterator end, int axis,
               int dims, const std::vector<double>& centres,
               std::vector<std::pair<double, int32_t>>& keyed) {
  const int64_t n = end - begin;
  keyed.clear();
  for (auto it = begin; it != end; ++it) {
    keyed.emplace_back(centres[static_cast<size_t>(*it) * dims + axis], *it);
  }
  std::sort(keyed.begin(), keyed.end());
  for (int64_t i = 0; i < n; ++i) begin[i] = keyed[static_cast<size_t>(i)].second;
  if (axis == dims - 1) return;
  const int64_t p = (n + NODE_SIZE - 1) / NODE_SIZE;
  const auto s = static_cast<int64_t>(
      std::ceil(std::pow(static_cast<double>(p), 1.0 / static_cast<double>(dims - axis))));
  const int64_t slab = NODE_SIZE * ((p + s - 1) / s);
  for (int64_t i = 0; i < n; i += slab) {
    str_order(begin + i, begin + std::min(n, i + slab), axis + 1, dims, centres, keyed);
  }
}

}  // namespace

RTree::RTree(int d, std::span<const double> entry_lo, std::span<const double> entry_hi)
    : dims(d), lo(entry_lo), hi(entry_hi) {
  const int64_t count_entries = dims > 0 ? static_cast<int64_t>(lo.size()) / dims : 0;
  if (count_entries <= 0) return;
  std::vector<int32_t> level(static_cast<size_t>(count_entries));
  std::iota(level.begin(), level.end(), 0);
  level = pack(level, true);
  while (level.size() > 1) level = pack(level, false);
  root = level[0];
}

// Groups one level's members (entries, or the nodes of the level below) into new nodes.
std::vector<int32_t> RTree::pack(const std::vector<int32_t>& members, bool leaf_level) {
  const size_t m = members.size();
  const size_t d = static_cast<size_t>(dims);
  // Upper levels read the boxes of nodes made earlier while appending new ones, so the boxes
  // are read by index, never through a pointer that an append could invalidate.
  auto box_lo = [&](size_t i) { return leaf_level ? lo[i] : nlo[i]; };
  auto box_hi = [&](size_t i) { return leaf_level ? hi[i] : nhi[i]; };
  std::vector<double> centres(m * d);
  for (size_t i = 0; i < m; ++i) {
    const size_t id = static_cast<size_t>(members[i]);
    for (size_t a = 0; a < d; ++a) {
      centres[i * d + a] = (box_lo(id * d + a) + box_hi(id * d + a)) * 0.5;
    }
  }
  std::vector<int32_t> order(m);
  std::iota(order.begin(), order.end(), 0);
  std::vector<std::pair<double, int32_t>> keyed;
  keyed.reserve(m);
  str_order(order.begin(), order.end(), 0, dims, centres, keyed);

  std::vector<int32_t> result;
  result.reserve((m + NODE_SIZE - 1) / NODE_SIZE);
  for (size_t i = 0; i < m; i += NODE_SIZE) {
    const size_t c = std::min<size_t>(NODE_SIZE, m - i);
    const auto node = static_cast<int32_t>(first.size());
    first.push_back(static_cast<int32_t>(kids.size()));
    count.push_back(static_cast<int32_t>(c));
    leaf.push_back(leaf_level ? 1 : 0);
    const size_t base = nlo.size();
    nlo.insert(nlo.end(), d, INF);
    nhi.insert(nhi.end(), d, -INF);
    for (size_t j = 0; j < c; ++j) {
      const int32_t child = members[order[i + j]];
      kids.push_back(child);
      for (size_t a = 0; a < d; ++a) {
        const double l = box_lo(static_cast<size_t>(child) * d + a);
        const double h = box_hi(static_cast<size_t>(child) * d + a);
        if (l < nlo[base + a]) nlo[base + a] = l;
        if (h > nhi[base + a]) nhi[base + a] = h;
      }
    }
    result.push_back(node);
  }
  return result;
}

bool RTree::within3(int64_t node, double x, double y, double z) const {
  if (mindist3(node, x, y, z) > MARGIN) return false;
  const int32_t begin = first[node];
  const int32_t end = begin + count[node];
  for (int32_t k = begin; k < end; ++k) {
    const int32_t child = kids[k];
    if (leaf[node]) {
      if (dist3(child, x, y, z) <= MARGIN) return true;
    } else if (within3(child, x, y, z)) {
      return true;
    }
  }
  return false;
}

size_t RTree::bytes() const {
  return (first.capacity() + count.capacity() + kids.capacity()) * sizeof(int32_t) +
         leaf.capacity() + (nlo.capacity() + nhi.capacity()) * sizeof(double);
}

}  // namespace Gantrix
