#!/usr/bin/env bash
# WebDAV, side by side in one run on one file system (BENCH_DIR, default
# /var/tmp), every transfer made by rclone's webdav backend:
#   1. one 1 GiB file, up then down;
#   2. 2 000 files of 4 KiB, up then down;
# against nginx's WebDAV (dav_methods, with the dav-ext module for PROPFIND).
# Ours answers an upload only once the file is on the disk (fdatasync);
# nginx does not wait for the disk, so ours pays for a flush nginx skips.
#   3. PROPFIND Depth 1 of a folder of 10 000 files (the properties rclone
#      asks for) against our own JSON listing of the same folder, and against
#      nginx's PROPFIND of it: the median of REQUESTS requests each, on one
#      kept-alive connection. Ours should take at most 1.5 times its listing.
# Ours is the program users run (veltocorvane --headless) with a share that
# guests may read, write and delete in. The servers alternate for ROUNDS
# rounds (default 3); each keeps its best.
# Everything runs in a network namespace of its own that has only loopback.
# Usage: bench/dav/run.sh [build dir]   (default: build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
OUR_PORT="${OUR_PORT:-18591}"
PEER_PORT="${PEER_PORT:-18592}"
ROUNDS="${ROUNDS:-3}"
REQUESTS="${REQUESTS:-20}"
BIG_MIB=1024
SMALL_FILES=2000
SMALL_BYTES=4096
LISTED=10000

if [ -z "${VELTO_DAV_BENCH_NETNS:-}" ]; then
    bench_need rclone nginx python3 unshare ip curl
    [ -f /usr/lib/nginx/modules/ngx_http_dav_ext_module.so ] ||
        { echo "missing nginx's dav-ext module (scripts/install-deps.sh installs it)"; exit 1; }
    [ -x "$BUILD/app/veltocorvane" ] || { echo "build it first: ninja -C $BUILD veltocorvane"; exit 1; }
    unshare_flags=(--net)
    [ "$(id -u)" -eq 0 ] || unshare_flags=(--map-root-user --net)
    exec unshare "${unshare_flags[@]}" env VELTO_DAV_BENCH_NETNS=1 "$0" "$BUILD"
fi

ip link set lo up
bench_work "${BENCH_DIR:-/var/tmp}/velto-dav-bench.XXXXXX"
mkdir -p "$WORK/src/big" "$WORK/src/small" "$WORK/ours" "$WORK/peer" "$WORK/nginx-tmp"
head -c $((BIG_MIB * 1024 * 1024)) /dev/urandom > "$WORK/src/big/big.bin"
python3 - "$WORK/src/small" "$SMALL_FILES" "$SMALL_BYTES" "$WORK/ours/dir10k" "$WORK/peer/dir10k" "$LISTED" <<'PY'
import os, sys
small, count, size, ours, peer, listed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5], int(sys.argv[6])
for i in range(count):
    with open(os.path.join(small, "f%04d.bin" % i), "wb") as f:
        f.write(os.urandom(size))
for folder in (ours, peer):
    os.makedirs(folder)
    for i in range(listed):
        with open(os.path.join(folder, "item-%05d.txt" % i), "wb") as f:
            f.write(b"x" * (i % 100))
PY

sed -e "s|@WORK@|$WORK|g" -e "s|@PORT@|$PEER_PORT|g" -e "s|@ROOT@|$WORK/peer|g" \
    "$ROOT/bench/dav/nginx.conf.in" > "$WORK/nginx.conf"
nginx -c "$WORK/nginx.conf" -p "$WORK" > "$WORK/nginx.out" 2>&1 &
bench_track $!
bench_start_ours "$BUILD" "$WORK/home" "$OUR_PORT" "$WORK/ours" '["read", "write", "delete"]'
bench_wait_for "http://127.0.0.1:$OUR_PORT/api/shares" 300 "$WORK/home/ours.out"
bench_wait_for "http://127.0.0.1:$PEER_PORT/" 100 "$WORK/nginx-error.log"

