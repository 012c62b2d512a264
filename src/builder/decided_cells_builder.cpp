#include "builder/decided_cells_builder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <queue>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/constants.h"
#include "query/country_rules.h"
#include "query/point_in_country.h"
#include "spatial/airport_index.h"

namespace Gantrix {
namespace {

// Degrees: far above the rounding of a point's cell, of a probe's position and of an edge's
// crossing (all about 1e-13), far below anything the data draws.
constexpr double kSlack = 1e-9;
// Kilometres: far above the rounding of a great-circle distance (about 1e-12 km).
constexpr double kSlackKm = 1e-6;
// Edges looked at, at most: the precise outlines need about 1.4 billion (some ten seconds),
// the Natural Earth ones half that; past this, cells are left as they are rather than make
// the build slow.
constexpr int64_t kWorkLimit = 5'000'000'000;

using Grid = DecidedGrid;

// A closed lat/lng rectangle.
struct Box {
  double lat0, lat1, lng0, lng1;

  [[nodiscard]] Box grown(double by) const { return {lat0 - by, lat1 + by, lng0 - by, lng1 + by}; }
  [[nodiscard]] bool meets(const Box& o) const {
    return lat0 <= o.lat1 && o.lat0 <= lat1 && lng0 <= o.lng1 && o.lng0 <= lng1;
  }
  [[nodiscard]] bool holds(const Box& o) const {
    return lat0 <= o.lat0 && o.lat1 <= lat1 && lng0 <= o.lng0 && o.lng1 <= lng1;
  }
  [[nodiscard]] Box meet(const Box& o) const {
    return {std::max(lat0, o.lat0), std::min(lat1, o.lat1), std::max(lng0, o.lng0),
            std::min(lng1, o.lng1)};
  }
};

// Cell (x, y) of a grid with `per_degree` cells per degree, from (-180, -90).
Box cell_box(int64_t x, int64_t y, double per_degree) {
  return {-90.0 + static_cast<double>(y) / per_degree,
          -90.0 + static_cast<double>(y + 1) / per_degree,
          -180.0 + static_cast<double>(x) / per_degree,
          -180.0 + static_cast<double>(x + 1) / per_degree};
}

// Whether segment a-b meets box q: their boxes overlap and the segment's line does not leave
// all four corners strictly on one side.
bool segment_meets(const Box& q, double xa, double ya, double xb, double yb) {
  if (std::max(xa, xb) < q.lng0 || std::min(xa, xb) > q.lng1 || std::max(ya, yb) < q.lat0 ||
      std::min(ya, yb) > q.lat1) {
    return false;
  }
  const double dx = xb - xa, dy = yb - ya;
  const auto side = [&](double x, double y) { return dx * (y - ya) - dy * (x - xa); };
  const double s[4] = {side(q.lng0, q.lat0), side(q.lng1, q.lat0), side(q.lng0, q.lat1),
                       side(q.lng1, q.lat1)};
  const bool above = s[0] > 0 && s[1] > 0 && s[2] > 0 && s[3] > 0;
  const bool below = s[0] < 0 && s[1] < 0 && s[2] < 0 && s[3] < 0;
  return !above && !below;
}

// A code (into the decided codes) or NO_COUNTRY, proven for every point of a region; none
// when not proven.
using Verdict = std::optional<int32_t>;
constexpr int32_t kNone = DecidedCells::NO_COUNTRY;

// What one step of the procedure can give the positions of a region: at most one country
// (`code`, or kNone), and whether some positions may get nothing from it and go on to the
// next step (`open`). `mixed`: more than one country is possible.
struct Outcome {
  int32_t code = kNone;
  bool open = true;
  bool mixed = false;

  static Outcome of(int32_t code) { return {code, code == kNone, false}; }
  // The outcome over the union of the two regions.
  Outcome operator|(const Outcome& o) const {
    const bool clash = code != kNone && o.code != kNone && code != o.code;
    return {code != kNone ? code : o.code, open || o.open, mixed || o.mixed || clash};
  }
};

class Decider {
 public:
  explicit Decider(const State& s)
      : s_(s), c_(s.countries), seen_(s.countries.ring_grid.size(), 0) {
    for (size_t e = 0; e < c_.envelope_code.size(); ++e) {
      envelope_code_.push_back(code_id(c_.envelope_code[e]));
    }
  }

