#!/bin/bash
# What the desktop program costs while it waits for the user: CPU time (in
# per cent of one core) and wake-ups (context switches of all its threads)
# per second, on a private X server with openbox; a program ending in .exe
# runs under Wine. It is measured twice: with the About window up as it
# opens, and with a photo loaded (step 2, the view and sliders showing).
# Usage: bench/idle.sh PROGRAM [SECONDS]   e.g. bench/idle.sh build/release/vistrel
set -u
PROGRAM=$(readlink -f "$1")
SECONDS_EACH=${2:-20}
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vistrel-idle.XXXXXX")
. "$HERE/../tests/desktop/session.sh"
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
session_start || exit 1

# Run time (ns) and context switches summed over the process's threads.
sample() {  # pid -> "ns switches"
    local ns=0 sw=0 t a b
    for t in /proc/"$1"/task/*; do
        read -r a _ < "$t/schedstat" 2>/dev/null || continue
        ns=$((ns + a))
        b=$(awk '/ctxt_switches/ { s += $2 } END { print s + 0 }' "$t/status" 2>/dev/null)
        sw=$((sw + b))
    done
    echo "$ns $sw"
}

measure() {  # pid label
    local ns0 sw0 ns1 sw1
    sleep 3  # start-up and the first paints settle
    read -r ns0 sw0 < <(sample "$1")
    sleep "$SECONDS_EACH"
    read -r ns1 sw1 < <(sample "$1")
    awk -v ns=$((ns1 - ns0)) -v sw=$((sw1 - sw0)) -v s="$SECONDS_EACH" -v what="$2" \
        'BEGIN { printf "%-34s %6.3f %% of a core  %7.1f wake-ups/s\n", what, ns / (s * 1e7), sw / s }'
}

cp "$HERE/../Samples/"*.jpg "$WORK/" 2>/dev/null
PHOTO=$(ls "$WORK"/*.jpg 2>/dev/null | head -1)
launch "$PROGRAM" > "$WORK/program.log" 2>&1 &
LAUNCHER=$!
MAIN=$(find_window '^Vistrel') || { echo "no window came up"; exit 1; }
PID=$(xdotool getwindowpid "$MAIN" 2>/dev/null)
if [ -n "$WINE" ] || [ -z "$PID" ]; then
    # Wine names the process after the program (its command name).
    PID=$(pgrep -n -x "$(basename "$PROGRAM" | cut -c1-15)")
fi
[ -d "/proc/$PID" ] || { echo "the program's process was not found"; exit 1; }
echo "$(basename "$PROGRAM"), pid $PID, ${SECONDS_EACH} s each"
measure "$PID" "idle, About window open"
if [ -n "$PHOTO" ]; then
    if ABOUT=$(find_dialog '^About'); then close_about "$ABOUT"; fi
    xdotool windowactivate --sync "$MAIN" key --delay 300 alt+f o
    if DIALOG=$(find_dialog '^Open$'); then
        xdotool windowactivate --sync "$DIALOG"
        xdotool key ctrl+l
        xdotool type --delay 20 "$(native_path "$PHOTO")"
        xdotool key Return
        if find_window '^Vistrel - ' > /dev/null; then
            xdotool mousemove 5 5  # the pointer off the window
            measure "$PID" "idle, a photo open"
        else
            echo "the photo did not open"
        fi
    fi
fi
kill "$LAUNCHER" 2>/dev/null
wait_exit "$LAUNCHER" 10 > /dev/null
session_stop
rm -rf "$WORK"
