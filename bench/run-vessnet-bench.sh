#!/usr/bin/env bash
# Runs the VESSNET benchmark of an existing build under Wine and prints its figures.
# Builds nothing. Usage: bench/run-vessnet-bench.sh BUILD_DIR [clients] [lines per client] [rounds]
set -u
build=${1:?usage: run-vessnet-bench.sh BUILD_DIR [clients] [lines] [rounds]}
shift
here=$(cd "$(dirname "$0")" && pwd)
exe="$build/bin/vessnet_bench.exe"
if [ ! -f "$exe" ]; then
    echo "run-vessnet-bench.sh: $exe not found; build the vessnet_bench target first" >&2
    exit 1
fi
# Into a file first: Wine's helper processes may keep a pipe open long after the program ends.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
rc=0
timeout 900 "$here/../scripts/wine-run.sh" run "$build" "$exe" "$@" >"$out" 2>&1 </dev/null || rc=$?
cat "$out"
exit "$rc"
