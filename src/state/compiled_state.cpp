#include "state/compiled_state.h"

#include <pthread.h>

#include <atomic>
#include <mutex>
#include <type_traits>

#include "state/state.h"

extern "C" {
extern const char gantrix_state_image_begin[];
extern const char gantrix_state_image_end[];
}

namespace Gantrix {

std::span<const std::byte> state_image() {
  return {reinterpret_cast<const std::byte*>(gantrix_state_image_begin),
          static_cast<size_t>(gantrix_state_image_end - gantrix_state_image_begin)};
}

namespace {

// Constant-initialised, so no guard variable: a function-local static's guard, held by a
// thread building the State when another forks, would block the child for good. The lock is
// taken around fork() instead and released on both sides.
constinit std::atomic<const State*> made{nullptr};
constinit std::mutex making;
static_assert(std::is_trivially_destructible_v<std::mutex>);

void register_fork_handlers() {
  static pthread_once_t once = PTHREAD_ONCE_INIT;  // glibc's pthread_once is fork-safe
  pthread_once(&once, [] {
    pthread_atfork([] { making.lock(); }, [] { making.unlock(); }, [] { making.unlock(); });
  });
}

}  // namespace

const State& state() {
  // Made by the first caller while any others wait; one that throws leaves nothing and the
  // next call tries again. Never destroyed: threads may still query at exit. Only the parts'
  // views are allocated: the data stays in the library's read-only pages.
  if (const State* s = made.load(std::memory_order_acquire)) return *s;
  register_fork_handlers();
  const std::lock_guard lock(making);
  const State* s = made.load(std::memory_order_relaxed);
  if (s == nullptr) {
    s = new State(state_image());
    made.store(s, std::memory_order_release);
  }
  return *s;
}

}  // namespace Gantrix
