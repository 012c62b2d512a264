#include "api/airport_object.h"

#include "api/json_writer.h"

namespace Gantrix {

std::string get_country_name(const State& s, std::string_view code) {
  std::string key = upper(code);
  const auto it = s.country_names.find(key);
  return it == s.country_names.end() ? key : it->second;
}

std::string describe_airport(const State& s, int64_t id) {
  const Airport& a = s.airports[id];
  std::string out = !a.city.empty() && a.city != a.name ? a.city : a.name;
  out.append(", ");
  out.append(get_country_name(s, a.country));
  return out;
}

void write_airport_fields(std::string& out, const State& s, int64_t id) {
  const Airport& a = s.airports[id];
  out.append("\"code\":");
  append_json_str(out, composite_code(s, id));
  out.append(",\"iata\":");
  append_json_str(out, a.iata);
  out.append(",\"name\":");
  append_json_str(out, display_name(s, id));
  out.append(",\"airport_name\":");
  append_json_str(out, a.name);
  out.append(",\"city\":");
  append_json_str(out, a.city);
  out.append(",\"country\":");
  append_json_str(out, s.ap_country_lower[id]);
  out.append(",\"lat\":");
  append_json_float(out, a.lat);
  out.append(",\"lng\":");
  append_json_float(out, a.lng);
}

}  // namespace Gantrix
