#!/bin/bash
# The window backend (GTK, or Win32 under Wine) on a private X server, driven with xdotool and checked with screenshots:
# the probe program (gui_probe.cpp) logs what its window receives and takes commands from a file. Usage: gui_test.sh
# PROBE [DRAG_SOURCE]; the drag source, a plain GTK program, tests drags from another program on GTK. Exit status: the
# number of failed checks.
set -u
PROGRAM=$(readlink -f "$1")
DRAG_SOURCE=${2:+$(readlink -f "$2")}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vistrel-gui.XXXXXX")
. "$(dirname "$0")/session.sh"
session_start || exit 1
cd "$WORK"

# The probe writes text-mode lines (CR LF).
probe_log() { tr -d '\r' 2>/dev/null < "$WORK/probe.log"; }
has_line() { probe_log | grep -qxF -- "$1"; }
wait_line() { wait_for "$WAIT_LIMIT" has_line "$1"; }
count_lines() { probe_log | grep -c -- "$1"; }
send() { printf '%s\n' "$*" >> commands; }

start_probe() {
    : > commands
    rm -f probe.log
    launch "$PROGRAM" "$WORK/commands" "$WORK/probe.log" > probe.out 2>&1 &
    PROBE_PID=$!
    wait_line "active 1" || { fail "the probe's window came up and active"; cat probe.out; return 1; }
    MAIN=$(find_window '^Vistrel$')
}

# What the probe's pattern puts at client pixel x, y.
pattern_at() { printf '%02X%02X%02X' $(($1 & 255)) $(($2 & 255)) $(((($1 >> 8) << 4) | ($2 >> 8))); }

start_probe || exit 1

echo "== the client area is 800 x 600 and shows the back buffer exactly"
check "the probe's client size is 800 x 600" has_line "ready 800 600"
xdotool mousemove --sync 450 380 click 1
xdotool type z  # once the key is in, so is the click
wait_line "keys 122"
read -r X Y < <(probe_log | sed -n 's/^press 1 //p' | head -1)
OX=$((450 - ${X:-0})) OY=$((380 - ${Y:-0}))
check "a click arrives once, in client coordinates" test "$(count_lines '^press ')" = 1
# Windows places the client area itself; on GTK the window manager does.
[ -n "$WINE" ] && check "the client area stands at (50, 80)" test "$OX,$OY" = "50,80"
MENU_BAR=$(($(xwininfo -id "$MAIN" | sed -n 's/.*Height: *//p') - 600))
send pattern
wait_line "done pattern"
points=() expected=""
for p in 0,0 799,0 0,599 799,599 123,456 400,300; do
    points+=("$((OX + ${p%,*})),$((OY + ${p#*,}))")
    expected+="$(pattern_at ${p%,*} ${p#*,}) "
done
check "every probed pixel is the back buffer's pixel at that place, top row first" \
    test "$(pixels "${points[@]}")" = "${expected% }"
send layer
wait_line "done layer 1"
check "at a scale of 1 a layer at the screen's resolution is not shown" \
    test "$(pixels "$((OX + 100)),$((OY + 100))" "$((OX + 139)),$((OY + 139))")" = "$(pattern_at 100 100) $(pattern_at 139 139)"
outside=$(pixels "$((OX - 1)),$((OY + 300))" "$((OX + 800)),$((OY + 300))" "$((OX + 300)),$((OY - 1))" "$((OX + 300)),$((OY + 600))")
check "the pixels around the client area are not the buffer's" \
    test "$outside" != "$(pattern_at 799 300) $(pattern_at 0 300) $(pattern_at 300 599) $(pattern_at 300 0)" \
    -a "${outside:0:6}" != "$(pattern_at 799 300)" -a "${outside:14:6}" != "$(pattern_at 300 0)"
screenshot "$WORK/pattern.png"