  // What every point of `cell` gets, or none when not even its country is proven. `clear`:
  // how many of the steps after the fixed boxes are known to give no point of the cell
  // anything (as they give none to a cell holding it); raised to what is found.
  std::optional<DecidedCells::Answer> decide(const Box& cell, int& clear) {
    if (work_ > kWorkLimit) return std::nullopt;
    const Box b = cell.grown(kSlack);
    const Verdict country = country_over(b, clear);
    if (!country) return std::nullopt;
    if (*country == kNone) return DecidedCells::Answer{kNone, 0};
    return DecidedCells::Answer{*country, airport_over(b, codes[static_cast<size_t>(*country)])};
  }

  std::vector<std::string> codes;

 private:
  int32_t code_id(std::string_view code) {
    const auto [it, added] =
        ids_.try_emplace(std::string(code), static_cast<int32_t>(codes.size()));
    if (added) codes.emplace_back(code);
    return it->second;
  }
  int32_t code_of(int64_t envelope) const {
    if (envelope < 0 || envelope >= static_cast<int64_t>(envelope_code_.size())) return kNone;
    return envelope_code_[static_cast<size_t>(envelope)];
  }

  // The steps of find_country_code_procedure over the whole box: each point takes the first
  // country a step gives it. Proven when every step can give only one country, the same,
  // until one gives it to every point still going (or the last step does).
  Verdict country_over(const Box& b, int& clear) {
    int32_t found = kNone;
    // Whether the step settles every point still going; none when it could give another
    // country.
    const auto settles = [&](const Outcome& o) -> std::optional<bool> {
      if (o.mixed || (o.code != kNone && found != kNone && o.code != found)) return std::nullopt;
      if (o.code != kNone) found = o.code;
      return !o.open;
    };
    for (const SpecialBox& sb : SPECIAL_BOXES) {
      const Box special{sb.lat_from, sb.lat_to, sb.lng_from, sb.lng_to};
      if (!special.meets(b)) continue;
      const int32_t code = code_id(sb.code);
      const auto done = settles(special.holds(b) ? Outcome::of(code) : Outcome{code, true, false});
      if (!done) return std::nullopt;
      if (*done) return found;
    }
    bool leading = true;
    for (int k = clear; k < COUNTRY_STEPS; ++k) {
      const Outcome o = k == 0 ? outlines_over(b) : probe_over(b, k - 1);
      leading = leading && o.code == kNone && !o.mixed;
      if (leading) clear = k + 1;
      const auto done = settles(o);
      if (!done) return std::nullopt;
      if (*done) return found;
    }
    const Verdict last = nearest_country_over(b, NEARBY_AIRPORT_KM);
    if (!last || (found != kNone && *last != found)) return std::nullopt;
    return last;
  }

