#!/usr/bin/env bash
# Code and test lines, counted the same way every time: lines of the tracked source files
# that are neither blank nor only a comment (// or #). Code is the library (src/, include/),
# the command line, the image tool and the bindings; tests are tests/ and the bindings'
# tests. Benchmarks, fuzzers, the dataset pipeline and build files count as neither.
#   scripts/line_counts.sh
set -euo pipefail
cd "$(dirname "$0")/.."
sources='\.(c|cc|cpp|h|hpp|py|js|mjs|cjs|ts)$'
count() {  # count PATH...: lines of the tracked source files under the paths
  git ls-files -- "$@" | grep -E "$sources" | grep -vE '(^|/)node_modules/' |
    while IFS= read -r f; do [ -f "$f" ] && cat "$f"; done |
    grep -cvE '^[[:space:]]*(//.*|#.*)?$' || true
}
binding_code() {
  git ls-files -- bindings | grep -E "$sources" |
    grep -vE '(^|/)(tests?|node_modules)/|(^|/)test_[^/]*$|\.test\.[a-z]+$|(^|/)bench\.[a-z]+$' || true
}
binding_tests() {
  git ls-files -- bindings | grep -E "$sources" | grep -E '(^|/)tests?/|(^|/)test_[^/]*$|\.test\.[a-z]+$' || true
}
library=$(count src include)
cli=$(count tools/cli)
image=$(count tools/image)
mapfile -t bcode < <(binding_code)
mapfile -t btests < <(binding_tests)
bindings=0; [ ${#bcode[@]} -eq 0 ] || bindings=$(count "${bcode[@]}")
binding_test_lines=0; [ ${#btests[@]} -eq 0 ] || binding_test_lines=$(count "${btests[@]}")
tests=$(( $(count tests) + binding_test_lines ))
code=$((library + cli + image + bindings))
printf 'library %d, cli %d, image tool %d, bindings %d\n' "$library" "$cli" "$image" "$bindings"
printf 'code %d\n' "$code"
printf 'tests %d (tests/ %d, bindings %d)\n' "$tests" "$((tests - binding_test_lines))" "$binding_test_lines"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "ratio %.1f%% (tests / code; at most 40%%)\n", 100 * t / c }'
