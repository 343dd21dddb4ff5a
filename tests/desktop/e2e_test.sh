#!/bin/bash
# A person's session with the shipped desktop program (the Linux build, or the Windows build under Wine), step by step:
# start, the About window, open a photo by typing its path into the Open dialog, a preset, Preview, Apply with its
# progress bar, Save As .png, a batch of two with an append text of our own, a damaged file, File > Exit, then a photo
# named on the command line. Everything goes through clicks and typing at the window's fixed layout positions and is
# checked on the screen and on disk; every step leaves a screenshot.
# Usage: e2e_test.sh VISTREL SCREENSHOT_FOLDER
# The saved result must have the pixels the Linux build gives for the same settings: those of the program named by
# $VISTREL_REFERENCE_CLI (a Linux vistrel-cli) when set, else the checksum in e2e_expected.txt, which that program made.
# Exit status: the number of failed checks.
set -u
PROGRAM=$(readlink -f "$1")
SHOTS=$(mkdir -p "$2" && readlink -f "$2")
HERE=$(dirname "$(readlink -f "$0")")
SOURCE=$(readlink -f "$HERE/../..")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vistrel-e2e.XXXXXX")
. "$HERE/session.sh"

BACKGROUND=204020  # the wizard's green
BOX_GREY=202020    # the options' boxes
VIEW_GREY=C0C0C0   # an empty view

PHOTOS=$WORK/photos
mkdir -p "$PHOTOS/batch"
# Twice the sample's size, each pixel repeated (exact in any version of
# ImageMagick), so that the progress bar stays long enough to be seen.
convert "$SOURCE/Samples/coffee-noisy.png" -filter point -resize 200% "$PHOTOS/coffee.png"
cp "$SOURCE/Samples/astronaut-small.png" "$PHOTOS/batch/first.png"
cp "$SOURCE/Samples/chelsea-phone.jpg" "$PHOTOS/batch/second.jpg"
printf '\x89PNG\r\n\x1a\n this is not a picture' > "$PHOTOS/broken.png"

session_start || exit 1
cd "$WORK"
WPHOTOS=$(native_path "$PHOTOS")

# Pixels and clicks in client coordinates of the main window.
pixel() { pixels "$((OX + $1)),$((OY + $2))"; }
pixel_is() { test "$(pixel "$1" "$2")" = "$3"; }
pixel_is_not() { test "$(pixel "$1" "$2")" != "$3"; }
click() { xdotool mousemove --sync "$((OX + $1))" "$((OY + $2))" click 1; }
title() { xdotool getwindowname "$MAIN" 2>/dev/null; }
title_is() { test "$(title)" = "$1"; }
title_has() { case "$(title)" in *"$1"*) return 0 ;; *) return 1 ;; esac; }
shot() { screenshot "$SHOTS/$1.png"; }
# Decoded pixels, so that the encoder's choices do not count.
pixel_sum() { convert "$1" -depth 8 rgba:- 2>/dev/null | sha256sum | cut -d' ' -f1; }
readable() { identify "$1" > /dev/null 2>&1; }
# Types into the file name box of the dialog that has just appeared (GTK's
# Open dialog takes a typed path in its location box).
type_into_dialog() {  # title text
    local dialog
    dialog=$(find_dialog "^$1\$") || { fail "the $1 dialog appeared"; return 1; }
    xdotool windowactivate --sync "$dialog"
    if [ -z "$WINE" ] && [ "$1" = Open ]; then xdotool key --delay 100 ctrl+l; fi
    xdotool key --delay 100 ctrl+a BackSpace
    xdotool type --delay 20 "$2"
    xdotool key --delay 150 Return
}
echo "== start: the main window with the About window over it"
launch "$PROGRAM" > vistrel.out 2>&1 &
PID=$!
MAIN=$(find_window '^Vistrel$') || { fail "the main window appeared"; exit "$FAILURES"; }
read -r OX OY < <(client_origin "$MAIN")
OY=$((OY + $(xwininfo -id "$MAIN" | sed -n 's/.*Height: *//p') - 600))  # below the menu bar
if ABOUT=$(find_dialog '^About Vistrel 1.3$'); then
    wait_for 10 pixel_is 700 60 "$BACKGROUND"
    sleep 0.5
    shot 1-start
    close_about "$ABOUT"
    check "Ok closes the About window" wait_for "$WAIT_LIMIT" window_gone '^About Vistrel 1.3$'
