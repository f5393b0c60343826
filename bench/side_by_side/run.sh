#!/usr/bin/env bash
# The program users run (veltocorvane --headless, with its real limits: the
# per-address connection cap, its access log, durable uploads) side by side
# with nginx (sendfile, tcp_nopush, access_log off; 1 and 2 workers) and
# Caddy (Debian's package; access log off, as it is by default), in one run
# on a tmpfs tree:
#   1. 1 GiB download, plain and over TLS (MB/s, curl, one connection);
#   2. 1 KiB and 64 KiB GETs with keep-alive (requests/s, wrk);
#   3. listing a folder of 10 000 entries (ms, mean of 20 curl requests;
#      nginx's autoindex in JSON, Caddy's browse in JSON);
#   4. the ZIP of 10 000 small files plus one 2 GiB file (MB/s; no peer has
#      one, so it is set against our own 1 GiB download);
#   5. 2 000 uploads of 4 KiB over 8 connections (files/s, curl --parallel;
#      ours flushes each file to the disk before its 201, nginx's WebDAV PUT
#      does not; Caddy takes no uploads);
#   6. process start to the first reply (ms, median of START_RUNS starts).
# The servers take turns workload by workload, round after round (ROUNDS,
# default 3); every figure is the median of its rounds, with the server's CPU
# time per GiB or per request beside it where it tells something.
# Everything runs in a network namespace of its own with only loopback, where
# the clients come from several loopback addresses (127.0.0.2 and up; a local
# route per address makes it the source of connections to it), so that our
# per-address connection cap does not turn them away; every table states the
# connections and the addresses.
# WORKLOADS picks some of them for a short run, by name: download, tls, gets,
# listing, zip, uploads, start (default: all of them); the servers still
# alternate within each.
# Usage: bench/side_by_side/run.sh [build dir]   (default: build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
ROUNDS="${ROUNDS:-3}"
WRK_SECONDS="${WRK_SECONDS:-5}"
# wrk: one process per address, each with one thread and this many connections.
WRK_ADDRESSES="${WRK_ADDRESSES:-2}"
WRK_CONNECTIONS_PER_ADDRESS="${WRK_CONNECTIONS_PER_ADDRESS:-16}"
START_RUNS="${START_RUNS:-20}"
WORKLOADS="${WORKLOADS:-download tls gets listing zip uploads start}"
wants() { [[ " $WORKLOADS " == *" $1 "* ]]; }
BIG_MIB=1024
ZIP_BIG_MIB=2048
ZIP_SMALL_FILES=10000
LIST_ENTRIES=10000
LIST_RUNS=20
UPLOAD_FILES=2000
UPLOAD_BYTES=4096
UPLOAD_CONNECTIONS=8
PORT_OURS=18601 PORT_OURS_TLS=18602 PORT_NGINX1=18603 PORT_NGINX2=18604 PORT_CADDY=18605
PORT_NGINX1_TLS=18606 PORT_NGINX2_TLS=18607 PORT_CADDY_TLS=18608 PORT_START=18609

if [ -z "${VELTO_SIDE_BENCH_NETNS:-}" ]; then
    bench_need curl wrk nginx caddy openssl python3 unshare ip
    [ -x "$BUILD/app/veltocorvane" ] || { echo "build it first: ninja -C $BUILD veltocorvane"; exit 1; }
    unshare_flags=(--net)
    [ "$(id -u)" -eq 0 ] || unshare_flags=(--map-root-user --net)
    exec unshare "${unshare_flags[@]}" env VELTO_SIDE_BENCH_NETNS=1 "$0" "$BUILD"
fi

ip link set lo up
# Client addresses: 127.0.0.2 downloads and listings, 127.0.0.3 uploads,
# 127.0.0.10 and up the wrk processes.
client() { echo "127.0.0.$1"; }
for host in 2 3 $(seq 10 $((9 + WRK_ADDRESSES))); do
    ip route add local "$(client "$host")/32" dev lo src "$(client "$host")" table local
done

