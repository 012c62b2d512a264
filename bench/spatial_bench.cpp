// Spatial indexes: nearest airports by the k-d tree against a brute-force scan, and the build.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <numeric>

#include "bench/workload.h"
#include "spatial/airport_index.h"
#include "tests/support/oracles.h"

namespace {

const bench::Table& pts() { return bench::synthetic_airports(); }

Gantrix::AirportIndex build() {
  std::vector<int32_t> ids(pts().lat.size());
  std::iota(ids.begin(), ids.end(), 0);
  return Gantrix::AirportIndex(pts().lat, pts().lng, std::move(ids));
}

// The peer a host would write without an index: haversine to all, k smallest by (km, id).
Gantrix::test::Hits brute_force(double lat, double lng, size_t k, std::vector<uint32_t>& order,
                                std::vector<double>& d) {
  d.resize(pts().lat.size());
  order.resize(d.size());
  for (size_t j = 0; j < d.size(); ++j) {
    d[j] = Gantrix::haversine(lat, lng, pts().lat[j], pts().lng[j]);
    order[j] = static_cast<uint32_t>(j);
  }
  std::partial_sort(order.begin(), order.begin() + static_cast<ptrdiff_t>(k), order.end(),
                    [&](uint32_t a, uint32_t b) { return d[a] != d[b] ? d[a] < d[b] : a < b; });
  Gantrix::test::Hits h;
  for (size_t j = 0; j < k; ++j) {
    h.d.push_back(d[order[j]]);
    h.i.push_back(order[j]);
  }
  return h;
}

// CPU time, not wall time: the speed-up should not depend on what else the machine runs.
double cpu_ns() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// Host workload: k nearest of about 8,500 airports (every find's last step, gx_set_nearest),
// by the index or by the brute-force peer; the index run reports its speed-up over the peer.
void BM_Nearest(benchmark::State& st, bool brute) {
  static const Gantrix::AirportIndex index = build();
  static const auto queries = bench::mixed_points(pts().lat, pts().lng, 100000, 0x9E11);
  static std::map<int64_t, double> brute_ns;
  const int64_t k = st.range(0);
  std::vector<uint32_t> order;
  std::vector<double> d;
  for (size_t j = 0; j < 64; ++j) {
    const auto [lat, lng] = queries[j];
    const Gantrix::test::Hits a = Gantrix::test::nearest(index, {lat, lng}, k, std::nullopt);
    const Gantrix::test::Hits b = brute_force(lat, lng, static_cast<size_t>(k), order, d);
    bench::require(a.i == b.i && a.d == b.d, "index nearest equals brute force");
  }
  size_t j = 0;
  const double t0 = cpu_ns();
  for (auto _ : st) {
    const auto [lat, lng] = queries[j++ % queries.size()];
    if (brute)
      benchmark::DoNotOptimize(brute_force(lat, lng, static_cast<size_t>(k), order, d));
    else
      benchmark::DoNotOptimize(index.nearest_view({lat, lng}, k, std::nullopt).data());
  }
  const double ns = (cpu_ns() - t0) / static_cast<double>(st.iterations());
  if (brute)
    brute_ns[k] = ns;
  else if (brute_ns.count(k) != 0)
    st.counters["speedup_vs_brute"] = brute_ns[k] / ns;
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK_CAPTURE(BM_Nearest, brute, true)->ArgName("k")->Arg(1)->Arg(10);
BENCHMARK_CAPTURE(BM_Nearest, index, false)->ArgName("k")->Arg(1)->Arg(10);

// Host workload: building an index over a table's airports (the State and every set do this).
void BM_IndexBuild(benchmark::State& st) {
  {
    const Gantrix::AirportIndex index = build();
    bench::require(index.size() == pts().lat.size(), "index covers every point");
    for (size_t id : {0, 17, 4242, 8499}) {
      const Gantrix::test::Hits h =
          Gantrix::test::nearest(index, {pts().lat[id], pts().lng[id]}, 1, std::nullopt);
      bench::require(h.d.size() == 1 && h.d[0] == 0.0, "a point's nearest is at distance 0");
    }
  }
  for (auto _ : st) benchmark::DoNotOptimize(build().tree.nodes.size());
  st.SetItemsProcessed(st.iterations() * static_cast<int64_t>(pts().lat.size()));
}
BENCHMARK(BM_IndexBuild)->Unit(benchmark::kMicrosecond);

}  // namespace
