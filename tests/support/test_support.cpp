#include "tests/support/test_support.h"

#include <cstdio>
#include <sstream>

#include "api/gantrix.h"

namespace Gantrix::test {
namespace {

std::vector<std::vector<std::pair<double, double>>> parse_rings(const std::string& text) {
  std::vector<std::vector<std::pair<double, double>>> out;
  std::stringstream rings(text);
  std::string ring;
  while (std::getline(rings, ring, '|')) {
    out.emplace_back();
    std::stringstream points(ring);
    std::string point;
    while (std::getline(points, point, ',')) {
      std::stringstream xy(point);
      double x = 0, y = 0;
      if (xy >> x >> y) out.back().emplace_back(x, y);
    }
  }
  return out;
}

std::string num(double v) {
  char buf[64];
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
  for (const auto& ring : parse_rings(text)) {
    std::vector<double> xs, ys;
    for (const auto& [x, y] : ring) {
      xs.push_back(x);
      ys.push_back(y);
    }
    rings.add(xs, ys);
  }
}

std::string countries_text(const std::vector<FeatureSpec>& features) {
  std::string out = "{\"type\":\"FeatureCollection\",\"features\":[";
  for (size_t f = 0; f < features.size(); ++f) {
    if (f > 0) out += ",";
    out += "{\"type\":\"Feature\",\"properties\":{\"iso_a2\":\"" + features[f].code +
           "\",\"name\":\"" + features[f].name + "\"}";
    if (!features[f].rings.empty()) {
      out += ",\"geometry\":{\"type\":\"Polygon\",\"coordinates\":[";
      const auto rings = parse_rings(features[f].rings);
      for (size_t r = 0; r < rings.size(); ++r) {
        if (r > 0) out += ",";
        out += "[";
        for (size_t p = 0; p < rings[r].size(); ++p) {
          if (p > 0) out += ",";
          out += "[" + num(rings[r][p].first) + "," + num(rings[r][p].second) + "]";
        }
        out += "]";
      }
      out += "]}";
    }
    out += "}";
  }
  return out + "]}";
}

std::string airports_text(const std::vector<AirportSpec>& airports) {
  std::string out = "[";
  for (size_t i = 0; i < airports.size(); ++i) {
    const auto& a = airports[i];
    if (i > 0) out += ",";
    out += "{\"iata\":\"" + a.iata + "\",\"name\":\"" + a.name + "\",\"city\":\"" + a.city +
           "\",\"country\":\"" + a.country + "\",\"lat\":" + num(a.lat) +
           ",\"lng\":" + num(a.lng) + "}";
  }
  return out + "]";
}

}  // namespace Gantrix::test