echo "== keys, characters and the wheel"
xdotool type a
xdotool key BackSpace Tab Return Delete Escape F11 F12 F1 F10 Left Right Up Down Prior Next Home End
xdotool type Z
wait_line "keys 90"
codes=$(probe_log | sed -n 's/^keys//p' | tr '\n' ' ' | tr -s ' ')
check "key codes follow the table (got:$codes)" test "$codes" = " 122 97 8 9 13 11 12 14 23 1 2 3 4 5 6 7 10 90 "
xdotool mousemove --sync $((OX + 50)) $((OY + 50)) click 4 click 4 click 4 click 5
wheel_is() { test "$(probe_log | sed -n 's/^wheel //p' | awk '{ s += $1 } END { print s + 0 }')" = "$1"; }
check "three notches up and one down give +2" wait_for 10 wheel_is 2

echo "== a drag that ends outside the window still reports to it"
xdotool mousemove --sync $((OX + 10)) $((OY + 10)) mousedown 3
wait_line "held 2 10 10"
xdotool mousemove --sync $((OX + 900)) $((OY - 20)) mouseup 3
check "the release outside is seen, at client (900, -20)" wait_line "held 0 900 -20"
if [ -n "$WINE" ]; then
    # The second press of a double click holds the mouse as a first one does.
    xdotool mousemove --sync $((OX + 20)) $((OY + 20)) click 1 mousedown 1
    wait_line "double 1"
    xdotool mousemove --sync $((OX + 850)) $((OY + 650)) mouseup 1
    check "a double click dragged out of the window is released there" wait_line "held 0 850 650"
    # Another window taking the focus mid-drag: the release never comes.
    last_held_is() { test "$(probe_log | grep '^held ' | tail -1 | cut -d' ' -f2)" = "$1"; }
    xdotool mousemove --sync $((OX + 30)) $((OY + 30)) mousedown 1
    wait_line "held 1 30 30"
    send popup
    POPUP=$(find_dialog '^Probe pop-up$')
    check "a window taking the focus mid-drag lets go of the button" wait_for 10 last_held_is 0
    xdotool mouseup 1
    [ -n "$POPUP" ] && xdotool windowactivate --sync "$POPUP" key Escape && wait_line "popup closed"
    xdotool windowactivate --sync "$MAIN"
fi

if [ -z "$WINE" ]; then
    echo "== a message box that opens in the middle of a drag"
    releases=$(count_lines '^held 0 ')
    xdotool mousemove --sync $((OX + 20)) $((OY + 20)) mousedown 1
    wait_line "held 1 20 20"
    send show
    if BOX=$(find_dialog '^Vistrel$'); then
        xdotool mouseup 1  # the box has the pointer now: the window never sees this
        xdotool windowactivate --sync "$BOX" key Escape
        released() { test "$(count_lines '^held 0 ')" -gt "$releases"; }
        check "the button is not held any more once the box is gone" wait_for 10 released
    else
        fail "the message box appeared during the drag"
        xdotool mouseup 1
    fi
fi

echo "== menu commands arrive with their ids; a disabled item does nothing"
send "disable 110"
wait_line "done disable 110"
xdotool windowactivate --sync "$MAIN"
xdotool key --delay 250 alt+h a Escape Escape
xdotool key --delay 250 alt+h c
check "Help > Contents sends 106" wait_line "command 106"
xdotool key --delay 250 alt+f o
check "File > Open... sends 101" wait_line "command 101"
check "the disabled Help > About sent nothing" test "$(count_lines '^command 110')" = 0

