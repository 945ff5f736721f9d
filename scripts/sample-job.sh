#!/usr/bin/env bash
# The sample job: shows the bundled pictures' headers and converts each into every pixel format,
# into build/samples-out/.
set -euo pipefail
kpdib=$1
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/samples-out"
mkdir -p "$out"
for sample in "$root"/samples/*.bmp; do
  name=$(basename "$sample" .bmp)
  echo "== $name"
  "$kpdib" info "$sample" | paste -sd' '
  for format in 1bit 4bit 4bitrle 8bit 8bitrle 24bit halftone halftonebw; do
    if "$kpdib" convert "$sample" "$out/$name-$format.bmp" --to "$format" --mode fine 2>"$out/error.txt"; then
      printf '  %-10s %8d bytes\n' "$format" "$(stat -c %s "$out/$name-$format.bmp")"
    else
      printf '  %-10s %s\n' "$format" "$(cat "$out/error.txt")"
    fi
  done
done
rm -f "$out/error.txt"
echo "Converted pictures are in $out"
