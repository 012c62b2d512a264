#include "data/image.h"

#include <new>

namespace Gantrix {
namespace {

size_t aligned(size_t n) { return (n + IMAGE_ALIGN - 1) / IMAGE_ALIGN * IMAGE_ALIGN; }

}  // namespace

uint64_t dataset_hash(std::string_view airports_json, std::string_view countries_json) {
  uint64_t h = 0xcbf29ce484222325ULL;
  const auto mix = [&h](std::string_view text) {
    for (const char c : text) {
      h ^= static_cast<unsigned char>(c);
      h *= 0x100000001b3ULL;
    }
  };
  mix(airports_json);
  mix(std::string_view("\0", 1));
  mix(countries_json);
  return h;
}

ImageBytes ImageBytes::allocate(size_t n) {
  ImageBytes b;
  b.owned_.reset(static_cast<std::byte*>(::operator new[](n, std::align_val_t{IMAGE_ALIGN})));
  std::memset(b.owned_.get(), 0, n);
  b.view_ = {b.owned_.get(), n};
  return b;
}

ImageBytes ImageWriter::write(const ImageHeader& head) const {
  const size_t table = sizeof(ImageHeader) + sections_.size() * sizeof(SectionEntry);
  std::vector<SectionEntry> entries;
  entries.reserve(sections_.size());
  size_t at = aligned(table);
  for (const Section& s : sections_) {
    entries.push_back({at, s.bytes, static_cast<uint32_t>(s.value_size), 0});
    at = aligned(at + s.bytes);
  }
  ImageBytes out = ImageBytes::allocate(at);
  ImageHeader h = head;
  std::memcpy(h.magic, IMAGE_MAGIC, sizeof h.magic);
  h.version = IMAGE_VERSION;
  h.sections = static_cast<uint32_t>(sections_.size());
  h.bytes = at;
  std::memcpy(out.data(), &h, sizeof h);
  if (!entries.empty()) {
    std::memcpy(out.data() + sizeof h, entries.data(), entries.size() * sizeof(SectionEntry));
  }
  for (size_t k = 0; k < sections_.size(); ++k) {
    if (sections_[k].bytes > 0) {
      std::memcpy(out.data() + entries[k].offset, sections_[k].data, sections_[k].bytes);
    }
  }
  return out;
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
  if (e.value_size != value_size) fail("section " + std::to_string(read_ - 1) + " holds other values");
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
