// A stable counting sort into buckets, the layout of every "items by cell" list: after it,
// bucket b's values are out[start[b] .. start[b + 1]), in the order they were emitted.
#pragma once

#include <cstddef>
#include <vector>

namespace Gantrix {

// emit(put) must call put(bucket, value) for every pair, the same pairs in the same order
// each time: it runs twice, once to count and once to fill.
template <class Starts, class Out, class Emit>
void counting_sort(size_t buckets, Emit&& emit, Starts& start, Out& out) {
  using Value = typename Out::value_type;
  start.assign(buckets + 1, 0);
  emit([&start](size_t bucket, const Value&) { ++start[bucket + 1]; });
  for (size_t b = 0; b < buckets; ++b) start[b + 1] += start[b];
  out.assign(static_cast<size_t>(start[buckets]), Value{});
  // Each bucket's start serves as its cursor, which leaves it at the next bucket's start.
  emit([&start, &out](size_t bucket, const Value& v) {
    out[static_cast<size_t>(start[bucket]++)] = v;
  });
  for (size_t b = buckets; b > 0; --b) start[b] = start[b - 1];
  start[0] = 0;
}

}  // namespace Gantrix
