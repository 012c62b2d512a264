// Writer latency under full query load: the median and 99th percentile of one gx_set_new +
// gx_set_free while N threads query one set without pause, next to the longest single query
// meanwhile (all a writer should ever have to wait for). Only the C interface is used, so the
// same file measures any build of the library.
// Then the heap a million new+free cycles leave behind.
//   gantrix_writers [READERS...]    default: one reader per core, then 8
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "gantrix.h"

namespace {

using Clock = std::chrono::steady_clock;

double us(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

int64_t new_set(const char* codes, int64_t count) {
  char* h = gx_set_new(codes, count);
  if (h == nullptr) {
    std::fprintf(stderr, "gx_set_new: %s\n", gx_error());
    std::exit(1);
  }
  const int64_t handle = std::atoll(h);
  gx_free(h);
  return handle;
}

void run(int readers) {
  const char* const hubs =
      "ATL\x1fPEK\x1f"
      "DXB\x1fLAX\x1fHND\x1fORD\x1fLHR\x1fPVG\x1f"
      "CDG\x1f"
      "DFW\x1f"
      "CGK\x1f"
      "DEN\x1f"
      "FRA\x1fIST\x1fSIN\x1fICN\x1f"
      "AMS\x1f"
      "DEL\x1fJFK\x1fSFO\x1f"
      "GRU\x1fSYD\x1fJNB\x1fMEX";
  const int64_t shared = new_set(hubs, 24);
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> queries{0};
  std::atomic<int64_t> longest_ns{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < readers; ++t) {
    threads.emplace_back([&, t] {
      uint64_t n = 0;
      int64_t longest = 0;
      uint32_t seed = 0x9E3779B9u * static_cast<uint32_t>(t + 1);
      while (!stop.load(std::memory_order_relaxed)) {
        seed = seed * 1664525u + 1013904223u;
        const double lat = static_cast<double>(seed >> 8) / 16777216.0 * 170.0 - 85.0;
        const double lng = static_cast<double>(seed & 0xFFFF) / 65536.0 * 360.0 - 180.0;
        const auto t0 = Clock::now();
        gx_free(gx_set_nearest(shared, lat, lng, nullptr, 0, 0.0, 0, 5));
        longest = std::max<int64_t>(longest, (Clock::now() - t0).count());
        ++n;
      }
      queries += n;
      int64_t seen = longest_ns.load();
      while (seen < longest && !longest_ns.compare_exchange_weak(seen, longest)) {
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the readers at full speed

  // Cycles for 3 s (at least 200); a watchdog gives up when one cycle takes 30 s.
  std::vector<double> cycles;
  std::atomic<int64_t> cycle_start{0};
  std::atomic<bool> done{false};
  const auto begin = Clock::now();
  std::thread writer([&] {
    while (!stop && (cycles.size() < 200 || Clock::now() - begin < std::chrono::seconds(3))) {
      const auto t0 = Clock::now();
      cycle_start = t0.time_since_epoch().count();
      gx_free(gx_set_free(new_set("CDG", 1)));
      cycles.push_back(us(Clock::now() - t0));
    }
    done = true;
  });
  bool stalled = false;
  while (!done && !stalled) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const auto started = Clock::time_point(Clock::duration(cycle_start.load()));
    stalled = cycle_start.load() != 0 && Clock::now() - started > std::chrono::seconds(30);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  stop = true;
  for (auto& t : threads) t.join();
  writer.join();
  gx_free(gx_set_free(shared));

  std::sort(cycles.begin(), cycles.end());
  const auto at = [&](double q) {
    return cycles[static_cast<size_t>(q * static_cast<double>(cycles.size() - 1))];
  };
  if (stalled) {
    std::printf(
        "%2d readers: STALLED, a new+free cycle was still waiting after 30 s "
        "(%zu cycles before it); %.0f queries/s\n",
        readers, cycles.size() - 1, static_cast<double>(queries.load()) / seconds);
    return;
  }
  std::printf(
      "%2d readers: %7zu new+free cycles, median %8.1f us, p99 %9.1f us, max %10.1f us;"
      " longest query %8.1f us; %.0f queries/s\n",
      readers, cycles.size(), at(0.5), at(0.99), at(1.0),
      static_cast<double>(longest_ns.load()) / 1e3, static_cast<double>(queries.load()) / seconds);
}

// Heap kept by new+free cycles on one thread: the registry's own share of a long-running
// server that makes a set per request.
void growth(int cycles) {
  const auto heap = [] {  // in use, mapped blocks included
    const struct mallinfo2 m = mallinfo2();
    return static_cast<double>(m.uordblks + m.hblkhd);
  };
  gx_free(gx_set_free(new_set("CDG", 1)));
  const double before = heap();
  for (int c = 0; c < cycles; ++c) gx_free(gx_set_free(new_set("CDG", 1)));
  const double kept = heap() - before;
  std::printf("heap kept by %d new+free cycles: %.0f bytes (%.3f per cycle)\n", cycles, kept,
              kept / cycles);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts;
  for (int j = 1; j < argc; ++j) counts.push_back(std::atoi(argv[j]));
  if (counts.empty())
    counts = {static_cast<int>(std::max(1u, std::thread::hardware_concurrency())), 8};
  for (const int n : counts) run(n);
  growth(1000000);
}