echo "== message boxes"
# The answers so far, one per box: "answer yes", "answer no" or "shown".
answers() { probe_log | grep '^answer \|^shown$' | tr '\n' ,; }
answers_are() { test "$(answers)" = "$1"; }
one_window_titled_vistrel() { test "$(xdotool search --onlyvisible --name '^Vistrel$' 2>/dev/null | wc -l)" -le 1; }
ANSWERS=$(answers)  # the box during the drag answered already
box_answers() {  # command keys expected-line
    local box
    send "$1"
    if ! box=$(find_dialog '^Vistrel$'); then fail "a message box captioned Vistrel came for '$1'"; return; fi
    xdotool windowactivate --sync "$box" key $2
    ANSWERS+="$3,"
    check "'$1' answered with $2 gives '$3'" wait_for "$WAIT_LIMIT" answers_are "$ANSWERS"
    wait_for "$WAIT_LIMIT" one_window_titled_vistrel
}
box_answers "ask" Return "answer no"        # No is the default
box_answers "ask yes" Return "answer yes"   # unless Yes is asked for
box_answers "ask yes" Escape "answer no"    # Escape never says Yes
box_answers "ask" alt+y "answer yes"
box_answers "show" Escape "shown"           # an OK box closes on Escape

echo "== a pop-up over the main window"
closed_before=$(count_lines '^popup closed$')
popups_closed_are() { test "$(count_lines '^popup closed$')" = "$1"; }
send popup
if POPUP=$(find_dialog '^Probe pop-up$'); then
    # xwininfo gives the client area's place, without the window manager's frame.
    read -r X Y < <(client_origin "$POPUP")
    WIDTH=$(xwininfo -id "$POPUP" | sed -n 's/.*Width: *//p')
    HEIGHT=$(xwininfo -id "$POPUP" | sed -n 's/.*Height: *//p')
    check "the pop-up's client area is 300 x 200" test "$WIDTH x $HEIGHT" = "300 x 200"
    check "it stands at 400 - 300 / 2 = 250 and 50 below the main client area, plus frames (got $((X - OX)), $((Y - OY)))" \
        test $((X - OX)) -ge 250 -a $((X - OX)) -le 258 -a $((Y - OY)) -ge 50 -a $((Y - OY)) -le 80
    check "it shows its own buffer" test "$(pixels $((X + 150)),$((Y + 100)))" = C80000
    xdotool windowactivate --sync "$POPUP" key Escape
    check "Escape closes it through its Update" wait_for "$WAIT_LIMIT" popups_closed_are $((closed_before + 1))
else
    fail "the pop-up appeared"
fi

echo "== the window cannot be made smaller than 800 x 600"
xdotool windowsize "$MAIN" 1000 $((700 + MENU_BAR))
check "a larger window rebuilds the buffer at 1000 x 700" wait_line "resize 1000 700"
xdotool windowsize "$MAIN" 400 300
wait_line "resize 800 600"
small=$(probe_log | awk '/^resize / && ($2 < 800 || $3 < 600)')
check "no size below the minimum ever reached the window" test -z "$small"

echo "== the Open dialog returns several files; names outside the ANSI code page survive"
PICS=$WORK/pics
mkdir -p "$PICS/写真"
for name in a.bmp B.BMP c.jpg notes.txt 写真/Фото.png; do echo x > "$PICS/$name"; done
WPICS=$(native_path "$PICS")
send "open $WPICS"
if DIALOG=$(find_dialog '^Open$'); then
    screenshot "$WORK/open.png"
    xdotool windowactivate --sync "$DIALOG"
    if [ -n "$WINE" ]; then
        xdotool type --delay 40 '"a.bmp" "c.jpg"'
        xdotool key Return
        check "two typed names come back as the folder and the names" wait_line "opened $WPICS|a.bmp|c.jpg"
    else
        xdotool key --delay 300 Down Home shift+Down Return  # the list starts B.BMP, a.bmp
        check "two chosen files come back as the folder and the names" wait_line "opened $WPICS|B.BMP|a.bmp"
    fi
else
    fail "the Open dialog appeared"
fi
send "open $WPICS$SEP写真"
if DIALOG=$(find_dialog '^Open$'); then
    xdotool windowactivate --sync "$DIALOG"
    # Chosen in the file list rather than typed: xdotool loses characters outside the keyboard's layout now and then.
    if [ -n "$WINE" ]; then xdotool key --delay 300 shift+Tab Home Return; else xdotool key --delay 300 Down Return; fi
    check "a file in 写真 named Фото comes back in UTF-8" wait_line "opened $WPICS$SEP写真${SEP}Фото.png" ||
        probe_log | grep '^opened\|^cancelled' | tail -1
