#!/usr/bin/env bash
# gx_country_at and gx_find on points uniform on the sphere, on populated places and on points
# within 50 km of a coast, with npm @rapideditor/country-coder, GEOS and S2 (the peer
# benchmark's) on the same points, in one run (Release builds, times in CPU time). With a REF,
# the library as it was at that commit is built too and measured alongside.
#
#   bench/points/run.sh [REF]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$root/build/points"
mkdir -p "$work"
"$root/scripts/deps.sh" node peers
npm ci --prefix "$root/datasets/pipeline" --no-audit --no-fund --loglevel=error >/dev/null
npm ci --prefix "$root/bench/country-coder" --no-audit --no-fund --loglevel=error >/dev/null
node "$root/bench/points/places.mjs" >"$work/places.csv"

cmake --preset bench -S "$root" >/dev/null
cmake --build "$root/build/bench" --target points_bench gantrix -j2 >/dev/null
# GEOS and S2 (when libs2-dev is installed) from the peer benchmark's own build.
cmake -S "$root/bench/peers" -B "$root/build/peers" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/peers" -j2 >/dev/null
libs=("now=$root/build/bench/libgantrix.so")
if [ $# -gt 0 ]; then
  rm -rf "$work/before-src" && mkdir -p "$work/before-src"
  git -C "$root" archive "$1" | tar -x -C "$work/before-src"
  cmake -S "$work/before-src" -B "$work/before" -DCMAKE_BUILD_TYPE=Release \
    -DGANTRIX_BUILD_TESTS=OFF >/dev/null
  cmake --build "$work/before" --target gantrix -j2 >/dev/null
  libs+=("$1=$work/before/libgantrix.so")
fi

bench="$root/build/bench/bench/points_bench"
"$bench" "$work/places.csv" "$work"  # the three point sets, for every contender
echo "Load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
peers=()
js=()
for set in uniform places coast; do
  r=$(node "$root/bench/country-coder/run.mjs" "$work/$set.f64")
  echo "country-coder 5.6.1 iso1A2Code, $set (node $(node --version)): $r"
  js+=("$(node -e 'const r = JSON.parse(process.argv[1]); console.log(Math.round(r.cpu_seconds * 1e9 / r.points))' "$r")")
done
peers+=(--peer "country-coder=$(IFS=,; echo "${js[*]}")")
while IFS= read -r line; do peers+=(--peer "$line"); done < <("$root/build/peers/gantrix_peers" --points "$work")
echo
"$bench" "$work" "${peers[@]}" "${libs[@]}"
echo "Load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
