#!/usr/bin/env bash
# The Debian package as a user meets it: builds it from the release build, checks what it
# holds, installs it, builds a C program through pkg-config and a C++ one through
# find_package and gantrix.hpp (both calling every function) with no prefix, rpath or
# LD_LIBRARY_PATH, runs them and the installed command, then removes the package again, so an
# installed copy never stands in for a build under test. Run by CI, as root or with sudo.
#   tests/install/deb.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
installed() { dpkg-query -W -f='${Status}' gantrix 2>/dev/null | grep -q "ok installed"; }
fail() { echo "deb: $*" >&2; exit 1; }

if installed; then
  fail "a gantrix package is installed already; remove it first (dpkg -r gantrix)"
fi
scripts/deps.sh deb
version="$(head -n 1 VERSION)"
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
rm -f build/release/gantrix_*.deb
(cd build/release && cpack -G DEB >/dev/null)
deb="$(ls build/release/gantrix_"$version"_*.deb)"

work="$(mktemp -d)"
trap 'installed && $sudo dpkg -r gantrix >/dev/null; rm -rf "$work"' EXIT

# What it holds: the library under its soname, the headers, the package files, the data's
# licences, and the shlibs file whose ldconfig trigger refreshes the linker's cache.
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/files"
for want in ./usr/lib/libgantrix.so.0 ./usr/lib/libgantrix.so."$version" ./usr/include/gantrix.h \
    ./usr/include/gantrix_version.h ./usr/include/gantrix.hpp ./usr/include/gantrix_arguments.hpp \
    ./usr/lib/pkgconfig/gantrix.pc ./usr/lib/cmake/Gantrix/GantrixConfig.cmake ./usr/bin/gantrix \
    ./usr/share/doc/gantrix/NOTICE ./usr/share/doc/gantrix/README.md; do
  grep -qxF "$want" "$work/files" || fail "$deb does not hold $want"
done
dpkg-deb -e "$deb" "$work/control"
grep -q "ldconfig" "$work/control/triggers" || fail "no ldconfig trigger"
grep -q "^libgantrix 0 " "$work/control/shlibs" || fail "no shlibs entry for libgantrix.so.0"

$sudo dpkg -i "$deb" >/dev/null
[[ "$(ldconfig -p)" == *libgantrix.so.0* ]] || fail "the trigger did not put libgantrix.so.0 in the linker's cache"
unset LD_LIBRARY_PATH
consumer=tests/install/consumer
# shellcheck disable=SC2046  # pkg-config's flags are words
cc "$consumer/consumer.c" $(pkg-config --cflags --libs gantrix) -lm -o "$work/consumer-c"
cmake -S "$consumer" -B "$work/cmake" -DGANTRIX_WANT="$version" >/dev/null
cmake --build "$work/cmake" >/dev/null
for program in "$work/consumer-c" "$work/cmake/consumer" "$work/cmake/consumer_cpp"; do
  if readelf -d "$program" | grep -qE "RPATH|RUNPATH"; then
    fail "$program carries an rpath: it would not prove the system's search finds the library"
  fi
  out="$("$program")" || fail "$program failed: $out"
  [[ "$out" == "GANTRIX_VERSION $version"* ]] || fail "$program: not built against $version: $out"
  echo "${out##*$'\n'}"
done
out="$(/usr/bin/gantrix --version)"
[ "${out%%$'\n'*}" = "gantrix $version" ] || fail "gantrix --version disagrees: $out"
out="$(/usr/bin/gantrix find 48.8566 2.3522)"
[[ "$out" == '{"code":"fr.'* ]] || fail "gantrix find: unexpected answer $out"

$sudo dpkg -r gantrix >/dev/null
[ ! -e /usr/lib/libgantrix.so.0 ] || fail "dpkg -r left /usr/lib/libgantrix.so.0 behind"
[[ "$(ldconfig -p)" != *libgantrix.so* ]] || fail "the linker's cache still lists libgantrix"
echo "deb: $(basename "$deb") built, installed, used from C and C++ without LD_LIBRARY_PATH, removed"
