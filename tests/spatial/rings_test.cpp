#include "spatial/rings.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "builder/rings_builder.h"
#include "tests/support/oracles.h"
#include "tests/support/test_support.h"

namespace Gantrix {
namespace {

// Boundary points on south and west sides are inside; a ray through a vertex toggles once
// per edge whose other end lies north. Each ring sits behind another one in the store.
TEST(Rings, ContainsAppliesTheEvenOddRuleOnEdgesAndVertices) {
  const char* square = "0 0,1 0,1 1,0 1,0 0";
  const char* notch = "0 0,6 0,6 4,3 1,0 4";  // vertex (3,1) with both edges going north
  const char* peak = "0 0,3 3,6 0,6 4,0 4";   // vertex (3,3) with both edges going south
  const char* pass = "0 0,4 0,4 2,6 4,0 4";   // vertex (4,2) the outline passes through
  const std::tuple<const char*, double, double, bool> cases[] = {
      {square, 0, 0.5, true},  {square, 0.5, 0, true},   {square, 1, 0.5, false},
      {square, 0.5, 1, false}, {square, 0.5, 0.5, true}, {square, -0.5, 0.5, false},
      {notch, 1, 1, true},     {notch, 4, 1, true},      {notch, 3, 2, false},
      {peak, 1, 3, true},      {peak, 5, 3, true},       {peak, 3, 2, false},
      {pass, 1, 2, true},      {pass, 5, 2, false}};
  for (const auto& [ring, x, y, inside] : cases) {
    Rings rings;
    test::add_rings(rings, std::string("-9 -9,-8 -9,-8 -8,-9 -8,-9 -9 | ") + ring);
    EXPECT_EQ(rings.contains(1, {y, x}), inside) << ring << " at " << x << "," << y;
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
      const int w = v == 0 ? cnt - 1 : v - 1;
      if (q % 4 == 0) x = xs[v], y = ys[v];                              // a vertex
      if (q % 4 == 1) x = (xs[v] + xs[w]) / 2, y = (ys[v] + ys[w]) / 2;  // on an edge
      if (q % 4 == 2) x = grid(rng), y = grid(rng);                      // whole degrees
      const bool want = test::crossing_number(rings, r, x, y);
      ASSERT_EQ(rings.contains(r, {y, x}), want) << "ring " << r << " at " << x << "," << y;
      inside += want ? 1 : 0;
      ++checked;
    }
  }
  EXPECT_GT(inside, checked / 10);  // the rings hold a fair share of the points
}

}  // namespace
}  // namespace Gantrix
