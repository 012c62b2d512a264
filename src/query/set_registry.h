// The handles of live airport sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "query/airport_set.h"

namespace Gantrix {

// The set registry: a slot per handle ever issued; freed slots stay, empty, so a freed handle
// stays invalid for good. Queries hold a set under a shared lock, so any number of them run
// at once; adding and freeing take the lock alone (a set is built before, outside it).
class SetRegistry {
 public:
  // A live set and the shared lock that keeps it alive while it is read.
  class Held {
   public:
    const AirportSet& operator*() const { return *set_; }
    const AirportSet* operator->() const { return set_; }

   private:
    friend class SetRegistry;
    Held(std::shared_lock<std::shared_mutex> lock, const AirportSet* set)
        : lock_(std::move(lock)), set_(set) {}
    std::shared_lock<std::shared_mutex> lock_;
    const AirportSet* set_;
  };

  // The set behind a handle, held, or Gantrix::Error "no such AirportSet: <handle>".
  [[nodiscard]] Held hold(int64_t handle) const;
  // Stores a set; returns its handle, one more than the last one issued.
  int64_t add(std::unique_ptr<AirportSet> set);
  // Frees a set; an unknown or freed handle changes nothing, like free(NULL).
  void free(int64_t handle);
  // Handles issued so far.
  [[nodiscard]] size_t size() const;
  [[nodiscard]] bool empty() const { return size() == 0; }

 private:
  mutable std::shared_mutex mutex_;
  std::vector<std::unique_ptr<AirportSet>> slots_;
};

// The process's registry, which the set operations share. Never destroyed, like the State:
// threads may still query at exit.
SetRegistry& sets();

}  // namespace Gantrix
