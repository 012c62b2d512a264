#include "line_reader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "degrees.h"

namespace GantrixCli {

namespace {

constexpr std::size_t kReadSize = std::size_t{64} << 10;
// A chunk is handed on at this many bytes or rows: enough to make the hand-over cheap,
// few enough that workers share the input evenly and memory stays small.
constexpr std::size_t kChunkBytes = std::size_t{64} << 10;
constexpr std::size_t kChunkRows = 2048;

bool is_blank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

LineReader::LineReader(int fd, int wake_fd) : fd_(fd), wake_fd_(wake_fd), buffer_(kReadSize) {}

bool LineReader::fill(Chunk& chunk) {
  chunk.clear();
  for (;;) {
    while (pos_ < end_) {
      const char* start = buffer_.data() + pos_;
      const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
      if (newline == nullptr) {
        keep_partial({start, end_ - pos_});
        pos_ = end_;
        break;
      }
      const std::string_view rest(start, static_cast<std::size_t>(newline - start));
      pos_ += rest.size() + 1;
      if (skipping_ || partial_.size() + rest.size() > kLineLimit) {
        take_too_long(chunk);
      } else if (!partial_.empty()) {
        partial_.append(rest);
        take_line(partial_, chunk);
        partial_.clear();
      } else {
        take_line(rest, chunk);
      }
      if (chunk.text.size() >= kChunkBytes || chunk.lines.size() >= kChunkRows) {
        chunk.bytes_read = bytes_read_;
        return true;
      }
    }
    // Rows in hand are handed on before a read that could wait for more input.
    if (at_end_ || (short_read_ && !chunk.lines.empty()) || !read_more()) break;
  }
  if (at_end_ && (skipping_ || !partial_.empty())) {  // a last line without its '\n'
    if (skipping_) {
      take_too_long(chunk);
    } else {
      take_line(partial_, chunk);
      partial_.clear();
    }
  }
  chunk.bytes_read = bytes_read_;
  return !chunk.lines.empty();
}

bool LineReader::read_more() {
  if (wake_fd_ >= 0) {
    pollfd watch[2] = {{fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
    while (poll(watch, 2, -1) < 0) {
      if (errno != EINTR) {
        error_ = errno;
        at_end_ = true;
        return false;
      }
    }
    if (watch[1].revents != 0) {
      at_end_ = true;
      return false;
    }
  }
  ssize_t n;
  do {
    n = read(fd_, buffer_.data(), buffer_.size());
  } while (n < 0 && errno == EINTR);
  if (n <= 0) {
    if (n < 0) error_ = errno;
    at_end_ = true;
    return false;
  }
  pos_ = 0;
  end_ = static_cast<std::size_t>(n);
  short_read_ = end_ < buffer_.size();
  bytes_read_ += end_;
  return true;
}

void LineReader::keep_partial(std::string_view bytes) {
  if (skipping_) return;
  if (partial_.size() + bytes.size() > kLineLimit) {
    partial_.clear();
    skipping_ = true;
  } else {
    partial_.append(bytes);
  }
}

void LineReader::take_too_long(Chunk& chunk) {
  ++line_number_;
  seen_row_ = true;
  skipping_ = false;
  partial_.clear();
  chunk.lines.push_back({line_number_, chunk.text.size(), 0, true});
}

void LineReader::take_line(std::string_view line, Chunk& chunk) {
  ++line_number_;
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (line_number_ == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
  if (is_blank(line)) return;
  if (!seen_row_) {
    seen_row_ = true;
    if (is_header(line)) {
      // Said aloud: a first row of data in an unreadable syntax would otherwise vanish.
      std::fprintf(stderr,
                   "gantrix: line %" PRIu64
                   " taken as a header (no number in its first two fields), not answered\n",
                   line_number_);
      return;
    }
  }
  chunk.lines.push_back({line_number_, chunk.text.size(), line.size(), false});
  chunk.text.append(line);
}

// The first row is a header when none of its first two fields is a number.
bool LineReader::is_header(std::string_view line) {
  if (!header_row_.split(line)) return false;
  const auto& fields = header_row_.fields();
  double ignored;
  const auto number = [&](std::size_t i) {
    return i < fields.size() && read_degrees(fields[i], ignored) != Degrees::not_a_number;
  };
  return !number(0) && !number(1);
}

}  // namespace GantrixCli
