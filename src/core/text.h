// Text helpers for codes: white space trimmed, ASCII case mapped, and maps probed by
// string_view without building a string.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace Gantrix {

// Strips ASCII white space (space, \t, \n, \v, \f, \r) from both ends.
[[nodiscard]] std::string_view trim(std::string_view s);

// Case mapping for codes: ASCII letters only; every other byte is left as it is.
[[nodiscard]] std::string upper(std::string_view s);
[[nodiscard]] std::string lower(std::string_view s);

struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
template <class V>
using TextMap = std::unordered_map<std::string, V, TextHash, std::equal_to<>>;

}  // namespace Gantrix
