// The airport half of building the State: the dataset's array of airport objects into the
// record list and the six columns.
#include <string>

#include "api/error.h"
#include "data/json_reader.h"
#include "data/state.h"

namespace Gantrix {

void State::parse_airports(std::string_view src) {
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
      throw Error("airports parse: missing field in airport " + std::to_string(airports.size()));
    }
    ap_iata.push_back(a.iata);
    ap_name.push_back(a.name);
    ap_city.push_back(a.city);
    ap_country.push_back(a.country);
    ap_lat.push_back(a.lat);
    ap_lng.push_back(a.lng);
    airports.push_back(std::move(a));
  } while (r.next(']', false));
}

}  // namespace Gantrix
