#include "core/text.h"

namespace Gantrix {

std::string_view trim(std::string_view s) {
  constexpr std::string_view kSpace = " \t\n\v\f\r";
  const size_t begin = s.find_first_not_of(kSpace);
  if (begin == std::string_view::npos) return {};
  return s.substr(begin, s.find_last_not_of(kSpace) - begin + 1);
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace Gantrix
