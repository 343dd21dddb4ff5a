#!/usr/bin/env bash
# Tries the installer under Wine, in a prefix of its own: a silent install
# puts the programs, Help\, Samples\, the shortcut, the "Apps" entry and the
# "Open with" entries in place; the installed programs start from there;
# a silent uninstall takes all of it away again. Also checks the zip's
# contents. Run after scripts/windows/package.sh.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=${VISTREL_WINDOWS_BUILD:-build/windows}
version=$(sed -n 's/^project(Vistrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
setup=dist/Vistrel-$version-setup-x64.exe
zip_file=dist/Vistrel-$version-windows-x64.zip
export WINEPREFIX=$root/$build/wine-install-prefix
. scripts/windows/wine-env.sh

failures=0
check() {  # description, command...
  if "${@:2}" > /dev/null 2>&1; then echo "PASS $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}
absent() { ! "$@"; }
# Waits for every Wine process of the prefix (the uninstaller runs a copy
# of itself and returns at once).
settle() { timeout 120 wineserver -w; }

listing=$(unzip -Z1 "$zip_file")
for f in Vistrel/vistrel.exe Vistrel/vistrel-cli.exe Vistrel/libheif.dll Vistrel/libde265.dll Vistrel/libraw_r.dll \
         Vistrel/Help/index.html Vistrel/Samples/coffee-noisy.png Vistrel/LICENSES/Vistrel.txt \
         Vistrel/LICENSES/libtiff.txt Vistrel/LICENSES/LGPL-libraries.txt Vistrel/LICENSES/LGPL-3.0.txt \
         Vistrel/LICENSES/LGPL-2.1.txt; do
  check "the zip holds $f" grep -qx "$f" <<< "$listing"
done

wine_fresh_prefix || exit 1
settle
program_files=$WINEPREFIX/drive_c/Program\ Files/Vistrel
shortcut=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Vistrel.lnk
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vistrel'

timeout 300 wine "$setup" /S; status=$?
settle
check "silent install ends with status 0" test "$status" -eq 0
for f in vistrel.exe vistrel-cli.exe libheif.dll libde265.dll libraw_r.dll uninstall.exe Help/index.html \
         Help/denoiseexamples.html Samples/coffee-noisy.png LICENSES/Vistrel.txt LICENSES/LGPL-libraries.txt; do
  check "installed $f" test -f "$program_files/$f"
done
check "Start-menu shortcut" test -f "$shortcut"
check "\"Apps\" lists the uninstaller" wine reg query "$uninstall_key" /v UninstallString
check "\"Open with\" offers Vistrel for .png" wine reg query 'HKLM\Software\Classes\.png\OpenWithProgids' /v Vistrel.Picture
check "\"Open with\" offers Vistrel for .tga" wine reg query 'HKLM\Software\Classes\.tga\OpenWithProgids' /v Vistrel.Picture
check "\"Open with\" offers Vistrel for .heic" wine reg query 'HKLM\Software\Classes\.heic\OpenWithProgids' /v Vistrel.Picture

# The installed command-line program works on an installed sample from
# its own folder, and names in any script reach it.
out_dir=$WINEPREFIX/drive_c/users/Public/$'\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe'
mkdir -p "$out_dir"
(cd "$program_files" && timeout 300 wine ./vistrel-cli.exe --quiet --preset "Photo 2x zoom" \
  -o 'C:\users\Public\'$'\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe''\'$'\xe5\x86\x99\xe7\x9c\x9f.png' 'Samples\astronaut-small.png')
check "the installed vistrel-cli.exe enhances a sample into a folder named in Cyrillic" \
  test -s "$out_dir/"$'\xe5\x86\x99\xe7\x9c\x9f.png'
info=$(cd "$program_files" && timeout 120 wine ./vistrel-cli.exe info "$(winepath -w "$out_dir/"$'\xe5\x86\x99\xe7\x9c\x9f.png')" 2>&1 | tr -d '\r')
check "the result is a 320 x 320 PNG" grep -q "PNG 320x320" <<< "$info"
# Redirected output is the name's UTF-8 bytes, unchanged by any code page.
check "output into a pipe names the file in UTF-8" grep -qF $'\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe\\\xe5\x86\x99\xe7\x9c\x9f.png: PNG' <<< "$info"

# The LGPL libraries load from the program folder: HEIC through libheif.dll
# and libde265.dll, a DNG through libraw_r.dll.
cp tests/data/photo/upright.heic tests/data/photo/orientation_6.dng "$WINEPREFIX/drive_c/users/Public/"
info=$(cd "$program_files" && timeout 120 wine ./vistrel-cli.exe info 'C:\users\Public\upright.heic' \
  'C:\users\Public\orientation_6.dng' 2>&1 | tr -d '\r')
check "the installed vistrel-cli.exe reads a HEIC picture" grep -q "upright.heic: HEIF 24x16" <<< "$info"
check "the installed vistrel-cli.exe reads a camera RAW file" grep -q "orientation_6.dng: RAW 48x32" <<< "$info"

# The installed desktop program, started by its full path from another
# folder on a private display: Help > Contents hands the installed help page
# to the browser command (a recorder here) as one argument, and the first
# Open dialog starts in the installed samples, so that a bare sample name
# opens the sample from there.
recorder=$build/tests/platform/args_recorder.exe
if command -v Xvfb > /dev/null && command -v openbox > /dev/null && command -v xdotool > /dev/null &&
   [[ -f $recorder ]]; then
  mkdir -p "$WINEPREFIX/drive_c/recorder"
  cp "$recorder" "$WINEPREFIX/drive_c/recorder/"
  rm -f "$WINEPREFIX/drive_c/recorder/args.txt"
  wine reg add 'HKCR\http\shell\open\command' /ve /f \
    /d '"C:\recorder\args_recorder.exe" "C:\recorder\args.txt"' > /dev/null 2>&1
  (
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/vistrel-installed.XXXXXX")
    SESSION_PREFIX=$WINEPREFIX PROGRAM=vistrel.exe
    . tests/desktop/session.sh
    session_start || { fail "the private display and Wine started"; exit 1; }
    installed='C:\Program Files\Vistrel'
    cd "$WORK"
    wine "$installed\\vistrel.exe" > vistrel.out 2>&1 &
    pid=$!
    MAIN=$(find_window '^Vistrel$') || { fail "the installed vistrel.exe opens its window"; exit "$FAILURES"; }
    pass "the installed vistrel.exe opens its window"
    if about=$(find_dialog '^About Vistrel'); then
      close_about "$about"
      wait_for "$WAIT_LIMIT" window_gone '^About Vistrel'
    fi
    xdotool windowactivate --sync "$MAIN"
    xdotool key --delay 250 alt+h c
    recorded=$WINEPREFIX/drive_c/recorder/args.txt
    wait_for "$WAIT_LIMIT" test -s "$recorded"
    check "Help > Contents opens the installed help page as one argument" \
      test "$(cat "$recorded" 2>/dev/null)" = "$installed\\Help\\index.html"
    xdotool windowactivate --sync "$MAIN"
    xdotool key --delay 250 alt+f o
    # The browser command just started may take the focus back from the
    # window under a loaded Wine, and the keys go astray: one more try,
    # after closing a menu the first may have left open.
    dialog=$(find_dialog '^Open$') || {
      xdotool windowactivate --sync "$MAIN"
      xdotool key --delay 250 Escape alt+f o
      dialog=$(find_dialog '^Open$')
    }
    if [ -n "$dialog" ]; then
      xdotool windowactivate --sync "$dialog"
      xdotool type --delay 20 coffee-noisy.png
      xdotool key --delay 150 Return
      check "the first Open dialog starts in the installed samples" wait_for "$WAIT_LIMIT" \
        sh -c 'test "$(xdotool getwindowname "$1")" = "$2"' - "$MAIN" "Vistrel - $installed\\Samples\\coffee-noisy.png"
    else
      fail "the Open dialog appeared"
    fi
    xdotool windowactivate --sync "$MAIN"
    xdotool key --delay 250 alt+f x
    wait_exit "$pid"
    check "File > Exit ends the installed program with status 0" test $? = 0
    session_stop
    [ "$FAILURES" = 0 ] && rm -rf "$WORK"
    exit "$FAILURES"
  )
  gui_failures=$?
  failures=$((failures + gui_failures))
  settle
else
  echo "FAIL the installed program's window: Xvfb, openbox, xdotool or $recorder missing"
  failures=$((failures + 1))
fi

# Installing over the installed copy (as an upgrade does) first runs its
# uninstaller, then leaves a complete program; the user's own files stay.
echo mine > "$program_files/Samples/mine.png"
timeout 300 wine "$setup" /S; status=$?
settle
check "installing over an installed copy ends with status 0" test "$status" -eq 0
check "after installing again the programs, the samples and the user's own file are there" \
  test -f "$program_files/vistrel.exe" -a -f "$program_files/uninstall.exe" -a -f "$program_files/Samples/coffee-noisy.png" \
  -a -f "$program_files/Samples/mine.png"
check "after installing again: \"Open with\" offers Vistrel" \
  wine reg query 'HKLM\Software\Classes\.png\OpenWithProgids' /v Vistrel.Picture
rm -f "$program_files/Samples/mine.png"

timeout 300 wine "$program_files/uninstall.exe" /S; status=$?
settle
check "silent uninstall ends with status 0" test "$status" -eq 0
check "the program folder is gone" absent test -e "$program_files"
check "the shortcut is gone" absent test -e "$shortcut"
check "\"Apps\" no longer lists Vistrel" absent wine reg query "$uninstall_key"
check "\"Open with\" no longer offers Vistrel" absent wine reg query 'HKLM\Software\Classes\.png\OpenWithProgids' /v Vistrel.Picture

wineserver -k 2>/dev/null
echo "packages: $failures failure(s)"
exit $(( failures > 0 ))
