#!/usr/bin/env bash
# Web application against nginx on the same tmpfs tree, in one run:
#   1. one 1 GiB download (MB/s, curl),
#   2. 1 KiB file GETs with keep-alive (requests/s, wrk, 2 threads, 16
#      connections: as many as our server takes from one address),
#   3. listing a folder of 10 000 entries (ms, mean of 20, curl; nginx's
#      autoindex in JSON form is the peer).
# Ours is the program users run (veltocorvane --headless, with its own limits
# and its access log), sharing the tree read-only for guests.
# nginx runs twice, as configured in bench/webapp/nginx.conf.in: with one
# worker process and with one per core. The three servers take turns for
# ROUNDS rounds (default 3) and each figure is the median of its rounds
# (downloads: of DOWNLOADS_PER_ROUND transfers in each round, default 3).
# Usage: bench/webapp/run.sh [build dir]   (default: build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD="${1:-$ROOT/build}"
OUR_PORT="${OUR_PORT:-18481}"
NGINX1_PORT="${NGINX1_PORT:-18482}"
NGINXN_PORT="${NGINXN_PORT:-18483}"
WRK_SECONDS="${WRK_SECONDS:-5}"
ROUNDS="${ROUNDS:-3}"
DOWNLOADS_PER_ROUND="${DOWNLOADS_PER_ROUND:-3}"
CONNECTIONS=16
BIG_MIB=1024
LIST_ENTRIES=10000
LIST_RUNS=20

bench_need curl wrk nginx python3
bench_work /dev/shm/velto-webapp-bench.XXXXXX

# nginx workers may run as another user: the tree must be world-readable.
chmod 755 "$WORK"
TREE="$WORK/tree"
mkdir -p "$TREE/dir10k"
head -c $((BIG_MIB * 1024 * 1024)) /dev/zero > "$TREE/big.bin"
head -c 1024 /dev/urandom > "$TREE/small.bin"
python3 - "$TREE/dir10k" "$LIST_ENTRIES" <<'PY'
import os, sys
folder, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    with open(os.path.join(folder, "file-%05d.txt" % i), "wb") as f:
        f.write(b"x" * (i % 100))
PY

start_nginx() { # <workers> <port>
    local dir="$WORK/nginx-$1"
    mkdir -p "$dir/tmp"
    sed -e "s|@WORKERS@|$1|" -e "s|@PORT@|$2|" -e "s|@ROOT@|$TREE|" -e "s|@WORK@|$dir|g" \
        "$ROOT/bench/webapp/nginx.conf.in" > "$dir/nginx.conf"
    nginx -p "$dir" -c "$dir/nginx.conf" &
    bench_track $!
}
declare -A MAIN_PID
start_nginx 1 "$NGINX1_PORT"
MAIN_PID[nginx1]=$!
start_nginx auto "$NGINXN_PORT"
MAIN_PID[nginxn]=$!
bench_start_ours "$BUILD" "$WORK/ours" "$OUR_PORT" "$TREE" '["read"]'
MAIN_PID[ours]=$OURS_PID
OUR="http://127.0.0.1:$OUR_PORT"
NGINX1="http://127.0.0.1:$NGINX1_PORT"
NGINXN="http://127.0.0.1:$NGINXN_PORT"
bench_wait_for "$OUR/files/bench/small.bin" 300 "$WORK/ours/ours.out"
bench_wait_for "$NGINX1/small.bin"
bench_wait_for "$NGINXN/small.bin"

# All must serve the same bytes before their speed means anything.
cmp <(curl -s "$OUR/files/bench/small.bin") "$TREE/small.bin"
cmp <(curl -s "$NGINX1/small.bin") "$TREE/small.bin"
cmp <(curl -s "$NGINXN/small.bin") "$TREE/small.bin"
[ "$(curl -s "$OUR/api/list?share=bench&path=dir10k" | python3 -c 'import json,sys; print(len(json.load(sys.stdin)["items"]))')" = "$LIST_ENTRIES" ]
[ "$(curl -s "$NGINX1/dir10k/" | python3 -c 'import json,sys; print(len(json.load(sys.stdin)))')" = "$LIST_ENTRIES" ]

# CPU time the server spent (clock ticks of our process, or of nginx's
# workers): on a machine shared with other work it tells more than the rates.
cpu_ticks() { # <who>
    local pids="${MAIN_PID[$1]}" total=0 pid
    [ "$1" = ours ] || pids="$(pgrep -P "${MAIN_PID[$1]}" | tr '\n' ' ')"
    for pid in $pids; do
        total=$((total + $(awk '{ print $14 + $15 }' "/proc/$pid/stat")))
    done
    echo "$total"
}
TICK_MS=$((1000 / $(getconf CLK_TCK)))

