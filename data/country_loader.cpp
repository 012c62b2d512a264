// The country half of building the State: a GeoJSON FeatureCollection into the flat ring
// store, the per-feature ring ranges, the country names and the envelope tree.
#include <optional>
#include <string>
#include <vector>

#include "api/constants.h"
#include "api/error.h"
#include "data/json_reader.h"
#include "data/state.h"

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

void State::add_envelope(int64_t feature, const std::string& code) {
  double min_x = 180.0, max_x = -180.0, min_y = 90.0, max_y = -90.0;
  const int64_t r0 = feature_ring0[feature];
  for (int64_t r = r0; r < r0 + feature_rings[feature]; ++r) {
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
  env_lo.push_back(min_x);
  env_lo.push_back(min_y);
  env_hi.push_back(max_x);
  env_hi.push_back(max_y);
  env_code.push_back(lower(code));
  env_feature.push_back(feature);
}

void State::parse_countries(std::string_view src) {
  JsonReader r(src, 0);
  RingBuffer ring;
  bool features_seen = false;
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
        const auto feature = static_cast<int64_t>(feature_ring0.size());
        feature_ring0.push_back(ring0);
        feature_rings.push_back(rings.size() - ring0);
        if (code && name) country_names.try_emplace(upper(*code), *name);
        if (code && !code->empty() && *code != "-99") add_envelope(feature, *code);
      } while (r.next(']', false));
    } while (r.next('}', false));
  }
  if (!features_seen) throw Error("countries parse: missing field `features`");
  country_tree = RTree(2, env_lo, env_hi);
  index_rings();
  country_cells = CountryCells(*this);
}

void State::index_rings() {
  const auto features = static_cast<int64_t>(feature_ring0.size());
  ring_feature.assign(static_cast<size_t>(rings.size()), -1);
  feature_envelope.assign(static_cast<size_t>(features), -1);
  for (size_t e = 0; e < env_feature.size(); ++e) feature_envelope[env_feature[e]] = e;
  for (int64_t f = 0; f < features; ++f) {
    for (int64_t r = feature_ring0[f]; r < feature_ring0[f] + feature_rings[f]; ++r) {
      ring_feature[r] = static_cast<int32_t>(f);
      // A ring without points contains nothing (and has no finite box to index).
      if (feature_envelope[f] < 0 || rings.n[r] == 0) continue;
      ring_entry.push_back(static_cast<int32_t>(r));
      ring_lo.push_back(rings.min_lng[r] - MARGIN);
      ring_lo.push_back(rings.min_lat[r]);
      ring_hi.push_back(rings.max_lng[r] + MARGIN);
      ring_hi.push_back(rings.max_lat[r]);
    }
  }

  // Two passes over the boxes: count per cell, then fill.
  grid_start.assign(GRID_W * GRID_H + 1, 0);
  const size_t boxes = ring_entry.size();
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t p = 0; p < boxes; ++p) {
      const int x0 = grid_x(ring_lo[2 * p]), x1 = grid_x(ring_hi[2 * p]);
      const int y0 = grid_y(ring_lo[2 * p + 1]), y1 = grid_y(ring_hi[2 * p + 1]);
      for (int cy = y0; cy <= y1; ++cy) {
        for (int cx = x0; cx <= x1; ++cx) {
          const int cell = cy * GRID_W + cx;
          if (pass == 0) {
            ++grid_start[cell + 1];
          } else {
            grid_box[grid_start[cell]++] = static_cast<int32_t>(p);
          }
        }
      }
    }
    if (pass == 0) {
      for (int c = 0; c < GRID_W * GRID_H; ++c) grid_start[c + 1] += grid_start[c];
      grid_box.assign(static_cast<size_t>(grid_start.back()), 0);
    } else {
      // The fill advanced each start to the next cell's start: shift back.
      for (int c = GRID_W * GRID_H; c > 0; --c) grid_start[c] = grid_start[c - 1];
      grid_start[0] = 0;
    }
  }
}

}  // namespace Gantrix
