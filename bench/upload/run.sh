#!/usr/bin/env bash
# Uploads, in one run on one file system (BENCH_DIR, default /var/tmp):
#   1. one 1 GiB upload with curl -T against dd writing the same bytes with
#      conv=fdatasync (MB/s): our server has the file on the disk before it
#      answers, so a flushed dd is the bound it can approach;
#   2. 2 000 files of 4 KiB over 8 parallel connections (files/s, curl
#      --parallel) against HFS 3 (npm "hfs", installed by this script into
#      the build folder and configured to take uploads from anyone).
# Ours is the program users run (veltocorvane --headless) with a share that
# takes uploads from guests. The servers alternate for ROUNDS rounds
# (default 3); each keeps its best.
# Everything runs in a network namespace of its own that has only loopback:
# HFS looks for routers and public addresses when it starts, and no packet
# of a benchmark may leave the machine.
# Usage: bench/upload/run.sh [build dir]   (default: build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
HFS_VERSION="${HFS_VERSION:-0.52.9}"
HFS_PREFIX="$BUILD/bench/upload/hfs-$HFS_VERSION"
HFS_MAIN="$HFS_PREFIX/node_modules/hfs/src/index.js"
OUR_PORT="${OUR_PORT:-18491}"
HFS_PORT="${HFS_PORT:-18492}"
ROUNDS="${ROUNDS:-3}"
BIG_MIB=1024
SMALL_FILES=2000
SMALL_BYTES=4096
PARALLEL=8

if [ -z "${VELTO_UPLOAD_BENCH_NETNS:-}" ]; then
    bench_need curl dd node npm python3 unshare ip
    [ -x "$BUILD/app/veltocorvane" ] || { echo "build it first: ninja -C $BUILD veltocorvane"; exit 1; }
    # The peer comes from the npm registry, for this benchmark only.
    if [ ! -f "$HFS_MAIN" ]; then
        echo "Installing hfs $HFS_VERSION into $HFS_PREFIX"
        mkdir -p "$HFS_PREFIX"
        npm install --prefix "$HFS_PREFIX" --no-audit --no-fund --loglevel=error "hfs@$HFS_VERSION"
    fi
    unshare_flags=(--net)
    [ "$(id -u)" -eq 0 ] || unshare_flags=(--map-root-user --net)
    exec unshare "${unshare_flags[@]}" env VELTO_UPLOAD_BENCH_NETNS=1 "$0" "$BUILD"
fi

ip link set lo up
bench_work "${BENCH_DIR:-/var/tmp}/velto-upload-bench.XXXXXX"

mkdir -p "$WORK/src" "$WORK/ours" "$WORK/peer" "$WORK/dd" "$WORK/hfs"
head -c $((BIG_MIB * 1024 * 1024)) /dev/zero > "$WORK/src/big.bin"
python3 - "$WORK/src" "$SMALL_FILES" "$SMALL_BYTES" <<'PY'
import os, sys
folder, count, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
os.makedirs(os.path.join(folder, "small"))
for i in range(count):
    with open(os.path.join(folder, "small", "f%04d.bin" % i), "wb") as f:
        f.write(os.urandom(size))
PY

cat > "$WORK/hfs/config.yaml" <<CONF
port: $HFS_PORT
listen_interface: 127.0.0.1
open_browser_at_start: false
log: ''
error_log: ''
enable_plugins: []
vfs:
  children:
    - name: up
      source: $WORK/peer
      can_upload: true
CONF

bench_start_ours "$BUILD" "$WORK/home" "$OUR_PORT" "$WORK/ours" '["read", "write"]'
node "$HFS_MAIN" --cwd "$WORK/hfs" > "$WORK/hfs.out" 2>&1 &
bench_track $!

OUR="http://127.0.0.1:$OUR_PORT/files/bench"
PEER="http://127.0.0.1:$HFS_PORT/up"
bench_wait_for "http://127.0.0.1:$OUR_PORT/api/shares" 300 "$WORK/home/ours.out"
bench_wait_for "$PEER/" 200 "$WORK/hfs.out"

