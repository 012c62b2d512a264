// The country half of building the State: a GeoJSON FeatureCollection into the flat ring
// store, the per-feature ring ranges, the country names and the envelopes.
#include "builder/country_loader.h"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "builder/country_cells_builder.h"
#include "builder/json_reader.h"
#include "builder/ring_grid_builder.h"
#include "builder/rings_builder.h"
#include "core/error.h"
#include "core/text.h"

namespace Gantrix {
namespace {

// Reusable ring buffers: one ring is read into them, then copied into the store.
struct RingBuffer {
  std::vector<double> xs;
  std::vector<double> ys;
};

void parse_ring(JsonReader& r, RingBuffer& ring) {
  ring.xs.clear();
  ring.ys.clear();
  r.expect('[');
  if (!r.next(']', true)) return;
  do {
    r.expect('[');
    int read = 0;
    double x = 0.0, y = 0.0;
    if (r.next(']', true)) {
      x = r.read_number();
      read = 1;
      if (r.next(']', false)) {
        y = r.read_number();
        read = 2;
        while (r.next(']', false)) r.read_number();
      }
    }
    if (read == 2) {
      ring.xs.push_back(x);
      ring.ys.push_back(y);
    }
  } while (r.next(']', false));
}

void parse_polygon(JsonReader& r, Rings& rings, RingBuffer& ring) {
  r.expect('[');
  if (!r.next(']', true)) return;
  do {
    parse_ring(r, ring);
    add_ring(rings, ring.xs, ring.ys);
  } while (r.next(']', false));
}

void parse_coordinates(JsonReader& r, const std::string& type, Rings& rings, RingBuffer& ring) {
  if (type == "Polygon") {
    parse_polygon(r, rings, ring);
  } else if (type == "MultiPolygon") {
    r.expect('[');
    if (!r.next(']', true)) return;
    do {
      parse_polygon(r, rings, ring);
    } while (r.next(']', false));
  } else {
    r.skip_value();
  }
}

// Coordinates may come before the type; they are then skipped once and re-read from their
// offset instead of being buffered.
void parse_geometry(JsonReader& r, Rings& rings, RingBuffer& ring) {
  std::string type;
  bool type_seen = false;
  int64_t saved = -1;
  r.expect('{');
  if (r.next('}', true)) {
    do {
      const std::string key = r.read_string();
      r.expect(':');
      if (key == "type") {
        type = r.read_string();
        type_seen = true;
      } else if (key == "coordinates") {
        if (type_seen) {
          parse_coordinates(r, type, rings, ring);
        } else {
          r.skip_ws();
          saved = r.pos();
          r.skip_value();
        }
      } else {
        r.skip_value();
      }
    } while (r.next('}', false));
  }
  if (saved != -1) {
    JsonReader again(r.src(), saved);
    parse_coordinates(again, type, rings, ring);
  }
}

// Adds the envelope of a feature that has points; its code goes to codes.
void add_envelope(CountryIndex& c, int64_t feature, const std::string& code,
                  std::vector<std::string>& codes) {
  const Rings& rings = c.rings;
  double min_x = 180.0, max_x = -180.0, min_y = 90.0, max_y = -90.0;
  const int64_t r0 = c.first_ring[feature];
  for (int64_t r = r0; r < r0 + c.ring_count[feature]; ++r) {
    const int64_t begin = rings.first[r];
    const int64_t end = begin + rings.n[r];
    for (int64_t p = begin; p < end; ++p) {
      const double x = rings.xs[p], y = rings.ys[p];
      if (x < min_x) min_x = x;
      if (x > max_x) max_x = x;
      if (y < min_y) min_y = y;
      if (y > max_y) max_y = y;
    }
  }
  if (min_y >= 90.0 || max_y <= -90.0) return;
  c.envelope_lo.push_back(min_x);
  c.envelope_lo.push_back(min_y);
  c.envelope_hi.push_back(max_x);
  c.envelope_hi.push_back(max_y);
  codes.push_back(lower(code));
  c.envelope_feature.push_back(feature);
}

// The ring and feature cross-references, then the two indexes of the point test.
void build_indexes(CountryIndex& c) {
  const auto features = static_cast<int64_t>(c.first_ring.size());
  c.ring_feature.assign(static_cast<size_t>(c.rings.size()), -1);
  c.feature_envelope.assign(static_cast<size_t>(features), -1);
  for (size_t e = 0; e < c.envelope_feature.size(); ++e) {
    c.feature_envelope[c.envelope_feature[e]] = static_cast<int64_t>(e);
  }
  for (int64_t f = 0; f < features; ++f) {
    for (int64_t r = c.first_ring[f]; r < c.first_ring[f] + c.ring_count[f]; ++r) {
      c.ring_feature[r] = static_cast<int32_t>(f);
    }
  }
  c.ring_grid = build_ring_grid(
      c.rings, [&c](int64_t r) { return c.feature_envelope[c.ring_feature[r]] >= 0; });
  c.cells = build_country_cells(CellSource{c.rings, c.ring_grid, c.ring_feature, c.feature_envelope,
                                           c.envelope_lo, c.envelope_hi});
}

}  // namespace

CountryIndex load_countries(std::string_view src) {
  CountryIndex c;
  Rings& rings = c.rings;
  JsonReader r(src, 0);
  RingBuffer ring;
  bool features_seen = false;
  TextMap<std::string> names;  // upper-case code -> the first feature's name
  std::vector<std::string> codes;
  // A position takes some 20 bytes of text: room for the points up front spares the copies
  // of repeated growth.
  rings.xs.reserve(src.size() / 20);
  rings.ys.reserve(src.size() / 20);
  r.expect('{');
  if (r.next('}', true)) {
    do {
      const std::string key = r.read_string();
      r.expect(':');
      if (key != "features") {
        r.skip_value();
        continue;
      }
      features_seen = true;
      r.expect('[');
      if (!r.next(']', true)) continue;
      do {
        const int64_t ring0 = rings.size();
        std::optional<std::string> code;
        std::optional<std::string> name;
        r.expect('{');
        if (r.next('}', true)) {
          do {
            const std::string member = r.read_string();
            r.expect(':');
            if (member == "properties") {
              r.expect('{');
              if (r.next('}', true)) {
                do {
                  const std::string prop = r.read_string();
                  r.expect(':');
                  if (prop == "iso_a2") {
                    code = r.read_opt_string();
                  } else if (prop == "name" || prop == "NAME") {
                    name = r.read_opt_string();
                  } else {
                    r.skip_value();
                  }
                } while (r.next('}', false));
              }
            } else if (member == "geometry") {
              parse_geometry(r, rings, ring);
            } else {
              r.skip_value();
            }
          } while (r.next('}', false));
        }
        const auto feature = static_cast<int64_t>(c.first_ring.size());
        c.first_ring.push_back(ring0);
        c.ring_count.push_back(rings.size() - ring0);
        if (code && name) names.try_emplace(upper(*code), *name);
        if (code && !code->empty() && *code != "-99") add_envelope(c, feature, *code, codes);
      } while (r.next(']', false));
    } while (r.next('}', false));
  }
  if (!features_seen) throw Error("countries parse: missing field `features`");
  std::vector<std::pair<std::string, std::string>> named(names.begin(), names.end());
  std::sort(named.begin(), named.end());
  std::vector<std::string> keys, texts;
  for (auto& [key, text] : named) {
    keys.push_back(std::move(key));
    texts.push_back(std::move(text));
  }
  c.name_key = TextTable::of(keys);
  c.name_text = TextTable::of(texts);
  c.envelope_code = TextTable::of(codes);
  build_indexes(c);
  return c;
}

}  // namespace Gantrix
