// gx_country_at and gx_find on three sets of points, for one or more builds of the library in
// one run: points uniform on the sphere (most at sea), populated places (given, shuffled) and
// points within 50 km of a coast; with the share of each set the decided cells answer, and
// the times of other contenders measured on the same points. Prints a Markdown table.
//
//   points_bench PLACES DIR     writes DIR/uniform.f64, places.f64 and coast.f64 (float64
//                               lat, lng pairs); PLACES: one "lat,lng" per line
//   points_bench DIR [--peer NAME=U,P,C]... NAME=LIBRARY...
//
// Each library (a libgantrix.so) is loaded into a namespace of its own and timed in rounds,
// each round one pass of every figure, in CPU time. The shares come from the State linked
// into this program. A peer's U,P,C: its ns per point on the three sets.
#include <dlfcn.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "bench/workload.h"
#include "query/point_in_country.h"

namespace {

using Call = char* (*)(double, double);
using Free = void (*)(char*);

struct Library {
  std::string name;
  Call country_at, find;
  Free release;
};

constexpr const char* kSets[3] = {"uniform", "places", "coast"};
constexpr const char* kSetNames[3] = {"uniform on the sphere", "populated places",
                                      "within 50 km of a coast"};

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
  const std::string path = spec.substr(eq + 1);
  void* h = dlmopen(LM_ID_NEWLM, path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (h == nullptr) {
    std::fprintf(stderr, "points_bench: %s\n", dlerror());
    std::exit(2);
  }
  return {spec.substr(0, eq), reinterpret_cast<Call>(dlsym(h, "gx_country_at")),
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
      const double lng =
          p.lng + deg * std::sin(a) / std::max(0.01, std::cos(p.lat * std::numbers::pi / 180));
      if (std::fabs(lat) > 90.0) continue;
      const bool here = Gantrix::country_exact(s, {lat, std::remainder(lng, 360.0)}).has_value();
      (here ? land : sea) = true;
    }
  }
  return land && sea;
}

int write_sets(const Gantrix::State& s, const char* places_file, const std::string& dir) {
  bench::Rng r{0x9E0C0DE};
  std::vector<bench::Point> sets[3];
  sets[0].resize(300000);
  for (auto& p : sets[0]) r.sphere(p.lat, p.lng);
  std::ifstream in(places_file);
  for (std::string line; std::getline(in, line);) {
    const size_t comma = line.find(',');
    if (comma != std::string::npos) {
      sets[1].push_back({std::stod(line.substr(0, comma)), std::stod(line.substr(comma + 1))});
    }
  }
  for (size_t i = sets[1].size(); i > 1; --i) std::swap(sets[1][i - 1], sets[1][r.below(i)]);
  while (sets[2].size() < 100000) {
    bench::Point p;
    r.sphere(p.lat, p.lng);
    if (by_a_coast(s, p)) sets[2].push_back(p);
  }
  for (size_t k = 0; k < 3; ++k) {
    std::ofstream out(dir + "/" + kSets[k] + ".f64", std::ios::binary);
    out.write(reinterpret_cast<const char*>(sets[k].data()),
              static_cast<std::streamsize>(sets[k].size() * sizeof(bench::Point)));
    if (!out.flush()) return 1;
  }
  return 0;
}

