#include "row_answerer.h"

#include <charconv>

#include "answer.h"
#include "api/json_writer.h"
#include "degrees.h"

namespace GantrixCli {

namespace {

// Length of the ill-formed start of text, or 0 when text starts with a well-formed UTF-8
// sequence (its length is then stored in `length`). The ill-formed part is the longest
// prefix of a well-formed sequence, or one byte: each becomes one U+FFFD, as Unicode
// recommends.
std::size_t ill_formed_utf8(std::string_view text, std::size_t& length) {
  const auto byte = [&](std::size_t k) {
    return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u;
  };
  const unsigned lead = byte(0);
  unsigned low = 0x80, high = 0xBF;  // the second byte's range excludes overlongs and surrogates
  if (lead < 0x80) {
    length = 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 1;
  }
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned b = byte(k);
    if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return k;
  }
  return 0;
}

// text itself when it is valid UTF-8, else a copy in scratch with each ill-formed sequence
// replaced by U+FFFD, so that every output line is a JSON text: the library's string writer
// copies bytes from 0x80 up as they are.
std::string_view valid_utf8(std::string_view text, std::string& scratch) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  if (i == text.size()) return text;
  scratch.assign(text.substr(0, i));
  while (i < text.size()) {
    std::size_t length = 0;
    if (const std::size_t bad = ill_formed_utf8(text.substr(i), length)) {
      scratch += "\xEF\xBF\xBD";
      i += bad;
    } else {
      scratch.append(text.substr(i, length));
      i += length;
    }
  }
  return scratch;
}

bool fail(std::string& out, std::string_view message) {
  out += ",\"error\":";
  Gantrix::append_json_str(out, message);
  out += "}\n";
  return false;
}

}  // namespace

void RowAnswerer::answer(Chunk& chunk) {
  for (const ChunkLine& line : chunk.lines)
    if (!row(line, chunk.line_text(line), chunk.out)) chunk.failed = true;
}

bool RowAnswerer::row(const ChunkLine& line, std::string_view text, std::string& out) {
  char number[24];
  out += "{\"line\":";
  out.append(number, std::to_chars(number, number + sizeof number, line.number).ptr);
  if (line.too_long) return fail(out, "line too long");
  const bool well_formed = row_.split(text);
  const auto& fields = row_.fields();
  if (fields.size() > 2) {
    out += ",\"id\":";
    Gantrix::append_json_str(out, valid_utf8(row_.id(), utf8_));
  }
  if (!well_formed) return fail(out, "unterminated quoted field");
  if (fields.size() < 2) return fail(out, "expected latitude,longitude");
  double lat = 0, lng = 0;
  const Degrees lat_read = read_degrees(fields[0], lat);
  if (lat_read != Degrees::ok) return fail(out, degrees_error(lat_read, Axis::latitude));
  const Degrees lng_read = read_degrees(fields[1], lng);
  if (lng_read != Degrees::ok) return fail(out, degrees_error(lng_read, Axis::longitude));
  const Answer answer(op_ == BatchOp::find ? gx_find(lat, lng) : gx_country_at(lat, lng));
  if (!answer) return fail(out, gx_error());
  const std::string_view json(answer.get());
  if (is_error_document(json)) {
    // {"error":"..."} joins the line's own members: {"line":N,"error":"..."}.
    out += ',';
    out += json.substr(1);
    out += '\n';
    return false;
  }
  out += ",\"result\":";
  out += json;
  out += "}\n";
  return true;
}

}  // namespace GantrixCli
