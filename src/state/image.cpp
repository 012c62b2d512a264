#include "state/image.h"

#include <new>

namespace Gantrix {
ImageBytes ImageBytes::allocate(size_t n) {
  ImageBytes b;
  b.owned_.reset(static_cast<std::byte*>(::operator new[](n, std::align_val_t{IMAGE_ALIGN})));
  std::memset(b.owned_.get(), 0, n);
  b.view_ = {b.owned_.get(), n};
  return b;
}

ImageReader::ImageReader(std::span<const std::byte> image) : image_(image) {
  if (image.size() < sizeof(ImageHeader)) fail("shorter than its header");
  std::memcpy(&head_, image.data(), sizeof head_);
  if (std::memcmp(head_.magic, IMAGE_MAGIC, sizeof head_.magic) != 0) fail("not a State image");
  if (head_.version != IMAGE_VERSION) {
    fail("format version " + std::to_string(head_.version) + ", this library reads " +
         std::to_string(IMAGE_VERSION));
  }
  if (head_.bytes != image.size()) fail("size does not match its header");
  if ((image.size() - sizeof(ImageHeader)) / sizeof(SectionEntry) < head_.sections) {
    fail("section table runs past the end");
  }
  if (reinterpret_cast<uintptr_t>(image.data()) % IMAGE_ALIGN != 0) fail("not aligned");
  table_ = image.data() + sizeof(ImageHeader);
}

std::span<const std::byte> ImageReader::next(size_t value_size, size_t align) {
  if (read_ >= head_.sections) fail("fewer sections than the parts have columns");
  SectionEntry e;
  std::memcpy(&e, table_ + read_ * sizeof(SectionEntry), sizeof e);
  ++read_;
  if (e.value_size != value_size)
    fail("section " + std::to_string(read_ - 1) + " holds other values");
  if (e.offset > image_.size() || e.bytes > image_.size() - e.offset || e.offset % align != 0 ||
      e.bytes % value_size != 0) {
    fail("section " + std::to_string(read_ - 1) + " lies outside the image");
  }
  return image_.subspan(e.offset, e.bytes);
}

void ImageReader::finish() const {
  if (read_ != head_.sections) fail("more sections than the parts have columns");
}

void ImageReader::fail(const std::string& why) const {
  throw Error("State image: " + why + " (rebuild the library)");
}

}  // namespace Gantrix
