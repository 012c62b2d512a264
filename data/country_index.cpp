#include "data/country_index.h"

namespace Gantrix {

std::string CountryIndex::name_of(const std::string& upper_code) const {
  const int64_t k = name_key.find_sorted(upper_code);
  return k < 0 ? upper_code : std::string(name_text[static_cast<size_t>(k)]);
}

void CountryIndex::add_envelope(int64_t feature, const std::string& code,
                                std::vector<std::string>& codes) {
  double min_x = 180.0, max_x = -180.0, min_y = 90.0, max_y = -90.0;
  const int64_t r0 = first_ring[feature];
  for (int64_t r = r0; r < r0 + ring_count[feature]; ++r) {
    const int64_t begin = rings.first[r];
    const int64_t end = begin + rings.n[r];
    for (int64_t p = begin; p < end; ++p) {
      const double x = rings.xs[p], y = rings.ys[p];
      if (x < min_x) min_x = x;
      if (x > max_x) max_x = x;
      if (y < min_y) min_y = y;
      if (y > max_y) max_y = y;
    }
  }
  if (min_y >= 90.0 || max_y <= -90.0) return;
  envelope_lo.push_back(min_x);
  envelope_lo.push_back(min_y);
  envelope_hi.push_back(max_x);
  envelope_hi.push_back(max_y);
  codes.push_back(lower(code));
  envelope_feature.push_back(feature);
}

void CountryIndex::build_indexes() {
  const auto features = static_cast<int64_t>(first_ring.size());
  ring_feature.assign(static_cast<size_t>(rings.size()), -1);
  feature_envelope.assign(static_cast<size_t>(features), -1);
  for (size_t e = 0; e < envelope_feature.size(); ++e) {
    feature_envelope[envelope_feature[e]] = static_cast<int64_t>(e);
  }
  for (int64_t f = 0; f < features; ++f) {
    for (int64_t r = first_ring[f]; r < first_ring[f] + ring_count[f]; ++r) {
      ring_feature[r] = static_cast<int32_t>(f);
    }
  }
  ring_grid = RingGrid(rings, [this](int64_t r) { return feature_envelope[ring_feature[r]] >= 0; });
  cells = CountryCells(
      CellSource{rings, ring_grid, ring_feature, feature_envelope, envelope_lo, envelope_hi});
}

size_t CountryIndex::bytes() const {
  return rings.bytes() + ring_grid.bytes() + cells.bytes() + first_ring.bytes() +
         ring_count.bytes() + feature_envelope.bytes() + envelope_feature.bytes() +
         ring_feature.bytes() + envelope_lo.bytes() + envelope_hi.bytes() + name_key.bytes() +
         name_text.bytes() + envelope_code.bytes();
}

}  // namespace Gantrix
