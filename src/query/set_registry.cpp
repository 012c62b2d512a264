#include "query/set_registry.h"

#include <pthread.h>

#include <algorithm>
#include <bit>
#include <string>
#include <type_traits>

#include "core/error.h"

namespace Gantrix {
namespace {

constexpr int64_t kEmpty = -1;  // a cell never used since the index was built
constexpr int64_t kFreed = -2;  // a cell whose handle was freed: searches go on past it

// The writers' lock is taken before fork() and released on both sides, so the child never
// inherits it held by a thread that does not exist there. Registered once, before any
// writer can hold the lock; glibc's pthread_once is itself safe across fork.
void register_fork_handlers() {
  static pthread_once_t once = PTHREAD_ONCE_INIT;
  pthread_once(&once, [] {
    pthread_atfork([] { sets().lock_for_fork(); }, [] { sets().unlock_after_fork(); },
                   [] { sets().unlock_after_fork(); });
  });
}

// Queries must never wait on a lock, also not on one hidden inside an atomic.
static_assert(std::atomic<uint32_t>::is_always_lock_free &&
              std::atomic<int64_t>::is_always_lock_free &&
              std::atomic<uint64_t>::is_always_lock_free &&
              std::atomic<void*>::is_always_lock_free);

}  // namespace

// Where one set lives. Slots are never freed, only reused, so a query may look at one that
// has meanwhile been reused: it takes a reference first and then checks the handle.
struct SetRegistry::Slot {
  // One for the registry while the handle is published, plus one per query holding it. At 0
  // the slot is free; nothing raises it from 0 but a writer publishing a new set.
  std::atomic<uint32_t> refs{0};
  std::atomic<int64_t> handle{kEmpty};  // the handle published here, kEmpty once freed
  AirportSet* set = nullptr;            // written only while refs is 0
  Slot* next = nullptr;                 // writers' lists

  // A reference to this slot's set if it is still `wanted`'s.
  bool try_hold(int64_t wanted) {
    uint32_t n = refs.load(std::memory_order_relaxed);
    do {
      if (n == 0) return false;
    } while (!refs.compare_exchange_weak(n, n + 1, std::memory_order_acquire,
                                         std::memory_order_relaxed));
    if (handle.load(std::memory_order_acquire) == wanted) return true;
    release();
    return false;
  }

