#!/usr/bin/env bash
# Builds the fuzzers of fuzz/ (clang, libFuzzer, ASan, UBSan) and runs each for SECONDS.
# Usage: scripts/fuzz.sh SECONDS [TARGET...]     e.g. scripts/fuzz.sh 600 dialable zarn_fields
# Environment: TVX_FUZZ_BUILD (build folder, default ./build-fuzz), TVX_FUZZ_PARALLEL (fuzzers run
# side by side, default 1). Each fuzzer grows its working corpus in BUILD/corpus/TARGET from the
# seeds in fuzz/corpus/TARGET; crash files land in BUILD/findings/TARGET. Exit 1 when any crashed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}
shift
build=${TVX_FUZZ_BUILD:-$root/build-fuzz}
parallel=${TVX_FUZZ_PARALLEL:-1}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for seeds in "$root"/fuzz/corpus/*/; do targets+=("$(basename "$seeds")"); done
fi

command -v clang++ >/dev/null || bash "$root/scripts/native-tests.sh" --install-only
if command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DTVX_FUZZ=ON >"$build.configure.log" 2>&1 ||
    { cat "$build.configure.log"; exit 1; }
cmake --build "$build" --target fuzzers -j"$(nproc)" >"$build.log" 2>&1 || { tail -40 "$build.log"; exit 1; }

run_one() {
    local name=$1 work="$build/corpus/$1" findings="$build/findings/$1"
    rm -rf "$findings"
    mkdir -p "$work" "$findings"
    (cd "$findings" && nice -n 10 "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
        -timeout=10 -rss_limit_mb=1024 "$work" "$root/fuzz/corpus/$name" >"$build/findings/$name.log" 2>&1) || true
}

summary() {
    local name=$1 log="$build/findings/$1.log" runs rate cov ft crashes
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    crashes=$(find "$build/findings/$name" -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' | wc -l)
    printf '%-16s runs %-11s exec/s %-7s cov %-5s ft %-6s crashes %s\n' "$name" "${runs:-?}" "${rate:-?}" \
        "${cov:-?}" "${ft:-?}" "$crashes"
    [ "$crashes" -eq 0 ] && [ -n "$runs" ]
}

echo "Fuzzing ${#targets[@]} targets for $seconds s each ($parallel at a time)..."
pending=("${targets[@]}")
while [ ${#pending[@]} -gt 0 ]; do
    batch=("${pending[@]:0:$parallel}")
    pending=("${pending[@]:$parallel}")
    for name in "${batch[@]}"; do run_one "$name" & done
    wait
done

failed=0
for name in "${targets[@]}"; do
    summary "$name" || { failed=1; grep -m3 -E 'property failed|ERROR' "$build/findings/$name.log" || true; }
done
[ $failed -eq 0 ] && echo "fuzz: all ${#targets[@]} targets ran without a crash" ||
    echo "fuzz: CRASHES above; inputs in $build/findings/" >&2
exit $failed
