#!/usr/bin/env bash
# Runs the event-translation benchmark of a build under Wine: run-linvoq-bench.sh [build dir] [lines] [rounds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
"$root/scripts/wine-run.sh" run "$build" "$build/bin/linvoq_event_bench.exe" "$@"
