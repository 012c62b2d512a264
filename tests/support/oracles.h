// Plain reference answers that tests and benchmarks check the library against: written
// without its indexes (no bands, no grid, no cells, no k-d tree), so a fault in one of those
// shows as a disagreement.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "data/state.h"
#include "spatial/airport_index.h"
#include "spatial/rings.h"
#include "tests/support/rtree.h"

namespace Gantrix::test {

// A search's hits copied out of the thread's scratch.
struct Hits {
  std::vector<double> d;
  std::vector<int64_t> i;
};
Hits nearest(const AirportIndex& index, double lat, double lng, int64_t k,
             std::optional<double> max_km);

// Even-odd count of the edges of ring r crossed by the eastward ray from (x, y), every edge
// looked at: an edge counts when exactly one end lies strictly north of y and it crosses
// the ray's latitude east of x.
bool crossing_number(const Rings& rings, int64_t r, double x, double y);

// The country test as a walk over an R-tree of the envelopes, each envelope's feature tested
// ring by ring with crossing_number: the smallest innermost ring wins, then the earlier
// feature.
class EnvelopeWalk {
 public:
  explicit EnvelopeWalk(const CountryIndex& countries);
  // The envelope whose feature contains (x, y) best, or -1.
  [[nodiscard]] int64_t envelope_at(double x, double y) const;
  // Its lower-case code, or none.
  [[nodiscard]] std::optional<std::string_view> code_at(double x, double y) const;

 private:
  struct Best {
    int64_t e = -1;
    double area = 0.0;
  };
  // Bounding-box area of the smallest ring of feature f containing (x, y), or -1.0 when the
  // feature (parity over all its rings) does not contain the point.
  double innermost_ring(int64_t f, double x, double y) const;
  void walk(int64_t node, Best& best, double x, double y) const;

  const CountryIndex& c_;
  RTree tree_;
};

}  // namespace Gantrix::test
