// One run, one workload, every contender: load time, index memory, query times and a
// cross-check of every answer against the library's. Prints a Markdown report.
#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>

#include "bench/workload.h"
#include "builder/dataset_texts.h"
#include "gantrix.h"
#include "peer_data.h"
#include "query/airport_set.h"
#include "query/point_in_country.h"
#include "query/serving_airport.h"
#include "query/set_registry.h"
#include "state/compiled_state.h"

namespace {

using Clock = std::chrono::steady_clock;
using G = Gantrix::State;

template <class T>
void keep(const T& v) {
  asm volatile("" : : "g"(&v) : "memory");
}

double ns_since(Clock::time_point t0) {
  return std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
}
// On this shared machine the scheduler gives the process about half of a core at times:
// whole passes are timed in the thread's CPU time, which the waiting does not inflate.
double cpu_ns() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}
double median(std::vector<double> v) {
  if (v.empty()) return NAN;
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}
size_t heap_bytes() {
  const auto m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// A figure's passes are not timed where it is declared: every figure's pass r runs in round
// r, one figure after another, so a burst of load on this shared machine falls on all
// contenders alike, and a ratio can pair the passes of one round. Then one more pass times
// each call on its own.
struct Figure {
  double mean = NAN, p50 = NAN;
  std::vector<double> passes;  // mean ns per call, one per round
};
double g_clock_cost = 0.0;
// Share of points on which a peer's country must agree with the library's (a point within
// 1e-6 degrees of a border counts as agreeing). Peers that read the outlines as drawn differ
// at only a few points (S2's edges are great-circle arcs; a ring crossing itself or touching
// a hole may be read another way): at most 9 of 100,000. One outline read inside
// out covers most of the globe and drops agreement to a few percent, and losing a large
// country costs more than 0.1% of the points.
constexpr double kCountryAgreement = 0.999;
int g_reps = 5;

struct Job {
  Figure* out;
  const std::vector<uint32_t>* subset;
  std::function<void(uint32_t)> f;
};
std::vector<Job> g_jobs;

void measure(Figure& out, const std::vector<uint32_t>& subset, std::function<void(uint32_t)> f) {
  g_jobs.push_back({&out, &subset, std::move(f)});
}

void run_jobs() {
  for (int r = 0; r < g_reps; ++r) {
    for (Job& job : g_jobs) {
      const double t0 = cpu_ns();
      for (const uint32_t j : *job.subset) job.f(j);
      job.out->passes.push_back((cpu_ns() - t0) / static_cast<double>(job.subset->size()));
    }
  }
  for (Job& job : g_jobs) {
    std::vector<double> each(job.subset->size());
    for (size_t k = 0; k < job.subset->size(); ++k) {
      const auto t0 = Clock::now();
      job.f((*job.subset)[k]);
      each[k] = ns_since(t0) - g_clock_cost;
    }
    job.out->mean = median(job.out->passes);
    job.out->p50 = median(each);
  }
}

// The median over rounds of a's pass divided by the sum of the others' passes of that round.
double paired(const Figure& a, std::initializer_list<const Figure*> over) {
  std::vector<double> ratios;
  for (size_t r = 0; r < a.passes.size(); ++r) {
    double sum = 0.0;
    for (const Figure* b : over) sum += b->passes.at(r);
    ratios.push_back(a.passes[r] / sum);
  }
  return median(ratios);
}

struct Row {
  std::string name;
  double load_ms = NAN, mb = NAN;
  Figure country_all, country_land, world, in_country, set5, find;
};

std::string cell(const Figure& f) {
  if (std::isnan(f.mean)) return "-";
  std::ostringstream o;
  o.setf(std::ios::fixed);
  o.precision(0);
  o << f.mean << " (" << f.p50 << ")";
  return o.str();
}
std::string num(double v, int prec) {
  if (std::isnan(v)) return "-";
  std::ostringstream o;
  o.setf(std::ios::fixed);
  o.precision(prec);
  o << v;
  return o.str();
}

// --points DIR: the peers' country lookup on the point sets bench/points writes (uniform,
// places, coast: float64 lat, lng pairs), the median of 3 passes in CPU time; one line per
// peer, NAME=U,P,C in ns per point, for bench/points/run.sh. Boost.Geometry, some 70 us a
// point, is left out.
int points_mode(const std::string& data, const std::string& dir) {
  std::vector<std::vector<bench::Point>> sets;
  for (const char* name : {"uniform", "places", "coast"}) {
    std::ifstream in(dir + "/" + name + ".f64", std::ios::binary | std::ios::ate);
    auto& pts = sets.emplace_back(static_cast<size_t>(in.tellg()) / sizeof(bench::Point));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(pts.data()),
            static_cast<std::streamsize>(pts.size() * sizeof(bench::Point)));
  }
  std::vector<std::pair<const char*, decltype(&peers::make_geos)>> makers = {
      {"GEOS 3.11", peers::make_geos}};
#ifdef GANTRIX_PEERS_S2
  makers.emplace_back("S2 0.10", peers::make_s2);
#endif
  for (const auto& [name, make] : makers) {
    const auto peer = make(data, {});
    std::cout << name << "=";
    for (size_t k = 0; k < sets.size(); ++k) {
      std::vector<double> passes;
      for (int r = 0; r < 3; ++r) {
        const double t0 = cpu_ns();
        for (const auto& p : sets[k]) keep(peer->country(p.lat, p.lng));
        passes.push_back((cpu_ns() - t0) / static_cast<double>(sets[k].size()));
      }
      std::cout << (k > 0 ? "," : "") << num(median(passes), 0);
    }
    std::cout << "\n";
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  size_t n = 100000;
  std::string dir = GANTRIX_DATA_DIR;
  for (int a = 1; a < argc; ++a) {
    if (!std::strcmp(argv[a], "--quick")) {
      n = 5000;
      g_reps = 1;
    } else if (!std::strcmp(argv[a], "--data") && a + 1 < argc) {
      dir = argv[++a];
    } else if (!std::strcmp(argv[a], "--points") && a + 1 < argc) {
      return points_mode(dir, argv[a + 1]);
    } else {
      std::cerr << "usage: gantrix_peers [--quick] [--data DIR] [--points DIR]\n";
      return 2;
    }
  }
  {
    std::vector<double> c(10001);
    for (double& v : c) {
      const auto t0 = Clock::now();
      v = ns_since(t0);
    }
    g_clock_cost = median(c);
  }

  // The workload: the suite's generator over the airports, and every 8th airport's code.
  const G& s = Gantrix::state();
  const auto pts = bench::mixed_points(s.airports.lat, s.airports.lng, n, 0x6A7217);
  std::vector<std::string> set_codes;
  for (size_t j = 0; j < s.airports.iata.size() && set_codes.size() < 1000; j += 8)
    set_codes.emplace_back(s.airports.iata[j]);
  std::string joined;
  for (const auto& c : set_codes) joined += (joined.empty() ? "" : "\x1f") + c;
  char* h = gx_set_new(joined.c_str(), static_cast<int64_t>(set_codes.size()));
  const int64_t handle = std::atoll(h);
  gx_free(h);
  const auto held = Gantrix::sets().hold(handle);
  const Gantrix::AirportSet& set = *held;

  // Subsets and the library's own answers, which every contender is checked against.
  std::vector<uint32_t> all, land, inside;
  std::vector<std::string> exact(n), code(n);
  std::vector<int64_t> world_id(n), in_id(n, -1);
  std::vector<std::vector<int64_t>> set_hits(n);
  const Gantrix::AirportIndex* no_index = nullptr;
  std::vector<const Gantrix::AirportIndex*> index_of(n, no_index);
  for (uint32_t j = 0; j < n; ++j) {
    const double lat = pts[j].lat, lng = pts[j].lng;
    all.push_back(j);
    if (auto c = Gantrix::country_exact(s, {lat, lng})) exact[j] = *c, land.push_back(j);
    if (auto c = Gantrix::find_country_code(s, {lat, lng})) code[j] = *c;
    if ((index_of[j] = s.country_index(code[j]))) {
      inside.push_back(j);
      in_id[j] = index_of[j]->nearest_one({lat, lng}, std::nullopt);
    }
    world_id[j] = s.airport_indexes.all.nearest_one({lat, lng}, std::nullopt);
    for (const Gantrix::Hit& h : set.all->nearest_view({lat, lng}, 5, std::nullopt)) {
      set_hits[j].push_back(h.id);
    }
  }

  Figure one, one_in;    // nearest_one, for the notes
  std::deque<Row> rows;  // stable addresses: the timing jobs point at their figures
  std::vector<std::unique_ptr<peers::Peer>> alive;
  std::ostringstream checks;
  bool failed = false;
  std::string out;  // caller's copy of each returned text
  auto take = [&out](char* r) {
    out.assign(r);
    gx_free(r);
  };

  // Gantrix: start-up from the State image compiled in, then the exported functions and the
  // internals.
  {
    Row& api = rows.emplace_back();
    Row& in = rows.emplace_back();
    api.name = "Gantrix gx_* (JSON, copy, gx_free)";
    in.name = "Gantrix internal calls";
    std::vector<double> t;
    size_t grown = 0;
    for (int r = 0; r < std::max(g_reps, 3); ++r) {
      const size_t before = heap_bytes();
      const double t0 = cpu_ns();
      auto st = std::make_unique<G>(Gantrix::state_image());
      t.push_back((cpu_ns() - t0) / 1e6);
      grown = heap_bytes() - before;
      api.mb = in.mb = static_cast<double>(st->bytes()) / 1e6;
    }
    api.load_ms = in.load_ms = median(t);
    checks << "- Gantrix State::bytes() " << num(api.mb, 2) << " MB; heap growth while building it "
           << num(static_cast<double>(grown) / 1e6, 2) << " MB.\n";

    measure(api.country_all, all, [&](uint32_t j) { take(gx_country_at(pts[j].lat, pts[j].lng)); });
    measure(api.country_land, land,
            [&](uint32_t j) { take(gx_country_at(pts[j].lat, pts[j].lng)); });
    measure(api.set5, all, [&](uint32_t j) {
      take(gx_set_nearest(handle, pts[j].lat, pts[j].lng, nullptr, 0, 0.0, 0, 5));
    });
    measure(api.find, all, [&](uint32_t j) { take(gx_find(pts[j].lat, pts[j].lng)); });

    auto fc = [&](uint32_t j) { keep(Gantrix::find_country_code(s, {pts[j].lat, pts[j].lng})); };
    measure(in.country_all, all, fc);
    measure(in.country_land, land, fc);
    measure(in.world, all, [&](uint32_t j) {
      keep(s.airport_indexes.all.nearest_view({pts[j].lat, pts[j].lng}, 1, std::nullopt).data());
    });
    measure(in.in_country, inside, [&](uint32_t j) {
      keep(
          s.country_index(code[j])->nearest_view({pts[j].lat, pts[j].lng}, 1, std::nullopt).data());
    });
    measure(in.set5, all, [&](uint32_t j) {
      keep(Gantrix::sets()
               .hold(handle)
               ->all->nearest_view({pts[j].lat, pts[j].lng}, 5, std::nullopt)
               .data());
    });
    measure(in.find, all, [&](uint32_t j) {
      keep(Gantrix::nearest_in_country(s, {pts[j].lat, pts[j].lng}));
    });
    measure(one, all, [&](uint32_t j) {
      keep(s.airport_indexes.all.nearest_one({pts[j].lat, pts[j].lng}, std::nullopt));
    });
    measure(one_in, inside, [&](uint32_t j) {
      keep(s.country_index(code[j])->nearest_one({pts[j].lat, pts[j].lng}, std::nullopt));
    });

    // The exported answers must be the internals' answers.
    size_t bad = 0;
    for (uint32_t j = 0; j < n; ++j) {
      take(gx_country_at(pts[j].lat, pts[j].lng));
      bad += out != (code[j].empty() ? "null" : "\"" + code[j] + "\"");
      take(gx_find(pts[j].lat, pts[j].lng));
      const auto loc = Gantrix::nearest_in_country(s, {pts[j].lat, pts[j].lng});
      bad += loc.index >= 0 && out.find("\"code\":\"" + std::string(s.airports.code[loc.index]) +
                                        "\"") == std::string::npos;
      take(gx_set_nearest(handle, pts[j].lat, pts[j].lng, nullptr, 0, 0.0, 0, 5));
      size_t objects = 0;
      for (size_t p = out.find("distance_km"); p != std::string::npos;
           p = out.find("distance_km", p + 1))
        ++objects;
      bad += objects != set_hits[j].size();
    }
    checks << "- Gantrix gx_* answers differing from its internal calls: " << bad << ".\n";
    failed |= bad != 0;
  }

  // The peers, each from the files.
  struct Maker {
    const char* name;
    std::unique_ptr<peers::Peer> (*make)(const std::string&, const std::vector<std::string>&);
    bool great_circle;
  };
  std::vector<Maker> makers = {{"GEOS 3.11 (C API, prepared, STRtree)", peers::make_geos, false},
                               {"Boost.Geometry 1.74 (rtree)", peers::make_boost, true}};
#ifdef GANTRIX_PEERS_S2
  makers.push_back({"S2 0.10 (ShapeIndex, PointIndex)", peers::make_s2, true});
#else
  checks << "- S2: not built (libs2-dev missing, or PEERS_WITH_S2=OFF).\n";
#endif
  auto tie = [&](double lat, double lng, int64_t a, int64_t b) {
    return a == b || (a >= 0 && b >= 0 &&
                      Gantrix::haversine(lat, lng, s.airports.lat[a], s.airports.lng[a]) ==
                          Gantrix::haversine(lat, lng, s.airports.lat[b], s.airports.lng[b]));
  };
  for (const Maker& m : makers) {
    Row& row = rows.emplace_back();
    row.name = m.name;
    std::unique_ptr<peers::Peer> p;
    std::vector<double> t;
    for (int r = 0; r < std::max(g_reps, 3); ++r) {
      p.reset();
      const size_t before = heap_bytes();
      const double t0 = cpu_ns();
      p = m.make(dir, set_codes);
      t.push_back((cpu_ns() - t0) / 1e6);
      row.mb = static_cast<double>(heap_bytes() - before) / 1e6;
    }
    row.load_ms = median(t);
    peers::Peer* peer = alive.emplace_back(std::move(p)).get();
    auto pc = [peer, &pts](uint32_t j) { keep(peer->country(pts[j].lat, pts[j].lng)); };
    measure(row.country_all, all, pc);
    measure(row.country_land, land, pc);
    measure(row.world, all,
            [peer, &pts](uint32_t j) { keep(peer->nearest(pts[j].lat, pts[j].lng)); });
    if (peer->has_in_country()) {
      measure(row.in_country, inside, [peer, &pts, &code](uint32_t j) {
        keep(peer->nearest_in(code[j], pts[j].lat, pts[j].lng));
      });
    }
    if (peer->has_set()) {
      measure(row.set5, all, [peer, &pts](uint32_t j) {
        int32_t five[5];
        keep(peer->set_nearest5(pts[j].lat, pts[j].lng, five));
      });
    }
    int32_t ids[5];

    // Cross-check. A country answer may differ only where a 1e-6 degree step changes it.
    size_t agree = 0, border = 0, wagree = 0, iagree = 0, sagree = 0;
    std::string examples;
    for (uint32_t j = 0; j < n; ++j) {
      const double lat = pts[j].lat, lng = pts[j].lng;
      const std::string got(peer->country(lat, lng));
      if (got == exact[j]) {
        ++agree;
      } else {
        bool moves = false;
        for (const auto& [dy, dx] :
             {std::pair{1e-6, 0.0}, {-1e-6, 0.0}, {0.0, 1e-6}, {0.0, -1e-6}}) {
          const auto g = Gantrix::country_exact(s, {lat + dy, lng + dx});
          moves |= peer->country(lat + dy, lng + dx) != got || std::string(g ? *g : "") != exact[j];
        }
        border += moves;
        if (!moves && examples.size() < 200) {
          examples += " (" + num(lat, 4) + ", " + num(lng, 4) + ") " +
                      (got.empty() ? "none" : got) + " vs " +
                      (exact[j].empty() ? "none" : exact[j]) + ";";
        }
      }
      wagree += tie(lat, lng, peer->nearest(lat, lng), world_id[j]);
      if (peer->has_in_country() && index_of[j])
        iagree += tie(lat, lng, peer->nearest_in(code[j], lat, lng), in_id[j]);
      if (peer->has_set()) {
        const size_t k = peer->set_nearest5(lat, lng, ids);
        bool same = k == set_hits[j].size();
        for (size_t q = 0; same && q < k; ++q) same = tie(lat, lng, ids[q], set_hits[j][q]);
        sagree += same;
      }
    }
    const auto pct = [](size_t a, size_t b) {
      return num(100.0 * static_cast<double>(a) / static_cast<double>(b), 3) + "%";
    };
    const size_t wrong = n - agree - border;
    checks << "- " << m.name << ": country agrees on " << pct(agree, n) << " of points, " << border
           << " more within 1e-6 degrees of a border, " << wrong << " elsewhere"
           << (wrong ? ":" + examples : "") << ". Nearest airport (world) agrees on "
           << pct(wagree, n) << (m.great_circle ? "" : " (planar distances in degrees)");
    if (peer->has_in_country()) checks << "; in country " << pct(iagree, inside.size());
    if (peer->has_set()) checks << "; set k=5 lists " << pct(sagree, n);
    checks << " (equal great-circle distances count as agreeing).\n";
    if (m.great_circle) failed |= wagree != n || iagree != inside.size() || sagree != n;
    if (static_cast<double>(agree + border) < kCountryAgreement * static_cast<double>(n)) {
      checks << "- " << m.name << ": **country agreement below "
             << num(100.0 * kCountryAgreement, 1) << "%**.\n";
      failed = true;
    }
  }

  run_jobs();
  checks << "- Gantrix AirportIndex::nearest_one: world " << cell(one) << " ns, in country "
         << cell(one_in) << " ns.\n";

  // The report.
  std::cout
      << "Workload: " << n
      << " points (half within 1 degree of an airport, half uniform on the sphere), " << land.size()
      << " of them land points (decided by the exact outline test), " << inside.size()
      << " in a country with airports; set of " << set.size() << " airports (every 8th). " << g_reps
      << " rounds: in each round every figure of every contender runs one pass over its points, "
         "one figure after another, so load on the machine falls on all alike.\n\n"
      << "Cells: mean ns per query, median of the passes' means, in the thread's CPU time (in "
         "brackets: "
      << "the median single query in wall time, clock cost of " << num(g_clock_cost, 0)
      << " ns taken off). Ready: CPU ms from the data to a ready index, median of "
      << std::max(g_reps, 3) << " builds.\n\n"
      << "| contender | ready (ms) | index (MB) | country, all | country, land | nearest k=1 world "
         "| nearest k=1 in country | set k=5 | find "
         "|\n|---|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const Row& r : rows) {
    std::cout << "| " << r.name << " | " << num(r.load_ms, 1) << " | " << num(r.mb, 2) << " | "
              << cell(r.country_all) << " | " << cell(r.country_land) << " | " << cell(r.world)
              << " | " << cell(r.in_country) << " | " << cell(r.set5) << " | " << cell(r.find)
              << " |\n";
  }
  std::cout
      << "\nGantrix time / peer time (below 1: Gantrix faster; API row for country and set, "
         "internal row for nearest and start-up):\n\n| peer | ready | country, all | country, land "
         "| nearest k=1 world | nearest k=1 in country | set k=5 "
         "|\n|---|---:|---:|---:|---:|---:|---:|\n";
  const Row &api = rows[0], &in = rows[1];
  auto ratio = [](double a, double b) { return num(a / b, 3); };
  for (size_t k = 2; k < rows.size(); ++k) {
    const Row& r = rows[k];
    std::cout << "| " << r.name << " | " << ratio(in.load_ms, r.load_ms) << " | "
              << ratio(api.country_all.mean, r.country_all.mean) << " | "
              << ratio(api.country_land.mean, r.country_land.mean) << " | "
              << ratio(in.world.mean, r.world.mean) << " | "
              << ratio(in.in_country.mean, r.in_country.mean) << " | "
              << ratio(api.set5.mean, r.set5.mean) << " |\n";
  }

  // Targets, against the peers measured above.
  const Row& geos = rows[2];
  const Row& boost = rows[3];
  double fastest = INFINITY;
  for (size_t k = 2; k < rows.size(); ++k) fastest = std::min(fastest, rows[k].load_ms);
  auto target = [](const char* what, bool met, const std::string& figures) {
    std::cout << "| " << what << " | " << (met ? "met" : "**missed**") << " | " << figures
              << " |\n";
  };
  std::cout << "\nTargets: for times per query, the median over the rounds of the ratio between "
               "that round's passes (the times in brackets are the medians above).\n\n"
               "| target | status | figures |\n|---|---|---|\n";
  target("start-up at least 3x faster than the fastest peer's load", fastest >= 3 * in.load_ms,
         num(fastest / in.load_ms, 2) + "x (" + num(in.load_ms, 1) + " ms vs " + num(fastest, 1) +
             " ms)");
  // Per-query targets from the rounds' paired ratios (see Figure).
  const double land_x = paired(geos.country_land, {&api.country_land});
  target("gx_country_at on land at least 3x faster than GEOS", land_x >= 3.0,
         num(land_x, 2) + "x (" + num(api.country_land.mean, 0) + " vs " +
             num(geos.country_land.mean, 0) + " ns)");
  const double find_x = paired(api.find, {&geos.country_all, &boost.in_country});
  target("gx_find at most GEOS country + Boost in-country nearest", find_x <= 1.0,
         num(find_x, 2) + "x of the sum (" + num(api.find.mean, 0) + " ns vs " +
             num(geos.country_all.mean, 0) + " + " + num(boost.in_country.mean, 0) + " ns)");
  const double world_x = paired(boost.world, {&in.world});
  target(
      "AirportIndex::nearest k=1 at least 2x faster than Boost", world_x >= 2.0,
      num(world_x, 2) + "x (" + num(in.world.mean, 0) + " vs " + num(boost.world.mean, 0) + " ns)");
  const double set_x = paired(boost.set5, {&api.set5});
  target("gx_set_nearest k=5 no slower than Boost k=5", set_x >= 1.0,
         num(set_x, 2) + "x (" + num(api.set5.mean, 0) + " vs " + num(boost.set5.mean, 0) + " ns)");
  const double all_x = paired(geos.country_all, {&api.country_all});
  target("gx_country_at over all points at least 5x faster than GEOS", all_x >= 5.0,
         num(all_x, 2) + "x (" + num(api.country_all.mean, 0) + " vs " +
             num(geos.country_all.mean, 0) + " ns)");
  if (rows.size() > 4) {
    const Row& s2 = rows[4];
    const double s2_x = paired(s2.country_all, {&api.country_all});
    target("gx_country_at over all points faster than S2", s2_x > 1.0,
           num(s2_x, 2) + "x (" + num(api.country_all.mean, 0) + " vs " +
               num(s2.country_all.mean, 0) + " ns)");
  }
  // The image holds the decided cells too (at most 20 MB: they take what the rest leaves).
  target("State at most 20 MB", api.mb <= 20.0, num(api.mb, 2) + " MB (10^6 bytes)");
  std::cout << "\nCross-check, every answer on the whole workload against the library's:\n\n"
            << checks.str();
  if (failed) std::cerr << "cross-check failed\n";
  return failed ? 1 : 0;
}
