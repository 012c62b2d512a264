// The airports: the dataset's records as columns by airport id, the IATA code map, and what
// every result writes about an airport, rendered once at build time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/column.h"
#include "state/text_table.h"

namespace Gantrix {

// Filled at build time (builder/airport_loader.h); read-only after.
class AirportTable {
 public:
  // The airport id of an upper-case IATA code, or -1.
  [[nodiscard]] int64_t id_of(std::string_view iata_code) const;
  [[nodiscard]] size_t size() const { return lat.size(); }

  template <class V>
  void visit(V& v) {
    v(iata), v(name), v(city), v(country), v(lat), v(lng), v(code_key), v(code_id);
    v(country_lower), v(code), v(display), v(fields), v(answer);
  }

  // The dataset's columns, by airport id.
  TextTable iata;
  TextTable name;
  TextTable city;
  TextTable country;
  Column<double> lat;
  Column<double> lng;
  // The upper-case IATA codes in byte order, and the airport each names.
  TextTable code_key;
  Column<int32_t> code_id;

  TextTable country_lower;  // the lower-case country code, the key of sets

  // Rendered once at build time: the composite code (us.jfk) and the display name ("City,
  // Country").
  TextTable code;
  TextTable display;
  // Each airport's object members without braces, and its answer to "which airport serves
  // this point", {"code":...,"name":...}.
  TextTable fields;
  TextTable answer;
};

}  // namespace Gantrix
