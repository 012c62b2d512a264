// A caller's pool of airports, built once from a list of IATA codes: its members, the codes
// that named no airport, and nearest-neighbour indexes over all members and per country.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/state.h"
#include "spatial/airport_index.h"

namespace Gantrix {

struct Resolved {
  int64_t airport;
  double distance_km;
  std::string_view resolution;  // "nearest", "same_country" or "nearby_foreign"
  int64_t nearest;              // the point's own nearest airport, for "nearest_code"
};

class AirportSet {
 public:
  // Reads the pieces of codes (split at 0x1F) against the loaded airport table.
  AirportSet(const State& s, const std::vector<std::string_view>& pieces);
  AirportSet(const AirportSet&) = delete;
  AirportSet& operator=(const AirportSet&) = delete;

  [[nodiscard]] bool include(const State& s, std::string_view code) const;
  [[nodiscard]] size_t size() const { return member_ids.size(); }

  // Members nearest to a checked, normalised point (airport ids and distances in km, nearest
  // first); country is a lower-case key or none. The hits stay in the thread's search scratch
  // until its next search.
  [[nodiscard]] std::span<const Hit> nearest(double lat, double lng, int64_t limit,
                                             std::optional<std::string_view> country,
                                             std::optional<double> max_km) const;
  // The member that should serve the point, or none.
  [[nodiscard]] std::optional<Resolved> resolve(const State& s, double lat, double lng,
                                                std::optional<double> foreign_max_km) const;

  std::vector<int32_t> members;     // member ids, sorted, for membership tests
  std::vector<int32_t> member_ids;  // member ids in order of first appearance
  std::vector<std::string> missing;
  std::optional<AirportIndex> all;
  TextMap<AirportIndex> by_country;
};

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

}  // namespace Gantrix
