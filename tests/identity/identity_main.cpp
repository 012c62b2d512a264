// The answers with and without the decided cells, text for text, on many seeded points:
//
//   identity_test POINTS SEED                      the compiled-in data, through gx_*
//   identity_test POINTS SEED AIRPORTS COUNTRIES   those files, built here with their cells
//
// Prints how many points differ (and the first few); fails when any does.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "builder/state_builder.h"
#include "tests/support/identity.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr, "usage: identity_test POINTS SEED [AIRPORTS COUNTRIES]\n");
    return 2;
  }
  std::optional<Gantrix::State> built;
  if (argc == 5) {
    std::stringstream texts[2];
    texts[0] << std::ifstream(argv[3]).rdbuf();
    texts[1] << std::ifstream(argv[4]).rdbuf();
    built.emplace(
        Gantrix::build_state_image(texts[0].str(), texts[1].str(), Gantrix::DecideLimits{}));
  }
  const Gantrix::State& s = built ? *built : Gantrix::state();
  const size_t n = std::strtoull(argv[1], nullptr, 10);
  std::vector<std::string> described;
  const size_t differ = Gantrix::test::identity_mismatches(
      s, Gantrix::test::identity_points(s, n, std::strtoull(argv[2], nullptr, 0)), !built,
      described);
  std::printf("%zu points, %zu answered otherwise with the decided cells\n", n, differ);
  for (const std::string& d : described) std::printf("  %s\n", d.c_str());
  return differ == 0 ? 0 : 1;
}
