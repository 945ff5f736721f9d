#!/usr/bin/env bash
# Measures the DIB library on a 12-megapixel picture and times ImageMagick doing the same work on the
# same file, in one run. Usage: bench/run-dib-bench.sh [BUILD_DIR]  (default /tmp/tovasel-bench)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-/tmp/tovasel-bench}
WORK=$BUILD/work
source "$ROOT/scripts/common.sh"
install_missing_packages "${TOVASEL_PACKAGES[@]}" imagemagick

TOVASEL_BUILD=$BUILD configure_and_build -DCMAKE_BUILD_TYPE=Release -DTOVASEL_BENCH=ON -DTOVASEL_TESTS=OFF
mkdir -p "$WORK"
# Call ImageMagick itself, not a wrapper that may sit earlier on PATH.
MAGICK=/usr/bin/convert-im6.q16

PHOTO=$WORK/photo.bmp
if [ ! -f "$PHOTO" ]; then
  "$MAGICK" -seed 7 -size 4000x3000 plasma:fractal -blur 0x1 -type TrueColor "BMP3:$PHOTO"
fi

# The halftone palette as a picture of its 210 cube colours, for ImageMagick's -remap.
HALFTONE=$WORK/halftone.ppm
{
  echo "P3 210 1 255"
  for r in 0 51 102 153 204 255; do
    for g in 0 43 85 128 171 214 255; do
      for b in 0 64 128 192 255; do echo "$r $g $b"; done
    done
  done
} > "$HALFTONE"

# Best of three wall-clock runs, in milliseconds.
best_of_three() {
  local best=""
  for _ in 1 2 3; do
    local start end took
    start=$(date +%s%N)
    "$@" > /dev/null
    end=$(date +%s%N)
    took=$(( (end - start) / 1000000 ))
    if [ -z "$best" ] || [ "$took" -lt "$best" ]; then best=$took; fi
  done
  echo "$best"
}

echo "== dib_bench (library calls on the picture in memory)"
TOVASEL_BENCH_PHOTO=$PHOTO "$BUILD/bin/dib_bench" --benchmark_min_time=1

echo
echo "== whole commands, file in and file out (best of three, ms)"
KPDIB=$BUILD/bin/kpdib
OUT=$WORK/out.bmp
printf '%-28s %10s %12s\n' task kpdib imagemagick
row() {
  local task=$1 ours theirs
  shift
  ours=$(best_of_three "$KPDIB" convert "$PHOTO" "$OUT" "${@:1:$(($# - 1))}")
  theirs=$(best_of_three bash -c "${*: -1}")
  printf '%-28s %10s %12s\n' "$task" "$ours" "$theirs"
}
row "read + write 24 bit" --to 24bit "'$MAGICK' '$PHOTO' -type TrueColor 'BMP3:$OUT'"
row "256 colours, no dither" --to 8bit "'$MAGICK' '$PHOTO' +dither -colors 256 'BMP3:$OUT'"
row "256 colours, fine" --to 8bit --mode fine "'$MAGICK' '$PHOTO' +dither -colors 256 'BMP3:$OUT'"
row "16 colours, no dither" --to 4bit "'$MAGICK' '$PHOTO' +dither -colors 16 'BMP3:$OUT'"
row "16 colours, fine" --to 4bit --mode fine "'$MAGICK' '$PHOTO' +dither -colors 16 'BMP3:$OUT'"
row "halftone palette, diffused" --to halftone "'$MAGICK' '$PHOTO' -dither FloydSteinberg -remap '$HALFTONE' 'BMP3:$OUT'"
row "black and white, diffused" --to halftonebw "'$MAGICK' '$PHOTO' -dither FloydSteinberg -monochrome 'BMP3:$OUT'"
row "8 bit RLE" --to 8bitrle "'$MAGICK' '$PHOTO' +dither -colors 256 -compress RLE 'BMP3:$OUT'"
rm -f "$OUT"
