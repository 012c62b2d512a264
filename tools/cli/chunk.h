// A run of input rows on its way from the reader to the writer, with their answers. Chunks
// are reused; a batch's memory is bounded by the chunks in flight (batch.cpp keeps them
// within one byte budget), whatever the input's length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace GantrixCli {

// Longest record read, its line end (CR LF) and a byte order mark aside: a longer one is
// answered "line too long" without being held.
inline constexpr std::size_t kLineLimit = std::size_t{1} << 20;

enum class LineEnd : std::uint8_t { none, lf, crlf };

inline std::string_view line_end_text(LineEnd end) {
  return end == LineEnd::crlf ? "\r\n" : end == LineEnd::lf ? "\n" : "";
}

struct ChunkRow {
  std::uint64_t line;          // the line the record starts on, from 1
  std::size_t offset, length;  // the record's text in Chunk::text, without its line end
  LineEnd end;
  bool too_long;  // over kLineLimit: no text was kept
};

// How the rows of a chunk, or of a whole batch, were answered.
struct Tally {
  std::uint64_t answered = 0;
  std::uint64_t unanswered = 0;  // the library's answer is that there is none (sea, null)
  std::uint64_t malformed = 0;   // coordinates missing, unreadable or invalid, line too long
  std::uint64_t failed = 0;      // the library failed

  Tally& operator+=(const Tally& t) {
    answered += t.answered, unanswered += t.unanswered;
    malformed += t.malformed, failed += t.failed;
    return *this;
  }
  std::uint64_t rows() const { return answered + unanswered + malformed + failed; }
};

struct Chunk {
  std::string text;
  std::vector<ChunkRow> rows;
  std::uint64_t bytes_read = 0;  // input read by the end of this chunk, for the progress bar
  std::string out;               // the answered rows, in order
  Tally tally;

  std::string_view row_text(const ChunkRow& row) const {
    return std::string_view(text).substr(row.offset, row.length);
  }
  // Bytes held, counted against the batch's budget.
  std::size_t bytes() const {
    return text.capacity() + out.capacity() + rows.capacity() * sizeof(ChunkRow);
  }
  void clear() {
    text.clear();
    rows.clear();
    out.clear();
    tally = {};
  }
  // Gives the buffers back (assigning an empty string may keep the old one).
  void release() {
    std::string().swap(text);
    std::string().swap(out);
    std::vector<ChunkRow>().swap(rows);
    tally = {};
  }
};

}  // namespace GantrixCli
