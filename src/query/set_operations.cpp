// Making, freeing and reading airport sets.
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/json_writer.h"
#include "query/operations.h"
#include "query/set_registry.h"

namespace Gantrix::operations {

ResultText set_new(const char* codes, int64_t count) {
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

ResultText set_free(int64_t handle) {
  sets().free(handle);
  return "null";
}

ResultText set_size(int64_t handle) { return std::to_string(sets().hold(handle)->size()); }

ResultText set_include(int64_t handle, const char* code) {
  const auto held = sets().hold(handle);
  const AirportSet& set = *held;
  return set.include(state(), code != nullptr ? code : "") ? "true" : "false";
}

ResultText set_missing(int64_t handle) {
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

}  // namespace Gantrix::operations
