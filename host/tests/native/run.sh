#!/usr/bin/env bash
# Builds the service's logic and its unit tests natively with AddressSanitizer and
# UndefinedBehaviorSanitizer (the repository's native configure) and runs them.
# Usage: host/tests/native/run.sh [BUILD_DIR [gtest arguments...]]
# scripts/native-tests.sh builds and runs the native logic of every subsystem.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=${1:-$root/build-native}
shift $(( $# > 0 ? 1 : 0 ))
CXX=${CXX:-g++} cmake -S "$root" -B "$out" >/dev/null
cmake --build "$out" --target host_native_test -j"$(nproc)" >/dev/null
"$out/host/tests/native/host_native_test" "$@"
