// The loaded data every query reads: airport columns, the code map, per-country airport
// indexes, country rings and envelopes. Built once from the embedded texts on first need and
// read-only afterwards.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/rings.h"
#include "data/text_table.h"
#include "spatial/airport_index.h"
#include "spatial/country_cells.h"
#include "spatial/rtree.h"

namespace Gantrix {

struct Airport {
  std::string iata;
  std::string name;
  std::string city;
  std::string country;
  double lat = 0.0;
  double lng = 0.0;
};

// A stable grouping of item ids by key: groups in order of their key's first appearance,
// ids within a group in input order.
struct Groups {
  Groups(const std::vector<std::string>& item_keys, const std::vector<int32_t>& ids);
  [[nodiscard]] std::vector<int32_t> members(size_t g) const;

  std::vector<std::string> keys;
  std::vector<int64_t> start;
  std::vector<int32_t> items;
};

// Case mapping for codes: ASCII letters only; every other byte is left as it is.
std::string upper(std::string_view s);
std::string lower(std::string_view s);

// Map keyed by text that can be probed with a string_view without building a string.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
template <class V>
using TextMap = std::unordered_map<std::string, V, TextHash, std::equal_to<>>;

class State {
 public:
  State(std::string_view airports_json, std::string_view countries_json);
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  // The airport index of a lower-case country code, or null.
  [[nodiscard]] const AirportIndex* country_index(std::string_view code) const {
    if (const int slot = two_letter_slot(code); slot >= 0) return two_letter_index[slot];
    const auto it = airports_by_country.find(code);
    return it == airports_by_country.end() ? nullptr : &it->second;
  }
  // The airport id of an upper-case IATA code, or -1.
  [[nodiscard]] int64_t airport_id(std::string_view code) const {
    const auto it = airports_by_iata.find(code);
    return it == airports_by_iata.end() ? -1 : it->second;
  }
  // Bytes held by the columns, maps' payloads, rings and indexes (approximate for maps).
  [[nodiscard]] size_t bytes() const;

  std::vector<Airport> airports;
  std::vector<std::string> ap_iata;
  std::vector<std::string> ap_name;
  std::vector<std::string> ap_city;
  std::vector<std::string> ap_country;
  std::vector<double> ap_lat;
  std::vector<double> ap_lng;
  TextMap<int64_t> airports_by_iata;
  Rings rings;
  std::vector<int64_t> feature_ring0;
  std::vector<int64_t> feature_rings;
  TextMap<std::string> country_names;
  std::vector<std::string> env_code;
  std::vector<int64_t> env_feature;
  std::vector<double> env_lo;
  std::vector<double> env_hi;
  RTree country_tree;
  std::unique_ptr<AirportIndex> all_airports;
  TextMap<AirportIndex> airports_by_country;
  // The same indexes for the keys of two lower-case letters (nearly all), without hashing.
  std::array<const AirportIndex*, 26 * 26> two_letter_index{};

  // Per airport, what every result writes about it, made once at load: the lower-case
  // country code, the composite code (us.jfk) and the display name.
  std::vector<std::string> ap_country_lower;
  std::vector<std::string> ap_code;
  std::vector<std::string> ap_display;
  // Each airport's result members (the airport object without braces).
  TextTable ap_fields;
  // Each airport's answer to "which airport serves this point", {"code":...,"name":...}.
  TextTable ap_answer;

  // A second index over the rings themselves (of features with an envelope): a point then
  // meets only the rings whose own box holds it, instead of every ring of every envelope
  // that holds it (the envelopes of countries spanning the antimeridian cover whole bands).
  // Ring boxes are widened by MARGIN in longitude, as the ring test is. The boxes are listed
  // in a grid of one-degree cells, each cell naming every box that overlaps it.
  static constexpr int GRID_W = 360;
  static constexpr int GRID_H = 180;
  static int grid_x(double x) { return grid_cell(x + 180.0, GRID_W); }
  static int grid_y(double y) { return grid_cell(y + 90.0, GRID_H); }
  std::vector<int32_t> ring_feature;      // per ring: its feature
  std::vector<int64_t> feature_envelope;  // per feature: its envelope, or -1
  std::vector<int32_t> ring_entry;        // per indexed box: the ring
  std::vector<double> ring_lo;            // per indexed box: min longitude, min latitude
  std::vector<double> ring_hi;            // per indexed box: max longitude, max latitude
  std::vector<int32_t> grid_start;        // per cell (row-major, then one more): into grid_box
  std::vector<int32_t> grid_box;          // indexed boxes, cell after cell
  CountryCells country_cells;             // the exact test's answer where a cell fixes it

 private:
  // The place of a key of two lower-case letters in two_letter_index, or -1.
  static int two_letter_slot(std::string_view code) {
    const auto letter = [](char c) { return c >= 'a' && c <= 'z'; };
    if (code.size() != 2 || !letter(code[0]) || !letter(code[1])) return -1;
    return (code[0] - 'a') * 26 + (code[1] - 'a');
  }
  // Clamped, so probes past the poles or the antimeridian land in the edge cells; rounding
  // is monotonic, so a box that holds a point always lists itself in the point's cell.
  static int grid_cell(double v, int cells) {
    const double f = std::floor(v);
    if (!(f >= 0.0)) return 0;
    if (f >= cells - 1) return cells - 1;
    return static_cast<int>(f);
  }
  void parse_airports(std::string_view src);
  void parse_countries(std::string_view src);
  void add_envelope(int64_t feature, const std::string& code);
  void index_rings();
};

// The process-wide State, built from the embedded datasets on the first call. Stored only
// when complete: if building throws, nothing is kept and the next call tries again.
const State& state();

// True once state() has completed (for callers that must not trigger loading).
bool state_loaded();

}  // namespace Gantrix
