// The handles of live airport sets.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "query/airport_set.h"

namespace Gantrix {

// The set registry. A query finds its set and takes a counted reference to it without any
// lock, then runs with none, so queries never hold up a writer and a writer waits only for
// other writers. Freeing unpublishes the handle; the set itself goes with its last reference,
// on whichever thread drops it. Handles count up from 0 and are never issued twice, while the
// internal slots of freed sets are reused, so memory follows the sets alive, not the handles
// ever issued. Safe across fork(): writers are quiesced while a process forks.
class SetRegistry {
 public:
  struct Slot;

  // A live set, kept alive by a counted reference for as long as this object lives.
  class Held {
   public:
    Held(Held&& other) noexcept : slot_(other.slot_), set_(other.set_) { other.slot_ = nullptr; }
    Held& operator=(Held&&) = delete;
    ~Held();
    const AirportSet& operator*() const { return *set_; }
    const AirportSet* operator->() const { return set_; }

   private:
    friend class SetRegistry;
    Held(Slot* slot, const AirportSet* set) : slot_(slot), set_(set) {}
    Slot* slot_;
    const AirportSet* set_;
  };

  constexpr SetRegistry() = default;
  SetRegistry(const SetRegistry&) = delete;
  SetRegistry& operator=(const SetRegistry&) = delete;

  // The set behind a handle, held, or Gantrix::Error "no such AirportSet: <handle>".
  [[nodiscard]] Held hold(int64_t handle) const;
  // Stores a set; returns its handle, one more than the last one issued.
  int64_t add(std::unique_ptr<AirportSet> set);
  // Frees a set; an unknown or freed handle changes nothing, like free(NULL).
  void free(int64_t handle);

  // Quiesces writers around fork(): the child then finds the registry unlocked and whole.
  void lock_for_fork() { writer_.lock(); }
  void unlock_after_fork() { writer_.unlock(); }

 private:
  struct Index;

  [[nodiscard]] Slot* find(int64_t handle) const;
  Slot* take_slot();
  void rebuild_index(size_t live_after);

  // Read by queries without a lock. Every index ever made is kept for reuse (a query may
  // still be reading one that was replaced), so they are never freed; `rebuilt_` counts the
  // replacements, which tells a query that missed its handle whether to look again.
  std::atomic<Index*> index_{nullptr};
  std::atomic<uint64_t> rebuilt_{0};

  // The rest belongs to writers, under `writer_`.
  std::mutex writer_;
  int64_t issued_ = 0;
  size_t live_ = 0;
  size_t used_cells_ = 0;       // live plus freed cells of the current index
  Slot* free_slots_ = nullptr;  // no references: ready for a new set
  Slot* draining_ = nullptr;    // freed sets that queries still hold
  Index* spare_[64] = {};       // replaced indexes, by log2 of their capacity
};

// The process's registry, which the set operations share. Never destroyed, like the State:
// threads may still query at exit.
SetRegistry& sets();

}  // namespace Gantrix
