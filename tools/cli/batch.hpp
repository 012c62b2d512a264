// gantrix batch: one lookup per CSV row, one JSON line per row, in input order.
#pragma once

#include <string>

namespace gantrix_cli {

enum class BatchOp { find, country };

struct BatchOptions {
  BatchOp op = BatchOp::find;
  std::string path = "-";  // "-" reads standard input
  bool quiet = false;
};

// Returns the exit status: 0 every row answered, 1 some row failed, 2 the input could not be read.
int run_batch(const BatchOptions &options);

}  // namespace gantrix_cli
