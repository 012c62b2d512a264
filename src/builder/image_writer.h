// Writes the State's image (state/image.h) at build time: the columns the parts' visits list,
// laid out behind a header and a section table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/column.h"
#include "state/image.h"

namespace Gantrix {

// FNV-1a over the airport text, a separator, and the country text: the two texts' identity,
// cheap to recompute anywhere.
[[nodiscard]] uint64_t dataset_hash(std::string_view airports_json,
                                    std::string_view countries_json);

// Collects the columns of the parts it visits, then lays them out.
class ImageWriter {
 public:
  template <class T>
  void operator()(Column<T>& c) {
    static_assert(std::is_trivially_copyable_v<T>);
    // Read through the column's view: it may view an image rather than own its values.
    sections_.push_back({std::as_const(c).data(), c.size() * sizeof(T), sizeof(T)});
  }
  template <class Part>
  void operator()(Part& part) {
    part.visit(*this);
  }
  void count(uint64_t& n) {
    counts_.push_back(std::make_unique<uint64_t>(n));
    sections_.push_back({counts_.back().get(), sizeof(uint64_t), sizeof(uint64_t)});
  }
  void flag(bool& b) {
    uint64_t n = b ? 1 : 0;
    count(n);
  }

  // The image of what was visited; header fields other than the layout come from `head`.
  [[nodiscard]] ImageBytes write(const ImageHeader& head) const;

 private:
  struct Section {
    const void* data;
    size_t bytes;
    size_t value_size;
  };
  std::vector<Section> sections_;
  std::vector<std::unique_ptr<uint64_t>> counts_;
};

}  // namespace Gantrix
