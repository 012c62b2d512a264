// What every peer loads for itself from the dataset files, and the interface the driver times.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace peers {

struct Ring {
  std::vector<double> x, y;  // longitude, latitude; closed as in the file
};
struct Feature {
  std::string code;                         // lower case
  std::vector<std::vector<Ring>> polygons;  // each: outer ring, then holes
};

struct PeerData {
  std::vector<std::string> iata, country;  // country lower case
  std::vector<double> lat, lng;
  std::vector<Feature> features;           // only those with a usable code
  std::unordered_map<std::string, int32_t> by_iata;
  std::unordered_map<std::string, std::vector<int32_t>> by_country;
};

// Reads airports.json and countries.geojson under dir (datasets/).
PeerData load(const std::string& dir);

inline double haversine_km(double lat1, double lng1, double lat2, double lng2) {
  constexpr double d = 0.017453292519943295;
  const double s = std::sin((lat2 - lat1) * d * 0.5), t = std::sin((lng2 - lng1) * d * 0.5);
  const double a = std::fmin(1.0, s * s + std::cos(lat1 * d) * std::cos(lat2 * d) * t * t);
  return 2.0 * 6371.0 * std::atan2(std::sqrt(a), std::sqrt(1.0 - a));
}

struct Peer {
  virtual ~Peer() = default;
  // Lower-case code of the country holding the point, or "".
  virtual std::string_view country(double lat, double lng) = 0;
  // Nearest airport id over the world, or -1.
  virtual int32_t nearest(double lat, double lng) = 0;
  // Nearest airport id among the country's airports, or -1; false when not offered.
  virtual bool has_in_country() const { return true; }
  virtual int32_t nearest_in(const std::string& code, double lat, double lng) = 0;
  // The 5 set members nearest first into out; returns how many.
  virtual bool has_set() const { return true; }
  virtual size_t set_nearest5(double lat, double lng, int32_t* out) = 0;
};

// Each builds from the files under dir; set_codes are IATA codes.
std::unique_ptr<Peer> make_geos(const std::string& dir, const std::vector<std::string>& set_codes);
std::unique_ptr<Peer> make_boost(const std::string& dir, const std::vector<std::string>& set_codes);
std::unique_ptr<Peer> make_s2(const std::string& dir, const std::vector<std::string>& set_codes);

// Ids of the set codes the data knows (the rest are dropped, as the library does).
std::vector<int32_t> set_ids(const PeerData& d, const std::vector<std::string>& codes);

}  // namespace peers
