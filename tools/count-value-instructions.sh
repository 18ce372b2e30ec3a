#!/bin/bash
# Counts the instructions of one Value call on bound variables (tools/count/ValueCalls.cpp) under
# callgrind, for each of its expressions: the instructions inside the counted call, divided by
# the number of calls; with "formula" after CALLS, those of the plain callable qvFormula.
#
# Usage: tools/count-value-instructions.sh SOURCE BUILD [CALLS [formula]]
# (a build directory holds libqvcalc_core.a). Prints one line per expression.
set -euo pipefail
src=$1 build=$2 calls=${3:-20000} mode=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O2 -I"$src" "$here/count/ValueCalls.cpp" "$build/libqvcalc_core.a" -lasmjit -o "$work/calls"
for c in 0 1 2 3; do
  valgrind --tool=callgrind --callgrind-out-file="$work/out.$c" --toggle-collect='*Counted*Call*' \
    "$work/calls" "$c" "$calls" $mode > /dev/null 2> "$work/log.$c"
  total=$(grep -m1 '^summary:' "$work/out.$c" | awk '{print $2}')
  echo "case $c: $((total / calls)) instructions a call"
done
