#include "degrees.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace GantrixCli {

namespace {
constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kDegreeSign = "\xC2\xB0";  // U+00B0 in UTF-8
}  // namespace

Degrees read_degrees(std::string_view text, double& value) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return Degrees::not_a_number;
  text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
  if (text.ends_with(kDegreeSign)) text.remove_suffix(kDegreeSign.size());
  // from_chars takes a '-' but no '+'; "+-1" stays malformed.
  if (text.starts_with('+') && !text.starts_with("+-")) text.remove_prefix(1);
  if (text.empty()) return Degrees::not_a_number;
  double read = 0;
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, read);
  if (stop != end) return Degrees::not_a_number;
  if (ec == std::errc::result_out_of_range) {
    // from_chars reports underflow and overflow alike; strtod (C locale: this program never
    // sets one) tells them apart. Rare, so the copy does not matter.
    read = std::strtod(std::string(text).c_str(), nullptr);
  } else if (ec != std::errc{}) {
    return Degrees::not_a_number;
  }
  if (std::isnan(read)) return Degrees::nan;
  if (std::isinf(read)) return Degrees::out_of_range;
  value = read;
  return Degrees::ok;
}

std::string_view degrees_error(Degrees result, Axis axis) {
  const bool lat = axis == Axis::latitude;
  switch (result) {
    case Degrees::ok:
      break;
    case Degrees::not_a_number:
    case Degrees::nan:
      return lat ? "latitude is not a number" : "longitude is not a number";
    case Degrees::out_of_range:
      return lat ? "latitude out of range" : "longitude out of range";
  }
  return {};
}

}  // namespace GantrixCli
