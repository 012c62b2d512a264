#include "tests/support/rtree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace Gantrix {
namespace {

using Ints = std::vector<int32_t>;

Ints kids_of(const RTree& t, int64_t n) {
  return {t.kids.begin() + t.first[n], t.kids.begin() + t.first[n] + t.count[n]};
}

TEST(RTree, EmptySingleAndPartialEntryLists) {
  const std::vector<double> none, p{0.25, -0.5, 0.75, 1, 2, 3, 4};
  const RTree empty(3, none, none);
  EXPECT_TRUE(empty.root == -1 && empty.first.empty() && empty.nlo.empty());
  EXPECT_FALSE(empty.any_within3(0, 0, 0));
  const RTree one(3, std::span(p).first(3), p);
  EXPECT_TRUE(one.root == 0 && one.count == Ints{1} && one.leaf[0] == 1);
  EXPECT_TRUE(one.nlo == std::vector<double>(p.begin(), p.begin() + 3) && one.nhi == one.nlo);
  // A trailing value that does not fill an entry is ignored.
  EXPECT_EQ(RTree(3, p, p).kids, (Ints{0, 1}));
  EXPECT_EQ(RTree(2, std::span(p).first(5), p).kids, (Ints{0, 1}));
}

// Equal centres sort by position, so even identical points have one fixed layout.
TEST(RTree, SeventhEntryStartsASecondLeafUnderANewRoot) {
  const std::vector<double> same(21, 0.5);
  const RTree six(3, std::span(same).first(18), same);
  EXPECT_TRUE(six.root == 0 && six.kids == Ints({0, 1, 2, 3, 4, 5}));
  const RTree seven(3, same, same);
  EXPECT_EQ(seven.root, 2);
  EXPECT_EQ(seven.count, (Ints{6, 1, 2}));
  EXPECT_EQ(seven.leaf, (std::vector<uint8_t>{1, 1, 0}));
  EXPECT_EQ(seven.kids, (Ints{0, 1, 2, 3, 4, 5, 6, 0, 1}));
  // Distinct x: the entry with the largest x is the one left over.
  const std::vector<double> p{6, 0, 0, 3, 1, 0, 9, 0, 1, 1, 0, 0, 5, 2, 2, 0, 0, 0, 2, 3, 0};
  const RTree t(3, p, p);
  EXPECT_EQ(kids_of(t, 1), Ints{2});
  EXPECT_EQ(t.nlo, (std::vector<double>{0, 0, 0, 9, 0, 1, 0, 0, 0}));
  EXPECT_EQ(t.nhi, (std::vector<double>{6, 3, 2, 9, 0, 1, 9, 3, 2}));
}

// 36 points on a 6x6 grid: 3 slabs of two columns, each slab cut by y; the root orders its
// leaves by their centres, not their numbers.
TEST(RTree, TwoDimensionalGridTilesIntoSlabs) {
  std::vector<double> p;
  for (int x = 0; x < 6; ++x) {
    for (int y = 0; y < 6; ++y) p.insert(p.end(), {double(x), double(y)});
  }
  const RTree t(2, p, p);
  ASSERT_EQ(t.root, 6);
  EXPECT_EQ(kids_of(t, 0), (Ints{0, 6, 1, 7, 2, 8}));
  EXPECT_EQ(kids_of(t, 6), (Ints{0, 2, 4, 1, 3, 5}));
  EXPECT_EQ((std::vector<double>{t.nlo[8], t.nlo[9], t.nhi[8], t.nhi[9]}),
            (std::vector<double>{4, 0, 5, 2}));
}

// A large tree: full nodes except the last of each level, levels bottom up, contiguous
// child lists. (Node boxes and the use of every entry are pinned by the country index test,
// whose reference walk runs on this tree.)
TEST(RTree, LargeTreeFillsEveryLevel) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-1, 1);
  const int entries = 2345;
  std::vector<double> lo(3 * entries);
  for (double& v : lo) v = u(rng);
  const RTree t(3, lo, lo);
  Ints counts;
  for (int m = entries; m > 1; m = (m + NODE_SIZE - 1) / NODE_SIZE) {
    for (int i = 0; i < m; i += NODE_SIZE) counts.push_back(std::min(NODE_SIZE, m - i));
  }
  ASSERT_EQ(t.count, counts);
  EXPECT_EQ(t.root, static_cast<int64_t>(counts.size()) - 1);
  EXPECT_EQ(std::count(t.leaf.begin(), t.leaf.end(), 1), (entries + 5) / 6);
  EXPECT_TRUE(std::is_sorted(t.leaf.rbegin(), t.leaf.rend()));  // leaves first
  for (int32_t n = 0, next_first = 0; n <= t.root; next_first += t.count[n++]) {
    ASSERT_EQ(t.first[n], next_first);
    for (const int32_t c : kids_of(t, n)) ASSERT_TRUE(t.leaf[n] || c < n);
  }
}

TEST(RTree, WithinAcceptsExactlyTheMargin) {
  const std::vector<double> p{0, 0, 0, 1, 1, 1};
  const RTree t(3, p, p);
  const double at = std::sqrt(MARGIN), above = std::nextafter(at, 1.0);
  ASSERT_EQ(at * at, MARGIN);
  EXPECT_TRUE(t.any_within3(at, 0, 0) && t.any_within3(0, -at, 0) && t.any_within3(0, 0, at));
  EXPECT_FALSE(t.any_within3(above, 0, 0) || t.any_within3(0, 0, -above));
}

}  // namespace
}  // namespace Gantrix
