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
  std::vector<double> kth;
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
  index_z();
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
  index_z();
}

void AirportIndex::index_z() {
  zorder.resize(ids.size());
  for (size_t j = 0; j < ids.size(); ++j) zorder[j] = static_cast<int32_t>(j);
  std::sort(zorder.begin(), zorder.end(),
            [&](int32_t a, int32_t b) { return coords[a * 3 + 2] < coords[b * 3 + 2]; });
  zs.resize(ids.size());
  for (size_t j = 0; j < ids.size(); ++j) zs[j] = coords[static_cast<size_t>(zorder[j]) * 3 + 2];
}

bool AirportIndex::entry_near(double x, double y, double z) const {
  // An entry within squared distance MARGIN differs from the point by at most sqrt(MARGIN)
  // (about 3.2e-5) in z, so only the entries in that slice of the z order need the exact
  // test; the answer is the tree's any_within3, without the walk.
  constexpr double kSlice = 4e-5;
  auto it = std::lower_bound(zs.begin(), zs.end(), z - kSlice);
  for (; it != zs.end() && *it <= z + kSlice; ++it) {
    if (tree.dist3(zorder[static_cast<size_t>(it - zs.begin())], x, y, z) <= MARGIN) return true;
  }
  return false;
}

size_t AirportIndex::search(double lat, double lng, int64_t k, std::optional<double> max_km) const {
  Scratch& s = scratch();
  s.d.clear();
  s.i.clear();
  s.kth.clear();
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
    antipodal = entry_near(-q[0], -q[1], -q[2]);
  }

  const auto wanted = static_cast<uint64_t>(k);
  const auto visit_leaf = [&](int64_t node) {
    // The leaf's entries in chord order, so a good first one tightens the bound for the rest.
    double chord[NODE_SIZE];
    int32_t entry[NODE_SIZE];
    int n = 0;
    for (int32_t c = tree.first[node], end = c + tree.count[node]; c < end; ++c) {
      const int32_t p = tree.kids[c];
      const double d = tree.dist3(p, q[0], q[1], q[2]);
      if (d > bound) continue;
      int j = n++;
      for (; j > 0 && chord[j - 1] > d; --j) {
        chord[j] = chord[j - 1];
        entry[j] = entry[j - 1];
      }
      chord[j] = d;
      entry[j] = p;
    }
    for (int j = 0; j < n && !(chord[j] > bound); ++j) {
      const auto p = static_cast<size_t>(entry[j]);
      const int32_t id = ids[p];
      const double dist = haversine_cos(lat, lng, cos_lat, lats[id], lngs[id], coslat[p]);
      if (max_km && !(dist <= *max_km)) continue;
      s.d.push_back(dist);
      s.i.push_back(id);
      if (antipodal || std::isnan(dist)) continue;
      // The k best distances so far, largest on top.
      if (s.kth.size() < wanted) {
        s.kth.push_back(dist);
        std::push_heap(s.kth.begin(), s.kth.end());
      } else if (dist < s.kth.front()) {
        std::pop_heap(s.kth.begin(), s.kth.end());
        s.kth.back() = dist;
        std::push_heap(s.kth.begin(), s.kth.end());
      } else {
        continue;
      }
      if (s.kth.size() == wanted) {
        const double tighter = chord2_bound(s.kth.front());
        if (tighter < bound) bound = tighter;
      }
    }
  };

  // First a dive to the leaf that looks nearest, for a bound that keeps most of the tree out
  // of the heap; then a best-first walk over the nodes by squared chord length (it grows with
  // great-circle distance, so trigonometry runs only for entries that survive the bound). The
  // bound follows the k-th best distance found so far, padded by MARGIN against rounding, so
  // every entry that could still be among the k nearest is evaluated: the result is the exact
  // k nearest whatever order the entries are met in.
  int64_t dived = tree.root;
  while (!tree.leaf[dived]) {
    int64_t best = -1;
    double best_d = INF;
    for (int32_t c = tree.first[dived], end = c + tree.count[dived]; c < end; ++c) {
      const double d = tree.mindist3(tree.kids[c], q[0], q[1], q[2]);
      if (best < 0 || d < best_d) {
        best = tree.kids[c];
        best_d = d;
      }
    }
    dived = best;
  }
  visit_leaf(dived);

  MinHeap& heap = s.heap;
  heap.clear();
  heap.push(tree.mindist3(tree.root, q[0], q[1], q[2]), tree.root);
  while (!heap.empty()) {
    const double key = heap.top_d();
    const int64_t node = heap.top_r();
    heap.pop();
    if (key > bound) break;
    if (tree.leaf[node]) {
      if (node != dived) visit_leaf(node);
      continue;
    }
    for (int32_t c = tree.first[node], end = c + tree.count[node]; c < end; ++c) {
      const int32_t child = tree.kids[c];
      const double d = tree.mindist3(child, q[0], q[1], q[2]);
      if (!(d > bound)) heap.push(d, child);
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
  return (ids.capacity() + zorder.capacity()) * sizeof(int32_t) +
         (coords.capacity() + coslat.capacity() + zs.capacity()) * sizeof(double) + tree.bytes();
}

}  // namespace Gantrix
