// Nearest airports to a coordinate, with great-circle distances in kilometres. Airports are
// points on the unit sphere in a 3-d tree, so the search needs no special case for the
// antimeridian or the poles.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/column.h"
#include "core/constants.h"
#include "spatial/coords.h"
#include "spatial/kd_tree.h"

namespace Gantrix {

// One airport a search found: its great-circle distance (km) and id.
struct Hit {
  double d;
  int64_t id;
};

// Great-circle distance in km (haversine). Never NaN for finite input: rounding that pushes
// the haversine term past 1 (exact antipodes) is clamped, giving half the circumference.
double haversine(double lat1, double lng1, double lat2, double lng2);
// The same distance with cos(lat1 * DEG) and cos(lat2 * DEG) already at hand: bit for bit
// what haversine gives, for searches that meet the same coordinates again and again.
double haversine_cos(double lat1, double lng1, double cos1, double lat2, double lng2, double cos2);
double sqrt_or_nan(double v);
// Squared unit-sphere chord for a great-circle distance, padded by MARGIN; INF from half the
// circumference on (and for NaN).
double chord2_bound(double km);

class AirportIndex {
 public:
  // lats and lngs are the airport table's columns (by airport id), read while building; ids
  // lists the airports this index covers.
  AirportIndex(std::span<const double> lats, std::span<const double> lngs,
               std::vector<int32_t> ids);
  // An index over some airports of `table`, an index whose entry i is airport i (the State's
  // airport_indexes.all): their unit vectors are copied from it instead of computed again.
  AirportIndex(const AirportIndex& table, std::vector<int32_t> ids);
  // An empty index, to be pointed at an image by visit.
  AirportIndex() = default;
  AirportIndex(const AirportIndex&) = delete;
  AirportIndex& operator=(const AirportIndex&) = delete;
  AirportIndex(AirportIndex&&) noexcept = default;
  AirportIndex& operator=(AirportIndex&&) noexcept = default;

  // At most k airports nearest to p, nearest first, ties to the smaller id; with
  // max_km only those at most that far. Empty for k <= 0 or an empty index. The hits are
  // left in this thread's search scratch: valid until the thread's next search.
  [[nodiscard]] std::span<const Hit> nearest_view(LatLng p, int64_t k,
                                                  std::optional<double> max_km) const;
  // The id of the nearest airport (within max_km when given), or -1.
  [[nodiscard]] int64_t nearest_one(LatLng p, std::optional<double> max_km) const;

  [[nodiscard]] size_t size() const { return ids.size(); }

  template <class V>
  void visit(V& v) {
    v(ids), v(coords), v(places), v(tree), v.flag(tighten);
  }

  Column<int32_t> ids;
  Column<double> coords;  // unit vectors, three per entry, in ids order
  // Each entry's latitude, longitude and cos(latitude): what its distance needs, in one place.
  struct Place {
    double lat, lng, coslat;
  };
  Column<Place> places;
  KdTree tree;
  bool tighten = true;  // the bound may follow the k-th chord (distances_track_chords)

 private:
  // Whether every covered airport has a distance that grows with its chord (see search).
  [[nodiscard]] bool distances_track_chords() const;
  // Runs the search into the thread's scratch lists; returns how many hits it kept. With
  // id_only, a lone candidate that needs no distance check comes back without its distance.
  size_t search(double lat, double lng, int64_t k, std::optional<double> max_km,
                bool id_only) const;
};

}  // namespace Gantrix
