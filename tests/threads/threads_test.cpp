// Many threads at once through the exported functions: every answer must equal the one the
// same call gave on one thread, sets are created and freed while others query theirs, and
// each thread reads its own last failure. Run under ThreadSanitizer by the tsan preset.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "bench/workload.h"
#include "gantrix.h"
#include "tests/support/take.h"

namespace {

constexpr int kThreads = 8;

using Gantrix::test::take;

// A call and the answer it gave on one thread.
struct Call {
  int kind;
  double lat, lng;
  std::string code;
  std::string want;
};

// Codes of a set every thread builds for itself, and the answers such a set gives.
const char* const kSetCodes = "CDG\x1fJFK\x1fLHR\x1fNRT\x1fSYD\x1fGRU\x1fJNB\x1fzzz\x1f LAX ";

std::string run(const Call& c, int64_t shared_set) {
  switch (c.kind) {
    case 0:
      return take(gx_find(c.lat, c.lng));
    case 1:
      return take(gx_country_at(c.lat, c.lng));
    case 2:
      return take(gx_airport(c.code.c_str()));
    case 3:
      return take(gx_set_nearest(shared_set, c.lat, c.lng, nullptr, 0, 0.0, 0, 3));
    case 4:
      return take(gx_set_resolve(shared_set, c.lat, c.lng, 800.0, 1));
    default:
      return take(gx_set_include(shared_set, c.code.c_str()));
  }
}

// The calls and their single-thread answers: the seeded workload's points, airport codes of
// every kind, and queries on one shared set.
std::vector<Call> expected_calls(int64_t shared_set) {
  std::vector<Call> calls;
  const auto& points = bench::workload();
  const char* codes[] = {"CDG", " jfk ", "ZZZ", "", "lhr", "NRT\t", "X"};
  for (size_t j = 0; j < 3000; ++j) {
    Call c{static_cast<int>(j % 6), points[j].lat, points[j].lng, codes[j % 7], ""};
    if (j % 97 == 0) c.lat = 91.0;  // invalid: each kind's own answer, or a failure
    c.want = run(c, shared_set);
    calls.push_back(std::move(c));
  }
  return calls;
}

// What one thread found wrong, reported by the main thread.
using Faults = std::vector<std::string>;

void worker(int t, const std::vector<Call>& calls, int64_t shared_set, const std::string& own_set,
            std::atomic<bool>& go, Faults& faults) {
  while (!go.load()) std::this_thread::yield();
  const auto fault = [&](const std::string& what) {
    if (faults.size() < 20) faults.push_back("thread " + std::to_string(t) + ": " + what);
  };
  for (int round = 0; round < 3; ++round) {
    // A set of its own, created while the others query and free theirs.
    const std::string handle = take(gx_set_new(kSetCodes, 9));
    const int64_t h = std::stoll(handle);
    if (take(gx_set_size(h)) != "8") fault("size of own set");
    if (take(gx_set_missing(h)) != R"(["ZZZ"])") fault("missing of own set");
    const std::string nearest = take(gx_set_nearest(h, 48.85, 2.35, nullptr, 0, 0.0, 0, 9));
    if (nearest != own_set) fault("own set nearest: " + nearest.substr(0, 80));

    for (size_t j = static_cast<size_t>(t) + round; j < calls.size(); j += kThreads / 2) {
      const std::string got = run(calls[j], shared_set);
      if (got != calls[j].want) fault("call " + std::to_string(j) + ": " + got.substr(0, 80));
    }

    // This thread's failures are the ones it reads back, whatever the others fail with.
    const int64_t unknown = -1000 - t;
    if (gx_set_size(unknown) != nullptr) fault("unknown handle answered");
    if (std::string(gx_error()) != "no such AirportSet: " + std::to_string(unknown)) {
      fault(std::string("error of another thread: ") + gx_error());
    }
    if (take(gx_set_free(h)) != "null") fault("free");
    if (gx_set_include(h, "CDG") != nullptr) fault("freed handle answered");
    if (std::string(gx_error()) != "no such AirportSet: " + handle) fault("freed handle error");
  }
}

// Every function from eight threads at once, checked against one thread's answers.
TEST(Threads, EightThreadsGetTheSingleThreadAnswers) {
  const int64_t shared_set = std::stoll(take(gx_set_new("CDG\x1fJFK\x1fHND\x1fSIN\x1fGIG", 5)));
  const std::vector<Call> calls = expected_calls(shared_set);
  const int64_t probe = std::stoll(take(gx_set_new(kSetCodes, 9)));
  const std::string own_set = take(gx_set_nearest(probe, 48.85, 2.35, nullptr, 0, 0.0, 0, 9));
  ASSERT_EQ(take(gx_set_free(probe)), "null");
  ASSERT_NE(own_set.find("fr.cdg"), std::string::npos) << own_set;

  std::atomic<bool> go{false};
  std::vector<Faults> faults(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back(worker, t, std::cref(calls), shared_set, std::cref(own_set), std::ref(go),
                         std::ref(faults[static_cast<size_t>(t)]));
  }
  go = true;
  for (auto& th : threads) th.join();
  for (const Faults& f : faults) {
    for (const std::string& what : f) ADD_FAILURE() << what;
  }
  // Handles stay unique under concurrent creation: the next one follows all that were made.
  EXPECT_EQ(take(gx_set_new("CDG", 1)), std::to_string(shared_set + 2 + kThreads * 3));
}

// The first calls of a process race to build the State: all must wait for the one build and
// answer alike. (ctest runs each case in a process of its own.)
TEST(Threads, FirstCallsRaceToBuildTheStateOnce) {
  std::atomic<bool> go{false};
  std::vector<std::string> got(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      got[static_cast<size_t>(t)] =
          take(t % 2 == 0 ? gx_find(48.8566, 2.3522) : gx_country_at(48.8566, 2.3522));
    });
  }
  go = true;
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(got[static_cast<size_t>(t)], t % 2 == 0 ? take(gx_find(48.8566, 2.3522)) : "\"fr\"");
  }
}

}  // namespace
