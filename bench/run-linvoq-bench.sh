#!/usr/bin/env bash
# Runs the event-translation benchmark of a build under Wine, `repeats` times, and prints each run
# and min/median/max of its figures:
#   bench/run-linvoq-bench.sh BUILD_DIR [lines] [rounds] [repeats]
# BUILD_DIR may be absolute or relative. Where two CPUs exist, wineserver and the program share CPU 0.
set -u
build=${1:?usage: run-linvoq-bench.sh BUILD_DIR [lines] [rounds] [repeats]}
build=$(cd "$build" 2>/dev/null && pwd) || { echo "run-linvoq-bench.sh: no build directory $1" >&2; exit 1; }
root=$(cd "$(dirname "$0")/.." && pwd)
lines=${2:-50}
rounds=${3:-20}
repeats=${4:-3}
exe="$build/bin/linvoq_event_bench.exe"
[ -f "$exe" ] || { echo "run-linvoq-bench.sh: $exe not found; build the linvoq_event_bench target first" >&2; exit 1; }

pin=()
if [ "$(nproc)" -ge 2 ] && command -v taskset >/dev/null; then pin=(taskset -c 0); fi
out=$(mktemp)
log=$(mktemp)
trap 'rm -f "$out" "$log"; "$root/scripts/wine-run.sh" down "$build" >/dev/null 2>&1' EXIT
"$root/scripts/wine-run.sh" down "$build" >/dev/null 2>&1
"${pin[@]}" "$root/scripts/wine-run.sh" up "$build" || exit 1

for r in $(seq 1 "$repeats"); do
    # Into a file first: Wine's helper processes may keep a pipe open long after the program ends.
    if ! timeout 600 "${pin[@]}" "$root/scripts/wine-run.sh" run "$build" "$exe" "$lines" "$rounds" >"$out" 2>&1 </dev/null; then
        cat "$out" >&2
        echo "run-linvoq-bench.sh: run $r failed" >&2
        exit 1
    fi
    sed "s/^/run $r: /" "$out" | tee -a "$log"
done
python3 - "$log" <<'PY'
import re, statistics, sys
figs = {}
for line in open(sys.argv[1]):
    m = re.search(r"library: .*= ([\d.]+) events/s", line)
    if m: figs.setdefault("library events/s", []).append(float(m.group(1)))
    m = re.search(r"baseline: .*= ([\d.]+) messages/s", line)
    if m: figs.setdefault("baseline messages/s", []).append(float(m.group(1)))
    m = re.search(r"ratio .*: ([\d.]+)", line)
    if m: figs.setdefault("ratio", []).append(float(m.group(1)))
print("%-22s %s" % ("figure", "min/median/max"))
for name in ("library events/s", "baseline messages/s", "ratio"):
    v = figs.get(name)
    if not v:
        print("%-22s missing" % name); continue
    f = "%.1f" if name == "ratio" else "%.0f"
    print("%-22s %s" % (name, "/".join(f % x for x in (min(v), statistics.median(v), max(v)))))
PY
