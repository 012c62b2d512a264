// The loaded data every query reads, in three parts: the airport table, the country index
// and the nearest-airport indexes. Built once from the embedded texts on first need and
// read-only afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "data/airport_table.h"
#include "data/country_airports.h"
#include "data/country_index.h"

namespace Gantrix {

class State {
 public:
  State(std::string_view airports_json, std::string_view countries_json);
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  // The airport index of a lower-case country code, or null.
  [[nodiscard]] const AirportIndex* country_index(std::string_view code) const {
    return airport_indexes.of(code);
  }
  // The airport id of an upper-case IATA code, or -1.
  [[nodiscard]] int64_t airport_id(std::string_view code) const { return airports.id_of(code); }
  // Bytes held by the three parts (approximate for maps).
  [[nodiscard]] size_t bytes() const {
    return airports.bytes() + countries.bytes() + airport_indexes.bytes();
  }

  AirportTable airports;
  CountryIndex countries;
  CountryAirports airport_indexes;
};

// The process-wide State, built from the embedded datasets on the first call, once, whichever
// thread calls first (the others wait for it). Stored only when complete: if building throws,
// nothing is kept and the next call tries again.
const State& state();

}  // namespace Gantrix
