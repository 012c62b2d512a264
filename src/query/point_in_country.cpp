#include "query/point_in_country.h"

#include <algorithm>
#include <vector>

#include "query/country_rules.h"
#include "spatial/feature_hits.h"

namespace Gantrix {
namespace {

std::vector<FeatureHit>& scratch_hits() {
  thread_local std::vector<FeatureHit> hits;
  return hits;
}

std::optional<std::string_view> code_of(const State& s, int64_t e) {
  if (e < 0 || e >= static_cast<int64_t>(s.countries.envelope_code.size())) return std::nullopt;
  return s.countries.envelope_code[e];
}

}  // namespace

int64_t exact_envelope(const CountryIndex& c, LatLng p) {
  auto& hits = scratch_hits();
  hits.clear();
  c.ring_grid.for_each_box_at(p, [&](int32_t box) {
    const int32_t r = c.ring_grid.ring[box];
    if (c.rings.contains(r, p)) fold_ring(hits, c.ring_feature[r], c.rings.box_area(r));
  });
  const int64_t f = winner(hits, [&](int64_t feature) {
    const size_t b = static_cast<size_t>(c.feature_envelope[feature]) * 2;
    return c.envelope_lo[b] <= p.lng && p.lng <= c.envelope_hi[b] &&
           c.envelope_lo[b + 1] <= p.lat && p.lat <= c.envelope_hi[b + 1];
  });
  return f < 0 ? -1 : c.feature_envelope[f];
}

std::optional<std::string_view> special_country(LatLng p) {
  for (const SpecialBox& box : SPECIAL_BOXES) {
    if (box.lat_from <= p.lat && p.lat <= box.lat_to && box.lng_from <= p.lng &&
        p.lng <= box.lng_to) {
      return box.code;
    }
  }
  return std::nullopt;
}

std::optional<std::string_view> country_exact(const State& s, LatLng p) {
  const int16_t e = s.countries.cells.at(p);
  if (e != CountryCells::MIXED) return code_of(s, e);
  return code_of(s, exact_envelope(s.countries, p));
}

std::optional<std::string_view> find_country_from_nearby_airports(const State& s, LatLng p) {
  const int64_t id = s.airport_indexes.all.nearest_one(p, NEARBY_AIRPORT_KM);
  if (id < 0) return std::nullopt;
  return s.airports.country_lower[id];
}

std::optional<std::string_view> find_country_code(const State& s, LatLng p) {
  p.lng = one_antimeridian(p.lng);
  const DecidedCells::Answer* a = s.decided.at(p);
  if (a == nullptr) return find_country_code_from(s, p, 0);
  if (a->code == DecidedCells::OPEN_FROM) return find_country_code_from(s, p, a->detail);
  return s.decided.country(*a);
}

std::optional<std::string_view> find_country_code_procedure(const State& s, LatLng p) {
  p.lng = one_antimeridian(p.lng);
  return find_country_code_from(s, p, 0);
}

std::optional<std::string_view> find_country_code_from(const State& s, LatLng p, int first) {
  if (auto code = special_country(p)) return code;
  if (first <= 0) {
    if (auto code = country_exact(s, p)) return code;
  }
  // Most probes fall in cells that fix their answer; only those near an edge take the ring
  // test. Where no outline comes within the probes' reach, none is tried.
  if (first < COUNTRY_STEPS && !s.countries.cells.quiet_around(p, RADII.back())) {
    for (int k = std::max(first, 1); k < COUNTRY_STEPS; ++k) {
      int64_t e = s.countries.cells.at(probe_at(p, k));
      if (e == CountryCells::MIXED) e = exact_envelope(s.countries, probe_at(p, k));
      if (auto code = code_of(s, e)) return code;
    }
  }
  return find_country_from_nearby_airports(s, p);
}

}  // namespace Gantrix
