#include "spatial/airport_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

#include "tests/support/oracles.h"

namespace Gantrix {
namespace {

using test::Hits;
using test::nearest;

TEST(Haversine, AntipodesAreHalfTheCircumferenceAndThePoleHasEveryLongitude) {
  constexpr double kHalfCircumference = std::numbers::pi * EARTH_RADIUS_KM;
  // The first two pairs round the haversine term just past 1.
  for (const auto& [lat, lng] :
       {std::pair{-50.06, -97.27}, {-1.83, -174.68}, {0.0, 0.0}, {90.0, 0.0}, {45.0, -180.0}}) {
    EXPECT_NEAR(haversine(lat, lng, -lat, lng + 180.0), kHalfCircumference, 2e-5) << lat;
    EXPECT_NEAR(haversine(-lat, lng + 180.0, lat, lng), kHalfCircumference, 2e-5) << lat;
  }
  EXPECT_EQ(haversine(51.47, -0.45, 51.47, -0.45), 0.0);
  EXPECT_NEAR(haversine(0, 179.9, 0, -179.9), 22.239, 1e-3);
  EXPECT_NEAR(haversine(90, 12, 90, -150), 0.0, 1e-9);
}

struct Table {
  std::vector<double> lat, lng;
  std::vector<int32_t> ids;  // the airports an index covers
};

// The k nearest by a scan of every covered airport, by distance then id.
Hits scan(const Table& t, double lat, double lng, int64_t k, std::optional<double> max_km) {
  std::vector<std::pair<double, int64_t>> all;
  for (const int32_t id : t.ids) {
    const double d = haversine(lat, lng, t.lat[id], t.lng[id]);
    if (!max_km || d <= *max_km) all.emplace_back(d, id);
  }
  std::sort(all.begin(), all.end());
  Hits want;
  for (size_t j = 0; j < all.size() && static_cast<int64_t>(j) < k; ++j) {
    want.d.push_back(all[j].first), want.i.push_back(all[j].second);
  }
  return want;
}

// Random tables (clusters, poles, both sides of the antimeridian, repeated points, subsets
// in random order), queried at, near and opposite their airports, with every kind of k and
// distance limit.
TEST(AirportIndex, NearestAgreesWithAScan) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> unit(0, 1);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint64_t>(n)); };
  auto random_point = [&]() -> std::pair<double, double> {
    const double lat = unit(rng) * 180 - 90, lng = unit(rng) * 360 - 180;
    const int kind = pick(6);
    if (kind == 0) return {pick(2) ? 90.0 : -90.0, lng};                         // a pole
    if (kind == 1) return {lat, (pick(2) ? 1 : -1) * (180 - unit(rng) * 0.01)};  // 180
    if (kind == 2) return {unit(rng) * 6 - 3, unit(rng) * 6 - 3};                // a cluster
    return {lat, lng};
  };
  for (int c = 0; c < 3000; ++c) {
    const int n = pick(4) == 0 ? pick(400) : pick(25);
    Table t;
    for (int j = 0; j < n; ++j) {
      const int src = pick(j + 1);  // now and then repeat an earlier point
      const auto [lat, lng] =
          src < j && pick(3) == 0 ? std::pair{t.lat[src], t.lng[src]} : random_point();
      t.lat.push_back(lat), t.lng.push_back(lng), t.ids.push_back(j);
    }
    std::shuffle(t.ids.begin(), t.ids.end(), rng);
    t.ids.resize(n == 0 ? 0 : n - pick(n / 2 + 1));
    const AirportIndex index(t.lat, t.lng, t.ids);
    for (int q = 0; q < 4; ++q) {
      auto [lat, lng] = random_point();
      if (n > 0 && pick(2) == 0) {  // at, near or opposite an airport
        const int a = pick(n);
        const double jitter = pick(2) ? 0.0 : (unit(rng) - 0.5) * 1e-6;
        lat = std::clamp(t.lat[a] + jitter, -90.0, 90.0), lng = t.lng[a] + jitter;
        if (pick(3) != 0) lat = -lat, lng += lng > 0 ? -180.0 : 180.0;
      }
      const int64_t ks[] = {pick(n + 3) - 1, INT64_MAX, 1};
      const int64_t k = ks[pick(3)];
      std::optional<double> max_km;
      const double limits[] = {0.0, -5.0, 20015.0, 20015.1, INFINITY, NAN, unit(rng) * 20100};
      if (pick(3) != 0) max_km = limits[pick(7)];
      if (n > 0 && pick(5) == 0) max_km = haversine(lat, lng, t.lat[t.ids[0]], t.lng[t.ids[0]]);
      SCOPED_TRACE(testing::Message() << "case " << c << " query " << lat << "," << lng << " k "
                                      << k << " max " << max_km.value_or(-1));
      const Hits want = scan(t, lat, lng, k, max_km), got = nearest(index, {lat, lng}, k, max_km);
      ASSERT_EQ(got.i, want.i);
      ASSERT_EQ(got.d, want.d);
      const Hits first = scan(t, lat, lng, 1, max_km);
      ASSERT_EQ(index.nearest_one({lat, lng}, max_km), first.i.empty() ? -1 : first.i[0]);
    }
  }
}

// Airports crowding towards one spot at ever smaller scales (each half as far as the last)
// would make halving cuts peel off one airport per level; the tree must stay searchable.
TEST(AirportIndex, AirportsCrowdingAtEverSmallerScales) {
  Table t;
  for (int j = 0; j < 2000; ++j) {
    t.lat.push_back(45.0 + 10.0 * std::ldexp(1.0, -j));
    t.lng.push_back(7.0 - std::ldexp(1.0, -j / 2));
    t.ids.push_back(j);
  }
  const AirportIndex index(t.lat, t.lng, t.ids);
  for (const auto& [lat, lng] : {std::pair{45.0, 7.0}, {46.0, 6.5}, {55.0, 6.0}, {-45.0, -173.0}}) {
    EXPECT_EQ(nearest(index, {lat, lng}, 3, std::nullopt).i, scan(t, lat, lng, 3, std::nullopt).i);
  }
}

}  // namespace
}  // namespace Gantrix
