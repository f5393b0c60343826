#!/usr/bin/env bash
# Throughput of the HTTP server against nginx on loopback, driven by wrk
# (32 connections, 2 threads): a 1 KiB and a 64 MiB body. Our server answers
# from memory and, through its zero-copy file path, from the same files that
# nginx serves from tmpfs. nginx runs as configured in bench/http/nginx.conf.in,
# once with one worker process and once with one per core. The servers take
# turns for ROUNDS rounds (default 3); every figure is the median of its
# rounds, and each comes with the server CPU time it cost, which a machine
# shared with other work disturbs less than the rates.
#
#   bench/http/run.sh [build-dir]      (default: build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD="${1:-$ROOT/build}"
DURATION="${BENCH_DURATION:-5s}"
ROUNDS="${ROUNDS:-3}"
CONNECTIONS=32
THREADS=2

bench_need wrk nginx curl python3
bench_build "$BUILD" http_bench_server
SERVER="$BUILD/bench/http/http_bench_server"

bench_work /dev/shm/velto-http-bench.XXXXXX
chmod 755 "$WORK" # nginx workers may run as another user (root starts them as nobody)

# Our server: writes the body files into $WORK/www and prints "ready <port>".
mkdir -p "$WORK/www"
"$SERVER" 0 "$WORK/www" > "$WORK/ours.out" &
bench_track $!
declare -A MAIN_PID=([ours]=$!)
for _ in $(seq 100); do grep -q ready "$WORK/ours.out" 2>/dev/null && break; sleep 0.1; done
OUR_PORT="$(awk '/ready/ {print $2}' "$WORK/ours.out")"
[ -n "$OUR_PORT" ] || { echo "our server did not start"; exit 1; }

declare -A PORT
start_nginx() { # <label> <workers>
    local dir="$WORK/$1" port
    port="$(bench_free_port)"
    mkdir -p "$dir/tmp"
    sed -e "s|@WORKERS@|$2|" -e "s|@PORT@|$port|" -e "s|@ROOT@|$WORK/www|" -e "s|@WORK@|$dir|g" \
        "$ROOT/bench/http/nginx.conf.in" > "$dir/nginx.conf"
    nginx -p "$dir" -c "$dir/nginx.conf" -g "daemon off;" 2>"$dir/stderr" &
    bench_track $!
    MAIN_PID[$1]=$!
    PORT[$1]=$port
    for _ in $(seq 100); do curl -sf --noproxy "*" -o /dev/null "http://127.0.0.1:$port/small.bin" && break; sleep 0.1; done
}
start_nginx nginx1 1
start_nginx nginxn auto

url() { # <who> <body>
    case "$1" in
        ours) echo "http://127.0.0.1:$OUR_PORT/$2.bin" ;;
        ours-file) echo "http://127.0.0.1:$OUR_PORT/file/$2.bin" ;;
        *) echo "http://127.0.0.1:${PORT[$1]}/$2.bin" ;;
    esac
}
WHO=(ours ours-file nginx1 nginxn)

# Check that all serve identical bytes before measuring.
for body in small large; do
    want="$(sha256sum < "$WORK/www/$body.bin")"
    for who in "${WHO[@]}"; do
        [ "$(curl -sf --noproxy "*" "$(url "$who" "$body")" | sha256sum)" = "$want" ] \
            || { echo "$who serves other bytes for $body.bin"; exit 1; }
    done
done

cat > "$WORK/report.lua" <<'LUA'
done = function(summary, latency, requests)
    io.write(string.format("RESULT %d %d %d %d\n", summary.requests, summary.bytes,
        summary.duration, summary.errors.connect + summary.errors.read + summary.errors.write
        + summary.errors.status + summary.errors.timeout))
end
LUA

TICK_MS=$((1000 / $(getconf CLK_TCK)))
cpu_ticks() { # <who>: our process, or nginx's workers
    local pids="${MAIN_PID[${1%-file}]}" total=0 pid
    [[ "$1" = ours* ]] || pids="$(pgrep -P "${MAIN_PID[$1]}" | tr '\n' ' ')"
    for pid in $pids; do
        total=$((total + $(awk '{ print $14 + $15 }' "/proc/$pid/stat")))
    done
    echo "$total"
}

# measure <who> <body> -> "req/s MB/s server-CPU-us-per-request errors"
measure() {
    local before after
    before=$(cpu_ticks "$1")
    out=$(wrk -c "$CONNECTIONS" -t "$THREADS" -d "$DURATION" --timeout 30s -s "$WORK/report.lua" "$(url "$1" "$2")")
    after=$(cpu_ticks "$1")
    awk -v cpu=$(((after - before) * TICK_MS)) '/^RESULT/ {
        printf "%.1f %.1f %.1f %d\n", $2 / ($4 / 1e6), $3 / ($4 / 1e6) / 1e6, cpu * 1000 / $2, $5 }' <<<"$out"
}


declare -A RPS MBS CPU ERR
loads=()
for round in $(seq 1 "$ROUNDS"); do
    loads+=("$(cut -d' ' -f1 /proc/loadavg)")
    for body in small large; do
        for who in "${WHO[@]}"; do
            read -r rps mbs cpu errors < <(measure "$who" "$body")
            RPS[$who-$body]+=" $rps"; MBS[$who-$body]+=" $mbs"; CPU[$who-$body]+=" $cpu"
            ERR[$who-$body]=$(( ${ERR[$who-$body]:-0} + errors ))
        done
    done
    echo "round $round done (load ${loads[-1]})" >&2
done

echo "median of $ROUNDS alternating rounds on $(nproc) cores; 1-minute load at each round: ${loads[*]}; now: $(cut -d' ' -f1-3 /proc/loadavg)"
printf "%-26s %12s %10s %16s %7s\n" "run" "requests/s" "MB/s" "CPU/request (us)" "errors"
declare -A M_RPS M_MBS M_CPU
for body in small large; do
    for who in "${WHO[@]}"; do
        k="$who-$body"
        # shellcheck disable=SC2086
        M_RPS[$k]=$(bench_median ${RPS[$k]}); M_MBS[$k]=$(bench_median ${MBS[$k]}); M_CPU[$k]=$(bench_median ${CPU[$k]})
        printf "%-26s %12s %10s %16s %7s\n" "$who $([ $body = small ] && echo 1 KiB || echo 64 MiB)" \
            "${M_RPS[$k]}" "${M_MBS[$k]}" "${M_CPU[$k]}" "${ERR[$k]}"
    done
done

echo
for body in small large; do
    for who in ours ours-file; do
        for peer in nginx1 nginxn; do
            printf "%-30s requests %.2f   MB/s %.2f   CPU per request %.2f\n" "$who/$peer $body" \
                "$(bench_ratio "${M_RPS[$who-$body]}" "${M_RPS[$peer-$body]}")" \
                "$(bench_ratio "${M_MBS[$who-$body]}" "${M_MBS[$peer-$body]}")" \
                "$(bench_ratio "${M_CPU[$who-$body]}" "${M_CPU[$peer-$body]}")"
        done
    done
done
