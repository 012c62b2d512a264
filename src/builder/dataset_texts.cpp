#include "builder/dataset_texts.h"

extern "C" {
extern const char gantrix_airports_json_begin[];
extern const char gantrix_airports_json_end[];
extern const char gantrix_countries_json_begin[];
extern const char gantrix_countries_json_end[];
}

namespace Gantrix {

std::string_view airports_json() {
  return {gantrix_airports_json_begin,
          static_cast<size_t>(gantrix_airports_json_end - gantrix_airports_json_begin)};
}

std::string_view countries_json() {
  return {gantrix_countries_json_begin,
          static_cast<size_t>(gantrix_countries_json_end - gantrix_countries_json_begin)};
}

}  // namespace Gantrix
