#include "tests/support/test_support.h"

#include <cstdio>
#include <sstream>

#include "builder/rings_builder.h"

namespace Gantrix::test {
namespace {

// Each ring as its longitudes and latitudes.
std::vector<std::pair<std::vector<double>, std::vector<double>>> parse_rings(
    const std::string& text) {
  std::vector<std::pair<std::vector<double>, std::vector<double>>> out;
  std::stringstream rings(text);
  for (std::string ring, point; std::getline(rings, ring, '|');) {
    out.emplace_back();
    std::stringstream points(ring);
    while (std::getline(points, point, ',')) {
      std::stringstream xy(point);
      double x = 0, y = 0;
      if (xy >> x >> y) out.back().first.push_back(x), out.back().second.push_back(y);
    }
  }
  return out;
}

std::string num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

}  // namespace

std::string take(char* result) {
  if (result == nullptr) return "<null>";
  std::string s(result);
  gx_free(result);
  return s;
}

void add_rings(Rings& rings, const std::string& text) {
  for (const auto& [xs, ys] : parse_rings(text)) add_ring(rings, xs, ys);
}

std::string countries_text(const std::vector<FeatureText>& features) {
  std::string out;
  for (const auto& f : features) {
    out += (out.empty() ? R"({"type":"Feature","properties":{"iso_a2":")"
                        : R"(,{"type":"Feature","properties":{"iso_a2":")") +
           f.code + R"(","name":")" + f.name + "\"}";
    std::string coords;
    for (const auto& [xs, ys] : parse_rings(f.rings)) {
      coords += coords.empty() ? "[" : ",[";
      for (size_t p = 0; p < xs.size(); ++p) {
        coords += (p > 0 ? ",[" : "[") + num(xs[p]) + "," + num(ys[p]) + "]";
      }
      coords += "]";
    }
    if (!coords.empty()) out += R"(,"geometry":{"type":"Polygon","coordinates":[)" + coords + "]}";
    out += "}";
  }
  return R"({"type":"FeatureCollection","features":[)" + out + "]}";
}

std::string airports_text(const std::vector<AirportText>& airports) {
  std::string out;
  for (const auto& a : airports) {
    out += (out.empty() ? R"([{"iata":")" : R"(,{"iata":")") + a.iata + R"(","name":")" + a.name +
           R"(","city":")" + a.city + R"(","country":")" + a.country + R"(","lat":)" + num(a.lat) +
           R"(,"lng":)" + num(a.lng) + "}";
  }
  return out.empty() ? "[]" : out + "]";
}

bool utf8_valid(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const size_t len = b < 0x80                ? 1
                       : b >= 0xC2 && b < 0xE0 ? 2
                       : b >= 0xE0 && b < 0xF0 ? 3
                       : b >= 0xF0 && b < 0xF5 ? 4
                                               : 0;
    if (len == 0 || i + len > text.size()) return false;
    uint32_t cp = len == 1 ? b : b & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

}  // namespace Gantrix::test
