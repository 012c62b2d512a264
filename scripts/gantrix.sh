#!/usr/bin/env bash
# Builds the gantrix command (once, and again when a source changes) and runs it:
# scripts/gantrix.sh find 48.8566 2.3522
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tool="$root/build/release/tools/cli/gantrix"
if [ ! -x "$tool" ]; then
  "$root/scripts/deps.sh"
fi
if [ ! -x "$tool" ] || [ -n "$(cd "$root" && find src include datasets tools/cli tools/image cmake CMakeLists.txt -newer "$tool" -print -quit)" ]; then
  (cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release --target gantrix-cli >/dev/null)
fi
exec "$tool" "$@"