bench_work /dev/shm/velto-side-bench.XXXXXX
chmod 755 "$WORK"
TREE="$WORK/tree"
mkdir -p "$TREE/dir10k" "$TREE/zip" "$TREE/up"
chmod 777 "$TREE/up"
if wants download || wants tls; then head -c $((BIG_MIB * 1024 * 1024)) /dev/zero > "$TREE/big.bin"; fi
head -c 1024 /dev/urandom > "$TREE/1k.bin"
head -c 65536 /dev/urandom > "$TREE/64k.bin"
python3 - "$TREE" "$LIST_ENTRIES" "$ZIP_SMALL_FILES" "$UPLOAD_FILES" "$UPLOAD_BYTES" "$WORK/src" <<'PY'
import os, random, sys
tree, entries, small, uploads, upload_bytes, src = sys.argv[1], *map(int, sys.argv[2:6]), sys.argv[6]
for i in range(entries):
    with open(os.path.join(tree, "dir10k", "file-%05d.txt" % i), "wb") as f:
        f.write(b"x" * (i % 100))
random.seed(7)
for i in range(small):
    folder = os.path.join(tree, "zip", "small", "d%02d" % (i % 100))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%05d.bin" % i), "wb") as f:
        f.write(os.urandom(random.randint(1024, 16384)))
os.makedirs(src)
for i in range(uploads):
    with open(os.path.join(src, "f%04d.bin" % i), "wb") as f:
        f.write(os.urandom(upload_bytes))
PY
if wants zip; then head -c $((ZIP_BIG_MIB * 1024 * 1024)) /dev/urandom > "$TREE/zip/big.bin"; fi
chmod -R a+rX "$TREE"

# One certificate for nginx and Caddy; ours makes its own.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
    -keyout "$WORK/key.pem" -out "$WORK/cert.pem" 2>/dev/null
chmod 644 "$WORK/key.pem"

nginx_conf() { # workers plain-port tls-port folder
    mkdir -p "$4/tmp"
    cat > "$4/nginx.conf" <<CONF
worker_processes $1;
daemon off;
master_process on;
pid $4/nginx.pid;
error_log $4/error.log warn;
events { worker_connections 1024; }
http {
    access_log off;
    sendfile on;
    tcp_nopush on;
    tcp_nodelay on;
    keepalive_requests 1000000;
    client_max_body_size 0;
    client_body_temp_path $4/tmp;
    proxy_temp_path $4/tmp;
    fastcgi_temp_path $4/tmp;
    uwsgi_temp_path $4/tmp;
    scgi_temp_path $4/tmp;
    default_type application/octet-stream;
    server {
        listen $2;
        listen $3 ssl;
        ssl_certificate $WORK/cert.pem;
        ssl_certificate_key $WORK/key.pem;
        ssl_protocols TLSv1.2 TLSv1.3;
        root $TREE;
        location /dir10k/ { autoindex on; autoindex_format json; }
        location /up/ { dav_methods PUT; create_full_put_path on; }
    }
}
CONF
}

declare -A MAIN_PID
start_nginx() { # name workers plain-port tls-port
    local dir="$WORK/$1"
    nginx_conf "$2" "$3" "$4" "$dir"
    nginx -p "$dir" -c "$dir/nginx.conf" -e "$dir/error.log" &
    bench_track $!
    MAIN_PID[$1]=$!
}
start_nginx nginx1 1 "$PORT_NGINX1" "$PORT_NGINX1_TLS"
start_nginx nginx2 2 "$PORT_NGINX2" "$PORT_NGINX2_TLS"

caddy_file() { # plain-port tls-port folder
    mkdir -p "$3"
    cat > "$3/Caddyfile" <<CONF
{
    admin off
    auto_https off
}
http://:$1 {
    root * $TREE
    file_server browse
}
https://:$2 {
    tls $WORK/cert.pem $WORK/key.pem
    root * $TREE
    file_server
}
CONF
}
caddy_file "$PORT_CADDY" "$PORT_CADDY_TLS" "$WORK/caddy"
caddy_env=(env HOME="$WORK/caddy" XDG_DATA_HOME="$WORK/caddy/data" XDG_CONFIG_HOME="$WORK/caddy/config")
"${caddy_env[@]}" caddy run --adapter caddyfile --config "$WORK/caddy/Caddyfile" > "$WORK/caddy/out" 2>&1 &
bench_track $!
MAIN_PID[caddy]=$!

export BENCH_OURS_LOOPBACK=0
bench_start_ours "$BUILD" "$WORK/ours" "$PORT_OURS" "$TREE" '["read", "write"]'
MAIN_PID[ours]=$OURS_PID
bench_start_ours "$BUILD" "$WORK/ours-tls" "$PORT_OURS_TLS" "$TREE" '["read"]' '{"https": true}'
MAIN_PID[ourstls]=$OURS_PID