download() { # <who> -> "MB/s server-CPU-ms-per-GiB" for one transfer
    local before after speed
    before=$(cpu_ticks "$1")
    speed=$(curl -s -o /dev/null -w '%{speed_download}' "${BIG[$1]}")
    after=$(cpu_ticks "$1")
    python3 -c "print(round($speed / 1e6, 1), round(($after - $before) * $TICK_MS / $BIG_MIB * 1024))"
}

gets() { # <who> -> "requests/s server-CPU-us-per-request"
    local before after out
    before=$(cpu_ticks "$1")
    out=$(wrk -t2 -c"$CONNECTIONS" -d"${WRK_SECONDS}s" "${SMALL[$1]}")
    after=$(cpu_ticks "$1")
    awk -v cpu=$(((after - before) * TICK_MS)) '/requests in/ { n = $1 } /Requests\/sec/ { r = $2 }
        END { printf "%s %.1f\n", r, cpu * 1000 / n }' <<<"$out"
}

listing_ms() { # mean of LIST_RUNS
    local total=0 t
    for _ in $(seq 1 "$LIST_RUNS"); do
        t=$(curl -s -o /dev/null -w '%{time_total}' "$1")
        total=$(python3 -c "print($total + $t)")
    done
    python3 -c "print(round($total * 1000 / $LIST_RUNS, 2))"
}

# The servers take turns, round after round, so that a busy machine slows
# them alike.
declare -A BIG=([ours]="$OUR/files/bench/big.bin" [nginx1]="$NGINX1/big.bin" [nginxn]="$NGINXN/big.bin")
declare -A SMALL=([ours]="$OUR/files/bench/small.bin" [nginx1]="$NGINX1/small.bin" [nginxn]="$NGINXN/small.bin")
declare -A LIST=([ours]="$OUR/api/list?share=bench&path=dir10k" [nginx1]="$NGINX1/dir10k/" [nginxn]="$NGINXN/dir10k/")
WHO=(ours nginx1 nginxn)
declare -A DL DLCPU RPS RPSCPU LS
for who in "${WHO[@]}"; do curl -s -o /dev/null "${LIST[$who]}"; done
loads=()
for round in $(seq 1 "$ROUNDS"); do
    loads+=("$(cut -d' ' -f1 /proc/loadavg)")
    # One transfer swings widely on a busy machine: several per round.
    for _ in $(seq 1 "$DOWNLOADS_PER_ROUND"); do
        for who in "${WHO[@]}"; do
            read -r rate cpu < <(download "$who")
            DL[$who]+=" $rate"; DLCPU[$who]+=" $cpu"
        done
    done
    for who in "${WHO[@]}"; do
        read -r rate cpu < <(gets "$who")
        RPS[$who]+=" $rate"; RPSCPU[$who]+=" $cpu"
    done
    for who in "${WHO[@]}"; do LS[$who]+=" $(listing_ms "${LIST[$who]}")"; done
    echo "round $round (load ${loads[-1]}): MB/s${DL[ours]} |${DL[nginx1]} |${DL[nginxn]};" \
        "req/s${RPS[ours]} |${RPS[nginx1]} |${RPS[nginxn]}" >&2
done
for who in "${WHO[@]}"; do
    # shellcheck disable=SC2086
    DL[$who]=$(bench_median ${DL[$who]}); DLCPU[$who]=$(bench_median ${DLCPU[$who]})
    # shellcheck disable=SC2086
    RPS[$who]=$(bench_median ${RPS[$who]}); RPSCPU[$who]=$(bench_median ${RPSCPU[$who]})
    # shellcheck disable=SC2086
    LS[$who]=$(bench_median ${LS[$who]})
done

echo "median of $ROUNDS alternating rounds on $(nproc) cores; 1-minute load at each round: ${loads[*]}; now: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-40s %10s %10s %10s %9s %9s\n' "measure" "webapp" "nginx w1" "nginx auto" "ratio w1" "ratio auto"
row() { printf '%-40s %10s %10s %10s %9s %9s\n' "$1" "$2" "$3" "$4" "$(bench_ratio "$2" "$3")" "$(bench_ratio "$2" "$4")"; }
row "1 GiB download (MB/s, higher)" "${DL[ours]}" "${DL[nginx1]}" "${DL[nginxn]}"
row "  server CPU per GiB (ms, lower)" "${DLCPU[ours]}" "${DLCPU[nginx1]}" "${DLCPU[nginxn]}"
row "1 KiB GET, $CONNECTIONS conns (req/s, higher)" "${RPS[ours]}" "${RPS[nginx1]}" "${RPS[nginxn]}"
row "  server CPU per request (us, lower)" "${RPSCPU[ours]}" "${RPSCPU[nginx1]}" "${RPSCPU[nginxn]}"
row "list 10000 entries (ms, lower)" "${LS[ours]}" "${LS[nginx1]}" "${LS[nginxn]}"