std::vector<bench::Point> read_set(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<bench::Point> out(static_cast<size_t>(in.tellg()) / sizeof(bench::Point));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(out.data()),
          static_cast<std::streamsize>(out.size() * sizeof(bench::Point)));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  static_assert(sizeof(bench::Point) == 2 * sizeof(double));
  const Gantrix::State& s = Gantrix::state();
  if (argc == 3 && std::string(argv[2]).find('=') == std::string::npos) {
    return write_sets(s, argv[1], argv[2]);
  }
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: points_bench PLACES DIR | points_bench DIR [--peer NAME=U,P,C]... "
                 "NAME=LIBRARY...\n");
    return 2;
  }
  std::vector<bench::Point> sets[3];
  for (size_t k = 0; k < 3; ++k) sets[k] = read_set(std::string(argv[1]) + "/" + kSets[k] + ".f64");
  std::vector<Library> libs;
  std::vector<std::pair<std::string, std::vector<double>>> peers;
  for (int a = 2; a < argc; ++a) {
    if (std::string(argv[a]) == "--peer" && a + 1 < argc) {
      const std::string spec = argv[++a];
      std::vector<double> ns(3, NAN);
      std::sscanf(spec.c_str() + spec.find('=') + 1, "%lf,%lf,%lf", &ns[0], &ns[1], &ns[2]);
      peers.emplace_back(spec.substr(0, spec.find('=')), ns);
    } else {
      libs.push_back(load(argv[a]));
    }
  }

  // pass[lib][set][function]: ns per point, one per round; every figure's pass r runs in
  // round r, so load on the machine falls on all alike.
  constexpr int kRounds = 5;
  using Passes = std::vector<double>;
  std::vector<std::vector<std::vector<Passes>>> pass(
      libs.size(), std::vector<std::vector<Passes>>(3, std::vector<Passes>(2)));
  for (int round = 0; round < kRounds; ++round) {
    for (size_t l = 0; l < libs.size(); ++l) {
      for (size_t set = 0; set < 3; ++set) {
        for (size_t f = 0; f < 2; ++f) {
          const Call call = f == 0 ? libs[l].country_at : libs[l].find;
          const double t0 = cpu_ns();
          for (const auto& p : sets[set]) libs[l].release(call(p.lat, p.lng));
          pass[l][set][f].push_back((cpu_ns() - t0) / static_cast<double>(sets[set].size()));
        }
      }
    }
  }

  std::printf("| points | count | country decided | airport decided |");
  for (const auto& lib : libs) std::printf(" gx_country_at, %s |", lib.name.c_str());
  for (const auto& lib : libs) std::printf(" gx_find, %s |", lib.name.c_str());
  for (const auto& peer : peers) std::printf(" %s |", peer.first.c_str());
  std::printf("\n|---|---:|---:|---:|");
  for (size_t k = 0; k < 2 * libs.size() + peers.size(); ++k) std::printf("---:|");
  std::printf("\n");
  for (size_t set = 0; set < 3; ++set) {
    size_t country = 0, airport = 0;
    for (const auto& p : sets[set]) {
      const auto* a = s.decided.at({p.lat, Gantrix::one_antimeridian(p.lng)});
      if (a == nullptr || a->code == Gantrix::DecidedCells::OPEN_FROM) continue;
      ++country;
      airport += a->code == Gantrix::DecidedCells::NO_COUNTRY ||
                 a->detail != Gantrix::DecidedCells::AIRPORT_OPEN;
    }
    const double n = static_cast<double>(sets[set].size());
    std::printf("| %s | %zu | %.1f%% | %.1f%% |", kSetNames[set], sets[set].size(),
                100.0 * country / n, 100.0 * airport / n);
    for (size_t f = 0; f < 2; ++f) {
      for (size_t l = 0; l < libs.size(); ++l) std::printf(" %.0f |", median(pass[l][set][f]));
    }
    for (const auto& peer : peers) std::printf(" %.0f |", peer.second[set]);
    std::printf("\n");
  }
  // The ratios the targets name, each the median over the rounds of that round's ratio.
  const auto ratio = [&](size_t l, size_t set, size_t f, size_t l2, size_t set2) {
    std::vector<double> r;
    for (size_t round = 0; round < kRounds; ++round) {
      r.push_back(pass[l][set][f][round] / pass[l2][set2][f][round]);
    }
    return median(r);
  };
  std::printf("\n");
  for (size_t l = 0; l < libs.size(); ++l) {
    for (size_t f = 0; f < 2; ++f) {
      std::printf("- %s, %s: uniform / places %.2fx, coast / places %.2fx\n", libs[l].name.c_str(),
                  f == 0 ? "gx_country_at" : "gx_find", ratio(l, 0, f, l, 1), ratio(l, 2, f, l, 1));
    }
  }
  for (size_t l = 1; l < libs.size(); ++l) {
    for (size_t set = 0; set < 3; ++set) {
      std::printf("- %s / %s, %s: gx_country_at %.2fx, gx_find %.2fx\n", libs[0].name.c_str(),
                  libs[l].name.c_str(), kSetNames[set], ratio(0, set, 0, l, set),
                  ratio(0, set, 1, l, set));
    }
  }
  for (const auto& peer : peers) {
    std::printf("- %s / %s gx_country_at:", peer.first.c_str(),
                libs.empty() ? "" : libs[0].name.c_str());
    for (size_t set = 0; set < 3 && !libs.empty(); ++set) {
      std::printf(" %s %.1fx", kSets[set], peer.second[set] / median(pass[0][set][0]));
    }
    std::printf("\n");
  }
  return 0;
}