  // Drops a reference; the last one out destroys a freed set, here, under no lock.
  void release() noexcept {
    AirportSet* const mine = set;  // read while still held: the slot may be reused after
    if (refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete mine;
  }
};

// An open-addressed map from handle to slot (linear probing from handle mod capacity).
// Writers only ever turn an empty cell into a handle and a handle into kFreed, so a search
// in the current index for a live handle always finds it; an index is rebuilt, into a new
// or spare one, when its used cells reach half of it.
struct SetRegistry::Index {
  struct Cell {
    std::atomic<int64_t> key{kEmpty};
    std::atomic<Slot*> slot{nullptr};
  };
  explicit Index(size_t capacity) : mask(capacity - 1), cells(new Cell[capacity]) {}
  const size_t mask;
  const std::unique_ptr<Cell[]> cells;
  Index* next_spare = nullptr;
};

SetRegistry::Held::~Held() {
  if (slot_ != nullptr) slot_->release();
}

SetRegistry::Slot* SetRegistry::find(int64_t handle) const {
  if (handle < 0) return nullptr;
  for (;;) {
    const uint64_t seen = rebuilt_.load(std::memory_order_acquire);
    const Index* index = index_.load(std::memory_order_acquire);
    if (index == nullptr) return nullptr;
    const size_t mask = index->mask;
    for (size_t i = static_cast<size_t>(handle) & mask, n = 0; n <= mask; ++n, i = (i + 1) & mask) {
      const int64_t key = index->cells[i].key.load(std::memory_order_acquire);
      if (key == handle) {
        Slot* slot = index->cells[i].slot.load(std::memory_order_acquire);
        if (slot != nullptr && slot->try_hold(handle)) return slot;
        break;
      }
      if (key == kEmpty) break;
    }
    // Not found: final unless the index was replaced meanwhile (and this one perhaps reused,
    // its cells read half rewritten).
    if (rebuilt_.load(std::memory_order_acquire) == seen) return nullptr;
  }
}

SetRegistry::Held SetRegistry::hold(int64_t handle) const {
  Slot* slot = find(handle);
  if (slot == nullptr) throw Error("no such AirportSet: " + std::to_string(handle));
  return Held(slot, slot->set);
}

void SetRegistry::rebuild_index(size_t live_after) {
  const size_t capacity = std::bit_ceil(std::max<size_t>(16, 4 * live_after));
  const int log2 = std::countr_zero(capacity);
  Index* fresh = spare_[log2];
  if (fresh != nullptr) {
    spare_[log2] = fresh->next_spare;
    for (size_t i = 0; i < capacity; ++i)
      fresh->cells[i].key.store(kEmpty, std::memory_order_release);
  } else {
    fresh = new Index(capacity);
  }
  Index* const old = index_.load(std::memory_order_relaxed);
  if (old != nullptr) {
    for (size_t j = 0; j <= old->mask; ++j) {
      const int64_t key = old->cells[j].key.load(std::memory_order_relaxed);
      if (key < 0) continue;
      size_t i = static_cast<size_t>(key) & fresh->mask;
      while (fresh->cells[i].key.load(std::memory_order_relaxed) != kEmpty)
        i = (i + 1) & fresh->mask;
      fresh->cells[i].slot.store(old->cells[j].slot.load(std::memory_order_relaxed),
                                 std::memory_order_release);
      fresh->cells[i].key.store(key, std::memory_order_release);
    }
  }
  index_.store(fresh, std::memory_order_release);
  rebuilt_.fetch_add(1, std::memory_order_release);
  used_cells_ = live_;
  if (old != nullptr) {
    const int old_log2 = std::countr_zero(old->mask + 1);
    old->next_spare = spare_[old_log2];
    spare_[old_log2] = old;
  }
}

SetRegistry::Slot* SetRegistry::take_slot() {
  if (free_slots_ == nullptr) {
    // Freed sets whose last query has ended since.
    for (Slot** link = &draining_; *link != nullptr;) {
      Slot* const slot = *link;
      if (slot->refs.load(std::memory_order_acquire) == 0) {
        *link = slot->next;
        slot->next = free_slots_;
        free_slots_ = slot;
      } else {
        link = &slot->next;
      }
    }
  }
  if (free_slots_ == nullptr) return new Slot;
  Slot* const slot = free_slots_;
  free_slots_ = slot->next;
  return slot;
}

int64_t SetRegistry::add(std::unique_ptr<AirportSet> set) {
  register_fork_handlers();
  const std::lock_guard lock(writer_);
  // Either step may fail for memory, and neither changes what the registry holds.
  const Index* index = index_.load(std::memory_order_relaxed);
  if (index == nullptr || (used_cells_ + 1) * 2 > index->mask + 1) rebuild_index(live_ + 1);
  Slot* const slot = take_slot();

  const int64_t handle = issued_;
  slot->set = set.release();
  slot->handle.store(handle, std::memory_order_relaxed);
  slot->refs.store(1, std::memory_order_release);
  index = index_.load(std::memory_order_relaxed);
  size_t i = static_cast<size_t>(handle) & index->mask;
  while (index->cells[i].key.load(std::memory_order_relaxed) >= 0) i = (i + 1) & index->mask;
  if (index->cells[i].key.load(std::memory_order_relaxed) == kEmpty) ++used_cells_;
  index->cells[i].slot.store(slot, std::memory_order_release);
  index->cells[i].key.store(handle, std::memory_order_release);
  ++issued_;
  ++live_;
  return handle;
}

void SetRegistry::free(int64_t handle) {
  if (handle < 0) return;
  register_fork_handlers();
  AirportSet* doomed = nullptr;
  {
    const std::lock_guard lock(writer_);
    const Index* index = index_.load(std::memory_order_relaxed);
    if (index == nullptr) return;
    size_t i = static_cast<size_t>(handle) & index->mask;
    for (;; i = (i + 1) & index->mask) {
      const int64_t key = index->cells[i].key.load(std::memory_order_relaxed);
      if (key == handle) break;
      if (key == kEmpty) return;  // never issued, or freed before
    }
    index->cells[i].key.store(kFreed, std::memory_order_release);
    Slot* const slot = index->cells[i].slot.load(std::memory_order_relaxed);
    --live_;
    slot->handle.store(kEmpty, std::memory_order_release);
    AirportSet* const set = slot->set;
    if (slot->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      doomed = set;
      slot->next = free_slots_;
      free_slots_ = slot;
    } else {
      slot->next = draining_;  // its last query destroys the set
      draining_ = slot;
    }
  }
  // Destroyed outside the lock: other writers need not wait for it.
  delete doomed;
}

namespace {
// Constant-initialised: no start-up code, no guard, and nothing to destroy at exit.
static_assert(std::is_trivially_destructible_v<SetRegistry>);
constinit SetRegistry registry;
}  // namespace

SetRegistry& sets() { return registry; }

}  // namespace Gantrix
