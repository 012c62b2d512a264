// Creating and freeing sets under a full query load, and fork() from a busy threaded host.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gantrix.h"
#include "tests/support/take.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kReaders = 8;

using Gantrix::test::take;

int64_t new_set(const char* codes, int64_t count) {
  return std::stoll(take(gx_set_new(codes, count)));
}

std::string nearest(int64_t handle, int64_t limit) {
  return take(gx_set_nearest(handle, 48.85, 2.35, nullptr, 0, 0.0, 0, limit));
}

// Readers that query without pause until stopped: mostly one shared set, and every 16th
// call one of the sets a writer keeps creating and freeing, which must answer whole or be
// gone ("no such AirportSet").
struct Load {
  int64_t shared = new_set("CDG\x1fJFK\x1fHND\x1fSIN\x1fGIG\x1fSYD\x1fLAX\x1fJNB", 8);
  std::string shared_answer = nearest(shared, 100);
  std::string churn_answer;
  std::atomic<int64_t> newest{-1};
  std::atomic<bool> stop{false};
  std::atomic<int> faults{0};
  std::mutex first_fault_lock;
  std::string first_fault;  // the first wrong answer, for the report
  std::vector<std::thread> threads;

  int64_t probe = -1;  // the writer's sets come after it

  explicit Load(int readers) {
    probe = new_set("CDG", 1);
    churn_answer = nearest(probe, 5);
    take(gx_set_free(probe));
    for (int t = 0; t < readers; ++t) threads.emplace_back([this] { read(); });
  }
  ~Load() { finish(); }
  void finish() {
    stop = true;
    for (auto& t : threads) t.join();
    threads.clear();
  }
  void fault(const std::string& what) {
    if (faults++ > 0) return;
    const std::lock_guard lock(first_fault_lock);
    first_fault = what.substr(0, 200);
  }
  void read() {
    uint64_t n = 0;
    while (!stop.load(std::memory_order_relaxed)) {
      if (const std::string got = nearest(shared, 100); got != shared_answer) fault(got);
      if (++n % 16 != 0) continue;
      const int64_t h = newest.load() - static_cast<int64_t>(n / 16 % 4);
      if (h <= probe) continue;
      const std::string got = nearest(h, 5);
      if (got != churn_answer && got != "<null: no such AirportSet: " + std::to_string(h) + ">") {
        fault(std::to_string(h) + ": " + got);
      }
    }
  }
};

// The writer keeps four sets alive, freeing the oldest as it makes each new one, for 2 s
// and 1000 cycles at least, while eight readers never pause. A watchdog fails the test only
// when no cycle completes for 60 s (a loaded machine slows the cycles, it cannot stop them);
// latency is bench/writers' business.
TEST(Writers, CreateAndFreeCompleteWhileEightThreadsQuery) {
  Load load(kReaders);
  const auto until = Clock::now() + std::chrono::seconds(2);
  std::atomic<int64_t> last_done{Clock::now().time_since_epoch().count()};
  std::atomic<size_t> cycles{0};
  std::atomic<bool> done{false};
  std::thread writer([&] {
    std::vector<int64_t> alive;
    for (size_t c = 0; c < 1000 || Clock::now() < until; ++c) {
      alive.push_back(new_set("CDG", 1));
      load.newest = alive.back();
      if (alive.size() > 4) {
        take(gx_set_free(alive.front()));
        alive.erase(alive.begin());
      }
      last_done = Clock::now().time_since_epoch().count();
      ++cycles;
    }
    for (const int64_t h : alive) take(gx_set_free(h));
    done = true;
  });
  bool stalled = false;
  size_t before = 0;
  while (!done && !stalled) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    before = cycles;
    stalled = Clock::now() - Clock::time_point(Clock::duration(last_done.load())) >
              std::chrono::seconds(60);
  }
  load.finish();  // lets a stalled writer through, so that it can be joined
  writer.join();
  EXPECT_FALSE(stalled) << "no set was created and freed for 60 s while " << kReaders
                        << " threads queried; " << before << " cycles done before";
  EXPECT_EQ(load.faults.load(), 0) << load.first_fault;
}

// The child of a process whose other threads are querying and creating sets can use every
// function: the library's locks are never inherited held.
TEST(Fork, TheChildOfABusyProcessCreatesQueriesAndFreesSets) {
#if defined(__SANITIZE_ADDRESS__)
  // This toolchain's AddressSanitizer replaces malloc with one that is not fork-safe: about
  // one child in 400 blocks on its allocator's lock, held by a thread that was mid-malloc.
  GTEST_SKIP() << "AddressSanitizer's allocator is not fork-safe";
#endif
  const std::string paris = take(gx_find(48.85, 2.35));
  Load load(4);
  std::thread writer([&] {
    while (!load.stop) take(gx_set_free(load.newest = new_set("CDG", 1)));
  });
  for (int k = 0; k < 10; ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const int64_t h = new_set("CDG\x1fJFK", 2);
      const bool ok =
          nearest(h, 1).find("fr.cdg") != std::string::npos && take(gx_set_free(h)) == "null" &&
          take(gx_set_size(h)) == "<null: no such AirportSet: " + std::to_string(h) + ">" &&
          nearest(load.shared, 100) == load.shared_answer && take(gx_find(48.85, 2.35)) == paris;
      _exit(ok ? 0 : 1);
    }
    int status = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "child " << k << " still blocked after 60 s";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child " << k << ": " << status;
  }
  load.stop = true;
  writer.join();
  load.finish();
  EXPECT_EQ(load.faults.load(), 0) << load.first_fault;
}

}  // namespace
