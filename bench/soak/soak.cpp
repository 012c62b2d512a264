// Long-run stability of the shared library as a host sees it: many sets created and freed and
// a long stream of mixed queries, failing calls among them, in one process. After a warm-up
// round the heap in use and the resident size must stay flat (the registry reuses the room
// of freed sets, whatever the number of handles issued); a stream of failing calls alone
// must not grow the heap at all. Prints its figures; exits 1 on growth beyond the tolerance,
// 2 on a wrong answer or bad usage.
//
//   gantrix_soak            a short run (the CTest case)
//   gantrix_soak --full     100,000 sets and 1,000,000 queries
//   gantrix_soak --sets N --queries N
#include <malloc.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "gantrix.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SOAK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SOAK_SANITIZED 1
#endif
#endif
#ifndef SOAK_SANITIZED
#define SOAK_SANITIZED 0
#endif

namespace {

constexpr int kRounds = 10;  // round 1 is the warm-up
constexpr int kLive = 64;    // sets alive at once
// Growth allowed: allocator caches and the search scratch lists, which keep the largest size
// they have met.
constexpr int64_t kHeapSlack = 256 * 1024;
constexpr int64_t kRssSlack = 4 * 1024 * 1024;

constexpr const char* kCodes[] = {
    "OUR", "GOG",  "SNC",  "BNR", "CGO", "CZM", "RIH", "BVI", "ZCL", "KKD",
    "BFS", "CRU",  "TUA",  "TGU", "CEM", "LKE", "CVO", "TME", "BWG", "ETS",
    "KSD", "BYM",  "SOO",  "BOP", "KPN", "BMJ", "FND", "MZD", "THR", "GFK",
    "ELI", "NYR",  "IDO",  "DLY", "IRA", "RSA", "DEC", "BZF", "BWQ", "KCC",
    "JFK", " cdg", "lhr ", "ORY", "SYD", "NRT", "ZZZ", "Q1",  "",    "\xc3\xa9\xc3\xa9"};
constexpr size_t kCodeCount = sizeof kCodes / sizeof kCodes[0];
constexpr const char* kCountries[] = {"fr", "US", "gb", "au", "jp", "xx", ""};

// A fixed-seed generator, so every run makes the same calls.
struct Rng {
  uint64_t s = 0x9E3779B97F4A7C15ull;
  uint64_t next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  }
  double uniform(double lo, double hi) {
    return lo + (hi - lo) * static_cast<double>(next() >> 11) / 9007199254740992.0;
  }
  size_t below(size_t n) { return static_cast<size_t>(next() % n); }
};

int64_t heap_in_use() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<int64_t>(m.uordblks + m.hblkhd);
}

// Anonymous resident memory only: the State image is the library file's own pages, mapped in
// as queries first touch them and shared with every process, so they are no growth of ours.
int64_t resident_bytes() {
  std::ifstream status("/proc/self/status");
  std::string key;
  int64_t kib = 0;
  while (status >> key) {
    if (key == "RssAnon:") {
      status >> kib;
      return kib * 1024;
    }
    status.ignore(1 << 12, '\n');
  }
  return 0;
}

[[noreturn]] void wrong(const char* what, const char* got) {
  std::fprintf(stderr, "soak: wrong answer from %s: %s (gx_error: %s)\n", what,
               got != nullptr ? got : "(null)", gx_error());
  std::exit(2);
}

// A call that must answer: the text is checked for its first byte and freed.
void expect(const char* what, char* got, const char* first_bytes) {
  if (got == nullptr || std::strchr(first_bytes, got[0]) == nullptr) wrong(what, got);
  gx_free(got);
}

// A call that must fail and leave a message within the buffer.
void expect_failure(const char* what, char* got) {
  const char* e = gx_error();
  if (got != nullptr || e == nullptr || e[0] == '\0' || std::strlen(e) > 511) wrong(what, got);
}

class Soak {
 public:
  Soak(int64_t sets, int64_t queries) : sets_(sets), queries_(queries) {}

  // One round: its share of set lifetimes and of queries, interleaved.
  void round(int r) {
    const int64_t sets_end = sets_ * (r + 1) / kRounds;
    const int64_t queries_end = queries_ * (r + 1) / kRounds;
    while (made_ < sets_end || asked_ < queries_end) {
      if (made_ < sets_end) replace_a_set();
      // Queries are spread evenly over the set churn.
      const int64_t due =
          made_ < sets_end && sets_end > 0 ? queries_end * made_ / sets_end : queries_end;
      while (asked_ < due) query();
    }
  }

