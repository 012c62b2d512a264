// Library interface: the float writer and the first call in a fresh process. This file also
// holds main, which doubles as that fresh process.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>

#include "bench/workload.h"
#include "core/json_writer.h"
#include "gantrix.h"
#include "spatial/airport_index.h"

extern char** environ;

namespace {

constexpr char kFirstCall[] = "--gantrix-first-call";

// Host workload: every distance_km, lat and lng of a result text. The mix: coordinates,
// distances, integers, tiny and huge magnitudes, both signs.
void BM_JsonFloat(benchmark::State& st) {
  bench::Rng r{0xF10A7};
  std::vector<double> values(4096);
  for (size_t j = 0; j < values.size(); ++j) {
    const double kind[] = {std::round(r.range(-180, 180) * 1e6) / 1e6,
                           Gantrix::haversine(r.range(-90, 90), r.range(-180, 180), 48.85, 2.35),
                           static_cast<double>(r.below(100000)), std::pow(10.0, r.range(-300, -5)),
                           std::pow(10.0, r.range(16, 300))};
    values[j] = kind[j % 5] * (j % 7 == 0 ? -1.0 : 1.0);
  }
  bench::require(Gantrix::json_float(48.8566) == "48.8566" && Gantrix::json_float(2.0) == "2.0",
                 "json_float known texts");
  for (const double x : values) {
    bench::require(std::strtod(Gantrix::json_float(x).c_str(), nullptr) == x, "round trip");
  }
  std::string out;
  size_t j = 0;
  for (auto _ : st) {
    out.clear();
    Gantrix::append_json_float(out, values[j++ % values.size()]);
    benchmark::DoNotOptimize(out.data());
  }
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_JsonFloat);

// Runs this binary as a fresh process that times its first gx_find: wall and CPU ns.
std::pair<double, double> first_call_ns() {
  int fds[2];
  bench::require(pipe(fds) == 0, "pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  std::string self = "/proc/self/exe", flag = kFirstCall;
  char* argv[] = {self.data(), flag.data(), nullptr};
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  bench::require(rc == 0, "spawn the first-call child");
  std::string text;
  char buf[64];
  for (ssize_t got; (got = read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, got);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  bench::require(WIFEXITED(status) && WEXITSTATUS(status) == 0, "first-call child answered");
  char* rest = nullptr;
  const double wall = std::strtod(text.c_str(), &rest);
  return {wall, std::strtod(rest, nullptr)};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Host workload: a short-lived process asking one question, so paying for making the State
// (pointing it at the compiled-in image) before the answer. Reported time: the child's wall time.
void BM_FirstCall(benchmark::State& st) {
  std::vector<double> wall, cpu;
  for (auto _ : st) {
    const auto [w, c] = first_call_ns();
    wall.push_back(w);
    cpu.push_back(c);
    st.SetIterationTime(w * 1e-9);
  }
  st.SetItemsProcessed(st.iterations());
  st.counters["median_ms"] = median(wall) * 1e-6;
  st.counters["median_cpu_ms"] = median(cpu) * 1e-6;
}
BENCHMARK(BM_FirstCall)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

double clock_ns(clockid_t id) {
  timespec t{};
  clock_gettime(id, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// The fresh process: one gx_find, its answer checked, its wall and CPU time printed in ns.
int first_call_child() {
  const double w0 = clock_ns(CLOCK_MONOTONIC), c0 = clock_ns(CLOCK_PROCESS_CPUTIME_ID);
  char* answer = gx_find(48.8566, 2.3522);
  const double c1 = clock_ns(CLOCK_PROCESS_CPUTIME_ID), w1 = clock_ns(CLOCK_MONOTONIC);
  const bool ok = answer != nullptr && std::strncmp(answer, "{\"code\":\"fr.", 12) == 0;
  gx_free(answer);
  if (ok) std::printf("%.0f %.0f\n", w1 - w0, c1 - c0);
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], kFirstCall) == 0) return first_call_child();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
