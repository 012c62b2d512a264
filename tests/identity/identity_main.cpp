// The answers with and without the decided cells, text for text, on many seeded points:
//
//   identity_test POINTS SEED                      the compiled-in data, through gx_*
//   identity_test POINTS SEED AIRPORTS COUNTRIES   those files, built here with their cells
//
// Prints how many points differ (and the first few); fails when any does.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "builder/state_builder.h"
#include "tests/support/identity.h"

namespace {

std::string read_file(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(std::string("cannot read ") + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr, "usage: identity_test POINTS SEED [AIRPORTS COUNTRIES]\n");
    return 2;
  }
  try {
    const size_t n = std::strtoull(argv[1], nullptr, 10);
    const uint64_t seed = std::strtoull(argv[2], nullptr, 0);
    std::optional<Gantrix::State> built;
    if (argc == 5) {
      built.emplace(Gantrix::build_state_image(read_file(argv[3]), read_file(argv[4]),
                                               Gantrix::DecideLimits{}));
    }
    const Gantrix::State& s = built ? *built : Gantrix::state();
    std::vector<std::string> described;
    const size_t differ = Gantrix::test::identity_mismatches(
        s, Gantrix::test::identity_points(s, n, seed), !built, described);
    std::printf("%zu points, %zu answered otherwise with the decided cells\n", n, differ);
    for (const std::string& d : described) std::printf("  %s\n", d.c_str());
    return differ == 0 ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "identity_test: %s\n", e.what());
    return 2;
  }
}
