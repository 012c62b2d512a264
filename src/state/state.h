// The loaded data every query reads, in four parts: the airport table, the country index,
// the nearest-airport indexes and the answers decided for whole cells at build time. The
// parts are views into one image of the State (state/image.h): the one compiled into the
// library, or one built in-process from dataset texts by the builder. Read-only once made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "state/airport_table.h"
#include "state/country_airports.h"
#include "state/country_index.h"
#include "state/decided_cells.h"
#include "state/image.h"

namespace Gantrix {

// The parts in image order: the builder and the reader both walk them through here.
template <class V, class Parts>
void visit_parts(V& v, Parts& p) {
  v(p.airports), v(p.countries), v(p.airport_indexes), v(p.decided);
}

class State {
 public:
  // Views an image kept elsewhere, which must outlive the State; throws Error if it is not
  // an image this library reads.
  explicit State(std::span<const std::byte> image);
  // Views an image it keeps (one built in-process: builder/state_builder.h).
  explicit State(ImageBytes image);
  State(const State&) = delete;
  State& operator=(const State&) = delete;

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
  DecidedCells decided;  // empty in an image built without them: every point runs the procedure

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
