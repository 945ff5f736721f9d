#!/usr/bin/env bash
# Measures the ZIP facility against its peers in one run: the viewer's listing of a 1,000-photo
# archive (every entry extracted and deleted, one after another) against `unzip -o -q` extracting the
# same archive, the ZIP part of showing one entry against unzip extracting that entry, and our
# deflate64 decoder against zlib's inflate on the same data.
# Usage: bench/run-zip-bench.sh [BUILD_DIR]  (default /tmp/tovasel-bench)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-/tmp/tovasel-bench}
WORK=$BUILD/work-zip
source "$ROOT/scripts/common.sh"
source "$ROOT/bench/timing.sh"
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

echo "== $(load_note)"
echo "== peers: $(unzip -v | head -1 | cut -d' ' -f1-2), zlib $(dpkg-query -W -f='${Version}' zlib1g), libzip $(dpkg-query -W -f='${Version}' libzip4), $(7z | sed -n 2p | cut -d' ' -f1-3)"

SCRATCH=$WORK/temp
echo
echo "== listing 1,000 entries (5 rounds, taking turns; unzip's files are removed between runs, untimed)"
for archive in photos-stored texts-deflated; do
  INTERLEAVE_SETUP="rm -rf '$SCRATCH.unzip'; sync"
  interleave 5 \
    "$archive: TZipFile" "'$ZIP_BENCH' list '$WORK/$archive.zip' '$SCRATCH'" \
    "$archive: unzip -o -q" "unzip -o -q '$WORK/$archive.zip' -d '$SCRATCH.unzip'"
  INTERLEAVE_SETUP=""
  rm -rf "$SCRATCH.unzip"
  echo "ratio TZipFile / unzip: $(ratio "${MEDIAN[$archive: TZipFile]}" "${MEDIAN[$archive: unzip -o -q]}")"
done

echo
echo "== the ZIP part of showing one entry of the 1,000 (archive opened anew, entry extracted and deleted)"
for archive in photos-stored texts-deflated; do
  echo "$archive: in the process, median of 50 entries: $("$ZIP_BENCH" show "$WORK/$archive.zip" "$SCRATCH") ms"
  name=$(unzip -Z1 "$WORK/$archive.zip" | sed -n 501p)
  mkdir -p "$SCRATCH.unzip"
  interleave 15 \
    "$archive: zip_bench show (process)" "'$ZIP_BENCH' show '$WORK/$archive.zip' '$SCRATCH' 500" \
    "$archive: unzip -p one entry" "unzip -p '$WORK/$archive.zip' '$name' > '$SCRATCH.unzip/$name'"
  rm -rf "$SCRATCH.unzip"
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
echo "== $(load_note)"
