// gantrix batch: one lookup per CSV row, one JSON line per row, in input order.
#pragma once

#include <string>

namespace GantrixCli {

enum class BatchOp { find, country };

struct BatchOptions {
  BatchOp op = BatchOp::find;
  std::string path = "-";  // "-" reads standard input
  bool quiet = false;
  unsigned jobs = 1;  // threads answering rows; the output is the same for any number
};

// The number of processors this process may run on: the default for jobs.
unsigned available_cores();

// Returns the exit status: 0 every row answered, 1 some row failed or the output could not be
// written (the batch stops at the first failed write), 2 the input could not be read.
int run_batch(const BatchOptions& options);

}  // namespace GantrixCli
