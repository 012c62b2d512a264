// The nearest-airport indexes the queries search: one over every airport (entry i is
// airport i) and one per country over that country's airports.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/column.h"
#include "data/airport_table.h"
#include "spatial/airport_index.h"

namespace Gantrix {

// A stable grouping of item ids by key: groups in order of their key's first appearance,
// ids within a group in input order.
struct Groups {
  template <class Keys>
  Groups(const Keys& item_keys, const std::vector<int32_t>& ids);
  [[nodiscard]] std::vector<int32_t> members(size_t g) const;

  std::vector<std::string> keys;
  std::vector<int64_t> start;
  std::vector<int32_t> items;

 private:
  void sort(const std::vector<int64_t>& group, const std::vector<int32_t>& ids);
};

template <class Keys>
Groups::Groups(const Keys& item_keys, const std::vector<int32_t>& ids) {
  // Group numbers by first appearance, then the ids sorted by group.
  TextMap<int64_t> number;
  std::vector<int64_t> group(item_keys.size());
  for (size_t j = 0; j < item_keys.size(); ++j) {
    const std::string_view key = item_keys[j];
    auto it = number.find(key);
    if (it == number.end()) {
      it = number.emplace(std::string(key), static_cast<int64_t>(keys.size())).first;
      keys.emplace_back(key);
    }
    group[j] = it->second;
  }
  sort(group, ids);
}

class CountryAirports {
 public:
  CountryAirports() = default;
  // Every airport's country code is two lower-case letters (the table checks them).
  explicit CountryAirports(const AirportTable& table);
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
  [[nodiscard]] size_t bytes() const;

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

 private:
  // The place of a key of two lower-case letters among the pairs, or -1.
  static int two_letter_slot(std::string_view code) {
    const auto letter = [](char c) { return c >= 'a' && c <= 'z'; };
    if (code.size() != 2 || !letter(code[0]) || !letter(code[1])) return -1;
    return (code[0] - 'a') * 26 + (code[1] - 'a');
  }
};

}  // namespace Gantrix