  // Every position the procedure computes for probe `probe` (radius after radius, direction
  // after direction) from a point of b: the sum, then wrap_probe (past a pole: down the far
  // side, half a turn round; past the antimeridian: the far side), as pieces.
  Outcome probe_over(const Box& b, int probe) {
    const double r = RADII[static_cast<size_t>(probe) / (DIRECTIONS.size() / 2)];
    const size_t d = static_cast<size_t>(probe) % (DIRECTIONS.size() / 2) * 2;
    const double dlat = DIRECTIONS[d] * r, dlng = DIRECTIONS[d + 1] * r;
    const Box q{b.lat0 + dlat - kSlack, b.lat1 + dlat + kSlack, b.lng0 + dlng - kSlack,
                b.lng1 + dlng + kSlack};
    Outcome all;
    bool first = true;
    const auto piece = [&](const Box& p) {
      if (p.lat0 > p.lat1 || p.lng0 > p.lng1) return;
      const Outcome o = outlines_over(p);
      all = first ? o : all | o;
      first = false;
    };
    const auto by_longitude = [&](double lat0, double lat1, double lng0, double lng1) {
      piece({lat0, lat1, std::max(lng0, -180.0), std::min(lng1, 180.0)});
      if (lng1 >= 180.0) piece({lat0, lat1, std::max(lng0, 180.0) - 360.0, lng1 - 360.0});
      if (lng0 < -180.0) piece({lat0, lat1, lng0 + 360.0, std::min(lng1, -180.0) + 360.0});
    };
    by_longitude(std::max(q.lat0, -90.0), std::min(q.lat1, 90.0), q.lng0, q.lng1);
    if (q.lat1 > 90.0) {
      by_longitude(180.0 - q.lat1, 180.0 - std::max(q.lat0, 90.0), q.lng0 + 180.0, q.lng1 + 180.0);
    }
    if (q.lat0 < -90.0) {
      by_longitude(-180.0 - std::min(q.lat1, -90.0), -180.0 - q.lat0, q.lng0 + 180.0,
                   q.lng1 + 180.0);
    }
    return all;
  }

  // The exact outline test over q as the procedure runs it: a country cell's own answer, the
  // ring test in mixed cells and off the cells' map.
  Outcome outlines_over(const Box& q) {
    const CountryCells& cells = c_.cells;
    if (cells.cells.empty()) return rings_over(q);
    constexpr int W = CountryCells::W, H = CountryCells::H;
    const double fx0 = (q.lng0 + 180.0) * CountryCells::PER_DEGREE;
    const double fx1 = (q.lng1 + 180.0) * CountryCells::PER_DEGREE;
    const double fy0 = (q.lat0 + 90.0) * CountryCells::PER_DEGREE;
    const double fy1 = (q.lat1 + 90.0) * CountryCells::PER_DEGREE;
    const bool off_map = !(fx0 >= 0.0 && fx1 < W && fy0 >= 0.0 && fy1 < H);
    Outcome all = off_map ? rings_over(q) : Outcome::of(kNone);
    bool first = !off_map;
    const auto from = [](double f) { return static_cast<int64_t>(std::max(f, 0.0)); };
    const auto to = [](double f, int n) { return static_cast<int64_t>(std::min(f, n - 1.0)); };
    for (int64_t y = from(fy0); y <= to(fy1, H) && !all.mixed; ++y) {
      for (int64_t x = from(fx0); x <= to(fx1, W) && !all.mixed; ++x) {
        const int16_t e = cells.cells[static_cast<size_t>(y * W + x)];
        const Outcome o =
            e == CountryCells::MIXED
                ? rings_over(q.meet(cell_box(x, y, CountryCells::PER_DEGREE).grown(kSlack)))
                : Outcome::of(code_of(e));
        all = first ? o : all | o;
        first = false;
      }
    }
    return all;
  }

