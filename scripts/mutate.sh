#!/usr/bin/env bash
# Mutation run: each fault below is written into the library alone, the test binaries are
# rebuilt in build/mutate (the default preset's settings), and the fast test labels run. A
# fault the tests let through ("SURVIVED") is a gap in them; every fault here is a plain
# mistake that changes an answer or a refusal, none a mere slowdown. The source is restored
# after each fault, and on any exit.
#
#   scripts/mutate.sh [-o REPORT] [NAME...]     all faults, or those named
#
# A fault names its file and an exact text that must occur there once: a stale one (the code
# moved on) is reported, never skipped. A fault costs a rebuild of what it touches (one file,
# or every user of a header) and one test run: on two busy cores a first run took 47 minutes,
# later ones, with ccache warm, 10 to 17.
set -euo pipefail
cd "$(dirname "$0")/.."

report=""
if [ "${1:-}" = "-o" ]; then
  report=$2
  shift 2
fi

build=build/mutate
labels='^(core|spatial|state|builder|query|api|threads|abi|layers)$'
targets=(core_test spatial_test state_test builder_test query_test api_test threads_test cpp_header_test
         abi_c_test answers_dump gantrix gantrix-image)

# NAME FILE (under src/) TEXT ~> REPLACEMENT
faults=$(cat <<'EOF'
escape-backslash      core/json_writer.cpp     out.append("\\\\", 2); ~> out.append("\\", 1);
utf8-surrogates       core/json_writer.cpp     if (b == 0xED) hi = 0x9F; ~> if (b == 0xED) hi = 0xBF;
float-ties-to-odd     core/json_writer.cpp     (dropped == 1 && (r & 1) != 0) ~> (dropped == 1 && (r & 1) == 0)
float-sci-one-digit   core/json_writer.cpp     if (n == 1) { ~> if (n == 0) {
trim-end              core/text.cpp            s.find_last_not_of(kSpace) - begin + 1 ~> s.find_last_not_of(kSpace) - begin
one-antimeridian      spatial/coords.h         return lng == 180.0 ? -180.0 : lng; ~> return lng;
probe-over-pole       spatial/coords.h         p.lat = 180.0 - p.lat; ~> p.lat = 180.0 - p.lat; p.lng -= 180.0;
haversine-clamp       spatial/airport_index.cpp  if (a > 1.0) a = 1.0; ~> if (a > 2.0) a = 1.0;
nearest-tie-by-id     spatial/airport_index.cpp  return a.id < b.id; ~> return a.id > b.id;
kd-split-bound        spatial/kd_tree.cpp      right_min = std::min(right_min ~> right_min = std::max(right_min
ring-east-edge        spatial/rings.cpp        if (xi > x) inside ~> if (xi >= x) inside
overlap-tie           spatial/feature_hits.h   return feature < best_feature; ~> return feature > best_feature;
first-code            state/airport_table.cpp  k < 0 ? -1 ~> k <= 0 ? -1
image-section-size    state/image.cpp          e.bytes > image_.size() - e.offset || ~> e.bytes > image_.size() ||
special-box-edge      query/point_in_country.cpp box.lat_from <= p.lat ~> box.lat_from < p.lat
probe-last-direction  query/point_in_country.cpp std::max(first, 1); k < COUNTRY_STEPS; ~> std::max(first, 1); k + 1 < COUNTRY_STEPS;
nearby-airport-km     query/country_rules.h    NEARBY_AIRPORT_KM = 1000.0 ~> NEARBY_AIRPORT_KM = 1100.0
borrow-last-radius    query/serving_airport.cpp r < NEARBY_RADII.size() ~> r + 1 < NEARBY_RADII.size()
find-wraps            query/find.cpp           {lat, normalize_lng(lng)} ~> {lat, lng}
set-repeats           query/airport_set.cpp    if (!seen_ids.insert(static_cast<int32_t>(id)).second) continue; ~> seen_ids.insert(static_cast<int32_t>(id));
set-free-minus-one    query/set_registry.cpp   if (handle < 0) return; ~> if (handle < -1) return;
set-country-flag      query/set_queries.cpp    if (has_country == 1) { ~> if (has_country != 0) {
resolve-same-country  query/airport_set.cpp    nearest(p, 1, loc.country, std::nullopt) ~> nearest(p, 1, std::nullopt, std::nullopt)
empty-message         api/guarded_call.cpp     if (what != nullptr && what[0] != '\0') { ~> if (what != nullptr) {
json-escape-b         builder/json_reader.cpp  return '\b'; ~> return 'b';
json-cr               builder/json_reader.h    c != '\n' && c != '\r') ~> c != '\n')
airport-lat-edge      builder/airport_loader.cpp a.lat <= 90.0 ~> a.lat < 90.0
airport-repeat-last   builder/airport_loader.cpp k < keys.size(); ++k) { ~> k + 1 < keys.size(); ++k) {
display-empty-city    builder/airport_loader.cpp shown(!t.city[i].empty() && ~> shown(
country-first-name    builder/country_loader.cpp names.try_emplace(upper(*code), *name) ~> names.insert_or_assign(upper(*code), *name)
position-one-number   builder/country_loader.cpp if (read == 2) { ~> if (read >= 1) {
band-closing-edge     builder/rings_builder.cpp point_band[i == 0 ? cnt - 1 : i - 1] ~> point_band[i == 0 ? 0 : i - 1]
grid-last-column      builder/ring_grid_builder.cpp cx <= x1; ++cx) put ~> cx < x1; ++cx) put
cells-edge-span       builder/country_cells_builder.cpp &grid[static_cast<size_t>(cy) * W + x1] + 1, MIXED ~> &grid[static_cast<size_t>(cy) * W + x1], MIXED
cells-quiet-reach     builder/country_cells_builder.cpp static_cast<int>(CountryCells::NEAR_REACH) + 1; ~> static_cast<int>(CountryCells::NEAR_REACH) - 1;
decided-child-order   spatial/decided_grid.h   block.child[cy * SPLIT + cx]; ~> block.child[cx * SPLIT + cy];
decided-km-slack      builder/decided_cells_builder.cpp constexpr double kSlackKm = 1e-6; ~> constexpr double kSlackKm = -5.0;
EOF
)

scripts/deps.sh mutate
# ccache makes the rebuild after each restore a cache hit, so a fault costs one compile of
# what it touches, not two.
export CCACHE_DIR="$PWD/$build/ccache"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset default -B "$build" -G Ninja -DCMAKE_C_COMPILER_LAUNCHER=ccache \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
fi
mkdir -p "$build/mutants"
saved="$build/mutants/original"
current=""
restore() {
  if [ -n "$current" ]; then
    cp "$saved" "src/$current"
    current=""
  fi
}
trap restore EXIT
trap 'restore; exit 130' INT TERM

# Builds the test targets; 0 when they built.
rebuild() {
  cmake --build "$build" -j2 --target "${targets[@]}" </dev/null >"$build/mutants/build.log" 2>&1
}
# Runs the fast labels, stopping at the first failure; prints the failing test, or nothing.
run_tests() {
  if ctest --test-dir "$build" -L "$labels" -j2 --stop-on-failure --timeout 120 \
      </dev/null >"$build/mutants/test.log" 2>&1; then
    return 0
  fi
  local failed
  failed=$(sed -n '/The following tests FAILED:/,$p' "$build/mutants/test.log" |
             grep -oE '[0-9]+ - [^ ]+' | head -n 1 | sed 's/^[0-9]* - //')
  echo "${failed:-ctest failed}"
}

echo "== unmutated: build and tests must pass first"
rebuild || { tail -n 40 "$build/mutants/build.log"; echo "the unmutated build fails" >&2; exit 1; }
if [ -n "$(run_tests)" ]; then
  tail -n 40 "$build/mutants/test.log"
  echo "the unmutated tests fail" >&2
  exit 1
fi

rows=()
killed=0 survived=0 broken=0 stale=0 total=0
while read -r name file rest; do
  [ -n "$name" ] || continue
  if [ $# -gt 0 ] && [[ " $* " != *" $name "* ]]; then continue; fi
  from=${rest%%' ~> '*}
  to=${rest#*' ~> '}
  total=$((total + 1))
  start=$SECONDS
  cp "src/$file" "$saved"
  current=$file
  found=$(FROM="$from" TO="$to" python3 - "src/$file" <<'PY'
import os, sys
path = sys.argv[1]
text = open(path, encoding="utf-8").read()
n = text.count(os.environ["FROM"])
if n == 1:
    open(path, "w", encoding="utf-8").write(text.replace(os.environ["FROM"], os.environ["TO"]))
print(n)
PY
)
  if [ "$found" != 1 ]; then
    result="STALE (text found $found times)"
    stale=$((stale + 1))
  elif ! rebuild; then
    result="BUILD FAILED"
    broken=$((broken + 1))
  else
    failed=$(run_tests)
    if [ -n "$failed" ]; then
      result="killed by $failed"
      killed=$((killed + 1))
    else
      result="SURVIVED"
      survived=$((survived + 1))
    fi
  fi
  restore
  row=$(printf '%-22s %-31s %4ss  %s' "$name" "$file" "$((SECONDS - start))" "$result")
  echo "$row"
  rows+=("$row")
done <<<"$faults"
# Leave the build matching the restored source.
rebuild || true

{
  printf '%-22s %-31s %5s  %s\n' fault file time result
  printf '%s\n' "${rows[@]}"
  echo "faults $total: killed $killed, survived $survived, stale $stale, build failed $broken"
} >"$build/mutants/report.txt"
[ -z "$report" ] || cp "$build/mutants/report.txt" "$report"
echo "faults $total: killed $killed, survived $survived, stale $stale, build failed $broken"
[ "$survived" -eq 0 ] && [ "$stale" -eq 0 ] && [ "$broken" -eq 0 ]
