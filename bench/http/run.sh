#!/usr/bin/env bash
# Throughput of the HTTP server against nginx on loopback, driven by wrk
# (32 connections, 2 threads, 10 s per run): a 1 KiB and a 64 MiB body. Our
# server answers from memory (and, for comparison, from the same files through
# its zero-copy file path); nginx serves the same bytes from files on tmpfs.
#
#   bench/http/run.sh [build-dir]      (default: build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${1:-$ROOT/build}"
DURATION="${BENCH_DURATION:-10s}"
CONNECTIONS=32
THREADS=2

for tool in wrk nginx; do
    command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh installs it)"; exit 1; }
done
[ -f "$BUILD/build.ninja" ] || cmake -S "$ROOT" -B "$BUILD" -G Ninja >/dev/null
ninja -C "$BUILD" http_bench_server >/dev/null
SERVER="$BUILD/bench/http/http_bench_server"

WORK="$(mktemp -d /dev/shm/velto-http-bench.XXXXXX)"
chmod 755 "$WORK" # nginx workers may run as another user (root starts them as nobody)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [ -n "${BENCH_KEEP:-}" ] && echo "kept $WORK" || rm -rf "$WORK"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# Our server: writes the body files into $WORK/www and prints "ready <port>".
mkdir -p "$WORK/www" "$WORK/nginx"
"$SERVER" 0 "$WORK/www" > "$WORK/ours.out" &
pids+=($!)
for _ in $(seq 100); do grep -q ready "$WORK/ours.out" 2>/dev/null && break; sleep 0.1; done
OUR_PORT="$(awk '/ready/ {print $2}' "$WORK/ours.out")"
[ -n "$OUR_PORT" ] || { echo "our server did not start"; exit 1; }

NGINX_PORT="$(free_port)"
cat > "$WORK/nginx/nginx.conf" <<CONF
worker_processes auto;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log warn;
events { worker_connections 1024; }
http {
    access_log off;
    sendfile on;
    tcp_nopush on;
    keepalive_requests 1000000;
    default_type application/octet-stream;
    client_body_temp_path $WORK/nginx/body;
    proxy_temp_path $WORK/nginx/proxy;
    fastcgi_temp_path $WORK/nginx/fastcgi;
    uwsgi_temp_path $WORK/nginx/uwsgi;
    scgi_temp_path $WORK/nginx/scgi;
    server {
        listen 127.0.0.1:$NGINX_PORT;
        root $WORK/www;
    }
}
CONF
nginx -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf" -g "daemon off;" 2>"$WORK/nginx/stderr" &
pids+=($!)
for _ in $(seq 100); do curl -sf --noproxy "*" -o /dev/null "http://127.0.0.1:$NGINX_PORT/small.bin" && break; sleep 0.1; done

# Check that both serve identical bytes before measuring.
for name in small.bin large.bin; do
    a="$(curl -sf --noproxy "*" "http://127.0.0.1:$OUR_PORT/$name" | sha256sum)"
    b="$(curl -sf --noproxy "*" "http://127.0.0.1:$OUR_PORT/file/$name" | sha256sum)"
    c="$(curl -sf --noproxy "*" "http://127.0.0.1:$NGINX_PORT/$name" | sha256sum)"
    [ "$a" = "$b" ] && [ "$a" = "$c" ] || { echo "bodies differ for $name"; exit 1; }
done

cat > "$WORK/report.lua" <<'LUA'
done = function(summary, latency, requests)
    io.write(string.format("RESULT %d %d %d %d\n", summary.requests, summary.bytes,
        summary.duration, summary.errors.connect + summary.errors.read + summary.errors.write
        + summary.errors.status + summary.errors.timeout))
end
LUA

# measure <url> -> "req/s MB/s errors"
measure() {
    wrk -c "$CONNECTIONS" -t "$THREADS" -d "$DURATION" --timeout 30s -s "$WORK/report.lua" "$1" \
        | awk '/^RESULT/ { printf "%.1f %.1f %d\n", $2 / ($4 / 1e6), $3 / ($4 / 1e6) / 1e6, $5 }'
}

printf "%-34s %14s %12s %8s\n" "run" "requests/s" "MB/s" "errors"
declare -A RPS MBS
for body in small large; do
    for who in ours ours-file nginx; do
        case "$who" in
            ours) url="http://127.0.0.1:$OUR_PORT/$body.bin" ;;
            ours-file) url="http://127.0.0.1:$OUR_PORT/file/$body.bin" ;;
            nginx) url="http://127.0.0.1:$NGINX_PORT/$body.bin" ;;
        esac
        read -r rps mbs errors < <(measure "$url")
        RPS[$who-$body]=$rps
        MBS[$who-$body]=$mbs
        printf "%-34s %14s %12s %8s\n" "$who $body ($([ $body = small ] && echo 1 KiB || echo 64 MiB))" "$rps" "$mbs" "$errors"
    done
done

echo
for body in small large; do
    for who in ours ours-file; do
        awk -v a="${RPS[$who-$body]}" -v b="${RPS[nginx-$body]}" -v c="${MBS[$who-$body]}" -v d="${MBS[nginx-$body]}" \
            -v label="$who/nginx $body" 'BEGIN { printf "%-28s requests %.2f   MB/s %.2f\n", label, a / b, c / d }'
    done
done
