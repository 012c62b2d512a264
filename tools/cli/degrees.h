// The one number syntax for coordinates, in batch rows and in arguments alike: a decimal
// number (as C reads it, exponent allowed) with an optional leading '+' and an optional
// trailing degree sign, surrounded by any blanks.
#pragma once

#include <string_view>

namespace GantrixCli {

enum class Degrees { ok, not_a_number, nan, out_of_range };

// Reads text into value; value is set only when the result is ok. "1e999" and "inf" are
// numbers beyond any coordinate (out_of_range); "nan" is not a number either, told apart
// for the messages of options that name it. A value too small for a double reads as zero,
// as it is.
Degrees read_degrees(std::string_view text, double& value);

enum class Axis { latitude, longitude };

// What is wrong with a coordinate that read as `result`, e.g. "latitude out of range"; empty
// when it read well. Rows and arguments say it in the same words.
std::string_view degrees_error(Degrees result, Axis axis);

}  // namespace GantrixCli
