#!/usr/bin/env bash
# Starts the desktop program when there is a display; otherwise shows what the
# engine does on a bundled sample through the command-line program.
set -euo pipefail
dir=${1:-build/release}
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" && -x "$dir/vistrel" ]]; then
  exec "$dir/vistrel"
fi
sample="$dir/Samples/coffee-noisy.png"
out="$dir/coffee-enhanced.png"
both="$dir/coffee-before-after.png"
echo "No display: enhancing a bundled sample with vistrel-cli --auto instead of starting the desktop program."
"$dir/vistrel-cli" --auto --overwrite -o "$out" --before-after "$both" "$sample"
echo "The result is in $out (compare it with $sample);"
echo "$both shows the sample's left half beside the result's right half."
