#include "query/serving_airport.h"

#include "core/constants.h"
#include "query/country_rules.h"
#include "query/point_in_country.h"

namespace Gantrix {
namespace {

std::string no_airports_message(std::string_view code) {
  return "no airports found in country " + std::string(code) + " or nearby";
}

// The search once the point's country is known.
Located serve(const State& s, LatLng p, std::optional<std::string_view> code) {
  if (!code) return {"", -1, "no country found for coordinates"};
  const AirportIndex* index = s.country_index(*code);
  // A country without airports borrows the index of the country of the nearest airport
  // within growing radii.
  for (size_t r = 0; index == nullptr && r < NEARBY_RADII.size(); ++r) {
    const int64_t a = s.airport_indexes.all.nearest_one(p, NEARBY_RADII[r]);
    if (a >= 0) index = s.country_index(s.airports.country_lower[a]);
  }
  if (index == nullptr) return {*code, -1, no_airports_message(*code)};
  const int64_t id = index->nearest_one(p, INF);
  if (id < 0) return {*code, -1, "could not find nearest airport"};
  return {*code, id, ""};
}

}  // namespace

Located nearest_in_country(const State& s, LatLng p) {
  const LatLng at{p.lat, one_antimeridian(p.lng)};
  const DecidedCells::Answer* a = s.decided.at(at);
  if (a == nullptr) return serve(s, p, find_country_code_from(s, at, 0));
  if (a->code == DecidedCells::OPEN_FROM)
    return serve(s, p, find_country_code_from(s, at, a->detail));
  const auto code = s.decided.country(*a);
  if (code && a->detail >= 0) return {*code, a->detail, ""};
  if (code && a->detail == DecidedCells::NO_AIRPORT_NEARBY) {
    return {*code, -1, no_airports_message(*code)};
  }
  return serve(s, p, code);
}

Located nearest_in_country_procedure(const State& s, LatLng p) {
  return serve(s, p, find_country_code_procedure(s, p));
}

}  // namespace Gantrix
