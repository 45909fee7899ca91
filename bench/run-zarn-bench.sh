#!/usr/bin/env bash
# End-to-end benchmark of TELVARIX.EXE under Wine, driven over ZARN by a native client.
#   bench/run-zarn-bench.sh BUILD_DIR [seconds per window] [repeats] [events for the memory check]
# BUILD_DIR (absolute or relative) must hold a build with bin/TELVARIX.EXE; the replay server
# (bin/zarn_replay.exe) is built there if missing, the client (bench/zarn/zarn_client.c) with gcc.
# Each figure is measured `repeats` times (3) and printed as min/median/max. Where the machine has
# two CPUs, wineserver and the service run on CPU 0 and the client on CPU 1.
# bench/README.md says what each figure measures and what its baseline is.
set -u
build=${1:?usage: run-zarn-bench.sh BUILD_DIR [seconds] [repeats] [events]}
build=$(cd "$build" 2>/dev/null && pwd) || { echo "run-zarn-bench.sh: no build directory $1" >&2; exit 1; }
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
secs=${2:-5}
reps=${3:-3}
rss_events=${4:-200000}
# Rings per fan-out figure: one ring is 247 sends, and its time varies by a fifth from run to run.
rings=20
wr="$root/scripts/wine-run.sh"
exe="$build/bin/TELVARIX.EXE"
[ -f "$exe" ] || { echo "run-zarn-bench.sh: $exe not found; build first (scripts/build.sh)" >&2; exit 1; }

work="$build/zarn-bench"
rm -rf "$work" && mkdir -p "$work"
client="$work/zarn_client"
gcc -O2 -Wall -o "$client" "$here/zarn/zarn_client.c" "$here/zarn/ReplayRecord.c" || exit 1
# TVX_ZARN_REPLAY names a replay server built elsewhere: for a build of an older tree, whose own
# replay server is missing or cannot replay step by step.
replay=${TVX_ZARN_REPLAY:-$build/bin/zarn_replay.exe}
if [ ! -f "$replay" ]; then
    cmake --build "$build" --target zarn_replay >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
fi

svc=()
cli=()
if [ "$(nproc)" -ge 2 ] && command -v taskset >/dev/null; then
    svc=(taskset -c 0)
    cli=(taskset -c 1)
    pinning="wineserver and service on CPU 0, client on CPU 1"
else
    pinning="not pinned (one CPU or no taskset)"
fi

winpath() { echo "Z:$(readlink -f "$1" | tr / '\\')"; }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
now() { date +%s.%N; }

results="$work/results"
: >"$results"
note() { echo "$1 $2" >>"$results"; }  # figure value

