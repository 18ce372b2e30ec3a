#!/usr/bin/env bash
# The native tier's AArch64 emitter, tested where it runs: the engine and its test suite
# cross-compiled for AArch64 (cmake/aarch64-linux-gnu.cmake) and run under qemu-aarch64 in user
# mode. The test programs are linked statically: under this qemu, threads of a dynamically linked
# program never start. tools/test-all.sh calls this script.
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
packages="g++-aarch64-linux-gnu qemu-user libasmjit-dev:arm64 libgtest-dev:arm64 libgmock-dev:arm64 libreadline-dev:arm64 libcsv-dev:arm64"
missing=""
for p in $packages; do dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"; done
if [ -n "$missing" ]; then
  # The cross toolchain and the arm64 libraries come from Debian's own archive; a machine whose
  # package sources cannot serve them skips this stage and says so.
  if ! { dpkg --print-foreign-architectures | grep -qx arm64 || $SUDO dpkg --add-architecture arm64; } ||
     ! $SUDO apt-get update -qq || ! $SUDO apt-get install -y -qq $missing; then
    echo "== AArch64: SKIPPED, could not install:$missing" >&2
    exit 0
  fi
fi

echo "== AArch64: the engine's tests under qemu-aarch64"
cmake -S . -B build-aarch64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_PYTHON=OFF -DCMAKE_EXE_LINKER_FLAGS=-static
cmake --build build-aarch64 --target tests/all
ctest --test-dir build-aarch64/tests --output-on-failure -j "$(nproc)"
