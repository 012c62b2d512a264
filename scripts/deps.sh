#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and this machine
# lacks. Does nothing when everything is present.
set -euo pipefail
need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v python3 >/dev/null || need+=(python3)
command -v pkg-config >/dev/null || need+=(pkg-config)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
[ -f /usr/include/CLI/CLI.hpp ] || need+=(libcli11-dev)
# The Python extension, built and tested with the rest (for /usr/bin/python3).
compgen -G "/usr/include/python3*/Python.h" >/dev/null || need+=(python3-dev)
[ -f /usr/include/pybind11/pybind11.h ] || need+=(pybind11-dev)
for extra in "$@"; do
  case "$extra" in
    fuzz) command -v clang++ >/dev/null || need+=(clang)
          [ -f /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
          ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
            need+=(libclang-rt-14-dev) ;;
    valgrind) command -v valgrind >/dev/null || need+=(valgrind) ;;
    # The Python binding's numpy and Dask tests (skipped without them). Debian installs
    # these for /usr/bin/python3, the interpreter CMake finds on a plain Debian machine.
    dask) for pkg in python3-numpy python3-pandas python3-dask python3-distributed; do
            dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || need+=("$pkg")
          done ;;
    # The Debian package's dependencies are read from its binaries (tests/install/deb.sh).
    deb) command -v dpkg-shlibdeps >/dev/null || need+=(dpkg-dev) ;;
    # Node, npm, and Node's headers for the addon (bindings/node builds against them).
    node) command -v node >/dev/null || need+=(nodejs)
          command -v npm >/dev/null || need+=(npm)
          node_bin=$(command -v node || true)
          node_prefix=$([ -n "$node_bin" ] && dirname "$(dirname "$(readlink -f "$node_bin")")" || echo /usr)
          [ -f /usr/include/node/node_api.h ] || [ -f "$node_prefix/include/node/node_api.h" ] ||
            need+=(libnode-dev) ;;
    # pip install ./bindings/python into a virtual environment, and pip wheel.
    python) for pkg in python3-venv python3-pip python3-setuptools python3-wheel; do
              dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || need+=("$pkg")
            done ;;
    # bindings/python/bench.py's peers: geopandas (sjoin) besides pandas and Dask.
    geopandas) dpkg-query -W -f='${Status}' python3-geopandas 2>/dev/null | grep -q "ok installed" ||
                 need+=(python3-geopandas) ;;
    mutate) command -v ninja >/dev/null || need+=(ninja-build)
            command -v ccache >/dev/null || need+=(ccache) ;;
    peers) [ -f /usr/include/geos_c.h ] || need+=(libgeos-dev)
           [ -d /usr/include/boost/geometry ] || need+=(libboost-dev)
           [ -f /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev) ;;
  esac
done
if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}" >&2
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq "${need[@]}" >/dev/null
fi