  void free_all() {
    for (int64_t& h : live_) {
      if (h >= 0) expect("gx_set_free", gx_set_free(h), "n");
      h = -1;
    }
  }

  int64_t made() const { return made_; }
  int64_t asked() const { return asked_; }
  int64_t failed() const { return failed_; }
  int64_t max_handle() const { return max_handle_; }

 private:
  void replace_a_set() {
    const size_t slot = static_cast<size_t>(made_ % kLive);
    if (live_.size() < kLive) live_.push_back(-1);
    if (live_[slot] >= 0) {
      expect("gx_set_free", gx_set_free(live_[slot]), "n");
      freed_.push_back(live_[slot]);
      if (freed_.size() > 256) freed_.erase(freed_.begin());
    }
    std::string codes;
    const size_t n = rng_.below(24);
    for (size_t k = 0; k < n; ++k) {
      if (k > 0) codes.push_back('\x1f');
      codes += kCodes[rng_.below(kCodeCount)];
    }
    char* h = gx_set_new(codes.c_str(), static_cast<int64_t>(n));
    if (h == nullptr) wrong("gx_set_new", h);
    live_[slot] = std::strtoll(h, nullptr, 10);
    if (live_[slot] > max_handle_) max_handle_ = live_[slot];
    gx_free(h);
    ++made_;
  }

  int64_t some_live() {
    for (;;) {
      const int64_t h = live_[rng_.below(live_.size())];
      if (h >= 0) return h;
    }
  }

  void query() {
    ++asked_;
    const double lat = rng_.uniform(-90.0, 90.0);
    const double lng = rng_.uniform(-180.0, 180.0);
    switch (rng_.below(16)) {
      case 0:
      case 1:
      case 2:
        expect("gx_find", gx_find(lat, lng), "{");
        break;
      case 3:
      case 4:
        expect("gx_country_at", gx_country_at(lat, lng), "\"n");
        break;
      case 5:
        expect("gx_airport", gx_airport(kCodes[rng_.below(kCodeCount)]), "{n");
        break;
      case 6:
      case 7: {
        const char* country = kCountries[rng_.below(7)];
        const int64_t limit = rng_.below(8) == 0 ? INT64_MAX : static_cast<int64_t>(rng_.below(12));
        expect("gx_set_nearest",
               gx_set_nearest(some_live(), lat, lng, country, rng_.below(2), 2500.0, rng_.below(2),
                              limit),
               "[");
        break;
      }
      case 8:
      case 9:
        expect("gx_set_resolve",
               gx_set_resolve(some_live(), lat, lng, 800.0, static_cast<int64_t>(rng_.below(2))),
               "{n");
        break;
      case 10:
        expect("gx_set_size", gx_set_size(some_live()), "0123456789");
        break;
      case 11:
        expect("gx_set_include", gx_set_include(some_live(), kCodes[rng_.below(kCodeCount)]), "tf");
        break;
      case 12:
        expect("gx_set_missing", gx_set_missing(some_live()), "[");
        break;
      default:
        fail(lat, lng);
        break;
    }
  }

  // The failing calls: freed, never issued and negative handles, bad coordinates, a null
  // code list; and gx_find's own error document.
  void fail(double lat, double lng) {
    ++failed_;
    const int64_t stale = freed_.empty() ? -1 : freed_[rng_.below(freed_.size())];
    switch (rng_.below(6)) {
      case 0:
        expect_failure("gx_set_size", gx_set_size(stale));
        break;
      case 1:
        expect_failure("gx_set_missing",
                       gx_set_missing(max_handle_ + 1 + static_cast<int64_t>(rng_.below(9))));
        break;
      case 2:
        expect_failure("gx_set_nearest",
                       gx_set_nearest(some_live(), 91.0, lng, nullptr, 0, 0.0, 0, 5));
        break;
      case 3:
        expect_failure("gx_set_resolve", gx_set_resolve(INT64_MIN, lat, NAN, 0.0, 0));
        break;
      case 4:
        expect_failure("gx_set_new", gx_set_new(nullptr, 3));
        break;
      default:
        expect("gx_find", gx_find(NAN, lng), "{");
        break;
    }
  }

  const int64_t sets_;
  const int64_t queries_;
  Rng rng_;
  std::vector<int64_t> live_;
  std::vector<int64_t> freed_;
  int64_t made_ = 0;
  int64_t asked_ = 0;
  int64_t failed_ = 0;
  int64_t max_handle_ = -1;
};