else
    fail "the Open dialog appeared in a folder named 写真"
fi
send "title Vistrel - Фото 写真"
wait_line "done title"
title_is() { test "$(xdotool getwindowname "$MAIN")" = "$1"; }
check "the title takes any script" wait_for 10 title_is "Vistrel - Фото 写真"

echo "== the Save As dialog"
# Opens Save As in the pictures with cat.jpg suggested, types the name (none:
# keeps the suggestion) and presses the key; the probe must log the line.
save_as() {  # what name key line
    local dialog
    send "save $WPICS|cat.jpg"
    dialog=$(find_dialog '^Save As$') || { fail "the Save As dialog appeared for: $1"; return; }
    xdotool windowactivate --sync "$dialog"
    if [ -n "$2" ]; then
        xdotool key ctrl+a BackSpace
        xdotool type --delay 40 "$2"
    fi
    xdotool key "$3"
    check "$1" wait_line "$4"
}
save_as "accepting the suggestion gives its path" "" Return "saved $WPICS${SEP}cat.jpg"
save_as "a typed name without an extension gets the preselected type's" dog Return "saved $WPICS${SEP}dog.jpg"
save_as "Escape cancels" "" Escape "cancelled"
if [ -z "$WINE" ]; then
    # A name that is not UTF-8 shows readable and comes back as its bytes.
    RAW=$'caf\xe9.jpg'
    echo x > "$PICS/$RAW"
    send "save $WPICS|$RAW"
    if DIALOG=$(find_dialog '^Save As$'); then
        xdotool windowactivate --sync "$DIALOG" key Return
        saved_raw() { probe_log | LC_ALL=C grep -qxF "saved $WPICS/$RAW"; }
        check "Save As keeps a suggested name that is not UTF-8 byte for byte" wait_for "$WAIT_LIMIT" saved_raw
    else
        fail "the Save As dialog appeared for a name that is not UTF-8"
    fi
fi

if [ -z "$WINE" ]; then
    echo "== dropped files: the local ones, decoded, in order; the others named in a message"
    # A warning box over the main window, closed with Escape.
    warned() {
        local box
        box=$(find_dialog '^Vistrel$') || return 1
        xdotool windowactivate --sync "$box" key Escape
        wait_for "$WAIT_LIMIT" one_window_titled_vistrel
    }
    send "drop file:///tmp/b%20c%C3%A9.png|https://example.org/x.png|file://elsewhere/y.png|file://localhost/tmp/a.jpg"
    wait_line "done drop"
    check "a uri-list gives its local files" has_line "dropped [/tmp/b cé.png] [/tmp/a.jpg]"
    check "and says which it could not open" warned
    send "drop sftp://example.org/home/me/photo.jpg"
    wait_line "done drop"
    check "a network place that is not mounted is named in a message" warned
    # GVFS shows a mounted place at a path of this form.
    send "drop file:///run/user/1000/gvfs/sftp:host=example.org/photo%201.jpg"
    check "a mounted network place opens by its path" \
        wait_line "dropped [/run/user/1000/gvfs/sftp:host=example.org/photo 1.jpg]"
    check "a list with nothing local reaches nothing" test "$(count_lines '^dropped')" = 2
