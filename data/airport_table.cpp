#include "data/airport_table.h"

#include "core/json_writer.h"

namespace Gantrix {

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

void AirportTable::render_names(const std::vector<std::string>& country_names) {
  const size_t n = size();
  code.clear();
  display.clear();
  code.reserve(n);
  display.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    code.push_back(country_lower[i] + "." + lower(iata[i]));
    // "City, Country", or "Airport name, Country" when the city is empty or equals the name.
    std::string shown = !city[i].empty() && city[i] != name[i] ? city[i] : name[i];
    shown.append(", ");
    shown.append(country_names[i]);
    display.push_back(std::move(shown));
  }
  fields.build(n, 200, [this](std::string& out, size_t i) {
    out.append("\"code\":");
    append_json_str(out, code[i]);
    out.append(",\"iata\":");
    append_json_str(out, iata[i]);
    out.append(",\"name\":");
    append_json_str(out, display[i]);
    out.append(",\"airport_name\":");
    append_json_str(out, name[i]);
    out.append(",\"city\":");
    append_json_str(out, city[i]);
    out.append(",\"country\":");
    append_json_str(out, country_lower[i]);
    out.append(",\"lat\":");
    append_json_float(out, lat[i]);
    out.append(",\"lng\":");
    append_json_float(out, lng[i]);
  });
  answer.build(n, 64, [this](std::string& out, size_t i) {
    out.append("{\"code\":");
    append_json_str(out, code[i]);
    out.append(",\"name\":");
    append_json_str(out, display[i]);
    out.push_back('}');
  });
}

size_t AirportTable::bytes() const {
  size_t total = 0;
  for (const auto* column : {&iata, &name, &city, &country, &country_lower, &code, &display}) {
    for (const auto& s : *column) total += sizeof s + (s.capacity() > 15 ? s.capacity() : 0);
  }
  total += fields.bytes() + answer.bytes() + (lat.capacity() + lng.capacity()) * sizeof(double);
  for (const auto& [key, id] : by_iata) total += sizeof key + sizeof id + 16;
  return total;
}

}  // namespace Gantrix
