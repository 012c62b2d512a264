#include "peer_data.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace peers {
namespace {

nlohmann::json read_json(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::stringstream ss;
  ss << in.rdbuf();
  return nlohmann::json::parse(ss.str());
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<Ring> polygon(const nlohmann::json& rings) {
  std::vector<Ring> out;
  for (const auto& r : rings) {
    Ring ring;
    for (const auto& p : r) {
      ring.x.push_back(p[0].get<double>());
      ring.y.push_back(p[1].get<double>());
    }
    out.push_back(std::move(ring));
  }
  return out;
}

}  // namespace

PeerData load(const std::string& dir) {
  PeerData d;
  for (const auto& a : read_json(dir + "/airports.json")) {
    const auto id = static_cast<int32_t>(d.iata.size());
    d.iata.push_back(a["iata"].get<std::string>());
    d.country.push_back(lower(a["country"].get<std::string>()));
    d.lat.push_back(a["lat"].get<double>());
    d.lng.push_back(a["lng"].get<double>());
    d.by_iata[d.iata.back()] = id;
    d.by_country[d.country.back()].push_back(id);
  }
  const nlohmann::json countries = read_json(dir + "/countries.geojson");
  for (const auto& f : countries["features"]) {
    const auto& code = f["properties"]["iso_a2"];
    if (!code.is_string() || code.get<std::string>().empty() || code == "-99") continue;
    Feature feature{lower(code.get<std::string>()), {}};
    const auto& g = f["geometry"];
    if (g["type"] == "Polygon") {
      feature.polygons.push_back(polygon(g["coordinates"]));
    } else if (g["type"] == "MultiPolygon") {
      for (const auto& p : g["coordinates"]) feature.polygons.push_back(polygon(p));
    }
    d.features.push_back(std::move(feature));
  }
  return d;
}

std::vector<int32_t> set_ids(const PeerData& d, const std::vector<std::string>& codes) {
  std::vector<int32_t> ids;
  for (const auto& c : codes) {
    const auto it = d.by_iata.find(c);
    if (it != d.by_iata.end()) ids.push_back(it->second);
  }
  return ids;
}

}  // namespace peers
