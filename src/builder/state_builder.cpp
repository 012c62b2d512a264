#include "builder/state_builder.h"

#include <utility>
#include <vector>

#include "builder/airport_loader.h"
#include "builder/country_loader.h"
#include "builder/decided_cells_builder.h"
#include "builder/image_writer.h"
#include "core/error.h"
#include "core/groups.h"

namespace Gantrix {
namespace {

struct Built {
  AirportTable airports;
  CountryIndex countries;
  CountryAirports airport_indexes;
  DecidedCells decided;
};

}  // namespace

CountryAirports build_country_airports(const AirportTable& table) {
  CountryAirports out;
  const size_t n = table.size();
  std::vector<int32_t> ids(n);
  for (size_t i = 0; i < n; ++i) ids[i] = static_cast<int32_t>(i);
  const Groups groups(table.country_lower, ids);
  out.all = AirportIndex(table.lat, table.lng, std::move(ids));
  out.countries.reserve(groups.keys.size());
  std::vector<int32_t> slots(26 * 26, -1);
  for (size_t g = 0; g < groups.keys.size(); ++g) {
    const int slot = CountryAirports::two_letter_slot(groups.keys[g]);
    if (slot < 0) {
      throw Error("airports: country code \"" + groups.keys[g] + "\" is not two letters");
    }
    slots[static_cast<size_t>(slot)] = static_cast<int32_t>(g);
    out.countries.emplace_back(out.all, groups.members(g));
  }
  out.country_of_slot = std::move(slots);
  return out;
}

ImageBytes build_state_image(std::string_view airports_json, std::string_view countries_json,
                             std::optional<DecideLimits> decide) {
  Built b{load_airports(airports_json), load_countries(countries_json), {}, {}};
  b.airport_indexes = build_country_airports(b.airports);
  render_airports(b.airports, b.countries);
  ImageHeader head{};
  head.dataset_hash = dataset_hash(airports_json, countries_json);
  head.airports = b.airports.size();
  head.features = b.countries.first_ring.size();
  const auto write = [&] {
    ImageWriter w;
    visit_parts(w, b);
    return w.write(head);
  };
  ImageBytes image = write();
  if (!decide) return image;
  // The cells are decided by the queries themselves, over the State as it reads without them.
  {
    const State plain(image.view());
    b.decided = build_decided_cells(plain, *decide);
  }
  return write();
}

}  // namespace Gantrix