else
    fail "the About window opened at the start"
fi
check "step 1: the green page with the strip picture" wait_for 10 pixel_is 700 60 "$BACKGROUND"
check "step 1: the strip picture across it" pixel_is_not 100 250 "$BACKGROUND"
shot 2-step1

echo "== open a photo through the Open dialog"
click 45 44
type_into_dialog Open "$WPHOTOS${SEP}coffee.png"
check "the title names the file" wait_for "$WAIT_LIMIT" title_is "Vistrel - $WPHOTOS${SEP}coffee.png"
check "the options appear" wait_for 10 pixel_is 11 94 "$BOX_GREY"
middle=$(pixel 555 415)
check "the view shows the photo" test "$middle" != "$VIEW_GREY" -a "$middle" != "$BACKGROUND"
shot 3-options

echo "== \"Photo 2x zoom\", Preview, then Apply with its progress bar"
click 207 107
click 60 472
check "the preview shows with its view-mode toggle" wait_for "$WAIT_LIMIT" pixel_is_not 342 232 "$BACKGROUND"
shot 4-preview
click 60 527
check "the progress bar runs" wait_for "$WAIT_LIMIT" pixel_is_not 157 527 "$BACKGROUND"
shot 5-applying
check "step 5 appears" wait_for 120 pixel_is_not 60 582 "$BACKGROUND"
check "the progress bar goes" wait_for 10 pixel_is 157 527 "$BACKGROUND"
shot 6-result

echo "== Save As a .png"
click 170 582
type_into_dialog "Save As" "$WPHOTOS${SEP}coffee-clean.png"
SAVED=$PHOTOS/coffee-clean.png
check "the result is written" wait_for "$WAIT_LIMIT" readable "$SAVED"
check "at twice the size" test "$(identify -format '%wx%h' "$SAVED" 2>/dev/null)" = 2400x1600
if [ -n "${VISTREL_REFERENCE_CLI:-}" ]; then
    "$VISTREL_REFERENCE_CLI" --quiet --preset "Photo 2x zoom" -o "$WORK/reference.png" "$PHOTOS/coffee.png"
    expected=$(pixel_sum "$WORK/reference.png")
else
    expected=$(sed -n 's/^coffee-noisy.png x2 Photo 2x zoom: //p' "$HERE/e2e_expected.txt")
fi
check "its pixels are the Linux build's for the same settings" test "$(pixel_sum "$SAVED")" = "$expected"

echo "== a batch of two"
click 45 44
if DIALOG=$(find_dialog '^Open$'); then
    xdotool windowactivate --sync "$DIALOG"
    [ -z "$WINE" ] && xdotool key --delay 100 ctrl+l
    xdotool type --delay 20 "$WPHOTOS${SEP}batch${SEP}"
    xdotool key --delay 300 Return
    if [ -n "$WINE" ]; then xdotool type --delay 40 '"first.png" "second.jpg"'; else xdotool key --delay 300 ctrl+a; fi
    xdotool key --delay 150 Return
else
    fail "the Open dialog appeared"
fi
check "the title counts two files" wait_for "$WAIT_LIMIT" title_has "(1/2)"
click 300 585  # the append field, at its end: "_new" becomes "_b"
xdotool key --delay 50 End BackSpace BackSpace BackSpace BackSpace
xdotool type --delay 30 _b
xdotool key --delay 100 Return
click 60 527
both_written() { readable "$PHOTOS/batch/first_b.png" && readable "$PHOTOS/batch/second_b.jpg"; }
check "both results are written next to their inputs, in their formats" wait_for 120 both_written
shot 7-batch

