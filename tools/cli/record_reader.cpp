#include "record_reader.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace GantrixCli {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool is_blank(std::string_view text) {
  return text.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

RecordReader::RecordReader(int fd, char delimiter, std::size_t read_size, std::size_t limit)
    : fd_(fd), delimiter_(delimiter), limit_(limit), buffer_(std::max<std::size_t>(read_size, 3)) {}

// The mark is taken off before any rule sees the bytes: a quote right after it opens the first
// field, and the line limit does not count it.
void RecordReader::start() {
  started_ = true;
  while (end_ < kByteOrderMark.size() && !at_end_ && read_more()) {
  }
  if (std::string_view(buffer_.data(), end_).starts_with(kByteOrderMark)) {
    bom_ = true;
    pos_ = kByteOrderMark.size();
  }
}

bool RecordReader::fill(Chunk& chunk, std::size_t max_rows) {
  chunk.clear();
  if (!started_) start();
  for (;;) {
    while (pos_ < end_) {
      const char* start = buffer_.data() + pos_;
      const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
      const std::string_view piece(start, newline ? static_cast<std::size_t>(newline - start)
                                                  : end_ - pos_);
      pos_ += piece.size() + (newline ? 1 : 0);
      // Only a quote can open a quoted field; without one, the piece's last byte says where
      // the rules stand.
      if (quoting_ == Quoting::quoted || piece.find('"') != std::string_view::npos) {
        quoting_ = scan_quotes(quoting_, piece, delimiter_);
      } else if (!piece.empty()) {
        quoting_ = piece.back() == delimiter_ ? Quoting::field_start : Quoting::unquoted;
      }
      if (!piece.empty()) last_ = piece.back();
      const bool ends = newline != nullptr && quoting_ != Quoting::quoted;
      if (ends && held_.empty() && !skipping_ && length_ == 0) {  // most records: in one piece
        ++lines_;
        length_ = piece.size();
        take(piece, LineEnd::lf, chunk);
      } else {
        // The limit leaves room for the CR of a CR LF, which is not counted.
        length_ += piece.size() + (newline && !ends ? 1 : 0);
        if (!skipping_ && length_ > limit_ + 1) {
          skipping_ = true;
          held_.clear();
        }
        if (!skipping_) {
          held_.append(piece);
          if (newline && !ends) held_ += '\n';
        }
        if (newline) {
          ++lines_;
          if (!ends) {
            last_ = '\n';
          } else {
            take(held_, LineEnd::lf, chunk);
          }
        }
      }
      if (chunk.text.size() >= kChunkBytes || chunk.rows.size() >= max_rows) {
        chunk.bytes_read = bytes_read_;
        return true;
      }
    }
    // Rows in hand are handed on before a read that could wait for more input.
    if (at_end_ || (short_read_ && !chunk.rows.empty()) || !read_more()) break;
  }
  if (at_end_ && length_ > 0) take(held_, LineEnd::none, chunk);  // a last line without '\n'
  chunk.bytes_read = bytes_read_;
  return !chunk.rows.empty();
}

void RecordReader::take(std::string_view held, LineEnd end, Chunk& chunk) {
  const std::uint64_t line = first_line_;
  first_line_ = lines_ + 1;
  std::size_t length = length_;
  if (end == LineEnd::lf && last_ == '\r') {
    end = LineEnd::crlf;
    --length;
  }
  const bool too_long = length > limit_;
  length_ = 0;
  last_ = '\0';
  skipping_ = false;
  quoting_ = Quoting::field_start;
  held = held.substr(0, length);
  if (too_long || !is_blank(held)) {
    chunk.rows.push_back({line, chunk.text.size(), too_long ? 0 : length, end, too_long});
    if (!too_long) chunk.text.append(held);
  }
  held_.clear();  // its room is kept: at most a record at the limit
}

bool RecordReader::wait_for_input() {
  pollfd watch[2] = {{fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
  while (poll(watch, wake_fd_ >= 0 ? 2 : 1, -1) < 0) {
    if (errno != EINTR) {
      error_ = errno;
      return false;
    }
  }
  return wake_fd_ < 0 || watch[1].revents == 0;
}

bool RecordReader::read_more() {
  if (pos_ == end_) pos_ = end_ = 0;
  // With a way to be woken, wait first: a blocking read could not be interrupted.
  if (wake_fd_ >= 0 && !wait_for_input()) {
    at_end_ = true;
    return false;
  }
  for (;;) {
    const ssize_t n = read(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (n > 0) {
      end_ += static_cast<std::size_t>(n);
      short_read_ = end_ < buffer_.size();
      bytes_read_ += static_cast<std::uint64_t>(n);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A descriptor without input yet: wait for it, then read again.
      if (wait_for_input()) continue;
    } else if (n < 0) {
      error_ = errno;
    }
    at_end_ = true;
    return false;
  }
}

}  // namespace GantrixCli
