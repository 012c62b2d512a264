// Answers decided for whole cells at build time: the grid's lookup, and answers equal to the
// procedure's on a small world built to hold every kind of edge a decision can get wrong
// and on the compiled-in data.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "bench/workload.h"
#include "builder/decided_cells_builder.h"
#include "builder/state_builder.h"
#include "query/point_in_country.h"
#include "query/serving_airport.h"
#include "tests/support/identity.h"
#include "tests/support/test_support.h"

namespace Gantrix {
namespace {

// A point takes the finest cell holding it, edges to the cell east and north of them;
// latitude 90 stays in the top row, and what is off the map (longitude 180 unwritten as
// -180, NaN) or in an empty grid is undecided.
TEST(DecidedGrid, FindsTheFinestCellHoldingAPoint) {
  DecidedGrid g;
  EXPECT_EQ(g.at({0.0, 0.0}), DecidedGrid::UNDECIDED);
  std::vector<uint32_t> top(DecidedGrid::W * DecidedGrid::H, 7);
  const auto cell = [](int lat, int lng) {
    return static_cast<size_t>((lat + 90) * DecidedGrid::W + (lng + 180));
  };
  top[cell(10, 20)] = DecidedGrid::BLOCK;        // 10..11 N, 20..21 E, cut twice
  top[cell(89, -180)] = DecidedGrid::BLOCK + 1;  // the top row's first cell, cut once
  std::vector<DecidedGrid::Block> blocks(3, {3, {}});
  for (size_t b = 0; b < 3; ++b) {
    for (int k = 0; k < DecidedGrid::CHILDREN; ++k) {
      blocks[b].child[k] = static_cast<uint16_t>(100 * (b + 1) + static_cast<size_t>(k));
    }
  }
  blocks[0].first = 2;
  blocks[0].child[5] = DecidedGrid::CHILD_BLOCK;  // row 1, column 1: block 2
  blocks[0].child[6] = DecidedGrid::CHILD_UNDECIDED;
  g.top = std::move(top);
  g.blocks = std::move(blocks);
  const struct {
    double lat, lng;
    uint32_t want;
  } cases[] = {
      {0.0, 0.0, 7},
      {10.0, 20.0, 100},              // the block's first child
      {10.25, 20.0, 104},             // row 1 begins on the line
      {10.2499999, 20.2499999, 100},  // still row 0, column 0
      {10.25, 20.25, 300},            // cut again: its first child
      {10.4999, 20.4999, 315},        // and its last
      {10.25, 20.5, DecidedGrid::UNDECIDED},
      {90.0, -180.0, 212},  // latitude 90: the top row, its top children
      {90.0, -179.5, 214},
      {89.0, -180.0, 200},
      {0.0, 180.0, DecidedGrid::UNDECIDED},
      {0.0, std::nan(""), DecidedGrid::UNDECIDED},
      {90.5, 0.0, DecidedGrid::UNDECIDED},
  };
  for (const auto& c : cases) EXPECT_EQ(g.at({c.lat, c.lng}), c.want) << c.lat << ", " << c.lng;
}

// A small world with what a wrong decision would trip on: a shared border, a lake hole, an outline
// drawn over another's (II inside AA), an island of a country without airports that borrows a
// neighbour's, a country with no airport within reach, the fixed "kr" box inside another country,
// two airports of one country with their bisector on a meridian, open sea answered by the nearest
// airport within 1,000 km (its edge runs through the sea east of EE), and islands on the
// antimeridian and by the pole, which probes reach across them.
std::string world_airports() {
  return test::airports_text({{"AAA", "A1", "", "AA", 5, 2},
                              {"AAB", "A2", "", "AA", 5, 8},
                              {"BBB", "B1", "", "BB", 5, 12},
                              {"DDD", "D1", "", "DD", 37, 132},
                              {"EEE", "E1", "", "EE", -40, -100},
                              {"EEF", "E2", "", "EE", -40, -94}});
}
std::string world_countries() {
  return test::countries_text(
      {{"AA", "A", "0 0,10 0,10 10,0 10 | 4 4,6 4,6 6,4 6"},
       {"BB", "B", "10 0,14 0,14 10,10 10"},
       {"II", "I", "2 2,3 2,3 3,2 3"},
       {"CC", "C", "20 5,20.5 5,20.5 5.5,20 5.5"},
       {"DD", "D", "131 36,133 36,133 38,131 38"},
       {"FF", "F", "60 -70,70 -70,70 -65,60 -65"},
       {"GG", "G", "179.6 -17,180 -17,180 -16,179.6 -16 | -180 -17,-179.8 -17,-179.8 -16,-180 -16"},
       {"HH", "H", "0 88.5,30 88.5,30 89,0 89"}});
}

TEST(DecidedCells, SmallWorldAnswersAsTheProcedure) {
  DecideLimits limits;
  limits.depth = 3;
  limits.image_bytes = std::numeric_limits<size_t>::max();
  const State s = build_state(world_airports(), world_countries(), limits);

  // Whole answers inside a country and in open sea; never across a tie (on the bisector of
  // A1 and A2 the airport stays open).
  const auto whole = [&](LatLng p) {
    const DecidedCells::Answer* a = s.decided.at(p);
    return a != nullptr && a->code != DecidedCells::OPEN_FROM &&
           (a->code == DecidedCells::NO_COUNTRY || a->detail != DecidedCells::AIRPORT_OPEN);
  };
  for (const LatLng p : {LatLng{1, 1}, LatLng{2, 12}, LatLng{-40, -99}, LatLng{-20, 150}}) {
    EXPECT_TRUE(whole(p)) << p.lat << ", " << p.lng;
  }
  for (const double lat : {1.0, 3.0, 5.0, 9.0}) EXPECT_FALSE(whole({lat, 5.0})) << lat;

  // Around every feature and on every line where an answer changes: the border (x 10), the
  // bisector (x 5), the lake's and the island's edges, the special box's, 1,000 km east of
  // E2 (about 11.74 degrees of longitude at 40 S), the poles and the antimeridian.
  bench::Rng r{0xD0C1DED};
  std::vector<LatLng> points = test::identity_points(s, 40000, 0x5EED);
  const LatLng centres[] = {{5, 5},          {5, 10},     {2.5, 2.5},   {5, 20.25},
                            {37.24, 131.86}, {-67, 65},   {-40, -82.3}, {-16.5, 180},
                            {-16.5, -178.5}, {89.5, 195}, {88.5, 15}};
  for (const LatLng c : centres) {
    for (int k = 0; k < 4000; ++k) {
      const double by = k % 2 == 0 ? 3.0 : 0.02;
      const double lng = c.lng + r.range(-by, by);
      points.push_back(
          {std::clamp(c.lat + r.range(-by, by), -90.0, 90.0), lng >= 180.0 ? lng - 360.0 : lng});
    }
  }
  for (int k = 0; k < 4000; ++k) {
    const double lat = r.range(-1.0, 11.0);
    for (const double x : {0.0, 4.0, 5.0, 6.0, 10.0, 14.0, 20.0, 20.5, 131.85, 131.87}) {
      points.push_back({lat, k % 3 == 0 ? x : std::nextafter(x, k % 3 == 1 ? 200.0 : -200.0)});
    }
  }
  std::vector<std::string> described;
  EXPECT_EQ(test::identity_mismatches(s, points, false, described), 0u);
  for (const std::string& d : described) ADD_FAILURE() << d;
}

// The compiled-in data, through the exported functions: a sample here, a million points in
// the identity run (tests/identity).
TEST(DecidedCells, CompiledInDataAnswersAsTheProcedure) {
  const State& s = state();
  EXPECT_GT(decided_share(s.decided).country, 0.5);  // cells were decided at all
  std::vector<std::string> described;
  EXPECT_EQ(test::identity_mismatches(s, test::identity_points(s, 20000, 0xC0DE), true, described),
            0u);
  for (const std::string& d : described) ADD_FAILURE() << d;
}

}  // namespace
}  // namespace Gantrix
