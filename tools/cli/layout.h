// Where a batch's coordinates are and what it writes: the coordinate columns, found from
// options or the header, and the answer columns of CSV output.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "batch.h"

namespace GantrixCli {

// The airport record fields --fields adds to CSV output, in their column order.
inline constexpr std::string_view kRecordFields[] = {"airport_iata", "airport_name", "airport_city",
                                                     "airport_country", "airport_lat", "airport_lng"};

// The index of a record field's name in kRecordFields, or -1.
inline int record_field(std::string_view name) {
  for (std::size_t i = 0; i < std::size(kRecordFields); ++i)
    if (kRecordFields[i] == name) return static_cast<int>(i);
  return -1;
}

// The columns CSV output appends, in order: country, then for find airport, airport_label and
// the chosen record fields, then error.
std::vector<std::string_view> answer_columns(const BatchOptions& options);

// A batch that cannot start as asked: exit status 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Layout {
  char delimiter = ',';
  std::size_t lat = 0, lng = 1;  // columns, from 0
  std::size_t columns = 2;       // fields of the header, or of the first row
  bool header = false;           // the first record is a header: no row
};

// The delimiter the input is read with: --delimiter, else tab for --format tsv or a .tsv file,
// else a comma.
char input_delimiter(const BatchOptions& options);

// Decides the layout from the first record (none for an empty input): the first record is a
// header when the coordinate columns do not hold numbers there. Throws UsageError when the
// columns cannot be told, or the header already has an answer column's name.
Layout decide_layout(const BatchOptions& options, const std::string_view* first);

}  // namespace GantrixCli
