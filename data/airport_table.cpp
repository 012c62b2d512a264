#include "data/airport_table.h"

#include <algorithm>

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

int64_t AirportTable::id_of(std::string_view iata_code) const {
  const int64_t k = code_key.find_sorted(iata_code);
  return k < 0 ? -1 : code_id[static_cast<size_t>(k)];
}

void AirportTable::render_names(const std::vector<std::string>& country_names) {
  const size_t n = size();
  std::vector<std::string> codes, shown_names;
  codes.reserve(n);
  shown_names.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    codes.push_back(std::string(country_lower[i]) + "." + lower(iata[i]));
    // "City, Country", or "Airport name, Country" when the city is empty or equals the name.
    std::string shown(!city[i].empty() && city[i] != name[i] ? city[i] : name[i]);
    shown.append(", ");
    shown.append(country_names[i]);
    shown_names.push_back(std::move(shown));
  }
  code = TextTable::of(codes);
  display = TextTable::of(shown_names);
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
  size_t total = lat.bytes() + lng.bytes() + code_id.bytes();
  for (const auto* t : {&iata, &name, &city, &country, &code_key, &country_lower, &code, &display,
                        &fields, &answer}) {
    total += t->bytes();
  }
  return total;
}

}  // namespace Gantrix
