#!/usr/bin/env bash
# Web application against nginx on the same tmpfs tree, in one run:
#   1. one 1 GiB download (MB/s, curl),
#   2. 1 KiB file GETs with keep-alive (requests/s, wrk, 32 connections),
#   3. listing a folder of 10 000 entries (ms, mean of 20, curl; nginx's
#      autoindex in JSON form is the peer).
# The servers alternate for ROUNDS rounds (default 3); each keeps its best.
# Usage: bench/webapp/run.sh [build dir]   (default: build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${1:-$ROOT/build}"
SERVER="$BUILD/bench/webapp/webapp_bench_server"
OUR_PORT="${OUR_PORT:-18481}"
NGINX_PORT="${NGINX_PORT:-18482}"
WRK_SECONDS="${WRK_SECONDS:-5}"
ROUNDS="${ROUNDS:-3}"
BIG_MIB=1024
LIST_ENTRIES=10000
LIST_RUNS=20

for tool in curl wrk nginx python3; do
    command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh installs it)"; exit 1; }
done
[ -x "$SERVER" ] || { echo "build $SERVER first: ninja -C $BUILD webapp_bench_server"; exit 1; }

WORK="$(mktemp -d /dev/shm/velto-webapp-bench.XXXXXX)"
OUR_PID=""
NGINX_PID=""
cleanup() {
    [ -n "$OUR_PID" ] && kill "$OUR_PID" 2>/dev/null && wait "$OUR_PID" 2>/dev/null || true
    [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null && wait "$NGINX_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

# nginx workers may run as another user: the tree must be world-readable.
chmod 755 "$WORK"
TREE="$WORK/tree"
mkdir -p "$TREE/dir10k" "$WORK/nginx/logs" "$WORK/nginx/tmp"
head -c $((BIG_MIB * 1024 * 1024)) /dev/zero > "$TREE/big.bin"
head -c 1024 /dev/urandom > "$TREE/small.bin"
python3 - "$TREE/dir10k" "$LIST_ENTRIES" <<'PY'
import os, sys
folder, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    with open(os.path.join(folder, "file-%05d.txt" % i), "wb") as f:
        f.write(b"x" * (i % 100))
PY

cat > "$WORK/nginx/nginx.conf" <<CONF
worker_processes auto;
daemon off;
master_process on;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/logs/error.log warn;
events { worker_connections 1024; }
http {
    access_log off;
    sendfile on;
    tcp_nopush on;
    keepalive_requests 1000000;
    client_body_temp_path $WORK/nginx/tmp;
    proxy_temp_path $WORK/nginx/tmp;
    fastcgi_temp_path $WORK/nginx/tmp;
    uwsgi_temp_path $WORK/nginx/tmp;
    scgi_temp_path $WORK/nginx/tmp;
    default_type application/octet-stream;
    server {
        listen 127.0.0.1:$NGINX_PORT;
        root $TREE;
        location /dir10k/ { autoindex on; autoindex_format json; }
    }
}
CONF

nginx -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf" &
NGINX_PID=$!
"$SERVER" "$OUR_PORT" "$TREE" > "$WORK/server.out" &
OUR_PID=$!

wait_for() {
    for _ in $(seq 1 100); do
        curl -s -o /dev/null "$1" && return 0
        sleep 0.1
    done
    echo "no answer from $1"; exit 1
}
OUR="http://127.0.0.1:$OUR_PORT"
PEER="http://127.0.0.1:$NGINX_PORT"
wait_for "$OUR/files/bench/small.bin"
wait_for "$PEER/small.bin"

# Both must serve the same bytes before their speed means anything.
cmp <(curl -s "$OUR/files/bench/small.bin") "$TREE/small.bin"
cmp <(curl -s "$PEER/small.bin") "$TREE/small.bin"
[ "$(curl -s "$OUR/api/list?share=bench&path=dir10k" | python3 -c 'import json,sys; print(len(json.load(sys.stdin)["items"]))')" = "$LIST_ENTRIES" ]
[ "$(curl -s "$PEER/dir10k/" | python3 -c 'import json,sys; print(len(json.load(sys.stdin)))')" = "$LIST_ENTRIES" ]

download_mbps() { # one transfer, MB/s (10^6 bytes)
    local speed
    speed=$(curl -s -o /dev/null -w '%{speed_download}' "$1")
    python3 -c "print(round($speed / 1e6, 1))"
}

requests_per_second() {
    wrk -t2 -c32 -d"${WRK_SECONDS}s" "$1" | awk '/Requests\/sec/ { print $2 }'
}

listing_ms() { # mean of LIST_RUNS
    local total=0 t
    for _ in $(seq 1 "$LIST_RUNS"); do
        t=$(curl -s -o /dev/null -w '%{time_total}' "$1")
        total=$(python3 -c "print($total + $t)")
    done
    python3 -c "print(round($total * 1000 / $LIST_RUNS, 2))"
}

best() { python3 -c "import sys; v=[float(x) for x in sys.argv[2:]]; print(max(v) if sys.argv[1]=='max' else min(v))" "$@"; }
ratio() { python3 -c "print(round($1 / $2, 2))"; }

# The two servers take turns, round after round, so that a busy machine
# slows both alike; each keeps its best round.
curl -s -o /dev/null "$OUR/api/list?share=bench&path=dir10k"
curl -s -o /dev/null "$PEER/dir10k/"
our_dl=(); peer_dl=(); our_rps=(); peer_rps=(); our_list=(); peer_list=()
for _ in $(seq 1 "$ROUNDS"); do
    our_dl+=("$(download_mbps "$OUR/files/bench/big.bin")")
    peer_dl+=("$(download_mbps "$PEER/big.bin")")
    our_rps+=("$(requests_per_second "$OUR/files/bench/small.bin")")
    peer_rps+=("$(requests_per_second "$PEER/small.bin")")
    our_list+=("$(listing_ms "$OUR/api/list?share=bench&path=dir10k")")
    peer_list+=("$(listing_ms "$PEER/dir10k/")")
done
our_dl=$(best max "${our_dl[@]}"); peer_dl=$(best max "${peer_dl[@]}")
our_rps=$(best max "${our_rps[@]}"); peer_rps=$(best max "${peer_rps[@]}")
our_list=$(best min "${our_list[@]}"); peer_list=$(best min "${peer_list[@]}")

echo "best of $ROUNDS alternating rounds; load average now: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-34s %14s %14s %8s\n' "measure" "webapp" "nginx" "ratio"
printf '%-34s %14s %14s %8s\n' "1 GiB download (MB/s, higher)" "$our_dl" "$peer_dl" "$(ratio "$our_dl" "$peer_dl")"
printf '%-34s %14s %14s %8s\n' "1 KiB GET, 32 conns (req/s, higher)" "$our_rps" "$peer_rps" "$(ratio "$our_rps" "$peer_rps")"
printf '%-34s %14s %14s %8s\n' "list 10000 entries (ms, lower)" "$our_list" "$peer_list" "$(ratio "$our_list" "$peer_list")"
