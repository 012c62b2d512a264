// The rings that contain a point, folded per feature (the outline a ring belongs to): parity
// and smallest box area. Which feature wins depends only on these, never on the order the
// rings are met in. The point test and the cell grid both pick their winner here.
#pragma once

#include <cstdint>
#include <vector>

namespace Gantrix {

struct FeatureHit {
  int64_t feature;
  bool odd;
  double area;
};

// Folds a ring of `feature` with box area `area`, which holds the point, into hits.
inline void fold_ring(std::vector<FeatureHit>& hits, int64_t feature, double area) {
  for (FeatureHit& h : hits) {
    if (h.feature == feature) {
      h.odd = !h.odd;
      if (area < h.area) h.area = area;
      return;
    }
  }
  hits.push_back({feature, true, area});
}

// Overlapping outlines: the smaller innermost ring wins, then the earlier feature.
[[nodiscard]] inline bool better(double area, int64_t feature, double best_area,
                                 int64_t best_feature) {
  if (best_feature < 0) return true;
  if (area != best_area) return area < best_area;
  return feature < best_feature;
}

// The winning feature among those holding the point an odd number of times and accepted by
// accept(feature), or -1.
template <class Accept>
[[nodiscard]] int64_t winner(const std::vector<FeatureHit>& hits, Accept&& accept) {
  int64_t best_feature = -1;
  double best_area = 0.0;
  for (const FeatureHit& h : hits) {
    if (!h.odd || !accept(h.feature)) continue;
    if (better(h.area, h.feature, best_area, best_feature)) {
      best_feature = h.feature;
      best_area = h.area;
    }
  }
  return best_feature;
}

}  // namespace Gantrix
