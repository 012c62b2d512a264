#include "data/state.h"


namespace Gantrix {
namespace {

// The parts in image order: the builder and the reader both walk them through here.
template <class V, class Parts>
void visit_parts(V& v, Parts& p) {
  v(p.airports), v(p.countries), v(p.airport_indexes);
}

struct Built {
  AirportTable airports;
  CountryIndex countries;
  CountryAirports airport_indexes;
};

}  // namespace

ImageBytes State::image_of(std::string_view airports_src, std::string_view countries_src) {
  Built b{AirportTable::from_json(airports_src), CountryIndex::from_json(countries_src), {}};
  b.airport_indexes = CountryAirports(b.airports);
  b.airports.render([&b](const std::string& code) { return b.countries.name_of(code); });
  ImageWriter w;
  visit_parts(w, b);
  ImageHeader head{};
  head.dataset_hash = dataset_hash(airports_src, countries_src);
  head.airports = b.airports.size();
  head.features = b.countries.first_ring.size();
  return w.write(head);
}

State::State(std::string_view airports_src, std::string_view countries_src)
    : image_(image_of(airports_src, countries_src)) {
  attach();
}

State::State(std::span<const std::byte> image) : image_(ImageBytes::borrow(image)) { attach(); }

void State::attach() {
  ImageReader r(image_.view());
  visit_parts(r, *this);
  r.finish();
  header_ = r.header();
}

}  // namespace Gantrix
