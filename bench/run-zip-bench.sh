#!/usr/bin/env bash
# Measures the ZIP facility against its peers in one run: the viewer's listing of a 1,000-photo
# archive (every entry extracted and deleted, one after another) against `unzip -o -q` extracting the
# same archive, and our deflate64 decoder against zlib's inflate on the same data.
# Usage: bench/run-zip-bench.sh [BUILD_DIR]  (default /tmp/tovasel-zip-bench)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-/tmp/tovasel-zip-bench}
WORK=$BUILD/work
source "$ROOT/scripts/common.sh"
install_missing_packages "${TOVASEL_PACKAGES[@]}"

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVASEL_BENCH=ON -DTOVASEL_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target zip_bench -j 2 >/dev/null
ZIP_BENCH=$BUILD/bin/zip_bench
mkdir -p "$WORK"

# 1,000 photo-sized files: random bytes (what JPEG data looks like to deflate), stored; and the same
# count of compressible files, deflated.
make_archives() {
  local photos=$WORK/photos texts=$WORK/texts
  rm -rf "$photos" "$texts"
  mkdir -p "$photos" "$texts"
  python3 - "$photos" "$texts" <<'PY'
import os, random, sys
photos, texts = sys.argv[1], sys.argv[2]
random.seed(7)
words = [bytes(random.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(random.randint(2, 9))) for _ in range(3000)]
pool = b" ".join(random.choice(words) for _ in range(250000))
for i in range(1000):
    size = random.randint(200_000, 500_000)
    with open(os.path.join(photos, "IMG_%04d.jpg" % i), "wb") as f:
        f.write(os.urandom(size))
    start = random.randrange(len(pool) - size)
    with open(os.path.join(texts, "page_%04d.txt" % i), "wb") as f:
        f.write(pool[start:start + size])
PY
  (cd "$photos" && zip -q -0 "$WORK/photos-stored.zip" ./*.jpg)
  (cd "$texts" && zip -q -6 "$WORK/texts-deflated.zip" ./*.txt)
  rm -rf "$photos" "$texts"
}
[ -f "$WORK/photos-stored.zip" ] && [ -f "$WORK/texts-deflated.zip" ] || make_archives

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

SCRATCH=$WORK/temp
echo "== listing 1,000 entries (best of three, ms)"
printf '%-22s %10s %10s %7s\n' archive TZipFile unzip ratio
for archive in photos-stored texts-deflated; do
  ours=$(best_of_three "$ZIP_BENCH" list "$WORK/$archive.zip" "$SCRATCH")
  theirs=$(best_of_three unzip -o -q "$WORK/$archive.zip" -d "$SCRATCH")
  rm -rf "$SCRATCH"
  printf '%-22s %10s %10s %7s\n' "$archive" "$ours" "$theirs" "$(awk "BEGIN { printf \"%.2f\", $ours / $theirs }")"
done

echo
echo "== decoding in memory: deflate64 (ours) against deflate (zlib), both made by 7z from the same data"
DATA=$WORK/data
rm -rf "$DATA" "$WORK/d64.zip" "$WORK/deflate.zip"
mkdir -p "$DATA"
unzip -q -p "$WORK/texts-deflated.zip" 'page_00*.txt' > "$DATA/pages.txt"  # 100 pages, ~35 MB
(cd "$DATA" && 7z a -tzip -mm=Deflate64 "$WORK/d64.zip" pages.txt >/dev/null &&
  7z a -tzip -mm=Deflate "$WORK/deflate.zip" pages.txt >/dev/null)
"$ZIP_BENCH" decode "$WORK/d64.zip" "$WORK/deflate.zip"
rm -rf "$DATA"
