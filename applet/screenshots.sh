#!/usr/bin/env bash
# Screenshots of the applet for the README: English and German, with the service "Telvarix"
# running and stopped. Opens the real applet under the build's Wine prefix and Xvfb, installs
# TELVARIX.EXE as the service for the time of the run, and saves PNGs (ImageMagick's import).
#   applet/screenshots.sh BUILD_DIR [OUT_DIR]
# TVX_WINE names another Wine launcher (default: wine, with scripts/wine-run.sh's environment).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?build dir}" && pwd)
out=${2:-$root/docs/images}
mkdir -p "$out"
if [ -z "${TVX_WINE:-}" ]; then
    eval "$("$root/scripts/wine-run.sh" env "$build")"
fi
wine=${TVX_WINE:-wine}
bin="$build/bin"
winbin=$(WINEDEBUG=-all winepath -w "$bin" 2>/dev/null)
ini="$WINEPREFIX/drive_c/windows/TELVARIX.INI"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

run() { timeout 60 $wine "$@" </dev/null; }
service_state() { run sc query Telvarix 2>/dev/null | tr -d '\r' | awk '/STATE/ {print $4}'; }
wait_state() {
    local i
    for i in $(seq 1 100); do
        [ "$(service_state)" = "$1" ] && return 0
        sleep 0.3
    done
    echo "service did not reach $1" >&2
    return 1
}
cleanup() {
    run sc stop Telvarix >/dev/null 2>&1 || true
    run "$bin/TELVARIX.EXE" --remove >/dev/null 2>&1 || true
    rm -f "$ini"
}
trap cleanup EXIT

printf '[General]\r\nPort=%s\r\nFilterInbound=2\r\nUseProtocol=1\r\nStartDelay=5\r\n' "$port" >"$ini"
run "$bin/TELVARIX.EXE" --install >/dev/null

shoot() {  # language locale, state, file
    local locale=$1 state=$2 file=$3
    if [ "$state" = running ]; then
        run sc start Telvarix >/dev/null 2>&1 || true
        wait_state RUNNING
    else
        run sc stop Telvarix >/dev/null 2>&1 || true
        wait_state STOPPED
    fi
    LC_ALL=$locale LANG=$locale WINEPATH="$winbin" timeout 120 $wine rundll32.exe shell32.dll,Control_RunDLL \
        "$winbin\\TELVARIX.CPL" </dev/null >/dev/null 2>&1 &
    local applet=$!
    local rect
    rect=$(run "$bin/applet_shot.exe" rect | tr -d '\r')
    sleep 2  # the monitor sets the controls for the service state
    read -r x y w h <<<"$rect"
    import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$out/$file"
    run "$bin/applet_shot.exe" close
    wait "$applet" || true
    echo "$out/$file"
}

shoot en_US.UTF-8 running applet-en-running.png
shoot en_US.UTF-8 stopped applet-en-stopped.png
shoot de_DE.UTF-8 running applet-de-running.png
shoot de_DE.UTF-8 stopped applet-de-stopped.png
