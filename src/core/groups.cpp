#include "core/groups.h"

#include "core/counting_sort.h"

namespace Gantrix {

void Groups::sort(const std::vector<int64_t>& group, const std::vector<int32_t>& ids) {
  counting_sort(
      keys.size(),
      [&](auto&& put) {
        for (size_t j = 0; j < ids.size(); ++j) put(static_cast<size_t>(group[j]), ids[j]);
      },
      start, items);
}

std::vector<int32_t> Groups::members(size_t g) const {
  return {items.begin() + start[g], items.begin() + start[g + 1]};
}

}  // namespace Gantrix
