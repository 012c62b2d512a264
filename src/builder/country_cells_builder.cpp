#include "builder/country_cells_builder.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "core/counting_sort.h"
#include "spatial/feature_hits.h"

namespace Gantrix {
namespace {

// Cells visited (and edges scanned) at most while the cells are worked out: the compiled-in
// data needs about 300,000; a dataset that would need far more (many rings spanning the
// whole map, long edges everywhere) leaves every point to the ring test instead of making
// the build slow.
constexpr int64_t kWorkLimit = 8'000'000;

// How near an edge may come to a cell before the cell counts as mixed: far above the
// rounding of a crossing (about 1e-13 degrees) and of a point's cell number.
constexpr double kNear = 1e-7;

constexpr int W = CountryCells::W;
constexpr int H = CountryCells::H;
constexpr int PER_DEGREE = CountryCells::PER_DEGREE;
constexpr int16_t NONE = CountryCells::NONE;
constexpr int16_t MIXED = CountryCells::MIXED;

// Clamped first, so truncation is the floor (and no call to floor is needed).
int column(double x) {
  return static_cast<int>(std::clamp((x + 180.0) * PER_DEGREE, 0.0, W - 1.0));
}
int row(double y) { return static_cast<int>(std::clamp((y + 90.0) * PER_DEGREE, 0.0, H - 1.0)); }
double cell_x(int cx) { return -180.0 + static_cast<double>(cx) / PER_DEGREE; }
double cell_y(int cy) { return -90.0 + static_cast<double>(cy) / PER_DEGREE; }

// The cells worked out phase by phase. Each phase returns false when the source is too odd
// or too large, and the cells are then left empty.
class CellBuilder {
 public:
  explicit CellBuilder(const CellSource& src)
      : grid(static_cast<size_t>(W) * H, NONE), s_(src), rings_(src.rings), busy_(360 * 180, 0) {}

  // For each row, the indexed rings spanning it.
  bool list_rows() {
    const RingGrid& g = s_.grid;
    for (const int32_t r : g.ring) {
      if (!(std::isfinite(rings_.min_lat[r]) && std::isfinite(rings_.max_lat[r]))) return false;
    }
    counting_sort(
        H,
        [&](auto&& put) {
          for (size_t p = 0; p < g.ring.size(); ++p) {
            const int64_t r = g.ring[p];
            for (int cy = row(rings_.min_lat[r]), end = row(rings_.max_lat[r]); cy <= end; ++cy) {
              put(static_cast<size_t>(cy), static_cast<int32_t>(p));
            }
          }
        },
        row_start_, row_ring_);
    return true;
  }

  // Cells an edge comes near are mixed. Each vertex's cell span (its cell widened by kNear)
  // is worked out once and shared by the two edges that meet there.
  bool mark_edges() {
    struct Span {
      int x0, x1, y0, y1;
    };
    const auto span_of = [&](int64_t at) -> std::optional<Span> {
      const double x = rings_.xs[at], y = rings_.ys[at];
      // Odd coordinates (only a hand-made dataset has them) leave every cell to the test.
      if (!(std::isfinite(x) && std::isfinite(y))) return std::nullopt;
      return Span{column(x - kNear), column(x + kNear), row(y - kNear), row(y + kNear)};
    };
    for (const int32_t r : s_.grid.ring) {
      const int64_t base = rings_.first[r], n = rings_.n[r];
      auto prev = span_of(base + n - 1);
      for (int64_t v = 0; v < n; ++v) {
        const auto cur = span_of(base + v);
        if (!prev || !cur) return false;
        const int x0 = std::min(prev->x0, cur->x0), x1 = std::max(prev->x1, cur->x1);
        const int y0 = std::min(prev->y0, cur->y0), y1 = std::max(prev->y1, cur->y1);
        work_ += static_cast<int64_t>(x1 - x0 + 1) * (y1 - y0 + 1);
        if (work_ > kWorkLimit) return false;
        for (int cy = y0; cy <= y1; ++cy) {
          std::fill(&grid[static_cast<size_t>(cy) * W + x0],
                    &grid[static_cast<size_t>(cy) * W + x1] + 1, MIXED);
          for (int cx = x0; cx <= x1; cx += PER_DEGREE) mark_busy(cx, cy);
          mark_busy(x1, cy);
        }
        prev = cur;
      }
    }
    return true;
  }

