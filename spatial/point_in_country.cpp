#include "spatial/point_in_country.h"

#include <algorithm>
#include <vector>

#include "api/constants.h"

namespace Gantrix {
namespace {

struct Box {
  double lat_from, lat_to, lng_from, lng_to;
  std::string_view code;
};

// Small territories that the outlines miss or misplace.
constexpr Box kSpecialBoxes[] = {
    {37.23, 37.25, 131.85, 131.87, "kr"}, {-37.2, -37.0, -12.5, -12.1, "sh"},
    {-49.7, -48.9, 68.5, 70.6, "tf"},     {-54.9, -53.9, -38.0, -35.5, "gs"},
    {-54.5, -54.3, 3.2, 3.5, "bv"},       {10.2, 10.4, -109.3, -109.1, "cp"},
};

// The current best envelope and its innermost area, carried through the walk so the best's
// area is computed once rather than at every comparison.
struct Best {
  int64_t e = -1;
  double area = 0.0;
};

void walk(const State& s, int64_t node, Best& best, double x, double y) {
  const RTree& t = s.country_tree;
  const size_t b = static_cast<size_t>(node) * 2;
  if (t.nlo[b] > x || x > t.nhi[b] || t.nlo[b + 1] > y || y > t.nhi[b + 1]) return;
  const int32_t begin = t.first[node];
  const int32_t end = begin + t.count[node];
  if (!t.leaf[node]) {
    for (int32_t k = begin; k < end; ++k) walk(s, t.kids[k], best, x, y);
    return;
  }
  for (int32_t k = begin; k < end; ++k) {
    const int32_t e = t.kids[k];
    const size_t eb = static_cast<size_t>(e) * 2;
    if (!(t.lo[eb] <= x && x <= t.hi[eb] && t.lo[eb + 1] <= y && y <= t.hi[eb + 1])) continue;
    const double a = innermost_ring(s, s.env_feature[e], x, y);
    if (!(a >= 0.0)) continue;
    if (better(a, s.env_feature[e], best.area, best.e < 0 ? -1 : s.env_feature[best.e])) {
      best = {e, a};
    }
  }
}

struct Scratch {
  std::vector<FeatureHit> hits;
};

Scratch& scratch() {
  thread_local Scratch s;
  return s;
}

bool in_ring_box(const State& s, int32_t p, double x, double y) {
  const size_t b = static_cast<size_t>(p) * 2;
  return s.ring_lo[b] <= x && x <= s.ring_hi[b] && s.ring_lo[b + 1] <= y && y <= s.ring_hi[b + 1];
}

void add_ring(const State& s, int32_t p, double x, double y, std::vector<FeatureHit>& hits) {
  const int32_t r = s.ring_entry[p];
  if (s.rings.contains(r, x, y)) fold_ring(s, r, hits);
}

// The winning envelope among the features holding the point an odd number of times.
int64_t pick(const State& s, const std::vector<FeatureHit>& hits, double x, double y) {
  const RTree& t = s.country_tree;
  int64_t best = -1, best_feature = -1;
  double best_area = 0.0;
  for (const FeatureHit& h : hits) {
    if (!h.odd) continue;
    const int64_t e = s.feature_envelope[h.feature];
    const size_t b = static_cast<size_t>(e) * 2;
    if (!(t.lo[b] <= x && x <= t.hi[b] && t.lo[b + 1] <= y && y <= t.hi[b + 1])) continue;
    if (better(h.area, h.feature, best_area, best_feature)) {
      best = e;
      best_feature = h.feature;
      best_area = h.area;
    }
  }
  return best;
}

// The envelope of the country containing (x, y), or -1.
int64_t exact_envelope(const State& s, double x, double y) {
  auto& hits = scratch().hits;
  hits.clear();
  if (s.grid_start.empty()) return -1;
  const int cell = State::grid_y(y) * State::GRID_W + State::grid_x(x);
  for (int32_t k = s.grid_start[cell], end = s.grid_start[cell + 1]; k < end; ++k) {
    const int32_t p = s.grid_box[k];
    if (in_ring_box(s, p, x, y)) add_ring(s, p, x, y, hits);
  }
  return pick(s, hits, x, y);
}

// A probe that crossed a pole continues down the other side, half a turn round; one past
// the antimeridian lands on its far side, and one on it is at -180, like the point itself.
void wrap_probe(double& lat, double& lng) {
  if (lat > 90.0) {
    lat = 180.0 - lat;
    lng += 180.0;
  } else if (lat < -90.0) {
    lat = -180.0 - lat;
    lng += 180.0;
  }
  if (lng >= 180.0) {
    lng -= 360.0;
  } else if (lng < -180.0) {
    lng += 360.0;
  }
}

std::optional<std::string_view> code_of(const State& s, int64_t e) {
  if (e < 0 || e >= static_cast<int64_t>(s.env_code.size())) return std::nullopt;
  return s.env_code[e];
}

}  // namespace

bool better(double area, int64_t feature, double best_area, int64_t best_feature) {
  if (best_feature < 0) return true;
  if (area != best_area) return area < best_area;
  return feature < best_feature;
}

void fold_ring(const State& s, int64_t r, std::vector<FeatureHit>& hits) {
  const double area = s.rings.box_area(r);
  const int64_t f = s.ring_feature[r];
  for (FeatureHit& h : hits) {
    if (h.feature == f) {
      h.odd = !h.odd;
      if (area < h.area) h.area = area;
      return;
    }
  }
  hits.push_back({f, true, area});
}

double innermost_ring(const State& s, int64_t f, double x, double y) {
  const Rings& rings = s.rings;
  double best = INF;
  bool odd = false;
  const int64_t r0 = s.feature_ring0[f];
  for (int64_t r = r0, end = r0 + s.feature_rings[f]; r < end; ++r) {
    if (!rings.contains(r, x, y)) continue;
    odd = !odd;
    const double area = rings.box_area(r);
    if (area < best) best = area;
  }
  return odd ? best : -1.0;
}

int64_t exact_in(const State& s, int64_t node, int64_t best, double x, double y) {
  Best b{best, best >= 0 ? innermost_ring(s, s.env_feature[best], x, y) : 0.0};
  walk(s, node, b, x, y);
  return b.e;
}

std::optional<std::string_view> special_country(double lat, double lng) {
  for (const Box& box : kSpecialBoxes) {
    if (box.lat_from <= lat && lat <= box.lat_to && box.lng_from <= lng && lng <= box.lng_to) {
      return box.code;
    }
  }
  return std::nullopt;
}

std::optional<std::string_view> country_exact(const State& s, double lat, double lng) {
  const int16_t e = s.country_cells.at(lng, lat);
  if (e != CountryCells::MIXED) return code_of(s, e);
  return code_of(s, exact_envelope(s, lng, lat));
}

std::optional<std::string_view> find_country_from_nearby_airports(const State& s, double lat,
                                                                  double lng) {
  const int64_t id = s.all_airports->nearest_one(lat, lng, 1000.0);
  if (id < 0) return std::nullopt;
  return s.ap_country_lower[id];
}

std::optional<std::string_view> find_country_code(const State& s, double lat, double lng) {
  // 180 and -180 are one meridian; outlines cut there meet it from both sides, and only as
  // -180 does a point on it count as on their western edge, which is inside. One spelling
  // gives one answer.
  if (lng == 180.0) lng = -180.0;
  if (auto code = special_country(lat, lng)) return code;
  if (auto code = country_exact(s, lat, lng)) return code;

  // Most probes fall in cells that fix their answer; only those near an edge take the ring
  // test. Where no outline comes within the probes' reach, none is tried.
  if (!s.country_cells.quiet_around(lng, lat, RADII.back())) {
    for (const double r : RADII) {
      for (size_t d = 0; d < DIRECTIONS.size(); d += 2) {
        double y = lat + DIRECTIONS[d] * r;
        double x = lng + DIRECTIONS[d + 1] * r;
        wrap_probe(y, x);
        int64_t e = s.country_cells.at(x, y);
        if (e == CountryCells::MIXED) e = exact_envelope(s, x, y);
        if (auto code = code_of(s, e)) return code;
      }
    }
  }
  return find_country_from_nearby_airports(s, lat, lng);
}

}  // namespace Gantrix