echo "== a damaged file"
click 45 44
type_into_dialog Open "$WPHOTOS${SEP}broken.png"
if BOX=$(find_dialog '^Vistrel$'); then
    sleep 0.5
    shot 8-error
    xdotool windowactivate --sync "$BOX" key Return
    one_vistrel() { test "$(xdotool search --onlyvisible --name '^Vistrel$' | wc -l)" -le 1; }
    check "Return dismisses the message" wait_for "$WAIT_LIMIT" one_vistrel
else
    fail "the damaged file's message appeared"
fi
check "the title says the load failed" wait_for 10 title_is "Vistrel - $WPHOTOS${SEP}broken.png (Load failed)"
check "the options went with the picture" wait_for 10 pixel_is 11 94 "$BACKGROUND"

echo "== File > Exit"
xdotool windowactivate --sync "$MAIN"
xdotool key --delay 250 alt+f
started=$(date +%s%N)
xdotool key x
wait_exit "$PID"
check "File > Exit ends the program with status 0" test $? = 0
# The worker looks for the end at least every half second.
took=$((($(date +%s%N) - started) / 1000000))
check "at once (took $took ms)" test "$took" -lt 2000

echo "== a photo named on the command line, in a folder outside the ANSI code page"
mkdir -p "$PHOTOS/写真"
cp "$SOURCE/Samples/astronaut-small.png" "$PHOTOS/写真/Фото.png"
launch "$PROGRAM" "$WPHOTOS$SEP写真${SEP}Фото.png" > vistrel2.out 2>&1 &
PID=$!
MAIN=$(find_window '^Vistrel') || { fail "the main window appeared"; exit "$FAILURES"; }
check "it opens as if chosen in the Open dialog" wait_for "$WAIT_LIMIT" title_is "Vistrel - $WPHOTOS$SEP写真${SEP}Фото.png"
if ABOUT=$(find_dialog '^About Vistrel 1.3$'); then
    close_about "$ABOUT"
    wait_for "$WAIT_LIMIT" window_gone '^About Vistrel 1.3$'
fi
click 60 527
check "it is enhanced" wait_for 120 pixel_is_not 60 582 "$BACKGROUND"
click 170 582
type_into_dialog "Save As" clean  # the dialog opens in the photo's folder, PNG chosen
check "Save As writes into that folder" wait_for "$WAIT_LIMIT" readable "$PHOTOS/写真/clean.png"
xdotool windowactivate --sync "$MAIN" key alt+F4
wait_exit "$PID"
check "the close box ends the program with status 0" test $? = 0

