// Reads the batch's input into chunks of rows: line numbers, line ends (LF or CRLF), a UTF-8
// byte order mark, blank lines and the header are dealt with here, so whoever answers a
// chunk sees only rows. Lines over kLineLimit become rows marked too long; their bytes are
// skipped as they arrive, never held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chunk.h"
#include "csv_row.h"

namespace GantrixCli {

class LineReader {
 public:
  // Reads fd (never closes it). When wake_fd is not -1, waiting for input also watches it:
  // once it is readable, the reader stops as at the end of input (the batch is ending).
  explicit LineReader(int fd, int wake_fd = -1);

  // Replaces chunk's rows with the next ones: up to a chunk's worth, or fewer when more
  // input is not there yet (rows are not held back waiting for it). False when no row is
  // left.
  bool fill(Chunk& chunk);

  // The errno of a failed read, 0 when none failed.
  int error() const { return error_; }

 private:
  bool read_more();
  void keep_partial(std::string_view bytes);
  void take_line(std::string_view line, Chunk& chunk);
  void take_too_long(Chunk& chunk);
  bool is_header(std::string_view line);

  int fd_, wake_fd_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0, end_ = 0;
  bool at_end_ = false, short_read_ = false;
  int error_ = 0;
  std::uint64_t bytes_read_ = 0, line_number_ = 0;
  std::string partial_;    // the start of a line cut by the end of the buffer
  bool skipping_ = false;  // inside a line over the limit: drop bytes up to its end
  bool seen_row_ = false;
  CsvRow header_row_;
};

}  // namespace GantrixCli
