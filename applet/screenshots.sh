#!/usr/bin/env bash
# Screenshots of the applet for the README: English and German, with the service "Telvarix"
# running and stopped. Opens the real applet under the build's Wine prefix and Xvfb, installs
# TELVARIX.EXE as the service for the time of the run, and saves PNGs (ImageMagick's import).
#   applet/screenshots.sh BUILD_DIR [OUT_DIR]
# TVX_WINE names another Wine launcher (default: wine, with scripts/wine-run.sh's environment);
# TVX_SCREENSHOT_SERVICE another service program to install as "Telvarix" instead of TELVARIX.EXE.
# The applet runs in a Wine virtual desktop, so that Wine draws its frame without a window manager.
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
winbin=$(WINEDEBUG=-all $wine winepath.exe -w "$bin" 2>/dev/null | tr -d "\r")
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
service=${TVX_SCREENSHOT_SERVICE:-}
install_service() {
    if [ -z "$service" ]; then
        install_service
    else
        run sc create Telvarix binPath= "$(WINEDEBUG=-all $wine winepath.exe -w "$service" | tr -d "\r")" >/dev/null
    fi
}
cleanup() {
    run sc stop Telvarix >/dev/null 2>&1 || true
    if [ -z "$service" ]; then
        run "$bin/TELVARIX.EXE" --remove >/dev/null 2>&1 || true
    else
        run sc delete Telvarix >/dev/null 2>&1 || true
    fi
    rm -f "$ini"
}
trap cleanup EXIT

printf '[General]\r\nPort=%s\r\nFilterInbound=2\r\nUseProtocol=1\r\nStartDelay=5\r\n' "$port" >"$ini"
install_service

shoot() {  # language locale, state, file
    local locale=$1 state=$2 file=$3
    if [ "$state" = running ]; then
        run sc start Telvarix >/dev/null 2>&1 || true
        wait_state RUNNING
    else
        run sc stop Telvarix >/dev/null 2>&1 || true
        wait_state STOPPED
    fi
    LC_ALL=$locale LANG=$locale WINEPATH="$winbin" timeout 60 $wine explorer /desktop=TelvarixShot,640x560 \
        rundll32.exe shell32.dll,Control_RunDLL "$winbin\\TELVARIX.CPL" </dev/null >/dev/null 2>&1 &
    local desktop=$!
    sleep 8  # the sheet opens and the monitor sets the controls for the service state
    local shot
    shot=$(mktemp --suffix=.png)
    import -display "$DISPLAY" -window root -crop 640x560+0+0 +repage "$shot"
    # Cut the sheet out of the desktop: everything of the desktop's colour around it goes.
    local background
    background=$(convert "$shot" -format '%[pixel:p{630,550}]' info:)
    convert "$shot" -bordercolor "$background" -border 1 -fuzz 2% -trim +repage "$out/$file"
    rm -f "$shot"
    LC_ALL=$locale timeout 30 $wine explorer /desktop=TelvarixShot "$winbin\\applet_shot.exe" close \
        </dev/null >/dev/null 2>&1 || true
    wait "$desktop" || true
    echo "$out/$file"
}

shoot en_US.UTF-8 running applet-en-running.png
shoot en_US.UTF-8 stopped applet-en-stopped.png
shoot de_DE.UTF-8 running applet-de-running.png
shoot de_DE.UTF-8 stopped applet-de-stopped.png
