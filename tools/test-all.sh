#!/usr/bin/env bash
# Everything CI runs: the README's test command (tools/test.sh: the whole suite with and without
# the native tier), then the slower stages: the native tier's AArch64 code cross-compiled and run
# under qemu (tools/test-aarch64.sh), and the sanitizer builds, the thread test under TSan and a
# minute of each fuzz target (tools/reliability.sh). Each stage installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/test.sh
bash tools/test-aarch64.sh
bash tools/reliability.sh
