// Seeded workloads shared by the benchmarks: our own generator, so every run and every machine
// queries the same points.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "state/state.h"

namespace bench {

struct Rng {  // SplitMix64: std distributions differ between standard libraries
  uint64_t s;
  uint64_t next() {
    uint64_t z = (s += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  double range(double lo, double hi) {
    return lo + (hi - lo) * (static_cast<double>(next() >> 11) * 0x1.0p-53);
  }
  size_t below(size_t n) { return static_cast<size_t>(next() % n); }
  // Uniform on the sphere, not on the lat/lng rectangle.
  void sphere(double& lat, double& lng) {
    lat = std::asin(range(-1.0, 1.0)) * 57.29577951308232;
    lng = range(-180.0, 180.0);
  }
};

struct Point {
  double lat, lng;
};
struct Table {
  std::vector<double> lat, lng;
};

inline Point near(double lat, double lng, double dlat, double dlng) {
  lat = std::fmax(-90.0, std::fmin(90.0, lat + dlat));
  lng += dlng;
  return {lat, lng >= 180.0 ? lng - 360.0 : (lng < -180.0 ? lng + 360.0 : lng)};
}

// Even positions within 1 degree of a random centre, odd positions anywhere, so every prefix
// has the same mix.
inline std::vector<Point> mixed_points(std::span<const double> lats, std::span<const double> lngs,
                                       size_t n, uint64_t seed) {
  Rng r{seed};
  std::vector<Point> out(n);
  for (size_t j = 0; j < n; ++j) {
    const size_t c = r.below(lats.size());
    if (j % 2 == 0)
      out[j] = near(lats[c], lngs[c], r.range(-1, 1), r.range(-1, 1));
    else
      r.sphere(out[j].lat, out[j].lng);
  }
  return out;
}

// The host workload: 100,000 points, half near real airports, half anywhere.
inline const std::vector<Point>& workload() {
  static const auto points =
      mixed_points(Gantrix::state().airports.lat, Gantrix::state().airports.lng, 100000, 0x6A7217);
  return points;
}

// 8,500 airport-like points: 300 clusters on land-ish latitudes, each spread over a few km to a
// few hundred km (log-uniform), and one point in ten anywhere.
inline const Table& synthetic_airports() {
  static const Table table = [] {
    Rng r{0xA1B9047};
    Table t;
    std::vector<double> clat(300), clng(300), spread(300);
    for (size_t c = 0; c < 300; ++c) {
      clat[c] = r.range(-45.0, 65.0);
      clng[c] = r.range(-180.0, 180.0);
      spread[c] = 5.0 * std::exp(r.range(0.0, std::log(60.0))) / 111.2;  // degrees
    }
    for (size_t j = 0; j < 8500; ++j) {
      Point p;
      const size_t c = r.below(300);
      const double stretch = 1.0 / std::cos(clat[c] * 0.017453292519943295);
      const double dlat = r.range(-1, 1) * spread[c], dlng = r.range(-1, 1) * spread[c] * stretch;
      if (j % 10 == 9)
        r.sphere(p.lat, p.lng);
      else
        p = near(clat[c], clng[c], dlat, dlng);
      t.lat.push_back(p.lat);
      t.lng.push_back(p.lng);
    }
    return t;
  }();
  return table;
}

// A failed known-answer check ends the run: figures from wrong answers are worthless.
inline void require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "known-answer check failed: %s\n", what);
    std::exit(2);
  }
}

}  // namespace bench
