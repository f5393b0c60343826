#!/usr/bin/env bash
# Thumbnails under attack: how long a visitor waits for a thumbnail, quiet and
# while clients on other loopback addresses ask for a slow-to-render SVG (a
# <use> bomb) over and over at ever new sizes (the whole 127/8 is loopback, so
# each attacker is an address of its own). Each round touches the SVG first,
# so its first, slow run (which then fails and is remembered) falls inside
# the round. The goal: under attack within twice the quiet time.
# Ours is the program users run (veltocorvane --headless), on loopback only.
# Usage: bench/thumbnails/run.sh [build dir]   (default: build-thumbnails)
#   ROUNDS (3), ATTACKERS (addresses, 3), CONNECTIONS (per address, 6),
#   ATTACK_SECONDS (15)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD="${1:-$ROOT/build-thumbnails}"
OUR_PORT="${OUR_PORT:-18493}"
ROUNDS="${ROUNDS:-3}"
ATTACKERS="${ATTACKERS:-3}"
CONNECTIONS="${CONNECTIONS:-6}"
ATTACK_SECONDS="${ATTACK_SECONDS:-15}"
PHOTOS=40

bench_need curl python3 ffmpeg
bench_build "$BUILD" veltocorvane veltocorvane-thumbnailer

bench_work /dev/shm/velto-thumbnail-bench.XXXXXX
SHARE="$WORK/share"
mkdir -p "$SHARE"
# Photos of 1600 x 1200.
ffmpeg -loglevel error -f lavfi -i "testsrc2=size=1600x1200:rate=1" -frames:v "$PHOTOS" -q:v 3 \
    "$SHARE/photo%03d.jpg"
python3 - "$SHARE/bomb.svg" <<'PY'
import sys
levels = 9
svg = ['<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" '
       'width="512" height="512"><defs><path id="l0" d="M0,0 L10,10 L0,10 Z" fill="red"/>']
for level in range(1, levels):
    svg.append('<g id="l%d">' % level + ''.join(
        '<use xlink:href="#l%d" x="%d"/>' % (level - 1, x) for x in range(10)) + '</g>')
svg.append('</defs><use xlink:href="#l%d"/></svg>' % (levels - 1))
open(sys.argv[1], "w").write("".join(svg))
PY

bench_start_ours "$BUILD" "$WORK/home" "$OUR_PORT" "$SHARE" '["read"]'
bench_wait_for "http://127.0.0.1:$OUR_PORT/api/shares" 300 "$WORK/home/ours.out"

python3 - "$OUR_PORT" "$SHARE" "$ROUNDS" "$ATTACKERS" "$CONNECTIONS" "$ATTACK_SECONDS" "$PHOTOS" <<'PY'
import http.client, os, statistics, sys, threading, time

port, share = int(sys.argv[1]), sys.argv[2]
rounds, attackers, connections, attack_seconds, photos = map(int, sys.argv[3:8])
VISITOR = "127.0.0.200"

def thumb(source, path, size):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=120, source_address=(source, 0))
    try:
        conn.request("GET", "/api/thumb?share=bench&path=%s&size=%d" % (path, size))
        reply = conn.getresponse()
        reply.read()
        return reply.status
    finally:
        conn.close()

# Round the photos, each time at a new size: never a cached thumbnail.
asked = 0
def visitor_ms():
    global asked
    path, size = "photo%03d.jpg" % (asked % photos + 1), 256 + asked // photos
    asked += 1
    start = time.monotonic()
    status = thumb(VISITOR, path, size)
    elapsed = (time.monotonic() - start) * 1000
    if status != 200:
        sys.exit("the visitor's %s: %d" % (path, status))
    return elapsed

quiet, attacked, statuses = [], [], {}
for round_ in range(rounds):
    round_quiet = [visitor_ms() for _ in range(5)]
    quiet += round_quiet
    # A new version of the slow file: its first run falls inside this round.
    os.utime(os.path.join(share, "bomb.svg"))
    stop = threading.Event()
    lock = threading.Lock()
    def attack(source, offset):
        size = 32 + offset
        while not stop.is_set():
            try:
                status = thumb(source, "bomb.svg", size)
            except OSError:
                status = "error"
            with lock:
                statuses[status] = statuses.get(status, 0) + 1
            size = 32 if size >= 1024 else size + 7
    threads = [threading.Thread(target=attack, args=("127.0.0.%d" % (2 + a), c))
               for a in range(attackers) for c in range(connections)]
    for thread in threads:
        thread.start()
    end = time.monotonic() + attack_seconds
    round_attacked = []
    while time.monotonic() < end:
        round_attacked.append(visitor_ms())
    stop.set()
    for thread in threads:
        thread.join()
    attacked += round_attacked
    print("round %d: quiet median %.0f ms; under attack median %.0f ms, max %.0f ms (%d thumbnails)"
          % (round_ + 1, statistics.median(round_quiet), statistics.median(round_attacked),
             max(round_attacked), len(round_attacked)), file=sys.stderr)

q, a = statistics.median(quiet), statistics.median(attacked)
print("visitor's thumbnail: quiet median %.0f ms; under attack (%d addresses x %d connections) "
      "median %.0f ms, max %.0f ms; ratio %.2f (goal: at most 2)"
      % (q, attackers, connections, a, max(attacked), a / q))
print("attackers' replies: %s" % ", ".join("%s: %d" % (k, v) for k, v in sorted(statuses.items(), key=str)))
PY
echo "on $(nproc) cores; load average now: $(bench_load)"
