#include "spatial/airport_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/oracles.h"

namespace Gantrix {
namespace {

using test::Hits;
using test::nearest;

constexpr double kHalfCircumference = std::numbers::pi * EARTH_RADIUS_KM;

TEST(Haversine, AntipodesAreFiniteAndNearPointsNearlyZero) {
  // The first two pairs round the haversine term just past 1.
  for (const auto& [lat, lng] :
       {std::pair{-50.06, -97.27}, {-1.83, -174.68}, {0.0, 0.0}, {90.0, 0.0}, {45.0, -180.0}}) {
    SCOPED_TRACE(testing::Message() << lat << "," << lng);
    EXPECT_NEAR(haversine(lat, lng, -lat, lng + 180.0), kHalfCircumference, 2e-5);
    EXPECT_NEAR(haversine(-lat, lng + 180.0, lat, lng), kHalfCircumference, 2e-5);
  }
  EXPECT_EQ(haversine(51.47, -0.45, 51.47, -0.45), 0.0);
  EXPECT_NEAR(haversine(0, 179.9, 0, -179.9), 22.239, 1e-3);
  EXPECT_NEAR(haversine(90, 12, 90, -150), 0.0, 1e-9);  // the pole has every longitude
}

// Past half the circumference no chord bound can prune.
TEST(Chord2Bound, HalfCircumferenceAndBeyondDisablePruning) {
  EXPECT_EQ(chord2_bound(0.0), MARGIN);
  EXPECT_LT(chord2_bound(20015.0), 4.0 + MARGIN);
  for (const double km : {20015.1, 20100.0, 40000.0, INF, std::nan("")}) {
    EXPECT_EQ(chord2_bound(km), INF) << km;
  }
}

// The index against a brute-force scan, written independently of the tree walk (and of
// its heap and pruning bound): every covered airport by distance then id.
TEST(AirportIndex, NearestAgreesWithBruteForce) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> unit(0, 1);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint64_t>(n)); };
  auto random_point = [&]() -> std::pair<double, double> {
    const double lng = unit(rng) * 360 - 180;
    switch (pick(6)) {
      case 0:
        return {pick(2) ? 90.0 : -90.0, lng};
      case 1:
        return {unit(rng) * 180 - 90, (pick(2) ? 1 : -1) * (180 - unit(rng) * 0.01)};
      case 2:
        return {unit(rng) * 6 - 3, unit(rng) * 6 - 3};  // dense cluster
      default:
        return {unit(rng) * 180 - 90, lng};
    }
  };
  for (int c = 0; c < 3000; ++c) {
    const int n = pick(4) == 0 ? pick(400) : pick(25);
    std::vector<double> lats(n), lngs(n);
    std::vector<int32_t> ids(n);
    for (int j = 0; j < n; ++j) {
      const int src = pick(j + 1);  // now and then repeat an earlier point
      std::tie(lats[j], lngs[j]) =
          src < j && pick(3) == 0 ? std::pair{lats[src], lngs[src]} : random_point();
      ids[j] = j;
    }
    std::shuffle(ids.begin(), ids.end(), rng);
    ids.resize(n == 0 ? 0 : n - pick(n / 2 + 1));  // a subset in random order
    const AirportIndex index(lats, lngs, ids);

    for (int q = 0; q < 4; ++q) {
      auto [lat, lng] = random_point();
      if (n > 0 && pick(2) == 0) {  // at, near or opposite an airport
        const int a = pick(n);
        const double jitter = pick(2) ? 0.0 : (unit(rng) - 0.5) * 1e-6;
        lat = std::clamp(lats[a] + jitter, -90.0, 90.0), lng = lngs[a] + jitter;
        if (pick(3) != 0) lat = -lat, lng += lng > 0 ? -180.0 : 180.0;
      }
      const int64_t ks[] = {pick(n + 3) - 1, INT64_MAX, 1};
      const int64_t k = ks[pick(3)];
      std::optional<double> max_km;
      const double limits[] = {0.0, -5.0, 20015.0, 20015.1, INF, NAN, unit(rng) * 20100};
      if (pick(3) != 0) max_km = limits[pick(7)];
      if (n > 0 && pick(5) == 0) max_km = haversine(lat, lng, lats[ids[0]], lngs[ids[0]]);

      SCOPED_TRACE(testing::Message() << "case " << c << " query " << lat << "," << lng << " k "
                                      << k << " max " << max_km.value_or(-1));
      std::vector<std::pair<double, int64_t>> all;
      for (const int32_t id : ids) {
        const double d = haversine(lat, lng, lats[id], lngs[id]);
        if (!max_km || d <= *max_km) all.emplace_back(d, id);
      }
      std::sort(all.begin(), all.end());
      Hits want;
      for (size_t j = 0; j < all.size() && static_cast<int64_t>(j) < k; ++j) {
        want.d.push_back(all[j].first), want.i.push_back(all[j].second);
      }
      const Hits got = nearest(index, {lat, lng}, k, max_km);
      ASSERT_EQ(got.i, want.i);
      ASSERT_EQ(got.d, want.d);
      ASSERT_EQ(index.nearest_one({lat, lng}, max_km), all.empty() ? -1 : all[0].second);
    }
  }
}

