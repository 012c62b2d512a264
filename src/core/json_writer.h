// Compact JSON output: strings escaped byte by byte, with each ill-formed UTF-8 sequence
// replaced by U+FFFD so every answer is UTF-8; doubles as the shortest text that reads back
// exactly. Both append to a caller's buffer so a result is
// assembled in one string without temporaries.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Gantrix {

void append_json_str(std::string& out, std::string_view text);
void append_json_float(std::string& out, double value);

// Room a number needs at the write position: its text is at most 24 bytes, but whole words
// may be stored past its end, up to 26 bytes from the start.
inline constexpr size_t JSON_FLOAT_ROOM = 32;
// Writes the number at w, which must have JSON_FLOAT_ROOM bytes of room; returns its end.
char* write_json_float(char* w, double value);

inline std::string json_str(std::string_view text) {
  std::string out;
  append_json_str(out, text);
  return out;
}

inline std::string json_float(double value) {
  std::string out;
  append_json_float(out, value);
  return out;
}

}  // namespace Gantrix