# stop_pid PID: ends a program started under Wine (Ctrl+C, then for good after 15 s).
stop_pid() {
    [ -n "$1" ] || return 0
    kill -INT "$1" 2>/dev/null
    local i
    for i in $(seq 1 150); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$1" 2>/dev/null
    wait "$1" 2>/dev/null
}
svc_pid=""      # the server started last
four_pid=""     # the services kept running beside the replay server
sixteen_pid=""
stop_service() {
    stop_pid "$svc_pid"
    svc_pid=""
}
cleanup() {
    stop_service
    stop_pid "$four_pid"
    stop_pid "$sixteen_pid"
    "$wr" down "$build" >/dev/null 2>&1
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A fresh wineserver started pinned: the service's wine process and the server share CPU 0.
"$wr" down "$build" >/dev/null 2>&1
"${svc[@]}" "$wr" up "$build" || exit 1

# answered T0 MODE PORT: waits until a new connection to PORT got its greeting and an answer to
# Help (client MODE welcome or rwelcome) and sets started to the seconds from T0 to the answer.
# Fails at once when the program started as svc_pid has ended, else after 120 s.
answered() {
    local t0=$1 mode=$2 port=$3 out="$work/answered.txt" waiter
    "${cli[@]}" "$client" "$mode" "$port" 120 >"$out" &
    waiter=$!
    while kill -0 "$waiter" 2>/dev/null; do
        kill -0 "$svc_pid" 2>/dev/null || { kill "$waiter" 2>/dev/null; break; }
        sleep 0.05
    done
    wait "$waiter" || return 1
    started=$(awk -v t0="$t0" '/^answered_at / {printf "%.3f", $2 - t0}' "$out")
    [ -n "$started" ]
}

# start_service NAME PBX_FILE|- [TELVARIX.EXE options]: sets port, svc_pid and started (seconds
# from launch until a client got its welcome and an answer to Help).
start_service() {
    local name=$1 pbx=$2
    shift 2
    local dir="$work/$name"
    mkdir -p "$dir"
    port=$(free_port)
    printf '[General]\r\nPort=%s\r\nKeepAlive=0\r\nMaxClientsPerAddress=248\r\n' "$port" >"$dir/TELVARIX.INI"
    local pbxenv=()
    [ "$pbx" != - ] && pbxenv=(TVX_PBX="$(winpath "$pbx")")
    local t0; t0=$(now)
    env "${pbxenv[@]}" "${svc[@]}" "$wr" run "$build" "$exe" --console --ini "$(winpath "$dir/TELVARIX.INI")" \
        --seconds 900 "$@" >"$dir/console.txt" 2>&1 </dev/null &
    svc_pid=$!
    if ! answered "$t0" welcome "$port"; then
        echo "run-zarn-bench.sh: the service ($name) did not start:" >&2
        tail -20 "$dir/console.txt" >&2
        exit 1
    fi
}

# own_startup NAME: seconds from the service's log line "Telvarix starting" to its first accepted
# client, from the console output of the service started as NAME (read once it has ended).
own_startup() {
    python3 - "$work/$1/console.txt" <<'PY'
import re, sys
stamp = re.compile(r"^\d{4}-\d\d-\d\d (\d\d):(\d\d):(\d\d\.\d+) (.*)")
start = None
for line in open(sys.argv[1], errors="replace"):
    m = stamp.match(line)
    if not m:
        continue
    t = int(m.group(1)) * 3600 + int(m.group(2)) * 60 + float(m.group(3))
    if m.group(4).startswith("Telvarix starting"):
        start = t
    elif start is not None and re.match(r"client \S+ connected", m.group(4)):
        print("%.3f" % ((t - start) % 86400))
        break
PY
}
note_own_startup() {
    local value; value=$(own_startup "$2")
    [ -n "$value" ] && note "$1" "$value"
}

# start_replay: the replay server under the same Wine session, started and timed as the service
# is by start_service; sets rport, svc_pid and started.
start_replay() {
    rport=$(free_port)
    local t0; t0=$(now)
    "${svc[@]}" "$wr" run "$build" "$replay" "$rport" "$(winpath "$work/cycle.rec")" \
        "$(winpath "$work/fan.rec")" "$(winpath "$work/fan-driver.rec")" 900 >"$work/replay.txt" 2>&1 </dev/null &
    svc_pid=$!
    if ! answered "$t0" rwelcome "$rport"; then
        echo "run-zarn-bench.sh: the replay server $replay did not answer; one older than" \
            "bench/zarn/ReplayServer.c cannot replay step by step: name a new one in TVX_ZARN_REPLAY" >&2
        cat "$work/replay.txt" >&2
        exit 1
    fi
}

# run_client FIGURE_PREFIX ARGS...: runs the client, notes each "key value" it prints.
run_client() {
    local prefix=$1
    shift
    local out
    # A failed measurement is reported and its figure left out; the others still run.
    out=$("${cli[@]}" "$client" "$@") || { echo "  FAILED: $prefix ($*)"; return 0; }
    while read -r key value; do
        [ -n "$key" ] && note "$prefix.$key" "$value"
    done <<<"$out"
}

rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$svc_pid/status" 2>/dev/null || echo 0; }

# PBX files: 16 lines for eight clients of their own, 8192 lines for the lookup figures.
make_pbx() {
    local file=$1 count=$2 first=$3 i
    {
        echo "# Benchmark PBX, $count lines"
        for ((i = 0; i < count; i++)); do
            printf 'line name="Bench %d" address=%d permanentLineId=0x%08X\n' $((first + i)) $((first + i)) $((0x00020000 + i))
        done
    } >"$file"
}
make_pbx "$work/pbx16.txt" 16 3001
make_pbx "$work/pbx8192.txt" 8192 10000
head_pair=(10000 10001)
end_pair=(18190 18191)
pairs8=()
for i in 0 1 2 3 4 5 6 7; do pairs8+=($((3001 + 2 * i)) $((3002 + 2 * i))); done

echo "Telvarix ZARN benchmark: $build"
echo "$(nproc) CPUs, $pinning; windows of $secs s, each figure $reps times; $(date -u '+%F %T') UTC"
# Other work on the machine shows in every figure: say how busy it was.
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"

# The service's figures and the replay's are taken in turns, repeat by repeat, with the three
# servers running side by side (each idle while another is measured): on a machine with other
# work, a ratio then compares figures of the same minutes. The first repeat against each service
# records what the replay server sends.
echo "[1/4] 4 lines, one client; 16 lines, eight clients and one ring to 247 clients; the replay server"
start_service four -
note startup_4_lines_s "$started"
four_port=$port four_pid=$svc_pid svc_pid=""
run_client one "cycles" "$four_port" "$secs" "$work/cycle.rec" 201 202
start_service sixteen "$work/pbx16.txt"
sixteen_port=$port sixteen_pid=$svc_pid svc_pid=""
run_client fan "fan" "$sixteen_port" "$rings" 247 "$work/fan.rec" "$work/fan-driver.rec" 3001 3002

replaying=1
for f in cycle.rec fan.rec fan-driver.rec; do
    [ -s "$work/$f" ] || { replaying=0; echo "  no $f was recorded (a measurement above FAILED): no replay figures"; }
done
[ "$replaying" = 1 ] && start_replay
# replay PREFIX MODE ARGS...: a replay figure, when there is a replay server.
replay() {
    [ "$replaying" = 1 ] || return 0
    local prefix=$1 mode=$2
    shift 2
    run_client "$prefix" "$mode" "$rport" "$@"
}
for r in $(seq 1 "$reps"); do
    [ "$r" = 1 ] || run_client one "cycles" "$four_port" "$secs" - 201 202
    replay replay_one_steps "rsteps" "$secs" 1 "$work/cycle.rec"
    replay replay_one "rcycles" "$secs" 1 "$work/cycle.rec"
    run_client eight "cycles" "$sixteen_port" "$secs" - "${pairs8[@]}"
    replay replay_eight_steps "rsteps" "$secs" 8 "$work/cycle.rec"
    replay replay_eight "rcycles" "$secs" 8 "$work/cycle.rec"
    [ "$r" = 1 ] || run_client fan "fan" "$sixteen_port" "$rings" 247 - - 3001 3002
    replay replay_fan_steps "rfansteps" "$rings" 247 "$work/fan.rec" "$work/fan-driver.rec"
    replay replay_fan "rfan" "$rings" 247 "$work/fan.rec"
done
stop_service
stop_pid "$four_pid"
stop_pid "$sixteen_pid"
four_pid="" sixteen_pid=""
note_own_startup startup_4_lines_own_s four

echo "[2/4] 8192 lines: head and end of the list, GetDevices"
start_service big "$work/pbx8192.txt"
note startup_8192_lines_s "$started"
for r in $(seq 1 "$reps"); do
    run_client head "cycles" "$port" "$secs" - "${head_pair[@]}"
    run_client end "cycles" "$port" "$secs" - "${end_pair[@]}"
    run_client big "devices" "$port"
done
stop_service
note_own_startup startup_8192_lines_own_s big

echo "[3/4] 8192 lines with --show-events: start-up, in turns with the replay server's"
for r in $(seq 1 "$reps"); do
    start_service "show$r" "$work/pbx8192.txt" --show-events
    note startup_8192_show_events_s "$started"
    stop_service
    note_own_startup startup_8192_show_events_own_s "show$r"
    [ "$replaying" = 1 ] || continue
    start_replay
    note startup_replay_s "$started"
    stop_service
done

# memory_check PREFIX: one client for the whole run on the service started last; RSS sampled every
# 2 s. A 5 s run first gives the rate and the time needed for the events asked for (at most 300 s).
memory_check() {
    local prefix=$1 rate long client_pid i samples=()
    rate=$("${cli[@]}" "$client" cycles "$port" 5 - 202 203 | awk '/^events_per_s/ {printf "%d", $2}')
    [ "${rate:-0}" -gt 0 ] || { echo "run-zarn-bench.sh: no events in the memory check" >&2; exit 1; }
    # A fifth more than the short run's rate asks for: the long run's rate comes out a little lower.
    long=$((rss_events * 6 / 5 / rate + 1))
    [ "$long" -gt 300 ] && long=300
    "${cli[@]}" "$client" cycles "$port" "$long" - 202 203 >"$work/$prefix-client.txt" &
    client_pid=$!
    for ((i = 0; i < long / 2 + 30; i++)); do
        kill -0 "$client_pid" 2>/dev/null || break
        samples+=("$(rss_kb)")
        sleep 2
    done
    wait "$client_pid" || { echo "run-zarn-bench.sh: client failed in the memory check" >&2; exit 1; }
    rate=$(awk '/^events_per_s/ {printf "%d", $2}' "$work/$prefix-client.txt")
    note "$prefix.events" $((rate * long))
    echo "  RSS samples (KB, every 2 s): ${samples[*]}"
    note "$prefix.end_kb" "$(rss_kb)"
    # The first samples fall in the client's warm-up second and the first cycles; a run too short
    # for later ones has no figures of its flatness.
    [ ${#samples[@]} -gt 2 ] || return 0
    note "$prefix.first_kb" "${samples[2]}"
    note "$prefix.min_kb" "$(printf '%s\n' "${samples[@]:2}" | sort -n | head -1)"
    note "$prefix.max_kb" "$(printf '%s\n' "${samples[@]:2}" | sort -n | tail -1)"
}

echo "[4/4] memory over $rss_events events with the main job's settings (--show-events, demo call, phones put down after 4 s)"
TVX_SIM_DEMO=1 TVX_SIM_CONTROL_PORT=$(free_port) TVX_SIM_ONHOOK_AFTER_MS=4000 start_service main - --show-events
memory_check rss
stop_service
echo "      and the same without putting the phones down (TVX_SIM_ONHOOK_AFTER_MS unset)"
TVX_SIM_DEMO=1 TVX_SIM_CONTROL_PORT=$(free_port) start_service main-nohook - --show-events
memory_check rss_nohook
stop_service

echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
python3 "$here/zarn/report.py" "$results" "$rings"
