#!/usr/bin/env bash
# HTTPS against nginx with the same certificate and key, on loopback, in one run:
#   1. a 1 GiB download with curl (MB/s);
#   2. new TLS handshakes per second with `openssl s_time -new` (a full
#      handshake and a close per connection, one connection at a time).
# Each figure is the median of BENCH_ROUNDS alternating rounds (default 5).
# Environment: BUILD_DIR (default <repo>/build-bench), BENCH_SECONDS per
# handshake round (default 10), BENCH_ROUNDS.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD_DIR="${BUILD_DIR:-$ROOT/build-bench}"
SECONDS_PER_RUN="${BENCH_SECONDS:-10}"
SIZE=$((1024 * 1024 * 1024))

bench_need curl nginx openssl python3
bench_build "$BUILD_DIR" tls_bench_server

bench_work /dev/shm/velto-tls-bench.XXXXXX

# nginx workers run as an unprivileged user and must read the file.
chmod 755 "$WORK"
dd if=/dev/zero of="$WORK/big.bin" bs=1M count=1024 status=none
chmod 644 "$WORK/big.bin"

# Our server makes the certificate; nginx gets the same certificate and key.
"$BUILD_DIR/bench/tls/tls_bench_server" "$WORK/store" "$WORK/big.bin" 0 >"$WORK/ours.out" 2>&1 &
bench_track $!
for _ in $(seq 100); do grep -q '^SHA1 ' "$WORK/ours.out" 2>/dev/null && break; sleep 0.1; done
OURS_PORT="$(awk '/^PORT /{print $2}' "$WORK/ours.out")"
SHA1="$(awk '/^SHA1 /{print $2}' "$WORK/ours.out")"
[ -n "$OURS_PORT" ] || { cat "$WORK/ours.out"; exit 1; }
sed -n '/-----BEGIN CERTIFICATE-----/,/-----END CERTIFICATE-----/p' \
    "$WORK/store/certs/$SHA1.pem" >"$WORK/cert.pem"
KEY="$(ls "$WORK"/store/keys/*.pem)"

NGINX_PORT="$(bench_free_port)"
mkdir -p "$WORK/nginx"
cat >"$WORK/nginx/nginx.conf" <<CONF
daemon off;
worker_processes auto;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log warn;
events { worker_connections 1024; }
http {
    access_log off;
    client_body_temp_path $WORK/nginx/body;
    proxy_temp_path $WORK/nginx/proxy;
    fastcgi_temp_path $WORK/nginx/fastcgi;
    uwsgi_temp_path $WORK/nginx/uwsgi;
    scgi_temp_path $WORK/nginx/scgi;
    server {
        listen 127.0.0.1:$NGINX_PORT ssl;
        ssl_certificate $WORK/cert.pem;
        ssl_certificate_key $KEY;
        ssl_protocols TLSv1.2 TLSv1.3;
        location = /big { default_type application/octet-stream; alias $WORK/big.bin; }
        location / { default_type text/plain; return 200 "ok"; }
    }
}
CONF
nginx -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf" -e "$WORK/nginx/error.log" &
bench_track $!
for _ in $(seq 100); do
    curl -sk --noproxy '*' -o /dev/null "https://127.0.0.1:$NGINX_PORT/" && break
    sleep 0.1
done

# Both must serve the same certificate.
fingerprint() {
    openssl s_client -connect "127.0.0.1:$1" </dev/null 2>/dev/null | openssl x509 -noout -fingerprint -sha256
}
[ "$(fingerprint "$OURS_PORT")" = "$(fingerprint "$NGINX_PORT")" ] || { echo "certificates differ"; exit 1; }

# One download; prints MB/s.
negotiated() {
    openssl s_client -connect "127.0.0.1:$1" </dev/null 2>/dev/null | sed -n 's/^New, \(.*\)$/\1/p' | head -1
}

download_once() {
    local line code size speed
    line="$(curl -sk --noproxy '*' -o /dev/null \
        -w '%{http_code} %{size_download} %{speed_download}' "https://127.0.0.1:$1/big")"
    read -r code size speed <<<"$line"
    if [ "$code" != 200 ] || [ "$size" != "$SIZE" ]; then
        echo "download from port $1 failed: $line" >&2
        exit 1
    fi
    python3 -c "print('%.1f' % ($speed / 1e6))"
}

# One timed run of full handshakes; prints connections per second.
handshakes_once() {
    local out
    out="$(openssl s_time -connect "127.0.0.1:$1" -new -time "$SECONDS_PER_RUN" 2>&1)"
    python3 -c '
import re, sys
m = re.search(r"(\d+) connections in (\d+) real seconds", sys.argv[1])
print("%.1f" % (int(m.group(1)) / max(int(m.group(2)), 1)) if m else "nan")' "$out"
}

median() { printf '%.1f' "$(bench_median "$@")"; }

echo "HTTPS benchmark (loopback, $(nproc) cores, $(openssl version | cut -d' ' -f1-2), nginx $(nginx -v 2>&1 | cut -d/ -f2))"
# Rounds alternate between the servers so that load from elsewhere on the
# machine falls on both alike; the median round of each counts.
ROUNDS="${BENCH_ROUNDS:-5}"
ours_dl=() nginx_dl=() ours_hs=() nginx_hs=()
for _ in $(seq "$ROUNDS"); do
    ours_dl+=("$(download_once "$OURS_PORT")")
    nginx_dl+=("$(download_once "$NGINX_PORT")")
done
for _ in $(seq "$ROUNDS"); do
    ours_hs+=("$(handshakes_once "$OURS_PORT")")
    nginx_hs+=("$(handshakes_once "$NGINX_PORT")")
done
OURS_DL="$(median "${ours_dl[@]}")"
NGINX_DL="$(median "${nginx_dl[@]}")"
OURS_HS="$(median "${ours_hs[@]}")"
NGINX_HS="$(median "${nginx_hs[@]}")"
echo "rounds: download ours ${ours_dl[*]} / nginx ${nginx_dl[*]}; handshakes ours ${ours_hs[*]} / nginx ${nginx_hs[*]}"
echo "negotiated: ours $(negotiated "$OURS_PORT"); nginx $(negotiated "$NGINX_PORT")"
printf '%-34s %12s %12s %8s\n' "measure" "VeltoCorvane" "nginx" "ratio"
printf '%-34s %12s %12s %8s\n' "1 GiB download, MB/s" "$OURS_DL" "$NGINX_DL" "$(bench_ratio "$OURS_DL" "$NGINX_DL")"
printf '%-34s %12s %12s %8s\n' "new handshakes per second" "$OURS_HS" "$NGINX_HS" "$(bench_ratio "$OURS_HS" "$NGINX_HS")"
