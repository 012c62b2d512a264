#include "query/airport_set.h"

#include <algorithm>
#include <unordered_set>

#include "core/error.h"
#include "core/json_writer.h"
#include "query/gantrix_ext.h"

namespace Gantrix {

AirportSet::AirportSet(const State& s, const std::vector<std::string_view>& pieces) {
  std::vector<std::string> keys;
  // Repeats are found by hashing, not by scanning: a list of a million unknown codes must
  // not take quadratic time.
  std::unordered_set<int32_t> seen_ids;
  std::unordered_set<std::string> seen_missing;
  for (const std::string_view piece : pieces) {
    std::string code = upper(trim(piece));
    const int64_t id = s.airport_id(code);
    if (id < 0) {
      if (seen_missing.insert(code).second) missing.push_back(std::move(code));
      continue;
    }
    if (!seen_ids.insert(static_cast<int32_t>(id)).second) continue;
    member_ids.push_back(static_cast<int32_t>(id));
    keys.emplace_back(s.airports.country_lower[id]);
  }
  members = member_ids;
  std::sort(members.begin(), members.end());

  all.emplace(s.airport_indexes.all, member_ids);
  const Groups groups(keys, member_ids);
  by_country.reserve(groups.keys.size());
  for (size_t g = 0; g < groups.keys.size(); ++g) {
    by_country.try_emplace(groups.keys[g], s.airport_indexes.all, groups.members(g));
  }
}

bool AirportSet::include(const State& s, std::string_view code) const {
  const int64_t id = s.airport_id(upper(trim(code)));
  return id >= 0 && std::binary_search(members.begin(), members.end(), static_cast<int32_t>(id));
}

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

SetRegistry& GantrixExt::sets() {
  // Never destroyed, like the State: threads may still query at exit.
  static SetRegistry* const registry = new SetRegistry;
  return *registry;
}

const AirportSet& GantrixExt::set_of(int64_t handle) { return *sets().hold(handle); }

ResultText GantrixExt::set_new(const char* codes, int64_t count) {
  std::vector<std::string_view> pieces;
  if (count > 0) {
    if (codes == nullptr) throw std::invalid_argument("codes is null but count is positive");
    const std::string_view text(codes);
    for (size_t begin = 0; !text.empty();) {
      const size_t sep = text.find('\x1f', begin);
      pieces.push_back(text.substr(begin, sep == std::string_view::npos ? sep : sep - begin));
      if (sep == std::string_view::npos) break;
      begin = sep + 1;
    }
  }
  const State& s = state();
  auto set = std::make_unique<AirportSet>(s, pieces);
  return std::to_string(sets().add(std::move(set)));
}

ResultText GantrixExt::set_free(int64_t handle) {
  sets().free(handle);
  return "null";
}

ResultText GantrixExt::set_size(int64_t handle) {
  return std::to_string(sets().hold(handle)->size());
}

ResultText GantrixExt::set_include(int64_t handle, const char* code) {
  const auto held = sets().hold(handle);
  const AirportSet& set = *held;
  return set.include(state(), code != nullptr ? code : "") ? "true" : "false";
}

ResultText GantrixExt::set_missing(int64_t handle) {
  const auto held = sets().hold(handle);
  const AirportSet& set = *held;
  std::string out = "[";
  for (size_t j = 0; j < set.missing.size(); ++j) {
    if (j > 0) out.push_back(',');
    append_json_str(out, set.missing[j]);
  }
  out.push_back(']');
  return out;
}

}  // namespace Gantrix
