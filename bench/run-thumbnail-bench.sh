#!/usr/bin/env bash
# The thumbnail strip on a page of ten 24-megapixel JPEGs, on the offscreen platform: the time until
# all ten cells are shown, the memory they hold, and the longest gap between handled events meanwhile.
# Usage: bench/run-thumbnail-bench.sh [BUILD_DIR]  (default /tmp/tovasel-bench)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-/tmp/tovasel-bench}
WORK=$BUILD/work-thumbnails
source "$ROOT/scripts/common.sh"
install_missing_packages "${TOVASEL_PACKAGES[@]}"
TOVASEL_BUILD=$BUILD configure_and_build -DCMAKE_BUILD_TYPE=Release -DTOVASEL_BENCH=ON -DTOVASEL_TESTS=OFF
mkdir -p "$WORK/photos"
for i in $(seq 1 10); do
  [ -f "$WORK/photos/photo$i.jpg" ] || convert -seed "$i" -size 6000x4000 plasma:fractal -blur 0x2 -quality 90 "$WORK/photos/photo$i.jpg"
done
for run in 1 2 3; do
  echo "run $run:"
  QT_QPA_PLATFORM=offscreen "$BUILD/bin/tovasel_thumbnail_page" "$WORK/photos"
done