  // The ring test over q. Where no edge of a ring whose box meets q comes near it and no
  // envelope box cuts through it, every ring holds all of q or none of it: the test's answer
  // at q's centre is everyone's. Otherwise any country of a ring that comes near or holds
  // the centre, or none.
  Outcome rings_over(const Box& q) {
    const RingGrid& g = c_.ring_grid;
    const LatLng centre{(q.lat0 + q.lat1) * 0.5, (q.lng0 + q.lng1) * 0.5};
    bool any_near = false;
    Outcome possible;  // the countries of rings that come near or hold the centre
    if (!g.cell_start.empty()) {
      ++stamp_;
      for (int y = RingGrid::grid_y(q.lat0); y <= RingGrid::grid_y(q.lat1); ++y) {
        for (int x = RingGrid::grid_x(q.lng0); x <= RingGrid::grid_x(q.lng1); ++x) {
          const size_t cell = static_cast<size_t>(y) * RingGrid::W + static_cast<size_t>(x);
          for (int32_t k = g.cell_start[cell]; k < g.cell_start[cell + 1]; ++k) {
            const auto box = static_cast<size_t>(g.cell_box[static_cast<size_t>(k)]);
            if (seen_[box] == stamp_) continue;
            seen_[box] = stamp_;
            if (!q.meets({g.lo[2 * box + 1], g.hi[2 * box + 1], g.lo[2 * box], g.hi[2 * box]})) {
              continue;
            }
            const int32_t r = g.ring[box];
            const int64_t e = c_.feature_envelope[static_cast<size_t>(c_.ring_feature[r])];
            const int32_t code = code_of(e);
            // Once some ring comes near, one of a country already possible adds nothing.
            if (any_near && code == possible.code) continue;
            if (envelope_cuts(e, q) || edge_near(r, q)) {
              any_near = true;
            } else if (!Box{c_.rings.min_lat[r], c_.rings.max_lat[r], c_.rings.min_lng[r],
                            c_.rings.max_lng[r]}
                            .holds(q) ||
                       !c_.rings.contains(r, centre)) {
              continue;  // clear of q: a ring not holding all of it holds none of it
            }
            possible = possible | Outcome{code, true, false};
            if (any_near && possible.mixed) return possible;
          }
        }
      }
    }
    if (!any_near) return Outcome::of(code_of(exact_envelope(c_, centre)));
    return possible;
  }

  // Whether envelope e's box holds part of q but not all of it.
  bool envelope_cuts(int64_t e, const Box& q) const {
    if (e < 0) return false;
    const auto eb = static_cast<size_t>(e) * 2;
    const Box env{c_.envelope_lo[eb + 1], c_.envelope_hi[eb + 1], c_.envelope_lo[eb],
                  c_.envelope_hi[eb]};
    return env.meets(q) && !env.holds(q);
  }

  // Whether an edge of ring r meets q. The edges that can are filed under the bands q's
  // latitudes fall in.
  bool edge_near(int64_t r, const Box& q) {
    const Rings& rings = c_.rings;
    const int64_t g0 = rings.band0[r] + rings.band_of(r, q.lat0);
    const int64_t g1 = rings.band0[r] + rings.band_of(r, q.lat1);
    const int64_t base = rings.first[r], last = rings.n[r] - 1;
    work_ += rings.bstart[g1 + 1] - rings.bstart[g0];
    for (int64_t k = rings.bstart[g0]; k < rings.bstart[g1 + 1]; ++k) {
      const int64_t v = rings.edges[k];
      const int64_t b = base + v, a = base + (v == 0 ? last : v - 1);
      if (segment_meets(q, rings.xs[a], rings.ys[a], rings.xs[b], rings.ys[b])) return true;
    }
    return false;
  }

  // The centre of b and a bound on the distance from it to any point of b (km): on a cell
  // far smaller than a hemisphere the farthest point is a corner.
  struct Disc {
    LatLng c;
    double r_km;
  };
  static Disc disc_of(const Box& b) {
    const double lat0 = std::max(b.lat0, -90.0), lat1 = std::min(b.lat1, 90.0);
    const LatLng c{(lat0 + lat1) * 0.5, (b.lng0 + b.lng1) * 0.5};
    double r = 0.0;
    for (const double lat : {lat0, lat1}) {
      for (const double lng : {b.lng0, b.lng1}) r = std::max(r, haversine(c.lat, c.lng, lat, lng));
    }
    return {c, r + kSlackKm};
  }

  // Whether every airport of `index` within `km` of c (and at least one) is of `country`.
  bool one_country_within(const AirportIndex& index, LatLng c, double km,
                          std::string_view country) {
    for (int64_t k = 16;; k *= 4) {
      const auto hits = index.nearest_view(c, k, km);
      for (const Hit& h : hits) {
        if (s_.airports.country_lower[static_cast<size_t>(h.id)] != country) return false;
      }
      if (static_cast<int64_t>(hits.size()) < k) return true;
    }
  }