// Heap growth over a stream of failing calls only: the message buffer is fixed, so nothing
// may accumulate.
int64_t error_path_growth(int64_t calls) {
  const char* buffer = gx_error();
  const auto one = [buffer](int64_t k) {
    char* got = (k % 3 == 0)   ? gx_set_size(INT64_MAX - k)
                : (k % 3 == 1) ? gx_set_nearest(-1 - k, 0.0, 0.0, nullptr, 0, 0.0, 0, 1)
                               : gx_set_new(nullptr, k + 1);
    expect_failure("failing call", got);
    if (gx_error() != buffer) wrong("gx_error (buffer moved)", nullptr);
  };
  for (int64_t k = 0; k < 3000; ++k) one(k);  // warm
  const int64_t before = heap_in_use();
  for (int64_t k = 0; k < calls; ++k) one(k);
  return heap_in_use() - before;
}

double mib(int64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

}  // namespace

int main(int argc, char** argv) {
  int64_t sets = SOAK_SANITIZED ? 2000 : 10000;
  int64_t queries = SOAK_SANITIZED ? 20000 : 100000;
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    if (arg == "--full") {
      sets = 100000;
      queries = 1000000;
    } else if ((arg == "--sets" || arg == "--queries") && a + 1 < argc) {
      (arg == "--sets" ? sets : queries) = std::strtoll(argv[++a], nullptr, 10);
    } else {
      std::fprintf(stderr, "usage: gantrix_soak [--full] [--sets N] [--queries N]\n");
      return 2;
    }
  }
  if (sets < kRounds || queries < kRounds) {
    std::fprintf(stderr, "soak: need at least %d sets and queries\n", kRounds);
    return 2;
  }

  const auto start = std::chrono::steady_clock::now();
  Soak soak(sets, queries);
  std::printf("soak: %lld sets, %lld queries, %d rounds (round 1 warms up)\n",
              static_cast<long long>(sets), static_cast<long long>(queries), kRounds);
  std::printf("%5s %10s %10s %12s %12s\n", "round", "sets", "queries", "heap MiB", "rss MiB");
  int64_t heap0 = 0, rss0 = 0, heap_peak_growth = 0, rss_peak_growth = 0;
  for (int r = 0; r < kRounds; ++r) {
    soak.round(r);
    const int64_t heap = heap_in_use(), rss = resident_bytes();
    std::printf("%5d %10lld %10lld %12.3f %12.3f\n", r + 1, static_cast<long long>(soak.made()),
                static_cast<long long>(soak.asked()), mib(heap), mib(rss));
    if (r == 0) {
      heap0 = heap;
      rss0 = rss;
    } else {
      heap_peak_growth = std::max(heap_peak_growth, heap - heap0);
      rss_peak_growth = std::max(rss_peak_growth, rss - rss0);
    }
  }
  const int64_t error_growth = error_path_growth(queries / 10);
  soak.free_all();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::printf("handles issued: %llu\n", static_cast<unsigned long long>(soak.max_handle() + 1));
  std::printf("failing calls in the mix: %lld; heap growth over %lld more: %lld bytes\n",
              static_cast<long long>(soak.failed()), static_cast<long long>(queries / 10),
              static_cast<long long>(error_growth));
  std::printf(
      "after warm-up: heap growth peak %.3f MiB (allowed %.3f), rss growth peak %.3f MiB "
      "(allowed %.3f)\n",
      mib(heap_peak_growth), mib(kHeapSlack), mib(rss_peak_growth), mib(kRssSlack));
  std::printf("time: %.1f s (%.0f queries/s)\n", seconds,
              static_cast<double>(soak.asked()) / seconds);

  if (SOAK_SANITIZED) {
    // A sanitizer's allocator holds freed blocks back and its shadow memory grows with every
    // page first touched, so sizes say nothing here; AddressSanitizer's leak check at exit
    // covers what this run allocated.
    std::printf("memory checks skipped under a sanitizer\n");
    std::printf("1 passed, 0 failed\n");
    return 0;
  }
  bool ok = true;
  if (heap_peak_growth > kHeapSlack) {
    std::printf("FAIL: the heap grew\n");
    ok = false;
  }
  if (rss_peak_growth > kRssSlack) {
    std::printf("FAIL: the resident size grew\n");
    ok = false;
  }
  if (error_growth > 0) {
    std::printf("FAIL: failing calls grew the heap\n");
    ok = false;
  }
  std::printf("%d passed, %d failed\n", ok ? 1 : 0, ok ? 0 : 1);
  return ok ? 0 : 1;
}
