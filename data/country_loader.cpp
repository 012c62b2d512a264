// The country half of building the State: a GeoJSON FeatureCollection into the flat ring
// store, the per-feature ring ranges, the country names and the envelopes.
#include <algorithm>
#include <optional>
#include <unordered_map>
#include <utility>
#include <string>
#include <vector>

#include "core/error.h"
#include "data/country_index.h"
#include "data/json_reader.h"

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
    rings.add(ring.xs, ring.ys);
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

}  // namespace

void CountryIndex::read(std::string_view src) {
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
        const auto feature = static_cast<int64_t>(first_ring.size());
        first_ring.push_back(ring0);
        ring_count.push_back(rings.size() - ring0);
        if (code && name) names.try_emplace(upper(*code), *name);
        if (code && !code->empty() && *code != "-99") add_envelope(feature, *code, codes);
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
  name_key = TextTable::of(keys);
  name_text = TextTable::of(texts);
  envelope_code = TextTable::of(codes);
  build_indexes();
}

}  // namespace Gantrix
