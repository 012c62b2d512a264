// Answers the rows of a chunk, as JSON lines or as the input's rows with answer columns. Any
// number of answerers may work at once, each on its own chunk. The answers come from the
// library's query layer, the functions behind gx_find and gx_country_at, so they are those
// functions' answers without a JSON text made and read back for each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "batch.h"
#include "chunk.h"
#include "csv.h"
#include "layout.h"

namespace GantrixCli {

// Each airport's columns in CSV output of find (airport, airport_label, the record fields
// chosen), each after a delimiter, written once per batch: a row copies its airport's.
class AirportColumns {
 public:
  AirportColumns(const BatchOptions& options, char delimiter);  // reads the library's State
  std::string_view of(std::int64_t id) const {
    const auto i = static_cast<std::size_t>(id);
    return std::string_view(text_).substr(at_[i], at_[i + 1] - at_[i]);
  }
  std::string_view none() const { return none_; }  // the same columns, empty
  std::size_t longest() const { return longest_; }

 private:
  std::string text_, none_;
  std::vector<std::size_t> at_;
  std::size_t longest_ = 0;
};

class RowAnswerer {
 public:
  // airports is needed for CSV output of find only.
  RowAnswerer(const BatchOptions& options, const Layout& layout, const AirportColumns* airports)
      : options_(options), layout_(layout), airports_(airports) {}

  // Appends each of chunk's rows to chunk.out and counts them in chunk.tally.
  void answer(Chunk& chunk);

  // At most how many bytes a chunk's answers take: the budget reserves that much before the
  // chunk is answered. Reads the library's State (it must load first, on one thread).
  static std::size_t output_bound(const Chunk& chunk, const Layout& layout,
                                  const AirportColumns* airports);

 private:
  enum class Outcome { answered, unanswered, malformed, failed };
  Outcome look_up(const ChunkRow& row, std::string_view text);
  void json_row(const ChunkRow& row, Outcome outcome, std::string& out);
  void csv_row(const ChunkRow& row, std::string_view text, Outcome outcome, std::string& out);

  const BatchOptions& options_;
  const Layout& layout_;
  const AirportColumns* airports_;
  CsvFields split_;
  // The row's answer: its airport (or -1), its country, or why there is none.
  std::int64_t airport_ = -1;
  std::string_view country_, error_;
  std::string message_;  // error_'s text when it is not a constant
};

}  // namespace GantrixCli
