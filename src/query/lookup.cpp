// Which country contains a coordinate, and the record of an airport by IATA code.
#include "core/json_writer.h"
#include "core/text.h"
#include "query/airport_object.h"
#include "query/operations.h"
#include "query/point_in_country.h"

namespace Gantrix::operations {

ResultText country_at(double lat, double lng) {
  if (!valid_coords(lat, lng)) return "null";
  const auto code = find_country_code(state(), {lat, normalize_lng(lng)});
  if (!code) return "null";
  return json_str(*code);
}

ResultText airport(const char* code) {
  const State& s = state();
  const int64_t id = s.airport_id(upper(trim(code != nullptr ? code : "")));
  if (id < 0 || id >= static_cast<int64_t>(s.airports.size())) return "null";
  ResultText out;
  out.push_back('{');
  out.append(airport_fields(s, id));
  out.push_back('}');
  return out;
}

}  // namespace Gantrix::operations
