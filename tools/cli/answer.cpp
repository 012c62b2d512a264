#include "answer.h"

#include <charconv>
#include <stdexcept>

namespace GantrixCli {

SetHandle::SetHandle(std::string_view comma_separated) {
  // The library separates codes with the unit separator, so commas become 0x1F.
  std::string codes(comma_separated);
  std::int64_t count = 1;
  for (char& c : codes) {
    if (c == ',') {
      c = '\x1f';
      ++count;
    }
  }
  Answer answer(gx_set_new(codes.c_str(), count));
  if (!answer) throw std::runtime_error(gx_error());
  std::string_view text(answer.get());
  if (std::from_chars(text.data(), text.data() + text.size(), handle_).ec != std::errc{})
    throw std::runtime_error("unexpected set handle: " + std::string(text));
}

SetHandle::~SetHandle() { Answer(gx_set_free(handle_)); }

std::string SetHandle::missing() const {
  Answer answer(gx_set_missing(handle_));
  return answer ? answer.get() : "[]";
}

}  // namespace GantrixCli
