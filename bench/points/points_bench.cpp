// gx_country_at and gx_find on three sets of points, for one or more builds of the library in
// one run: points uniform on the sphere (most at sea), populated places (given, shuffled) and
// points within 50 km of a coast; with the share of each set that the decided cells answer.
// Prints a Markdown table.
//
//   points_bench PLACES OUT_DIR                       writes OUT_DIR/uniform.f64, the uniform
//                                                     points (float64 lat, lng pairs), for
//                                                     bench/country-coder/run.mjs
//   points_bench PLACES OUT_DIR [--peer NAME=NS] NAME=LIBRARY...
//
// PLACES: one "lat,lng" per line. Each library (a libgantrix.so) is loaded into a namespace of
// its own; the shares come from the State linked into this program. A peer's ns per uniform
// point (measured in the same run) is set against the first library's gx_country_at.
#include <dlfcn.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "query/point_in_country.h"
#include "tests/support/workload.h"

namespace {

using Call = char* (*)(double, double);
using Free = void (*)(char*);

struct Library {
  std::string name;
  Call country_at, find;
  Free release;
};

struct Set {
  const char* name;
  std::vector<bench::Point> points;
};

double cpu_ns() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

Library load(const std::string& spec) {
  const size_t eq = spec.find('=');
  const std::string name = spec.substr(0, eq), path = spec.substr(eq + 1);
  void* h = dlmopen(LM_ID_NEWLM, path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (h == nullptr) {
    std::fprintf(stderr, "points_bench: %s\n", dlerror());
    std::exit(2);
  }
  return {name, reinterpret_cast<Call>(dlsym(h, "gx_country_at")),
          reinterpret_cast<Call>(dlsym(h, "gx_find")), reinterpret_cast<Free>(dlsym(h, "gx_free"))};
}

// Whether both land and sea (by the outline test) lie within 50 km of p: the centre, and
// 16 directions at 12.5, 25, 37.5 and 50 km.
bool by_a_coast(const Gantrix::State& s, bench::Point p) {
  bool land = false, sea = false;
  for (int ring = 0; ring <= 4; ++ring) {
    for (int d = 0; d < (ring == 0 ? 1 : 16); ++d) {
      const double a = d * std::numbers::pi / 8, deg = ring * 12.5 / 111.195;
      const double lat = p.lat + deg * std::cos(a);
      const double lng = p.lng + deg * std::sin(a) / std::max(0.01, std::cos(p.lat * std::numbers::pi / 180));
      if (std::fabs(lat) > 90.0) continue;
      const bool here = Gantrix::country_exact(s, {lat, std::remainder(lng, 360.0)}).has_value();
      (here ? land : sea) = true;
    }
  }
  return land && sea;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: points_bench PLACES OUT_DIR [--peer NAME=NS] [NAME=LIBRARY...]\n");
    return 2;
  }
  const Gantrix::State& s = Gantrix::state();
  bench::Rng r{0x9E0C0DE};
  Set sets[3] = {{"uniform on the sphere", {}}, {"populated places", {}}, {"within 50 km of a coast", {}}};
  sets[0].points.resize(300000);
  for (auto& p : sets[0].points) r.sphere(p.lat, p.lng);
  std::ifstream in(argv[1]);
  for (std::string line; std::getline(in, line);) {
    const size_t comma = line.find(',');
    if (comma != std::string::npos) {
      sets[1].points.push_back({std::stod(line.substr(0, comma)), std::stod(line.substr(comma + 1))});
    }
  }
  auto& places = sets[1].points;
  for (size_t i = places.size(); i > 1; --i) std::swap(places[i - 1], places[r.below(i)]);
  if (argc == 3) {
    std::ofstream out(std::string(argv[2]) + "/uniform.f64", std::ios::binary);
    static_assert(sizeof(bench::Point) == 2 * sizeof(double));
    out.write(reinterpret_cast<const char*>(sets[0].points.data()),
              static_cast<std::streamsize>(sets[0].points.size() * sizeof(bench::Point)));
    return out.flush() ? 0 : 1;
  }
  while (sets[2].points.size() < 100000) {
    bench::Point p;
    r.sphere(p.lat, p.lng);
    if (by_a_coast(s, p)) sets[2].points.push_back(p);
  }

  std::vector<Library> libs;
  std::string peer;
  double peer_ns = 0.0;
  for (int a = 3; a < argc; ++a) {
    if (std::string(argv[a]) == "--peer" && a + 1 < argc) {
      const std::string spec = argv[++a];
      peer = spec.substr(0, spec.find('='));
      peer_ns = std::stod(spec.substr(spec.find('=') + 1));
    } else {
      libs.push_back(load(argv[a]));
    }
  }
  // pass[lib][set][function]: ns per point, one per round; every figure's pass r runs in
  // round r, so load on the machine falls on all alike.
  constexpr int kRounds = 5;
  std::vector<std::vector<std::vector<std::vector<double>>>> pass(
      libs.size(), std::vector<std::vector<std::vector<double>>>(3, std::vector<std::vector<double>>(2)));
  for (int round = 0; round < kRounds; ++round) {
    for (size_t l = 0; l < libs.size(); ++l) {
      for (size_t set = 0; set < 3; ++set) {
        for (int f = 0; f < 2; ++f) {
          const Call call = f == 0 ? libs[l].country_at : libs[l].find;
          const double t0 = cpu_ns();
          for (const auto& p : sets[set].points) libs[l].release(call(p.lat, p.lng));
          pass[l][set][static_cast<size_t>(f)].push_back((cpu_ns() - t0) /
                                                        static_cast<double>(sets[set].points.size()));
        }
      }
    }
  }

  std::printf("| points | count | country decided | airport decided |");
  for (const auto& lib : libs) std::printf(" gx_country_at, %s | gx_find, %s |", lib.name.c_str(), lib.name.c_str());
  std::printf("\n|---|---:|---:|---:|");
  for (size_t l = 0; l < libs.size(); ++l) std::printf("---:|---:|");
  std::printf("\n");
  for (size_t set = 0; set < 3; ++set) {
    size_t country = 0, airport = 0;
    for (const auto& p : sets[set].points) {
      const auto* a = s.decided.at({p.lat, Gantrix::one_antimeridian(p.lng)});
      if (a == nullptr || a->code == Gantrix::DecidedCells::OPEN_FROM) continue;
      ++country;
      airport += a->code == Gantrix::DecidedCells::NO_COUNTRY || a->detail != Gantrix::DecidedCells::AIRPORT_OPEN;
    }
    const double n = static_cast<double>(sets[set].points.size());
    std::printf("| %s | %zu | %.1f%% | %.1f%% |", sets[set].name, sets[set].points.size(),
                100.0 * country / n, 100.0 * airport / n);
    for (size_t l = 0; l < libs.size(); ++l) {
      std::printf(" %.0f | %.0f |", median(pass[l][set][0]), median(pass[l][set][1]));
    }
    std::printf("\n");
  }
  // The ratios the targets name, each the median over the rounds of that round's ratio.
  std::printf("\n");
  for (size_t l = 0; l < libs.size(); ++l) {
    for (int f = 0; f < 2; ++f) {
      std::vector<double> uniform_over_places, coast_over_places;
      for (int round = 0; round < kRounds; ++round) {
        const auto ri = static_cast<size_t>(round), fi = static_cast<size_t>(f);
        uniform_over_places.push_back(pass[l][0][fi][ri] / pass[l][1][fi][ri]);
        coast_over_places.push_back(pass[l][2][fi][ri] / pass[l][1][fi][ri]);
      }
      std::printf("- %s, %s: uniform / places %.2fx, coast / places %.2fx\n", libs[l].name.c_str(),
                  f == 0 ? "gx_country_at" : "gx_find", median(uniform_over_places),
                  median(coast_over_places));
    }
  }
  for (size_t l = 1; l < libs.size(); ++l) {
    for (size_t set = 0; set < 3; ++set) {
      for (int f = 0; f < 2; ++f) {
        std::vector<double> ratio;
        for (int round = 0; round < kRounds; ++round) {
          const auto ri = static_cast<size_t>(round), fi = static_cast<size_t>(f);
          ratio.push_back(pass[0][set][fi][ri] / pass[l][set][fi][ri]);
        }
        std::printf("- %s / %s, %s, %s: %.2fx\n", libs[0].name.c_str(), libs[l].name.c_str(),
                    f == 0 ? "gx_country_at" : "gx_find", sets[set].name, median(ratio));
      }
    }
  }
  if (!peer.empty() && !libs.empty()) {
    const double ours = median(pass[0][0][0]);
    std::printf("- %s gx_country_at on the uniform points: %.0f ns against %s's %.0f ns: %.1fx its rate\n",
                libs[0].name.c_str(), ours, peer.c_str(), peer_ns, peer_ns / ours);
  }
  return 0;
}
