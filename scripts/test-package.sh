#!/usr/bin/env bash
# Checks the Debian package in dist/ (built by `make package` when missing):
# lintian finds no errors, AppStream accepts the metainfo, and on this
# machine it installs, runs, finds its files and removes without a trace.
# Needs root for apt-get; the package is removed again in every case.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=dist/vistrel_1.3.0-1_amd64.deb
[[ -f $deb ]] || make --no-print-directory package
[[ $(id -u) -eq 0 ]] || { echo "test-package.sh: needs root (apt-get install)" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]+"${pids[@]}"}"; do kill "$pid" 2>/dev/null || true; done
  if dpkg-query -W -f='${Status}' vistrel 2>/dev/null | grep -q 'install ok'; then
    DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq vistrel >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

echo "-- lintian"
lintian --tag-display-limit 0 "$deb" | tee "$work/lintian.txt" || true
! grep -q '^E: ' "$work/lintian.txt" || fail "lintian reports errors"
echo "-- appstreamcli"
appstreamcli validate --no-net packaging/vistrel.metainfo.xml

if dpkg-query -W -f='${Status}' vistrel 2>/dev/null | grep -q 'install ok'; then
  fail "vistrel is installed already; remove it first"
fi
# Every file outside the volatile places: caches that the desktop's triggers
# rebuild are not ours.
snapshot() {
  find /usr /etc /opt -xdev 2>/dev/null | grep -v -e '/icon-theme\.cache$' -e '/mimeinfo\.cache$' | sort
}
snapshot > "$work/before.txt"

echo "-- apt-get install"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null
for f in /usr/bin/vistrel /usr/bin/vistrel-cli /usr/lib/vistrel/vistrel /usr/lib/vistrel/Help/index.html \
         /usr/lib/vistrel/Samples/astronaut-small.png /usr/share/applications/vistrel.desktop \
         /usr/share/metainfo/com.orbwell.Vistrel.metainfo.xml /usr/share/man/man1/vistrel-cli.1.gz \
         /usr/share/bash-completion/completions/vistrel-cli /usr/share/doc/vistrel/copyright; do
  [[ -e $f ]] || fail "$f not installed"
done
for size in 16 32 48 64 128 256; do
  [[ -f /usr/share/icons/hicolor/${size}x${size}/apps/vistrel.png ]] || fail "no ${size}x${size} icon"
done

echo "-- vistrel-cli on an installed sample"
/usr/bin/vistrel-cli --quiet --preset "Photo 2x zoom" -o "$work/out.png" /usr/lib/vistrel/Samples/astronaut-small.png
info=$(/usr/bin/vistrel-cli info "$work/out.png")
[[ $info == *"PNG 320x320"* ]] || fail "unexpected result: $info"

echo "-- man vistrel-cli"
MANWIDTH=80 man vistrel-cli 2>/dev/null | grep -q -- '--preset NAME' || fail "man vistrel-cli does not render"

echo "-- bash completion"
completion=$(bash -c 'source /usr/share/bash-completion/completions/vistrel-cli
  COMP_WORDS=(vistrel-cli --preset Pho); COMP_CWORD=2; _vistrel_cli; printf "%s\n" "${COMPREPLY[@]}"')
[[ $completion == *'Phone\ camera\ noise'* && $completion == *'Photo\ 4x\ zoom'* ]] ||
  fail "completion of --preset: $completion"

echo "-- the installed vistrel finds its Help and Samples"
# Help > Contents opens the help index beside the program through $BROWSER,
# and only when the file is there; the first Open dialog starts in Samples
# beside it.
display_file="$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -s $display_file ]] && break; sleep 0.1; done
DISPLAY=":$(cat "$display_file")"
export DISPLAY
openbox >/dev/null 2>&1 &
pids+=($!)
# shellcheck disable=SC2016  # $1 is the browser script's own argument
printf '#!/bin/sh\necho "$1" > %s/browsed\n' "$work" > "$work/browser"
chmod +x "$work/browser"
BROWSER="$work/browser" /usr/bin/vistrel >"$work/vistrel.log" 2>&1 &
pids+=($!)
window=""
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --name '^Vistrel$' 2>/dev/null | head -1 || true)
  [[ -n $window ]] && break
  sleep 0.1
done
[[ -n $window ]] || fail "the installed vistrel shows no window"
for _ in $(seq 20); do
  xdotool windowactivate --sync "$window" key --clearmodifiers alt+h c >/dev/null 2>&1 || true
  [[ -s $work/browsed ]] && break
  sleep 0.5
done
[[ $(cat "$work/browsed" 2>/dev/null) == /usr/lib/vistrel/Help/index.html ]] ||
  fail "the help index was not opened from /usr/lib/vistrel/Help: $(cat "$work/browsed" 2>/dev/null)"
[[ -d /usr/lib/vistrel/Samples ]] || fail "no Samples beside the program"

echo "-- apt-get remove --purge"
DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq vistrel >/dev/null
snapshot > "$work/after.txt"
if ! diff "$work/before.txt" "$work/after.txt"; then
  fail "files left behind or removed (above)"
fi
echo "package test passed"
