#!/usr/bin/env bash
# Builds everything and runs every test under Wine, one at a time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TVX_BUILD_DIR:-$root/build}
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
trap '"$root/scripts/wine-run.sh" down "$build"' EXIT
ctest --test-dir "$build" --output-on-failure --timeout 300
