#!/usr/bin/env bash
# scripts/gantrix.sh must rebuild after an edit anywhere the command is built from: every
# library layer, the public headers, the data, the command's own sources.
set -euo pipefail
root="$1"; shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tool="$work/gantrix"
printf '#!/bin/sh\n' > "$tool" && chmod +x "$tool"
check() { GANTRIX_SH_TOOL="$tool" GANTRIX_SH_CHECK=1 "$root/scripts/gantrix.sh"; }
touch -d '2000-01-01' "$tool"
[ "$(check)" = rebuild ] || { echo "an old tool is not rebuilt"; exit 1; }
touch "$tool"
[ "$(check)" = "up to date" ] || { echo "a fresh tool is rebuilt: $(check)"; exit 1; }
for folder in "$@" include datasets tools/cli; do
  sleep 0.01
  probe="$root/$folder/.gantrix_sh_probe"
  touch "$probe"
  got=$(check)
  rm -f "$probe"
  [ "$got" = rebuild ] || { echo "an edit in $folder does not rebuild"; exit 1; }
  touch "$tool"
done
echo "rebuilds after an edit in: $* include datasets tools/cli"
