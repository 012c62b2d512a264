// The State as one flat block of bytes: a header, a table of sections, then every column of
// every part, each at an offset aligned for its values. Offsets only, no pointers, fixed-width
// little-endian values: the block can be written at build time, compiled into the library and
// read in place by any process at any address.
//
// The writer lives with the other build-time code (builder/image_writer.h); this side reads.
//
// Layout: ImageHeader; `sections` SectionEntry records; the sections, each starting on a
// 64-byte boundary. The parts decide the order of their columns (their visit members): the
// writer and the reader walk the same visits, so the n-th column read is the n-th written.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "core/column.h"
#include "core/error.h"

namespace Gantrix {

static_assert(std::endian::native == std::endian::little,
              "the State image is little-endian: build Gantrix on a little-endian host");

inline constexpr char IMAGE_MAGIC[8] = {'G', 'X', 'S', 'T', 'A', 'T', 'E', '\n'};
// Raise on any change to a part's columns, their order or their value types.
inline constexpr uint32_t IMAGE_VERSION = 2;
inline constexpr size_t IMAGE_ALIGN = 64;

struct ImageHeader {
  char magic[8];
  uint32_t version;
  uint32_t sections;
  uint64_t bytes;         // the whole image
  uint64_t dataset_hash;  // of the two dataset texts (builder/image_writer.h)
  uint64_t airports;
  uint64_t features;  // country features
  uint64_t unused[2];
};
static_assert(sizeof(ImageHeader) == 64);

struct SectionEntry {
  uint64_t offset;
  uint64_t bytes;
  uint32_t value_size;
  uint32_t unused;
};
static_assert(sizeof(SectionEntry) == 24);

// A block of bytes aligned for any section, owned or borrowed.
class ImageBytes {
 public:
  ImageBytes() = default;
  static ImageBytes borrow(std::span<const std::byte> bytes) {
    ImageBytes b;
    b.view_ = bytes;
    return b;
  }
  static ImageBytes allocate(size_t n);

  [[nodiscard]] std::span<const std::byte> view() const { return view_; }
  [[nodiscard]] std::byte* data() { return owned_.get(); }

 private:
  struct Free {
    void operator()(std::byte* p) const { ::operator delete[](p, std::align_val_t{IMAGE_ALIGN}); }
  };
  std::unique_ptr<std::byte[], Free> owned_;
  std::span<const std::byte> view_;
};

// Points the visited parts' columns at an image's sections, in the writer's order.
class ImageReader {
 public:
  // Checks the header and the section table; throws Error naming what does not match.
  explicit ImageReader(std::span<const std::byte> image);

  template <class T>
  void operator()(Column<T>& c) {
    const std::span<const std::byte> s = next(sizeof(T), alignof(T));
    c = Column<T>::view({reinterpret_cast<const T*>(s.data()), s.size() / sizeof(T)});
  }
  template <class Part>
  void operator()(Part& part) {
    part.visit(*this);
  }
  void count(uint64_t& n) {
    const std::span<const std::byte> s = next(sizeof(uint64_t), alignof(uint64_t));
    if (s.size() != sizeof(uint64_t)) fail("a count section is not one value");
    std::memcpy(&n, s.data(), sizeof n);
  }
  void flag(bool& b) {
    uint64_t n = 0;
    count(n);
    b = n != 0;
  }
  // Fails unless every section was read.
  void finish() const;

  [[nodiscard]] const ImageHeader& header() const { return head_; }

 private:
  std::span<const std::byte> next(size_t value_size, size_t align);
  [[noreturn]] void fail(const std::string& why) const;

  std::span<const std::byte> image_;
  ImageHeader head_{};
  const std::byte* table_ = nullptr;
  uint32_t read_ = 0;
};

// Bytes a part's columns hold themselves (nothing for columns that view an image): the sum
// over the columns its visit lists, so a new column is counted without another list.
class ByteCounter {
 public:
  template <class T>
  void operator()(Column<T>& c) {
    total += c.bytes();
  }
  template <class Part>
  void operator()(Part& part) {
    part.visit(*this);
  }
  void count(uint64_t&) {}
  void flag(bool&) {}

  size_t total = 0;
};

template <class Part>
[[nodiscard]] size_t owned_bytes(const Part& part) {
  ByteCounter counter;
  // The counter reads only: visit is not const because the reader writes through it.
  counter(const_cast<Part&>(part));
  return counter.total;
}

}  // namespace Gantrix
