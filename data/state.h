// The loaded data every query reads, in three parts: the airport table, the country index
// and the nearest-airport indexes. The parts are views into one image of the State
// (data/image.h): the one compiled into the library, or one built in-process from dataset
// texts. Read-only once made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "data/airport_table.h"
#include "data/country_airports.h"
#include "data/country_index.h"
#include "data/image.h"

namespace Gantrix {

class State {
 public:
  // Runs the loaders on the texts (throwing Error on a bad text), writes the image and views it.
  State(std::string_view airports_json, std::string_view countries_json);
  // Views an image kept elsewhere, which must outlive the State; throws Error if it is not
  // an image this library reads.
  explicit State(std::span<const std::byte> image);
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  // The image of the State built from the two texts.
  static ImageBytes image_of(std::string_view airports_json, std::string_view countries_json);

  // The airport index of a lower-case country code, or null.
  [[nodiscard]] const AirportIndex* country_index(std::string_view code) const {
    return airport_indexes.of(code);
  }
  // The airport id of an upper-case IATA code, or -1.
  [[nodiscard]] int64_t airport_id(std::string_view code) const { return airports.id_of(code); }
  // Bytes of the image the parts view.
  [[nodiscard]] size_t bytes() const { return image_.view().size(); }
  [[nodiscard]] std::span<const std::byte> image() const { return image_.view(); }
  [[nodiscard]] const ImageHeader& header() const { return header_; }

  AirportTable airports;
  CountryIndex countries;
  CountryAirports airport_indexes;

 private:
  void attach();

  ImageBytes image_;
  ImageHeader header_{};
};

// The process-wide State, viewing the image compiled into the library; made on the first
// call, once, whichever thread calls first (the others wait for it). Stored only when
// complete: if it fails (an image this library cannot read), nothing is kept and the next
// call fails the same way.
const State& state();

}  // namespace Gantrix
