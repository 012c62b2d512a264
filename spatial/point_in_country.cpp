#include "spatial/point_in_country.h"

#include "api/constants.h"

namespace Gantrix {
namespace {

struct Box {
  double lat_from, lat_to, lng_from, lng_to;
  std::string_view code;
};

// Small territories that the outlines miss or misplace.
constexpr Box kSpecialBoxes[] = {
    {37.23, 37.25, 131.85, 131.87, "kr"},  {-37.2, -37.0, -12.5, -12.1, "sh"},
    {-49.7, -48.9, 68.5, 70.6, "tf"},      {-54.9, -53.9, -38.0, -35.5, "gs"},
    {-54.5, -54.3, 3.2, 3.5, "bv"},        {10.2, 10.4, -109.3, -109.1, "cp"},
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
    // Overlapping outlines: the smaller innermost ring wins, then the earlier feature.
    bool better;
    if (best.e < 0) {
      better = true;
    } else if (a != best.area) {
      better = a < best.area;
    } else {
      better = s.env_feature[e] < s.env_feature[best.e];
    }
    if (better) best = {e, a};
  }
}

}  // namespace

double innermost_ring(const State& s, int64_t f, double x, double y) {
  const Rings& rings = s.rings;
  double best = INF;
  bool odd = false;
  const int64_t r0 = s.feature_ring0[f];
  for (int64_t r = r0, end = r0 + s.feature_rings[f]; r < end; ++r) {
    if (!rings.contains(r, x, y)) continue;
    odd = !odd;
    const double area =
        (rings.max_lat[r] - rings.min_lat[r]) * (rings.max_lng[r] - rings.min_lng[r]);
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
  if (s.country_tree.root < 0) return std::nullopt;
  const int64_t e = exact_in(s, s.country_tree.root, -1, lng, lat);
  if (e < 0 || e >= static_cast<int64_t>(s.env_code.size())) return std::nullopt;
  return s.env_code[e];
}

std::optional<std::string_view> find_country_from_nearby_airports(const State& s, double lat,
                                                                   double lng) {
  const int64_t id = s.all_airports->nearest_one(lat, lng, 1000.0);
  if (id < 0) return std::nullopt;
  return s.ap_country_lower[id];
}

std::optional<std::string_view> find_country_code(const State& s, double lat, double lng) {
  if (auto code = special_country(lat, lng)) return code;
  if (auto code = country_exact(s, lat, lng)) return code;
  for (const double r : RADII) {
    for (size_t d = 0; d < DIRECTIONS.size(); d += 2) {
      if (auto code = country_exact(s, lat + DIRECTIONS[d] * r, lng + DIRECTIONS[d + 1] * r)) {
        return code;
      }
    }
  }
  return find_country_from_nearby_airports(s, lat, lng);
}

}  // namespace Gantrix
