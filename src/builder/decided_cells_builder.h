// Works out the decided cells (state/decided_cells.h) at build time, over a State built
// without them: for each cell, whether the full procedure gives every point of it the same
// country, and the same serving airport. Proven from bounds, never from samples: the
// outlines' edges kept clear of everything the procedure reads, the airports' distances
// bounded over the cell, every bound widened for rounding, near-ties left undecided.
#pragma once

#include <cstddef>

#include "state/decided_cells.h"
#include "state/state.h"

namespace Gantrix {

struct DecideLimits {
  // How many times a one-degree cell may be cut into 4 x 4 (each cut: a quarter the size).
  int depth = 3;
  // The image with its decided cells at most this large: the cells get the room the rest of
  // the State leaves (cut cells take 64 bytes each); past it, cells stay as they are.
  size_t image_bytes = 19'500'000;
};

[[nodiscard]] DecidedCells build_decided_cells(const State& s, const DecideLimits& limits = {});

// How much of the sphere's area the cells decide: the country (and with it the serving
// airport, or no country), the serving airport too; and how many cells are cut.
struct DecidedShare {
  double country = 0.0, airport = 0.0;
  size_t cut_cells = 0;
};
[[nodiscard]] DecidedShare decided_share(const DecidedCells& d);

}  // namespace Gantrix