at() { echo "http://$(client "$1"):$2"; }
ats() { echo "https://$(client "$1"):$2"; }
bench_wait_for "$(at 2 "$PORT_OURS")/files/bench/1k.bin" 300 "$WORK/ours/ours.out"
for _ in $(seq 300); do curl -sk -o /dev/null "$(ats 2 "$PORT_OURS_TLS")/files/bench/1k.bin" && break; sleep 0.1; done
bench_wait_for "$(at 2 "$PORT_NGINX1")/1k.bin"
bench_wait_for "$(at 2 "$PORT_NGINX2")/1k.bin"
bench_wait_for "$(at 2 "$PORT_CADDY")/1k.bin" 100 "$WORK/caddy/out"

WHO=(ours nginx1 nginx2 caddy)
declare -A PORT=([ours]=$PORT_OURS [nginx1]=$PORT_NGINX1 [nginx2]=$PORT_NGINX2 [caddy]=$PORT_CADDY)
declare -A TLS_PORT=([ours]=$PORT_OURS_TLS [nginx1]=$PORT_NGINX1_TLS [nginx2]=$PORT_NGINX2_TLS [caddy]=$PORT_CADDY_TLS)
declare -A FILES=([ours]=/files/bench [nginx1]="" [nginx2]="" [caddy]="")
declare -A LIST=([ours]="/api/list?share=bench&path=dir10k" [nginx1]=/dir10k/ [nginx2]=/dir10k/ [caddy]=/dir10k/)
declare -A TITLE=([ours]="veltocorvane" [nginx1]="nginx 1 w" [nginx2]="nginx 2 w" [caddy]="Caddy")
list_url() { echo "$(at 2 "${PORT[$1]}")${LIST[$1]}"; }

# All must serve the same bytes, and list the same folder, before their
# speed means anything.
for who in "${WHO[@]}"; do
    for name in 1k.bin 64k.bin; do
        cmp <(curl -s "$(at 2 "${PORT[$who]}")${FILES[$who]}/$name") "$TREE/$name"
    done
    cmp <(curl -sk "$(ats 2 "${TLS_PORT[$who]}")${FILES[$who]}/64k.bin") "$TREE/64k.bin"
    count=$(curl -s -H 'Accept: application/json' "$(list_url "$who")" | python3 -c '
import json, sys
reply = json.load(sys.stdin)
print(len(reply["items"] if isinstance(reply, dict) else reply))')
    [ "$count" = "$LIST_ENTRIES" ] || { echo "$who lists $count entries"; exit 1; }
done

# CPU time a server spent (clock ticks of our process, of nginx's workers,
# of Caddy's process).
cpu_ticks() { # who
    local pids="${MAIN_PID[$1]}" total=0 pid
    case "$1" in nginx*) pids="$(pgrep -P "${MAIN_PID[$1]}" | tr '\n' ' ')" ;; esac
    for pid in $pids; do
        total=$((total + $(awk '{ print $14 + $15 }' "/proc/$pid/stat")))
    done
    echo "$total"
}
TICK_MS=$((1000 / $(getconf CLK_TCK)))

download() { # who scheme -> "MB/s CPU-ms-per-GiB"
    local who="$1" url pid_of="$1" before after speed size
    if [ "$2" = https ]; then
        url="$(ats 2 "${TLS_PORT[$who]}")${FILES[$who]}/big.bin"
        [ "$who" = ours ] && pid_of=ourstls
    else
        url="$(at 2 "${PORT[$who]}")${FILES[$who]}/big.bin"
    fi
    before=$(cpu_ticks "$pid_of")
    read -r speed size < <(curl -sk -o /dev/null -w '%{speed_download} %{size_download}\n' "$url")
    after=$(cpu_ticks "$pid_of")
    [ "$size" = $((BIG_MIB * 1024 * 1024)) ] || { echo "short download from $url: $size" >&2; exit 1; }
    python3 -c "print(round($speed / 1e6, 1), round(($after - $before) * $TICK_MS / $BIG_MIB * 1024))"
}

gets() { # who name -> "requests/s CPU-us-per-request non-2xx"
    local who="$1" before after i outs=()
    before=$(cpu_ticks "$who")
    for i in $(seq 1 "$WRK_ADDRESSES"); do
        wrk -t1 -c"$WRK_CONNECTIONS_PER_ADDRESS" -d"${WRK_SECONDS}s" \
            "$(at $((9 + i)) "${PORT[$who]}")${FILES[$who]}/$2" > "$WORK/wrk-$i.out" &
    done
    wait $(jobs -p | tail -n "$WRK_ADDRESSES")
    after=$(cpu_ticks "$who")
    cat "$WORK"/wrk-*.out | awk -v cpu=$(((after - before) * TICK_MS)) '
        /requests in/ { n += $1 } /Requests\/sec/ { r += $2 } /Non-2xx/ { bad += $5 }
        END { printf "%.0f %.1f %d\n", r, n ? cpu * 1000 / n : 0, bad }'
}

