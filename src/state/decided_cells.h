// The answers of the country and serving-airport queries for whole cells of the map, worked
// out at build time (builder/decided_cells_builder.h) wherever every point of a cell is proven
// to get the same answer from the full procedure. A point in any other cell runs the procedure.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/column.h"
#include "spatial/coords.h"
#include "spatial/decided_grid.h"
#include "state/text_table.h"

namespace Gantrix {

class DecidedCells {
 public:
  // What every point of a cell gets. code: into `codes`, NO_COUNTRY, or OPEN_FROM when the
  // country is not decided. detail, with a country: the serving airport's id, AIRPORT_OPEN
  // when only the country is decided, or NO_AIRPORT_NEARBY when the country has no airports
  // and none lies near enough to borrow from; with OPEN_FROM: how many of the procedure's
  // steps after the fixed boxes are known to give the cell nothing
  // (find_country_code_from).
  struct Answer {
    int32_t code;
    int32_t detail;
  };
  static constexpr int32_t NO_COUNTRY = -1;
  static constexpr int32_t OPEN_FROM = -2;
  static constexpr int32_t AIRPORT_OPEN = -1;
  static constexpr int32_t NO_AIRPORT_NEARBY = -2;

  // The answer of p's cell, or null when the cell is not decided. p's longitude in -180..180
  // with 180 written as -180.
  [[nodiscard]] const Answer* at(LatLng p) const {
    const uint32_t e = grid.at(p);
    return e == DecidedGrid::UNDECIDED ? nullptr : &answers[e];
  }
  // The country of an answer that has one decided (code is not OPEN_FROM).
  [[nodiscard]] std::optional<std::string_view> country(const Answer& a) const {
    if (a.code == NO_COUNTRY) return std::nullopt;
    return codes[static_cast<size_t>(a.code)];
  }

  template <class V>
  void visit(V& v) {
    v(grid), v(answers), v(codes);
  }

  DecidedGrid grid;
  Column<Answer> answers;
  TextTable codes;  // lower case
};

}  // namespace Gantrix
