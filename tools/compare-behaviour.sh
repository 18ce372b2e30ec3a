#!/bin/bash
# Compares what two builds of the engine do with the same random expressions (values, kinds,
# failures and their positions, on every tier and through the plain callable), as
# tools/compare/Behaviour.cpp prints them.
#
# Usage: tools/compare-behaviour.sh OLD_SOURCE OLD_BUILD NEW_SOURCE NEW_BUILD [SEED] [COUNT]
# (a build directory holds libqvcalc_core.a). Prints the number of expressions and of lines that
# differ, and exits non-zero when any does.
set -euo pipefail
old_src=$1 old_build=$2 new_src=$3 new_build=$4 seed=${5:-1} count=${6:-100000}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build() {  # source, build directory, output
  g++ -std=c++20 -O1 -DQV_HAVE_NATIVE=1 -I"$1" "$here/compare/Behaviour.cpp" "$2/libqvcalc_core.a" -lasmjit -o "$3"
}
build "$old_src" "$old_build" "$work/old" &
build "$new_src" "$new_build" "$work/new"
wait
"$work/old" "$seed" "$count" > "$work/old.txt"
"$work/new" "$seed" "$count" > "$work/new.txt"
differ=$(diff "$work/old.txt" "$work/new.txt" | grep -c '^>' || true)
echo "$(wc -l < "$work/new.txt") expressions, $differ differ"
diff "$work/old.txt" "$work/new.txt" | head -20
[ "$differ" -eq 0 ]
