// Which airport serves a coordinate.
#include <string_view>

#include "core/error.h"
#include "core/json_writer.h"
#include "query/operations.h"
#include "query/serving_airport.h"

namespace Gantrix::operations {
namespace {

ResultText error_document(std::string_view message) {
  std::string out("{\"error\":");
  append_json_str(out, message);
  out.push_back('}');
  return out;
}

}  // namespace

// The expected failures (bad input, no country, no airport) are answered directly: an
// exception costs more than a whole lookup, and sea points fail often.
ResultText find(double lat, double lng) {
  if (!valid_coords(lat, lng)) return error_document("invalid coordinates");
  const State* s = nullptr;
  try {
    s = &state();
  } catch (const Error& e) {
    return error_document(e.what());
  }
  const Located loc = nearest_in_country(*s, {lat, normalize_lng(lng)});
  if (loc.index < 0) return error_document(loc.error);
  // {"code":...,"name":...}, written once per airport at build time.
  return s->airports.answer[static_cast<size_t>(loc.index)];
}

}  // namespace Gantrix::operations
