// Queries through the exported functions, result copy and gx_free included.
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "bench/workload.h"
#include "core/constants.h"
#include "core/json_writer.h"
#include "core/text.h"
#include "gantrix.h"
#include "query/country_rules.h"
#include "query/point_in_country.h"
#include "spatial/airport_index.h"
#include "tests/support/take.h"

namespace {

using bench::require;

using Gantrix::test::take;

template <class Call>
void over_points(benchmark::State& st, const std::vector<bench::Point>& pts, Call call) {
  size_t j = 0;
  for (auto _ : st) {
    const auto& p = pts[j++ % pts.size()];
    gx_free(call(p.lat, p.lng));
  }
  st.SetItemsProcessed(st.iterations());
}

// Host workload: resolving each incoming coordinate to its serving airport.
void BM_Find(benchmark::State& st) {
  require(take(gx_find(48.8566, 2.3522)).starts_with("{\"code\":\"fr."), "Paris finds fr.*");
  over_points(st, bench::workload(), gx_find);
}
BENCHMARK(BM_Find);

// Host workload: a server's worker threads resolving coordinates at once, each through its
// own slice of the points. Items per second is the total over the threads (wall time): on a
// machine with two free cores, 2 threads should give at least 1.6 times the 1-thread figure.
void BM_FindThreads(benchmark::State& st) {
  if (st.thread_index() == 0) {
    require(take(gx_find(48.8566, 2.3522)).starts_with("{\"code\":\"fr."), "Paris finds fr.*");
  }
  const auto& pts = bench::workload();
  size_t j = static_cast<size_t>(st.thread_index()) * (pts.size() / 2);
  for (auto _ : st) {
    const auto& p = pts[j++ % pts.size()];
    gx_free(gx_find(p.lat, p.lng));
  }
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_FindThreads)->Threads(1)->Threads(2)->UseRealTime()->MinTime(2.0);

// Host workload: tagging each coordinate with its country.
void BM_CountryAt(benchmark::State& st) {
  require(take(gx_country_at(48.8566, 2.3522)) == "\"fr\"", "Paris is in fr");
  over_points(st, bench::workload(), gx_country_at);
}
BENCHMARK(BM_CountryAt);

// Host workload: looking up airport records by IATA code.
void BM_Airport(benchmark::State& st) {
  require(take(gx_airport(" cdg ")).find("\"iata\":\"CDG\"") != std::string::npos, "CDG found");
  const Gantrix::State& s = Gantrix::state();
  bench::Rng r{0xC0DE};
  std::vector<std::string> codes(4096);
  for (auto& c : codes) c = std::string(s.airports.iata[r.below(s.airports.iata.size())]);
  size_t j = 0;
  for (auto _ : st) gx_free(gx_airport(codes[j++ % codes.size()].c_str()));
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_Airport);

// Which stage of the country search decides a point, from the stages' own functions.
enum Stage { kBox, kExact, kProbes, kAirport, kNone, kStages };

Stage classify(const Gantrix::State& s, double lat, double lng, std::string& answer) {
  auto hit = [&answer](std::optional<std::string_view> c) {
    answer = c ? Gantrix::json_str(*c) : "null";
    return c.has_value();
  };
  if (hit(Gantrix::special_country({lat, lng}))) return kBox;
  if (hit(Gantrix::country_exact(s, {lat, lng}))) return kExact;
  for (const double r : Gantrix::RADII) {
    for (size_t d = 0; d < Gantrix::DIRECTIONS.size(); d += 2) {
      const double dlat = Gantrix::DIRECTIONS[d] * r, dlng = Gantrix::DIRECTIONS[d + 1] * r;
      if (hit(Gantrix::country_exact(s, {lat + dlat, lng + dlng}))) return kProbes;
    }
  }
  return hit(Gantrix::find_country_from_nearby_airports(s, {lat, lng})) ? kAirport : kNone;
}

struct Classified {
  std::array<std::vector<bench::Point>, kStages> points;
  std::array<std::vector<std::string>, kStages> answers;  // gx_country_at's expected text
};

const Classified& classified() {
  static const Classified c = [] {
    std::vector<bench::Point> points = bench::workload();
    // Random points almost never land in the fixed boxes.
    points.insert(points.end(), {{37.24, 131.86},
                                 {-37.1, -12.3},
                                 {-49.3, 69.5},
                                 {-54.4, -36.7},
                                 {-54.4, 3.35},
                                 {10.3, -109.2}});
    Classified out;
    std::string answer;
    for (const auto p : points) {
      const Stage stage = classify(Gantrix::state(), p.lat, p.lng, answer);
      out.points[stage].push_back(p);
      out.answers[stage].push_back(answer);
    }
    return out;
  }();
  return c;
}

// Host workload: gx_country_at on the points that one stage of the country search decides.
void BM_CountryAtStage(benchmark::State& st, Stage stage) {
  const auto& pts = classified().points[stage];
  if (pts.empty()) return st.SkipWithError("no workload point reaches this stage");
  for (size_t j = 0; j < std::min<size_t>(8, pts.size()); ++j) {
    require(take(gx_country_at(pts[j].lat, pts[j].lng)) == classified().answers[stage][j],
            "the stage's answer");
  }
  over_points(st, pts, gx_country_at);
  st.counters["points"] = static_cast<double>(pts.size());
}
BENCHMARK_CAPTURE(BM_CountryAtStage, box, kBox);
BENCHMARK_CAPTURE(BM_CountryAtStage, exact, kExact);
BENCHMARK_CAPTURE(BM_CountryAtStage, probes, kProbes);
BENCHMARK_CAPTURE(BM_CountryAtStage, airport, kAirport);
BENCHMARK_CAPTURE(BM_CountryAtStage, none, kNone);

// The host's set: 1,000 members spread evenly over the airport table compiled in, and its
// handle.
size_t stride() { return Gantrix::state().airports.size() / 1000; }

const std::string& set_codes() {
  static const std::string joined = [] {
    std::string out;
    for (size_t id = 0; id < 1000 * stride(); id += stride()) {
      if (id > 0) out += '\x1f';
      out += Gantrix::state().airports.iata[id];
    }
    return out;
  }();
  return joined;
}

int64_t host_set() {
  static const int64_t handle = [] {
    const int64_t h = std::stoll(take(gx_set_new(set_codes().c_str(), 1000)));
    require(take(gx_set_size(h)) == "1000", "set has 1000 members");
    return h;
  }();
  return handle;
}

// Host workload: registering the host's own airport list.
void BM_SetNew(benchmark::State& st) {
  host_set();
  for (auto _ : st) {
    char* h = gx_set_new(set_codes().c_str(), 1000);
    gx_free(gx_set_free(std::atoll(h)));
    gx_free(h);
  }
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_SetNew)->Unit(benchmark::kMicrosecond);

// Host workload: the five members of the host's list nearest to each coordinate.
void BM_SetNearest(benchmark::State& st) {
  const Gantrix::State& s = Gantrix::state();
  for (size_t j = 0; j < 8; ++j) {  // the first member listed is the brute-force nearest
    const auto [lat, lng] = bench::workload()[j];
    size_t best = 0;
    for (size_t id = stride(); id < 1000 * stride(); id += stride()) {
      if (Gantrix::haversine(lat, lng, s.airports.lat[id], s.airports.lng[id]) <
          Gantrix::haversine(lat, lng, s.airports.lat[best], s.airports.lng[best]))
        best = id;
    }
    const std::string text = take(gx_set_nearest(host_set(), lat, lng, nullptr, 0, 0.0, 0, 5));
    require(text.find("\"iata\":\"" + std::string(s.airports.iata[best]) + "\"") < text.find("},{"),
            "set nearest");
  }
  over_points(st, bench::workload(), [h = host_set()](double lat, double lng) {
    return gx_set_nearest(h, lat, lng, nullptr, 0, 0.0, 0, 5);
  });
}
BENCHMARK(BM_SetNearest);

// Host workload: a server's worker threads querying one shared set at once, each through its
// own slice of the points; items per second is the total over the threads (wall time). Every
// query takes and drops a reference to the set, so this is where sharing the set costs.
void BM_SetNearestThreads(benchmark::State& st) {
  const int64_t h = host_set();
  const auto& pts = bench::workload();
  size_t j = static_cast<size_t>(st.thread_index()) * (pts.size() / 2);
  for (auto _ : st) {
    const auto& p = pts[j++ % pts.size()];
    gx_free(gx_set_nearest(h, p.lat, p.lng, nullptr, 0, 0.0, 0, 5));
  }
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_SetNearestThreads)->Threads(1)->Threads(2)->UseRealTime()->MinTime(2.0);

// The cheapest set query on the shared set, so the registry's own cost is most of the time.
void BM_SetSizeThreads(benchmark::State& st) {
  const int64_t h = host_set();
  for (auto _ : st) gx_free(gx_set_size(h));
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_SetSizeThreads)->Threads(1)->Threads(2)->UseRealTime()->MinTime(2.0);

// Host workload: which of the host's airports should serve each coordinate.
void BM_SetResolve(benchmark::State& st) {
  const Gantrix::State& s = Gantrix::state();
  int checked = 0;  // where find picks a member at its own position, resolve picks it too
  for (size_t id = 0; id < 1000 * stride() && checked < 8; id += stride()) {
    std::string code = "\"";
    code.append(s.airports.country_lower[id])
        .append(".")
        .append(Gantrix::lower(s.airports.iata[id]));
    code.append("\"");
    if (take(gx_find(s.airports.lat[id], s.airports.lng[id])).find(code) == std::string::npos)
      continue;
    const std::string r =
        take(gx_set_resolve(host_set(), s.airports.lat[id], s.airports.lng[id], 0.0, 0));
    require(r.find("\"resolution\":\"nearest\",\"nearest_code\":" + code) != std::string::npos,
            "a member resolves to itself");
    ++checked;
  }
  require(checked == 8, "enough members checked");
  over_points(st, bench::workload(), [h = host_set()](double lat, double lng) {
    return gx_set_resolve(h, lat, lng, 0.0, 0);
  });
}
BENCHMARK(BM_SetResolve);

}  // namespace
