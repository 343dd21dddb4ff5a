# Sourced by the tests of the desktop program on either backend: a private X server (Xvfb with openbox, which focus, the
# close box and the minimum size need), for the Windows build also a fresh 64-bit Wine prefix, and helpers that wait
# with limits so that nothing can hang. Set WORK to an empty folder and PROGRAM to the program under test first (a name
# ending in .exe runs under Wine; SESSION_PREFIX runs in an existing prefix instead of a fresh one); end with
# session_stop (the trap does it too).

WAIT_LIMIT=${WAIT_LIMIT:-30}
FAILURES=0
XVFB_PID=
OPENBOX_PID=
case ${PROGRAM:-} in *.exe) WINE=1 ;; *) WINE= ;; esac

if [ -n "$WINE" ]; then
    export WINEPREFIX=${SESSION_PREFIX:-$WORK/prefix}
    export WINEARCH=win64
    export WINEDEBUG=-all
    # No Mono or Gecko download prompt, no menu entries written into the home folder, and a crash ends the process at
    # once instead of opening winedbg.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
fi
export HOME=$WORK/home
export XDG_CONFIG_HOME=$WORK/home/.config XDG_DATA_HOME=$WORK/home/.local/share
mkdir -p "$HOME"

# Starts the program (or another of the same build) with its arguments;
# under Wine through the launcher that retries a start Wine fails outright.
WINE_RUN=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts/windows" && pwd)/wine-run.sh
launch() { if [ -n "$WINE" ]; then "$WINE_RUN" "$@"; else "$@"; fi; }
# A path as the program sees and shows it.
native_path() { if [ -n "$WINE" ]; then winepath -w "$1"; else echo "$1"; fi; }
if [ -n "$WINE" ]; then SEP='\'; else SEP=/; fi

fail() { echo "FAIL: $*"; FAILURES=$((FAILURES + 1)); }
pass() { echo "ok: $*"; }
check() {  # description command...
    local what=$1; shift
    if "$@"; then pass "$what"; else fail "$what"; return 1; fi
}

# Runs the command every 0.1 s until it succeeds; false after the limit.
wait_for() {  # seconds command...
    local end=$(($(date +%s) + $1)); shift
    until "$@"; do
        [ "$(date +%s)" -ge $end ] && return 1
        sleep 0.1
    done
}

session_start() {
    # No accessibility bus: the tests read the screen, and a session without
    # D-Bus only slows GTK's start-up looking for one.
    export NO_AT_BRIDGE=1
    local display_file=$WORK/display
    rm -f "$display_file"
    exec 3> "$display_file"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset > "$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    exec 3>&-
    wait_for 10 test -s "$display_file" || { echo "Xvfb did not start"; return 1; }
    export DISPLAY=:$(tr -d '\n' < "$display_file")
    openbox --sm-disable > "$WORK/openbox.log" 2>&1 &
    OPENBOX_PID=$!
    wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window' ||
        { echo "openbox did not start"; return 1; }
    trap session_stop EXIT
    [ -n "$WINE" ] || return 0
    # A fresh prefix per run: nothing left over from another run counts.
    if [ -z "${SESSION_PREFIX:-}" ]; then
        timeout 120 wineboot --init > "$WORK/wineboot.log" 2>&1
        timeout 60 wineserver -w
    else
        timeout 20 wineserver -k 2>/dev/null  # the caller's server would refuse -p
    fi
    # One warm server for the whole run.
    wineserver -p
}

session_stop() {
    [ -n "$WINE" ] && timeout 20 wineserver -k 2>/dev/null
    [ -n "$OPENBOX_PID" ] && kill "$OPENBOX_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    OPENBOX_PID=
    XVFB_PID=
}

# The id of the first visible window whose whole title matches the regular
# expression, waiting for it; empty output and false when none comes.
find_window() {  # regex [seconds]
    local end=$(($(date +%s) + ${2:-$WAIT_LIMIT})) id
    while :; do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        [ "$(date +%s)" -ge $end ] && return 1
        sleep 0.2
    done
}

# The same for a dialog over the main window $MAIN: a visible window with this title that is not the main window.
find_dialog() {  # regex
    local end=$(($(date +%s) + WAIT_LIMIT)) id
    while :; do
        for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
            [ "$id" != "${MAIN:-}" ] && { echo "$id"; return 0; }
        done
        [ "$(date +%s)" -ge $end ] && return 1
        sleep 0.2
    done
}

window_gone() { ! xdotool search --onlyvisible --name "$1" > /dev/null 2>&1; }

# Screen pixels as RRGGBB, one screenshot for all points: pixels x,y ...
pixels() {
    local shot=$WORK/pixels.png args=() point
    import -window root "$shot" 2>/dev/null || return 1
    for point in "$@"; do
        args+=("(" "$shot" -crop "1x1+${point%,*}+${point#*,}" +repage ")")
    done
    convert "${args[@]}" -append -depth 8 txt:- 2>/dev/null | sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | tr 'a-f' 'A-F' | tr '\n' ' ' | sed 's/ $//'
}

client_origin() {  # window -> "x y" of its client area, from the X server
    xwininfo -id "$1" | sed -n 's/.*Absolute upper-left X: *//p; s/.*Absolute upper-left Y: *//p' | tr '\n' ' '
}

# Clicks the About window's Ok button, at the window's right, near its foot.
close_about() {
    local ax ay aw
    read -r ax ay < <(client_origin "$1")
    aw=$(xwininfo -id "$1" | sed -n 's/.*Width: *//p')
    xdotool mousemove --sync $((ax + aw - 65 + 12)) $((ay + 481 + 9)) click 1
}

screenshot() { import -window root "$1" 2>/dev/null; }

# Waits for the process to end; its exit status, or 124 after the limit.
wait_exit() {  # pid [seconds]
    local end=$(($(date +%s) + ${2:-$WAIT_LIMIT}))
    while kill -0 "$1" 2>/dev/null; do
        if [ "$(date +%s)" -ge $end ]; then
            kill "$1" 2>/dev/null
            wait "$1" 2>/dev/null
            return 124
        fi
        sleep 0.1
    done
    wait "$1"
}