  // The country of the nearest airport within limit_km, for every point of b: its distance
  // and that of any airport of another country apart by more than the box's width.
  Verdict nearest_country_over(const Box& b, double limit_km) {
    const Disc disc = disc_of(b);
    const AirportIndex& all = s_.airport_indexes.all;
    const auto hits = all.nearest_view(disc.c, 1, std::nullopt);
    if (hits.empty()) return kNone;
    const double d = hits[0].d;
    const std::string_view country = s_.airports.country_lower[static_cast<size_t>(hits[0].id)];
    if (d - disc.r_km - kSlackKm > limit_km) return kNone;
    if (d + disc.r_km + kSlackKm > limit_km) return std::nullopt;
    if (!one_country_within(all, disc.c, d + 2.0 * disc.r_km + 2.0 * kSlackKm, country)) {
      return std::nullopt;
    }
    return code_id(country);
  }

  // The serving airport for every point of b, whose country is `code`: nearest_in_country's
  // steps, each bounded over the box.
  int32_t airport_over(const Box& b, std::string_view code) {
    const AirportIndex* index = s_.country_index(code);
    if (index == nullptr) {
      const Verdict lender = nearest_country_over(b, NEARBY_RADII.back());
      if (!lender) return DecidedCells::AIRPORT_OPEN;
      if (*lender == kNone) return DecidedCells::NO_AIRPORT_NEARBY;
      index = s_.country_index(codes[static_cast<size_t>(*lender)]);
      if (index == nullptr) return DecidedCells::AIRPORT_OPEN;
    }
    const Disc disc = disc_of(b);
    const auto hits = index->nearest_view(disc.c, 2, std::nullopt);
    if (hits.empty()) return DecidedCells::AIRPORT_OPEN;
    if (hits.size() == 2 && !(hits[1].d - hits[0].d > 2.0 * disc.r_km + 2.0 * kSlackKm)) {
      return DecidedCells::AIRPORT_OPEN;
    }
    return static_cast<int32_t>(hits[0].id);
  }

  const State& s_;
  const CountryIndex& c_;
  std::map<std::string, int32_t, std::less<>> ids_;
  std::vector<int32_t> envelope_code_;  // per envelope: its code's place in `codes`
  std::vector<uint32_t> seen_;  // per ring box: the stamp of the last rings_over that met it
  uint32_t stamp_ = 0;
  int64_t work_ = 0;  // edges looked at
};

// The cells coarse to fine: the top cells first, then, while the image has room, the open
// cell worth the most is cut into SPLIT x SPLIT children, down to the depth allowed. A cell
// is worth its share of the points it holds (its area) times what an open answer costs
// there: a point whose country is not proven runs the probes and the airports' search for
// both queries (microseconds), one whose airport alone is open one search of its country's
// airports, in gx_find only (a fraction of one).
class GridBuilder {
 public:
  GridBuilder(const State& s, const DecideLimits& limits) : decider_(s), limits_(limits) {
    // What the image leaves, less the top cells and room for the answers.
    constexpr size_t fixed = Grid::W * Grid::H * sizeof(uint32_t) + (64 << 10);
    const size_t room = limits.image_bytes > s.bytes() ? limits.image_bytes - s.bytes() : 0;
    max_blocks_ = room > fixed ? (room - fixed) / sizeof(Grid::Block) : 0;
  }

  DecidedCells build() {
    std::vector<uint32_t> top(static_cast<size_t>(Grid::W) * Grid::H);
    for (int64_t y = 0; y < Grid::H; ++y) {
      for (int64_t x = 0; x < Grid::W; ++x) {
        const Open cell{x, y, static_cast<size_t>(y * Grid::W + x), 0, true, 0, 0.0};
        top[cell.slot] = settle(cell, Grid::UNDECIDED);
      }
    }
    while (!open_.empty() && children_.size() / Grid::CHILDREN < max_blocks_) {
      const Open o = open_.top();
      open_.pop();
      const uint32_t entry = cut(o, o.at_top ? top[o.slot] : children_[o.slot]);
      (o.at_top ? top[o.slot] : children_[o.slot]) = entry;
    }
    DecidedCells out;
    out.grid.blocks = lay_out(top);
    out.grid.top = std::move(top);
    out.answers = std::move(answers_);
    out.codes = TextTable::of(decider_.codes);
    return out;
  }

