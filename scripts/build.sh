#!/usr/bin/env bash
# Configures and builds everything into build/ (or $TVX_BUILD_DIR) with the MinGW-w64 cross compiler,
# for the Windows architecture this machine's Wine runs (scripts/wine-arch.sh). Arguments name the
# targets to build (default: all).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TVX_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$(bash "$root/scripts/wine-arch.sh").cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" ${1:+--target "$@"}
