// Embedded data loading: the pull reader's skipping and the one-time State build.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/workload.h"
#include "builder/dataset_texts.h"
#include "builder/json_reader.h"
#include "builder/state_builder.h"
#include "query/point_in_country.h"
#include "state/compiled_state.h"

namespace {

bool skips_all(std::string_view text) {
  Gantrix::JsonReader reader(text);
  reader.skip_value();
  reader.skip_ws();
  return reader.peek() == -1;
}

// Host workload: the loaders skipping members and features they do not read. About 8 MB of
// records mixing every kind of value the reader accepts.
void BM_JsonSkip(benchmark::State& st) {
  static int64_t records = 0;
  static const std::string text = [] {
    bench::Rng r{0x15011};
    std::string t = "[\n";
    for (; t.size() < (8u << 20); ++records) {
      t += (records ? ",\n{\"id\":" : "{\"id\":") + std::to_string(r.below(1000000));
      t += ",\"name\":\"Record \\\"" + std::to_string(records) + "\\\" a\\nb\\tc\\\\d\\/e\"";
      t += ",\"lat\":" + std::to_string(r.range(-90, 90)) + ",\"lng\":-" +
           std::to_string(r.below(180)) + "." + std::to_string(r.below(1000000));
      t += ",\"sci\":[1.5e-7,2E+20,-0.0,12345678901234567],\"flags\":[true,false,null]";
      t += ",\"nested\":{\"empty\":{},\"list\":[[],[1,[2,[3]]],{\"k\":\"v\"}]},\"text\":\"";
      t += std::string(8 + r.below(64), 'x') + "\"}";
    }
    return t + "\n]\n";
  }();
  bench::require(
      skips_all(R"([{"a":"q\"\\/\b\f\n\r\t","b":[-1.25e-3,0,true,null]},{}] )") && skips_all(text),
      "skip_value consumes whole texts");
  for (auto _ : st) {
    Gantrix::JsonReader reader(text);
    reader.skip_value();
    benchmark::DoNotOptimize(reader.pos());
  }
  st.SetBytesProcessed(st.iterations() * static_cast<int64_t>(text.size()));
  st.SetItemsProcessed(st.iterations() * records);
}
BENCHMARK(BM_JsonSkip)->Unit(benchmark::kMillisecond);

// Host workload: the first query of a process, which parses both datasets and builds every
// index before answering.
void BM_StateBuild(benchmark::State& st) {
  const auto airports = Gantrix::airports_json(), countries = Gantrix::countries_json();
  size_t bytes = 0;
  {
    const Gantrix::State s = Gantrix::build_state(airports, countries);
    const auto paris = Gantrix::country_exact(s, {48.8566, 2.3522});
    bench::require(s.airport_id("CDG") >= 0 && paris && *paris == "fr", "CDG and Paris in fr");
    bytes = s.bytes();
  }
  for (auto _ : st) {
    const Gantrix::State s = Gantrix::build_state(airports, countries);
    benchmark::DoNotOptimize(s.airports.lat.data());
  }
  st.SetItemsProcessed(st.iterations());
  st.SetBytesProcessed(st.iterations() * static_cast<int64_t>(airports.size() + countries.size()));
  st.counters["state_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_StateBuild)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
