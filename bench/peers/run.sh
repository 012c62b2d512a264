#!/usr/bin/env bash
# The peer benchmark: installs the peers from Debian's packages when missing, builds it in
# build/peers and runs it. Full run: 100,000 points, 5 passes, report to docs/PERFORMANCE.md.
# --quick: 5,000 points, 1 pass, report to build/peers/PERFORMANCE-quick.md (for CI, so the
# benchmark keeps building and its cross-check keeps passing).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
quick=()
out="$root/docs/PERFORMANCE.md"
case "${1:-}" in
  --quick) quick=(--quick); out="$root/build/peers/PERFORMANCE-quick.md" ;;
  "") ;;
  *) echo "usage: bench/peers/run.sh [--quick]" >&2; exit 2 ;;
esac

# The peers besides S2 are required; S2 is optional: without it the benchmark runs the other
# peers and says so.
"$root/scripts/deps.sh" peers
if ! dpkg-query -W -f='${Status}' libs2-dev 2>/dev/null | grep -q "ok installed"; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends libs2-dev \
    >/dev/null || echo "S2 did not install: running without it" >&2
fi

cmake -S "$root/bench/peers" -B "$root/build/peers" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/peers" -j2 >/dev/null

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
# A failed cross-check still writes the report, then fails the script.
status=0
body="$("$root/build/peers/gantrix_peers" "${quick[@]}")" || status=$?
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"
mkdir -p "$(dirname "$out")"
{
  echo "# Performance against other libraries"
  echo
  echo "Gantrix against GEOS, Boost.Geometry and S2 (Debian's packages), in one process, on the same"
  echo "data files and the same seeded points. Every contender builds its own index from"
  echo "datasets/airports.json and datasets/countries.geojson (Gantrix: its State image, built from them when the library is built),"
  echo "and every answer is checked against the library's. Absolute times on a shared machine are"
  echo "noisy: read the ratios, which come from the same run."
  echo
  echo "- Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load average (1, 5, 15 min) $load_before before the run, $load_after after."
  echo "- Compiler: $(g++ --version | head -1); Release build, -ffp-contract=off."
  echo "- Reproduce: \`bench/peers/run.sh${quick[*]:+ ${quick[*]}}\` (installs the peers if missing, builds in build/peers, rewrites this file)."
  echo
  echo "GEOS answers the nearest airport with planar distances in degrees of longitude and latitude,"
  echo "so it differs from the great-circle answer; Boost.Geometry and S2 search unit vectors or"
  echo "the sphere and rank their candidates by haversine distance, as Gantrix does. The peers' country"
  echo "tests take the first outline holding the point. The outlines' rings count by even-odd parity"
  echo "(orientation aside, some crossing themselves); S2, which reads a loop's inside on its left,"
  echo "takes them as undirected edges through S2Builder, which splits the crossings and keeps each"
  echo "piece's side smaller than a hemisphere; S2's edges are great-circle arcs. The run fails when a"
  echo "peer's country agrees with the library's on fewer than 99.9% of the points. Index memory is the"
  echo "heap growth while the index is built (mallinfo2), and for Gantrix State::bytes(),"
  echo "the image it reads in the library's shared read-only pages."
  echo
  echo "$body"
  echo
  echo "## What makes Gantrix fast"
  echo
  echo "- Nearest airports: a k-d tree over the airports' unit vectors (sliding-midpoint cuts, leaves"
  echo "  of 8 points stored next to each other), walked nearer side first with a per-axis lower bound"
  echo "  that costs two additions per level; the bound follows the k-th smallest chord found so far,"
  echo "  and great-circle distances are computed only for the final candidates."
  echo "- Countries: the map is cut into half-degree cells; a cell that no outline edge comes near has"
  echo "  one answer for every point in it, worked out at load from each ring's crossings with the"
  echo "  cell rows (about 90% of the map). Points near an edge take the exact ring test through a"
  echo "  one-degree grid of ring boxes. The probes around sea points read the cells first, and are"
  echo "  skipped outright where no outline comes within 3 degrees."
  echo "- Whole answers decided at build time: for each one-degree cell (cut into 4 x 4 finer cells,"
  echo "  three times over, where coasts, borders and near-ties need it) gantrix-image proves from"
  echo "  bounds whether every point of it gets one country, and one serving airport: the outline"
  echo "  test and each probe over the whole cell, the nearest airports' distances bounded over it."
  echo "  About 97% of the map's area is answered by one grid lookup (75% with the airport); the"
  echo "  rest runs the procedure, from the first step that can still answer."
  echo "- Answers: each airport's JSON members and its answer to gx_find are written once at load, so"
  echo "  a query copies text instead of formatting it; a search keeps its hits in per-thread scratch"
  echo "  and needs no heap. gx_set_nearest writes its array straight into the block the caller"
  echo "  receives, and distances get their shortest digits from exact integer arithmetic instead of"
  echo "  a round trip through the standard library's text."
  echo "- Start-up: the State is built when the library is built and compiled in as one image that"
  echo "  the first call points at in place; nothing is parsed, copied or allocated beyond a few"
  echo "  small headers, and the pages are shared by every process (see the section below)."
  # The start-up section is measured by bench/startup/run.sh, not here: keep it.
  if [ -f "$out" ]; then sed -n '/^## Start-up and memory per process/,$p' "$out" | sed '1s/^/\n/'; fi
} >"$out.new"
mv "$out.new" "$out"
[ ${#quick[@]} -eq 0 ] || cat "$out"
echo "wrote $out"
exit "$status"
