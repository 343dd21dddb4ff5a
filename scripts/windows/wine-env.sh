# Sourced: the environment every Wine run of the project uses.
#   WINEPREFIX   a fresh 64-bit prefix under the build folder (set by the caller)
#   mscoree, mshtml off: no Mono or Gecko download prompt
#   winemenubuilder off: no menu entries or file associations in the home folder
#   winedbg off: a crash ends the process at once instead of waiting on a dialog
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"

# A fresh prefix: the classes root gets no browser command, so that opening
# a page falls back to the window backend's handler (the tests record it).
wine_fresh_prefix() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot --init > "$WINEPREFIX.log" 2>&1 || { cat "$WINEPREFIX.log" >&2; return 1; }
  wine reg delete 'HKCR\http\shell\open\command' /f > /dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f > /dev/null
}

# One wineserver for the whole run: starting Wine afresh costs seconds.
wine_keep_server() {
  wineserver -k 2>/dev/null || true   # the one wineboot left behind
  wineserver -p
  wine cmd /c exit 0 > /dev/null 2>&1 || true
}