if [ -z "$WINE" ]; then
    echo "== at a scale factor of 2 the view shows the photo's own pixels at 100 %"
    # A checkerboard of single pixels: shown one to one, neighbours on the
    # screen differ; shown as 2 x 2 blocks they would not.
    convert -size 1200x900 pattern:gray50 "$PHOTOS/checker.png"
    GDK_SCALE=2 "$PROGRAM" "$PHOTOS/checker.png" > hidpi.out 2>&1 &
    PID=$!
    MAIN=$(find_window '^Vistrel') && wait_for "$WAIT_LIMIT" title_has checker.png
    if ABOUT=$(find_dialog '^About Vistrel 1.3$'); then
        xdotool windowactivate --sync "$ABOUT" key alt+F4
        wait_for "$WAIT_LIMIT" window_gone '^About Vistrel 1.3$'
    fi
    read -r SX SY < <(client_origin "$MAIN")
    SY=$((SY + $(xwininfo -id "$MAIN" | sed -n 's/.*Height: *//p') - 1200))  # below the menu bar
    # Client (340, 260) and (400, 300), inside the view, with the screen pixels right of, below and diagonal to each.
    block() { echo "$(($1 + SX)),$(($2 + SY)) $(($1 + SX + 1)),$(($2 + SY)) $(($1 + SX)),$(($2 + SY + 1)) $(($1 + SX + 1)),$(($2 + SY + 1))"; }
    one_to_one() {
        local p
        p=($(pixels $(block 680 520) $(block 800 600)))
        [ "${#p[@]}" = 8 ] || return 1
        for q in 0 4; do
            case ${p[q]} in 000000 | FFFFFF) ;; *) return 1 ;; esac
            [ "${p[q]}" != "${p[q + 1]}" ] && [ "${p[q]}" != "${p[q + 2]}" ] && [ "${p[q]}" = "${p[q + 3]}" ] || return 1
        done
    }
    check "one photo pixel on each screen pixel" wait_for 10 one_to_one
    xdotool windowactivate --sync "$MAIN" key alt+F4
    wait_exit "$PID"

    echo "== Wayland sessions: the X server is used through XWayland, or its absence is named"
    GDK_BACKEND=wayland "$PROGRAM" > wayland.out 2>&1 &
    PID=$!
    check "GDK_BACKEND=wayland still opens the window on X" find_window '^Vistrel$' > /dev/null
    kill -TERM "$PID"
    wait_exit "$PID"
    check "SIGTERM ends an idle program with status 0" test $? = 0
    env -u DISPLAY WAYLAND_DISPLAY=wayland-0 "$PROGRAM" > no-x.out 2>&1
    check "without DISPLAY the message asks for XWayland and the status is a failure ($?)" \
        sh -c '[ "$1" != 0 ] && grep -q XWayland no-x.out' sh $?

    echo "== SIGTERM in the middle of a batch, with a session manager asked not to log out"
    mkdir -p "$PHOTOS/term"
    for n in 1 2 3 4 5 6; do cp "$PHOTOS/coffee.png" "$PHOTOS/term/p$n.png"; done
    # On a private session bus of its own, beside a stand-in session manager.
    NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory dbus-run-session -- sh -c \
        '/usr/bin/python3 "$1" "$2" & until grep -q ready "$2" 2>/dev/null; do sleep 0.1; done; shift 2; exec "$@"' \
        sh "$HERE/session_manager.py" "$WORK/session.log" "$PROGRAM" "$PHOTOS"/term/p?.png > term.out 2>&1 &
    PID=$!
    MAIN=$(find_window '^Vistrel') && wait_for "$WAIT_LIMIT" title_has "(1/6)"
    if ABOUT=$(find_dialog '^About Vistrel 1.3$'); then
        close_about "$ABOUT"
        wait_for "$WAIT_LIMIT" window_gone '^About Vistrel 1.3$'
    fi
    click 60 527
    if wait_for 120 readable "$PHOTOS/term/p1_new.png"; then
        check "the running batch holds off a logout" grep -q "^Inhibit ('vistrel', [0-9]*, '.*', 1)" "$WORK/session.log"
        kill -TERM "$(xdotool getwindowpid "$MAIN")"
        wait_exit "$PID"
        check "the program ends with status 0" test $? = 0
        left=$(cd "$PHOTOS/term" && ls -A | grep -v -x -e 'p[1-6].png' -e 'p[1-6]_new.png' | tr '\n' ' ')
        check "nothing but inputs and whole results is left (extra: $left)" test -z "$left"
        check "the batch stopped before its end" test ! -e "$PHOTOS/term/p6_new.png"
        for f in "$PHOTOS"/term/p?_new.png; do check "$(basename "$f") is whole" readable "$f"; done
    else
        fail "the batch wrote its first result"
        kill "$PID" 2>/dev/null
    fi
fi

session_stop
echo "$FAILURES failed"
[ "$FAILURES" = 0 ] && rm -rf "$WORK"
exit "$FAILURES"
