#include "spatial/country_cells.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "data/state.h"
#include "spatial/point_in_country.h"

namespace Gantrix {
namespace {

// Cells visited (and edges scanned) at most while the cells are worked out: the embedded
// data needs about 300,000; a dataset that would need far more (many rings spanning the
// whole map, long edges everywhere) leaves every point to the ring test instead of making
// the load slow.
constexpr int64_t kWorkLimit = 8'000'000;

// How near an edge may come to a cell before the cell counts as mixed: far above the
// rounding of a crossing (about 1e-13 degrees) and of a point's cell number.
constexpr double kNear = 1e-7;

// Clamped first, so truncation is the floor (and no call to floor is needed).
int column(double x) {
  return static_cast<int>(
      std::clamp((x + 180.0) * CountryCells::PER_DEGREE, 0.0, CountryCells::W - 1.0));
}
int row(double y) {
  return static_cast<int>(
      std::clamp((y + 90.0) * CountryCells::PER_DEGREE, 0.0, CountryCells::H - 1.0));
}
double cell_x(int cx) { return -180.0 + static_cast<double>(cx) / CountryCells::PER_DEGREE; }
double cell_y(int cy) { return -90.0 + static_cast<double>(cy) / CountryCells::PER_DEGREE; }

}  // namespace

CountryCells::CountryCells(const State& s) {
  if (s.env_feature.size() > static_cast<size_t>(std::numeric_limits<int16_t>::max())) return;
  const Rings& rings = s.rings;
  std::vector<int16_t> grid(static_cast<size_t>(W) * H, NONE);
  std::vector<uint8_t> busy(360 * 180, 0);  // per degree: some cell in it is not NONE
  const auto mark_busy = [&busy](int cx, int cy) {
    busy[static_cast<size_t>(cy / PER_DEGREE) * 360 + static_cast<size_t>(cx / PER_DEGREE)] = 1;
  };
  int64_t work = 0;

  // Cells an edge comes near, and for each row the indexed rings spanning it.
  std::vector<int32_t> row_start(H + 1, 0), row_ring;
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t p = 0; p < s.ring_entry.size(); ++p) {
      const int64_t r = s.ring_entry[p];
      if (!(std::isfinite(rings.min_lat[r]) && std::isfinite(rings.max_lat[r]))) return;
      for (int cy = row(rings.min_lat[r]), end = row(rings.max_lat[r]); cy <= end; ++cy) {
        if (pass == 0) {
          ++row_start[cy + 1];
        } else {
          row_ring[static_cast<size_t>(row_start[cy]++)] = static_cast<int32_t>(p);
        }
      }
    }
    if (pass == 0) {
      for (int cy = 0; cy < H; ++cy) row_start[cy + 1] += row_start[cy];
      row_ring.resize(static_cast<size_t>(row_start[H]));
    } else {
      for (int cy = H; cy > 0; --cy) row_start[cy] = row_start[cy - 1];
      row_start[0] = 0;
    }
  }
  // Each vertex's cell span (its cell widened by kNear) is worked out once and shared by
  // the two edges that meet there.
  struct Span {
    int x0, x1, y0, y1;
  };
  const auto span_of = [&](int64_t at) -> std::optional<Span> {
    const double x = rings.xs[at], y = rings.ys[at];
    // Odd coordinates (only a hand-made dataset has them) leave every cell to the test.
    if (!(std::isfinite(x) && std::isfinite(y))) return std::nullopt;
    return Span{column(x - kNear), column(x + kNear), row(y - kNear), row(y + kNear)};
  };
  for (const int32_t r : s.ring_entry) {
    const int64_t base = rings.first[r], n = rings.n[r];
    auto prev = span_of(base + n - 1);
    for (int64_t v = 0; v < n; ++v) {
      const auto cur = span_of(base + v);
      if (!prev || !cur) return;
      const int x0 = std::min(prev->x0, cur->x0), x1 = std::max(prev->x1, cur->x1);
      const int y0 = std::min(prev->y0, cur->y0), y1 = std::max(prev->y1, cur->y1);
      work += static_cast<int64_t>(x1 - x0 + 1) * (y1 - y0 + 1);
      if (work > kWorkLimit) return;
      for (int cy = y0; cy <= y1; ++cy) {
        std::fill(&grid[static_cast<size_t>(cy) * W + x0],
                  &grid[static_cast<size_t>(cy) * W + x1] + 1, MIXED);
        for (int cx = x0; cx <= x1; cx += PER_DEGREE) mark_busy(cx, cy);
        mark_busy(x1, cy);
      }
      prev = cur;
    }
  }

  // The other cells, row by row: a ring holds a cell's centre when an odd number of its
  // crossings with the centre line lie east of it, the ring test's own count. Most cells are
  // held by one ring or none; the few held by more (lakes, islands in them, overlapping
  // outlines) list the further rings aside.
  std::vector<int64_t> ring_envelope(s.ring_entry.size());
  for (size_t p = 0; p < s.ring_entry.size(); ++p) {
    ring_envelope[p] = s.feature_envelope[s.ring_feature[s.ring_entry[p]]];
  }
  std::vector<double> cross;
  std::vector<uint8_t> held(W, 0);
  std::vector<int32_t> first_ring(W, -1);
  std::vector<std::pair<int32_t, int32_t>> more;   // (column, indexed ring)
  std::vector<int32_t> more_at(W + 1), more_ring;  // the same by column: counting sort
  std::vector<FeatureHit> hits;
  for (int cy = 0; cy < H; ++cy) {
    const double y = cell_y(cy) + 0.5 / PER_DEGREE;
    int16_t* line = &grid[static_cast<size_t>(cy) * W];
    more.clear();
    int held_from = W, held_to = -1;  // the columns this row's rings hold
    for (int32_t k = row_start[cy]; k < row_start[cy + 1]; ++k) {
      const int32_t p = row_ring[static_cast<size_t>(k)];
      const int64_t r = s.ring_entry[static_cast<size_t>(p)];
      if (y < rings.min_lat[r] || y >= rings.max_lat[r]) continue;
      const int64_t g = rings.band0[r] + rings.band_of(r, y);
      work += rings.bstart[g + 1] - rings.bstart[g];  // the edges the crossings come from
      if (work > kWorkLimit) return;
      cross.clear();
      rings.for_each_crossing(r, y, [&cross](double xi) { cross.push_back(xi); });
      std::sort(cross.begin(), cross.end());
      // Centres x with an odd count of crossings beyond them: cross[2i] <= x < cross[2i+1]
      // (an odd total, impossible for a closed ring, would leave the last span open).
      if (cross.size() % 2 != 0) cross.push_back(std::numeric_limits<double>::infinity());
      for (size_t i = 0; i < cross.size(); i += 2) {
        int cx = std::max(0, column(cross[i]) - 1);
        while (cx < W && cell_x(cx) + 0.5 / PER_DEGREE < cross[i]) ++cx;
        for (; cx < W && cell_x(cx) + 0.5 / PER_DEGREE < cross[i + 1]; ++cx) {
          if (++work > kWorkLimit) return;
          if (line[cx] == MIXED) continue;
          if (held[cx] == 0) {
            held[cx] = 1;
            held_from = std::min(held_from, cx);
            held_to = std::max(held_to, cx);
            first_ring[cx] = p;
          } else {
            more.emplace_back(cx, p);
          }
        }
      }
    }
    // more_at stays all zero (no further rings anywhere) while `more` is empty.
    if (!more.empty()) {
      std::fill(more_at.begin(), more_at.end(), 0);
      for (const auto& m : more) ++more_at[static_cast<size_t>(m.first) + 1];
      for (int cx = 0; cx < W; ++cx) more_at[cx + 1] += more_at[cx];
      more_ring.resize(more.size());
      for (const auto& m : more) {
        more_ring[static_cast<size_t>(more_at[static_cast<size_t>(m.first)]++)] = m.second;
      }
      // The fill moved each column's start to its end: shift back.
      for (int cx = W; cx > 0; --cx) more_at[cx] = more_at[cx - 1];
      more_at[0] = 0;
    }
    for (int cx = held_from; cx <= held_to; ++cx) {
      if (held[cx] == 0) continue;
      held[cx] = 0;
      const double x0 = cell_x(cx), x1 = cell_x(cx + 1), y0 = cell_y(cy), y1 = cell_y(cy + 1);
      const auto holds_cell = [&](int64_t e) {
        const size_t eb = static_cast<size_t>(e) * 2;
        return s.env_lo[eb] < x0 && x1 < s.env_hi[eb] && s.env_lo[eb + 1] < y0 &&
               y1 < s.env_hi[eb + 1];
      };
      if (more_at[cx] == more_at[cx + 1]) {
        // One ring: its feature holds the cell.
        const int64_t e = ring_envelope[static_cast<size_t>(first_ring[cx])];
        line[cx] = holds_cell(e) ? static_cast<int16_t>(e) : MIXED;
        if (line[cx] != NONE) mark_busy(cx, cy);
        continue;
      }
      hits.clear();
      const auto fold = [&](int32_t p) {
        work += static_cast<int64_t>(hits.size());
        fold_ring(s, s.ring_entry[static_cast<size_t>(p)], hits);
      };
      fold(first_ring[cx]);
      for (int32_t k = more_at[cx]; k < more_at[cx + 1]; ++k)
        fold(more_ring[static_cast<size_t>(k)]);
      if (work > kWorkLimit) return;
      // The winner as the point test picks it; an envelope box that does not hold the whole
      // cell would make the answer differ across it.
      int64_t best = -1, best_feature = -1;
      double best_area = 0.0;
      bool mixed = false;
      for (const FeatureHit& h : hits) {
        if (!h.odd) continue;
        const int64_t e = s.feature_envelope[h.feature];
        if (!holds_cell(e)) {
          mixed = true;
          break;
        }
        if (better(h.area, h.feature, best_area, best_feature)) {
          best = e;
          best_feature = h.feature;
          best_area = h.area;
        }
      }
      line[cx] = mixed ? MIXED : static_cast<int16_t>(best);
      if (line[cx] != NONE) mark_busy(cx, cy);
    }
    if (!more.empty()) std::fill(more_at.begin(), more_at.end(), 0);
  }
  cells = std::move(grid);

  // Degrees that hold anything but NONE (marked above), spread by NEAR_REACH + 1 on each
  // axis (the extra degree absorbs rounding at the degree lines), by running counts.
  constexpr int kSpread = static_cast<int>(NEAR_REACH) + 1;
  std::vector<uint8_t> wide(360 * 180, 0);
  for (int dy = 0; dy < 180; ++dy) {
    const uint8_t* from = &busy[static_cast<size_t>(dy) * 360];
    int count = 0;
    for (int k = 0; k < kSpread; ++k) count += from[k];
    for (int dx = 0; dx < 360; ++dx) {
      if (dx + kSpread < 360) count += from[dx + kSpread];
      if (dx - kSpread - 1 >= 0) count -= from[dx - kSpread - 1];
      wide[static_cast<size_t>(dy) * 360 + dx] = count > 0 ? 1 : 0;
    }
  }
  quiet.assign(360 * 180, 0);
  for (int dx = 0; dx < 360; ++dx) {
    int count = 0;
    for (int k = 0; k < kSpread; ++k) count += wide[static_cast<size_t>(k) * 360 + dx];
    for (int dy = 0; dy < 180; ++dy) {
      if (dy + kSpread < 180) count += wide[static_cast<size_t>(dy + kSpread) * 360 + dx];
      if (dy - kSpread - 1 >= 0) count -= wide[static_cast<size_t>(dy - kSpread - 1) * 360 + dx];
      quiet[static_cast<size_t>(dy) * 360 + dx] = count > 0 ? 0 : 1;
    }
  }
}

}  // namespace Gantrix
