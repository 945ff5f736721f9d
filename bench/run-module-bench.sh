#!/usr/bin/env bash
# The decoder modules against the codec libraries' own tools, in one run: a 24-megapixel JPEG
# (6000 x 4000) and a 12-megapixel 24-bit PNG (4000 x 3000), both photo-like, decoded by
# tovasel_decode (in the process, through the module alone and through the picture loader as the
# viewer loads a file) and, as whole processes taking turns with ours, by djpeg, pngtopnm and
# ImageMagick. Usage: bench/run-module-bench.sh [BUILD_DIR]  (default /tmp/tovasel-bench)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-/tmp/tovasel-bench}
WORK=$BUILD/work-modules
source "$ROOT/scripts/common.sh"
source "$ROOT/bench/timing.sh"
install_missing_packages "${TOVASEL_PACKAGES[@]}"

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVASEL_BENCH=ON -DTOVASEL_TESTS=OFF > /dev/null
cmake --build "$BUILD" --target tovasel_decode -j 2 > /dev/null
DECODE=$BUILD/bin/tovasel_decode
# Call ImageMagick itself, not a wrapper that may sit earlier on PATH.
MAGICK=/usr/bin/convert-im6.q16
mkdir -p "$WORK"

JPEG=$WORK/photo24.jpg
PNG=$WORK/photo12.png
[ -f "$JPEG" ] || "$MAGICK" -seed 1 -size 6000x4000 plasma:fractal -blur 0x2 -quality 90 "$JPEG"
[ -f "$PNG" ] || "$MAGICK" -seed 2 -size 4000x3000 plasma:fractal -blur 0x2 -type TrueColor "PNG24:$PNG"

echo "== $(load_note)"
echo "== peers: $(dpkg-query -W -f='libjpeg-turbo ${Version}' libjpeg62-turbo), $(dpkg-query -W -f='libpng ${Version}' libpng16-16), $(dpkg-query -W -f='netpbm ${Version}' netpbm), $("$MAGICK" -version | sed -n '1s/Version: //p' | cut -d' ' -f1-2)"

for picture in "$JPEG" "$PNG"; do
  echo
  echo "== $(basename "$picture"): in the process, the three ways taking turns (9 runs each)"
  "$DECODE" all "$picture" 9
done

echo
echo "== the JPEG library's own decode into a buffer it reuses (tjbench, 4:4:4, accurate DCT as ours)"
tjbench "$JPEG" -nowrite -benchtime 3 -warmup 1 2>&1 |
  awk '/Frame rate/ { fps = $(NF - 1) } /Throughput/ { mp = $(NF - 1) } END { printf "tjbench %.1f ms a picture (%.0f Mpixel/s)\n", 1000 / fps, mp }'

echo
echo "== whole processes, taking turns (9 rounds; ours loads every module and the picture through the loader)"
interleave 9 \
  "tovasel_decode loader (JPEG)" "'$DECODE' loader '$JPEG' 1" \
  "djpeg -outfile /dev/null" "djpeg -outfile /dev/null '$JPEG'" \
  "djpeg -bmp -outfile /dev/null" "djpeg -bmp -outfile /dev/null '$JPEG'" \
  "convert JPEG ppm:/dev/null" "'$MAGICK' '$JPEG' ppm:/dev/null"
interleave 9 \
  "tovasel_decode loader (PNG)" "'$DECODE' loader '$PNG' 1" \
  "pngtopnm > /dev/null" "pngtopnm '$PNG' > /dev/null" \
  "convert PNG ppm:/dev/null" "'$MAGICK' '$PNG' ppm:/dev/null"
echo "== $(load_note)"
