// The airport half of building the State: the dataset's array of airport objects into the
// columns and the code map, checked.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/error.h"
#include "data/airport_table.h"
#include "data/json_reader.h"

namespace Gantrix {

void AirportTable::read(std::string_view src) {
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
  code_key = TextTable::of(key_texts);
  code_id = std::move(key_ids);
  iata = TextTable::of(iatas);
  name = TextTable::of(names);
  city = TextTable::of(cities);
  country = TextTable::of(countries);
  country_lower = TextTable::of(countries_lower);
  lat = std::move(lats);
  lng = std::move(lngs);
}

}  // namespace Gantrix
