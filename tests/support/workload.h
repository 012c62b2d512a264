// The benchmarks' seeded workload now lives with them; the thread test still reads it here.
#pragma once
#include "bench/workload.h"
