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
  // Built by the first caller while any others wait; a build that throws leaves nothing and
  // the next call tries again. Never destroyed: threads may still query at exit.
  static const State* const built = new State(airports_json(), countries_json());
  return *built;
}

}  // namespace Gantrix
