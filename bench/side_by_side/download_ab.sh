#!/usr/bin/env bash
# 1 GiB downloads only: several builds of veltocorvane --headless against
# Caddy, taking turns round after round, each server pinned to CPU 0 and curl
# to CPU 1 so that where the scheduler puts them does not decide the figure.
# For trying a change to the send path against the last one and against Caddy
# without the whole side-by-side run.
# Usage: bench/side_by_side/download_ab.sh name=path/to/veltocorvane ...
#   ROUNDS (default 9); prints MB/s and server CPU ms per GiB, medians.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
ROUNDS="${ROUNDS:-9}"
[ $# -gt 0 ] || { echo "usage: $0 name=program ..."; exit 1; }
if [ -z "${VELTO_DOWNLOAD_AB_NETNS:-}" ]; then
    bench_need curl caddy python3 unshare ip taskset
    unshare_flags=(--net)
    [ "$(id -u)" -eq 0 ] || unshare_flags=(--map-root-user --net)
    exec unshare "${unshare_flags[@]}" env VELTO_DOWNLOAD_AB_NETNS=1 ROUNDS="$ROUNDS" "$0" "$@"
fi
ip link set lo up
ip route add local 127.0.0.2/32 dev lo src 127.0.0.2 table local
bench_work /dev/shm/velto-download-ab.XXXXXX
chmod 755 "$WORK"
TREE="$WORK/tree"
mkdir -p "$TREE" "$WORK/caddy"
head -c $((1024 * 1024 * 1024)) /dev/zero > "$TREE/big.bin"
chmod -R a+rX "$TREE"
cat > "$WORK/caddy/Caddyfile" <<CONF
{
    admin off
    auto_https off
}
http://:18705 {
    root * $TREE
    file_server
}
CONF
taskset -c 0 env HOME="$WORK/caddy" XDG_DATA_HOME="$WORK/caddy/data" XDG_CONFIG_HOME="$WORK/caddy/config" \
    caddy run --adapter caddyfile --config "$WORK/caddy/Caddyfile" > "$WORK/caddy/out" 2>&1 &
bench_track $!
declare -A PID URL SPEED CPU
PID[caddy]=$!
URL[caddy]=http://127.0.0.2:18705/big.bin
names=(caddy)
port=18710
for spec in "$@"; do
    name="${spec%%=*}" program="$(realpath "${spec#*=}")" home="$WORK/$name"
    mkdir -p "$home/data" "$home/config" "$home/state" "$home/xdg-data" "$home/run"
    chmod 700 "$home/run"
    printf '{"version": 1, "server": {"port": %d, "upnp": false}, "shares": [{"id": "00000000000000b1", "name": "bench", "path": "%s", "readOnly": true, "guest": ["read"]}], "accounts": []}\n' \
        "$port" "$TREE" > "$home/data/config.json"
    env -i PATH="$PATH" HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_STATE_HOME="$home/state" \
        XDG_DATA_HOME="$home/xdg-data" XDG_RUNTIME_DIR="$home/run" VELTO_CORVANE_DATA_DIR="$home/data" \
        VELTO_CORVANE_LOOPBACK=0 taskset -c 0 "$program" --headless --port "$port" > "$home/out" 2>&1 &
    bench_track $!
    PID[$name]=$!
    URL[$name]=http://127.0.0.2:$port/files/bench/big.bin
    names+=("$name")
    port=$((port + 1))
done
for name in "${names[@]}"; do
    for _ in $(seq 200); do curl -s -o /dev/null -r 0-0 "${URL[$name]}" && break; sleep 0.1; done
    curl -s -o /dev/null "${URL[$name]}"
done
TICK_MS=$((1000 / $(getconf CLK_TCK)))
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
for round in $(seq 1 "$ROUNDS"); do
    line="round $round (load $(cut -d' ' -f1 /proc/loadavg)):"
    for name in "${names[@]}"; do
        before=$(ticks "${PID[$name]}")
        read -r speed size < <(taskset -c 1 curl -s -o /dev/null -w '%{speed_download} %{size_download}\n' "${URL[$name]}")
        after=$(ticks "${PID[$name]}")
        [ "$size" = 1073741824 ] || { echo "short download from $name: $size" >&2; exit 1; }
        speed=$(python3 -c "print(round($speed / 1e6))")
        SPEED[$name]+=" $speed"
        CPU[$name]+=" $(((after - before) * TICK_MS))"
        line+=" $name $speed"
    done
    echo "$line"
done
median() { python3 -c "import statistics, sys; print(statistics.median(float(x) for x in sys.argv[1:]))" "$@"; }
printf '%-12s %10s %14s  %s\n' server "MB/s" "CPU ms/GiB" "rounds (MB/s)"
for name in "${names[@]}"; do
    # shellcheck disable=SC2086
    printf '%-12s %10s %14s  %s\n' "$name" "$(median ${SPEED[$name]})" "$(median ${CPU[$name]})" "${SPEED[$name]# }"
done
