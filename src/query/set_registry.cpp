#include "query/set_registry.h"

#include <string>

#include "core/error.h"

namespace Gantrix {

SetRegistry::Held SetRegistry::hold(int64_t handle) const {
  std::shared_lock lock(mutex_);
  if (handle < 0 || static_cast<uint64_t>(handle) >= slots_.size() || !slots_[handle]) {
    throw Error("no such AirportSet: " + std::to_string(handle));
  }
  return Held(std::move(lock), slots_[handle].get());
}

int64_t SetRegistry::add(std::unique_ptr<AirportSet> set) {
  const std::unique_lock lock(mutex_);
  slots_.push_back(std::move(set));
  return static_cast<int64_t>(slots_.size()) - 1;
}

void SetRegistry::free(int64_t handle) {
  std::unique_ptr<AirportSet> gone;
  {
    const std::unique_lock lock(mutex_);
    if (handle >= 0 && static_cast<uint64_t>(handle) < slots_.size())
      gone = std::move(slots_[handle]);
  }
  // Destroyed outside the lock: queries on other sets need not wait for it.
}

size_t SetRegistry::size() const {
  const std::shared_lock lock(mutex_);
  return slots_.size();
}

SetRegistry& sets() {
  static SetRegistry* const registry = new SetRegistry;
  return *registry;
}

}  // namespace Gantrix
