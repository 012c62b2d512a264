// The airport half of building the State: the dataset's array of airport objects into the
// six columns and the code map.
#include <string>

#include "core/error.h"
#include "data/airport_table.h"
#include "data/json_reader.h"

namespace Gantrix {

void AirportTable::read(std::string_view src) {
  JsonReader r(src, 0);
  r.expect('[');
  if (!r.next(']', true)) return;
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
    if (mask != 63) {
      throw Error("airports parse: missing field in airport " + std::to_string(iata.size()));
    }
    iata.push_back(std::move(a.iata));
    name.push_back(std::move(a.name));
    city.push_back(std::move(a.city));
    country_lower.push_back(lower(a.country));
    country.push_back(std::move(a.country));
    lat.push_back(a.lat);
    lng.push_back(a.lng);
  } while (r.next(']', false));
  // Of two airports with one code the later wins.
  by_iata.reserve(iata.size());
  for (size_t i = 0; i < iata.size(); ++i) by_iata[upper(iata[i])] = static_cast<int64_t>(i);
}

}  // namespace Gantrix
