#include "state/airport_table.h"

namespace Gantrix {

int64_t AirportTable::id_of(std::string_view iata_code) const {
  const int64_t k = code_key.find_sorted(iata_code);
  return k < 0 ? -1 : code_id[static_cast<size_t>(k)];
}

}  // namespace Gantrix