mbps() { python3 -c "print(round($1 / ($3 - $2) / 1e6, 1))"; }
per_second() { python3 -c "print(round($1 / ($3 - $2), 1))"; }

BIG_BYTES=$((BIG_MIB * 1024 * 1024))
big_upload() { # MB/s of one 1 GiB upload to our server, checked by size
    local start end code
    start=$(bench_now)
    code=$(curl -s -o /dev/null -w '%{http_code}' -H 'x-veltocorvane: 1' -T "$WORK/src/big.bin" "$OUR/big.bin")
    end=$(bench_now)
    [ "$code" = 201 ] && [ "$(stat -c %s "$WORK/ours/big.bin")" = "$BIG_BYTES" ] || { echo "upload failed: $code"; exit 1; }
    rm -f "$WORK/ours/big.bin"
    mbps "$BIG_BYTES" "$start" "$end"
}
big_dd() {
    local start end
    start=$(bench_now)
    dd if="$WORK/src/big.bin" of="$WORK/dd/big.bin" bs=1M conv=fdatasync status=none
    end=$(bench_now)
    rm -f "$WORK/dd/big.bin"
    mbps "$BIG_BYTES" "$start" "$end"
}
# files/s of SMALL_FILES uploads over PARALLEL connections into a new folder;
# every file must arrive with its size.
small_uploads() { # base URL, folder on disk, round
    local base="$1" folder="$2/r$3" list="$WORK/curl-$3-$(basename "$2").cfg" start end count
    mkdir -p "$folder"
    : > "$list"
    for f in "$WORK"/src/small/*.bin; do
        printf 'upload-file = "%s"\nurl = "%s/r%s/%s"\noutput = "/dev/null"\n' "$f" "$base" "$3" "$(basename "$f")" >> "$list"
    done
    start=$(bench_now)
    # No "Expect: 100-continue": HFS never answers it, and curl would wait a
    # second on every file before sending it.
    curl -s --no-progress-meter --parallel --parallel-max "$PARALLEL" \
        -H 'x-veltocorvane: 1' -H 'Expect:' -K "$list"
    end=$(bench_now)
    count=$(find "$folder" -type f -size "${SMALL_BYTES}c" | wc -l)
    [ "$count" = "$SMALL_FILES" ] || { echo "$base: $count of $SMALL_FILES files arrived"; exit 1; }
    rm -rf "$folder"
    per_second "$SMALL_FILES" "$start" "$end"
}

# Warm both up once, then take turns, so a busy machine slows both alike.
curl -s -o /dev/null -H 'x-veltocorvane: 1' -T "$WORK/src/small/f0000.bin" "$OUR/warm.bin"
curl -s -o /dev/null -H 'Expect:' -T "$WORK/src/small/f0000.bin" "$PEER/warm.bin"
our_big=(); dd_big=(); our_small=(); peer_small=()
for round in $(seq 1 "$ROUNDS"); do
    our_big+=("$(big_upload)")
    dd_big+=("$(big_dd)")
    our_small+=("$(small_uploads "$OUR" "$WORK/ours" "$round")")
    peer_small+=("$(small_uploads "$PEER" "$WORK/peer" "$round")")
done
our_big=$(bench_best max "${our_big[@]}"); dd_big=$(bench_best max "${dd_big[@]}")
our_small=$(bench_best max "${our_small[@]}"); peer_small=$(bench_best max "${peer_small[@]}")

echo "best of $ROUNDS alternating rounds on $(df --output=fstype "$WORK" | tail -1) ($WORK); load average now: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-44s %12s %12s %8s\n' "measure" "ours" "peer" "ratio"
printf '%-44s %12s %12s %8s\n' "1 GiB upload vs dd conv=fdatasync (MB/s)" "$our_big" "$dd_big" "$(bench_ratio "$our_big" "$dd_big")"
printf '%-44s %12s %12s %8s\n' "$SMALL_FILES x 4 KiB, $PARALLEL conns, vs HFS $HFS_VERSION (files/s)" "$our_small" "$peer_small" "$(bench_ratio "$our_small" "$peer_small")"
