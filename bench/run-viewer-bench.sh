#!/usr/bin/env bash
# The viewer against feh and qimgv in one run, under Xvfb: the time from start to the first fitted
# picture of a 24-megapixel JPEG, the time of one step in a folder of such photos, and the scan of a
# 100,000-file tree against find with the same 12 masks. Usage: bench/run-viewer-bench.sh [BUILD_DIR]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-/tmp/tovasel-bench}
WORK=$BUILD/work-viewer
source "$ROOT/scripts/common.sh"
source "$ROOT/bench/timing.sh"
install_missing_packages "${TOVASEL_PACKAGES[@]}" feh qimgv xdotool x11-utils

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVASEL_BENCH=ON -DTOVASEL_TESTS=OFF > /dev/null
cmake --build "$BUILD" --target tovasel_first_paint tovasel_screen_watch tovasel_scan -j 2 > /dev/null
FIRST=$BUILD/bin/tovasel_first_paint
WATCH=$BUILD/bin/tovasel_screen_watch
MAGICK=/usr/bin/convert-im6.q16
mkdir -p "$WORK/photos"

# Five different 24-megapixel photos (6000 x 4000).
for i in 1 2 3 4 5; do
  [ -f "$WORK/photos/photo$i.jpg" ] || "$MAGICK" -seed "$i" -size 6000x4000 plasma:fractal -blur 0x2 -quality 90 "$WORK/photos/photo$i.jpg"
done
PHOTO=$WORK/photos/photo1.jpg

# One X server for every run, so none pays for starting it; a display number nobody uses.
display=97
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
export DISPLAY=:$display
Xvfb "$DISPLAY" -screen 0 1920x1080x24 -nolisten tcp > /dev/null 2>&1 &
XVFB=$!
trap 'kill $XVFB' EXIT
for _ in $(seq 50); do xdpyinfo > /dev/null 2>&1 && break; sleep 0.1; done

echo "== $(load_note)"
echo "== peers: feh $(dpkg-query -W -f='${Version}' feh), qimgv $(dpkg-query -W -f='${Version}' qimgv), $(find --version | head -1)"

# feh at the size of our window, the picture fitted into it as ours is; it quits after its last
# picture once its slide show has moved on (a delay of 1 ms: the picture has been drawn by then).
FEH="feh -g 800x500 --scale-down --on-last-slide quit --slideshow-delay 0.001"
echo
echo "== whole processes, start to quit after the last picture (7 rounds, taking turns)"
interleave 7 \
  "tovasel, first picture" "'$FIRST' '$PHOTO'" \
  "feh, first picture" "$FEH '$PHOTO'" \
  "tovasel, 5 pictures of the folder" "'$FIRST' '$WORK/photos' 5" \
  "feh, 5 pictures of the folder" "$FEH '$WORK/photos'"
echo "one step (5 pictures - first picture) / 4:" \
  "tovasel $(awk -v a="${MEDIAN[tovasel, 5 pictures of the folder]}" -v b="${MEDIAN[tovasel, first picture]}" 'BEGIN { printf "%.0f", (a - b) / 4 }') ms," \
  "feh $(awk -v a="${MEDIAN[feh, 5 pictures of the folder]}" -v b="${MEDIAN[feh, first picture]}" 'BEGIN { printf "%.0f", (a - b) / 4 }') ms"

# All three viewers timed by what the screen shows: start to the first photo on the screen, then the
# key Right four times, each step from the key to the next photo on the screen.
echo
echo "== by the screen: start to the photo shown, and key Right to the next photo (5 rounds, taking turns)"
declare -A FIRSTS=() STEPS=()
for _ in 1 2 3 4 5; do
  for viewer in tovasel feh qimgv; do
    case $viewer in
      tovasel) command=("$FIRST" "$WORK/photos" 0) ;;
      feh) command=(feh -g 800x500 --scale-down "$WORK/photos") ;;
      qimgv) command=(qimgv "$PHOTO") ;;
    esac
    if ! read -r _ first _ steps < <(timeout 300 "$WATCH" 5 "${command[@]}" 2> /dev/null); then
      echo "$viewer: no figure in this round" >&2
      continue
    fi
    FIRSTS[$viewer]+="$first "
    STEPS[$viewer]+="$steps "
  done
done
median_of() { tr ' ' '\n' <<< "$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { printf "%.0f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
printf '%-10s %16s %16s   %s\n' viewer "first photo ms" "median step ms" "all steps"
for viewer in tovasel feh qimgv; do
  printf '%-10s %16s %16s   %s\n' "$viewer" "$(median_of "${FIRSTS[$viewer]}")" "$(median_of "${STEPS[$viewer]}")" "${STEPS[$viewer]}"
done

echo
echo "== scan of a 100,000-file tree with the 12 masks (warm cache, 7 rounds, taking turns)"
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
masks=""
for e in svg avif jpg jpeg png bmp gif webp ico tif tiff tga; do masks+=" -o -iname '*.$e'"; done
FIND="find '$TREE' -type f \\( ${masks# -o } \\)"
ours_count=$("$BUILD/bin/tovasel_scan" "$TREE")
find_count=$(eval "$FIND" | wc -l)
echo "files listed: tovasel $ours_count, find $find_count"
interleave 7 \
  "tovasel_scan" "'$BUILD/bin/tovasel_scan' '$TREE'" \
  "find, 12 masks" "$FIND"
echo "ratio tovasel / find: $(ratio "${MEDIAN[tovasel_scan]}" "${MEDIAN[find, 12 masks]}")"
echo "== $(load_note)"
