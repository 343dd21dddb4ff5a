#!/usr/bin/env bash
# Starts the desktop program when there is a display; otherwise shows what the
# engine does on a bundled sample through the command-line program.
set -euo pipefail
dir=${1:-build/release}
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" && -x "$dir/vistrel" ]]; then
  exec "$dir/vistrel"
fi
if [[ -x "$dir/vistrel-cli" ]]; then
  sample="$dir/Samples/$(ls "$dir/Samples" | grep -iE '\.(png|jpe?g|bmp|tiff?)$' | head -1)"
  out="$dir/sample-enhanced.png"
  "$dir/vistrel-cli" -o "$out" --overwrite "$sample"
  echo "Enhanced $sample -> $out"
  exit 0
fi
echo "Built in $dir; the desktop program and the command-line program are not part of this build yet."
