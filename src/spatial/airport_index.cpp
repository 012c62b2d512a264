#include "spatial/airport_index.h"

#include <algorithm>
#include <cmath>

namespace Gantrix {
namespace {

// Per-thread search scratch: kept between searches so a warm search does not allocate.
struct Scratch {
  std::vector<Hit> found;  // the search's result, its first `kept` in order
  std::vector<double> kth;
  struct Candidate {
    double chord;
    int32_t entry;
  };
  std::vector<Candidate> cand;
};

// Up to this many nearest, the k smallest chords are kept in a sorted array on the stack.
constexpr uint64_t kSmallK = 16;

Scratch& scratch() {
  thread_local Scratch s;
  return s;
}

// Returns cos(lat * DEG), which the distance needs too.
double unit_vector(double lat, double lng, double* out) {
  const double phi = lat * DEG;
  const double lambda = lng * DEG;
  const double c = std::cos(phi);
  out[0] = c * std::cos(lambda);
  out[1] = c * std::sin(lambda);
  out[2] = std::sin(phi);
  return c;
}

}  // namespace

double sqrt_or_nan(double v) {
  if (v < 0.0) return std::nan("");
  if (v == 0.0) return 0.0;
  return std::sqrt(v);
}

double haversine(double lat1, double lng1, double lat2, double lng2) {
  return haversine_cos(lat1, lng1, std::cos(lat1 * DEG), lat2, lng2, std::cos(lat2 * DEG));
}

double haversine_cos(double lat1, double lng1, double cos1, double lat2, double lng2, double cos2) {
  const double dphi = (lat2 - lat1) * DEG;
  const double dlambda = (lng2 - lng1) * DEG;
  const double s = std::sin(dphi * 0.5);
  const double t = std::sin(dlambda * 0.5);
  double a = t * t * (cos2 * cos1) + s * s;
  if (a > 1.0) a = 1.0;  // exact antipodes can round past 1
  const double c = std::atan2(sqrt_or_nan(a), sqrt_or_nan(1.0 - a));
  return (c + c) * EARTH_RADIUS_KM;
}

double chord2_bound(double km) {
  const double h = km / (EARTH_RADIUS_KM + EARTH_RADIUS_KM);
  if (h < HALF_PI) {
    const double s = std::sin(h);
    return s * s * 4.0 + MARGIN;
  }
  return INF;
}

AirportIndex::AirportIndex(std::span<const double> lat_column, std::span<const double> lng_column,
                           std::vector<int32_t> covered)
    : ids(std::move(covered)) {
  coords.resize(ids.size() * 3);
  places.resize(ids.size());
  for (size_t j = 0; j < ids.size(); ++j) {
    const double lat = lat_column[ids[j]], lng = lng_column[ids[j]];
    places[j] = {lat, lng, unit_vector(lat, lng, &coords[j * 3])};
  }
  tree = KdTree(coords);
  tighten = distances_track_chords();
}

AirportIndex::AirportIndex(const AirportIndex& table, std::vector<int32_t> covered)
    : ids(std::move(covered)) {
  coords.resize(ids.size() * 3);
  places.resize(ids.size());
  for (size_t j = 0; j < ids.size(); ++j) {
    const auto id = static_cast<size_t>(ids[j]);
    std::copy_n(&table.coords[id * 3], 3, &coords[j * 3]);
    places[j] = table.places[id];
  }
  tree = KdTree(coords);
  tighten = distances_track_chords();
}

bool AirportIndex::distances_track_chords() const {
  // With every latitude within [-90, 90], cos(latitude) >= 0 and the (clamped) distance is
  // never NaN: it then grows with the chord, and the bound may follow the k-th chord.
  return std::all_of(places.begin(), places.end(), [](const Place& p) {
    return std::fabs(p.lat) <= 90.0 && std::isfinite(p.lng);
  });
}

size_t AirportIndex::search(double lat, double lng, int64_t k, std::optional<double> max_km,
                            bool id_only) const {
  Scratch& s = scratch();
  s.found.clear();
  s.kth.clear();
  s.cand.clear();
  if (k <= 0 || tree.points.empty()) return 0;

  double q[3];
  const double cos_lat = unit_vector(lat, lng, q);
  double bound = max_km ? chord2_bound(*max_km) : INF;

  // Candidates are kept by squared chord, and the bound follows the k-th smallest chord met
  // so far, padded by MARGIN: the chord grows with great-circle distance (never NaN for real
  // latitudes, antipodes included, as the haversine term is clamped), and the margin
  // covers the rounding between the two, so no entry beyond the bound can be among the k
  // nearest (nor within max_km when those k are not). Distances are computed at the end, for
  // the candidates within the final bound only. The result does not depend on the order
  // entries are met in.
  const auto wanted = static_cast<uint64_t>(k);
  // Every entry within the bound as it stands becomes a candidate; `seen` may then lower it.
  const auto collect = [&](auto&& seen) {
    const KdTree::Point* pts = tree.points.data();
    tree.walk(q, bound, [&](int32_t begin, int32_t end) {
      for (int32_t j = begin; j < end; ++j) {
        const KdTree::Point& p = pts[j];
        const double dx = p.x - q[0], dy = p.y - q[1], dz = p.z - q[2];
        const double d = (dx * dx + dy * dy) + dz * dz;
        if (d > bound) continue;
        s.cand.push_back({d, p.entry});
        seen(d);
      }
    });
  };
  if (!tighten) {
    // Airports given impossible latitudes could have NaN distances, which sort last whatever
    // their chord: then every airport within max_km is a candidate.
    collect([](double) {});
  } else if (wanted == 1) {
    collect([&](double d) {
      if (d + MARGIN < bound) bound = d + MARGIN;
    });
  } else if (wanted <= kSmallK) {
    // The k smallest chords so far, ascending, in a small array.
    double kth[kSmallK];
    size_t have = 0;
    collect([&](double d) {
      if (have == wanted && !(d < kth[have - 1])) return;
      size_t at = have < wanted ? have++ : have - 1;
      for (; at > 0 && kth[at - 1] > d; --at) kth[at] = kth[at - 1];
      kth[at] = d;
      if (have == wanted && kth[have - 1] + MARGIN < bound) bound = kth[have - 1] + MARGIN;
    });
  } else {
    // The k smallest chords so far, largest on top.
    collect([&](double d) {
      if (s.kth.size() < wanted) {
        s.kth.push_back(d);
        std::push_heap(s.kth.begin(), s.kth.end());
      } else if (d < s.kth.front()) {
        std::pop_heap(s.kth.begin(), s.kth.end());
        s.kth.back() = d;
        std::push_heap(s.kth.begin(), s.kth.end());
      } else {
        return;
      }
      if (s.kth.size() == wanted && s.kth.front() + MARGIN < bound) {
        bound = s.kth.front() + MARGIN;
      }
    });
  }

  // Without a finite distance limit a lone candidate is the answer whatever its distance
  // (which is never NaN), so a caller that wants only the id does not pay for it.
  if (id_only && (!max_km || *max_km == INF)) {
    int32_t lone = -1;
    int within = 0;
    for (const auto& [chord, p] : s.cand) {
      if (chord > bound) continue;
      lone = p;
      if (++within > 1) break;
    }
    if (within == 1) {
      s.found.push_back({0.0, ids[static_cast<size_t>(lone)]});
      return 1;
    }
  }

  for (const auto& [chord, p] : s.cand) {
    if (chord > bound) continue;
    const Place& at = places[static_cast<size_t>(p)];
    const double dist = haversine_cos(lat, lng, cos_lat, at.lat, at.lng, at.coslat);
    const int32_t id = ids[static_cast<size_t>(p)];
    if (max_km && !(dist <= *max_km)) continue;
    s.found.push_back({dist, id});
  }

  // More candidates than k may have arrived while within the bound: order all, keep k.
  // Ascending distance, ties by id, NaN last.
  const auto before = [](const Hit& a, const Hit& b) {
    const bool na = std::isnan(a.d), nb = std::isnan(b.d);
    if (na || nb) return na == nb ? a.id < b.id : nb;
    if (a.d != b.d) return a.d < b.d;
    return a.id < b.id;
  };
  const size_t found = s.found.size();
  const size_t keep = std::min<uint64_t>(wanted, found);
  if (found <= kSmallK) {
    // A few candidates, usually k or one more: insertion sort beats the general sort.
    for (size_t j = 1; j < found; ++j) {
      const Hit f = s.found[j];
      size_t at = j;
      for (; at > 0 && before(f, s.found[at - 1]); --at) s.found[at] = s.found[at - 1];
      s.found[at] = f;
    }
  } else {
    std::partial_sort(s.found.begin(), s.found.begin() + static_cast<ptrdiff_t>(keep),
                      s.found.end(), before);
  }
  return keep;
}

std::span<const Hit> AirportIndex::nearest_view(LatLng p, int64_t k,
                                                std::optional<double> max_km) const {
  const size_t kept = search(p.lat, p.lng, k, max_km, false);
  return {scratch().found.data(), kept};
}

int64_t AirportIndex::nearest_one(LatLng p, std::optional<double> max_km) const {
  if (search(p.lat, p.lng, 1, max_km, true) == 0) return -1;
  return scratch().found[0].id;
}

}  // namespace Gantrix
