#!/usr/bin/env bash
# Runs the VESSNET benchmark of an existing build under Wine and prints its figures.
#   bench/run-vessnet-bench.sh BUILD_DIR [clients] [lines per client] [rounds]
#   bench/run-vessnet-bench.sh BUILD_DIR --baseline REV [clients] [lines per client] [rounds]
# The first form builds nothing. The second builds the benchmark once more against the
# vessnet/ folder of git revision REV (into BUILD_DIR/bin/vessnet-baseline/) and then runs
# before and after in turns, one round each, so that both meet the same load on a shared
# machine; it prints min/median/max of each figure and the after/before ratio of the medians.
set -u
build=${1:?usage: run-vessnet-bench.sh BUILD_DIR [--baseline REV] [clients] [lines] [rounds]}
shift
build=$(cd "$build" && pwd) || exit 1
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
baseline=""
if [ "${1:-}" = "--baseline" ]; then
    baseline=${2:?--baseline needs a git revision}
    shift 2
fi
clients=${1:-100}
lines=${2:-200}
rounds=${3:-3}

exe="$build/bin/vessnet_bench.exe"
out=$(mktemp)
trap 'rm -f "$out"' EXIT

# Into a file first: Wine's helper processes may keep a pipe open long after the program ends.
run_bench() {
    local rc=0
    timeout 900 "$root/scripts/wine-run.sh" run "$build" "$@" >"$out" 2>&1 </dev/null || rc=$?
    cat "$out"
    return "$rc"
}

if [ -z "$baseline" ]; then
    if [ ! -f "$exe" ]; then
        echo "run-vessnet-bench.sh: $exe not found; build the vessnet_bench target first" >&2
        exit 1
    fi
    run_bench "$exe" "$clients" "$lines" "$rounds"
    exit $?
fi

src="$build/vessnet-baseline-src"
rm -rf "$src" && mkdir -p "$src"
git -C "$root" archive "$baseline" vessnet | tar -x -C "$src" || exit 1
cmake -S "$root" -B "$build" -DTVX_VESSNET_BASELINE_DIR="$src/vessnet" >/dev/null || exit 1
cmake --build "$build" -j2 --target vessnet_bench vessnet_bench_baseline >/dev/null || exit 1

echo "VESSNET before ($baseline) and after (this tree), $clients clients x $lines lines, $rounds rounds in turns"
log=$(mktemp)
trap 'rm -f "$out" "$log"' EXIT
for r in $(seq 1 "$rounds"); do
    for which in before after; do
        if [ "$which" = before ]; then prog="$build/bin/vessnet-baseline/vessnet_bench.exe"; else prog="$exe"; fi
        run_bench "$prog" "$clients" "$lines" 1 >/dev/null || { cat "$out"; exit 1; }
        sed -n "s/^round 1: /$which round $r: /p" "$out" | tee -a "$log"
    done
done
python3 - "$log" <<'PY'
import re, statistics, sys
figures = {}
pattern = re.compile(r"(before|after) round \d+: VESSNET ([\d.]+) lines/s, broadcast ([\d.]+) ms; "
                     r"with a stalled client (?:([\d.]+) lines/s, broadcast ([\d.]+) ms|failed)[^;]*; "
                     r"baseline ([\d.]+) lines/s, broadcast ([\d.]+) ms"
                     r"(?:; with a reading supervisor ([\d.]+) lines/s, broadcast ([\d.]+) ms)?")
names = ["lines/s", "broadcast ms", "stalled: lines/s", "stalled: broadcast ms", "blocking: lines/s",
         "blocking: broadcast ms", "reading sup.: lines/s", "reading sup.: broadcast ms"]
for line in open(sys.argv[1]):
    m = pattern.match(line)
    if m:
        for name, value in zip(names, m.groups()[1:]):
            if value is not None:
                figures.setdefault((m.group(1), name), []).append(float(value))
print("%-24s %28s %28s %7s" % ("figure", "before min/median/max", "after min/median/max", "ratio"))
for name in names:
    b, a = figures.get(("before", name), []), figures.get(("after", name), [])
    def fmt(v):
        if not v:
            return "failed"
        f = "%.0f" if "lines" in name else "%.2f"
        return "/".join(f % x for x in (min(v), statistics.median(v), max(v)))
    ratio = "%7.2f" % (statistics.median(a) / statistics.median(b)) if a and b else "      -"
    print("%-24s %28s %28s %s" % (name, fmt(b), fmt(a), ratio))
# The blocking server is the same code in both programs: dividing by it in the same round
# takes out much of what other load on the machine does to a round.
rel = {}
for which in ("before", "after"):
    v, k = figures.get((which, "lines/s"), []), figures.get((which, "blocking: lines/s"), [])
    rel[which] = [x / y for x, y in zip(v, k) if y > 0]
if rel["before"] and rel["after"]:
    mb, ma = statistics.median(rel["before"]), statistics.median(rel["after"])
    print("%-24s %28s %28s %7.2f" % ("lines/s over blocking", "%.2f (median)" % mb, "%.2f (median)" % ma, ma / mb))
PY