 private:
  // The cut cells as the grid reads them: blocks renumbered breadth first, so that a block's
  // cut children lie side by side, their entries two bytes each. `top` is renumbered too.
  std::vector<Grid::Block> lay_out(std::vector<uint32_t>& top) const {
    const auto cut = [](uint32_t e) { return e >= Grid::BLOCK && e != Grid::UNDECIDED; };
    std::vector<uint32_t> order;  // the blocks as cut, in their new order
    for (uint32_t& e : top) {
      if (!cut(e)) continue;
      order.push_back(e - Grid::BLOCK);
      e = Grid::BLOCK + static_cast<uint32_t>(order.size() - 1);
    }
    std::vector<Grid::Block> blocks;
    for (size_t i = 0; i < order.size(); ++i) {  // order grows as cut children are met
      const uint32_t* kids = &children_[static_cast<size_t>(order[i]) * Grid::CHILDREN];
      Grid::Block block{static_cast<uint32_t>(order.size()), {}};
      for (int k = 0; k < Grid::CHILDREN; ++k) {
        const uint32_t e = kids[k];
        if (cut(e)) {
          block.child[k] = static_cast<uint16_t>(Grid::CHILD_BLOCK + (order.size() - block.first));
          order.push_back(e - Grid::BLOCK);
        } else {
          // An answer past what two bytes hold (a dataset with many thousand airports) is
          // left to the procedure.
          block.child[k] = e < Grid::CHILD_BLOCK ? static_cast<uint16_t>(e) : Grid::CHILD_UNDECIDED;
        }
      }
      blocks.push_back(block);
    }
    return blocks;
  }

  // A cell of `level` (0: one degree) at (x, y) of that level's grid, where its entry is,
  // how many steps are known to give it nothing (Decider::decide), and what cutting it is
  // worth.
  struct Open {
    int64_t x, y;
    size_t slot;
    int level;
    bool at_top;
    int clear;
    double worth;
    bool operator<(const Open& o) const { return worth < o.worth; }
  };
  // An open country costs some twenty-five times an open airport (above).
  static constexpr double kCountryOpen = 25.0;

  // The entry of cell o: its own answer, or the one its parent's entry gives (proven for
  // every point of the parent, so of the cell too) when the cell's own is not as complete.
  // A cell whose country is not proven may still skip the steps known to give it nothing.
  // A cell left open is listed for cutting.
  uint32_t settle(Open o, uint32_t parent) {
    double per_degree = Grid::PER_DEGREE;
    for (int k = 0; k < o.level; ++k) per_degree *= Grid::SPLIT;
    const Box box = cell_box(o.x, o.y, per_degree);
    auto answer = decider_.decide(box, o.clear);
    if (parent < Grid::BLOCK && answers_[parent].code != DecidedCells::OPEN_FROM &&
        (!answer || answer->detail == DecidedCells::AIRPORT_OPEN)) {
      answer = answers_[parent];
    }
    const bool country_open = !answer;
    if (country_open && o.clear > 0)
      answer = DecidedCells::Answer{DecidedCells::OPEN_FROM, o.clear};
    if ((country_open || (answer->code != kNone && answer->detail == DecidedCells::AIRPORT_OPEN)) &&
        o.level < limits_.depth) {
      const double area = std::cos((box.lat0 + box.lat1) * 0.5 * DEG) / (per_degree * per_degree);
      o.worth = area * (country_open ? kCountryOpen : 1.0);
      open_.push(o);
      ++listed_;
    }
    if (!answer) return Grid::UNDECIDED;
    const auto [it, added] =
        index_.try_emplace({answer->code, answer->detail}, static_cast<uint32_t>(answers_.size()));
    if (added) answers_.push_back(*answer);
    return it->second;
  }

