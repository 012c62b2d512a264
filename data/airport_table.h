// The airports: the dataset's records as columns by airport id, the IATA code map, and what
// every result writes about an airport, rendered once at load.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/column.h"

#include "data/text_table.h"

namespace Gantrix {

// One record of the airport dataset, as read.
struct Airport {
  std::string iata;
  std::string name;
  std::string city;
  std::string country;
  double lat = 0.0;
  double lng = 0.0;
};

// Case mapping for codes: ASCII letters only; every other byte is left as it is.
std::string upper(std::string_view s);
std::string lower(std::string_view s);

// Map keyed by text that can be probed with a string_view without building a string.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
template <class V>
using TextMap = std::unordered_map<std::string, V, TextHash, std::equal_to<>>;

class AirportTable {
 public:
  // Reads the dataset's array of airport objects (data/airport_loader.cpp) and checks it:
  // coordinates on the globe, IATA codes unique (ignoring case), countries of two letters.
  // The rendered texts stay empty until render.
  static AirportTable from_json(std::string_view airports_json) {
    AirportTable t;
    t.read(airports_json);
    return t;
  }
  // Writes each airport's display name and result texts; country_name(code) gives the name
  // of an upper-case country code (the code itself when unknown).
  template <class CountryName>
  void render(CountryName&& country_name);

  // The airport id of an upper-case IATA code, or -1.
  [[nodiscard]] int64_t id_of(std::string_view iata_code) const;
  [[nodiscard]] size_t size() const { return lat.size(); }
  [[nodiscard]] size_t bytes() const;

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

  // Rendered once at load: the composite code (us.jfk) and the display name ("City, Country").
  TextTable code;
  TextTable display;
  // Each airport's object members without braces, and its answer to "which airport serves
  // this point", {"code":...,"name":...}.
  TextTable fields;
  TextTable answer;

 private:
  void read(std::string_view airports_json);
  void render_names(const std::vector<std::string>& country_names);
};

template <class CountryName>
void AirportTable::render(CountryName&& country_name) {
  std::vector<std::string> names;
  names.reserve(size());
  for (size_t i = 0; i < size(); ++i) names.push_back(country_name(upper(country[i])));
  render_names(names);
}

}  // namespace Gantrix
