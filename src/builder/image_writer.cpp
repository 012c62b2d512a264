#include "builder/image_writer.h"

#include <cstring>

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

}  // namespace Gantrix
