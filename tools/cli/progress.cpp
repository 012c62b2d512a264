#include "progress.h"

#include <algorithm>
#include <cstdio>

namespace GantrixCli {

namespace {
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kWidth = 30;
}  // namespace

void Progress::update(std::uint64_t bytes_read, std::uint64_t rows) {
  if (total_ == 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_draw_ >= kRedrawEvery) draw(bytes_read, rows, now);
}

void Progress::finish(std::uint64_t bytes_read, std::uint64_t rows) {
  if (total_ == 0) return;
  draw(bytes_read, rows, std::chrono::steady_clock::now());
  std::fputc('\n', stderr);
}

void Progress::draw(std::uint64_t bytes_read, std::uint64_t rows,
                    std::chrono::steady_clock::time_point now) {
  last_draw_ = now;
  const double share = std::min(1.0, static_cast<double>(bytes_read) / static_cast<double>(total_));
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const auto rate =
      seconds > 0 ? static_cast<unsigned long long>(static_cast<double>(rows) / seconds) : 0ULL;
  const int filled = static_cast<int>(share * kWidth);
  char bar[kWidth + 1];
  std::fill(bar, bar + kWidth, '.');
  std::fill(bar, bar + filled, '#');
  bar[kWidth] = '\0';
  // \r and erase-to-end-of-line redraw the same line in place.
  std::fprintf(stderr, "\r[%s] %3d%%  %llu rows  %llu rows/s\x1b[K", bar,
               static_cast<int>(share * 100), static_cast<unsigned long long>(rows), rate);
  std::fflush(stderr);
}

}  // namespace GantrixCli
