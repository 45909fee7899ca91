#!/usr/bin/env bash
# Checks the benchmark's replay server under Wine against its native client, with small records:
# each mode of the client gets what the records say, and a server and client that disagree on the
# steps or their lines make the client fail instead of measuring something else.
#   bench/zarn/replay_check.sh BUILD_DIR [REPLAY_EXE]
set -u
build=$(cd "${1:?usage: replay_check.sh BUILD_DIR [REPLAY_EXE]}" && pwd) || exit 1
here=$(cd "$(dirname "$0")" && pwd)
wr="$here/../../scripts/wine-run.sh"
replay=${2:-$build/bin/zarn_replay.exe}
[ -f "$replay" ] || { echo "replay_check.sh: $replay not found" >&2; exit 1; }
work=$(mktemp -d)
pids=()
cleanup() {
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
client="$work/zarn_client"
gcc -O2 -Wall -o "$client" "$here/zarn_client.c" "$here/ReplayRecord.c" || exit 1

# record FILE LINES_OF_STEP1 ... : four steps, as the client sends them, of numbered event lines.
record() {
    local file=$1 cmds=(MakeCall AnswerCall ClearConnection ClearConnection) i n
    shift
    : >"$file"
    for i in 0 1 2 3; do
        printf '{Replay:Step}{Cmd:%s}\r\n' "${cmds[$i]}" >>"$file"
        for ((n = 0; n < ${1:-0}; n++)); do printf '{Event:Step%d}{Ext:%d}\r\n' "$i" "$n" >>"$file"; done
        shift
    done
}
record "$work/cycle.rec" 3 2 4 5
record "$work/fan.rec" 2 0 1 3
record "$work/fan-driver.rec" 4 3 2 2
record "$work/short.rec" 3 1 4 5
record "$work/short-fan.rec" 1 0 1 3
# A cycle record whose first step was begun by another command.
sed '1s/MakeCall/AnswerCall/' "$work/cycle.rec" >"$work/misordered.rec"

winpath() { echo "Z:$(readlink -f "$1" | tr / '\\')"; }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# start CYCLE_FILE: a replay server on a new port (in $port).
start() {
    port=$(free_port)
    "$wr" run "$build" "$replay" "$port" "$(winpath "$1")" "$(winpath "$work/fan.rec")" \
        "$(winpath "$work/fan-driver.rec")" 120 >"$work/replay-$port.txt" 2>&1 </dev/null &
    pids+=($!)
    "$client" rwelcome "$port" 60 >/dev/null || { echo "FAIL: the replay server did not answer Help"; exit 1; }
}

failed=0
expect() { # expect ok|fails NAME ARGS...
    local want=$1 name=$2 out rc
    shift 2
    out=$("$client" "$@" 2>&1)
    rc=$?
    if [ "$want" = ok ] && [ $rc = 0 ]; then
        echo "ok: $name"
    elif [ "$want" = fails ] && [ $rc != 0 ]; then
        echo "ok: $name ($(tail -1 <<<"$out"))"
    else
        echo "FAIL: $name (exit $rc): $out"
        failed=1
    fi
    last=$out
}

start "$work/cycle.rec"
expect ok "step by step, two clients" rsteps "$port" 1 2 "$work/cycle.rec"
cycles=$(awk '/^cycles /{print $2}' <<<"$last")
[ "${cycles:-0}" -gt 0 ] || { echo "FAIL: no cycle replayed step by step"; failed=1; }
expect ok "whole cycles, two clients" rcycles "$port" 1 2 "$work/cycle.rec"
expect ok "ring step by step to five clients (a step with nothing for the watchers)" \
    rfansteps "$port" 3 5 "$work/fan.rec" "$work/fan-driver.rec"
grep -q '^ring_p50_ms ' <<<"$last" || { echo "FAIL: no ring figure"; failed=1; }
expect ok "whole ring to five clients" rfan "$port" 3 5 "$work/fan.rec"
# The client counts fewer lines in step 2 than the server sends.
expect fails "more lines than the client's record says" rsteps "$port" 1 1 "$work/short.rec"
expect fails "watchers get more lines than the client's record says" \
    rfansteps "$port" 3 5 "$work/short-fan.rec" "$work/fan-driver.rec"
start "$work/misordered.rec"
expect fails "a step command out of order is refused" rsteps "$port" 1 1 "$work/cycle.rec"
grep -q "refused" <<<"$last" || { echo "FAIL: the refusal was not the server's: $last"; failed=1; }
exit $failed
