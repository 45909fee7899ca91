#!/usr/bin/env bash
# The main job: builds the product and runs the Telvarix service TELVARIX.EXE in the console, under
# Wine, on the simulated PBX (extensions 201, 202, 203, 205). Clients connect with nc 127.0.0.1 25001.
# Extra arguments go to TELVARIX.EXE --console (for example --port 4711). Ctrl+C stops it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TVX_BUILD_DIR:-$root/build}
bash "$root/scripts/install-deps.sh"
# Only what this job runs: the service with its libraries, and the simulated tapi32.dll.
echo "Building the service and the simulator (log: $build.log)..."
bash "$root/scripts/build.sh" telvarix tapi32 >"$build.log" 2>&1 || { tail -40 "$build.log"; exit 1; }
echo "Preparing the Wine prefix..."
"$root/scripts/wine-run.sh" up "$build"
trap '"$root/scripts/wine-run.sh" down "$build"' EXIT

port=25001
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
    if [ "${args[i]}" = "--port" ] && [ $((i + 1)) -lt ${#args[@]} ]; then port=${args[i + 1]}; fi
done
cat <<TEXT

Telvarix runs in this console (console mode, no service registration needed). In a second terminal:

    nc 127.0.0.1 $port
    {Cmd:MonitorStart}{Ext:201}
    {Cmd:MonitorStart}{Ext:202}
    {Cmd:MakeCall}{InvokeId:1}{Ext:201}{Dest:202}
    {Cmd:AnswerCall}{InvokeId:2}{Ext:202}
    {Cmd:ClearConnection}{InvokeId:3}{Ext:201}

Type help for every command; the protocol is described in docs/zarn-protocol.md.
TEXT
# The simulated PBX: a short scripted call rings 201 a few seconds after start-up, and a second
# terminal can ring the phones through the simulator's control port.
export TVX_SIM_DEMO=${TVX_SIM_DEMO:-1}
export TVX_SIM_CONTROL_PORT=${TVX_SIM_CONTROL_PORT:-25099}
# Like real phones, the simulated ones are put down a few seconds after the far end hung up.
export TVX_SIM_ONHOOK_AFTER_MS=${TVX_SIM_ONHOOK_AFTER_MS:-4000}
cat <<TEXT
This console shows the events of every line (--show-events). A scripted call from 0301234 rings 201
a few seconds after the start. The simulated phones take orders on port $TVX_SIM_CONTROL_PORT:
nc 127.0.0.1 $TVX_SIM_CONTROL_PORT, then for example  ring 0301234 202,  answer 201,  hangup 202,  help.

TEXT
"$root/scripts/wine-run.sh" run "$build" "$build/bin/TELVARIX.EXE" --console --show-events "$@"
