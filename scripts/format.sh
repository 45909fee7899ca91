#!/usr/bin/env bash
# Formats the C and C++ files of the tree (product, tests, simulator, benchmarks) with the
# committed .clang-format.
#   scripts/format.sh            formats the files in place
#   scripts/format.sh --check    changes nothing; lists the files that differ (exit 1 if any)
#   scripts/format.sh [--check] FILE...   only the named files
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

check=0
if [ "${1:-}" = "--check" ]; then
    check=1
    shift
fi

clang_format=${CLANG_FORMAT:-clang-format}
command -v "$clang_format" >/dev/null || { echo "format.sh: $clang_format not found" >&2; exit 2; }

if [ $# -gt 0 ]; then
    files=("$@")
else
    # Tracked files only: build trees and scratch files are never touched.
    mapfile -t files < <(git ls-files -- linvoq vessnet toolfunc host applet TVXREMOVE sim bench lang help setup fuzz |
                         grep -E '\.(c|cc|cpp|h|hpp)$')
fi

differ=0
for f in "${files[@]}"; do
    if [ "$check" = 1 ]; then
        if ! "$clang_format" --style=file "$f" | cmp -s - "$f"; then
            echo "$f"
            differ=1
        fi
    else
        "$clang_format" --style=file -i "$f"
    fi
done
exit "$differ"
