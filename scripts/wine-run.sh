#!/usr/bin/env bash
# Runs Windows programs of the build under a dedicated 32-bit Wine prefix inside the build tree.
#   wine-run.sh up   BUILD_DIR          create the prefix once, start Xvfb if needed, keep wineserver alive
#   wine-run.sh down BUILD_DIR          end wineserver and the Xvfb this script started
#   wine-run.sh run  BUILD_DIR EXE ARGS run one program (brings the environment up first)
# CMake uses "run" as the cross-compiling emulator, so ctest and test discovery go through it.
set -u
mode=${1:?mode}; build=${2:?build dir}; shift 2
state="$build/wine"
mkdir -p "$state"
state=$(cd "$state" && pwd)  # Wine takes only an absolute WINEPREFIX; the build dir may be relative

# The product is 32-bit: a 32-bit prefix where the kernel can start 32-bit programs, otherwise a
# 64-bit prefix for the 64-bit build of the same sources (see wine-arch.sh).
if [ "$(bash "$(dirname "$0")/wine-arch.sh")" = x86_64 ]; then
    export WINEARCH=win64
    wine=/usr/lib/wine/wine64
    export WINELOADER=$wine
else
    export WINEARCH=win32
    wine=wine
fi
export WINEPREFIX="$state/prefix"
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko downloads (there is no network); our simulated tapi32.dll beside the binaries wins.
export WINEDLLOVERRIDES="mscoree,mshtml=;tapi32=n,b${TVX_DLLOVERRIDES:+;$TVX_DLLOVERRIDES}"

# Sound: ALSA's file plugin is the prefix's only wave device, so tests can observe it. What is
# played lands in $TVX_WAVE_PLAYED (raw samples, rewritten at every open of the device); what is
# recorded is read from $TVX_WAVE_SOURCE. ALSA reads $XDG_CONFIG_HOME/alsa/asoundrc, so the
# setting stays inside the build tree and the user's own configuration and HOME are untouched.
export XDG_CONFIG_HOME="$state/config"
export TVX_WAVE_PLAYED="$state/sound/played.raw"
export TVX_WAVE_SOURCE="$state/sound/record-source.raw"

write_sound_config() {
    mkdir -p "$XDG_CONFIG_HOME/alsa" "$state/sound"
    # Recording needs an input file; noise is as good a voice as any for a test.
    [ -s "$TVX_WAVE_SOURCE" ] || head -c 4000000 /dev/urandom >"$TVX_WAVE_SOURCE"
    local conf="$XDG_CONFIG_HOME/alsa/asoundrc" text
    text=$(printf 'pcm.!default {\n    type file\n    slave.pcm "null"\n    file "%s"\n    infile "%s"\n    format "raw"\n}\n' \
        "$TVX_WAVE_PLAYED" "$TVX_WAVE_SOURCE")
    [ "$(cat "$conf" 2>/dev/null)" = "$text" ] || printf '%s\n' "$text" >"$conf"
}

# Wine would try PulseAudio first; there is none, and ALSA is the device we configured.
select_sound_driver() {
    [ -f "$WINEPREFIX/tvx-sound.ready" ] && return 0
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d alsa /f >>"$state/wineboot.log" 2>&1 9>&-
    wineserver -w 9>&-
    touch "$WINEPREFIX/tvx-sound.ready"
}

# The simulated PBX's provider file in the system folder and in the telephony providers list,
# as a provider's setup leaves it on Windows. Copied again only when the build made a new one.
install_provider() {
    local file="$build/bin/tvxsim.tsp" target="$WINEPREFIX/drive_c/windows/system32/tvxsim.tsp"
    [ -f "$file" ] || return 0
    cmp -s "$file" "$target" && return 0
    cp "$file" "$target"
    local key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Telephony\Providers'
    {
        "$wine" reg add "$key" /v NumProviders /t REG_DWORD /d 1 /f
        "$wine" reg add "$key" /v ProviderFilename0 /t REG_SZ /d tvxsim.tsp /f
        "$wine" reg add "$key" /v ProviderID0 /t REG_DWORD /d 1 /f
    } >>"$state/wineboot.log" 2>&1 9>&-
    # The persistent server starts below only when no server is left from these commands.
    wineserver -w 9>&-
}

# Programs started while the lock is held get `9>&-`: a daemon that inherited the lock would
# block every later call.
create_prefix() {
    [ -f "$state/prefix.ready" ] && return 0
    rm -rf "$WINEPREFIX"
    "$wine" wineboot --init >"$state/wineboot.log" 2>&1 9>&-
    wineserver -w 9>&-
    # A crashing program must fail, not wait for a person at the crash dialog.
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$state/wineboot.log" 2>&1 9>&-
    wineserver -w 9>&-
    # A prefix whose creation failed must not count as ready for every later run.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wine-run.sh: creating the Wine prefix failed, see $state/wineboot.log" >&2
        return 1
    fi
    touch "$state/prefix.ready"
}

start_display() {
    if [ -f "$state/display" ]; then
        local pid; pid=$(cat "$state/xvfb.pid" 2>/dev/null || echo 0)
        if kill -0 "$pid" 2>/dev/null; then return 0; fi
        rm -f "$state/display" "$state/xvfb.pid"
    fi
    [ -n "${DISPLAY:-}" ] && [ -z "${TVX_FORCE_XVFB:-}" ] && return 0
    local n
    for n in $(seq 91 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$state/xvfb.log" 2>&1 </dev/null 9>&- &
        echo $! >"$state/xvfb.pid"
        local i
        for i in $(seq 1 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
        echo ":$n" >"$state/display"
        return 0
    done
    echo "wine-run.sh: no free X display for Xvfb" >&2
    return 1
}

# The wineserver of this prefix is up when its socket exists.
server_running() {
    local id; id=$(stat -c '%d %i' "$WINEPREFIX" 2>/dev/null) || return 1
    local dev ino; read -r dev ino <<<"$id"
    [ -S "/tmp/.wine-$(id -u)/server-$(printf '%x' "$dev")-$(printf '%x' "$ino")/socket" ]
}

up() {
    (
        flock 9
        write_sound_config
        create_prefix && start_display || exit 1
        select_sound_driver
        install_provider
        server_running && exit 0
        # Persistent server, and the prefix's background services started here with their
        # output elsewhere: a service started by a test program would hold ctest's pipe open.
        wineserver -p 9>&-
        use_display
        "$wine" cmd /c exit 9>&-
    ) 9>"$state/lock" </dev/null >>"$state/up.log" 2>&1
}

use_display() {
    if [ -f "$state/display" ]; then export DISPLAY; DISPLAY=$(cat "$state/display"); fi
}

case "$mode" in
    up)
        up ;;
    down)
        wineserver -k 2>/dev/null || true
        if [ -f "$state/xvfb.pid" ]; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true; fi
        rm -f "$state/xvfb.pid" "$state/display" ;;
    run)
        up || exit 1
        use_display
        exec "$wine" "$@" ;;
    env)
        # Print the environment for a shell: eval "$(scripts/wine-run.sh env build)"
        up >/dev/null || exit 1
        use_display
        for v in WINEARCH WINEPREFIX WINEDEBUG WINEDLLOVERRIDES WINELOADER DISPLAY XDG_CONFIG_HOME TVX_WAVE_PLAYED TVX_WAVE_SOURCE; do
            printf 'export %s=%q\n' "$v" "${!v:-}"
        done ;;
    *)
        echo "usage: wine-run.sh up|down|run|env BUILD_DIR [EXE ARGS...]" >&2; exit 2 ;;
esac
