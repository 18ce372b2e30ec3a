#!/usr/bin/env bash
# The reliability stages that follow the normal tests (tools/test-all.sh calls this script):
#   1. the whole suite built with AddressSanitizer + UndefinedBehaviorSanitizer (LeakSanitizer on);
#   2. the thread test built with ThreadSanitizer;
#   3. each libFuzzer target for a bounded time, from the checked-in seed corpus;
#   4. the browser playground built for WebAssembly and checked in headless Chromium.
# QV_FUZZ_SECONDS sets the time per fuzz target (default 60). See docs/reliability.md.
set -euo pipefail
cd "$(dirname "$0")/.."

# clang 14 and its sanitizer and fuzzer runtimes (Debian 12 packages), when missing.
if ! command -v clang++-14 >/dev/null || ! dpkg -s libclang-rt-14-dev >/dev/null 2>&1; then
  as_root=""; [ "$(id -u)" -ne 0 ] && as_root="sudo"
  $as_root apt-get update -qq && $as_root apt-get install -y -qq clang-14 libclang-rt-14-dev
fi

jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
fuzz_seconds="${QV_FUZZ_SECONDS:-60}"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"

echo "== ASan + UBSan: the whole suite"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_SANITIZE=ON
cmake --build build-asan -j "$jobs"
# Four tests hand the sanitized libraries to programs built without the sanitizer runtime (the
# consumer project built against an installed tree or an unpacked package, the Python interpreter
# loading the C interface, the README's examples): not run here.
ctest --test-dir build-asan --output-on-failure -j "$jobs" \
  -E '^(install\.consumer|install\.package|capi\.python|readme\.examples)$'

echo "== TSan: engines and controls on many threads"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_TSAN=ON
cmake --build build-tsan -j "$jobs" --target test_threads
# Some kernels randomise the address space more than ThreadSanitizer's memory layout allows;
# setarch -R runs the test without that randomisation.
setarch "$(uname -m)" -R build-tsan/tests/test_threads

echo "== libFuzzer: ${fuzz_seconds} s per target"
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQV_FUZZ=ON -DQV_BUILD_TESTS=OFF
cmake --build build-fuzz -j "$jobs" --target fuzz_expression fuzz_definitions fuzz_control fuzz_csv
mkdir -p build-fuzz/artifacts
for target in expression definitions control csv; do
  # New inputs go to a scratch corpus; the checked-in seeds are only read. The expression
  # language's dictionary serves every target but the CSV reader's.
  scratch="build-fuzz/corpus-$target"
  mkdir -p "$scratch"
  dict="-dict=fuzz/qvcalc.dict"
  [ "$target" = csv ] && dict=""
  build-fuzz/fuzz/fuzz_$target "$scratch" "fuzz/corpus/$target" $dict \
    -max_total_time="$fuzz_seconds" -rss_limit_mb=2560 -timeout=10 -max_len=4096 \
    -artifact_prefix="build-fuzz/artifacts/$target-" -print_final_stats=1
done

echo "== The browser playground: WebAssembly build, headless Chromium"
bash tools/web.sh test