export RCLONE_CONFIG=/dev/null
export RCLONE_CONFIG_OURS_TYPE=webdav RCLONE_CONFIG_OURS_URL="http://127.0.0.1:$OUR_PORT/dav/bench"
export RCLONE_CONFIG_PEER_TYPE=webdav RCLONE_CONFIG_PEER_URL="http://127.0.0.1:$PEER_PORT"
export RCLONE_CONFIG_OURS_VENDOR=other RCLONE_CONFIG_PEER_VENDOR=other

# Seconds one rclone copy takes.
timed_copy() { # from to
    local start end
    start=$(bench_now)
    rclone copy --no-check-dest --transfers 8 "$1" "$2" >/dev/null
    end=$(bench_now)
    python3 -c "print(round($end - $start, 3))"
}

declare -A best
keep_best() { # key seconds
    if [ -z "${best[$1]:-}" ]; then best[$1]=$2; else best[$1]=$(bench_best min "${best[$1]}" "$2"); fi
}

for round in $(seq 1 "$ROUNDS"); do
    for server in ours peer; do
        for kind in big small; do
            rclone purge "$server:up-$kind" >/dev/null 2>&1 || true
            rm -rf "$WORK/down-$kind"
            keep_best "$server-$kind-up" "$(timed_copy "$WORK/src/$kind" "$server:up-$kind")"
            keep_best "$server-$kind-down" "$(timed_copy "$server:up-$kind" "$WORK/down-$kind")"
            cmp -s "$WORK/src/big/big.bin" "$WORK/down-big/big.bin" 2>/dev/null || [ "$kind" = small ] ||
                { echo "round $round: $server returned a different big file"; exit 1; }
        done
    done
    echo "round $round done (load $(bench_load))"
done

listing=$(python3 - "$OUR_PORT" "$PEER_PORT" "$REQUESTS" <<'PY'
import http.client, statistics, sys, time
ours, peer, requests = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
body = ('<?xml version="1.0" encoding="utf-8" ?><D:propfind xmlns:D="DAV:"><D:prop>'
        '<D:displayname/><D:getlastmodified/><D:getcontentlength/><D:resourcetype/>'
        '<D:getcontenttype/></D:prop></D:propfind>')
def median(port, method, path, payload, headers, expect):
    connection = http.client.HTTPConnection("127.0.0.1", port)
    times = []
    for _ in range(requests + 2):
        start = time.perf_counter()
        connection.request(method, path, body=payload, headers=headers)
        reply = connection.getresponse()
        data = reply.read()
        times.append(time.perf_counter() - start)
        assert reply.status == expect, (port, path, reply.status)
        assert data.count(b"item-") >= 10000, (port, path, len(data))
    return statistics.median(times[2:])
propfind = {"Depth": "1", "Content-Type": "application/xml"}
ours_dav = median(ours, "PROPFIND", "/dav/bench/dir10k/", body, propfind, 207)
ours_json = median(ours, "GET", "/api/list?share=bench&path=dir10k", None, {}, 200)
peer_dav = median(peer, "PROPFIND", "/dir10k/", body, propfind, 207)
print("%.1f %.1f %.1f" % (ours_dav * 1000, ours_json * 1000, peer_dav * 1000))
PY
)
read -r ours_dav ours_json peer_dav <<< "$listing"

echo
echo "rclone copy, best of $ROUNDS rounds (seconds; ratio ours/nginx, lower is better for ours)"
for kind in big small; do
    for way in up down; do
        label="$kind $way"
        [ "$kind" = big ] && label="1 GiB $way" || label="$SMALL_FILES x 4 KiB $way"
        printf '  %-18s ours %7s  nginx %7s  ratio %s\n' "$label" "${best[ours-$kind-$way]}" \
            "${best[peer-$kind-$way]}" "$(bench_ratio "${best[ours-$kind-$way]}" "${best[peer-$kind-$way]}")"
    done
done
echo "PROPFIND Depth 1 of $LISTED items, median of $REQUESTS (ms)"
echo "  ours PROPFIND $ours_dav  ours JSON listing $ours_json  ratio $(bench_ratio "$ours_dav" "$ours_json") (goal <= 1.5)"
echo "  nginx PROPFIND $peer_dav  ratio ours/nginx $(bench_ratio "$ours_dav" "$peer_dav")"