  // The other cells of row cy: a ring holds a cell's centre when an odd number of its
  // crossings with the centre line lie east of it, the ring test's own count. Most cells are
  // held by one ring or none; the few held by more (lakes, islands in them, overlapping
  // outlines) list the further rings aside.
  bool fill_row(int cy) {
    const double y = cell_y(cy) + 0.5 / PER_DEGREE;
    int16_t* line = &grid[static_cast<size_t>(cy) * W];
    more_.clear();
    int held_from = W, held_to = -1;  // the columns this row's rings hold
    for (int32_t k = row_start_[cy]; k < row_start_[cy + 1]; ++k) {
      const int32_t p = row_ring_[static_cast<size_t>(k)];
      const int64_t r = s_.grid.ring[static_cast<size_t>(p)];
      if (y < rings_.min_lat[r] || y >= rings_.max_lat[r]) continue;
      const int64_t g = rings_.band0[r] + rings_.band_of(r, y);
      work_ += rings_.bstart[g + 1] - rings_.bstart[g];  // the edges the crossings come from
      if (work_ > kWorkLimit) return false;
      cross_.clear();
      rings_.for_each_crossing(r, y, [this](double xi) { cross_.push_back(xi); });
      std::sort(cross_.begin(), cross_.end());
      // Centres x with an odd count of crossings beyond them: cross[2i] <= x < cross[2i+1]
      // (an odd total, impossible for a closed ring, would leave the last span open).
      if (cross_.size() % 2 != 0) cross_.push_back(std::numeric_limits<double>::infinity());
      for (size_t i = 0; i < cross_.size(); i += 2) {
        int cx = std::max(0, column(cross_[i]) - 1);
        while (cx < W && cell_x(cx) + 0.5 / PER_DEGREE < cross_[i]) ++cx;
        for (; cx < W && cell_x(cx) + 0.5 / PER_DEGREE < cross_[i + 1]; ++cx) {
          if (++work_ > kWorkLimit) return false;
          if (line[cx] == MIXED) continue;
          if (held_[cx] == 0) {
            held_[cx] = 1;
            held_from = std::min(held_from, cx);
            held_to = std::max(held_to, cx);
            first_ring_[cx] = p;
          } else {
            more_.emplace_back(cx, p);
          }
        }
      }
    }
    // more_at_ stays all zero (no further rings anywhere) while more_ is empty.
    if (!more_.empty()) {
      counting_sort(
          W,
          [this](auto&& put) {
            for (const auto& m : more_) put(static_cast<size_t>(m.first), m.second);
          },
          more_at_, more_ring_);
    }
    for (int cx = held_from; cx <= held_to; ++cx) {
      if (held_[cx] == 0) continue;
      held_[cx] = 0;
      if (!settle(cy, cx, line)) return false;
    }
    if (!more_.empty()) std::fill(more_at_.begin(), more_at_.end(), 0);
    return true;
  }

  // Degrees that hold anything but NONE (marked above), spread by NEAR_REACH + 1 on each
  // axis (the extra degree absorbs rounding at the degree lines), by running counts.
  std::vector<uint8_t> quiet() const {
    constexpr int kSpread = static_cast<int>(CountryCells::NEAR_REACH) + 1;
    std::vector<uint8_t> wide(360 * 180, 0);
    for (int dy = 0; dy < 180; ++dy) {
      const uint8_t* from = &busy_[static_cast<size_t>(dy) * 360];
      int count = 0;
      for (int k = 0; k < kSpread; ++k) count += from[k];
      for (int dx = 0; dx < 360; ++dx) {
        if (dx + kSpread < 360) count += from[dx + kSpread];
        if (dx - kSpread - 1 >= 0) count -= from[dx - kSpread - 1];
        wide[static_cast<size_t>(dy) * 360 + dx] = count > 0 ? 1 : 0;
      }
    }
    std::vector<uint8_t> out(360 * 180, 0);
    for (int dx = 0; dx < 360; ++dx) {
      int count = 0;
      for (int k = 0; k < kSpread; ++k) count += wide[static_cast<size_t>(k) * 360 + dx];
      for (int dy = 0; dy < 180; ++dy) {
        if (dy + kSpread < 180) count += wide[static_cast<size_t>(dy + kSpread) * 360 + dx];
        if (dy - kSpread - 1 >= 0) count -= wide[static_cast<size_t>(dy - kSpread - 1) * 360 + dx];
        out[static_cast<size_t>(dy) * 360 + dx] = count > 0 ? 0 : 1;
      }
    }
    return out;
  }

