#include "data/state.h"

#include <memory>

#include "data/datasets.h"

namespace Gantrix {

State::State(std::string_view airports_src, std::string_view countries_src)
    : airports(AirportTable::from_json(airports_src)),
      countries(CountryIndex::from_json(countries_src)),
      airport_indexes(airports) {
  airports.render([this](const std::string& code) { return countries.name_of(code); });
}

const State& state() {
  static std::unique_ptr<State> slot;
  if (!slot) slot = std::make_unique<State>(airports_json(), countries_json());
  return *slot;
}

}  // namespace Gantrix
