#!/usr/bin/env bash
# ZIP downloads and thumbnails against HFS 3 (npm "hfs") and the raw tools,
# in one run, on a tmpfs tree:
#   1. CRC-32: zlib against libdeflate on 256 KiB pieces (GB/s);
#   2. the ZIP download of 10 000 small files plus one 2 GiB file (MB/s),
#      against `cat` of the same files to /dev/null and HFS 3's ZIP of the
#      same folder;
#   3. thumbnails of 50 JPEGs of 12 megapixels: ours per image, cold (ms),
#      against `vipsthumbnail` per image, and a cached hit's latency.
# Ours is the program users run (veltocorvane --headless), sharing the tree
# read-only for guests. HFS is installed from npm into the work folder by this
# script (never in CI).
# Usage: bench/zip/run.sh [build dir]   (default: build-zip)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD="${1:-$ROOT/build-zip}"
OUR_PORT="${OUR_PORT:-18491}"
HFS_PORT="${HFS_PORT:-18492}"
HFS_VERSION="${HFS_VERSION:-0.52.9}"
ROUNDS="${ROUNDS:-3}"
SMALL_FILES=10000
BIG_MIB=2048
IMAGES=50

bench_need curl python3 npm node ffmpeg vipsthumbnail
ninja -C "$BUILD" zip_crc_bench veltocorvane veltocorvane-thumbnailer >/dev/null

bench_work /dev/shm/velto-zip-bench.XXXXXX

echo "== CRC-32 of 256 KiB pieces =="
"$BUILD/bench/zip/zip_crc_bench" --benchmark_min_time=0.5 2>/dev/null | grep -E "^(Zlib|Libdeflate|ZipWriterCrc)"

# The tree: 10 000 files of 1 to 16 KiB in 100 folders, and one 2 GiB file.
TREE="$WORK/share/tree"
mkdir -p "$TREE"
python3 - "$TREE" "$SMALL_FILES" <<'PY'
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
random.seed(7)
for i in range(count):
    folder = os.path.join(root, "small", "d%02d" % (i % 100))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%05d.bin" % i), "wb") as f:
        f.write(os.urandom(random.randint(1024, 16384)))
PY
head -c $((BIG_MIB * 1024 * 1024)) /dev/urandom > "$TREE/big.bin"
TREE_BYTES=$(du -sb --apparent-size "$TREE" | cut -f1)

# 50 photos of 4000 x 3000.
PHOTOS="$WORK/share/photos"
mkdir -p "$PHOTOS"
ffmpeg -loglevel error -f lavfi -i "testsrc2=size=4000x3000:rate=1" -frames:v "$IMAGES" -q:v 3 \
    "$PHOTOS/img%02d.jpg"

# HFS 3 from npm, sharing the same tree.
mkdir -p "$WORK/hfs"
(cd "$WORK/hfs" && npm install --no-audit --no-fund --loglevel=error "hfs@$HFS_VERSION" >/dev/null)
cat > "$WORK/hfs/config.yaml" <<CONF
port: $HFS_PORT
open_browser_at_start: false
localhost_admin: false
vfs:
  children:
    - name: tree
      source: $TREE
CONF
(cd "$WORK/hfs" && exec node_modules/.bin/hfs --cwd "$WORK/hfs" > "$WORK/hfs.out" 2>&1) &
bench_track $!
bench_start_ours "$BUILD" "$WORK/home" "$OUR_PORT" "$WORK/share" '["read"]'

OUR="http://127.0.0.1:$OUR_PORT"
HFS="http://127.0.0.1:$HFS_PORT"
bench_wait_for "$OUR/api/shares" 300 "$WORK/home/ours.out"
bench_wait_for "$HFS/" 300

our_zip_url() {
    curl -s -H 'x-veltocorvane: 1' -H 'Content-Type: application/json' \
        -d '{"share":"bench","path":"","names":["tree"]}' "$OUR/api/zip" |
        python3 -c 'import json,sys; print(json.load(sys.stdin)["url"])'
}

# Both archives must hold the same files before their speed means anything.
# HFS sizes its archive before sending it and answers with an empty body when
# that sizing runs out of time (a cold cache under load): such a reply is
# retried, and counts as a failure in the timed rounds.
curl -s -o "$WORK/our.zip" "$OUR$(our_zip_url)"
hfs_archive_ok() { python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).close()' "$1" 2>/dev/null; }
for _ in 1 2 3 4 5; do
    curl -s -D "$WORK/hfs.head" -o "$WORK/hfs.zip" "$HFS/tree/?get=zip" || true
    hfs_archive_ok "$WORK/hfs.zip" && break
    echo "HFS sent no readable archive ($(stat -c %s "$WORK/hfs.zip") bytes); head:" >&2
    tr -d '\r' < "$WORK/hfs.head" | grep -i -E '^(HTTP|content-length|transfer-encoding)' >&2 || true
    sleep 2
