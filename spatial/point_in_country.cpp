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

// Overlapping outlines: the smaller innermost ring wins, then the earlier feature.
bool better(double area, int64_t feature, double best_area, int64_t best_feature) {
  if (best_feature < 0) return true;
  if (area != best_area) return area < best_area;
  return feature < best_feature;
}

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

// The rings that contain a point, folded per feature: parity and smallest box area. Which
// envelope wins depends only on these, never on the order the rings are met in.
struct FeatureHit {
  int64_t feature;
  bool odd;
  double area;
};

struct Scratch {
  std::vector<FeatureHit> hits;
  std::vector<int32_t> near;  // indexed ring boxes within 2 degrees of a point
  std::vector<int32_t> ring;  // those of them within one probe radius
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
  if (!s.rings.contains(r, x, y)) return;
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

// Gathers, each once, the indexed ring boxes that meet [x0, x1] x [y0, y1]: a box listed in
// several cells of the range is taken in the first of them only.
void rings_near(const State& s, double x0, double y0, double x1, double y1,
                std::vector<int32_t>& out) {
  out.clear();
  if (s.grid_start.empty()) return;
  const int cx0 = State::grid_x(x0), cx1 = State::grid_x(x1);
  const int cy0 = State::grid_y(y0), cy1 = State::grid_y(y1);
  for (int cy = cy0; cy <= cy1; ++cy) {
    for (int cx = cx0; cx <= cx1; ++cx) {
      const int cell = cy * State::GRID_W + cx;
      for (int32_t k = s.grid_start[cell], end = s.grid_start[cell + 1]; k < end; ++k) {
        const int32_t p = s.grid_box[k];
        const size_t b = static_cast<size_t>(p) * 2;
        if (s.ring_lo[b] > x1 || s.ring_hi[b] < x0 || s.ring_lo[b + 1] > y1 ||
            s.ring_hi[b + 1] < y0) {
          continue;
        }
        if (std::max(cx0, State::grid_x(s.ring_lo[b])) != cx ||
            std::max(cy0, State::grid_y(s.ring_lo[b + 1])) != cy) {
          continue;
        }
        out.push_back(p);
      }
    }
  }
}

std::optional<std::string_view> code_of(const State& s, int64_t e) {
  if (e < 0 || e >= static_cast<int64_t>(s.env_code.size())) return std::nullopt;
  return s.env_code[e];
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
  if (auto code = special_country(lat, lng)) return code;
  if (auto code = country_exact(s, lat, lng)) return code;

  // A probe at radius r lies within r of the point on each axis (rounding is monotonic, so
  // the computed probe stays inside the computed box): gather the rings near the point once,
  // keep for each radius those whose box meets its square, and test each probe against
  // those alone. With no ring within 2 degrees, the probes are skipped.
  Scratch& sc = scratch();
  rings_near(s, lng - RADII.back(), lat - RADII.back(), lng + RADII.back(), lat + RADII.back(),
             sc.near);
  for (size_t k = 0; k < RADII.size() && !sc.near.empty(); ++k) {
    const double r = RADII[k];
    sc.ring.clear();
    for (const int32_t p : sc.near) {
      const size_t b = static_cast<size_t>(p) * 2;
      if (s.ring_lo[b] <= lng + r && s.ring_hi[b] >= lng - r && s.ring_lo[b + 1] <= lat + r &&
          s.ring_hi[b + 1] >= lat - r) {
        sc.ring.push_back(p);
      }
    }
    if (sc.ring.empty()) continue;
    for (size_t d = 0; d < DIRECTIONS.size(); d += 2) {
      const double y = lat + DIRECTIONS[d] * r;
      const double x = lng + DIRECTIONS[d + 1] * r;
      if (const int16_t e = s.country_cells.at(x, y); e != CountryCells::MIXED) {
        if (auto code = code_of(s, e)) return code;
        continue;
      }
      sc.hits.clear();
      for (const int32_t p : sc.ring) {
        if (in_ring_box(s, p, x, y)) add_ring(s, p, x, y, sc.hits);
      }
      if (auto code = code_of(s, pick(s, sc.hits, x, y))) return code;
    }
  }
  return find_country_from_nearby_airports(s, lat, lng);
}

}  // namespace Gantrix
