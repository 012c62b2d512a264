#include "spatial/airport_index.h"

#include <algorithm>
#include <cmath>

#include "spatial/min_heap.h"

namespace Gantrix {
namespace {

// Per-thread search scratch: kept between searches so a warm search does not allocate.
struct Scratch {
  MinHeap heap;
  std::vector<double> d;
  std::vector<int64_t> i;
  std::vector<uint32_t> order;
};

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

double worst(std::span<const double> distances) {
  double w = distances[0];
  for (const double v : distances) {
    if (std::isnan(v)) return v;
    if (v > w) w = v;
  }
  return w;
}

AirportIndex::AirportIndex(std::span<const double> lat_column, std::span<const double> lng_column,
                           std::vector<int32_t> covered)
    : lats(lat_column), lngs(lng_column), ids(std::move(covered)) {
  coords.resize(ids.size() * 3);
  coslat.resize(ids.size());
  for (size_t j = 0; j < ids.size(); ++j) {
    coslat[j] = unit_vector(lats[ids[j]], lngs[ids[j]], &coords[j * 3]);
  }
  tree = RTree(3, coords, coords);
}

AirportIndex::AirportIndex(const AirportIndex& table, std::vector<int32_t> covered)
    : lats(table.lats), lngs(table.lngs), ids(std::move(covered)) {
  coords.resize(ids.size() * 3);
  coslat.resize(ids.size());
  for (size_t j = 0; j < ids.size(); ++j) {
    const auto id = static_cast<size_t>(ids[j]);
    std::copy_n(&table.coords[id * 3], 3, &coords[j * 3]);
    coslat[j] = table.coslat[id];
  }
  tree = RTree(3, coords, coords);
}

size_t AirportIndex::search(double lat, double lng, int64_t k, std::optional<double> max_km) const {
  Scratch& s = scratch();
  s.d.clear();
  s.i.clear();
  if (k <= 0 || tree.root < 0) return 0;

  double q[3];
  const double cos_lat = unit_vector(lat, lng, q);
  double bound = INF;
  bool antipodal = false;
  if (max_km) {
    bound = chord2_bound(*max_km);
  } else {
    // Near an airport's antipode distances could come out NaN; then the bound must not be
    // tightened from them.
    antipodal = tree.any_within3(-q[0], -q[1], -q[2]);
  }

  // Best-first walk by squared chord length, which grows with great-circle distance: the heap
  // order is right and trigonometry runs only for candidates that survive the bound. Nodes
  // are items >= 0; entries p are encoded as -p - 1.
  MinHeap& heap = s.heap;
  heap.clear();
  heap.push(tree.mindist3(tree.root, q[0], q[1], q[2]), tree.root);
  const auto wanted = static_cast<uint64_t>(k);
  while (!heap.empty()) {
    const double key = heap.top_d();
    const int64_t item = heap.top_r();
    heap.pop();
    if (key > bound) break;
    if (item >= 0) {
      const int32_t begin = tree.first[item];
      const int32_t end = begin + tree.count[item];
      // A child beyond the bound would only stop the walk when it surfaced, and the bound
      // never grows, so it is left out of the heap.
      if (tree.leaf[item]) {
        for (int32_t c = begin; c < end; ++c) {
          const int32_t p = tree.kids[c];
          const double d = tree.dist3(p, q[0], q[1], q[2]);
          if (!(d > bound)) heap.push(d, -static_cast<int64_t>(p) - 1);
        }
      } else {
        for (int32_t c = begin; c < end; ++c) {
          const int32_t child = tree.kids[c];
          const double d = tree.mindist3(child, q[0], q[1], q[2]);
          if (!(d > bound)) heap.push(d, child);
        }
      }
      continue;
    }
    const auto p = static_cast<size_t>(-item - 1);
    const int32_t id = ids[p];
    const double dist = haversine_cos(lat, lng, cos_lat, lats[id], lngs[id], coslat[p]);
    if (max_km && !(dist <= *max_km)) continue;
    s.d.push_back(dist);
    s.i.push_back(id);
    if (s.d.size() == wanted && !antipodal) {
      const double tighter = chord2_bound(worst(s.d));
      if (tighter < bound) bound = tighter;
    }
  }

  // More candidates than k may have arrived while within the bound: order all, keep k.
  const size_t found = s.d.size();
  s.order.resize(found);
  for (size_t j = 0; j < found; ++j) s.order[j] = static_cast<uint32_t>(j);
  if (found > 1) {
    const auto by_distance = [&s](uint32_t a, uint32_t b) {
      const double da = s.d[a], db = s.d[b];
      const bool na = std::isnan(da), nb = std::isnan(db);
      if (na || nb) return na == nb ? s.i[a] < s.i[b] : nb;
      if (da != db) return da < db;
      return s.i[a] < s.i[b];
    };
    const size_t keep = std::min<uint64_t>(wanted, found);
    std::partial_sort(s.order.begin(), s.order.begin() + static_cast<ptrdiff_t>(keep),
                      s.order.end(), by_distance);
    return keep;
  }
  return found;
}

Hits AirportIndex::nearest(double lat, double lng, int64_t k, std::optional<double> max_km) const {
  const size_t kept = search(lat, lng, k, max_km);
  const Scratch& s = scratch();
  Hits hits;
  hits.d.reserve(kept);
  hits.i.reserve(kept);
  for (size_t j = 0; j < kept; ++j) {
    hits.d.push_back(s.d[s.order[j]]);
    hits.i.push_back(s.i[s.order[j]]);
  }
  return hits;
}

int64_t AirportIndex::nearest_one(double lat, double lng, std::optional<double> max_km) const {
  if (search(lat, lng, 1, max_km) == 0) return -1;
  const Scratch& s = scratch();
  return s.i[s.order[0]];
}

size_t AirportIndex::bytes() const {
  return ids.capacity() * sizeof(int32_t) +
         (coords.capacity() + coslat.capacity()) * sizeof(double) + tree.bytes();
}

}  // namespace Gantrix
