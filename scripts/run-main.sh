#!/usr/bin/env bash
# The main job: builds the product and runs the Telvarix host on the simulated PBX under Wine.
# Extra arguments go to TELVARIX.EXE (for example --seconds 30 --debug-level 5).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TVX_BUILD_DIR:-$root/build}
bash "$root/scripts/install-deps.sh"
echo "Building..."
bash "$root/scripts/build.sh" >"$build.log" 2>&1 || { tail -40 "$build.log"; exit 1; }
trap '"$root/scripts/wine-run.sh" down "$build"' EXIT
"$root/scripts/wine-run.sh" run "$build" "$build/bin/TELVARIX.EXE" "$@"
