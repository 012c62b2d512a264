// Which country contains a coordinate, and the record of an airport by IATA code.
#include "core/json_writer.h"
#include "query/airport_object.h"
#include "query/gantrix_ext.h"
#include "query/point_in_country.h"

namespace Gantrix {

std::string_view trim(std::string_view s) {
  constexpr std::string_view kSpace = " \t\n\v\f\r";
  const size_t begin = s.find_first_not_of(kSpace);
  if (begin == std::string_view::npos) return {};
  return s.substr(begin, s.find_last_not_of(kSpace) - begin + 1);
}

ResultText GantrixExt::country_at(double lat, double lng) {
  if (!valid_coords(lat, lng)) return "null";
  const State& s = state();
  const auto code = find_country_code(s, lat, normalize_lng(lng));
  if (!code) return "null";
  return json_str(*code);
}

ResultText GantrixExt::airport(const char* code) {
  const State& s = state();
  const int64_t id = s.airport_id(upper(trim(code != nullptr ? code : "")));
  if (id < 0 || id >= static_cast<int64_t>(s.airports.size())) return "null";
  ResultText out;
  out.push_back('{');
  out.append(airport_fields(s, id));
  out.push_back('}');
  return out;
}

}  // namespace Gantrix
