// The nearest-airport indexes the queries search: one over every airport (entry i is
// airport i) and one per country over that country's airports.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/column.h"
#include "spatial/airport_index.h"

namespace Gantrix {

class CountryAirports {
 public:
  // Built at build time (builder/state_builder.h); read-only after.
  CountryAirports() = default;
  CountryAirports(const CountryAirports&) = delete;
  CountryAirports& operator=(const CountryAirports&) = delete;
  CountryAirports(CountryAirports&&) noexcept = default;
  CountryAirports& operator=(CountryAirports&&) noexcept = default;

  // The index of a lower-case country code, or null.
  [[nodiscard]] const AirportIndex* of(std::string_view code) const {
    const int slot = two_letter_slot(code);
    if (slot < 0 || static_cast<size_t>(slot) >= country_of_slot.size()) return nullptr;
    const int32_t c = country_of_slot[static_cast<size_t>(slot)];
    return c < 0 ? nullptr : &countries[static_cast<size_t>(c)];
  }

  template <class V>
  void visit(V& v) {
    uint64_t n = countries.size();
    v(all), v.count(n);
    countries.resize(n);
    for (AirportIndex& index : countries) v(index);
    v(country_of_slot);
  }

  AirportIndex all;
  // One index per country that has airports, in order of first appearance, and for each
  // pair of letters (aa, ab, ... zz) its country's place in that list, or -1.
  std::vector<AirportIndex> countries;
  Column<int32_t> country_of_slot;

  // The place of a key of two lower-case letters among the pairs, or -1.
  static int two_letter_slot(std::string_view code) {
    const auto letter = [](char c) { return c >= 'a' && c <= 'z'; };
    if (code.size() != 2 || !letter(code[0]) || !letter(code[1])) return -1;
    return (code[0] - 'a') * 26 + (code[1] - 'a');
  }
};

}  // namespace Gantrix
