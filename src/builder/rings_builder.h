// Fills the ring store (spatial/rings.h) one ring at a time, with its box and band index.
#pragma once

#include <vector>

#include "spatial/rings.h"

namespace Gantrix {

// Appends one ring given as parallel longitude and latitude lists.
void add_ring(Rings& rings, const std::vector<double>& ring_xs, const std::vector<double>& ring_ys);

}  // namespace Gantrix
