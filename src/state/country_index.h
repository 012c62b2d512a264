// The countries: every outline ring in one flat store, the features (a country's outline,
// one or more rings) with their names, the envelope (bounding box) of each feature that has
// a code, and the two indexes the point test reads: the grid of ring boxes and the cells
// whose answer is fixed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/column.h"
#include "spatial/country_cells.h"
#include "spatial/ring_grid.h"
#include "spatial/rings.h"
#include "state/text_table.h"

namespace Gantrix {

// Filled at build time (builder/country_loader.h); read-only after.
class CountryIndex {
 public:
  [[nodiscard]] size_t envelopes() const { return envelope_code.size(); }

  template <class V>
  void visit(V& v) {
    v(rings), v(ring_feature), v(first_ring), v(ring_count), v(feature_envelope);
    v(name_key), v(name_text), v(envelope_code), v(envelope_feature), v(envelope_lo);
    v(envelope_hi), v(ring_grid), v(cells);
  }

  Rings rings;
  Column<int32_t> ring_feature;      // per ring: its feature
  Column<int64_t> first_ring;        // per feature: its first ring
  Column<int64_t> ring_count;        // per feature: how many rings follow
  Column<int64_t> feature_envelope;  // per feature: its envelope, or -1
  // The upper-case codes that have a name, in byte order, and each one's name (that of its
  // first feature).
  TextTable name_key;
  TextTable name_text;

  // Per envelope (features with a usable code and some point, in dataset order).
  TextTable envelope_code;  // lower case
  Column<int64_t> envelope_feature;
  Column<double> envelope_lo;  // min longitude, min latitude
  Column<double> envelope_hi;  // max longitude, max latitude

  RingGrid ring_grid;  // the rings of features with an envelope
  CountryCells cells;  // the exact test's answer where a cell fixes it
};

}  // namespace Gantrix
