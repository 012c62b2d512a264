// Answers the rows of a chunk, one JSON line each. Any number of answerers may work at once,
// each on its own chunk: the library builds its State once, on whichever call comes first.
#pragma once

#include <string>
#include <string_view>

#include "batch.h"
#include "chunk.h"
#include "csv_row.h"

namespace GantrixCli {

class RowAnswerer {
 public:
  explicit RowAnswerer(BatchOp op) : op_(op) {}

  // Appends the line of each of chunk's rows to chunk.out; sets chunk.failed when one failed.
  void answer(Chunk& chunk);

 private:
  bool row(const ChunkLine& line, std::string_view text, std::string& out);

  BatchOp op_;
  CsvRow row_;
};

}  // namespace GantrixCli