  std::vector<int16_t> grid;  // row-major from (-180, -90)

 private:
  void mark_busy(int cx, int cy) {
    busy_[static_cast<size_t>(cy / PER_DEGREE) * 360 + static_cast<size_t>(cx / PER_DEGREE)] = 1;
  }

  int64_t envelope_of_box(int32_t p) const {
    return s_.feature_envelope[static_cast<size_t>(
        s_.ring_feature[static_cast<size_t>(s_.grid.ring[static_cast<size_t>(p)])])];
  }

  // The answer for held cell (cx, cy): the winner as the point test picks it, or mixed when
  // an envelope box that does not hold the whole cell would make the answer differ across it.
  bool settle(int cy, int cx, int16_t* line) {
    const double x0 = cell_x(cx), x1 = cell_x(cx + 1), y0 = cell_y(cy), y1 = cell_y(cy + 1);
    const auto holds_cell = [&](int64_t e) {
      const size_t eb = static_cast<size_t>(e) * 2;
      return s_.env_lo[eb] < x0 && x1 < s_.env_hi[eb] && s_.env_lo[eb + 1] < y0 &&
             y1 < s_.env_hi[eb + 1];
    };
    if (more_at_[cx] == more_at_[cx + 1]) {
      // One ring: its feature holds the cell.
      const int64_t e = envelope_of_box(first_ring_[cx]);
      line[cx] = holds_cell(e) ? static_cast<int16_t>(e) : MIXED;
      if (line[cx] != NONE) mark_busy(cx, cy);
      return true;
    }
    hits_.clear();
    const auto fold = [&](int32_t p) {
      work_ += static_cast<int64_t>(hits_.size());
      const int32_t r = s_.grid.ring[static_cast<size_t>(p)];
      fold_ring(hits_, s_.ring_feature[static_cast<size_t>(r)], rings_.box_area(r));
    };
    fold(first_ring_[cx]);
    for (int32_t k = more_at_[cx]; k < more_at_[cx + 1]; ++k) {
      fold(more_ring_[static_cast<size_t>(k)]);
    }
    if (work_ > kWorkLimit) return false;
    bool mixed = false;
    for (const FeatureHit& h : hits_) {
      if (h.odd && !holds_cell(s_.feature_envelope[static_cast<size_t>(h.feature)])) mixed = true;
    }
    const int64_t f = winner(hits_, [](int64_t) { return true; });
    const int64_t best = f < 0 ? -1 : s_.feature_envelope[static_cast<size_t>(f)];
    line[cx] = mixed ? MIXED : static_cast<int16_t>(best);
    if (line[cx] != NONE) mark_busy(cx, cy);
    return true;
  }

  const CellSource& s_;
  const Rings& rings_;
  std::vector<uint8_t> busy_;  // per degree: some cell in it is not NONE
  int64_t work_ = 0;
  std::vector<int32_t> row_start_, row_ring_;
  std::vector<double> cross_;
  std::vector<uint8_t> held_ = std::vector<uint8_t>(W, 0);
  std::vector<int32_t> first_ring_ = std::vector<int32_t>(W, -1);
  std::vector<std::pair<int32_t, int32_t>> more_;  // (column, indexed ring)
  std::vector<int32_t> more_at_ = std::vector<int32_t>(W + 1, 0), more_ring_;  // by column
  std::vector<FeatureHit> hits_;
};

}  // namespace

CountryCells build_country_cells(const CellSource& source) {
  CountryCells out;
  if (source.env_lo.size() / 2 > static_cast<size_t>(std::numeric_limits<int16_t>::max())) {
    return out;
  }
  CellBuilder b(source);
  if (!b.list_rows() || !b.mark_edges()) return out;
  for (int cy = 0; cy < H; ++cy) {
    if (!b.fill_row(cy)) return out;
  }
  out.cells = std::move(b.grid);
  out.quiet = b.quiet();
  return out;
}

}  // namespace Gantrix