listing_ms() { # who -> mean ms of LIST_RUNS
    local total=0 t
    for _ in $(seq 1 "$LIST_RUNS"); do
        t=$(curl -s -o /dev/null -H 'Accept: application/json' -w '%{time_total}' "$(list_url "$1")")
        total=$(python3 -c "print($total + $t)")
    done
    python3 -c "print(round($total * 1000 / $LIST_RUNS, 2))"
}

our_zip() { # -> "MB/s CPU-ms-per-GiB"
    local url before after start end size
    url=$(curl -s -H 'x-veltocorvane: 1' -H 'Content-Type: application/json' \
        -d '{"share":"bench","path":"","names":["zip"]}' "$(at 2 "$PORT_OURS")/api/zip" |
        python3 -c 'import json,sys; print(json.load(sys.stdin)["url"])')
    before=$(cpu_ticks ours)
    start=$(bench_now)
    size=$(curl -s -o /dev/null -w '%{size_download}' "$(at 2 "$PORT_OURS")$url")
    end=$(bench_now)
    after=$(cpu_ticks ours)
    [ "$size" = "$ZIP_BYTES" ] || { echo "short ZIP: $size of $ZIP_BYTES" >&2; exit 1; }
    python3 -c "print(round($size / ($end - $start) / 1e6, 1), round(($after - $before) * $TICK_MS / ($size / 2**30)))"
}