// The opposite airport must come out last with a finite distance, not be dropped or NaN.
TEST(AirportIndex, AirportAtTheAntipodeSortsLast) {
  const double lat = -50.06, lng = -97.27;  // rounds the haversine term past 1
  const std::vector<double> lats{-lat, 10, -lat, -20}, lngs{lng + 180.0, 10, lng + 180.0, -90};
  const AirportIndex index(lats, lngs, {3, 2, 1, 0});
  const Hits h = nearest(index, {lat, lng}, INT64_MAX, std::nullopt);
  ASSERT_EQ(h.i, (std::vector<int64_t>{3, 1, 0, 2}));
  EXPECT_NEAR(h.d[3], kHalfCircumference, 1e-6);
  EXPECT_EQ(h.d[2], h.d[3]);
}

// A hand-made table may hold latitudes past the poles, whose distances no longer follow
// the chord (and can round to NaN): the search must still give the k nearest, NaN last.
TEST(AirportIndex, LatitudesPastThePolesStillGiveTheNearest) {
  const std::vector<double> lats{135.0, 10.0, -120.0, 20.0, 100.0, -60.0};
  const std::vector<double> lngs{0.0, 170.0, 45.0, -20.0, 180.0, 90.0};
  const AirportIndex index(lats, lngs, {0, 1, 2, 3, 4, 5});
  const auto before = [](const std::pair<double, int64_t>& a, const std::pair<double, int64_t>& b) {
    if (std::isnan(a.first) || std::isnan(b.first)) {
      return std::isnan(a.first) == std::isnan(b.first) ? a.second < b.second
                                                        : !std::isnan(a.first);
    }
    return a < b;
  };
  for (const auto& [lat, lng] :
       {std::pair{45.0, 180.0}, {0.0, 0.0}, {-80.0, 30.0}, {60.0, -100.0}}) {
    std::vector<std::pair<double, int64_t>> all;
    for (int64_t id = 0; id < 6; ++id)
      all.emplace_back(haversine(lat, lng, lats[id], lngs[id]), id);
    std::sort(all.begin(), all.end(), before);
    for (int64_t k = 1; k <= 6; ++k) {
      const Hits h = nearest(index, {lat, lng}, k, std::nullopt);
      ASSERT_EQ(h.i.size(), static_cast<size_t>(k));
      for (int64_t j = 0; j < k; ++j)
        EXPECT_EQ(h.i[j], all[j].second) << lat << "," << lng << " k " << k;
    }
  }
}

// Airports crowding towards one spot at ever smaller scales (each half as far as the last)
// would make halving cuts peel off one airport per level; the tree must stay searchable.
TEST(AirportIndex, AirportsCrowdingAtEverSmallerScales) {
  std::vector<double> lats, lngs;
  std::vector<int32_t> ids;
  for (int j = 0; j < 2000; ++j) {
    lats.push_back(45.0 + 10.0 * std::ldexp(1.0, -j));
    lngs.push_back(7.0 - std::ldexp(1.0, -j / 2));
    ids.push_back(j);
  }
  const AirportIndex index(lats, lngs, ids);
  for (const auto& [lat, lng] : {std::pair{45.0, 7.0}, {46.0, 6.5}, {55.0, 6.0}, {-45.0, -173.0}}) {
    std::vector<std::pair<double, int64_t>> all;
    for (const int32_t id : ids) all.emplace_back(haversine(lat, lng, lats[id], lngs[id]), id);
    std::sort(all.begin(), all.end());
    const Hits h = nearest(index, {lat, lng}, 3, std::nullopt);
    ASSERT_EQ(h.i.size(), 3u);
    for (size_t j = 0; j < 3; ++j) EXPECT_EQ(h.i[j], all[j].second) << lat << "," << lng;
  }
}

}  // namespace
}  // namespace Gantrix
