#!/usr/bin/env bash
# Builds the pure logic of every subsystem natively with AddressSanitizer and UndefinedBehavior-
# Sanitizer and runs its unit tests: first with g++ into BUILD_DIR (default ./build-native), then
# with clang++ into BUILD_DIR-clang. Installs what it needs (Debian packages) when missing.
# Usage: scripts/native-tests.sh [BUILD_DIR]
# Environment: TVX_NATIVE_COMPILERS="g++" (or "clang++", or "g++ clang++", the default).
#              scripts/native-tests.sh --install-only installs the packages and stops.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(cmake make g++ clang libgtest-dev)
missing=()
for p in "${packages[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
[ "${1:-}" = "--install-only" ] && exit 0

build=${1:-$root/build-native}
if command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
fi

results=()
failed=0
for cxx in ${TVX_NATIVE_COMPILERS:-g++ clang++}; do
    case $cxx in
        clang++) cc=clang dir=$build-clang ;;
        *) cc=gcc dir=$build ;;
    esac
    echo "== $cxx: configuring and building $dir"
    if ! CC=$cc CXX=$cxx cmake -S "$root" -B "$dir" >"$dir.configure.log" 2>&1; then
        cat "$dir.configure.log"
        results+=("$cxx: configure FAILED")
        failed=1
        continue
    fi
    if ! cmake --build "$dir" -j"$(nproc)" >"$dir.log" 2>&1; then
        grep -E 'error|Error' "$dir.log" | head -40
        results+=("$cxx: build FAILED (see $dir.log)")
        failed=1
        continue
    fi
    log=$dir/ctest.log
    if ctest --test-dir "$dir" -j"$(nproc)" --output-on-failure >"$log" 2>&1; then
        results+=("$cxx: $(grep -E 'tests passed' "$log")")
    else
        grep -E -A30 'FAILED|Failed|\*\*\*' "$log" | head -80
        results+=("$cxx: $(grep -E 'tests passed|tests failed' "$log" || echo 'ctest FAILED')")
        failed=1
    fi
done

echo "== Native logic with AddressSanitizer and UndefinedBehaviorSanitizer:"
printf '   %s\n' "${results[@]}"
exit $failed
