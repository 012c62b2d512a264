// A run of input rows on its way from the reader to the writer, with their answers. Chunks
// are reused: their buffers keep their capacity, so a batch's memory is bounded by the
// chunks in flight and the longest line, whatever the input's length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace GantrixCli {

// Longest line read, its end ('\n') aside: a longer one is answered "line too long" without
// being held.
inline constexpr std::size_t kLineLimit = std::size_t{1} << 20;

struct ChunkLine {
  std::uint64_t number;        // line number in the input, from 1
  std::size_t offset, length;  // the row's text in Chunk::text, without its line end
  bool too_long;               // over kLineLimit: no text was kept
};

struct Chunk {
  std::string text;
  std::vector<ChunkLine> lines;
  std::uint64_t bytes_read = 0;  // input read by the end of this chunk, for the progress bar
  std::string out;               // one JSON line per row, in order
  bool failed = false;           // some row was answered with an error

  std::string_view line_text(const ChunkLine& line) const {
    return std::string_view(text).substr(line.offset, line.length);
  }
  void clear() {
    text.clear();
    lines.clear();
    out.clear();
    failed = false;
  }
};

}  // namespace GantrixCli
