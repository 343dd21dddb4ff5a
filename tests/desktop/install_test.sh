#!/bin/bash
# The desktop program installed as a user does it (cmake --install --prefix ~/.local, in a scratch home) and started the
# way a desktop starts it: through GLib from its desktop entry, with a PATH that does not hold the prefix. Usage:
# install_test.sh BUILD_FOLDER. Exit status: the number of failed checks.
set -u
BUILD=$(readlink -f "$1")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vistrel-install.XXXXXX")
. "$(dirname "$0")/session.sh"
PREFIX=$HOME/.local
ENTRY=$XDG_DATA_HOME/applications/vistrel.desktop
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1

cmake --install "$BUILD" --prefix "$PREFIX" > "$WORK/install.log" 2>&1 || { cat "$WORK/install.log"; exit 1; }
key() { sed -n "s/^$1=//p" "$ENTRY"; }
check "the entry names the program by its full path" test "$(key Exec)" = "$PREFIX/bin/vistrel %F"
check "the entry asks for start-up notification" test "$(key StartupNotify)" = true
check "the icon it names is installed" test -f "$PREFIX/share/icons/hicolor/128x128/apps/$(key Icon).png"

session_start || exit 1
cd "$WORK"
PATH=/usr/bin:/bin gio launch "$ENTRY" > launch.out 2>&1 &
if MAIN=$(find_window '^Vistrel$'); then
    pass "gio launch starts it from the entry"
    class=$(xprop -id "$MAIN" WM_CLASS | sed 's/.*= //')
    check "StartupWMClass is the window's class (WM_CLASS $class)" test "$class" = "\"vistrel\", \"$(key StartupWMClass)\""
    # The theme's icon comes in its sizes up to 64; the drawn fallback has 16 and 48 only.
    check "the window icon is the installed one" sh -c "xprop -id $MAIN _NET_WM_ICON | grep -q 'Icon (32 x 32)'"
    PID=$(xdotool getwindowpid "$MAIN")
    kill -TERM "$PID"
    ended() { ! kill -0 "$PID" 2>/dev/null; }
    check "SIGTERM ends it" wait_for "$WAIT_LIMIT" ended
else
    fail "gio launch starts it from the entry"
    cat launch.out
fi

session_stop
echo "$FAILURES failed"
[ "$FAILURES" = 0 ] && rm -rf "$WORK"
exit "$FAILURES"
