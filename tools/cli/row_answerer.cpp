#include "row_answerer.h"

#include <charconv>

#include "answer.h"
#include "core/json_writer.h"
#include "degrees.h"

namespace GantrixCli {

namespace {

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
    Gantrix::append_json_str(out, row_.id());  // the writer mends ill-formed UTF-8
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
