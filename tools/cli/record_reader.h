// Reads the batch's input into chunks of records. Line ends (LF or CR LF), a UTF-8 byte order
// mark, quoted fields spanning lines, blank lines and line numbers are dealt with here, so
// whoever answers a chunk sees only rows. Records over kLineLimit become rows marked too
// long; their bytes are passed over as they arrive, never held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chunk.h"
#include "csv.h"

namespace GantrixCli {

// A chunk is handed on at this many bytes or rows: enough to make the hand-over cheap, few
// enough that workers share the input evenly and memory stays small.
inline constexpr std::size_t kChunkBytes = std::size_t{64} << 10;
inline constexpr std::size_t kChunkRows = 2048;

class RecordReader {
 public:
  // Reads fd (never closes it), blocking or not: a descriptor without input yet is waited for.
  // Reads take read_size bytes at most (at least 3); records over limit are too long.
  RecordReader(int fd, char delimiter, std::size_t read_size = std::size_t{64} << 10,
               std::size_t limit = kLineLimit);

  // From now on waiting for input also watches wake_fd: once it is readable, the reader stops
  // as at the end of input (the batch is ending).
  void watch(int wake_fd) { wake_fd_ = wake_fd; }

  // Replaces chunk's rows with the next ones: up to max_rows, or fewer when more input is not
  // there yet (rows are not held back waiting for it). False when no row is left.
  bool fill(Chunk& chunk, std::size_t max_rows = kChunkRows);

  bool byte_order_mark() const { return bom_; }
  // The errno of a failed read, 0 when none failed.
  int error() const { return error_; }

 private:
  bool read_more();
  bool wait_for_input();
  void start();
  void take(std::string_view held, LineEnd end, Chunk& chunk);

  int fd_, wake_fd_ = -1;
  char delimiter_;
  std::size_t limit_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0, end_ = 0;
  bool started_ = false, at_end_ = false, short_read_ = false, bom_ = false;
  int error_ = 0;
  std::uint64_t bytes_read_ = 0, lines_ = 0;
  // The record being read: where the quoting rules stand, its bytes so far (held unless it
  // passed the limit), and its last byte, which tells a CR LF line end.
  Quoting quoting_ = Quoting::field_start;
  std::string held_;
  std::size_t length_ = 0;
  bool skipping_ = false;
  char last_ = '\0';
  std::uint64_t first_line_ = 1;
};

}  // namespace GantrixCli