uploads() { # who round -> "files/s CPU-us-per-file"
    local who="$1" folder="$TREE/up/$1-$2" base list="$WORK/upload-$1-$2.cfg" before after start end count f
    base="$(at 3 "${PORT[$who]}")${FILES[$who]}/up/$1-$2"
    mkdir -p "$folder"
    chmod 777 "$folder"
    : > "$list"
    for f in "$WORK"/src/*.bin; do
        printf 'upload-file = "%s"\nurl = "%s/%s"\noutput = "/dev/null"\n' "$f" "$base" "$(basename "$f")" >> "$list"
    done
    before=$(cpu_ticks "$who")
    start=$(bench_now)
    curl -s --no-progress-meter --parallel --parallel-max "$UPLOAD_CONNECTIONS" \
        -H 'x-veltocorvane: 1' -H 'Expect:' -K "$list"
    end=$(bench_now)
    after=$(cpu_ticks "$who")
    count=$(find "$folder" -type f -size "${UPLOAD_BYTES}c" | wc -l)
    [ "$count" = "$UPLOAD_FILES" ] || { echo "$who: $count of $UPLOAD_FILES files arrived" >&2; exit 1; }
    rm -rf "$folder"
    python3 -c "print(round($UPLOAD_FILES / ($end - $start), 1), round(($after - $before) * $TICK_MS * 1000 / $UPLOAD_FILES))"
}

# The ZIP must be a whole archive with every file before its speed counts.
ZIP_BYTES=0
if wants zip; then
url=$(curl -s -H 'x-veltocorvane: 1' -H 'Content-Type: application/json' \
    -d '{"share":"bench","path":"","names":["zip"]}' "$(at 2 "$PORT_OURS")/api/zip" |
    python3 -c 'import json,sys; print(json.load(sys.stdin)["url"])')
curl -s -o "$WORK/check.zip" "$(at 2 "$PORT_OURS")$url"
python3 - "$WORK/check.zip" "$TREE/zip" "$ZIP_SMALL_FILES" <<'PY'
import os, sys, zipfile, zlib
path, tree, small = sys.argv[1], sys.argv[2], int(sys.argv[3])
with zipfile.ZipFile(path) as z:
    assert z.testzip() is None
    files = [i for i in z.infolist() if not i.is_dir()]
    assert len(files) == small + 1, len(files)
    for i in files:
        assert i.file_size == os.path.getsize(os.path.join(tree, i.filename.split("/", 1)[1])), i.filename
PY
ZIP_BYTES=$(stat -c %s "$WORK/check.zip")
rm -f "$WORK/check.zip"
fi

declare -A DL DLCPU TL TLCPU R1 R1CPU R1BAD R64 R64CPU R64BAD LS UP UPCPU
ZIP=() ZIPCPU=()
loads=()
for who in "${WHO[@]}"; do wants listing && listing_ms "$who" > /dev/null; done
for round in $(seq 1 "$ROUNDS"); do
    loads+=("$(cut -d' ' -f1 /proc/loadavg)")
    for who in "${WHO[@]}"; do
        wants download || break
        read -r rate cpu < <(download "$who" http); DL[$who]+=" $rate"; DLCPU[$who]+=" $cpu"
    done
    for who in "${WHO[@]}"; do
        wants tls || break
        read -r rate cpu < <(download "$who" https); TL[$who]+=" $rate"; TLCPU[$who]+=" $cpu"
    done
    for who in "${WHO[@]}"; do
        wants gets || break
        read -r rate cpu bad < <(gets "$who" 1k.bin); R1[$who]+=" $rate"; R1CPU[$who]+=" $cpu"; R1BAD[$who]+=" $bad"
    done
    for who in "${WHO[@]}"; do
        wants gets || break
        read -r rate cpu bad < <(gets "$who" 64k.bin); R64[$who]+=" $rate"; R64CPU[$who]+=" $cpu"; R64BAD[$who]+=" $bad"
    done
    for who in "${WHO[@]}"; do wants listing || break; LS[$who]+=" $(listing_ms "$who")"; done
    if wants zip; then read -r rate cpu < <(our_zip); ZIP+=("$rate"); ZIPCPU+=("$cpu"); fi
    for who in ours nginx1 nginx2; do
        wants uploads || break
        read -r rate cpu < <(uploads "$who" "$round"); UP[$who]+=" $rate"; UPCPU[$who]+=" $cpu"
    done
    echo "round $round (load ${loads[-1]}): download MB/s${DL[ours]:-} |${DL[nginx1]:-} |${DL[nginx2]:-} |${DL[caddy]:-}; 1 KiB GETs/s${R1[ours]:-} |${R1[nginx1]:-} |${R1[nginx2]:-} |${R1[caddy]:-}" >&2
done

median() { python3 -c "import statistics, sys; print(round(statistics.median(float(x) for x in sys.argv[1:]), 1))" "$@"; }
tls_of() { # port -> protocol and cipher it chose
    openssl s_client -connect "$(client 2):$1" </dev/null 2>/dev/null | sed -n 's/^New, \(.*\), Cipher is \(.*\)$/\1 \2/p' | head -1
}
cell() { # values... -> median, or "-"
    if [ $# -eq 0 ]; then echo "-"; else median "$@"; fi
}
row() { # label array-name [cpu-array-name]
    local label="$1" who values line
    local -n values_of="$2"
    line=$(printf '%-30s' "$label")
    for who in "${WHO[@]}"; do
        # shellcheck disable=SC2086
        values=$(cell ${values_of[$who]:-})
        if [ -n "${3:-}" ] && [ -n "${values_of[$who]:-}" ]; then
            local -n cpu_of="$3"
            # shellcheck disable=SC2086
            values="$values ($(cell ${cpu_of[$who]}))"
        fi
        line+=$(printf ' %20s' "$values")
    done
    echo "$line"
}
header() {
    printf '%-30s' "$1"
    for who in "${WHO[@]}"; do printf ' %20s' "${TITLE[$who]}"; done
    echo
}

START_HOME="$WORK/start"
mkdir -p "$START_HOME/data" "$START_HOME/share" "$START_HOME/www" "$START_HOME/run"
echo hello > "$START_HOME/share/hello.txt"
echo hello > "$START_HOME/www/hello.txt"
chmod -R a+rX "$START_HOME"
echo '{"server": {"upnp": false}}' > "$START_HOME/data/config.json"
for w in 1 2; do
    mkdir -p "$START_HOME/nginx$w/tmp"
    cat > "$START_HOME/nginx$w/nginx.conf" <<CONF
worker_processes $w; daemon off; master_process on; pid $START_HOME/nginx$w/nginx.pid;
error_log $START_HOME/nginx$w/error.log warn; events {}
http { access_log off; client_body_temp_path $START_HOME/nginx$w/tmp; proxy_temp_path $START_HOME/nginx$w/tmp;
  fastcgi_temp_path $START_HOME/nginx$w/tmp; uwsgi_temp_path $START_HOME/nginx$w/tmp; scgi_temp_path $START_HOME/nginx$w/tmp;
  server { listen $PORT_START; root $START_HOME/www; } }
CONF
done
mkdir -p "$START_HOME/caddy"
cat > "$START_HOME/caddy/Caddyfile" <<CONF
{
    admin off
    auto_https off
}
http://:$PORT_START {
    root * $START_HOME/www
    file_server
}
CONF
START_URL="$(at 2 "$PORT_START")"
STARTS=()
wants start && mapfile -t STARTS < <(python3 "$ROOT/bench/side_by_side/first_reply.py" "$START_RUNS" \
    ours "$START_URL/files/share/hello.txt" env -i PATH="$PATH" HOME="$START_HOME" \
        XDG_CONFIG_HOME="$START_HOME/config" XDG_STATE_HOME="$START_HOME/state" \
        XDG_DATA_HOME="$START_HOME/xdg-data" XDG_RUNTIME_DIR="$START_HOME/run" \
        VELTO_CORVANE_DATA_DIR="$START_HOME/data" \
        "$BUILD/app/veltocorvane" --headless --port "$PORT_START" --share "$START_HOME/share" -- \
    nginx1 "$START_URL/hello.txt" nginx -p "$START_HOME/nginx1" -c "$START_HOME/nginx1/nginx.conf" \
        -e "$START_HOME/nginx1/error.log" -- \
    nginx2 "$START_URL/hello.txt" nginx -p "$START_HOME/nginx2" -c "$START_HOME/nginx2/nginx.conf" \
        -e "$START_HOME/nginx2/error.log" -- \
    caddy "$START_URL/hello.txt" "${caddy_env[@]}" caddy run --adapter caddyfile \
        --config "$START_HOME/caddy/Caddyfile")
declare -A START
for line in "${STARTS[@]+"${STARTS[@]}"}"; do read -r who ms _ <<<"$line"; START[$who]=" $ms"; done

echo
echo "veltocorvane --headless against nginx and Caddy: median of $ROUNDS alternating rounds on $(nproc) cores, tmpfs, loopback"
echo "1-minute load at each round: ${loads[*]}; now: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "Downloads of 1 GiB, curl, 1 connection from 127.0.0.2 (MB/s; server CPU ms per GiB)"
header "workload"
row "plain HTTP" DL DLCPU
row "over TLS ($(tls_of "$PORT_OURS_TLS") | $(tls_of "$PORT_CADDY_TLS"))" TL TLCPU
echo
echo "GETs with keep-alive, wrk: $WRK_ADDRESSES processes x 1 thread x $WRK_CONNECTIONS_PER_ADDRESS connections" \
    "= $((WRK_ADDRESSES * WRK_CONNECTIONS_PER_ADDRESS)) connections from 127.0.0.10-$((9 + WRK_ADDRESSES)), ${WRK_SECONDS} s" \
    "(requests/s; server CPU us per request)"
header "workload"
row "1 KiB" R1 R1CPU
row "64 KiB" R64 R64CPU
row "1 KiB: non-2xx replies" R1BAD
row "64 KiB: non-2xx replies" R64BAD
echo
echo "Listing a folder of $LIST_ENTRIES entries as JSON, curl, 1 connection at a time from 127.0.0.2 (ms, mean of $LIST_RUNS; lower is better)"
header "workload"
row "listing" LS
echo
echo "Uploads of $UPLOAD_FILES files of $UPLOAD_BYTES bytes, curl --parallel, $UPLOAD_CONNECTIONS connections from 127.0.0.3" \
    "(files/s; server CPU us per file); ours flushes each file before its reply, nginx does not; Caddy takes none"
header "workload"
row "uploads" UP UPCPU
echo
echo "Process start to the first reply, 1 connection from 127.0.0.2 (ms, median of $START_RUNS starts; lower is better)"
header "workload"
row "start" START
echo
if wants zip; then
# shellcheck disable=SC2086
zip_rate=$(median "${ZIP[@]}") zip_cpu=$(median "${ZIPCPU[@]}") our_dl=$(median ${DL[ours]})
echo "ZIP of $ZIP_SMALL_FILES files of 1-16 KiB and one $ZIP_BIG_MIB MiB file ($ZIP_BYTES bytes), curl, 1 connection from 127.0.0.2:"
echo "  $zip_rate MB/s (server CPU $zip_cpu ms per GiB) = $(bench_ratio "$zip_rate" "$our_dl") x our own 1 GiB download ($our_dl MB/s)"
fi
