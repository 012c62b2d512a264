#!/usr/bin/env bash
# The first gx_country_at in fresh processes: median of 7 processes (library loading excluded),
# and the private dirty memory the first call adds. usage: bench/startup/run.sh LIBRARY
set -euo pipefail
lib="$(realpath "$1")"
bin="$(mktemp -d)/first_call"
cc -O2 -o "$bin" "$(dirname "$0")/first_call.c" -ldl
for _ in 1 2 3 4 5 6 7; do "$bin" "$lib"; done | sort -n | awk '
  { ms[NR] = $1; kb[NR] = $2 }
  END { printf "first gx_country_at: median %.2f ms (min %.2f, max %.2f) of %d processes; " \
               "Private_Dirty growth: median %d kB\n", ms[4], ms[1], ms[7], NR, kb[4] }'
