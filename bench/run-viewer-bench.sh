#!/usr/bin/env bash
# The viewer against feh and qimgv in one run, under Xvfb: the time from start to the first fitted
# picture of a 24-megapixel JPEG, the time of one step in a folder of such photos, and the scan of a
# 100,000-file tree against find with the same 12 masks. Usage: bench/run-viewer-bench.sh [BUILD_DIR]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-/tmp/tovasel-bench}
WORK=$BUILD/work-viewer
source "$ROOT/scripts/common.sh"
install_missing_packages "${TOVASEL_PACKAGES[@]}" feh qimgv
TOVASEL_BUILD=$BUILD configure_and_build -DCMAKE_BUILD_TYPE=Release -DTOVASEL_BENCH=ON -DTOVASEL_TESTS=OFF
MAGICK=/usr/bin/convert-im6.q16
mkdir -p "$WORK/photos"

# Five different 24-megapixel photos (6000 x 4000).
for i in 1 2 3 4 5; do
  [ -f "$WORK/photos/photo$i.jpg" ] || "$MAGICK" -seed "$i" -size 6000x4000 plasma:fractal -blur 0x2 -quality 90 "$WORK/photos/photo$i.jpg"
done
PHOTO=$WORK/photos/photo1.jpg

# Median of five wall-clock runs of a command, in milliseconds.
median_ms() {
  local runs=()
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null 2>&1 || true
    end=$(date +%s%N)
    runs+=($(( (end - start) / 1000000 )))
  done
  printf '%s\n' "${runs[@]}" | sort -n | sed -n 3p
}

# One X server for every run, so none pays for starting it.
export DISPLAY=:97
Xvfb "$DISPLAY" -screen 0 1920x1080x24 > /dev/null 2>&1 &
XVFB=$!
trap 'kill $XVFB' EXIT
sleep 1

FIRST=$BUILD/bin/tovasel_first_paint
echo "== first fitted picture of a 24 MP JPEG (median of 5, ms)"
ours=$(median_ms "$FIRST" "$PHOTO")
feh=$(median_ms timeout 60 feh --cycle-once --slideshow-delay 0.001 "$PHOTO")
echo "tovasel $ours   feh $feh"

echo "== one step in a folder of 24 MP JPEGs: (5 pictures - 1 picture) / 4 (median of 5, ms)"
ours5=$(median_ms "$FIRST" "$WORK/photos" 5)
feh5=$(median_ms timeout 120 feh --cycle-once --slideshow-delay 0.001 "$WORK/photos")
echo "tovasel $(( (ours5 - ours) / 4 ))   feh $(( (feh5 - feh) / 4 ))"

if command -v qimgv > /dev/null; then
  # qimgv has no way to quit after showing a picture: the time until its window shows is taken
  # from a screenshot poll, which only bounds it from above.
  echo "== qimgv: time until its window appears on the 24 MP JPEG (ms, upper bound)"
  start=$(date +%s%N)
  qimgv "$PHOTO" > /dev/null 2>&1 &
  pid=$!
  until xwininfo -root -tree 2>/dev/null | grep -qi qimgv; do sleep 0.02; done
  end=$(date +%s%N)
  kill "$pid" 2>/dev/null || true
  echo "qimgv $(( (end - start) / 1000000 ))"
fi

echo "== scan of a 100,000-file tree with the 12 masks (median of 5, warm cache, ms)"
TREE=$WORK/tree
if [ ! -d "$TREE" ]; then
  python3 - "$TREE" <<'EOF'
import os, sys
root = sys.argv[1]
extensions = [".jpg", ".JPG", ".png", ".txt", ".webp", ".tif", ".dat", ".bmp", ".Jpeg", ".xml"]
for folder in range(1000):
    path = os.path.join(root, "d%02d" % (folder % 50), "sub%04d" % folder)
    os.makedirs(path, exist_ok=True)
    for i in range(100):
        open(os.path.join(path, "file%03d%s" % (i, extensions[(i + folder) % len(extensions)])), "w").close()
EOF
fi
masks=()
for e in svg avif jpg jpeg png bmp gif webp ico tif tiff tga; do masks+=(-o -iname "*.$e"); done
"$BUILD/bin/tovasel_scan" "$TREE" > /dev/null
scan=$(median_ms "$BUILD/bin/tovasel_scan" "$TREE")
find_ms=$(median_ms find "$TREE" -type f \( "${masks[@]:1}" \))
echo "tovasel $scan   find $find_ms   ($("$BUILD/bin/tovasel_scan" "$TREE") files listed)"
