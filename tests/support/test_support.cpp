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

void add_rings(Rings& rings, const std::string& text) {
  for (const auto& [xs, ys] : parse_rings(text)) add_ring(rings, xs, ys);
}

std::string countries_text(const std::vector<FeatureText>& features) {
  std::string out;
  for (const auto& f : features) {
    out += std::string(out.empty() ? "" : ",") + R"({"type":"Feature","properties":{"iso_a2":")" +
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
    out += std::string(out.empty() ? "[" : ",") + R"({"iata":")" + a.iata + R"(","name":")" +
           a.name + R"(","city":")" + a.city + R"(","country":")" + a.country + R"(","lat":)" +
           num(a.lat) + R"(,"lng":)" + num(a.lng) + "}";
  }
  return out.empty() ? "[]" : out + "]";
}

std::vector<std::string> members(const std::string& json, const std::string& name) {
  std::vector<std::string> out;
  const std::string key = "\"" + name + "\":";
  for (size_t p = json.find(key); p != std::string::npos; p = json.find(key, p + 1)) {
    const size_t v = p + key.size(), str = json[v] == '"' ? 1 : 0;
    const size_t end = str ? json.find('"', v + 1) : json.find_first_of(",}]", v);
    out.push_back(json.substr(v + str, end - v - str));
  }
  return out;
}

std::string member(const std::string& json, const std::string& name) {
  const auto all = members(json, name);
  return all.empty() ? "<absent>" : all[0];
}

}  // namespace Gantrix::test
