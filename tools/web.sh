#!/usr/bin/env bash
# The browser playground (web/): the engine in WebAssembly and its page.
#   bash tools/web.sh build         installs emscripten if missing, builds the page into build-web/
#   bash tools/web.sh serve [PORT]  serves build-web/ on http://127.0.0.1:PORT/ (8080 by default)
#   bash tools/web.sh test          builds, then checks the page in headless Chromium
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build-web"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

need_packages() {
  local missing=""
  for p in "$@"; do dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"; done
  if [ -n "$missing" ]; then
    $SUDO apt-get update -qq
    # shellcheck disable=SC2086
    $SUDO apt-get install -y -qq $missing
  fi
}

build() {
  need_packages emscripten cmake ninja-build
  # emscripten's JavaScript optimiser needs Debian's acorn, which a node from elsewhere does
  # not look for by itself.
  export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
  # No native tier in the browser: the all-double program and the general loop.
  emcmake cmake -S "$root" -B "$out/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQV_NATIVE=OFF -DQV_BUILD_TESTS=OFF >/dev/null
  cmake --build "$out/cmake" --target qvweb
  cp "$out/cmake/web/qvengine.js" "$out/cmake/web/qvengine.wasm" "$out/"
  cp "$root"/web/page/* "$out/"
  echo "built $out/index.html"
}

serve() {
  local port="${1:-8080}"
  [ -f "$out/index.html" ] || build
  echo "open http://127.0.0.1:$port/"
  cd "$out" && exec python3 -m http.server --bind 127.0.0.1 "$port"
}

run_tests() {
  build
  need_packages chromium
  command -v npm >/dev/null || need_packages nodejs npm
  # The calculator the page's values are compared with.
  if [ ! -x "$root/build/cli/qvcalc" ]; then
    cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$root/build" --target qvcalc_cli
  fi
  (cd "$root/web/test" && npm install --no-audit --no-fund --loglevel=error)
  node "$root/web/test/playground.test.mjs" "$out" "$root/build/cli/qvcalc"
}

case "${1:-}" in
  build) build ;;
  serve) serve "${2:-8080}" ;;
  test) run_tests ;;
  *) echo "usage: bash tools/web.sh build | serve [PORT] | test" >&2; exit 2 ;;
esac