  // The entry for cell o, whose entry was `entry`, cut into children. Children that all
  // came out the same, and settled, make one entry, not a block.
  uint32_t cut(const Open& o, uint32_t entry) {
    const size_t first = children_.size(), listed = listed_;
    for (int k = 0; k < Grid::CHILDREN; ++k) {
      const Open child{o.x * Grid::SPLIT + k % Grid::SPLIT,
                       o.y * Grid::SPLIT + k / Grid::SPLIT,
                       first + static_cast<size_t>(k),
                       o.level + 1,
                       false,
                       o.clear,
                       0.0};
      children_.push_back(settle(child, entry));
    }
    const bool one = std::all_of(children_.begin() + static_cast<ptrdiff_t>(first), children_.end(),
                                 [&](uint32_t k) { return k == children_[first]; });
    if (one && listed_ == listed) {
      const uint32_t same = children_[first];
      children_.resize(first);
      return same;
    }
    return Grid::BLOCK + static_cast<uint32_t>(first / Grid::CHILDREN);
  }

  Decider decider_;
  DecideLimits limits_;
  size_t max_blocks_;
  std::priority_queue<Open> open_;  // the open cells, the one worth most on top
  size_t listed_ = 0;               // cells ever put there
  std::vector<uint32_t> children_;
  std::vector<DecidedCells::Answer> answers_;
  std::map<std::pair<int32_t, int32_t>, uint32_t> index_;
};

}  // namespace

DecidedCells build_decided_cells(const State& s, const DecideLimits& limits) {
  // The margins hold for coordinates of the map's size; a dataset with others (only a
  // hand-made one has them) is left to the procedure.
  const Rings& rings = s.countries.rings;
  const auto sane = [](double v, double limit) { return std::fabs(v) <= limit; };
  if (!std::all_of(rings.xs.begin(), rings.xs.end(), [&](double x) { return sane(x, 360.0); }) ||
      !std::all_of(rings.ys.begin(), rings.ys.end(), [&](double y) { return sane(y, 180.0); })) {
    return {};
  }
  return GridBuilder(s, limits).build();
}

DecidedShare decided_share(const DecidedCells& d) {
  DecidedShare out;
  out.cut_cells = d.grid.blocks.size();
  // Each decided cell's share of the sphere's area, down the levels.
  const auto add = [&](uint32_t entry, int64_t x, int64_t y, double per_degree) {
    if (entry == Grid::UNDECIDED) return;
    const DecidedCells::Answer& a = d.answers[entry];
    if (a.code == DecidedCells::OPEN_FROM) return;
    const Box b = cell_box(x, y, per_degree);
    const double area = (std::sin(b.lat1 * DEG) - std::sin(b.lat0 * DEG)) / per_degree / 720.0;
    out.country += area;
    if (a.code == kNone || a.detail != DecidedCells::AIRPORT_OPEN) out.airport += area;
  };
  const auto visit = [&](auto&& self, size_t block, int64_t x, int64_t y,
                         double per_degree) -> void {
    const Grid::Block& b = d.grid.blocks[block];
    for (int k = 0; k < Grid::CHILDREN; ++k) {
      const int64_t cx = x * Grid::SPLIT + k % Grid::SPLIT, cy = y * Grid::SPLIT + k / Grid::SPLIT;
      const uint16_t v = b.child[k];
      if (v < Grid::CHILD_BLOCK) {
        add(v, cx, cy, per_degree * Grid::SPLIT);
      } else if (v != Grid::CHILD_UNDECIDED) {
        self(self, b.first + static_cast<size_t>(v - Grid::CHILD_BLOCK), cx, cy,
             per_degree * Grid::SPLIT);
      }
    }
  };
  for (int64_t y = 0; y < static_cast<int64_t>(d.grid.top.size()) / Grid::W; ++y) {
    for (int64_t x = 0; x < Grid::W; ++x) {
      const uint32_t e = d.grid.top[static_cast<size_t>(y * Grid::W + x)];
      if (e >= Grid::BLOCK && e != Grid::UNDECIDED) {
        visit(visit, e - Grid::BLOCK, x, y, Grid::PER_DEGREE);
      } else {
        add(e, x, y, Grid::PER_DEGREE);
      }
    }
  }
  return out;
}

}  // namespace Gantrix
