// Which country contains a coordinate: six fixed boxes, the exact outline test, probes on
// rings of growing radius around the point, and finally the country of the nearest airport
// within 1,000 km.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "data/state.h"

namespace Gantrix {

// The lower-case country code, or none. lat/lng must be checked and normalised already.
std::optional<std::string_view> find_country_code(const State& s, double lat, double lng);

std::optional<std::string_view> special_country(double lat, double lng);
std::optional<std::string_view> country_exact(const State& s, double lat, double lng);
std::optional<std::string_view> find_country_from_nearby_airports(const State& s, double lat,
                                                                  double lng);

// The rings that contain a point, folded per feature: parity and smallest box area. Which
// envelope wins depends only on these, never on the order the rings are met in.
struct FeatureHit {
  int64_t feature;
  bool odd;
  double area;
};
// Folds ring r, which holds the point, into hits.
void fold_ring(const State& s, int64_t r, std::vector<FeatureHit>& hits);
// Overlapping outlines: the smaller innermost ring wins, then the earlier feature.
bool better(double area, int64_t feature, double best_area, int64_t best_feature);

// Bounding-box area of the smallest ring of feature f containing (x, y), or -1.0 when the
// feature (parity over all its rings) does not contain the point.
double innermost_ring(const State& s, int64_t f, double x, double y);

// The envelope whose feature contains (x, y) best, found in the subtree of node n, or best.
int64_t exact_in(const State& s, int64_t node, int64_t best, double x, double y);

}  // namespace Gantrix
