// The airport half of building the State: the dataset's array of airport objects into the
// columns and the code map, checked, and the texts every result copies.
#include "builder/airport_loader.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "builder/json_reader.h"
#include "core/error.h"
#include "core/json_writer.h"
#include "core/text.h"

namespace Gantrix {
namespace {

// One record of the airport dataset, as read.
struct Airport {
  std::string iata;
  std::string name;
  std::string city;
  std::string country;
  double lat = 0.0;
  double lng = 0.0;
};

// The name of a country code (any case), or the code itself when no outline names it.
std::string country_name(const CountryIndex& countries, std::string_view code) {
  const std::string key = upper(code);
  const int64_t k = countries.name_key.find_sorted(key);
  return k < 0 ? key : std::string(countries.name_text[static_cast<size_t>(k)]);
}

}  // namespace

AirportTable load_airports(std::string_view src) {
  AirportTable t;
  std::vector<std::string> iatas, names, cities, countries, countries_lower;
  std::vector<double> lats, lngs;
  std::vector<std::pair<std::string, int32_t>> keys;  // upper-case code, airport id
  JsonReader r(src, 0);
  r.expect('[');
  if (r.next(']', true)) {
    do {
      r.expect('{');
      Airport a;
      unsigned mask = 0;
      if (r.next('}', true)) {
        do {
          const std::string key = r.read_string();
          r.expect(':');
          if (key == "iata") {
            a.iata = r.read_string();
            mask |= 1;
          } else if (key == "name") {
            a.name = r.read_string();
            mask |= 2;
          } else if (key == "city") {
            a.city = r.read_string();
            mask |= 4;
          } else if (key == "country") {
            a.country = r.read_string();
            mask |= 8;
          } else if (key == "lat") {
            a.lat = r.read_number();
            mask |= 16;
          } else if (key == "lng") {
            a.lng = r.read_number();
            mask |= 32;
          } else {
            r.skip_value();
          }
        } while (r.next('}', false));
      }
      const std::string which = std::to_string(iatas.size());
      if (mask != 63) throw Error("airports parse: missing field in airport " + which);
      // What the queries take for granted, refused here rather than answered wrongly later.
      const auto refuse = [&](const std::string& why) {
        throw Error("airports parse: airport " + which + " (\"" + a.iata + "\") ending at byte " +
                    std::to_string(r.pos()) + ": " + why);
      };
      if (!(a.lat >= -90.0 && a.lat <= 90.0)) refuse("latitude outside -90..90");
      if (!(a.lng >= -180.0 && a.lng <= 180.0)) refuse("longitude outside -180..180");
      const std::string country_code = lower(a.country);
      const auto letter = [](char c) { return c >= 'a' && c <= 'z'; };
      if (country_code.size() != 2 || !letter(country_code[0]) || !letter(country_code[1])) {
        refuse("country \"" + a.country + "\" is not two letters");
      }
      // Lookups trim the code they are given and sets split their list at 0x1F: a code
      // empty after trimming or holding either could never be looked up.
      if (trim(a.iata).empty()) refuse("IATA code is empty");
      if (a.iata.find_first_of(" \t\n\v\f\r") != std::string::npos) {
        refuse("IATA code holds white space");
      }
      if (a.iata.find('\x1f') != std::string::npos) refuse("IATA code holds the separator 0x1F");
      keys.emplace_back(upper(a.iata), static_cast<int32_t>(iatas.size()));
      iatas.push_back(std::move(a.iata));
      names.push_back(std::move(a.name));
      cities.push_back(std::move(a.city));
      countries_lower.push_back(country_code);
      countries.push_back(std::move(a.country));
      lats.push_back(a.lat);
      lngs.push_back(a.lng);
    } while (r.next(']', false));
  }

  std::sort(keys.begin(), keys.end());
  for (size_t k = 1; k < keys.size(); ++k) {
    if (keys[k].first == keys[k - 1].first) {
      throw Error("airports parse: IATA code \"" + keys[k].first + "\" given twice (airports " +
                  std::to_string(keys[k - 1].second) + " and " + std::to_string(keys[k].second) +
                  ")");
    }
  }
  std::vector<std::string> key_texts;
  std::vector<int32_t> key_ids;
  for (auto& [key, id] : keys) {
    key_texts.push_back(std::move(key));
    key_ids.push_back(id);
  }
  t.code_key = TextTable::of(key_texts);
  t.code_id = std::move(key_ids);
  t.iata = TextTable::of(iatas);
  t.name = TextTable::of(names);
  t.city = TextTable::of(cities);
  t.country = TextTable::of(countries);
  t.country_lower = TextTable::of(countries_lower);
  t.lat = std::move(lats);
  t.lng = std::move(lngs);
  return t;
}

void render_airports(AirportTable& t, const CountryIndex& countries) {
  const size_t n = t.size();
  std::vector<std::string> codes, shown_names;
  codes.reserve(n);
  shown_names.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    codes.push_back(std::string(t.country_lower[i]) + "." + lower(t.iata[i]));
    // "City, Country", or "Airport name, Country" when the city is empty or equals the name.
    std::string shown(!t.city[i].empty() && t.city[i] != t.name[i] ? t.city[i] : t.name[i]);
    shown.append(", ");
    shown.append(country_name(countries, t.country[i]));
    shown_names.push_back(std::move(shown));
  }
  t.code = TextTable::of(codes);
  t.display = TextTable::of(shown_names);
  t.fields.build(n, 200, [&](std::string& out, size_t i) {
    out.append("\"code\":");
    append_json_str(out, t.code[i]);
    out.append(",\"iata\":");
    append_json_str(out, t.iata[i]);
    out.append(",\"name\":");
    append_json_str(out, t.display[i]);
    out.append(",\"airport_name\":");
    append_json_str(out, t.name[i]);
    out.append(",\"city\":");
    append_json_str(out, t.city[i]);
    out.append(",\"country\":");
    append_json_str(out, t.country_lower[i]);
    out.append(",\"lat\":");
    append_json_float(out, t.lat[i]);
    out.append(",\"lng\":");
    append_json_float(out, t.lng[i]);
  });
  t.answer.build(n, 64, [&](std::string& out, size_t i) {
    out.append("{\"code\":");
    append_json_str(out, t.code[i]);
    out.append(",\"name\":");
    append_json_str(out, t.display[i]);
    out.push_back('}');
  });
}

}  // namespace Gantrix
