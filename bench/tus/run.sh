#!/usr/bin/env bash
# Resumable uploads against a whole-file PUT, in one run on one file system
# (BENCH_DIR, default /var/tmp): the same 1 GiB file
#   1. with one PUT (curl -T), and
#   2. through the resumable-upload protocol: one creation, then 16 PATCH
#      pieces of 64 MiB, the way the web client sends big files (one curl
#      on one kept-alive connection, as a browser's requests go; curl -T
#      streams each piece from the disk as it does the PUT).
# Both go to the program users run (veltocorvane --headless); the file is on
# the disk (fdatasync) before either answers its last request. The two
# alternate for ROUNDS rounds (default 3); each keeps its best. The goal is
# a ratio (tus / PUT) of at least 0.95.
# Everything runs in a network namespace of its own that has only loopback.
# Usage: bench/tus/run.sh [build dir]   (default: build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
OUR_PORT="${OUR_PORT:-18493}"
ROUNDS="${ROUNDS:-3}"
BIG_MIB=1024
PIECE_MIB=64

if [ -z "${VELTO_TUS_BENCH_NETNS:-}" ]; then
    bench_need curl dd python3 unshare ip split
    [ -x "$BUILD/app/veltocorvane" ] || { echo "build it first: ninja -C $BUILD veltocorvane"; exit 1; }
    unshare_flags=(--net)
    [ "$(id -u)" -eq 0 ] || unshare_flags=(--map-root-user --net)
    exec unshare "${unshare_flags[@]}" env VELTO_TUS_BENCH_NETNS=1 "$0" "$BUILD"
fi

ip link set lo up
bench_work "${BENCH_DIR:-/var/tmp}/velto-tus-bench.XXXXXX"
mkdir -p "$WORK/src/pieces" "$WORK/ours"
head -c $((BIG_MIB * 1024 * 1024)) /dev/urandom > "$WORK/src/big.bin"
split -b $((PIECE_MIB * 1024 * 1024)) -d -a 3 "$WORK/src/big.bin" "$WORK/src/pieces/p"
BIG_BYTES=$((BIG_MIB * 1024 * 1024))
PIECE_BYTES=$((PIECE_MIB * 1024 * 1024)) # BIG_MIB is a multiple of PIECE_MIB

bench_start_ours "$BUILD" "$WORK/home" "$OUR_PORT" "$WORK/ours" '["read", "write"]'
BASE="http://127.0.0.1:$OUR_PORT"
bench_wait_for "$BASE/api/shares" 300 "$WORK/home/ours.out"
KEY=0123456789abcdef0123456789abcdef
METADATA="share $(printf bench | base64 -w0),filename $(printf big.bin | base64 -w0)"

stored_ok() {
    [ "$(stat -c %s "$WORK/ours/big.bin")" = "$BIG_BYTES" ] || { echo "stored size differs"; exit 1; }
    rm -f "$WORK/ours/big.bin"
}
put_upload() { # MB/s of one PUT
    local start end code
    start=$(bench_now)
    code=$(curl -s -o /dev/null -w '%{http_code}' -H 'x-veltocorvane: 1' -T "$WORK/src/big.bin" "$BASE/files/bench/big.bin")
    end=$(bench_now)
    [ "$code" = 201 ] || { echo "PUT failed: $code"; exit 1; }
    stored_ok
    python3 -c "print(round($BIG_BYTES / ($end - $start) / 1e6, 1))"
}
tus_upload() { # MB/s of creation + pieces
    local start end location offset=0 piece
    start=$(bench_now)
    location=$(curl -s -D - -o /dev/null -X POST -H 'x-veltocorvane: 1' -H 'Tus-Resumable: 1.0.0' \
        -H "Cookie: vcu=$KEY" -H "Upload-Length: $BIG_BYTES" -H "Upload-Metadata: $METADATA" \
        "$BASE/api/uploads/" | tr -d '\r' | sed -n 's/^[Ll]ocation: //p')
    [ -n "$location" ] || { echo "creation failed"; exit 1; }
    # One curl for all pieces, so they share a kept-alive connection as a
    # browser's requests do; each piece is streamed from the disk. No other
    # process starts while the clock runs (on a busy machine, a process per
    # piece to find its size cost as much as the server's part), and the
    # answers are checked after the clock stops.
    local args=() codes
    for piece in "$WORK"/src/pieces/p*; do
        [ ${#args[@]} -gt 0 ] && args+=(--next)
        args+=(-s -o /dev/null -w '%{http_code} ' -X PATCH -H 'x-veltocorvane: 1' -H 'Tus-Resumable: 1.0.0'
            -H "Cookie: vcu=$KEY" -H 'Expect:' -H 'Content-Type: application/offset+octet-stream'
            -H "Upload-Offset: $offset" -T "$piece" "$BASE$location")
        offset=$((offset + PIECE_BYTES))
    done
    codes=$(curl "${args[@]}")
    end=$(bench_now)
    [ "$codes" = "$(printf '204 %.0s' "$WORK"/src/pieces/p*)" ] || { echo "a PATCH failed: $codes"; exit 1; }
    stored_ok
    python3 -c "print(round($BIG_BYTES / ($end - $start) / 1e6, 1))"
}

put=(); tus=()
for round in $(seq 1 "$ROUNDS"); do
    put+=("$(put_upload)")
    tus+=("$(tus_upload)")
done
echo "rounds (MB/s): tus ${tus[*]}; PUT ${put[*]}"
put=$(bench_best max "${put[@]}"); tus=$(bench_best max "${tus[@]}")

echo "best of $ROUNDS alternating rounds on $(df --output=fstype "$WORK" | tail -1) ($WORK); load average now: $(bench_load)"
printf '%-52s %10s %10s %8s\n' "measure" "tus" "PUT" "ratio"
printf '%-52s %10s %10s %8s\n' "1 GiB, ${PIECE_MIB} MiB pieces vs one PUT (MB/s)" "$tus" "$put" "$(bench_ratio "$tus" "$put")"
