// The countries: every outline ring in one flat store, the features (a country's outline,
// one or more rings) with their names, the envelope (bounding box) of each feature that has
// a code, and the two indexes the point test reads: the grid of ring boxes and the cells
// whose answer is fixed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/airport_table.h"
#include "spatial/country_cells.h"
#include "spatial/ring_grid.h"
#include "spatial/rings.h"

namespace Gantrix {

class CountryIndex {
 public:
  // Reads a GeoJSON FeatureCollection (data/country_loader.cpp), then builds the indexes.
  static CountryIndex from_json(std::string_view countries_json) {
    CountryIndex c;
    c.read(countries_json);
    return c;
  }

  // The name of an upper-case country code, or the code itself.
  [[nodiscard]] std::string name_of(const std::string& upper_code) const {
    const auto it = names.find(upper_code);
    return it == names.end() ? upper_code : it->second;
  }
  [[nodiscard]] size_t envelopes() const { return envelope_code.size(); }
  [[nodiscard]] size_t bytes() const;

  Rings rings;
  std::vector<int32_t> ring_feature;      // per ring: its feature
  std::vector<int64_t> first_ring;        // per feature: its first ring
  std::vector<int64_t> ring_count;        // per feature: how many rings follow
  std::vector<int64_t> feature_envelope;  // per feature: its envelope, or -1
  TextMap<std::string> names;             // upper-case code -> the first feature's name

  // Per envelope (features with a usable code and some point, in dataset order).
  std::vector<std::string> envelope_code;  // lower case
  std::vector<int64_t> envelope_feature;
  std::vector<double> envelope_lo;  // min longitude, min latitude
  std::vector<double> envelope_hi;  // max longitude, max latitude

  RingGrid ring_grid;  // the rings of features with an envelope
  CountryCells cells;  // the exact test's answer where a cell fixes it

 private:
  void read(std::string_view countries_json);
  void add_envelope(int64_t feature, const std::string& code);
  void build_indexes();
};

}  // namespace Gantrix
