// Dataset texts built into a State: building either completes or throws Gantrix::Error, and a
// completed State answers every query, and builds and searches airport sets, without faults.
//
// Two modes. Raw: the input is the airport text and the country text separated by the first
// NUL byte; with no NUL, the whole input is tried as each text against a minimal other one.
// Generated (first byte 0x00..0x07): the bytes steer a generator of well-formed datasets with
// odd contents (degenerate rings, huge or repeated coordinates, points with one or three
// values, coordinates before the type, missing or null codes) that raw mutation seldom
// reaches; building those must succeed. Texts are copied into heap blocks of exactly their
// size, without a terminator, so a read past the end is caught by AddressSanitizer.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "builder/state_builder.h"
#include "core/error.h"
#include "query/airport_set.h"
#include "query/point_in_country.h"
#include "query/serving_airport.h"
#include "query/set_registry.h"
#include "state/state.h"

namespace {

class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// A JSON number the reader accepts, often at the edges of what it accepts.
std::string number(Bytes& in) {
  static constexpr const char* kEdge[] = {
      "0",    "-0",    "90",    "-90",  "180",  "-180", "179.9999999", "-180.0000001",
      "1e22", "-9e22", "1e-22", "45.5", "2.25", "-0.0", "89.99999999", "922337203685477579"};
  const uint8_t b = in.next();
  if (b < 64) return kEdge[b % 16];
  // Small integers repeat, so rings get flat edges and coincident points.
  if (b < 128) return std::to_string(static_cast<int>(b % 8) - 4);
  const int whole = static_cast<int>(in.next()) - 128;
  return std::to_string(whole) + "." + std::to_string(in.next());
}

std::string code(Bytes& in) {
  static constexpr const char* kCodes[] = {"FR", "fr", "US", "GB", "-99", "", "\\n", "\xc3\xa9"};
  const uint8_t b = in.next();
  if (b < 192) return kCodes[b % 8];
  std::string s;
  for (uint8_t n = b % 4; n > 0; --n) {
    const char c = static_cast<char>(in.next() % 64 + 'A');
    if (c != '\\' && c != '"') s.push_back(c);
  }
  return s;
}

std::string ring(Bytes& in) {
  std::string out = "[";
  const uint8_t n = in.next() % 12;
  std::string first;
  for (uint8_t k = 0; k < n; ++k) {
    if (k > 0) out += ',';
    const uint8_t shape = in.next();
    std::string point = "[";
    if (shape % 16 != 0) point += number(in);
    if (shape % 16 > 1) point += "," + number(in);
    if (shape % 16 == 15) point += "," + number(in);  // an altitude
    point += "]";
    if (k == 0) first = point;
    out += point;
  }
  // Most real rings close on their first point.
  if (n > 0 && in.next() % 2 == 0) out += "," + first;
  return out + "]";
}

std::string polygon(Bytes& in) {
  std::string out = "[";
  for (uint8_t n = in.next() % 4, k = 0; k < n; ++k) out += (k > 0 ? "," : "") + ring(in);
  return out + "]";
}

std::string feature(Bytes& in) {
  const uint8_t shape = in.next();
  std::string props = "{";
  switch (shape % 4) {
    case 0:
      props += "\"iso_a2\":\"" + code(in) + "\",\"name\":\"N\"";
      break;
    case 1:
      props += "\"iso_a2\":null,\"NAME\":\"N\"";
      break;
    case 2:
      props += "\"name\":null,\"iso_a2\":\"" + code(in) + "\"";
      break;
    default:
      props += "\"other\":[1,{\"x\":null}]";
      break;
  }
  props += "}";
  std::string type = "Polygon", coords;
  switch ((shape >> 2) % 4) {
    case 0:
      coords = polygon(in);
      break;
    case 1: {
      type = "MultiPolygon";
      coords = "[";
      for (uint8_t n = in.next() % 4, k = 0; k < n; ++k) coords += (k > 0 ? "," : "") + polygon(in);
      coords += "]";
      break;
    }
    case 2:
      type = "Point", coords = "[" + number(in) + "," + number(in) + "]";
      break;
    default:
      type = "GeometryCollection", coords = "[]";
      break;
  }
  const std::string geometry = (shape & 16)
                                   ? "{\"coordinates\":" + coords + ",\"type\":\"" + type + "\"}"
                                   : "{\"type\":\"" + type + "\",\"coordinates\":" + coords + "}";
  return (shape & 64) ? "{\"geometry\":" + geometry + ",\"properties\":" + props + "}"
                      : "{\"properties\":" + props + ",\"geometry\":" + geometry + "}";
}

// A coordinate within [-limit, limit], often at its edges: the loader refuses the others.
std::string coordinate(Bytes& in, int limit) {
  const uint8_t b = in.next();
  const std::string edge = std::to_string(limit);
  switch (b % 4) {
    case 0:
      return edge;
    case 1:
      return "-" + edge;
    case 2:
      return std::to_string(limit - 1) + ".99999999";
    default:  // whole part within the limit's open range, so the fraction cannot pass it
      return std::to_string(static_cast<int>(in.next()) % (2 * limit - 1) - (limit - 1)) + "." +
             std::to_string(in.next());
  }
}

// Airport k: a code of its own (the loader refuses repeats), a country of two letters.
std::string airport(Bytes& in, int k) {
  static constexpr const char* kIata[] = {"AA", "aa", "BB", "", "Cc", "DD"};
  static constexpr const char* kCountry[] = {"FR", "fr", "US", "gB"};
  return std::string("{\"iata\":\"") + kIata[in.next() % 6] + std::to_string(k) +
         "\",\"name\":\"A\",\"city\":\"C\",\"country\":\"" + kCountry[in.next() % 4] +
         "\",\"lat\":" + coordinate(in, 90) + ",\"lng\":" + coordinate(in, 180) + "}";
}

void generate(Bytes& in, std::string& airports, std::string& countries) {
  airports = "[";
  for (uint8_t n = in.next() % 8, k = 0; k < n; ++k)
    airports += (k > 0 ? "," : "") + airport(in, k);
  airports += "]";
  countries = "{\"type\":\"FeatureCollection\",\"features\":[";
  for (uint8_t n = in.next() % 6, k = 0; k < n; ++k) countries += (k > 0 ? "," : "") + feature(in);
  countries += "]}";
}

// Every query a completed State serves, at fixed points and at each ring vertex (boundaries
// are where containment tests go wrong).
void probe(const Gantrix::State& s) {
  std::vector<std::pair<double, double>> points;
  for (const double lat : {0.0, 45.5, -89.9, 90.0, -90.0}) {
    for (const double lng : {0.0, 179.99, -120.25, 180.0, -180.0}) points.emplace_back(lat, lng);
  }
  for (size_t p = 0; p < s.countries.rings.xs.size() && p < 64; ++p) {
    const double lat = s.countries.rings.ys[p], lng = s.countries.rings.xs[p];
    if (Gantrix::valid_coords(lat, lng)) points.emplace_back(lat, Gantrix::normalize_lng(lng));
  }
  std::vector<std::string_view> codes;
  for (size_t i = 0; i < s.airports.iata.size(); ++i) codes.emplace_back(s.airports.iata[i]);
  codes.emplace_back("ZZZ");
  const Gantrix::AirportSet set(s, codes);
  for (const auto& [lat, lng] : points) {
    (void)Gantrix::find_country_code(s, {lat, lng});
    (void)Gantrix::nearest_in_country(s, {lat, lng});
    (void)s.airport_indexes.all.nearest_view({lat, lng}, 3, std::nullopt);
    (void)s.airport_indexes.all.nearest_view({lat, lng}, INT64_MAX, 500.0);
    (void)set.nearest({lat, lng}, 2, std::string_view("fr"), std::nullopt);
    (void)set.resolve(s, {lat, lng}, 1000.0);
  }
}

std::unique_ptr<char[]> exact_copy(const std::string& text) {
  std::unique_ptr<char[]> block(new char[text.empty() ? 1 : text.size()]);
  if (!text.empty()) std::memcpy(block.get(), text.data(), text.size());
  return block;
}

void build(const std::string& airports, const std::string& countries) {
  const auto a = exact_copy(airports);
  const auto c = exact_copy(countries);
  try {
    const Gantrix::State s = Gantrix::build_state(std::string_view(a.get(), airports.size()),
                                                  std::string_view(c.get(), countries.size()));
    probe(s);
  } catch (const Gantrix::Error&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0 && data[0] < 8) {
    Bytes in(data + 1, size - 1);
    std::string airports, countries;
    generate(in, airports, countries);
    // The generated texts are well formed and complete: building them must not fail.
    try {
      const auto a = exact_copy(airports);
      const auto c = exact_copy(countries);
      const Gantrix::State s = Gantrix::build_state(std::string_view(a.get(), airports.size()),
                                                    std::string_view(c.get(), countries.size()));
      probe(s);
    } catch (const Gantrix::Error&) {
      std::abort();
    }
    return 0;
  }
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\0');
  if (cut != std::string::npos) {
    build(input.substr(0, cut), input.substr(cut + 1));
    return 0;
  }
  build(input, "{\"features\":[]}");
  build("[]", input);
  return 0;
}
