#!/usr/bin/env bash
# Builds the service's logic and its unit tests natively with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs them. Usage: host/tests/native/run.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
host=$(cd "$here/../.." && pwd)
out=${1:-$host/../build-native}
shift $(( $# > 0 ? 1 : 0 ))
mkdir -p "$out"
sources=(ZarnFields ZarnCommands TapiErrors EventLines MonitorRegistry PendingCommands CallFilter AccessRules
         LoginThrottle SettingsValues ZarnService ZarnSessions ZarnCommandRun ZarnLines ProtocolLog MediaNames
         EventJournal StreamFormat StreamSessions ZarnStream)
files=()
for s in "${sources[@]}"; do files+=("$host/$s.cpp"); done
${CXX:-g++} -std=c++17 -g -O1 -Wall -Wextra -fsanitize=address,undefined -fno-sanitize-recover=all \
    -I"$here" -I"$host" -DTVX_DOCS_DIR="\"$host/../docs\"" "${files[@]}" \
    "$host/tests/ZarnTextTest.cpp" "$host/tests/SessionRulesTest.cpp" "$host/tests/ServiceTest.cpp" "$host/tests/MediaNamesTest.cpp" \
    "$host/tests/StreamTest.cpp" \
    -lgtest -lgtest_main -pthread -o "$out/host_native_test"
"$out/host_native_test" "$@"
