// gantrix batch: one lookup per CSV row, answered in input order as JSON lines or as the
// input's rows with answer columns appended.
#pragma once

#include <string>

namespace GantrixCli {

enum class BatchOp { find, country };
enum class Format { json, csv, tsv };  // csv and tsv write the input's rows, extended

struct BatchOptions {
  BatchOp op = BatchOp::find;
  Format format = Format::json;
  std::string path = "-";  // "-" reads standard input
  std::string lat, lng;    // coordinate columns, by header name or number from 1
  char delimiter = '\0';   // '\0': see input_delimiter (layout.h)
  unsigned fields = 0;     // record fields added to CSV output, bit i for kRecordFields[i]
  bool quiet = false;
  unsigned jobs = 1;  // threads answering rows; the output is the same for any number
};

// The default for jobs: the processors this process may run on, at most kDefaultJobsCap.
inline constexpr unsigned kDefaultJobsCap = 16;
unsigned default_jobs();

// Returns the exit status: 0 every row read and answered (no answer included), 1 some row
// malformed, the library failed or the output could not be written (the batch stops at the
// first failed write), 2 the batch could not start as asked or the input could not be read.
int run_batch(const BatchOptions& options);

}  // namespace GantrixCli