fi
if [ -z "$WINE" ] && [ -n "$DRAG_SOURCE" ]; then
    echo "== files dragged from another program arrive through XDND"
    "$DRAG_SOURCE" "file:///tmp/photo%201.jpg" "file:///tmp/photo2.png" > drag.out 2>&1 &
    DRAG_PID=$!
    if SOURCE=$(find_window '^Drag source$'); then
        read -r SX SY < <(client_origin "$SOURCE")
        SX=$((SX + $(xwininfo -id "$SOURCE" | sed -n 's/.*Width: *//p') / 2))
        SY=$((SY + $(xwininfo -id "$SOURCE" | sed -n 's/.*Height: *//p') / 2))
        # Pressed on the button, moved in steps past GTK's drag threshold and over the main window, released there.
        xdotool mousemove --sync "$SX" "$SY" mousedown 1
        for step in 1 2 3 4 5 6 7 8 9 10; do
            xdotool mousemove --sync $((SX + (OX + 300 - SX) * step / 10)) $((SY + (OY + 300 - SY) * step / 10))
            sleep 0.03
        done
        sleep 0.2
        xdotool mouseup 1
        check "both files arrive, decoded, in order" wait_line "dropped [/tmp/photo 1.jpg] [/tmp/photo2.png]"
    else
        fail "the drag source's window appeared"
    fi
    kill "$DRAG_PID" 2>/dev/null
fi

echo "== File > Exit ends the program with status 0"
xdotool windowactivate --sync "$MAIN"
xdotool key --delay 250 alt+f x
wait_exit "$PROBE_PID"
check "status 0 after File > Exit" test $? = 0
check "the command was 105 and the loop ended before the window went" \
    test "$(probe_log | grep -n '^command 105\|^teardown\|^main destroyed\|^exit 0' | cut -d: -f2 | tr '\n' ,)" = "command 105,teardown,main destroyed,exit 0,"

echo "== the close box ends the program with status 0"
start_probe || exit 1
xdotool windowactivate --sync "$MAIN" key alt+F4
wait_exit "$PROBE_PID"
check "status 0 after the close box" test $? = 0
check "the window was destroyed, then the loop ended" \
    test "$(probe_log | grep '^teardown\|^main destroyed\|^exit 0' | tr '\n' ,)" = "main destroyed,teardown,exit 0,"

if [ -z "$WINE" ]; then
    echo "== at a scale factor of 2 each buffer pixel is a sharp 2 x 2 block"
    export GDK_SCALE=2
    start_probe || exit 1
    unset GDK_SCALE
    read -r SX SY < <(client_origin "$MAIN")
    SY=$((SY + $(xwininfo -id "$MAIN" | sed -n 's/.*Height: *//p') - 1200))  # below the menu bar
    send pattern
    wait_line "done pattern"
    points=() expected=""
    # Both pixels of each block's diagonal, at and beside 8-bit edges of the
    # pattern (a smoothed picture would blend neighbours there).
    for p in 0,0 255,10 256,10 100,255 100,256 311,200; do
        x=${p%,*} y=${p#*,}
        points+=("$((SX + 2 * x)),$((SY + 2 * y))" "$((SX + 2 * x + 1)),$((SY + 2 * y + 1))")
        expected+="$(pattern_at "$x" "$y") $(pattern_at "$x" "$y") "
    done
    check "every device pixel is its buffer pixel exactly" test "$(pixels "${points[@]}")" = "${expected% }"
    send layer
    wait_line "done layer 2"
    # Over (100, 100) to (140, 140) each screen pixel is one of the layer's: neighbours along the checkerboard differ,
    # and the buffer's blocks go on just outside.
    points=() expected=""
    for p in 0,0 1,0 0,1 1,1 37,42 38,42 79,79; do
        x=${p%,*} y=${p#*,}
        points+=("$((SX + 200 + x)),$((SY + 200 + y))")
        expected+="$(printf '%02X%02X%02X' "$x" "$y" $(((x ^ y) & 1 ? 255 : 0))) "
    done
    points+=("$((SX + 199)),$((SY + 200))" "$((SX + 280)),$((SY + 279))")
    expected+="$(pattern_at 99 100) $(pattern_at 140 139)"
    check "a layer at the screen's resolution shows its own pixels one to one" \
        test "$(pixels "${points[@]}")" = "$expected"
    xdotool windowactivate --sync "$MAIN" key alt+F4
    wait_exit "$PROBE_PID"
fi

session_stop
echo "$FAILURES failed"
[ "$FAILURES" = 0 ] && rm -rf "$WORK"
exit "$FAILURES"
