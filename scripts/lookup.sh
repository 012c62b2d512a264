#!/usr/bin/env bash
# Builds what a lookup needs (once) and answers one: scripts/lookup.sh LAT LNG
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -x build/release/gantrix-lookup ] || [ -n "$(find api data spatial query examples CMakeLists.txt -newer build/release/gantrix-lookup -print -quit)" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target gantrix-lookup >/dev/null
fi
exec build/release/gantrix-lookup "$@"
