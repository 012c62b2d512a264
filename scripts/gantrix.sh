#!/usr/bin/env bash
# Builds the gantrix command (once, and again when a source changes) and runs it:
# scripts/gantrix.sh find 48.8566 2.3522
# GANTRIX_SH_CHECK=1 only says whether it would rebuild ("rebuild" or "up to date").
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tool="${GANTRIX_SH_TOOL:-$root/build/release/tools/cli/gantrix}"
# Everything the command is built from: the whole library (src/, include/), the data, the
# tools and the build files.
stale() {
  [ ! -x "$tool" ] ||
    [ -n "$(cd "$root" && find src include datasets tools cmake CMakeLists.txt CMakePresets.json VERSION \
              -newer "$tool" -print -quit 2>/dev/null)" ]
}
if [ -n "${GANTRIX_SH_CHECK:-}" ]; then
  if stale; then echo rebuild; else echo "up to date"; fi
  exit 0
fi
if [ ! -x "$tool" ]; then
  "$root/scripts/deps.sh"
fi
if stale; then
  (cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release --target gantrix-cli >/dev/null)
fi
exec "$tool" "$@"
