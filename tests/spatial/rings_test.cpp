#include "spatial/rings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "builder/rings_builder.h"
#include "tests/support/oracles.h"
#include "tests/support/test_support.h"

namespace Gantrix {
namespace {

using Edges = std::vector<int32_t>;
using Ints = std::vector<int64_t>;

// The edge numbers filed under band b of ring r.
Edges band(const Rings& rings, int64_t r, int64_t b) {
  const int64_t g = rings.band0[r] + b;
  return {rings.edges.begin() + rings.bstart[g], rings.edges.begin() + rings.bstart[g + 1]};
}

// A ring gets one band per eight points; flat rings keep everything in band 0.
TEST(Rings, BandLayout) {
  Rings rings;
  test::add_rings(rings, "5 5,6 5,5 6 | 0 0,1 0,1 1,0 1,0 0");
  EXPECT_EQ(std::vector<double>({rings.min_lng[1], rings.min_lat[1], rings.max_lng[1],
                                 rings.max_lat[1], rings.band_height[1]}),
            std::vector<double>({0, 0, 1, 1, 1}));
  EXPECT_EQ(Ints({rings.first[1], rings.n[1], rings.bands[1], rings.band0[1]}), Ints({3, 5, 1, 2}));
  EXPECT_EQ(rings.bstart, (Ints{0, 3, 3, 8}));
  EXPECT_EQ(band(rings, 1, 0), (Edges{0, 1, 2, 3, 4}));

  test::add_rings(rings, "0 0,1 1,2 2,3 3,4 4,5 5,6 6 | 0 0,1 1,2 2,3 3,4 4,5 5,6 6,7 7,8 8,9 9");
  // Latitudes climb 0..8 and come back down: band 0 is y < 4, band 1 is 4 <= y <= 8.
  test::add_rings(rings, "0 0,1 1,2 2,3 3,4 4,5 5,6 6,7 7,8 8,9 8,10 7,11 6,12 5,13 4,14 3,15 2");
  test::add_rings(rings, "0 3,1 3,2 3,3 3,4 3,5 3,6 3,7 3,8 3,9 3,10 3,11 3,12 3,13 3,14 3,15 3");
  EXPECT_EQ(rings.bands, (Ints{1, 1, 1, 1, 2, 2}));
  EXPECT_EQ(band(rings, 3, 0).size(), 10u);
  EXPECT_EQ(rings.band_height[4], 4.0);
  EXPECT_EQ(band(rings, 4, 0), (Edges{0, 1, 2, 3, 4, 14, 15}));
  EXPECT_EQ(band(rings, 4, 1), (Edges{4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
  // The top latitude falls in the last band.
  EXPECT_EQ(Ints({rings.band_of(4, 3.999), rings.band_of(4, 4), rings.band_of(4, 8)}),
            Ints({0, 1, 1}));
  EXPECT_EQ(rings.band_height[5], 0.0);
  EXPECT_EQ(band(rings, 5, 0).size(), 16u);
  EXPECT_TRUE(band(rings, 5, 1).empty());
  EXPECT_EQ(rings.band_of(5, 3.0), 0);
}

// Point-in-ring parity is silently wrong if an edge reaching a latitude is missing from that
// latitude's band, or listed twice.
TEST(Rings, BandOfAnyLatitudeListsEveryEdgeReachingIt) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> coord(-60.0, 60.0);
  Rings rings;
  for (int r = 0; r < 40; ++r) {
    std::vector<double> xs, ys;
    const int cnt = 3 + static_cast<int>(rng() % 200);
    for (int j = 0; j < cnt; ++j) {
      xs.push_back(coord(rng));
      ys.push_back(j % 5 == 0 ? std::round(coord(rng)) : coord(rng));
    }
    add_ring(rings, xs, ys);
    for (int q = 0; q < 50; ++q) {
      const double y = q % 5 == 0 ? ys[rng() % cnt] : coord(rng);
      const Edges listed = band(rings, r, rings.band_of(r, y));
      ASSERT_TRUE(std::adjacent_find(listed.begin(), listed.end(), std::greater_equal<>()) ==
                  listed.end());
      for (int i = 0; i < cnt; ++i) {
        const double a = ys[i == 0 ? cnt - 1 : i - 1], b = ys[i];
        if (std::min(a, b) <= y && y <= std::max(a, b)) {
          ASSERT_TRUE(std::binary_search(listed.begin(), listed.end(), i)) << r << " " << i;
        }
      }
    }
  }
}

// The banded ring test against a plain crossing number over every edge, on rings with
// repeated latitudes, self-crossings and points on vertices and edges, where parity rules and
// a missing or doubled band entry would show.
TEST(Rings, ContainsAgreesWithAPlainCrossingNumber) {
  std::mt19937_64 rng(20261207);
  std::uniform_int_distribution<int> grid(-20, 20);
  std::uniform_real_distribution<double> coord(-20.0, 20.0);
  Rings rings;
  size_t inside = 0, checked = 0;
  for (int r = 0; r < 300; ++r) {
    std::vector<double> xs, ys;
    const int cnt = 3 + static_cast<int>(rng() % 60);
    for (int j = 0; j < cnt; ++j) {
      // Whole degrees often, so latitudes repeat and queries meet vertices exactly.
      const bool snap = rng() % 2 == 0;
      xs.push_back(snap ? grid(rng) : coord(rng));
      ys.push_back(snap ? grid(rng) : coord(rng));
    }
    add_ring(rings, xs, ys);
    for (int q = 0; q < 200; ++q) {
      double x = coord(rng), y = coord(rng);
      const int v = static_cast<int>(rng() % static_cast<uint64_t>(cnt));
      switch (q % 4) {
        case 0:  // a vertex
          x = xs[v], y = ys[v];
          break;
        case 1: {  // on an edge
          const int w = v == 0 ? cnt - 1 : v - 1;
          x = (xs[v] + xs[w]) / 2, y = (ys[v] + ys[w]) / 2;
          break;
        }
        case 2:  // whole degrees
          x = grid(rng), y = grid(rng);
          break;
        default:
          break;
      }
      SCOPED_TRACE(testing::Message() << "ring " << r << " at " << x << "," << y);
      const bool want = test::crossing_number(rings, r, x, y);
      ASSERT_EQ(rings.contains(r, {y, x}), want);
      inside += want ? 1 : 0;
      ++checked;
    }
  }
  EXPECT_GT(inside, checked / 10);  // the rings hold a fair share of the points
}

}  // namespace
}  // namespace Gantrix
