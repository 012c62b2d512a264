// A one-line progress bar on stderr: share of the input read and rows per second.
#pragma once

#include <chrono>
#include <cstdint>

namespace GantrixCli {

class Progress {
 public:
  // A disabled bar (total_bytes 0) draws nothing, so callers need no conditionals.
  explicit Progress(std::uint64_t total_bytes) : total_(total_bytes) {}
  void update(std::uint64_t bytes_read, std::uint64_t rows);
  void finish(std::uint64_t bytes_read, std::uint64_t rows);

 private:
  void draw(std::uint64_t bytes_read, std::uint64_t rows,
            std::chrono::steady_clock::time_point now);

  std::uint64_t total_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace GantrixCli