done
python3 - "$WORK/our.zip" "$WORK/hfs.zip" "$SMALL_FILES" <<'PY'
import sys, zipfile
def files(path):
    print("checking", path, file=sys.stderr)
    with zipfile.ZipFile(path) as z:
        bad = z.testzip()
        assert bad is None, (path, bad)
        return sorted((i.filename.split("tree/", 1)[-1], i.file_size)
                      for i in z.infolist() if not i.is_dir())
ours, theirs = files(sys.argv[1]), files(sys.argv[2])
assert len(ours) == int(sys.argv[3]) + 1, len(ours)
assert ours == theirs, "the two archives hold different files"
PY
ZIP_BYTES=$(stat -c %s "$WORK/our.zip")
HFS_ZIP_BYTES=$(stat -c %s "$WORK/hfs.zip")
rm -f "$WORK/our.zip" "$WORK/hfs.zip"

seconds_of() { # command... -> wall seconds
    local start end
    start=$(date +%s.%N)
    "$@" > /dev/null || exit 1
    end=$(date +%s.%N)
    python3 -c "print($end - $start)"
}
cat_tree() { find "$TREE" -type f -print0 | xargs -0 cat > /dev/null; }
download() { # fails unless the whole archive arrived
    local got
    got=$(curl -s -o /dev/null -w '%{size_download}' "$1")
    [ "$got" = "$2" ] || { echo "short download from $1: $got of $2 bytes" >&2; return 1; }
}

cat_rates=(); our_rates=(); hfs_rates=(); hfs_empty=0
for _ in $(seq 1 "$ROUNDS"); do
    cat_rates+=("$(bench_mbps "$TREE_BYTES" "$(seconds_of cat_tree)")")
    url="$OUR$(our_zip_url)"
    our_rates+=("$(bench_mbps "$ZIP_BYTES" "$(seconds_of download "$url" "$ZIP_BYTES")")")
    # HFS's empty replies (see above) are retried; only a whole archive is timed.
    for _ in 1 2 3 4 5; do
        t=$(seconds_of download "$HFS/tree/?get=zip" "$HFS_ZIP_BYTES" 2>/dev/null) && break
        hfs_empty=$((hfs_empty + 1))
        t=""
    done
    [ -n "$t" ] || { echo "HFS sent no whole archive in five tries"; exit 1; }
    hfs_rates+=("$(bench_mbps "$HFS_ZIP_BYTES" "$t")")
done
cat_rate=$(bench_best max "${cat_rates[@]}")
our_rate=$(bench_best max "${our_rates[@]}")
hfs_rate=$(bench_best max "${hfs_rates[@]}")

# Thumbnails: every image once, cold, one after the other.
thumb() { curl -s -o /dev/null -w '%{http_code} %{time_total}\n' "$OUR/api/thumb?share=bench&path=photos/$1&size=256"; }
our_total=0
for i in $(seq -w 1 "$IMAGES"); do
    read -r code t < <(thumb "img$i.jpg")
    [ "$code" = 200 ] || { echo "thumbnail of img$i.jpg: HTTP $code"; exit 1; }
    our_total=$(python3 -c "print($our_total + $t)")
done
our_thumb_ms=$(python3 -c "print(round($our_total * 1000 / $IMAGES, 1))")
vips_start=$(date +%s.%N)
for i in $(seq -w 1 "$IMAGES"); do
    vipsthumbnail "$PHOTOS/img$i.jpg" -s 256 -o "$WORK/vips-%s.jpg[Q=85]"
done
vips_end=$(date +%s.%N)
vips_thumb_ms=$(python3 -c "print(round(($vips_end - $vips_start) * 1000 / $IMAGES, 1))")
hit_total=0
for _ in $(seq 1 100); do
    read -r code t < <(thumb "img01.jpg")
    hit_total=$(python3 -c "print($hit_total + $t)")
done
hit_ms=$(python3 -c "print(round($hit_total * 1000 / 100, 2))")

echo "best of $ROUNDS rounds; load average now: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "HFS answered $hfs_empty timed request(s) with an empty archive (retried, not timed)"
echo "tree: $SMALL_FILES files of 1-16 KiB and one $BIG_MIB MiB file, $TREE_BYTES bytes on tmpfs"
printf '%-40s %12s %12s %8s\n' "measure" "ours" "peer" "ratio"
printf '%-40s %12s %12s %8s\n' "ZIP download vs cat to /dev/null (MB/s)" "$our_rate" "$cat_rate" "$(bench_ratio "$our_rate" "$cat_rate")"
printf '%-40s %12s %12s %8s\n' "ZIP download vs HFS 3 ZIP (MB/s)" "$our_rate" "$hfs_rate" "$(bench_ratio "$our_rate" "$hfs_rate")"
printf '%-40s %12s %12s %8s\n' "12 MP JPEG thumbnail, cold (ms, lower)" "$our_thumb_ms" "$vips_thumb_ms" "$(bench_ratio "$our_thumb_ms" "$vips_thumb_ms")"
printf '%-40s %12s %12s\n' "cached thumbnail, curl round trip (ms)" "$hit_ms" "-"
