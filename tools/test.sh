#!/usr/bin/env bash
# The README's test command: installs what the build needs (Debian 12 package names), then builds
# qvCalc twice, with and without the native tier, and runs the whole suite in each. The slower
# stages (AArch64 under qemu, sanitizers, fuzzing) are tools/test-all.sh's.
set -euo pipefail
cd "$(dirname "$0")/.."

# The build and its tests: the compiler and tools, GoogleTest, readline and libcsv for the
# calculator, Python for the calculator's and the C interface's tests, pkg-config for the install
# test, Google Benchmark and muparser for bench/, asmjit for the native tier.
packages="cmake ninja-build g++ libgtest-dev libgmock-dev libreadline-dev libcsv-dev python3 pkg-config libbenchmark-dev libmuparser-dev libasmjit-dev"
# The Python module, its tests (pytest, pandas, a Dask cluster), its installation with pip into a
# virtual environment, and the benchmark script's comparison with numexpr.
packages="$packages python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pandas python3-dask python3-distributed python3-numexpr python3-pytest python3-setuptools python3-wheel python3-venv"
missing=""
for p in $packages; do dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"; done
if [ -n "$missing" ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq $missing
fi

# The whole suite always: a build/ that the quick start configured keeps -DQV_BUILD_TESTS=OFF in
# its cache unless told otherwise.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_BUILD_TESTS=ON
cmake --build build
jobs=$(nproc)
ctest --test-dir build --output-on-failure -j "$jobs"
# Once more without the native tier, as a build without asmjit (or not on x86-64) has it. The pip
# installation is left out: it builds the module from the sources, the same either way.
cmake -S . -B build-no-native -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_NATIVE=OFF -DQV_BUILD_TESTS=ON
cmake --build build-no-native
ctest --test-dir build-no-native --output-on-failure -j "$jobs" -E '^python[.]pip_install$'
