// The nearest-airport indexes the queries search: one over every airport (entry i is
// airport i) and one per lower-case country code over that country's airports.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/airport_table.h"
#include "spatial/airport_index.h"

namespace Gantrix {

// A stable grouping of item ids by key: groups in order of their key's first appearance,
// ids within a group in input order.
struct Groups {
  Groups(const std::vector<std::string>& item_keys, const std::vector<int32_t>& ids);
  [[nodiscard]] std::vector<int32_t> members(size_t g) const;

  std::vector<std::string> keys;
  std::vector<int64_t> start;
  std::vector<int32_t> items;
};

class CountryAirports {
 public:
  CountryAirports() = default;
  explicit CountryAirports(const AirportTable& table);
  CountryAirports(const CountryAirports&) = delete;
  CountryAirports& operator=(const CountryAirports&) = delete;

  // The index of a lower-case country code, or null.
  [[nodiscard]] const AirportIndex* of(std::string_view code) const {
    if (const int slot = two_letter_slot(code); slot >= 0) return two_letter[slot];
    const auto it = by_country.find(code);
    return it == by_country.end() ? nullptr : &it->second;
  }
  [[nodiscard]] size_t bytes() const;

  std::unique_ptr<AirportIndex> all;
  TextMap<AirportIndex> by_country;
  // The same indexes for the keys of two lower-case letters (nearly all), without hashing.
  std::array<const AirportIndex*, 26 * 26> two_letter{};

 private:
  // The place of a key of two lower-case letters in two_letter, or -1.
  static int two_letter_slot(std::string_view code) {
    const auto letter = [](char c) { return c >= 'a' && c <= 'z'; };
    if (code.size() != 2 || !letter(code[0]) || !letter(code[1])) return -1;
    return (code[0] - 'a') * 26 + (code[1] - 'a');
  }
};

}  // namespace Gantrix
